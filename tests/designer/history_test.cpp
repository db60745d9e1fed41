// Moving entries (up, down, to another level, by dropping them) and taking changes back.
#include <random>

#include "page_fixture.h"

namespace tq::designer::testing {
namespace {

class Moves : public PageTest {
  protected:
    void SetUp() override { LoadSample(); }
    // Without the expanded marks: how the tree was opened is not undone.
    std::string Content() { return DumpTree(trv(), false); }
};

// Each move through its own entry point (buttons, Ctrl+arrows, a drop); Pode... agrees with it.
TEST_F(Moves, EachMoveAndWhatItRefuses) {
    enum Cmd { Up, Down, Left, Right, Drop };
    const struct {
        const char16_t* key;
        Cmd cmd;
        const char16_t* target;
        Relationship where;
        const char* keys;  // null: nothing moves
    } cases[] = {
        {u"AEdi", Up, {}, {}, "A tmpAEdi AArq AArqNov AArqNovDoc AArqAbr AArqSai AAju"},
        {u"AArqNov", Down, {}, {}, "A AArq AArqAbr tmpAArqNov tmpAArqNovDoc AArqSai AEdi AAju"},
        {u"AArq",
         Down,
         {},
         {},
         "A AEdi tmpAArq tmpAArqNov tmpAArqNovDoc tmpAArqAbr tmpAArqSai AAju"},
        {u"AEdi", Right, {}, {}, "A AArq AArqNov AArqNovDoc AArqAbr AArqSai tmpAEdi AAju"},
        {u"AArqAbr", Right, {}, {}, "A AArq AArqNov AArqNovDoc tmpAArqAbr AArqSai AEdi AAju"},
        {u"AArqNov", Left, {}, {}, "A AArq AArqAbr AArqSai tmpAArqNov tmpAArqNovDoc AEdi AAju"},
        {u"AArqNovDoc", Left, {}, {}, "A AArq AArqNov tmpAArqNovDoc AArqAbr AArqSai AEdi AAju"},
        {u"AAju", Drop, u"AArqNov", Relationship::Child,
         "A AArq AArqNov AArqNovDoc tmpAAju AArqAbr AArqSai AEdi"},
        {u"AAju", Drop, u"AArqAbr", Relationship::Previous,
         "A AArq AArqNov AArqNovDoc tmpAAju AArqAbr AArqSai AEdi"},
        {u"AArqSai", Drop, u"AEdi", Relationship::Next,
         "A AArq AArqNov AArqNovDoc AArqAbr AEdi tmpAArqSai AAju"},
        {u"AEdi", Drop, u"A", Relationship::Child,
         "A AArq AArqNov AArqNovDoc AArqAbr AArqSai AAju tmpAEdi"},
        // No neighbour that way, a first child, already at the top, the root.
        {u"AArq", Up, {}, {}, nullptr},
        {u"AAju", Down, {}, {}, nullptr},
        {u"AArqNov", Up, {}, {}, nullptr},
        {u"AArqSai", Down, {}, {}, nullptr},
        {u"A", Up, {}, {}, nullptr},
        {u"A", Down, {}, {}, nullptr},
        {u"AArq", Right, {}, {}, nullptr},
        {u"AArqNovDoc", Right, {}, {}, nullptr},
        {u"AEdi", Left, {}, {}, nullptr},
        {u"A", Left, {}, {}, nullptr},
        {u"A", Right, {}, {}, nullptr},
        // Never onto itself, into its own subtree, beside the root, or where it already is.
        {u"AArq", Drop, u"AArq", Relationship::Child, nullptr},
        {u"AArq", Drop, u"AArqNovDoc", Relationship::Child, nullptr},
        {u"AArq", Drop, u"AArqNov", Relationship::Next, nullptr},
        {u"A", Drop, u"AEdi", Relationship::Child, nullptr},
        {u"AEdi", Drop, u"A", Relationship::Previous, nullptr},
        {u"AEdi", Drop, u"A", Relationship::Next, nullptr},
        {u"AArqSai", Drop, u"AArq", Relationship::Child, nullptr},
        {u"AArqNov", Drop, u"AArqAbr", Relationship::Previous, nullptr},
        {u"AArqAbr", Drop, u"AArqNov", Relationship::Next, nullptr},
        {u"AEdi", Drop, u"AAju", Relationship::First, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.key) + " " + std::to_string(c.cmd));
        SetUp();
        host.changedCalls.clear();
        Click(u"AArqNovDoc");  // shows everything
        Click(c.key);
        const std::string before = Content();
        const bool pode = c.cmd == Up      ? page.CanMoveUp()
                          : c.cmd == Down  ? page.CanMoveDown()
                          : c.cmd == Left  ? page.CanOutdent()
                          : c.cmd == Right ? page.CanIndent()
                                           : page.CanDrop(N(c.key), N(c.target), c.where);
        EXPECT_EQ(pode, c.keys != nullptr);
        if (c.cmd == Up) page.btnSobe_Click();
        if (c.cmd == Down) page.btnDesce_Click();
        if (c.cmd == Left || c.cmd == Right) Key(c.cmd == Left ? 37 : 39, 2);
        if (c.cmd == Drop) page.Drop(N(c.key), N(c.target), c.where);
        EXPECT_EQ(host.changedCalls.empty(), c.keys == nullptr);
        EXPECT_EQ(page.history().Steps(), c.keys ? 1u : 0u);
        if (!c.keys) {
            EXPECT_EQ(Content(), before);
            EXPECT_EQ(trv().SelectedItem(), &N(c.key));
            continue;
        }
        EXPECT_EQ(Keys(trv()), c.keys);
        EXPECT_EQ(trv().SelectedItem(), &N(u"tmp" + String(c.key)));
        EXPECT_EQ(view.Dump(), DumpTree(trv()));
        page.Undo();
        EXPECT_EQ(Content(), before);
    }
}

TEST_F(Moves, MovedEntryKeepsItsSubtreeAndApplyWritesTheNewOrder) {
    Click(u"AArqNovDoc");
    Click(u"AArqNov");
    page.btnDesce_Click();
    EXPECT_EQ(N(u"tmpAArqNovDoc").Parent(), &N(u"tmpAArqNov"));
    EXPECT_EQ(Line(N(u"tmpAArqNovDoc"), false),
              "tmpAArqNovDoc '&Documento' nome=ArqNovDoc tecla=Ctrl+F5 consulta desc=texto C");
    // Neither the list nor the states follow a move: the list shows the source's children.
    EXPECT_EQ(ListColumn(0), std::vector<std::string>{"&Documento"});
    EXPECT_TRUE(form().btnAlterar.Enabled);
    page.btnSobe_Click();  // moved again, "tmp" in front once more
    EXPECT_EQ(Keys(trv()), "A AArq tmptmpAArqNov tmptmpAArqNovDoc AArqAbr AArqSai AEdi AAju");
    page.PropertyPage_ApplyChanges();
    page.PropertyPage_SelectionChanged(model::WrapMenuTree(tree));
    EXPECT_EQ(Keys(trv()), "A AArq AArqNov AArqNovDoc AArqAbr AArqSai AEdi AAju");
}

TEST_F(Moves, MoveDuringAnAddKeepsTheEditAndConfirmAddsUnderTheCopy) {
    Click(u"AEdi");
    page.btnIncluir_Click();
    Type(Control::txtCaption, u"&Colar");
    page.FocusChanged(Control::btnSobe);
    page.btnSobe_Click();
    EXPECT_TRUE(Editing());
    page.btnConfirma_Click();
    EXPECT_EQ(N(u"AEdiCol").Parent(), &N(u"tmpAEdi"));
}

// A copy that cannot be made whole ("tmp" key of the entry or of a descendant taken) changes
// nothing: the part already copied goes again.
TEST_F(Moves, CopyWithATakenKeyLeavesTheTreeAsBefore) {
    Click(u"AArqNov");
    page.btnDesce_Click();
    Rename(u"tmpAArqNov", u"Nov1");
    AddEntry(u"AArq", u"&Novo", u"ArqNov");  // AArq holds tmpAArqNov and AArqNov now
    Click(u"AEdi");
    page.btnSobe_Click();
    Rename(u"tmpAEdi", u"Edi1");
    AddEntry(u"A", u"&Editar", u"Edi");
    const std::string before = Content();
    const size_t calls = host.changedCalls.size(), steps = page.history().Steps();
    for (const char16_t* key : {u"AArq", u"AEdi"}) {
        Click(key);
        EXPECT_FALSE(page.CanMoveUp() || page.CanIndent());
        page.btnSobe_Click();
        page.Indent();
        EXPECT_EQ(trv().SelectedItem(), &N(key));
    }
    EXPECT_EQ(Content(), before);
    EXPECT_EQ(host.changedCalls.size(), calls);
    EXPECT_EQ(page.history().Steps(), steps);
    EXPECT_EQ(view.Dump(), DumpTree(trv()));
    int32_t index = 0;  // the collection index is whole again
    trv().ForEach([&](const Node& n) { EXPECT_EQ(trv().IndexOf(n), ++index) << U8(n.Key()); });
    EXPECT_EQ(index, trv().Count());
}

TEST_F(Moves, UndoAndRedoFollowSelectionListAndChanged) {
    const std::string start = Content();
    AddEntry(u"AArqNovDoc", u"&Carta");
    Click(u"AEdi");
    host.answers.push_back(kMsgYes);
    page.btnExcluir_Click();
    Key(90, 2);  // Ctrl+Z: Editar back and selected
    EXPECT_EQ(trv().SelectedItem(), &N(u"AEdi"));
    EXPECT_EQ(ListColumn(0), std::vector<std::string>{});
    EXPECT_TRUE(page.Changed());
    page.Undo();  // the add back: Documento selected and listed
    EXPECT_EQ(Content(), start);
    EXPECT_EQ(trv().SelectedItem(), &N(u"AArqNovDoc"));
    EXPECT_FALSE(page.Changed());
    EXPECT_FALSE(host.changedCalls.back());
    page.Undo();  // nothing left: nothing happens
    EXPECT_EQ(Content(), start);
    Key(89, 2);  // Ctrl+Y
    EXPECT_EQ(Field(u"AArqNovDocCar", u"Nome"), u"ArqNovDocCar");
    EXPECT_EQ(ListColumn(0), std::vector<std::string>{"&Carta"});
    EXPECT_TRUE(page.Changed());
    Key(90, 3);  // Ctrl+Shift+Z
    EXPECT_EQ(trv().Find(u"AEdi"), nullptr);
    EXPECT_FALSE(page.CanRedo());
    page.Undo();  // a new change after an undo drops what was taken back
    Click(u"AAju");
    page.btnSobe_Click();
    EXPECT_FALSE(page.CanRedo());
    EXPECT_EQ(page.history().Steps(), 2u);
    // An open edit is not a step; taking back ends it as a click does.
    Click(u"AArq");
    page.btnIncluir_Click();
    Type(Control::txtCaption, u"&Meio");
    page.Undo();
    EXPECT_TRUE(Browsing());
    // Apply starts a new history, the tree as applied the clean one; so does loading.
    page.PropertyPage_ApplyChanges();
    EXPECT_FALSE(page.CanUndo() || page.CanRedo());
    Click(u"AArqAbr");
    page.Indent();
    page.Undo();
    EXPECT_FALSE(page.Changed());
    page.Redo();
    page.PropertyPage_SelectionChanged(model::WrapMenuTree(tree));
    EXPECT_FALSE(page.CanUndo() || page.CanRedo());
}

// Every command that changes the tree is one step; undoing them all gives the tree loaded,
// redoing them all the tree at the end, and the view follows node by node.
TEST_F(Moves, RandomSessionsUndoAndRedoWhole) {
    for (unsigned seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        SetUp();
        std::mt19937 rng(seed);
        const auto roll = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
        const auto pick = [&]() -> Node& {
            std::vector<Node*> all;
            trv().ForEach([&](const Node& n) { all.push_back(&const_cast<Node&>(n)); });
            return *all[roll(static_cast<int>(all.size()))];
        };
        std::vector<std::string> states{Content()};  // after each step done
        size_t done = 0;
        for (int i = 0; i < 40; ++i) {
            const std::string before = Content(), num = std::to_string(i);
            Node& n = pick();
            page.ClickNode(n);
            const int what = roll(9);
            if (what == 0) page.btnSobe_Click();
            if (what == 1) page.btnDesce_Click();
            if (what == 2) page.Outdent();
            if (what == 3) page.Indent();
            if (what == 4) page.Drop(n, pick(), static_cast<Relationship>(2 + roll(3)));
            if (what == 5 && page.CanDelete()) host.answers.push_back(kMsgYes);
            if (what == 5) page.btnExcluir_Click();
            if (what == 6)
                AddEntry(n.Key(), FromUtf8("&Item " + num),
                         FromUtf8("N" + std::to_string(seed * 100 + i)).c_str());
            if (what == 7 && page.CanChange()) {
                page.btnAlterar_Click();
                Type(Control::txtCaption, FromUtf8("&Novo " + num));
                page.SetCheck(Control::chkEnabled, static_cast<int16_t>(i % 2));
                page.btnConfirma_Click();
            }
            if (what == 8) {
                page.Undo();
                done -= done > 0;
                ASSERT_EQ(Content(), states[done]);
            } else if (Content() != before) {  // refused: no step
                states.resize(++done);
                states.push_back(Content());
            }
        }
        while (done > 0) {
            page.Undo();
            ASSERT_EQ(Content(), states[--done]);
        }
        EXPECT_FALSE(page.CanUndo() || page.Changed());
        EXPECT_EQ(view.Dump(), DumpTree(trv()));
        while (done + 1 < states.size()) {
            page.Redo();
            ASSERT_EQ(Content(), states[++done]);
        }
        EXPECT_EQ(view.Dump(), DumpTree(trv()));
    }
}

}  // namespace
}  // namespace tq::designer::testing
