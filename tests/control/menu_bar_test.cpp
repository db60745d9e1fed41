// The menu bar the control builds on a real form, read back with GetMenuItemInfoA.  The control
// sits in a site with an extender, as on a classic form designer: the form is the extender's
// Parent, the name the extender's Name.
#include <memory>

#include "com_test.h"
#include "ctl_test.h"
#include "dialog_driver.h"
#include "tq/bib/persist.h"

namespace tq::test {
namespace {

// A menu as text: "text#id" per entry ("-#id" for a separator, "~" after a grayed one, "?n"
// after any other state), then its popup in braces.
std::string Render(HMENU menu) {
    std::string out;
    for (const MenuEntry& e : ReadMenu(menu)) {
        out += (out.empty() ? "" : " ") + ((e.type & MFT_SEPARATOR) ? "-" : e.text) + "#" +
               std::to_string(e.id);
        if (e.state) out += e.state == MF_GRAYED ? "~" : "?" + std::to_string(e.state);
        if (e.sub) out += "{" + Render(e.sub) + "}";
    }
    return out;
}

class MenuBarTest : public ComTest {
  protected:
    void SetUp() override {
        ComTest::SetUp();
        form = std::make_unique<Form>();
        ctl = NewControl();
        ASSERT_TRUE(ctl);
        site->extender = MakeExtender(L"mnuPrincipal", form->hwnd());
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
        V_VT(&result) = VT_I4;
        const HRESULT hr = ctl->ReExibirMenu(&result);
        EXPECT_EQ(V_VT(&result), VT_EMPTY);
        return hr;
    }
    HMENU Bar() const { return GetMenu(form->hwnd()); }

