// The control in a container site with an extender, as on a classic form designer: the bar it
// builds on the form (read back with GetMenuItemInfoA), its name, size and interfaces.
#include <memory>

#include "com_test.h"
#include "ctl_test.h"
#include "tq/bib/persist.h"

namespace tq::test {
namespace {

// "text#id" per entry ("-#id" for a separator, "~" after a disabled one), then its popup in braces.
std::string Render(HMENU menu) {
    std::string out;
    for (const MenuEntry& e : ReadMenu(menu)) {
        out += (out.empty() ? "" : " ") + ((e.type & MFT_SEPARATOR) ? "-" : e.text) + "#" +
               std::to_string(e.id) + (e.state ? "~" : "");
        if (e.sub) out += "{" + Render(e.sub) + "}";
    }
    return out;
}

class MenuBarTest : public ComTest {
  protected:
    void SetUp() override {
        ComTest::SetUp();
        ctl = NewControl();
        site->window = form->hwnd();
        site->SetExtender(L"mnuPrincipal", form->hwnd());
        ASSERT_EQ(ctl.As(IID_IOleObject, &ole), S_OK);
        ASSERT_EQ(ole->SetClientSite(site.get()), S_OK);
    }
    void TearDown() override {
        if (ole) ole->SetClientSite(nullptr);
        ole = nullptr;
        ctl = nullptr;
        form.reset();
        ComTest::TearDown();
    }
    HRESULT Show() {
        VARIANT result;
        return ctl->ReExibirMenu(&result);
    }
    HMENU Bar() const { return GetMenu(form->hwnd()); }

