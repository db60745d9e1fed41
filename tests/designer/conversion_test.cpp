// AdicionaNo, the key list, loading a MenuTree into the tree, applying it back, the menu text
// layout, and the page's lifecycle events.
#include <pthread.h>

#include "page_fixture.h"
#include "tq/designer/errors.h"
#include "tq/designer/mdl_comum.h"

namespace tq::designer::testing {
namespace {

TEST(AdicionaNo, AddsOrUpdatesAndReportsOnlyTheFailuresItMust) {
    struct Case {
        const char16_t *texto, *pai, *chave;
        bool marcado, atualiza;
        int32_t error;         // 0: none
        const char* expected;  // key 'text' tag [C], pre-order; null: as before
    } cases[] = {
        // A child of the first entry: last in the collection (the tag lands on it), not in
        // the tree.  Bold is never set here.
        {u"&Novo", u"AArq", u"AArqNov", true, false, 0,
         "A 'Menu' Raiz|AArq 'Arq' t0 B C|AArqNov '&Novo' t C|AAju 'Aju' t1|"},
        {u"x", u"A", u"", true, false, 0, nullptr},  // no key: nothing
        {u"x", u"A", u"", true, true, 0, nullptr},
        {u"&Arquivos", u"nope", u"AArq", false, true, 0,
         "A 'Menu' Raiz|AArq '&Arquivos' t B|AAju 'Aju' t1|"},
        // An update of a missing key adds it (under the parent, or at the top without one).
        {u"&Abrir", u"AArq", u"AArqAbr", false, true, 0,
         "A 'Menu' Raiz|AArq 'Arq' t0 B C|AArqAbr '&Abrir' t|AAju 'Aju' t1|"},
        {u"Topo", u"", u"ATop", true, true, 0,
         "A 'Menu' Raiz|AArq 'Arq' t0 B C|AAju 'Aju' t1|ATop 'Topo' t C|"},
        // A child that cannot be added is skipped quietly...
        {u"outro", u"AAju", u"AArq", true, false, 0, nullptr},
        {u"outro", u"nope", u"AOut", true, false, 0, nullptr},
        // ... unless it comes after a failed update; a failed top-level add is reported.
        {u"outro", u"nope", u"AOut", true, true, hr::kElementNotFound, nullptr},
        {u"dup", u"", u"A", false, false, hr::kKeyNotUnique, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(U8(c.chave) + " under '" + U8(c.pai) + "'");
        NodeTree t;
        AdicionaNo(t, u"Menu", u"", u"A", u"Raiz", false, false);
        AdicionaNo(t, u"Arq", u"A", u"AArq", u"t0", true, false);
        t.SetBold(t.Item(u"AArq"), true);
        AdicionaNo(t, u"Aju", u"A", u"AAju", u"t1", false, false);
        const auto dump = [&] {
            std::string out;
            std::function<void(const Node*)> walk = [&](const Node* n) {
                for (; n; n = n->Next()) {
                    out += U8(n->Key()) + " '" + U8(n->Text()) + "' " + U8(n->Tag()) +
                           (n->Bold() ? " B" : "") + (n->Checked() ? " C" : "") + "|";
                    walk(n->Child());
                }
            };
            walk(t.FirstTop());
            return out;
        };
        const std::string before = dump();
        const auto run = [&] {
            AdicionaNo(t, c.texto, c.pai, c.chave, u"t", c.marcado, c.atualiza);
        };
        if (c.error)
            ExpectError(c.error, run);
        else
            EXPECT_NO_THROW(run());
        EXPECT_EQ(dump(), c.expected ? c.expected : before);
    }
}

TEST(CarregaTeclas, AppendsTheThirtyEightNamesWithoutEmptying) {
    ComboBox cmb;
    CarregaTeclas(cmb);
    CarregaTeclas(cmb);
    ASSERT_EQ(cmb.List.size(), 76u);
    EXPECT_EQ(cmb.List[0], u"F1");
    EXPECT_EQ(cmb.List[11], u"F12");
    EXPECT_EQ(cmb.List[12], u"A");
    EXPECT_EQ(cmb.List[37], u"Z");
    EXPECT_EQ(cmb.List[38], u"F1");
}

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
    EXPECT_TRUE(form().btnScript.Enabled);
    EXPECT_FALSE(page.Changed());
    EXPECT_TRUE(host.changedCalls.empty());
}

// Apply rebuilds the same MenuTree in place: defaults become the current values, shortcuts of
// entries with a submenu below the menu bar are dropped, each submenu's text is laid out.
TEST_F(LoadApply, ApplyWithoutEditsGivesBackTheSameTree) {
    const E planilha{u"&Planilha", u"ArqNovPla", u"F6", u"", true, false, true};
    Load({E{u"&Arquivo",
            u"Arq",
            u"F3",
            u"Menu de arquivos",
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
               {E{u"&Documento", u"ArqNovDoc", u"Ctrl+Shift+F5", u"Texto"}, planilha}},
             E{u"----------", u"ArqSep"},
             E{u"&Sair", u"ArqSai", u"Ctrl+S", u"", false, true, false}}},
          E{u"&Editar", u"Edi", u"F2", u"", true, false, false}});
    const auto* before = tree->At(1).get();
    for (int round = 0; round < 2; ++round) {
        page.PropertyPage_ApplyChanges();
        EXPECT_EQ(DumpMenu(*tree),
                  "&Arquivo|Arq|F3|Menu de arquivos|-|VV|HH|&Arquivo\n"
                  "  &Novo|ArqNov|||-|VV|HH|&Novo\n"
                  "    &Documento|ArqNovDoc|Ctrl+Shift+F5|Texto|-|VV|HH|"
                  "&Documento   Ctrl+Shift+F5\n"
                  "    &Planilha|ArqNovPla|F6||C|--|HH|&Planilha    F6\n"
                  "  ----------|ArqSep|||-|VV|HH|----------\n"
                  "  &Sair|ArqSai|Ctrl+S||-|VV|--|&Sair        Ctrl+S\n"
                  "&Editar|Edi|F2||C|--|--|&Editar\n");
    }
    EXPECT_NE(tree->At(1).get(), before);  // new entries in the control's own MenuTree
    EXPECT_FALSE(page.Changed());
}

