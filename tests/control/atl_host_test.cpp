// tqMenu in a container nobody here wrote: the ActiveX host of Wine's atl100.dll (the AtlAxWin100
// window class), on a real form.  The host offers an in-place site and nothing else: no extender,
// no ambient properties.
#include "com_test.h"
#include "ctl_test.h"
#include "tq/com/late_bind.h"
#include "tqBiblioteca.h"

namespace tq::test {
namespace {

// atl100.dll's exports; mingw has no ATL headers.
using AtlAxGetControlFn = HRESULT(WINAPI*)(HWND, IUnknown**);

class AtlHostTest : public ComTest {
  protected:
    void SetUp() override {
        ComTest::SetUp();
        atl = AtlModule();
        ASSERT_NE(atl, nullptr);
        get_control = ProcOf<AtlAxGetControlFn>(atl, "AtlAxGetControl");
        ASSERT_NE(get_control, nullptr);
    }
    // An AtlAxWin100 window on `form` that creates the control named by its text.
    HWND Host(HWND form, int x = 10, int y = 10) {
        HWND ax = CreateWindowExW(0, L"AtlAxWin100", L"tqMenuCtl.tqMenu", WS_CHILD | WS_VISIBLE, x,
                                  y, 200, 120, form, nullptr, GetModuleHandleW(nullptr), nullptr);
        EXPECT_NE(ax, nullptr);
        return ax;
    }
    ComPtr<IDispatch> ControlOf(HWND ax) {
        ComPtr<IUnknown> unk;
        EXPECT_EQ(get_control(ax, unk.put()), S_OK);
        ComPtr<IDispatch> disp;
        if (unk) {
            EXPECT_EQ(unk.As(IID_IDispatch, &disp), S_OK);
        }
        return disp;
    }

    HMODULE atl = nullptr;
    AtlAxGetControlFn get_control = nullptr;
};

// Adds an entry through IDispatch, by name, as a script does.
void AddByName(IDispatch* level, const wchar_t* caption, const wchar_t* nome) {
    ASSERT_EQ(tq::com::CallMethod(level, L"Add",
                                  {Variant::FromString(caption), Variant::FromString(nome)}),
              S_OK)
        << TakeErrorText();
}

ComPtr<IDispatch> SubByName(IDispatch* level, short position) {
    Variant item, sub;
    EXPECT_EQ(tq::com::GetProperty(level, L"Item", &item, {Variant::FromLong(position)}), S_OK);
    EXPECT_EQ(tq::com::GetProperty(V_DISPATCH(&item), L"SubMenu", &sub), S_OK);
    return ComPtr<IDispatch>(V_DISPATCH(&sub));
}

TEST_F(AtlHostTest, ActivatesInPlaceAtItsOwnSizeOnTheForm) {
    Form form;
    HWND ax = Host(form.hwnd());
    ComPtr<IDispatch> ctl = ControlOf(ax);
    ASSERT_TRUE(ctl);
    ComPtr<IOleInPlaceObject> inplace;
    ASSERT_EQ(ctl.As(IID_IOleInPlaceObject, &inplace), S_OK);
    HWND own = nullptr;
    ASSERT_EQ(inplace->GetWindow(&own), S_OK) << "not in-place active";
    EXPECT_EQ(GetParent(own), ax);
    EXPECT_FALSE(IsWindowVisible(own));  // shown at run time (no UserMode): it hides itself
    RECT rc{};
    GetClientRect(own, &rc);
    EXPECT_EQ(rc.right, 34);
    EXPECT_EQ(rc.bottom, 34);
    // Fresh from the host (InitNew): ExibirMenu False, and an empty tree on first read.
    Variant exibir, tree;
    ASSERT_EQ(tq::com::GetProperty(ctl.get(), L"ExibirMenu", &exibir), S_OK);
    EXPECT_EQ(V_VT(&exibir), VT_BOOL);
    EXPECT_EQ(V_BOOL(&exibir), VARIANT_FALSE);
    ASSERT_EQ(tq::com::GetProperty(ctl.get(), L"MenuTree", &tree), S_OK);
    Variant count;
    ASSERT_EQ(tq::com::GetProperty(V_DISPATCH(&tree), L"Count", &count), S_OK);
    EXPECT_EQ(V_I2(&count), 0);

    ctl = nullptr;
    inplace = nullptr;
    DestroyWindow(ax);
    EXPECT_FALSE(IsWindow(own));
}

TEST_F(AtlHostTest, BuildsTheFormsMenuBarFromATreeSetByName) {
    Form form;
    HWND ax = Host(form.hwnd());
    ComPtr<IDispatch> ctl = ControlOf(ax);
    ASSERT_TRUE(ctl);

    // The tree, built and handed over through IDispatch only.
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(L"tqBiblioteca.MenuTree", &clsid), S_OK);
    ComPtr<IDispatch> tree;
    ASSERT_EQ(
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, tree.put_void()),
        S_OK);
    AddByName(tree.get(), L"&Arquivo", L"mnuArquivo");
    AddByName(tree.get(), L"A&juda", L"mnuAjuda");
    ComPtr<IDispatch> arquivo = SubByName(tree.get(), 1);
    AddByName(arquivo.get(), L"&Novo", L"mnuNovo");
    AddByName(arquivo.get(), L"-", L"mnuSep");
    AddByName(arquivo.get(), L"Sai&r", L"mnuSair");

