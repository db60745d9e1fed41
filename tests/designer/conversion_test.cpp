// Loading a MenuTree into the tree, applying it back, and the page's lifecycle events.
#include <pthread.h>

#include "page_fixture.h"

namespace tq::designer::testing {
namespace {

using LoadApply = PageTest;

TEST_F(LoadApply, LoadsEntriesUnderTheRootAndDuplicateNamesKeepTheEarlierEntry) {
    Load("&Arquivo|Arq\n &Novo|ArqNov|Ctrl+N|Cria\n &Sair|ArqSai|||cid\n&Ajuda|Aju|F1|ajuda\n" +
         std::string("Dois|Aju|F2|segundo|cid\n Filho|Fil"));
    EXPECT_EQ(DumpTree(trv()),
              "A 'Menu Principal' Raiz\n"
              "  AArq '&Arquivo' Arq||False| B C\n"
              "    AArqNov '&Novo' ArqNov|Ctrl+N|False|Cria B C\n"
              "    AArqSai '&Sair' ArqSai||True|\n"
              "  AAju '&Ajuda' Aju|F1|False|ajuda\n"  // the later Aju's flags and submenu
              "    AFil 'Filho' Fil||False| B C\n");
    EXPECT_EQ(
        List(0) + "|" + List(1) + "|" + List(2) + "|" + List(3) + "|" + List(4) + "|" + List(5),
        "&Arquivo,&Ajuda|Arq,Aju|,F1|True,False|True,False|,ajuda");
    EXPECT_TRUE(changed.empty() && !page.Changed());
}

// Defaults become current values, submenu texts are laid out, a submenu's parent loses its key.
TEST_F(LoadApply, ApplyWithoutEditsGivesBackTheSameTree) {
    Load(
        "&Arquivo|Arq|F3|Menu de arquivos\n &Novo|ArqNov|F4\n"
        "  &Documento|ArqNovDoc|Ctrl+Shift+F5|Texto\n  &Planilha|ArqNovPla|F6||ci\n"
        " ----------|ArqSep\n &Sair|ArqSai|Ctrl+S||d\n&Editar|Edi|F2||cid");
    std::string loaded = DumpTree(trv());
    const auto* before = tree->At(1).get();
    page.PropertyPage_ApplyChanges();
    EXPECT_NE(tree->At(1).get(), before);  // new entries in the control's own MenuTree
    const auto arq = tree->At(1)->SubMenu(), novo = arq->At(1)->SubMenu();
    EXPECT_EQ(U8(novo->At(1)->TextoMenu() + u"|" + novo->At(2)->TextoMenu() + u"|" +
                 arq->At(3)->TextoMenu() + u"|" + tree->At(2)->TextoMenu()),
              "&Documento   Ctrl+Shift+F5|&Planilha    F6|&Sair        Ctrl+S|&Editar");
    for (const auto& e : {tree->At(2), arq->At(3), novo->At(2)})
        EXPECT_EQ(std::pair(e->Visivel(), e->Habilitado()),
                  std::pair(e->VisivelDefault(), e->HabilitadoDefault()));
    Reload();
    EXPECT_EQ(DumpTree(trv()), loaded.replace(loaded.find("|F4|"), 4, "||"));
    EXPECT_FALSE(page.Changed());
}

TEST_F(LoadApply, EventsWithoutATreeAnEmptyTreeAndASecondLoad) {
    EXPECT_EQ(ErrorOf([&] { page.PropertyPage_ApplyChanges(); }), hr::kObjectNotSet);
    EXPECT_EQ(ErrorOf([&] { page.PropertyPage_SelectionChanged(nullptr); }), hr::kObjectNotSet);
    Load("");
    EXPECT_EQ(DumpTree(trv()), "A 'Menu Principal' Raiz\n");
    tree->Add(u"Velho", u"Vel");
    page.PropertyPage_ApplyChanges();  // empties the control's tree
    EXPECT_EQ(tree->Count(), 0u);
    EXPECT_EQ(tree.use_count(), 2);
    page.PropertyPage_Terminate();  // releases it
    EXPECT_EQ(page.mMenuTree(), nullptr);
    EXPECT_EQ(tree.use_count(), 1);
    Load("&Arquivo|Arq");  // a second load drops unapplied edits and lists the keys once
    AddEntry(u"A", u"&Editar");
    Reload();
    EXPECT_EQ(Keys(trv()), "A AArq");
    EXPECT_EQ(form().cmbTeclaAcesso.List.size(), 38u);
    page.PropertyPage_ApplyChanges();  // a lone entry is applied too
    EXPECT_EQ(U8(tree->Count() == 1 ? tree->At(1)->Nome() : u"?"), "Arq");
}

// On a host thread's common 1 MiB stack: a walk that recursed per level would overflow it.
TEST_F(LoadApply, TenThousandLevelsLoadApplyAndMoveOnAOneMebibyteStack) {
    tree = bib::MenuTree::Create();
    bib::MenuTree* level = tree.get();
    std::shared_ptr<bib::MenuItem> last;
    for (int i = 0; i < 10000; ++i)
        level = (last = level->Add(u"n", u"N" + FromUtf8(std::to_string(i))))->SubMenu().get();
    last->SetTeclaExtenso(u"F5");
    tree->Add(u"Outro", u"Out");
    std::function<void()> body = [&] {
        Reload();
        page.PropertyPage_ApplyChanges();
        Click(u"AN0");
        page.btnDesce_Click();
    };
    const auto run = [](void* f) -> void* {
        return (*static_cast<std::function<void()>*>(f))(), nullptr;
    };
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 1024 * 1024);
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, &attr, run, &body), 0);
    pthread_join(thread, nullptr);
    int depth = 0;
    for (level = tree.get(); level->Count() > 0; ++depth)
        level = (last = level->At(1))->SubMenu().get();
    EXPECT_EQ(depth, 10000);
    EXPECT_EQ(last->TextoMenu(), u"n   F5");
    EXPECT_EQ(Keys(trv()).substr(0, 20), "A AOut tmpAN0 tmpAN1");
    EXPECT_EQ(N(u"tmpAN9999").Parent(), &N(u"tmpAN9998"));
}

}  // namespace
}  // namespace tq::designer::testing
