// The menu bar the control builds on a real form, read back with GetMenuItemInfoA.  The control
// sits in a site with an extender, as on a classic form designer: the form is the extender's
// Parent, the name the extender's Name.
#include "ctl_test_util.h"
#include "dialog_driver.h"
#include "menu_bar.h"
#include "tq/bib/persist.h"
#include "tqBiblioteca.h"

namespace ctltest {
namespace {

constexpr UINT kGrayed = MF_GRAYED;  // the state the control sets: exactly 1

class MenuBarTest : public ComTest {
  protected:
    void SetUp() override {
        ComTest::SetUp();
        form = std::make_unique<Form>();
        ctl = NewControl();
        ASSERT_TRUE(ctl);
        site = TestSite::Make();
        site->extender = MakeExtender(L"mnuPrincipal", form->hwnd());
        ComPtr<IOleObject> ole;
        ASSERT_EQ(ctl.As(IID_IOleObject, &ole), S_OK);
        ASSERT_EQ(ole->SetClientSite(site.get()), S_OK);
    }
    void TearDown() override {
        ComPtr<IOleObject> ole;
        if (ctl && SUCCEEDED(ctl.As(IID_IOleObject, &ole))) ole->SetClientSite(nullptr);
        ctl = nullptr;
        site = nullptr;
        form.reset();
        ComTest::TearDown();
    }
    void Show() {
        VARIANT result;
        ASSERT_EQ(ctl->ReExibirMenu(&result), S_OK) << TakeErrorText();
        EXPECT_EQ(V_VT(&result), VT_EMPTY);
    }
    HMENU Bar() const { return GetMenu(form->hwnd()); }

