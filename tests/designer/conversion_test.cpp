// AdicionaNo, the key list, loading a MenuTree into the tree, applying it back, the menu text
// layout, and the page's lifecycle events.
#include <pthread.h>

#include "page_fixture.h"
#include "tq/designer/errors.h"
#include "tq/designer/mdl_comum.h"

namespace tq::designer::testing {
namespace {

using R = NodeTree::Relative;

// ---- AdicionaNo ------------------------------------------------------------------------------

class AdicionaNoTest : public ::testing::Test {
  protected:
    AdicionaNoTest() {
        AdicionaNo(t, u"Menu Principal", u"", u"A", u"Raiz", false, false);
        AdicionaNo(t, u"&Arquivo", u"A", u"AArq", u"tagArq", true, false);
        t.SetBold(t.Item(u"AArq"), true);
        AdicionaNo(t, u"&Ajuda", u"A", u"AAju", u"tagAju", false, false);
    }
    NodeTree t;
};

TEST_F(AdicionaNoTest, AddsUnderTheParentWithTagAndCheckOnTheNewNode) {
    EXPECT_EQ(Keys(t), "A AArq AAju");
    // A child of the first entry: last in the collection, not last in tree order.
    AdicionaNo(t, u"&Novo", u"AArq", u"AArqNov", u"tagNov", true, false);
    EXPECT_EQ(Keys(t), "A AArq AArqNov AAju");
    const Node& n = t.Item(u"AArqNov");
    EXPECT_EQ(n.Tag(), u"tagNov");
    EXPECT_TRUE(n.Checked());
    EXPECT_FALSE(n.Bold());  // never set here
    EXPECT_EQ(t.Item(u"AAju").Tag(), u"tagAju");
    EXPECT_EQ(t.Item(u"A").Tag(), u"Raiz");
    EXPECT_FALSE(t.Item(u"A").Checked());
}

TEST_F(AdicionaNoTest, EmptyKeyChangesNothing) {
    AdicionaNo(t, u"x", u"A", u"", u"t", true, false);
    AdicionaNo(t, u"x", u"A", u"", u"t", true, true);
    EXPECT_EQ(t.Count(), 3);
}

TEST_F(AdicionaNoTest, UpdateSetsTextTagAndCheckButNotBold) {
    AdicionaNo(t, u"&Arquivos", u"nope", u"AArq", u"novaTag", false, true);
    const Node& n = t.Item(u"AArq");
    EXPECT_EQ(n.Text(), u"&Arquivos");
    EXPECT_EQ(n.Tag(), u"novaTag");
    EXPECT_FALSE(n.Checked());
    EXPECT_TRUE(n.Bold());
    EXPECT_EQ(t.Count(), 3);
}

TEST_F(AdicionaNoTest, UpdateOfAMissingKeyAddsItAsTheLastChild) {
    AdicionaNo(t, u"&Novo", u"AArq", u"AArqNov", u"tagNov", true, true);
    AdicionaNo(t, u"&Abrir", u"AArq", u"AArqAbr", u"tagAbr", false, true);
    EXPECT_EQ(Keys(t), "A AArq AArqNov AArqAbr AAju");
    EXPECT_EQ(t.Item(u"AArqAbr").Tag(), u"tagAbr");
    EXPECT_TRUE(t.Item(u"AArqNov").Checked());
    // With no parent key the update becomes a top-level add.
    AdicionaNo(t, u"Topo", u"", u"ATop", u"tagTop", true, true);
    EXPECT_EQ(t.FirstTop()->Next()->Key(), u"ATop");
}

TEST_F(AdicionaNoTest, FailedChildAddIsQuiet) {
    const std::string before = DumpTree(t);
    // Key in use elsewhere, and a parent that does not exist: skipped without a report.
    EXPECT_NO_THROW(AdicionaNo(t, u"outro", u"AAju", u"AArq", u"x", true, false));
    EXPECT_NO_THROW(AdicionaNo(t, u"outro", u"nope", u"AOut", u"x", true, false));
    EXPECT_EQ(DumpTree(t), before);
}

TEST_F(AdicionaNoTest, FailureAfterAFailedUpdateIsReported) {
    ExpectError(hr::kElementNotFound,
                [&] { AdicionaNo(t, u"outro", u"nope", u"AOut", u"x", true, true); });
    EXPECT_EQ(t.Count(), 3);
}

TEST_F(AdicionaNoTest, FailedTopLevelAddIsReported) {
    ExpectError(hr::kKeyNotUnique, [&] { AdicionaNo(t, u"dup", u"", u"A", u"x", false, false); });
    EXPECT_EQ(t.Count(), 3);
    EXPECT_EQ(t.Item(u"A").Text(), u"Menu Principal");
}

TEST(CarregaTeclas, AppendsTheThirtyEightNamesWithoutEmptying) {
    ComboBox cmb;
    CarregaTeclas(cmb);
    ASSERT_EQ(cmb.List.size(), 38u);
    EXPECT_EQ(cmb.List[0], u"F1");
    EXPECT_EQ(cmb.List[11], u"F12");
    EXPECT_EQ(cmb.List[12], u"A");
    EXPECT_EQ(cmb.List[37], u"Z");
    CarregaTeclas(cmb);
    EXPECT_EQ(cmb.List.size(), 76u);
    EXPECT_EQ(cmb.List[38], u"F1");
}

// ---- Load and apply ----------------------------------------------------------------------

using LoadApply = PageTest;

TEST_F(LoadApply, LoadsEntriesUnderTheRootWithRecordsAndFlags) {
    Load({E{u"&Arquivo",
            u"Arq",
            u"",
            u"",
            false,
            true,
            true,
            {E{u"&Novo", u"ArqNov", u"Ctrl+N", u"Cria"},
             E{u"&Sair", u"ArqSai", u"", u"", true, false, false}}},
          E{u"&Ajuda", u"Aju", u"F1"}});
    EXPECT_EQ(DumpTree(trv()),
              "A 'Menu Principal' Raiz\n"
              "  AArq '&Arquivo' nome=Arq tecla= B C\n"
              "    AArqNov '&Novo' nome=ArqNov tecla=Ctrl+N desc=Cria B C\n"
              "    AArqSai '&Sair' nome=ArqSai tecla= consulta\n"
              "  AAju '&Ajuda' nome=Aju tecla=F1 B C\n");
    EXPECT_EQ(N(u"AArqNov").Tag().size(), 121u);
    EXPECT_EQ(trv().SelectedItem(), &N(u"A"));
    EXPECT_EQ(ListColumn(0), (std::vector<std::string>{"&Arquivo", "&Ajuda"}));
    EXPECT_EQ(view.Dump(), DumpTree(trv()));
    EXPECT_FALSE(page.Changed());
    EXPECT_TRUE(host.changedCalls.empty());
}

TEST_F(LoadApply, ApplyWithoutEditsGivesBackTheSameTree) {
    const std::vector<E> entries = {
        E{u"&Arquivo",
          u"Arq",
          u"",
          u"Menu de arquivos",
          false,
          true,
          true,
          {E{u"&Novo",
             u"ArqNov",
             u"",
             u"",
             false,
             true,
             true,
             {E{u"&Documento", u"ArqNovDoc", u"Ctrl+Shift+F5", u"Texto"},
              E{u"&Planilha", u"ArqNovPla", u"F6", u"", true, false, true}}},
           E{u"----------", u"ArqSep"},
           E{u"&Sair", u"ArqSai", u"Ctrl+S", u"", false, true, false}}},
        E{u"&Editar", u"Edi", u"F2", u"", true, false, false},
        E{u"&Ajuda", u"Aju", u"", u"", false, true, true, {E{u"&Sobre", u"AjuSob", u"F1"}}}};
    Load(entries);
    const auto* before = tree->At(1).get();
    page.PropertyPage_ApplyChanges();

    EXPECT_EQ(DumpMenu(*tree), DumpMenu(*Build(entries, false)));
    EXPECT_NE(tree->At(1).get(), before);  // rebuilt in place: the same MenuTree, new entries
    // Texts laid out per submenu; the menu bar's own titles keep their caption.
    EXPECT_EQ(tree->At(1)->SubMenu()->At(3)->TextoMenu(), u"&Sair" + String(8, u' ') + u"Ctrl+S");
    EXPECT_EQ(tree->At(1)->SubMenu()->At(1)->SubMenu()->At(2)->TextoMenu(),
              u"&Planilha" + String(4, u' ') + u"F6");
    EXPECT_EQ(tree->At(2)->TextoMenu(), u"&Editar");
    EXPECT_FALSE(page.Changed());

    // Applying again rebuilds from the same nodes.
    page.PropertyPage_ApplyChanges();
    EXPECT_EQ(DumpMenu(*tree), DumpMenu(*Build(entries, false)));
}

TEST_F(LoadApply, ShortcutOfAnEntryWithASubmenuIsDroppedBelowTheMenuBar) {
    Load({E{u"&Arquivo",
            u"Arq",
            u"F3",
            u"",
            false,
            true,
            true,
            {E{u"&Novo",
               u"ArqNov",
               u"F4",
               u"",
               false,
               true,
               true,
               {E{u"&Doc", u"ArqNovDoc", u"F5"}}}}}});
    page.PropertyPage_ApplyChanges();
    EXPECT_EQ(tree->At(1)->TeclaExtenso(), u"F3");  // top level: no layout
    EXPECT_EQ(tree->At(1)->SubMenu()->At(1)->TeclaExtenso(), u"");
    EXPECT_EQ(tree->At(1)->SubMenu()->At(1)->SubMenu()->At(1)->TeclaExtenso(), u"F5");
}

TEST_F(LoadApply, DuplicateNamesKeepOnlyTheEarlierEntry) {
    // Two entries named X: the later one cannot get a node.  Its flags land on the earlier
    // node and its submenu below it; its own caption, shortcut and description are lost.
    Load({E{u"Um", u"X", u"F1", u"primeiro"},
          E{u"Dois", u"X", u"F2", u"segundo", true, false, false, {E{u"Filho", u"Fil"}}}});
    EXPECT_EQ(DumpTree(trv()),
              "A 'Menu Principal' Raiz\n"
              "  AX 'Um' nome=X tecla=F1 desc=primeiro\n"
              "    AFil 'Filho' nome=Fil tecla= B C\n");
    page.PropertyPage_ApplyChanges();
    EXPECT_EQ(DumpMenu(*tree),
              "Um|X|F1|primeiro|-|--|--\n"
              "  Filho|Fil|||-|VV|HH\n");
}

TEST_F(LoadApply, EmptyTreeShowsOnlyTheRootAndApplyKeepsItEmpty) {
    Load({});
    EXPECT_EQ(DumpTree(trv()), "A 'Menu Principal' Raiz\n");
    EXPECT_FALSE(form().btnScript.Enabled);
    EXPECT_TRUE(form().lstMenu.Rows.empty());
    EXPECT_EQ(form().cmbTeclaAcesso.List.size(), 38u);
    // An applied page with only the root empties a tree that had entries.
    Fill(*tree, {E{u"Velho", u"Vel"}});
    page.PropertyPage_ApplyChanges();
    EXPECT_EQ(tree->Count(), 0u);
}

TEST_F(LoadApply, SecondLoadDropsUnappliedEditsAndListsKeysOnce) {
    Load({E{u"&Arquivo", u"Arq"}});
    EXPECT_TRUE(form().btnScript.Enabled);
    AddEntry(u"A", u"&Editar");
    ASSERT_NE(trv().Find(u"AEdi"), nullptr);
    page.PropertyPage_SelectionChanged(model::WrapMenuTree(tree));
    EXPECT_EQ(Keys(trv()), "A AArq");
    EXPECT_EQ(form().cmbTeclaAcesso.List.size(), 38u);
    EXPECT_EQ(trv().SelectedItem(), &N(u"A"));
    EXPECT_TRUE(Browsing());
    EXPECT_EQ(view.Dump(), DumpTree(trv()));
}

TEST_F(LoadApply, EventsWithoutATreeFailAndTerminateReleasesIt) {
    ExpectError(hr::kObjectNotSet, [&] { page.PropertyPage_ApplyChanges(); });
    ExpectError(hr::kObjectNotSet, [&] { page.PropertyPage_SelectionChanged(nullptr); });
    EXPECT_EQ(DumpTree(trv()), "A 'Menu Principal' Raiz\n");

    Load({E{u"&Arquivo", u"Arq"}});
    EXPECT_EQ(tree.use_count(), 2);
    page.PropertyPage_Terminate();
    EXPECT_EQ(page.mMenuTree(), nullptr);
    EXPECT_EQ(tree.use_count(), 1);
}

// A tree built by code, 10,000 levels deep, loaded, applied and moved (the move copies the
// whole chain) on a thread with a 1 MiB stack, the size a host's thread commonly gets: a walk
// that recursed per level would overflow it after about 3,000 levels.
TEST_F(LoadApply, TenThousandLevelsLoadApplyAndMoveOnAOneMebibyteStack) {
    constexpr int kDepth = 10000;
    const auto num = [](int i) { return FromUtf8(std::to_string(i)); };
    tree = bib::MenuTree::Create();
    bib::MenuTree* level = tree.get();
    std::shared_ptr<bib::MenuItem> fundo;
    for (int i = 0; i < kDepth; ++i) {
        fundo = level->Add(u"n" + num(i), u"N" + num(i));
        level = fundo->SubMenu().get();
    }
    tree->At(1)->SubMenu()->At(1)->SetTeclaExtenso(u"F3");  // dropped: it has a submenu
    tree->Add(u"Outro", u"Out");
    fundo->SetTeclaExtenso(u"F5");  // the deepest entry, a leaf: its shortcut is laid out

    struct Run {
        std::function<void()> body;
        std::string error;
        static void* Main(void* p) {
            auto* r = static_cast<Run*>(p);
            try {
                r->body();
            } catch (const Error& e) {
                r->error = e.what();
            }
            return nullptr;
        }
    } run;
    run.body = [&] {
        page.PropertyPage_SelectionChanged(model::WrapMenuTree(tree));
        page.PropertyPage_ApplyChanges();
        Click(u"AN0");
        page.btnDesce_Click();
    };
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 1024 * 1024);
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, &attr, &Run::Main, &run), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
    ASSERT_EQ(run.error, "");