    std::unique_ptr<Form> form = std::make_unique<Form>();
    ComPtr<_tqMenu> ctl;
    ComPtr<IOleObject> ole;
    ComPtr<TestSite> site = TestSite::Make();
};

TEST_F(MenuBarTest, OnlyAShowWithExibirMenuReplacesTheFormsMenuWithABarReadBackAsTheTree) {
    Connect(ctl.get(), IID_IPropertyNotifySink, site->Identity());
    HMENU own = CreateMenu();
    ASSERT_TRUE(SetMenu(form->hwnd(), own));
    ComPtr<MenuTree> tree = NewTree();
    ComPtr<MenuTree> a = SubOf(AddEntry(tree.get(), L"&Arquivo", L"mnuArquivo").get());
    AddEntry(a.get(), L"&Novo", L"mnuNovo");
    ASSERT_EQ(AddEntry(a.get(), L"&Abrir\tCtrl+A", L"mnuAbrir")->put_Habilitado(0), S_OK);
    AddEntry(a.get(), L"-", L"mnuSep1");
    ComPtr<MenuItem> editar = AddEntry(tree.get(), L"&Editar", L"mnuEditar");
    ComPtr<MenuItem> avancado = AddEntry(SubOf(editar.get()).get(), L"Avançado", L"mnuAvancado");
    AddEntry(SubOf(avancado.get()).get(), L"Opção A", L"mnuOpcaoA");
    AddEntry(SubOf(AddEntry(tree.get(), L"-Grupo", L"sep").get()).get(), L"X", L"x");
    ComPtr<MenuItem> ajuda = AddEntry(tree.get(), L"Aj&uda", L"mnuAjuda");
    ASSERT_EQ(ajuda->put_TextoMenu(Bstr(L"Ajuda (F1)").get()), S_OK);
    SetTree(ctl.get(), tree.get());
    ASSERT_EQ(Show(), S_OK);  // ExibirMenu False: the form's own menu stays
    SetExibir(ctl.get(), true);
    EXPECT_EQ(site->changed, (std::vector<DISPID>{1, 2}));
    EXPECT_EQ(Bar(), own) << "setting a property alone rebuilds nothing";
    ASSERT_EQ(Show(), S_OK) << TakeErrorText();
    EXPECT_FALSE(IsMenu(own));
    // Identifiers depth first; TextoMenu is the text, in the ANSI code page (1252); a separator
    // takes an identifier and keeps its children.
    EXPECT_EQ(Render(Bar()),
              "&Arquivo#1000{&Novo#1001 &Abrir\tCtrl+A#1002~ -#1003} &Editar#1004{Avan\xe7"
              "ado#1005{Op\xe7\xe3o A#1006}} -#1007{X#1008} Ajuda (F1)#1009");
    // An entry with children carries its popup's handle, a leaf its identifier.
    const HMENU first = Bar();
    EXPECT_EQ(HndOf(avancado.get()), HandleToLong(GetSubMenu(GetSubMenu(first, 1), 0)));
    EXPECT_EQ(HndOf(ajuda.get()), 1009);
    // Rebuilt with Editar hidden: the identifiers go on, the hidden subtree takes none and keeps
    // its old handles, and the old bar is destroyed.
    const LONG editar_before = HndOf(editar.get());
    ASSERT_EQ(editar->put_Visivel(VARIANT_FALSE), S_OK);
    ASSERT_EQ(Show(), S_OK) << TakeErrorText();
    EXPECT_EQ(Render(Bar()),
              "&Arquivo#1010{&Novo#1011 &Abrir\tCtrl+A#1012~ -#1013} -#1014{X#1015} "
              "Ajuda (F1)#1016");
    EXPECT_EQ(HndOf(editar.get()), editar_before);
    EXPECT_FALSE(IsMenu(first));
    const HMENU second = Bar();  // back to False: the bar built earlier stays as it is
    SetExibir(ctl.get(), false);
    ASSERT_EQ(Show(), S_OK);
    EXPECT_EQ(Bar(), second);

    // DefineMenu appends the visible entries to any menu without clearing it.
    HMENU popup = CreatePopupMenu();
    AppendMenuA(popup, MF_STRING, 42, "Existente");
    MenuTree* level = a.get();
    LONG hnd = HandleToLong(popup);
    VARIANT result;
    ASSERT_EQ(ctl->DefineMenu(&level, &hnd, &result), S_OK) << TakeErrorText();
    EXPECT_EQ(Render(popup), "Existente#42 &Novo#1017 &Abrir\tCtrl+A#1018~ -#1019");
    DestroyMenu(popup);
}

// The form is the extender's Parent (which must have a hwnd), else the top-level window holding
// the site's window; the name the extender's Name, else the ambient DisplayName, else "tqMenu".
TEST_F(MenuBarTest, TheFormAndNameComeFromTheExtenderElseFromTheSite) {
    Form other(L"Form2");
    site->window = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 50, 50, other.hwnd(), nullptr,
                                   nullptr, nullptr);
    site->ambient[DISPID_AMBIENT_DISPLAYNAME] = Variant::FromString(L"mnuAmbiente");
    SetExibir(ctl.get(), true);
    const struct {
        bool hwnd, extender, ambient;  // what the container offers
        HRESULT hr;
        HWND form;
        const char* bar;
    } cases[] = {{true, true, true, S_OK, form->hwnd(), "mnuPrincipal#1000"},
                 {false, true, true, DISP_E_UNKNOWNNAME, form->hwnd(), "mnuPrincipal#1000"},
                 {false, false, true, S_OK, other.hwnd(), "mnuAmbiente#1001"},
                 {false, false, false, S_OK, other.hwnd(), "tqMenu#1002"}};
    for (const auto& c : cases) {
        if (!c.hwnd) site->extender.erase(L"hwnd");  // a Parent without one
        if (!c.extender) site->extender.clear();
        if (!c.ambient) site->ambient.clear();
        EXPECT_EQ(Show(), c.hr);
        EXPECT_EQ(TakeErrorText().find(L"hwnd") != std::wstring::npos, FAILED(c.hr));
        EXPECT_EQ(Render(GetMenu(c.form)), c.bar);
    }
}

TEST_F(MenuBarTest, ABarAsDeepAsASavedTreeIsBuiltAndADeeperOneLeavesNothing) {
    SetExibir(ctl.get(), true);
    for (const size_t levels : {tq::bib::kMaxDepth, tq::bib::kMaxDepth + 1}) {
        SCOPED_TRACE(levels);
        ComPtr<MenuTree> tree = NewTree(), level = tree;
        for (size_t i = 0; i < levels; ++i)
            level = SubOf(AddEntry(level.get(), L"N", L"n" + std::to_wstring(i)).get());
        SetTree(ctl.get(), tree.get());
        const bool fits = levels == tq::bib::kMaxDepth;
        EXPECT_EQ(Show(), fits ? S_OK : static_cast<HRESULT>(0x800A0006));  // overflow
        EXPECT_EQ(TakeErrorText().find(L"256") != std::wstring::npos, !fits);
        size_t depth = 0;
        for (HMENU m = Bar(); m; m = GetSubMenu(m, 0)) ++depth;
        EXPECT_EQ(depth, fits ? levels : 0);
    }
}

TEST_F(MenuBarTest, AnswersWhatAContainerAsksOfAControl) {
    SIZEL size{};
    ASSERT_EQ(ole->GetExtent(DVASPECT_CONTENT, &size), S_OK);
    EXPECT_EQ(std::make_pair(size.cx, size.cy), std::make_pair(900L, 900L));
    // Events described to the container, and errors carried by IErrorInfo on _tqMenu.
    ComPtr<IProvideClassInfo2> pci;
    ASSERT_EQ(ctl.As(IID_IProvideClassInfo2, &pci), S_OK);
    GUID source{};
    ASSERT_EQ(pci->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK);
    EXPECT_TRUE(IsEqualGUID(source, DIID___tqMenu));
    ComPtr<ISupportErrorInfo> sei;
    ASSERT_EQ(ctl.As(IID_ISupportErrorInfo, &sei), S_OK);
    EXPECT_EQ(sei->InterfaceSupportsErrorInfo(IID__tqMenu), S_OK);
    EXPECT_EQ(sei->InterfaceSupportsErrorInfo(IID_IViewObject), S_FALSE);

    // The event connection point takes only sinks of __tqMenu, and each cookie once.
    ComPtr<IConnectionPointContainer> cpc;
    ComPtr<IConnectionPoint> cp;
    ASSERT_EQ(ctl.As(IID_IConnectionPointContainer, &cpc), S_OK);
    ASSERT_EQ(cpc->FindConnectionPoint(DIID___tqMenu, cp.put()), S_OK);
    DWORD cookie = 0;
    EXPECT_EQ(cp->Advise(NewTree().get(), &cookie), CONNECT_E_CANNOTCONNECT);
    ASSERT_EQ(cp->Advise(site->Identity(), &cookie), S_OK);
    EXPECT_EQ(cp->Unadvise(cookie), S_OK);
    EXPECT_EQ(cp->Unadvise(cookie), CONNECT_E_NOCONNECTION);

    // A designer draws the toolbox picture, doubled here: a black frame line, a dark blue title.
    ComPtr<IViewObject2> view;
    ASSERT_EQ(ctl.As(IID_IViewObject2, &view), S_OK);
    HDC screen = GetDC(nullptr), dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, CreateCompatibleBitmap(screen, 32, 30));
    ReleaseDC(nullptr, screen);
    RECTL bounds{0, 0, 32, 30};
    PatBlt(dc, 0, 0, 32, 30, WHITENESS);
    EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr,
                         nullptr, 0),
              S_OK);
    EXPECT_EQ(std::make_pair(GetPixel(dc, 10, 2), GetPixel(dc, 10, 4)),
              std::make_pair(COLORREF{0x000000}, COLORREF{0x800000}));
    DeleteObject(SelectObject(dc, old));
    DeleteDC(dc);
}

}  // namespace
}  // namespace tq::test
