// Moving entries (up, down, to another level, by dropping them) and taking changes back.
#include "page_fixture.h"

namespace tq::designer::testing {
namespace {

using Rel = Relationship;

class Moves : public PageTest {
  protected:
    void SetUp() override {
        Load("Arq|R\n Novo|N\n  Doc|D|Ctrl+F5|texto|ci\n Abrir|B|||d\n Sair|S\nEdi|E\nAju|J");
    }
    std::string Content() { return DumpTree(trv(), false); }  // how it was opened is not undone
};

// Each move through its own entry point (buttons, Ctrl+arrows, a drop); Can... agrees with it.
TEST_F(Moves, EachMoveAndWhatItRefuses) {
    enum Cmd { Up, Down, Left, Right, Drop };
    const struct {
        const char16_t* key;
        Cmd cmd;
        const char16_t* target;
        Rel where;
        const char* keys;  // null: nothing moves
    } cases[] = {
        {u"AE", Up, {}, {}, "A tmpAE AR AN AD AB AS AJ"},
        {u"AN", Down, {}, {}, "A AR AB tmpAN tmpAD AS AE AJ"},
        {u"AR", Down, {}, {}, "A AE tmpAR tmpAN tmpAD tmpAB tmpAS AJ"},
        {u"AE", Right, {}, {}, "A AR AN AD AB AS tmpAE AJ"},
        {u"AB", Right, {}, {}, "A AR AN AD tmpAB AS AE AJ"},
        {u"AN", Left, {}, {}, "A AR AB AS tmpAN tmpAD AE AJ"},
        {u"AD", Left, {}, {}, "A AR AN tmpAD AB AS AE AJ"},
        {u"AJ", Drop, u"AN", Rel::Child, "A AR AN AD tmpAJ AB AS AE"},
        {u"AJ", Drop, u"AB", Rel::Previous, "A AR AN AD tmpAJ AB AS AE"},
        {u"AS", Drop, u"AE", Rel::Next, "A AR AN AD AB AE tmpAS AJ"},
        {u"AE", Drop, u"A", Rel::Child, "A AR AN AD AB AS AJ tmpAE"},
        // No neighbour that way, a first child, already at the top.
        {u"AR", Up, {}, {}, nullptr},
        {u"AJ", Down, {}, {}, nullptr},
        {u"AR", Right, {}, {}, nullptr},
        {u"AE", Left, {}, {}, nullptr},
        // Never onto itself, into its own subtree, beside the root, or where it already is.
        {u"AR", Drop, u"AR", Rel::Child, nullptr},
        {u"AR", Drop, u"AD", Rel::Child, nullptr},
        {u"A", Drop, u"AE", Rel::Child, nullptr},
        {u"AE", Drop, u"A", Rel::Previous, nullptr},
        {u"AE", Drop, u"A", Rel::Next, nullptr},
        {u"AS", Drop, u"AR", Rel::Child, nullptr},
        {u"AN", Drop, u"AB", Rel::Previous, nullptr},
        {u"AB", Drop, u"AN", Rel::Next, nullptr},
        {u"AE", Drop, u"AJ", Rel::First, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.key) + " " + std::to_string(c.cmd));
        SetUp();
        changed.clear();
        Click(u"AD");  // shows everything
        Click(c.key);
        const std::string before = Content();
        const bool can = c.cmd == Up      ? page.CanMoveUp()
                         : c.cmd == Down  ? page.CanMoveDown()
                         : c.cmd == Left  ? page.CanOutdent()
                         : c.cmd == Right ? page.CanIndent()
                                          : page.CanDrop(N(c.key), N(c.target), c.where);
        EXPECT_EQ(can, c.keys != nullptr);
        if (c.cmd == Up) page.btnSobe_Click();
        if (c.cmd == Down) page.btnDesce_Click();
        if (c.cmd == Left || c.cmd == Right) Key(c.cmd == Left ? 37 : 39, 2);
        if (c.cmd == Drop) page.Drop(N(c.key), N(c.target), c.where);
        EXPECT_EQ(changed.empty(), c.keys == nullptr);
        EXPECT_EQ(page.history().Steps(), c.keys ? 1u : 0u);
        EXPECT_EQ(c.keys ? Keys(trv()) : Content(), c.keys ? c.keys : before);
        EXPECT_EQ(trv().SelectedItem(), &N((c.keys ? u"tmp" : u"") + String(c.key)));
        page.Undo();
        EXPECT_EQ(Content(), before);
    }
}

// The copy keeps subtree and fields; the list stays; an open add then goes under the copy.
TEST_F(Moves, MovedEntryKeepsItsSubtreeAndApplyWritesTheNewOrder) {
    Click(u"AD");
    Edit(u"AN", false, u"&Colar");
    page.FocusChanged(Control::btnDesce);
    page.btnDesce_Click();
    EXPECT_EQ(Line(N(u"tmpAD"), false), "tmpAD 'Doc' D|Ctrl+F5|True|texto C");
    EXPECT_EQ(N(u"tmpAD").Parent(), &N(u"tmpAN"));
    EXPECT_EQ(List(0), "Doc");
    page.btnConfirma_Click();
    EXPECT_EQ(N(u"ANCol").Parent(), &N(u"tmpAN"));
    Click(u"tmpAN");
    page.btnSobe_Click();  // moved again, "tmp" in front once more
    EXPECT_EQ(Keys(trv()), "A AR tmptmpAN tmptmpAD tmpANCol AB AS AE AJ");
    page.PropertyPage_ApplyChanges();
    Reload();
    EXPECT_EQ(Keys(trv()), "A AR AN AD ANCol AB AS AE AJ");
}

// A step is undone and redone whole, selecting the node selected before (after) it.
TEST_F(Moves, UndoAndRedoFollowSelectionListAndChanged) {
    const std::string start = Content();
    AddEntry(u"AD", u"&Carta");
    Edit(u"AB", true, u"&Abrir tudo");
    page.SetCheck(Control::chkEnabled, 1);
    page.SetCheck(Control::chkConsulta, 1);
    page.btnConfirma_Click();
    const std::string edited = Content();
    Click(u"AE");
    answers.push_back(kMsgYes);
    page.btnExcluir_Click();
    Key(90, 2);  // Ctrl+Z: Edi back and selected
    EXPECT_EQ(Summary(),
              "A AR AN AD ADCar AB AS AE AJ @AE changed Exclui o Menu 'Edi' ?|52|Alerta!");
    EXPECT_EQ(Content(), edited);
    page.Undo();  // the change taken back: Abrir selected
    EXPECT_EQ(Summary() + List(0), "A AR AN AD ADCar AB AS AE AJ @AB changed");
    page.Undo();  // the add too: Doc selected
    EXPECT_EQ(Content(), start);
    EXPECT_EQ(Summary() + List(0), "A AR AN AD AB AS AE AJ @AD");
    page.Undo();  // nothing left: nothing happens
    Key(89, 2);   // Ctrl+Y
    EXPECT_EQ(Summary() + List(0), "A AR AN AD ADCar AB AS AE AJ @AD changed&Carta");
    page.Redo();
    Key(90, 3);  // Ctrl+Shift+Z
    EXPECT_EQ(Keys(trv()) + U8(N(u"AB").Text()), "A AR AN AD ADCar AB AS AJ&Abrir tudo");
    EXPECT_FALSE(page.CanRedo());
    page.Undo();  // a new change after an undo drops what was taken back
    Click(u"AJ");
    page.btnSobe_Click();
    EXPECT_FALSE(page.CanRedo() || page.history().Steps() != 3);
    Edit(u"AR", false, u"&Meio");  // an open edit is not a step; undo ends it as a click does
    page.Undo();
    EXPECT_FALSE(Editing());
    page.PropertyPage_ApplyChanges();  // a new history, the tree as applied the clean one
    EXPECT_FALSE(page.CanUndo() || page.CanRedo());
    Click(u"AB");
    page.Indent();
    page.Undo();
    EXPECT_FALSE(page.Changed() || changed.back());
    Reload();  // loading starts a new history too
    EXPECT_FALSE(page.CanUndo() || page.CanRedo());
}

}  // namespace
}  // namespace tq::designer::testing