    // Applied: the same chain, one entry a level, the laid-out text only at the bottom.
    level = tree.get();
    for (int i = 0; i < kDepth; ++i) {
        ASSERT_EQ(level->Count(), i == 0 ? 2u : 1u) << "level " << i;
        const auto e = level->At(1);
        ASSERT_EQ(e->Nome(), u"N" + num(i));
        ASSERT_EQ(e->Caption(), u"n" + num(i));
        ASSERT_EQ(e->TeclaExtenso(), i == kDepth - 1 ? u"F5" : u"") << "level " << i;
        if (i == kDepth - 1) {
            EXPECT_EQ(e->TextoMenu(), u"n9999   F5");
        }
        level = e->SubMenu().get();
    }
    EXPECT_EQ(level->Count(), 0u);
    // Moved below "Outro" with every level copied under "tmp" keys, in order.
    const Node* n = N(u"A").Child();
    ASSERT_EQ(n->Key(), u"AOut");
    n = n->Next();
    for (int i = 0; i < kDepth; ++i) {
        ASSERT_TRUE(n) << "level " << i;
        ASSERT_EQ(n->Key(), u"tmpAN" + num(i));
        ASSERT_EQ(n->Text(), u"n" + num(i));
        ASSERT_EQ(n->Children(), i < kDepth - 1 ? 1 : 0);
        n = n->Child();
    }
    EXPECT_EQ(trv().Count(), 1 + 1 + kDepth);
}

