// AdicionaNo, the key list, loading a MenuTree into the tree and applying it back, the menu
// text layout, and the page's lifecycle events.
#include <pthread.h>

#include "page_fixture.h"
#include "tq/designer/errors.h"
#include "tq/designer/mdl_comum.h"

namespace tq::designer::testing {
namespace {

TEST(AdicionaNo, AddsOrUpdatesAndReportsOnlyTheFailuresItMust) {
    const struct {
        const char16_t *texto, *pai, *chave;
        bool marcado, atualiza;
        int32_t error;
        const char* keys;  // then the changed node as "key 'text' tag [C]"; null: as before
    } cases[] = {
        // A child is last in the collection (the tag lands on it); bold is never set here.
        {u"&Novo", u"AArq", u"AArqNov", true, false, 0, "A AArq AArqNov AAju|AArqNov '&Novo' t C"},
        {u"x", u"A", u"", true, false, 0, nullptr},  // no key: nothing
        {u"x", u"A", u"", true, true, 0, nullptr},
        {u"&Arquivos", u"nope", u"AArq", false, true, 0, "A AArq AAju|AArq '&Arquivos' t B"},
        // An update of a missing key adds it (under the parent, or at the top without one).
        {u"&Abrir", u"AArq", u"AArqAbr", false, true, 0, "A AArq AArqAbr AAju|AArqAbr '&Abrir' t"},
        {u"Topo", u"", u"ATop", true, true, 0, "A AArq AAju ATop|ATop 'Topo' t C"},
        // A child that cannot be added is skipped quietly, unless after a failed update; a
        // failed top-level add is reported.
        {u"outro", u"AAju", u"AArq", true, false, 0, nullptr},
        {u"outro", u"nope", u"AOut", true, false, 0, nullptr},
        {u"outro", u"nope", u"AOut", true, true, hr::kElementNotFound, nullptr},
        {u"dup", u"", u"A", false, false, hr::kKeyNotUnique, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.chave) + " under '" + U8(c.pai) + "'");
        NodeTree t;
        AdicionaNo(t, u"Menu", u"", u"A", u"Raiz", false, false);
        AdicionaNo(t, u"Arq", u"A", u"AArq", u"t0", true, false);
        t.SetBold(t.Item(u"AArq"), true);
        AdicionaNo(t, u"Aju", u"A", u"AAju", u"t1", false, false);
        const auto run = [&] {
            AdicionaNo(t, c.texto, c.pai, c.chave, u"t", c.marcado, c.atualiza);
        };
        if (c.error) {
            ExpectError(c.error, run);
        } else {
            EXPECT_NO_THROW(run());
        }
        const Node& n = t.Item(c.keys ? c.chave : u"AArq");
        EXPECT_EQ(Keys(t) + "|" + U8(n.Key()) + " '" + U8(n.Text()) + "' " + U8(n.Tag()) +
                      (n.Bold() ? " B" : "") + (n.Checked() ? " C" : ""),
                  c.keys ? c.keys : "A AArq AAju|AArq 'Arq' t0 B C");
    }
}

TEST(CarregaTeclas, AppendsTheThirtyEightNamesWithoutEmptying) {
    ComboBox cmb;
    CarregaTeclas(cmb);
    CarregaTeclas(cmb);
    ASSERT_EQ(cmb.List.size(), 76u);
    EXPECT_EQ(U8(cmb.List[0] + cmb.List[11] + cmb.List[12] + cmb.List[37] + cmb.List[38]),
              "F1F12AZF1");
}

using LoadApply = PageTest;

TEST_F(LoadApply, LoadsEntriesUnderTheRootWithRecordsAndFlags) {
    Load("&Arquivo|Arq\n &Novo|ArqNov|Ctrl+N|Cria\n &Sair|ArqSai|||cid\n&Ajuda|Aju|F1");
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

// Apply rebuilds the MenuTree in place: defaults become the current values, shortcuts of
// entries with a submenu below the bar are dropped, each submenu's text is laid out.
TEST_F(LoadApply, ApplyWithoutEditsGivesBackTheSameTree) {
    Load(
        "&Arquivo|Arq|F3|Menu de arquivos\n &Novo|ArqNov|F4\n"
        "  &Documento|ArqNovDoc|Ctrl+Shift+F5|Texto\n  &Planilha|ArqNovPla|F6||ci\n"
        " ----------|ArqSep\n &Sair|ArqSai|Ctrl+S||d\n&Editar|Edi|F2||cid");
    const auto* before = tree->At(1).get();
    for (int round = 0; round < 2; ++round) {
        page.PropertyPage_ApplyChanges();
        EXPECT_EQ(
            DumpMenu(*tree),
            "&Arquivo|Arq|F3|Menu de arquivos|-|VV|HH|&Arquivo\n"
            "  &Novo|ArqNov|||-|VV|HH|&Novo\n"
            "    &Documento|ArqNovDoc|Ctrl+Shift+F5|Texto|-|VV|HH|&Documento   Ctrl+Shift+F5\n"
            "    &Planilha|ArqNovPla|F6||C|--|HH|&Planilha    F6\n"
            "  ----------|ArqSep|||-|VV|HH|----------\n"
            "  &Sair|ArqSai|Ctrl+S||-|VV|--|&Sair        Ctrl+S\n"
            "&Editar|Edi|F2||C|--|--|&Editar\n");
    }
    EXPECT_NE(tree->At(1).get(), before);  // new entries in the control's own MenuTree
    EXPECT_FALSE(page.Changed());
}

// The later X gets no node: its flags land on the earlier node, its submenu below it.
TEST_F(LoadApply, DuplicateNamesKeepOnlyTheEarlierEntry) {
    Load("Um|X|F1|primeiro\nDois|X|F2|segundo|cid\n Filho|Fil");
    EXPECT_EQ(DumpTree(trv()),
              "A 'Menu Principal' Raiz\n"
              "  AX 'Um' nome=X tecla=F1 desc=primeiro\n"
              "    AFil 'Filho' nome=Fil tecla= B C\n");
}

TEST_F(LoadApply, EmptyTreeShowsOnlyTheRootAndApplyEmptiesTheControlsTree) {
    Load("");
    EXPECT_EQ(DumpTree(trv()), "A 'Menu Principal' Raiz\n");
    EXPECT_FALSE(form().btnScript.Enabled);
    EXPECT_TRUE(form().lstMenu.Rows.empty());
    tree->Add(u"Velho", u"Vel");
    page.PropertyPage_ApplyChanges();
    EXPECT_EQ(tree->Count(), 0u);
}

TEST_F(LoadApply, SecondLoadDropsUnappliedEditsAndListsKeysOnce) {
    Load("&Arquivo|Arq");
    AddEntry(u"A", u"&Editar");
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
    Load("&Arquivo|Arq");
    EXPECT_EQ(tree.use_count(), 2);
    page.PropertyPage_Terminate();
    EXPECT_EQ(page.mMenuTree(), nullptr);
    EXPECT_EQ(tree.use_count(), 1);
}

// Loaded, applied and moved (the move copies the whole chain) on a 1 MiB stack, a host thread's
// common size: a walk that recursed per level would overflow it.
TEST_F(LoadApply, TenThousandLevelsLoadApplyAndMoveOnAOneMebibyteStack) {
    constexpr int kDepth = 10000;
    const auto num = [](int i) { return FromUtf8(std::to_string(i)); };
    tree = bib::MenuTree::Create();
    bib::MenuTree* level = tree.get();
    std::shared_ptr<bib::MenuItem> fundo;
    for (int i = 0; i < kDepth; ++i, level = fundo->SubMenu().get())
        fundo = level->Add(u"n" + num(i), u"N" + num(i));
    fundo->SetTeclaExtenso(u"F5");
    tree->Add(u"Outro", u"Out");
    struct Run {
        std::function<void()> body;
        std::string error;
        static void* Main(void* p) {
            try {
                static_cast<Run*>(p)->body();
            } catch (const Error& e) {
                static_cast<Run*>(p)->error = e.what();
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
    ASSERT_EQ(run.error, "");
    level = tree.get();
    const Node* n = N(u"A").Child()->Next();
    for (int i = 0; i < kDepth; ++i, level = level->At(1)->SubMenu().get(), n = n->Child()) {
        ASSERT_EQ(level->Count(), i == 0 ? 2u : 1u) << "level " << i;
        ASSERT_EQ(level->At(1)->Nome(), u"N" + num(i));
        ASSERT_EQ(n->Key(), u"tmpAN" + num(i));
        if (i == kDepth - 1) {
            EXPECT_EQ(level->At(1)->TextoMenu(), u"n9999   F5");
        }
    }
}

// Shortcuts three spaces after the widest caption; an entry with a submenu loses its shortcut
// and keeps its text; a width + 3 past 32767 overflows (16-bit arithmetic).
TEST(MontaTextoMenu, AlignsShortcutsAndOverflowsAtSixteenBits) {
    auto level = Build("&Novo|Nov|F2\nAbre|Abr\nExportar|Exp|F5\n PDF|Pdf|F9");
    level->At(2)->SetTextoMenu(u"mantido 1");
    level->At(3)->SetTextoMenu(u"mantido 3");
    PageModel::MontaTextoMenu(*model::WrapMenuTree(level));
    EXPECT_EQ(DumpMenu(*level),
              "&Novo|Nov|F2||-|-V|-H|&Novo      F2\n"
              "Abre|Abr|||-|-V|-H|mantido 1\n"
              "Exportar|Exp|||-|-V|-H|mantido 3\n"
              "  PDF|Pdf|F9||-|-V|-H|PDF   F9\n");
    const auto width = [](size_t captionLength, const char* tecla) {
        auto one = Build(std::string(captionLength, 'x') + "|x|" + tecla);
        PageModel::MontaTextoMenu(*model::WrapMenuTree(one));
        return one->At(1)->TextoMenu().size();
    };
    EXPECT_EQ(width(32764, "F1"), 32764u + 3 + 2);
    ExpectError(tq::hr::kOverflow, [&] { width(32765, "F1"); });
    ExpectError(tq::hr::kOverflow, [&] { width(32768, ""); });
    EXPECT_EQ(width(32767, ""), 32767u);
}

}  // namespace
}  // namespace tq::designer::testing
