// tqMenu in a container nobody here wrote: an AtlAxWin100 window of Wine's atl100.dll on a real
// form, driven by name through IDispatch only, as a script behind such a form drives it.  The
// host offers an in-place site and nothing else: no extender, no ambient properties.
#include "com_test.h"
#include "ctl_test.h"
#include "tq/com/late_bind.h"

namespace tq::test {
namespace {

using tq::com::CallMethod;
using tq::com::GetProperty;
using tq::com::PutProperty;
using AtlHostTest = ComTest;

ComPtr<IDispatch> Sub(IDispatch* level, LONG position) {
    Variant item, sub;
    EXPECT_EQ(GetProperty(level, L"Item", &item, {Variant::FromLong(position)}), S_OK);
    EXPECT_EQ(GetProperty(V_DISPATCH(&item), L"SubMenu", &sub), S_OK);
    return ComPtr<IDispatch>(V_DISPATCH(&sub));
}

TEST_F(AtlHostTest, TheControlOfAnAtlAxWinWindowBuildsItsFormsBarFromATreeSetByName) {
    ASSERT_TRUE(AtlModule());
    auto get_control = ProcOf<HRESULT(WINAPI*)(HWND, IUnknown**)>(AtlModule(), "AtlAxGetControl");
    ASSERT_TRUE(get_control);
    Form form;
    HWND ax = CreateWindowExW(0, L"AtlAxWin100", L"tqMenuCtl.tqMenu", WS_CHILD | WS_VISIBLE, 10, 10,
                              200, 120, form.hwnd(), nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(ax);
    ComPtr<IUnknown> unk;
    ASSERT_EQ(get_control(ax, unk.put()), S_OK);
    ComPtr<IDispatch> ctl;
    ASSERT_EQ(unk.As(IID_IDispatch, &ctl), S_OK);
    ComPtr<IOleInPlaceObject> inplace;
    ASSERT_EQ(unk.As(IID_IOleInPlaceObject, &inplace), S_OK);
    HWND own = nullptr;
    ASSERT_EQ(inplace->GetWindow(&own), S_OK) << "not in-place active";
    EXPECT_EQ(GetParent(own), ax);

    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(L"tqBiblioteca.MenuTree", &clsid), S_OK);
    ComPtr<IDispatch> tree;
    ASSERT_EQ(
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, tree.put_void()),
        S_OK);
    const struct {
        IDispatch* level;
        const wchar_t *caption, *nome;
    } entries[] = {{tree.get(), L"&Arquivo", L"mnuArquivo"}, {tree.get(), L"A&juda", L"mnuAjuda"}};
    for (const auto& e : entries)
        ASSERT_EQ(CallMethod(e.level, L"Add",
                             {Variant::FromString(e.caption), Variant::FromString(e.nome)}),
                  S_OK);
    ComPtr<IDispatch> arquivo = Sub(tree.get(), 1);
    for (const wchar_t* caption : {L"&Novo", L"-", L"Sai&r"})
        ASSERT_EQ(CallMethod(arquivo.get(), L"Add",
                             {Variant::FromString(caption), Variant::FromString(caption)}),
                  S_OK);
    ASSERT_EQ(PutProperty(ctl.get(), L"MenuTree", Variant::FromDispatch(tree.get()), true), S_OK)
        << TakeErrorText();
    ASSERT_EQ(PutProperty(ctl.get(), L"ExibirMenu", Variant::FromBool(true)), S_OK);
    Variant result;
    ASSERT_EQ(CallMethod(ctl.get(), L"ReExibirMenu", {}, &result), S_OK) << TakeErrorText();
    EXPECT_EQ(V_VT(&result), VT_EMPTY);

    // The form (the host's top-level window) has the bar; the host's own window has none.
    const std::vector<MenuEntry> bar = ReadMenu(GetMenu(form.hwnd()));
    ASSERT_EQ(bar.size(), 2u);
    EXPECT_EQ(bar[1].text, "A&juda");
    EXPECT_EQ(bar[1].id, 1004u);
    EXPECT_EQ(ReadMenu(bar[0].sub).size(), 3u);
    EXPECT_EQ(GetMenu(ax), nullptr);
    Variant back;
    ASSERT_EQ(GetProperty(ctl.get(), L"MenuTree", &back), S_OK);
    EXPECT_EQ(IdentityOf(V_DISPATCH(&back)), IdentityOf(tree.get()));
    EXPECT_EQ(PutProperty(ctl.get(), L"MenuTree", Variant::FromString(L"x"), true),
              DISP_E_TYPEMISMATCH);

    ctl = nullptr, unk = nullptr, inplace = nullptr;
    DestroyWindow(ax);
    EXPECT_FALSE(IsWindow(own));
}

}  // namespace
}  // namespace tq::test
