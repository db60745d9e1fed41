// Moving entries up and down: copies with "tmp" keys, subtrees, no-ops, moves during an edit,
// and copies that fail part-way.
#include "page_fixture.h"

namespace tq::designer::testing {
namespace {

class Moves : public PageTest {
  protected:
    void SetUp() override { LoadSample(); }
    void Up(StringView key) {
        Click(key);
        page.btnSobe_Click();
    }
    void Down(StringView key) {
        Click(key);
        page.btnDesce_Click();
    }
    // Renames an entry through a change, typing the new name.
    void Rename(StringView key, StringView nome) {
        Click(key);
        page.btnAlterar_Click();
        Type(Control::txtNome, nome);
        page.btnConfirma_Click();
    }
};

TEST_F(Moves, NoNeighbourInThatDirectionIsANoOp) {
    Click(u"AArqSai");  // shows (expands) everything the moves below select
    const std::string before = DumpTree(trv());
    Up(u"AArq");
    Down(u"AAju");
    Up(u"AArqNov");
    Down(u"AArqSai");
    Up(u"A");
    Down(u"A");
    EXPECT_EQ(DumpTree(trv()), before);
    EXPECT_FALSE(page.Changed());
    EXPECT_TRUE(host.changedCalls.empty());
}

TEST_F(Moves, MovedEntryTakesItsSubtreeAndGetsTmpKeys) {
    Click(u"AArqNovDoc");  // expands Novo
    ASSERT_TRUE(N(u"AArqNov").Expanded());
    Down(u"AArqNov");
    EXPECT_EQ(
        DumpTree(trv()),
        "A 'Menu Principal' Raiz E\n"
        "  AArq '&Arquivo' nome=Arq tecla= B C E\n"
        "    AArqAbr '&Abrir' nome=ArqAbr tecla= B\n"
        "    tmpAArqNov '&Novo' nome=ArqNov tecla= B C\n"
        "      tmpAArqNovDoc '&Documento' nome=ArqNovDoc tecla=Ctrl+F5 consulta desc=texto C\n"
        "    AArqSai '&Sair' nome=ArqSai tecla= B C\n"
        "  AEdi '&Editar' nome=Edi tecla= B C\n"
        "  AAju '&Ajuda' nome=Aju tecla= B C\n");
    EXPECT_EQ(trv().SelectedItem(), &N(u"tmpAArqNov"));
    EXPECT_TRUE(page.Changed());
    // Neither the list nor the states follow a move: the list still shows the children of
    // the node clicked before it (the source, now gone); the next click refills it.
    EXPECT_EQ(ListColumn(0), std::vector<std::string>{"&Documento"});
    EXPECT_TRUE(Browsing());
    EXPECT_TRUE(form().btnAlterar.Enabled);
    EXPECT_EQ(view.Dump(), DumpTree(trv()));

    Up(u"AArqAbr");  // the first: nothing
    Up(u"tmpAArqNov");
    EXPECT_EQ(Keys(trv()), "A AArq tmptmpAArqNov tmptmpAArqNovDoc AArqAbr AArqSai AEdi AAju");
    EXPECT_EQ(trv().SelectedItem(), &N(u"tmptmpAArqNov"));
}

TEST_F(Moves, SecondOfThreeMovesUpAndDown) {
    Up(u"AEdi");
    EXPECT_EQ(Keys(trv()), "A tmpAEdi AArq AArqNov AArqNovDoc AArqAbr AArqSai AAju");
    Down(u"AArq");
    EXPECT_EQ(Keys(trv()), "A tmpAEdi AAju tmpAArq tmpAArqNov tmpAArqNovDoc tmpAArqAbr tmpAArqSai");
    // Applying writes the new order; the keys stay inside the page.
    page.PropertyPage_ApplyChanges();
    EXPECT_EQ(DumpMenu(*tree),
              "&Editar|Edi|||-|VV|HH\n"
              "&Ajuda|Aju|||-|VV|HH\n"
              "&Arquivo|Arq|||-|VV|HH\n"
              "  &Novo|ArqNov|||-|VV|HH\n"
              "    &Documento|ArqNovDoc|Ctrl+F5|texto|C|--|HH\n"
              "  &Abrir|ArqAbr|||-|VV|--\n"
              "  &Sair|ArqSai|||-|VV|HH\n");
}

TEST_F(Moves, MoveDuringAnAddKeepsTheEditAndConfirmAddsUnderTheCopy) {
    Click(u"AEdi");
    page.btnIncluir_Click();
    Type(Control::txtCaption, u"&Colar");
    page.FocusChanged(Control::btnSobe);  // clicking the button moves the focus first
    page.btnSobe_Click();
    EXPECT_TRUE(Editing());
    EXPECT_EQ(page.mintOperacao(), 1);
    EXPECT_EQ(trv().SelectedItem(), &N(u"tmpAEdi"));
    page.btnConfirma_Click();
    EXPECT_EQ(N(u"AEdiCol").Parent(), &N(u"tmpAEdi"));
    EXPECT_EQ(trv().SelectedItem(), &N(u"tmpAEdi"));
    EXPECT_EQ(ListColumn(0), std::vector<std::string>{"&Colar"});
}

TEST_F(Moves, TypedNameOfAMovedEntryIsStillInUse) {
    Up(u"AEdi");  // key tmpAEdi, name still Edi
    AddEntry(u"A", u"Outro", u"Edi");
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(trv().Find(u"AEdi"), nullptr);
}

// Decision: a copy that fails part-way is removed again, so the tree is as before.
TEST_F(Moves, CopyFailingBelowTheTopLeavesTheTreeAsBefore) {
    // Arquivo ends up with a child keyed tmpAArqNov and another keyed AArqNov, so that its own
    // copy would need tmpAArqNov a second time.
    Down(u"AArqNov");
    Rename(u"tmpAArqNov", u"Nov1");
    AddEntry(u"AArq", u"&Novo", u"ArqNov");
    ASSERT_NE(trv().Find(u"AArqNov"), nullptr);
    Click(u"AArq");
    const std::string before = DumpTree(trv());
    const size_t calls = host.changedCalls.size();
    const int32_t count = trv().Count();

    page.btnDesce_Click();
    EXPECT_EQ(DumpTree(trv()), before);
    EXPECT_EQ(trv().Count(), count);
    EXPECT_EQ(trv().SelectedItem(), &N(u"AArq"));
    EXPECT_EQ(host.changedCalls.size(), calls);
    EXPECT_EQ(view.Dump(), before);
    // The index stays usable after the copy was removed again.
    EXPECT_EQ(trv().IndexOf(N(u"AAju")), 6);
}

TEST_F(Moves, CopyWhoseOwnKeyIsTakenChangesNothing) {
    Up(u"AEdi");
    Rename(u"tmpAEdi", u"Edi1");
    AddEntry(u"A", u"&Editar", u"Edi");  // key AEdi again, last of the top level
    const std::string before = DumpTree(trv());
    Up(u"AEdi");  // its copy would be tmpAEdi, which another entry holds
    EXPECT_EQ(DumpTree(trv()), before);
    EXPECT_EQ(N(u"tmpAEdi").Text(), u"&Editar");
}

}  // namespace
}  // namespace tq::designer::testing