    ASSERT_EQ(tq::com::PutProperty(ctl.get(), L"MenuTree", Variant::FromDispatch(tree.get()), true),
              S_OK)
        << TakeErrorText();
    ASSERT_EQ(tq::com::PutProperty(ctl.get(), L"ExibirMenu", Variant::FromBool(true)), S_OK)
        << TakeErrorText();
    EXPECT_EQ(GetMenu(form.hwnd()), nullptr);  // nothing is built before ReExibirMenu
    Variant result;
    ASSERT_EQ(tq::com::CallMethod(ctl.get(), L"ReExibirMenu", {}, &result), S_OK)
        << TakeErrorText();
    EXPECT_EQ(V_VT(&result), VT_EMPTY);

    // The form (the host's top-level window) has the bar; the host's child window has none.
    std::vector<MenuEntry> bar = ReadMenu(GetMenu(form.hwnd()));
    ASSERT_EQ(bar.size(), 2u);
    EXPECT_EQ(bar[0].text, "&Arquivo");
    EXPECT_EQ(bar[1].text, "A&juda");
    EXPECT_EQ(bar[1].id, 1004u);
    std::vector<MenuEntry> arq = ReadMenu(bar[0].sub);
    ASSERT_EQ(arq.size(), 3u);
    EXPECT_EQ(arq[0].id, 1001u);
    EXPECT_EQ(arq[1].type, static_cast<UINT>(MFT_SEPARATOR));
    EXPECT_EQ(arq[2].text, "Sai&r");

    // The tree read back by name is the one that was set, with the identifiers in it.
    Variant back;
    ASSERT_EQ(tq::com::GetProperty(ctl.get(), L"MenuTree", &back), S_OK);
    ComPtr<IUnknown> a, b;
    V_DISPATCH(&back)->QueryInterface(IID_IUnknown, a.put_void());
    tree->QueryInterface(IID_IUnknown, b.put_void());
    EXPECT_EQ(a.get(), b.get());
    Variant item, hnd;
    ASSERT_EQ(tq::com::GetProperty(arquivo.get(), L"Item", &item, {Variant::FromLong(3)}), S_OK);
    ASSERT_EQ(tq::com::GetProperty(V_DISPATCH(&item), L"HndMenu", &hnd), S_OK);
    EXPECT_EQ(V_I4(&hnd), 1003);

    // Errors come back through IDispatch with their text.
    EXPECT_EQ(tq::com::PutProperty(ctl.get(), L"MenuTree", Variant::FromString(L"x"), true),
              DISP_E_TYPEMISMATCH);

    ctl = nullptr;
    DestroyWindow(ax);
}

}  // namespace
}  // namespace tq::test