    std::unique_ptr<Form> form;
    ComPtr<_tqMenu> ctl;
    ComPtr<TestSite> site;
};

TEST_F(MenuBarTest, BarReadsBackAsTheTreeAtEveryDepth) {
    ComPtr<MenuTree> tree = NewTree();
    ComPtr<MenuItem> arquivo = AddEntry(tree.get(), L"&Arquivo", L"mnuArquivo");
    ComPtr<MenuTree> a = SubOf(arquivo.get());
    AddEntry(a.get(), L"&Novo", L"mnuNovo");
    ComPtr<MenuItem> abrir = AddEntry(a.get(), L"&Abrir\tCtrl+A", L"mnuAbrir");
    ASSERT_EQ(abrir->put_Habilitado(VARIANT_FALSE), S_OK);
    AddEntry(a.get(), L"-", L"mnuSep1");
    AddEntry(a.get(), L"Sai&r", L"mnuSair");
    ComPtr<MenuItem> editar = AddEntry(tree.get(), L"&Editar", L"mnuEditar");
    ComPtr<MenuTree> e = SubOf(editar.get());
    AddEntry(e.get(), L"Copiar", L"mnuCopiar");
    ComPtr<MenuItem> avancado = AddEntry(e.get(), L"Avançado", L"mnuAvancado");
    AddEntry(SubOf(avancado.get()).get(), L"Opção A", L"mnuOpcaoA");
    ComPtr<MenuItem> ajuda = AddEntry(tree.get(), L"Aj&uda", L"mnuAjuda");
    ASSERT_EQ(ajuda->put_TextoMenu(Bstr(std::wstring_view(L"Ajuda (F1)")).get()), S_OK);

    SetTree(ctl.get(), tree.get());
    SetExibir(ctl.get(), true);
    Show();

    // Top level: two popups and a plain command whose text is TextoMenu, not Caption.
    std::vector<MenuEntry> top = ReadMenu(Bar());
    ASSERT_EQ(top.size(), 3u);
    EXPECT_EQ(top[0].text, "&Arquivo");
    EXPECT_EQ(top[0].id, 1000u);
    EXPECT_NE(top[0].sub, nullptr);
    EXPECT_EQ(top[0].type, static_cast<UINT>(MFT_STRING));
    EXPECT_EQ(top[0].state, 0u);
    EXPECT_EQ(top[1].text, "&Editar");
    EXPECT_EQ(top[1].id, 1005u);
    EXPECT_EQ(top[2].text, "Ajuda (F1)");
    EXPECT_EQ(top[2].id, 1009u);
    EXPECT_EQ(top[2].sub, nullptr);

    // An entry with children carries its popup handle; a leaf its identifier.
    EXPECT_EQ(HndOf(arquivo.get()), HandleToLong(top[0].sub));
    EXPECT_EQ(HndOf(editar.get()), HandleToLong(top[1].sub));
    EXPECT_EQ(HndOf(ajuda.get()), 1009);

    std::vector<MenuEntry> arq = ReadMenu(top[0].sub);
    ASSERT_EQ(arq.size(), 4u);
    EXPECT_EQ(arq[0].text, "&Novo");
    EXPECT_EQ(arq[0].id, 1001u);
    EXPECT_EQ(arq[1].text, "&Abrir\tCtrl+A");
    EXPECT_EQ(arq[1].id, 1002u);
    EXPECT_EQ(arq[1].state, kGrayed);
    EXPECT_EQ(HndOf(abrir.get()), 1002);
    EXPECT_EQ(arq[2].type, static_cast<UINT>(MFT_SEPARATOR));
    EXPECT_EQ(arq[2].id, 1003u);
    EXPECT_EQ(arq[3].text, "Sai&r");
    EXPECT_EQ(arq[3].id, 1004u);
    EXPECT_EQ(arq[3].state, 0u);

    // Third level; the text reaches the menu in the ANSI code page (1252).
    std::vector<MenuEntry> edt = ReadMenu(top[1].sub);
    ASSERT_EQ(edt.size(), 2u);
    EXPECT_EQ(edt[0].id, 1006u);
    EXPECT_EQ(edt[1].text,
              "Avan\xe7"
              "ado");
    EXPECT_EQ(edt[1].id, 1007u);
    ASSERT_NE(edt[1].sub, nullptr);
    EXPECT_EQ(HndOf(avancado.get()), HandleToLong(edt[1].sub));
    std::vector<MenuEntry> third = ReadMenu(edt[1].sub);
    ASSERT_EQ(third.size(), 1u);
    EXPECT_EQ(third[0].text, "Op\xe7\xe3o A");
    EXPECT_EQ(third[0].id, 1008u);
    EXPECT_EQ(HndOf(ItemAt(SubOf(avancado.get()).get(), 1).get()), 1008);
}

TEST_F(MenuBarTest, IdentifiersGoOnAcrossRebuildsAndTheOldBarIsDestroyed) {
    ComPtr<MenuTree> tree = NewTree();
    ComPtr<MenuItem> a = AddEntry(tree.get(), L"A", L"a");
    AddEntry(tree.get(), L"B", L"b");
    ComPtr<MenuItem> c = AddEntry(tree.get(), L"C", L"c");
    SetTree(ctl.get(), tree.get());
    SetExibir(ctl.get(), true);

    Show();
    HMENU first = Bar();
    std::vector<MenuEntry> bar = ReadMenu(first);
    ASSERT_EQ(bar.size(), 3u);
    EXPECT_EQ(bar[0].id, 1000u);
    EXPECT_EQ(bar[2].id, 1002u);

    Show();
    bar = ReadMenu(Bar());
    ASSERT_EQ(bar.size(), 3u);
    EXPECT_EQ(bar[0].id, 1003u);
    EXPECT_EQ(bar[1].id, 1004u);
    EXPECT_EQ(bar[2].id, 1005u);
    EXPECT_EQ(HndOf(a.get()), 1003);
    EXPECT_EQ(HndOf(c.get()), 1005);
    EXPECT_FALSE(IsMenu(first));
}

TEST_F(MenuBarTest, InvisibleEntryIsLeftOffWithItsSubtreeAndKeepsItsOldHandle) {
    ComPtr<MenuTree> tree = NewTree();
    AddEntry(tree.get(), L"A", L"a");
    ComPtr<MenuItem> b = AddEntry(tree.get(), L"B", L"b");
    ComPtr<MenuItem> b1 = AddEntry(SubOf(b.get()).get(), L"B1", L"b1");
    ComPtr<MenuItem> c = AddEntry(tree.get(), L"C", L"c");
    SetTree(ctl.get(), tree.get());
    SetExibir(ctl.get(), true);
    Show();
    const LONG b_before = HndOf(b.get());
    EXPECT_EQ(HndOf(b1.get()), 1002);

    ASSERT_EQ(b->put_Visivel(VARIANT_FALSE), S_OK);
    Show();
    std::vector<MenuEntry> bar = ReadMenu(Bar());
    ASSERT_EQ(bar.size(), 2u);
    EXPECT_EQ(bar[0].text, "A");
    EXPECT_EQ(bar[0].id, 1004u);
    EXPECT_EQ(bar[1].text, "C");
    EXPECT_EQ(bar[1].id, 1005u);  // the hidden subtree consumed no identifier
    EXPECT_EQ(HndOf(b.get()), b_before);
    EXPECT_EQ(HndOf(b1.get()), 1002);
    EXPECT_EQ(HndOf(c.get()), 1005);
}

TEST_F(MenuBarTest, SeparatorTakesAnIdentifierAndKeepsItsChildren) {
    ComPtr<MenuTree> tree = NewTree();
    ComPtr<MenuItem> sep = AddEntry(tree.get(), L"-Grupo", L"sep");
    ComPtr<MenuItem> x = AddEntry(SubOf(sep.get()).get(), L"X", L"x");
    ComPtr<MenuItem> y = AddEntry(SubOf(sep.get()).get(), L"Y", L"y");
    ComPtr<MenuItem> z = AddEntry(tree.get(), L"Z", L"z");
    SetTree(ctl.get(), tree.get());
    SetExibir(ctl.get(), true);
    Show();

    std::vector<MenuEntry> bar = ReadMenu(Bar());
    ASSERT_EQ(bar.size(), 2u);
    EXPECT_EQ(bar[0].type & MFT_SEPARATOR, static_cast<UINT>(MFT_SEPARATOR));
    EXPECT_EQ(bar[0].id, 1000u);
    ASSERT_NE(bar[0].sub, nullptr);
    EXPECT_EQ(HndOf(sep.get()), HandleToLong(bar[0].sub));
    std::vector<MenuEntry> kids = ReadMenu(bar[0].sub);
    ASSERT_EQ(kids.size(), 2u);
    EXPECT_EQ(kids[0].text, "X");
    EXPECT_EQ(kids[1].id, 1002u);
    EXPECT_EQ(HndOf(y.get()), 1002);
    EXPECT_EQ(bar[1].id, 1003u);
    EXPECT_EQ(HndOf(z.get()), 1003);
}

TEST_F(MenuBarTest, EmptyTreeShowsTheControlsNameAndTheGetterKeepsTheNewTree) {
    SetExibir(ctl.get(), true);
    Show();
    std::vector<MenuEntry> bar = ReadMenu(Bar());
    ASSERT_EQ(bar.size(), 1u);
    EXPECT_EQ(bar[0].text, "mnuPrincipal");
    EXPECT_EQ(bar[0].id, 1000u);
    EXPECT_EQ(bar[0].state, 0u);
    EXPECT_EQ(bar[0].sub, nullptr);

    // The bar read the tree through the getter, which created one and kept it.
    ComPtr<MenuTree> t1, t2;
    ASSERT_EQ(ctl->get_MenuTree(t1.put()), S_OK);
    ASSERT_EQ(ctl->get_MenuTree(t2.put()), S_OK);
    EXPECT_EQ(t1.get(), t2.get());
    short n = -1;
    t1->get_Count(&n);
    EXPECT_EQ(n, 0);

    // An empty reference set through the setter: the next read makes a fresh empty tree.
    SetTree(ctl.get(), nullptr);
    ComPtr<MenuTree> t3;
    ASSERT_EQ(ctl->get_MenuTree(t3.put()), S_OK);
    ASSERT_TRUE(t3);
    EXPECT_NE(t3.get(), t1.get());
}

TEST_F(MenuBarTest, ExibirMenuFalseLeavesAForeignMenuAloneAndTrueReplacesIt) {
    HMENU own = CreateMenu();
    AppendMenuA(own, MF_STRING, 7, "Do formulário");
    ASSERT_TRUE(SetMenu(form->hwnd(), own));
    ComPtr<MenuTree> tree = NewTree();
    AddEntry(tree.get(), L"Arquivo", L"mnuArquivo");
    SetTree(ctl.get(), tree.get());

    Show();  // a fresh control: ExibirMenu False
    EXPECT_EQ(Bar(), own);
    ASSERT_TRUE(IsMenu(own));
    EXPECT_EQ(ReadMenu(own)[0].id, 7u);

    SetExibir(ctl.get(), true);
    EXPECT_EQ(Bar(), own);  // setting the property alone rebuilds nothing
    Show();
    EXPECT_NE(Bar(), own);
    EXPECT_FALSE(IsMenu(own));
    ASSERT_EQ(ReadMenu(Bar()).size(), 1u);
    EXPECT_EQ(ReadMenu(Bar())[0].text, "Arquivo");

    // Back to False: the bar built earlier stays as it is.
    HMENU ours = Bar();
    SetExibir(ctl.get(), false);
    Show();
    EXPECT_EQ(Bar(), ours);
    EXPECT_TRUE(IsMenu(ours));
}

TEST_F(MenuBarTest, ReloadDefaultRestoresEnabledStatesAtEveryDepthOnTheNextBuild) {
    ComPtr<MenuTree> tree = NewTree();
    ComPtr<MenuItem> a = AddEntry(tree.get(), L"A", L"a");
    ComPtr<MenuItem> a1 = AddEntry(SubOf(a.get()).get(), L"A1", L"a1");
    ComPtr<MenuItem> a11 = AddEntry(SubOf(a1.get()).get(), L"A11", L"a11");
    ComPtr<MenuItem> b = AddEntry(tree.get(), L"B", L"b");
    // Defaults: a11 disabled, b enabled; current states the other way round.
    ASSERT_EQ(a11->put_HabilitadoDefault(VARIANT_FALSE), S_OK);
    ASSERT_EQ(b->put_Habilitado(VARIANT_FALSE), S_OK);
    ASSERT_EQ(b->put_VisivelDefault(VARIANT_FALSE), S_OK);
    SetTree(ctl.get(), tree.get());
    SetExibir(ctl.get(), true);
    Show();
    EXPECT_EQ(ReadMenu(Bar())[1].state, kGrayed);

    ASSERT_EQ(ctl->ReloadDefault(), S_OK) << TakeErrorText();
    VARIANT_BOOL v = VARIANT_TRUE;
    a11->get_Habilitado(&v);
    EXPECT_EQ(v, VARIANT_FALSE);
    b->get_Habilitado(&v);
    EXPECT_EQ(v, VARIANT_TRUE);
    b->get_Visivel(&v);
    EXPECT_EQ(v, VARIANT_TRUE);                    // Visivel is not restored
    EXPECT_EQ(ReadMenu(Bar())[1].state, kGrayed);  // the bar waits for a rebuild

    Show();
    std::vector<MenuEntry> bar = ReadMenu(Bar());
    EXPECT_EQ(bar[1].state, 0u);
    std::vector<MenuEntry> third = ReadMenu(ReadMenu(bar[0].sub)[0].sub);
    ASSERT_EQ(third.size(), 1u);
    EXPECT_EQ(third[0].state, kGrayed);
}

TEST_F(MenuBarTest, DefineMenuAppendsVisibleEntriesToAnyMenuWithoutClearingIt) {
    HMENU popup = CreatePopupMenu();
    AppendMenuA(popup, MF_STRING, 42, "Existente");
    ComPtr<MenuTree> tree = NewTree();
    AddEntry(tree.get(), L"Um", L"um");
    ComPtr<MenuItem> dois = AddEntry(tree.get(), L"Dois", L"dois");
    ASSERT_EQ(dois->put_Visivel(VARIANT_FALSE), S_OK);
    AddEntry(tree.get(), L"Três", L"tres");

    MenuTree* t = tree.get();
    LONG hnd = HandleToLong(popup);
    VARIANT result;
    ASSERT_EQ(ctl->DefineMenu(&t, &hnd, &result), S_OK) << TakeErrorText();
    EXPECT_EQ(V_VT(&result), VT_EMPTY);
    EXPECT_EQ(hnd, HandleToLong(popup));  // by reference, but not changed
    std::vector<MenuEntry> items = ReadMenu(popup);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].id, 42u);
    EXPECT_EQ(items[1].text, "Um");
    EXPECT_EQ(items[1].id, 1000u);
    EXPECT_EQ(items[2].text, "Tr\xeas");
    EXPECT_EQ(items[2].id, 1001u);
    DestroyMenu(popup);
}