// ---- MontaTextoMenu ------------------------------------------------------------------------

TEST(MontaTextoMenu, AlignsShortcutsThreeSpacesAfterTheWidestCaption) {
    auto level = bib::MenuTree::Create();
    auto novo = level->Add(u"&Novo", u"Nov");  // 5 characters, "&" included
    novo->SetTeclaExtenso(u"F2");
    auto abre = level->Add(u"Abre", u"Abr");
    abre->SetTextoMenu(u"mantido 1");
    auto exporta = level->Add(u"Exportar", u"Exp");  // 8 characters, with a submenu
    exporta->SetTeclaExtenso(u"F5");
    exporta->SetTextoMenu(u"mantido 3");
    exporta->SubMenu()->Add(u"PDF", u"Pdf")->SetTeclaExtenso(u"F9");

    PageModel::MontaTextoMenu(*model::WrapMenuTree(level));
    EXPECT_EQ(novo->TextoMenu(), u"&Novo" + String(6, u' ') + u"F2");
    EXPECT_EQ(abre->TextoMenu(), u"mantido 1");
    EXPECT_EQ(exporta->TeclaExtenso(), u"");
    EXPECT_EQ(exporta->TextoMenu(), u"mantido 3");
    EXPECT_EQ(exporta->SubMenu()->At(1)->TextoMenu(), u"PDF   F9");
}

