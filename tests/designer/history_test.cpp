// Moving entries to another level, dropping them, and taking changes back: the rules of each
// command as tables, the history's bookkeeping, and random sessions undone and redone whole.
#include <random>

#include "page_fixture.h"

namespace tq::designer::testing {
namespace {

// The tree without the expanded marks: what undo gives back (how the tree was opened is not).
std::string Content(const NodeTree& trv) {
    std::string out;
    std::function<void(const Node*, int)> walk = [&](const Node* n, int depth) {
        for (; n; n = n->Next()) {
            out += std::string(2 * static_cast<size_t>(depth), ' ') +
                   DescribeNode(n->Key(), n->Text(), n->Tag(), n->Bold(), n->Checked(), false) +
                   "\n";
            walk(n->Child(), depth + 1);
        }
    };
    walk(trv.FirstTop(), 0);
    return out;
}

class History : public PageTest {
  protected:
    void SetUp() override { LoadSample(); }
    static constexpr const char* kStart = "A AArq AArqNov AArqNovDoc AArqAbr AArqSai AEdi AAju";
    void Rename(StringView key, StringView nome) {
        Click(key);
        page.btnAlterar_Click();
        Type(Control::txtNome, nome);
        page.btnConfirma_Click();
    }
};

// Ctrl+Right and Ctrl+Left through the tree's keys: where the entry goes, or that nothing
// moves; the model's Pode... answers agree with what the key does.
TEST_F(History, LevelMoves) {
    struct Case {
        const char16_t* key;
        int16_t code;      // 37 Left (Outdent), 39 Right (Indent)
        const char* keys;  // null: nothing moves
        const char16_t* selected;
    };
    const Case cases[] = {
        {u"AEdi", 39, "A AArq AArqNov AArqNovDoc AArqAbr AArqSai tmpAEdi AAju", u"tmpAEdi"},
        {u"AArqAbr", 39, "A AArq AArqNov AArqNovDoc tmpAArqAbr AArqSai AEdi AAju", u"tmpAArqAbr"},
        {u"AArqNov", 37, "A AArq AArqAbr AArqSai tmpAArqNov tmpAArqNovDoc AEdi AAju",
         u"tmpAArqNov"},
        {u"AArqNovDoc", 37, "A AArq AArqNov tmpAArqNovDoc AArqAbr AArqSai AEdi AAju",
         u"tmpAArqNovDoc"},
        {u"AArqSai", 37, "A AArq AArqNov AArqNovDoc AArqAbr tmpAArqSai AEdi AAju", u"tmpAArqSai"},
        {u"AArq", 39, nullptr, nullptr},        // first child: no previous sibling
        {u"AArqNov", 39, nullptr, nullptr},     // first child below the top
        {u"AArqNovDoc", 39, nullptr, nullptr},  // only child
        {u"AEdi", 37, nullptr, nullptr},        // top-level entry
        {u"A", 37, nullptr, nullptr},           // the root
        {u"A", 39, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(U8(c.key) + (c.code == 37 ? " left" : " right"));
        SetUp();
        host.changedCalls.clear();
        Click(c.key);
        const std::string before = Content(trv());
        const bool pode = c.code == 37 ? page.CanOutdent() : page.CanIndent();
        int16_t code = c.code, shift = 2;
        page.trvMenu_KeyDown(code, shift);
        EXPECT_EQ(pode, c.keys != nullptr);
        EXPECT_EQ(host.changedCalls.empty(), c.keys == nullptr);
        EXPECT_EQ(page.CanUndo(), c.keys != nullptr);
        if (!c.keys) {
            EXPECT_EQ(Content(trv()), before);
            EXPECT_EQ(trv().SelectedItem(), &N(c.key));
            continue;
        }
        EXPECT_EQ(Keys(trv()), c.keys);
        EXPECT_EQ(trv().SelectedItem(), &N(c.selected));
        EXPECT_EQ(view.Dump(), DumpTree(trv()));
    }
}

// What moves keeps: captions, records, flags and the order below.
TEST_F(History, LevelMoveKeepsTheSubtree) {
    Click(u"AArqNov");
    page.Outdent();
    EXPECT_EQ(Content(trv()),
              "A 'Menu Principal' Raiz\n"
              "  AArq '&Arquivo' nome=Arq tecla= B C\n"
              "    AArqAbr '&Abrir' nome=ArqAbr tecla= B\n"
              "    AArqSai '&Sair' nome=ArqSai tecla= B C\n"
              "  tmpAArqNov '&Novo' nome=ArqNov tecla= B C\n"
              "    tmpAArqNovDoc '&Documento' nome=ArqNovDoc tecla=Ctrl+F5 consulta desc=texto C\n"
              "  AEdi '&Editar' nome=Edi tecla= B C\n"
              "  AAju '&Ajuda' nome=Aju tecla= B C\n");
}

// A copy whose key is taken is refused whole, as the up and down moves are.
TEST_F(History, LevelMoveWithATakenKeyChangesNothing) {
    Click(u"AEdi");
    page.Indent();  // tmpAEdi under Arquivo
    Rename(u"tmpAEdi", u"Edi1");
    AddEntry(u"A", u"&Editar", u"Edi");  // AEdi again, after Ajuda
    Click(u"AEdi");
    const std::string before = Content(trv());
    const size_t steps = page.history().Steps();
    EXPECT_FALSE(page.CanIndent());
    page.Indent();
    EXPECT_EQ(Content(trv()), before);
    EXPECT_EQ(page.history().Steps(), steps);
    // Below the top too: a descendant's copy key taken.
    Click(u"AArq");
    EXPECT_FALSE(page.CanIndent());
}

// Drops: onto an entry (its last child), before or after one; never onto itself, into its own
// subtree, beside the root, or where it already is.
TEST_F(History, Drops) {
    struct Case {
        const char16_t* dragged;
        const char16_t* target;
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
        {u"AArqNov", u"AAju", Relationship::Child,
         "A AArq AArqAbr AArqSai AEdi AAju tmpAArqNov tmpAArqNovDoc"},
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
        const std::string before = Content(trv());
        EXPECT_EQ(page.CanDrop(N(c.dragged), N(c.target), c.where), c.keys != nullptr);
        host.changedCalls.clear();
        page.Drop(N(c.dragged), N(c.target), c.where);
        EXPECT_EQ(host.changedCalls.empty(), c.keys == nullptr);
        if (!c.keys) {
            EXPECT_EQ(Content(trv()), before);
            EXPECT_FALSE(page.CanUndo());
            continue;
        }
        EXPECT_EQ(Keys(trv()), c.keys);
        EXPECT_EQ(trv().SelectedItem(), &N(u"tmp" + String(c.dragged)));
        // One drop, one step.
        EXPECT_EQ(page.history().Steps(), 1u);
        page.Undo();
        EXPECT_EQ(Content(trv()), before);
    }
}

// The history's bookkeeping: what a step is, where the selection and the list go, Changed,
// and what starts a new history.
TEST_F(History, UndoAndRedoFollowSelectionListAndChanged) {
    EXPECT_FALSE(page.CanUndo());
    EXPECT_FALSE(page.CanRedo());
    const std::string start = Content(trv());

    AddEntry(u"AArq", u"&Fechar");  // confirm: one step, the parent selected after it
    Click(u"AEdi");
    host.answers.push_back(kMsgYes);
    page.btnExcluir_Click();  // delete: one step
    ASSERT_EQ(page.history().Steps(), 2u);

    int16_t z = 90, ctrl = 2;
    page.trvMenu_KeyDown(z, ctrl);  // takes the delete back: Editar is there and selected again
    EXPECT_EQ(trv().SelectedItem(), &N(u"AEdi"));
    EXPECT_EQ(ListColumn(0), std::vector<std::string>{});
    EXPECT_TRUE(page.Changed());
    page.Undo();  // takes the add back: Arquivo, where it was added, selected and listed
    EXPECT_EQ(Content(trv()), start);
    EXPECT_EQ(trv().SelectedItem(), &N(u"AArq"));
    EXPECT_EQ(ListColumn(0), (std::vector<std::string>{"&Novo", "&Abrir", "&Sair"}));
    EXPECT_FALSE(page.Changed());
    EXPECT_FALSE(host.changedCalls.back());
    EXPECT_FALSE(page.CanUndo());
    page.Undo();  // nothing left: nothing happens
    EXPECT_EQ(Content(trv()), start);

    int16_t y = 89, shiftZ = 90, ctrlShift = 3;
    page.trvMenu_KeyDown(y, ctrl);  // the add again: Arquivo selected after it, as confirm left it
    EXPECT_NE(trv().Find(u"AArqFec"), nullptr);
    EXPECT_EQ(trv().SelectedItem(), &N(u"AArq"));
    EXPECT_TRUE(page.Changed());
    page.trvMenu_KeyDown(shiftZ, ctrlShift);  // the delete again
    EXPECT_EQ(trv().Find(u"AEdi"), nullptr);
    EXPECT_FALSE(page.CanRedo());
    EXPECT_EQ(view.Dump(), DumpTree(trv()));

    // A new change after an undo drops what was taken back.
    page.Undo();
    Click(u"AAju");
    page.btnSobe_Click();
    EXPECT_FALSE(page.CanRedo());
    EXPECT_EQ(page.history().Steps(), 2u);

    // An edit that is open is not a step; taking back ends it as a click does, the fields keep
    // what was typed.
    Click(u"AArq");
    page.btnIncluir_Click();
    Type(Control::txtCaption, u"&Meio");
    EXPECT_EQ(page.history().Steps(), 2u);
    page.Undo();
    EXPECT_TRUE(Browsing());
    EXPECT_EQ(U8(form().txtCaption.Text), "&Meio");

    // Apply starts a new history; the tree as applied is the clean one.
    page.PropertyPage_ApplyChanges();
    EXPECT_FALSE(page.CanUndo());
    EXPECT_FALSE(page.CanRedo());
    Click(u"AArqAbr");
    page.Indent();
    EXPECT_TRUE(page.Changed());
    page.Undo();
    EXPECT_FALSE(page.Changed());

    // Loading clears it as well.
    page.Redo();
    ASSERT_TRUE(page.CanUndo());
    page.PropertyPage_SelectionChanged(model::WrapMenuTree(tree));
    EXPECT_FALSE(page.CanUndo());
    EXPECT_FALSE(page.CanRedo());
}

// A change of a node's fields and a deleted subtree come back exactly, in the view too.
TEST_F(History, UndoRestoresFieldsAndSubtrees) {
    Click(u"AArqNovDoc");
    page.btnAlterar_Click();
    Type(Control::txtCaption, u"&Carta");
    page.SetCheck(Control::chkVisible, 1);
    page.btnConfirma_Click();
    const std::string changed = Content(trv());
    Click(u"AArq");
    host.answers.push_back(kMsgYes);
    page.btnExcluir_Click();
    EXPECT_EQ(Keys(trv()), "A AEdi AAju");
    page.Undo();
    EXPECT_EQ(Content(trv()), changed);
    EXPECT_TRUE(N(u"AArq").Expanded());  // opened again as it was
    page.Undo();
    EXPECT_EQ(Keys(trv()), kStart);
    EXPECT_EQ(N(u"AArqNovDoc").Text(), u"&Documento");
    EXPECT_FALSE(N(u"AArqNovDoc").Bold());
    EXPECT_EQ(view.Dump(), DumpTree(trv()));
    page.Redo();
    EXPECT_EQ(Content(trv()), changed);
}

// Random sessions: every command that changes the tree is one step; undoing them all gives
// the tree loaded, redoing them all the tree at the end.
TEST_F(History, RandomSessionsUndoAndRedoWhole) {
    for (unsigned seed = 1; seed <= 25; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        SetUp();
        std::mt19937 rng(seed);
        const auto pick = [&]() -> Node& {
            std::vector<Node*> all;
            trv().ForEach([&](const Node& n) { all.push_back(&const_cast<Node&>(n)); });
            return *all[std::uniform_int_distribution<size_t>(0, all.size() - 1)(rng)];
        };
        // The tree after each step that is done; a new step drops those taken back.
        std::vector<std::string> states{Content(trv())};
        size_t done = 0;
        for (int i = 0; i < 40; ++i) {
            const std::string before = Content(trv());
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
                    page.Outdent();
                    break;
                case 3:
                    page.Indent();
                    break;
                case 4: {
                    Node& target = pick();
                    const auto where =
                        static_cast<Relationship>(std::uniform_int_distribution<int>(2, 4)(rng));
                    page.Drop(n, target, where);
                    break;
                }
                case 5:
                    if (page.CanDelete()) host.answers.push_back(kMsgYes);
                    page.btnExcluir_Click();
                    break;
                case 6:
                    AddEntry(n.Key(), u"&Item " + FromUtf8(std::to_string(i)),
                             (u"N" + FromUtf8(std::to_string(seed * 100 + i))).c_str());
                    break;
                case 7:
                    if (!page.CanChange()) break;
                    page.btnAlterar_Click();
                    Type(Control::txtCaption, u"&Novo " + FromUtf8(std::to_string(i)));
                    page.SetCheck(Control::chkEnabled, static_cast<int16_t>(i % 2));
                    page.btnConfirma_Click();
                    break;
                default:
                    page.Undo();  // in the middle of the session
                    if (done > 0) --done;
                    ASSERT_EQ(Content(trv()), states[done]);
                    continue;
            }
            if (Content(trv()) == before) continue;  // refused: no step
            states.resize(++done);
            states.push_back(Content(trv()));
        }
        // Every change was one step: each undo gives the tree before it, each redo after it.
        while (done > 0) {
            ASSERT_TRUE(page.CanUndo());
            page.Undo();
            ASSERT_EQ(Content(trv()), states[--done]);
        }
        EXPECT_FALSE(page.CanUndo());
        EXPECT_FALSE(page.Changed());
        EXPECT_EQ(view.Dump(), DumpTree(trv()));
        while (done + 1 < states.size()) {
            ASSERT_TRUE(page.CanRedo());
            page.Redo();
            ASSERT_EQ(Content(trv()), states[++done]);
        }
        EXPECT_FALSE(page.CanRedo());
        EXPECT_EQ(view.Dump(), DumpTree(trv()));
    }
}

}  // namespace
}  // namespace tq::designer::testing