TEST_F(MenuBarTest, SettersNotifyTheContainerAndRebuildNothing) {
    ComPtr<EventSink> sink = EventSink::Make();
    Connect(ctl.get(), IID_IPropertyNotifySink, sink->Identity());
    ComPtr<IPersistStreamInit> persist;
    ASSERT_EQ(ctl.As(IID_IPersistStreamInit, &persist), S_OK);
    ASSERT_EQ(persist->InitNew(), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);

    ComPtr<MenuTree> tree = NewTree();
    AddEntry(tree.get(), L"Um", L"um");
    SetTree(ctl.get(), tree.get());
    SetExibir(ctl.get(), true);
    EXPECT_EQ(sink->changed, (std::vector<DISPID>{1, 2}));
    EXPECT_EQ(persist->IsDirty(), S_OK);
    EXPECT_EQ(Bar(), nullptr);
}

TEST_F(MenuBarTest, FailuresOfTheContainerReachTheCallerWithText) {
    // A parent object without "hwnd".
    ComPtr<PropertyObject> ext = MakeExtender(L"mnu", form->hwnd());
    ComPtr<PropertyObject> parent = PropertyObject::Make();
    parent->values[L"Caption"] = Variant::FromString(L"sem hwnd");
    ext->values[L"Parent"] = Variant::FromDispatch(parent.get());
    site->extender = ext;
    SetExibir(ctl.get(), true);
    VARIANT result;
    const HRESULT hr = ctl->ReExibirMenu(&result);
    EXPECT_EQ(hr, DISP_E_UNKNOWNNAME);
    EXPECT_NE(TakeErrorText().find(L"hwnd"), std::wstring::npos);
    EXPECT_EQ(Bar(), nullptr);

    // No container at all.
    ComPtr<_tqMenu> loose = NewControl();
    SetExibir(loose.get(), true);
    EXPECT_EQ(loose->ReExibirMenu(&result), E_UNEXPECTED);
    EXPECT_NE(TakeErrorText().find(L"formulário"), std::wstring::npos);
}