TEST_F(LoadApply, DuplicateNamesKeepOnlyTheEarlierEntry) {
    // The later X cannot get a node: its flags land on the earlier node and its submenu below
    // it; its own caption, shortcut and description are lost.
    Load({E{u"Um", u"X", u"F1", u"primeiro"},
          E{u"Dois", u"X", u"F2", u"segundo", true, false, false, {E{u"Filho", u"Fil"}}}});
    EXPECT_EQ(DumpTree(trv()),
              "A 'Menu Principal' Raiz\n"
              "  AX 'Um' nome=X tecla=F1 desc=primeiro\n"
              "    AFil 'Filho' nome=Fil tecla= B C\n");
}

TEST_F(LoadApply, EmptyTreeShowsOnlyTheRootAndApplyEmptiesTheControlsTree) {
    Load({});
    EXPECT_EQ(DumpTree(trv()), "A 'Menu Principal' Raiz\n");
    EXPECT_FALSE(form().btnScript.Enabled);
    EXPECT_TRUE(form().lstMenu.Rows.empty());
    EXPECT_EQ(form().cmbTeclaAcesso.List.size(), 38u);
    Fill(*tree, {E{u"Velho", u"Vel"}});
    page.PropertyPage_ApplyChanges();
    EXPECT_EQ(tree->Count(), 0u);
}

TEST_F(LoadApply, SecondLoadDropsUnappliedEditsAndListsKeysOnce) {
    Load({E{u"&Arquivo", u"Arq"}});
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

// 10,000 levels loaded, applied and moved (the move copies the whole chain) on a thread with a
// 1 MiB stack, a host thread's common size: a walk that recursed per level would overflow it.
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
    tree->Add(u"Outro", u"Out");
    fundo->SetTeclaExtenso(u"F5");

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
    } run{[&] {
              page.PropertyPage_SelectionChanged(model::WrapMenuTree(tree));
              page.PropertyPage_ApplyChanges();
              Click(u"AN0");
              page.btnDesce_Click();
          },
          ""};
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 1024 * 1024);
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, &attr, &Run::Main, &run), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
    ASSERT_EQ(run.error, "");

    level = tree.get();
    for (int i = 0; i < kDepth; ++i) {
        ASSERT_EQ(level->Count(), i == 0 ? 2u : 1u) << "level " << i;
        ASSERT_EQ(level->At(1)->Nome(), u"N" + num(i));
        if (i == kDepth - 1) {
            EXPECT_EQ(level->At(1)->TextoMenu(), u"n9999   F5");
        }
        level = level->At(1)->SubMenu().get();
    }
    const Node* n = N(u"A").Child()->Next();
    for (int i = 0; i < kDepth; ++i, n = n->Child()) {
        ASSERT_TRUE(n) << "level " << i;
        ASSERT_EQ(n->Key(), u"tmpAN" + num(i));
    }
    EXPECT_EQ(trv().Count(), 2 + kDepth);
}

// Shortcuts three spaces after the widest caption; an entry with a submenu loses its shortcut
// and keeps its text; a width + 3 past 32767 overflows (16-bit arithmetic).
TEST(MontaTextoMenu, AlignsShortcutsAndOverflowsAtSixteenBits) {
    auto level = bib::MenuTree::Create();
    auto novo = level->Add(u"&Novo", u"Nov");
    novo->SetTeclaExtenso(u"F2");
    level->Add(u"Abre", u"Abr")->SetTextoMenu(u"mantido 1");
    auto exporta = level->Add(u"Exportar", u"Exp");  // the widest, with a submenu
    exporta->SetTeclaExtenso(u"F5");
    exporta->SetTextoMenu(u"mantido 3");
    exporta->SubMenu()->Add(u"PDF", u"Pdf")->SetTeclaExtenso(u"F9");
    PageModel::MontaTextoMenu(*model::WrapMenuTree(level));
    EXPECT_EQ(novo->TextoMenu(), u"&Novo" + String(6, u' ') + u"F2");
    EXPECT_EQ(level->At(2)->TextoMenu(), u"mantido 1");
    EXPECT_EQ(exporta->TeclaExtenso(), u"");
    EXPECT_EQ(exporta->TextoMenu(), u"mantido 3");
    EXPECT_EQ(exporta->SubMenu()->At(1)->TextoMenu(), u"PDF   F9");

    const auto width = [](size_t captionLength, const char16_t* tecla) {
        auto one = bib::MenuTree::Create();
        one->Add(String(captionLength, u'x'), u"x")->SetTeclaExtenso(tecla);
        PageModel::MontaTextoMenu(*model::WrapMenuTree(one));
        return one->At(1)->TextoMenu().size();
    };
    EXPECT_EQ(width(32764, u"F1"), 32764u + 3 + 2);
    ExpectError(tq::hr::kOverflow, [&] { width(32765, u"F1"); });
    ExpectError(tq::hr::kOverflow, [&] { width(32768, u""); });
    EXPECT_EQ(width(32767, u""), 32767u);
}

}  // namespace
}  // namespace tq::designer::testing