TEST(MontaTextoMenu, LevelOfSubmenusOnlyGetsNoSecondPass) {
    auto level = bib::MenuTree::Create();
    auto a = level->Add(u"A", u"A");
    a->SetTeclaExtenso(u"F1");
    a->SetTextoMenu(u"antes");
    a->SubMenu()->Add(u"filho", u"f");
    PageModel::MontaTextoMenu(*model::WrapMenuTree(level));
    EXPECT_EQ(a->TeclaExtenso(), u"");
    EXPECT_EQ(a->TextoMenu(), u"antes");
}

TEST(MontaTextoMenu, SixteenBitWidthOverflows) {
    const auto run = [](size_t captionLength, const char16_t* tecla) {
        auto level = bib::MenuTree::Create();
        level->Add(String(captionLength, u'x'), u"x")->SetTeclaExtenso(tecla);
        PageModel::MontaTextoMenu(*model::WrapMenuTree(level));
        return level->At(1)->TextoMenu().size();
    };
    EXPECT_EQ(run(32764, u"F1"), 32764u + 3 + 2);  // width + 3 = 32767: still fits
    ExpectError(tq::hr::kOverflow, [&] { run(32765, u"F1"); });
    ExpectError(tq::hr::kOverflow, [&] { run(32768, u""); });  // the width itself
    EXPECT_EQ(run(32767, u""), 32767u);                        // no shortcut: no column
}

}  // namespace
}  // namespace tq::designer::testing