TEST_F(MenuBarTest, BarNestsAsDeepAsASavedTreeAndNoDeeper) {
    for (const size_t levels : {tq::bib::kMaxDepth, tq::bib::kMaxDepth + 1}) {
        SCOPED_TRACE(levels);
        // One entry per level, each the only child of the one above.
        ComPtr<MenuTree> tree = NewTree();
        std::vector<ComPtr<MenuItem>> chain;
        ComPtr<MenuTree> level = tree;
        for (size_t i = 0; i < levels; ++i) {
            chain.push_back(AddEntry(level.get(), L"N", L"n" + std::to_wstring(i)));
            level = SubOf(chain.back().get());
        }
        SetTree(ctl.get(), tree.get());
        SetExibir(ctl.get(), true);
        VARIANT result;
        const HRESULT hr = ctl->ReExibirMenu(&result);
        if (levels == tq::bib::kMaxDepth) {
            ASSERT_EQ(hr, S_OK) << TakeErrorText();
            size_t depth = 0;
            for (HMENU m = Bar(); m; m = GetSubMenu(m, 0)) ++depth;
            EXPECT_EQ(depth, levels);  // the bar, then a popup per level with children
            continue;
        }
        EXPECT_EQ(hr, static_cast<HRESULT>(0x800A0006));  // CTL_E_OVERFLOW
        EXPECT_NE(TakeErrorText().find(L"256"), std::wstring::npos);
        // No bar left, and none of the popups made on the way down (every entry above the
        // last two got one).
        EXPECT_EQ(Bar(), nullptr);
        for (size_t i = 0; i + 2 < levels; ++i) {
            const LONG hnd = HndOf(chain[i].get());
            EXPECT_NE(hnd, 0);
            EXPECT_FALSE(IsMenu(tq::ctl::MenuFromLong(hnd))) << i;
        }
    }
}

TEST_F(MenuBarTest, GerarScriptOfAnEmptyTreeNeedsNoHostWindow) {
    // A parent without "hwnd": the bar cannot be built, but the script export has only its
    // notice to show, and shows it without an owner.
    ComPtr<PropertyObject> parent = PropertyObject::Make();
    site->extender->values[L"Parent"] = Variant::FromDispatch(parent.get());
    tq::test::DialogDriver driver({tq::test::Press(L"Tá Querendo Me Enganar É ?", IDOK)});
    VARIANT result;
    EXPECT_EQ(ctl->GerarScript(&result), S_OK) << TakeErrorText();
    driver.Finish();
    ASSERT_TRUE(driver.ok()) << driver.Report();
    EXPECT_EQ(driver.seen()[0].text, L"Nenhum Menu Foi Definido Ainda");
}

}  // namespace
}  // namespace ctltest