    std::unique_ptr<Form> form;
    ComPtr<_tqMenu> ctl;
    ComPtr<IOleObject> ole;
    ComPtr<TestSite> site = TestSite::Make();
};

TEST_F(MenuBarTest, BarReadsBackAsTheTreeAndEachRebuildTakesNewIdentifiers) {
    ComPtr<MenuTree> tree = NewTree();
    ComPtr<MenuItem> arquivo = AddEntry(tree.get(), L"&Arquivo", L"mnuArquivo");
    ComPtr<MenuTree> a = SubOf(arquivo.get());
    AddEntry(a.get(), L"&Novo", L"mnuNovo");
    ComPtr<MenuItem> abrir = AddEntry(a.get(), L"&Abrir\tCtrl+A", L"mnuAbrir");
    ASSERT_EQ(abrir->put_Habilitado(VARIANT_FALSE), S_OK);
    AddEntry(a.get(), L"-", L"mnuSep1");
    AddEntry(a.get(), L"Sai&r", L"mnuSair");
    ComPtr<MenuItem> editar = AddEntry(tree.get(), L"&Editar", L"mnuEditar");
    ComPtr<MenuItem> copiar = AddEntry(SubOf(editar.get()).get(), L"Copiar", L"mnuCopiar");
    ComPtr<MenuItem> avancado = AddEntry(SubOf(editar.get()).get(), L"Avançado", L"mnuAvancado");
    AddEntry(SubOf(avancado.get()).get(), L"Opção A", L"mnuOpcaoA");
    AddEntry(SubOf(AddEntry(tree.get(), L"-Grupo", L"sep").get()).get(), L"X", L"x");
    ComPtr<MenuItem> ajuda = AddEntry(tree.get(), L"Aj&uda", L"mnuAjuda");
    ASSERT_EQ(ajuda->put_TextoMenu(Bstr(std::wstring_view(L"Ajuda (F1)")).get()), S_OK);
    SetTree(ctl.get(), tree.get());
    SetExibir(ctl.get(), true);
    ASSERT_EQ(Show(), S_OK) << TakeErrorText();

    // Identifiers depth first; TextoMenu is the text, in the ANSI code page (1252); a separator
    // takes an identifier and keeps its children.
    EXPECT_EQ(Render(Bar()),
              "&Arquivo#1000{&Novo#1001 &Abrir\tCtrl+A#1002~ -#1003 Sai&r#1004} "
              "&Editar#1005{Copiar#1006 Avan\xe7"
              "ado#1007{Op\xe7\xe3o A#1008}} -#1009{X#1010} Ajuda (F1)#1011");
    // An entry with children carries its popup's handle, a leaf its identifier.
    const HMENU first = Bar();
    EXPECT_EQ(HndOf(arquivo.get()), HandleToLong(GetSubMenu(first, 0)));
    EXPECT_EQ(HndOf(avancado.get()), HandleToLong(GetSubMenu(GetSubMenu(first, 1), 1)));
    EXPECT_EQ(HndOf(abrir.get()), 1002);
    EXPECT_EQ(HndOf(ajuda.get()), 1011);

    // Rebuilt with Editar hidden: the identifiers go on, the hidden subtree takes none and keeps
    // its old handles, and the old bar is destroyed.
    const LONG editar_before = HndOf(editar.get());
    ASSERT_EQ(editar->put_Visivel(VARIANT_FALSE), S_OK);
    ASSERT_EQ(Show(), S_OK) << TakeErrorText();
    EXPECT_EQ(Render(Bar()),
              "&Arquivo#1012{&Novo#1013 &Abrir\tCtrl+A#1014~ -#1015 Sai&r#1016} -#1017{X#1018} "
              "Ajuda (F1)#1019");
    EXPECT_EQ(HndOf(editar.get()), editar_before);
    EXPECT_EQ(HndOf(copiar.get()), 1006);
    EXPECT_FALSE(IsMenu(first));
}

TEST_F(MenuBarTest, EmptyTreeShowsTheControlsNameAndTheGetterKeepsTheTreeItMade) {
    SetExibir(ctl.get(), true);
    ASSERT_EQ(Show(), S_OK) << TakeErrorText();
    EXPECT_EQ(Render(Bar()), "mnuPrincipal#1000");
    ComPtr<MenuTree> t1, t2;
    ASSERT_EQ(ctl->get_MenuTree(t1.put()), S_OK);
    ASSERT_EQ(ctl->get_MenuTree(t2.put()), S_OK);
    EXPECT_EQ(t1.get(), t2.get());
    EXPECT_EQ(CountOf(t1.get()), 0);
    // An empty reference set: the next read makes a fresh empty tree.
    SetTree(ctl.get(), nullptr);
    ASSERT_EQ(ctl->get_MenuTree(t2.put()), S_OK);
    ASSERT_TRUE(t2);
    EXPECT_NE(t2.get(), t1.get());
}

TEST_F(MenuBarTest, SettersNotifyAndOnlyAShowWithExibirMenuReplacesTheFormsMenu) {
    ComPtr<EventSink> sink = EventSink::Make();
    Connect(ctl.get(), IID_IPropertyNotifySink, sink->Identity());
    ComPtr<IPersistStreamInit> persist;
    ASSERT_EQ(ctl.As(IID_IPersistStreamInit, &persist), S_OK);
    ASSERT_EQ(persist->InitNew(), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    HMENU own = CreateMenu();
    AppendMenuA(own, MF_STRING, 7, "Do formulário");
    ASSERT_TRUE(SetMenu(form->hwnd(), own));
    ComPtr<MenuTree> tree = NewTree();
    AddEntry(tree.get(), L"Arquivo", L"mnuArquivo");
    SetTree(ctl.get(), tree.get());
    ASSERT_EQ(Show(), S_OK);  // ExibirMenu False: the form's own menu stays
    EXPECT_EQ(Bar(), own);
    SetExibir(ctl.get(), true);
    EXPECT_EQ(sink->changed, (std::vector<DISPID>{1, 2}));
    EXPECT_EQ(persist->IsDirty(), S_OK);
    EXPECT_EQ(Bar(), own) << "setting a property alone rebuilds nothing";
    ASSERT_EQ(Show(), S_OK);
    EXPECT_EQ(Render(Bar()), "Arquivo#1000");
    EXPECT_FALSE(IsMenu(own));
    // Back to False: the bar built earlier stays as it is.
    const HMENU ours = Bar();
    SetExibir(ctl.get(), false);
    ASSERT_EQ(Show(), S_OK);
    EXPECT_EQ(Bar(), ours);
    EXPECT_TRUE(IsMenu(ours));
}

TEST_F(MenuBarTest, ReloadDefaultRestoresEnabledStatesOnTheNextBuild) {
    ComPtr<MenuTree> tree = NewTree();
    ComPtr<MenuItem> a = AddEntry(tree.get(), L"A", L"a");
    ComPtr<MenuItem> a11 =
        AddEntry(SubOf(AddEntry(SubOf(a.get()).get(), L"A1", L"a1").get()).get(), L"A11", L"a11");
    ComPtr<MenuItem> b = AddEntry(tree.get(), L"B", L"b");
    ASSERT_EQ(a11->put_HabilitadoDefault(VARIANT_FALSE), S_OK);
    ASSERT_EQ(b->put_Habilitado(VARIANT_FALSE), S_OK);
    ASSERT_EQ(b->put_VisivelDefault(VARIANT_FALSE), S_OK);
    SetTree(ctl.get(), tree.get());
    SetExibir(ctl.get(), true);
    ASSERT_EQ(Show(), S_OK);
    EXPECT_EQ(Render(Bar()), "A#1000{A1#1001{A11#1002}} B#1003~");
    ASSERT_EQ(ctl->ReloadDefault(), S_OK) << TakeErrorText();
    EXPECT_EQ(Render(Bar()), "A#1000{A1#1001{A11#1002}} B#1003~") << "the bar waits for a rebuild";
    ASSERT_EQ(Show(), S_OK);
    EXPECT_EQ(Render(Bar()), "A#1004{A1#1005{A11#1006~}} B#1007") << "Visivel is not restored";
}

TEST_F(MenuBarTest, DefineMenuAppendsVisibleEntriesToAnyMenuWithoutClearingIt) {
    HMENU popup = CreatePopupMenu();
    AppendMenuA(popup, MF_STRING, 42, "Existente");
    ComPtr<MenuTree> tree = NewTree();
    AddEntry(tree.get(), L"Um", L"um");
    ASSERT_EQ(AddEntry(tree.get(), L"Dois", L"dois")->put_Visivel(VARIANT_FALSE), S_OK);
    AddEntry(tree.get(), L"Três", L"tres");
    MenuTree* t = tree.get();
    LONG hnd = HandleToLong(popup);
    VARIANT result;
    ASSERT_EQ(ctl->DefineMenu(&t, &hnd, &result), S_OK) << TakeErrorText();
    EXPECT_EQ(V_VT(&result), VT_EMPTY);
    EXPECT_EQ(hnd, HandleToLong(popup));
    EXPECT_EQ(Render(popup), "Existente#42 Um#1000 Tr\xeas#1001");
    DestroyMenu(popup);
}

TEST_F(MenuBarTest, FailuresReachTheCallerWithTextAndBuildNothing) {
    ComPtr<PropertyObject> parent = PropertyObject::Make();  // a Parent without hwnd
    site->extender->values[L"Parent"] = Variant::FromDispatch(parent.get());
    SetExibir(ctl.get(), true);
    EXPECT_EQ(Show(), DISP_E_UNKNOWNNAME);
    EXPECT_NE(TakeErrorText().find(L"hwnd"), std::wstring::npos);
    EXPECT_EQ(Bar(), nullptr);
    // The script export of an empty tree has only its notice to show: it needs no window.
    DialogDriver driver({Press(L"Tá Querendo Me Enganar É ?", IDOK)});
    VARIANT result;
    EXPECT_EQ(ctl->GerarScript(&result), S_OK) << TakeErrorText();
    driver.Finish();
    ASSERT_TRUE(driver.ok()) << driver.Report();
    EXPECT_EQ(driver.seen()[0].text, L"Nenhum Menu Foi Definido Ainda");

    ComPtr<_tqMenu> loose = NewControl();  // no container at all
    SetExibir(loose.get(), true);
    EXPECT_EQ(loose->ReExibirMenu(&result), E_UNEXPECTED);
    EXPECT_NE(TakeErrorText().find(L"formulário"), std::wstring::npos);

    // As deep as a saved tree may be, and no deeper: then no bar and no popup is left.
    for (const size_t levels : {tq::bib::kMaxDepth, tq::bib::kMaxDepth + 1}) {
        SCOPED_TRACE(levels);
        ComPtr<MenuTree> tree = NewTree(), level = tree;
        std::vector<ComPtr<MenuItem>> chain;
        for (size_t i = 0; i < levels; ++i) {
            chain.push_back(AddEntry(level.get(), L"N", L"n" + std::to_wstring(i)));
            level = SubOf(chain.back().get());
        }
        site->extender = MakeExtender(L"mnu", form->hwnd());
        SetTree(ctl.get(), tree.get());
        const HRESULT hr = Show();
        size_t depth = 0;
        for (HMENU m = Bar(); m; m = GetSubMenu(m, 0)) ++depth;
        if (levels == tq::bib::kMaxDepth) {
            EXPECT_EQ(hr, S_OK) << TakeErrorText();
            EXPECT_EQ(depth, levels);
            continue;
        }
        EXPECT_EQ(hr, static_cast<HRESULT>(0x800A0006));  // overflow
        EXPECT_NE(TakeErrorText().find(L"256"), std::wstring::npos);
        EXPECT_EQ(depth, 0u);
        for (size_t i = 0; i + 2 < levels; ++i)
            EXPECT_FALSE(IsMenu(static_cast<HMENU>(LongToHandle(HndOf(chain[i].get()))))) << i;
    }
}

}  // namespace
}  // namespace tq::test
