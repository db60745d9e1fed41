// Moving entries (up, down, to another level, by dropping them) and taking changes back: the
// rules of each command as tables, copies that fail part-way, the history's bookkeeping, and
// random sessions undone and redone whole.
#include <random>

#include "page_fixture.h"

namespace tq::designer::testing {
namespace {

class Moves : public PageTest {
  protected:
    void SetUp() override { LoadSample(); }
    // The tree without the expanded marks: what undo gives back (how it was opened is not).
    std::string Content() { return DumpTree(trv(), false); }
};

// Each move through the page's own entry point (buttons, Ctrl+arrows on the tree); the Pode...
// answer agrees with what the command does.
TEST_F(Moves, UpDownAndLevelMoves) {
    enum Cmd { Up, Down, Left, Right };
    struct Case {
        const char16_t* key;
        Cmd cmd;
        const char* keys;  // null: nothing moves
    };
    const Case cases[] = {
        {u"AEdi", Up, "A tmpAEdi AArq AArqNov AArqNovDoc AArqAbr AArqSai AAju"},
        {u"AArqNov", Down, "A AArq AArqAbr tmpAArqNov tmpAArqNovDoc AArqSai AEdi AAju"},
        {u"AArq", Down, "A AEdi tmpAArq tmpAArqNov tmpAArqNovDoc tmpAArqAbr tmpAArqSai AAju"},
        {u"AEdi", Right, "A AArq AArqNov AArqNovDoc AArqAbr AArqSai tmpAEdi AAju"},
        {u"AArqAbr", Right, "A AArq AArqNov AArqNovDoc tmpAArqAbr AArqSai AEdi AAju"},
        {u"AArqNov", Left, "A AArq AArqAbr AArqSai tmpAArqNov tmpAArqNovDoc AEdi AAju"},
        {u"AArqNovDoc", Left, "A AArq AArqNov tmpAArqNovDoc AArqAbr AArqSai AEdi AAju"},
        {u"AArq", Up, nullptr},  // no neighbour that way
        {u"AAju", Down, nullptr},
        {u"AArqNov", Up, nullptr},
        {u"AArqSai", Down, nullptr},
        {u"A", Up, nullptr},
        {u"A", Down, nullptr},
        {u"AArq", Right, nullptr},  // a first child: no previous sibling to go under
        {u"AArqNovDoc", Right, nullptr},
        {u"AEdi", Left, nullptr},  // already at the top
        {u"A", Left, nullptr},
        {u"A", Right, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(U8(c.key) + " " + std::to_string(c.cmd));
        SetUp();
        host.changedCalls.clear();
        Click(u"AArqNovDoc");  // shows everything
        Click(c.key);
        const std::string before = Content();
        const bool pode = c.cmd == Up     ? page.PodeSubir()
                          : c.cmd == Down ? page.PodeDescer()
                          : c.cmd == Left ? page.PodeRecuar()
                                          : page.PodeAvancar();
        EXPECT_EQ(pode, c.keys != nullptr);
        if (c.cmd == Up) page.btnSobe_Click();
        if (c.cmd == Down) page.btnDesce_Click();
        if (c.cmd >= Left) Key(c.cmd == Left ? 37 : 39, 2);
        EXPECT_EQ(host.changedCalls.empty(), c.keys == nullptr);
        EXPECT_EQ(page.PodeDesfazer(), c.keys != nullptr);
        if (!c.keys) {
            EXPECT_EQ(Content(), before);
            EXPECT_EQ(trv().SelectedItem(), &N(c.key));
            continue;
        }
        EXPECT_EQ(Keys(trv()), c.keys);
        EXPECT_EQ(trv().SelectedItem(), &N(u"tmp" + String(c.key)));
        EXPECT_EQ(view.Dump(), DumpTree(trv()));
    }
}

TEST_F(Moves, MovedEntryKeepsItsSubtreeAndApplyWritesTheNewOrder) {
    Click(u"AArqNovDoc");
    Click(u"AArqNov");
    page.btnDesce_Click();
    EXPECT_EQ(
        Content(),
        "A 'Menu Principal' Raiz\n"
        "  AArq '&Arquivo' nome=Arq tecla= B C\n"
        "    AArqAbr '&Abrir' nome=ArqAbr tecla= B\n"
        "    tmpAArqNov '&Novo' nome=ArqNov tecla= B C\n"
        "      tmpAArqNovDoc '&Documento' nome=ArqNovDoc tecla=Ctrl+F5 consulta desc=texto C\n"
        "    AArqSai '&Sair' nome=ArqSai tecla= B C\n"
        "  AEdi '&Editar' nome=Edi tecla= B C\n"
        "  AAju '&Ajuda' nome=Aju tecla= B C\n");
    // Neither the list nor the states follow a move: the list shows the source's children.
    EXPECT_EQ(ListColumn(0), std::vector<std::string>{"&Documento"});
    EXPECT_TRUE(form().btnAlterar.Enabled);
    page.btnSobe_Click();  // a moved entry moves again, "tmp" in front once more
    EXPECT_EQ(Keys(trv()), "A AArq tmptmpAArqNov tmptmpAArqNovDoc AArqAbr AArqSai AEdi AAju");
    page.PropertyPage_ApplyChanges();
    page.PropertyPage_SelectionChanged(model::WrapMenuTree(tree));
    EXPECT_EQ(Keys(trv()), "A AArq AArqNov AArqNovDoc AArqAbr AArqSai AEdi AAju");
}

TEST_F(Moves, MoveDuringAnAddKeepsTheEditAndConfirmAddsUnderTheCopy) {
    Click(u"AEdi");
    page.btnIncluir_Click();
    Type(Control::txtCaption, u"&Colar");
    page.FocusChanged(Control::btnSobe);  // clicking the button moves the focus first
    page.btnSobe_Click();
    EXPECT_TRUE(Editing());
    EXPECT_EQ(trv().SelectedItem(), &N(u"tmpAEdi"));
    page.btnConfirma_Click();
    EXPECT_EQ(N(u"AEdiCol").Parent(), &N(u"tmpAEdi"));
    EXPECT_EQ(ListColumn(0), std::vector<std::string>{"&Colar"});
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
    AddEntry(u"A", u"&Editar", u"Edi");  // AEdi again, after Ajuda
    const std::string before = Content();
    const size_t calls = host.changedCalls.size(), steps = page.historico().Steps();
    for (const char16_t* key : {u"AArq", u"AEdi"}) {
        Click(key);
        EXPECT_FALSE(page.PodeSubir());
        EXPECT_FALSE(page.PodeAvancar());
        page.btnSobe_Click();
        page.Avancar();
        EXPECT_EQ(trv().SelectedItem(), &N(key));
    }
    EXPECT_EQ(Content(), before);
    EXPECT_EQ(host.changedCalls.size(), calls);
    EXPECT_EQ(page.historico().Steps(), steps);
    EXPECT_EQ(view.Dump(), DumpTree(trv()));
    int32_t index = 0;  // the collection index is whole again
    trv().ForEach([&](const Node& n) { EXPECT_EQ(trv().IndexOf(n), ++index) << U8(n.Key()); });
    EXPECT_EQ(index, trv().Count());
}

// Drops: onto an entry (its last child), before or after one; never onto itself, into its own
// subtree, beside the root, or where it already is.
TEST_F(Moves, Drops) {
    struct Case {
        const char16_t *dragged, *target;
        Relationship where;
        const char* keys;  // null: refused
    };
    const Case cases[] = {
        {u"AAju", u"AArqNov", Relationship::Child,
         "A AArq AArqNov AArqNovDoc tmpAAju AArqAbr AArqSai AEdi"},
        {u"AAju", u"AArqAbr", Relationship::Previous,
         "A AArq AArqNov AArqNovDoc tmpAAju AArqAbr AArqSai AEdi"},
        {u"AArqSai", u"AEdi", Relationship::Next,
         "A AArq AArqNov AArqNovDoc AArqAbr AEdi tmpAArqSai AAju"},
        {u"AEdi", u"A", Relationship::Child,
         "A AArq AArqNov AArqNovDoc AArqAbr AArqSai AAju tmpAEdi"},
        {u"AArq", u"AArq", Relationship::Child, nullptr},
        {u"AArq", u"AArqNovDoc", Relationship::Child, nullptr},
        {u"AArq", u"AArqNov", Relationship::Next, nullptr},
        {u"A", u"AEdi", Relationship::Child, nullptr},
        {u"AEdi", u"A", Relationship::Previous, nullptr},
        {u"AEdi", u"A", Relationship::Next, nullptr},
        {u"AArqSai", u"AArq", Relationship::Child, nullptr},
        {u"AArqNov", u"AArqAbr", Relationship::Previous, nullptr},
        {u"AArqAbr", u"AArqNov", Relationship::Next, nullptr},
        {u"AEdi", u"AAju", Relationship::First, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(U8(c.dragged) + " -> " + U8(c.target));
        SetUp();
        Click(u"AArqNovDoc");
        const std::string before = Content();
        EXPECT_EQ(page.PodeSoltar(N(c.dragged), N(c.target), c.where), c.keys != nullptr);
        host.changedCalls.clear();
        page.Soltar(N(c.dragged), N(c.target), c.where);
        EXPECT_EQ(host.changedCalls.empty(), c.keys == nullptr);
        if (!c.keys) {
            EXPECT_EQ(Content(), before);
            EXPECT_FALSE(page.PodeDesfazer());
            continue;
        }
        EXPECT_EQ(Keys(trv()), c.keys);
        EXPECT_EQ(trv().SelectedItem(), &N(u"tmp" + String(c.dragged)));
        EXPECT_EQ(page.historico().Steps(), 1u);
        page.Desfazer();
        EXPECT_EQ(Content(), before);
    }
}

// The history's bookkeeping: what a step is, where the selection and the list go, Changed,
// and what starts a new history.
TEST_F(Moves, UndoAndRedoFollowSelectionListAndChanged) {
    EXPECT_FALSE(page.PodeDesfazer());
    EXPECT_FALSE(page.PodeRefazer());
    const std::string start = Content();
    AddEntry(u"AArqNovDoc", u"&Carta");  // confirm: one step, the parent selected after it
    Click(u"AEdi");
    host.answers.push_back(kMsgYes);
    page.btnExcluir_Click();  // delete: one step
    ASSERT_EQ(page.historico().Steps(), 2u);

    Key(90, 2);  // Ctrl+Z takes the delete back: Editar is there and selected again
    EXPECT_EQ(trv().SelectedItem(), &N(u"AEdi"));
    EXPECT_EQ(ListColumn(0), std::vector<std::string>{});
    EXPECT_TRUE(page.Changed());
    page.Desfazer();  // the add back: Documento, where it was added, selected and listed
    EXPECT_EQ(Content(), start);
    EXPECT_EQ(trv().SelectedItem(), &N(u"AArqNovDoc"));
    EXPECT_FALSE(page.Changed());
    EXPECT_FALSE(host.changedCalls.back());
    EXPECT_FALSE(page.PodeDesfazer());
    page.Desfazer();  // nothing left: nothing happens
    EXPECT_EQ(Content(), start);

    Key(89, 2);  // Ctrl+Y: the add again, Documento selected as confirm left it
    EXPECT_EQ(Nome(u"AArqNovDocCar"), u"ArqNovDocCar");
    EXPECT_EQ(trv().SelectedItem(), &N(u"AArqNovDoc"));
    EXPECT_EQ(ListColumn(0), std::vector<std::string>{"&Carta"});
    EXPECT_TRUE(page.Changed());
    Key(90, 3);  // Ctrl+Shift+Z: the delete again
    EXPECT_EQ(trv().Find(u"AEdi"), nullptr);
    EXPECT_FALSE(page.PodeRefazer());
    EXPECT_EQ(view.Dump(), DumpTree(trv()));

    page.Desfazer();  // a new change after an undo drops what was taken back
    Click(u"AAju");
    page.btnSobe_Click();
    EXPECT_FALSE(page.PodeRefazer());
    EXPECT_EQ(page.historico().Steps(), 2u);

    // An open edit is not a step; taking back ends it as a click does.
    Click(u"AArq");
    page.btnIncluir_Click();
    Type(Control::txtCaption, u"&Meio");
    page.Desfazer();
    EXPECT_TRUE(Browsing());
    EXPECT_EQ(form().txtCaption.Text, u"&Meio");

    // Apply starts a new history, the tree as applied the clean one; so does loading.
    page.PropertyPage_ApplyChanges();
    EXPECT_FALSE(page.PodeDesfazer());
    EXPECT_FALSE(page.PodeRefazer());
    Click(u"AArqAbr");
    page.Avancar();
    EXPECT_TRUE(page.Changed());
    page.Desfazer();
    EXPECT_FALSE(page.Changed());
    page.Refazer();
    page.PropertyPage_SelectionChanged(model::WrapMenuTree(tree));
    EXPECT_FALSE(page.PodeDesfazer());
    EXPECT_FALSE(page.PodeRefazer());
}

// Random sessions: every command that changes the tree is one step; undoing them all gives the
// tree loaded, redoing them all the tree at the end, and the view follows node by node.
TEST_F(Moves, RandomSessionsUndoAndRedoWhole) {
    for (unsigned seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        SetUp();
        std::mt19937 rng(seed);
        const auto pick = [&]() -> Node& {
            std::vector<Node*> all;
            trv().ForEach([&](const Node& n) { all.push_back(&const_cast<Node&>(n)); });
            return *all[std::uniform_int_distribution<size_t>(0, all.size() - 1)(rng)];
        };
        std::vector<std::string> states{Content()};  // after each step done
        size_t done = 0;
        for (int i = 0; i < 40; ++i) {
            const std::string before = Content();
            Node& n = pick();
            page.ClickNode(n);
            switch (std::uniform_int_distribution<int>(0, 8)(rng)) {
                case 0:
                    page.btnSobe_Click();
                    break;
                case 1:
                    page.btnDesce_Click();
                    break;
                case 2:
                    page.Recuar();
                    break;
                case 3:
                    page.Avancar();
                    break;
                case 4:
                    page.Soltar(
                        n, pick(),
                        static_cast<Relationship>(std::uniform_int_distribution<int>(2, 4)(rng)));
                    break;
                case 5:
                    if (page.PodeExcluir()) host.answers.push_back(kMsgYes);
                    page.btnExcluir_Click();
                    break;
                case 6:
                    AddEntry(n.Key(), u"&Item " + FromUtf8(std::to_string(i)),
                             (u"N" + FromUtf8(std::to_string(seed * 100 + i))).c_str());
                    break;
                case 7:
                    if (!page.PodeAlterar()) break;
                    page.btnAlterar_Click();
                    Type(Control::txtCaption, u"&Novo " + FromUtf8(std::to_string(i)));
                    page.SetCheck(Control::chkEnabled, static_cast<int16_t>(i % 2));
                    page.btnConfirma_Click();
                    break;
                default:
                    page.Desfazer();
                    if (done > 0) --done;
                    ASSERT_EQ(Content(), states[done]);
                    continue;
            }
            if (Content() == before) continue;  // refused: no step
            states.resize(++done);
            states.push_back(Content());
        }
        while (done > 0) {
            ASSERT_TRUE(page.PodeDesfazer());
            page.Desfazer();
            ASSERT_EQ(Content(), states[--done]);
        }
        EXPECT_FALSE(page.PodeDesfazer());
        EXPECT_FALSE(page.Changed());
        EXPECT_EQ(view.Dump(), DumpTree(trv()));
        while (done + 1 < states.size()) {
            ASSERT_TRUE(page.PodeRefazer());
            page.Refazer();
            ASSERT_EQ(Content(), states[++done]);
        }
        EXPECT_EQ(view.Dump(), DumpTree(trv()));
    }
}

}  // namespace
}  // namespace tq::designer::testing
