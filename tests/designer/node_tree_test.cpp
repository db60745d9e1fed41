// The designer's node collection and the history's step bracket.
#include <random>

#include "page_fixture.h"

namespace tq::designer::testing {
namespace {

using R = NodeTree::Relative;
using Rel = Relationship;

TEST(NodeTree, RelationshipsPlaceNodesAndTheSelectionFollowsRemovals) {
    NodeTree t;
    t.Add(u"A", u"root");
    t.Add(R::ByKey(u"A"), Rel::Child, u"A1", u"one");
    t.Add(R::ByKey(u"A"), Rel::Child, u"A3", u"three");
    t.Add(R::ByKey(u"A3"), Rel::Previous, u"A2", u"two");
    t.Add(R::ByIndex(2), Rel::Next, u"A1b", u"after one");  // index 2 is A1
    t.Add(R::ByKey(u"A1"), Rel::Child, u"A1x", u"child");
    t.Add(R::ByKey(u"A2"), Rel::First, u"A0", u"first");
    t.Add(R::Of(t.Item(u"A0")), Rel::Last, u"A9", u"last");
    t.Add(u"B", u"second top");
    for (const char16_t* k : {u"", u"", u"a1"}) t.Add(R::ByKey(u"A"), Rel::Child, k, k);
    EXPECT_EQ(Keys(t), "A A0 A1 A1x A1b A2 A3 A9   a1 B");  // keys are exact; "" is no key
    EXPECT_EQ(t.Find(u""), nullptr);
    EXPECT_EQ(t.Item(4).Key() + t.Item(u"A").LastChild()->Key() + t.Item(u"A2").Previous()->Key() +
                  t.Root(t.Item(u"A1x")).Key(),
              u"A2a1A1bA");
    EXPECT_EQ(t.IndexOf(t.Item(u"A1b")) + t.Item(u"A").Children(), 5 + 9);
    const auto add = [&](R r, int rel) { t.Add(r, static_cast<Rel>(rel), u"AX", u"x"); };
    EXPECT_EQ(ErrorOf([&] { t.Add(R::ByKey(u"A"), Rel::Child, u"A1x", u""); }), hr::kKeyNotUnique);
    EXPECT_EQ(ErrorOf([&] { t.Item(u"nope"); }), hr::kElementNotFound);
    EXPECT_EQ(ErrorOf([&] { t.Item(0); }), hr::kIndexOutOfBounds);
    EXPECT_EQ(ErrorOf([&] { t.Item(13); }), hr::kIndexOutOfBounds);
    EXPECT_EQ(ErrorOf([&] { add(R::ByKey(u"nope"), 4); }), hr::kElementNotFound);
    EXPECT_EQ(ErrorOf([&] { add(R::ByIndex(13), 2); }), hr::kIndexOutOfBounds);
    EXPECT_EQ(ErrorOf([&] { add(R::ByKey(u"A"), 5); }), hr::kInvalidRelationship);
    EXPECT_EQ(ErrorOf([&] { add(R::ByKey(u"A"), -1); }), hr::kInvalidRelationship);
    EXPECT_EQ(t.Count(), 12);             // failed calls add nothing
    t.SetSelected(t.Item(u"A1x"), true);  // selecting shows the node
    EXPECT_TRUE(t.Item(u"A1").Expanded() && t.Item(u"A").Expanded());
    t.Remove(u"A1");  // the selection was below: the next sibling
    EXPECT_TRUE(t.Item(u"A1b").Selected());
    t.SetSelected(t.Item(u"a1"), true);
    EXPECT_FALSE(t.Item(u"A1b").Selected());
    t.Remove(u"a1");  // a last child: its parent
    EXPECT_EQ(t.SelectedItem(), &t.Item(u"A"));
    t.SetSelected(t.Item(u"B"), true);
    t.Remove(u"B");  // the last top-level node: the previous one
    EXPECT_EQ(t.SelectedItem(), &t.Item(u"A"));
    t.SetSelected(t.Item(u"A2"), false);  // not the selected one: nothing
    EXPECT_EQ(t.SelectedItem(), &t.Item(u"A"));
    t.SetSelected(t.Item(u"A"), false);
    EXPECT_FALSE(t.SelectedItem() || t.Item(u"A").Selected());
    t.Clear();
    EXPECT_TRUE(t.Count() == 0 && !t.Find(u"A"));
}

// Positions and keys stay right through scattered removals, the reclaiming of slots and after.
TEST(NodeTree, PositionsAndKeysSurviveScatteredRemovalsAndTheReclaimingOfSlots) {
    NodeTree t;
    std::vector<int> live;
    const auto key = [](int i) { return u"K" + FromUtf8(std::to_string(i)); };
    std::mt19937 rng(7);
    for (int round = 0, next = 0; round < 5; ++round) {
        for (int n = round == 0 ? 3001 : 100; n > 0; --n, ++next)
            live.push_back(next), t.Add(key(next), key(next));
        for (int n = round < 4 ? 800 : 3; n > 0 && round > 0; --n) {
            const size_t at = 1 + rng() % (live.size() - 1);  // the first stays
            t.Remove(key(live[at]));
            ASSERT_EQ(t.Find(key(live[at])), nullptr);
            live.erase(live.begin() + static_cast<ptrdiff_t>(at));
        }
        ASSERT_EQ(t.Count(), static_cast<int32_t>(live.size()));
        for (int32_t pos = 1; pos <= t.Count(); ++pos) {
            ASSERT_EQ(t.Item(pos).Key(), key(live[pos - 1])) << round;
            ASSERT_EQ(t.IndexOf(*t.Find(key(live[pos - 1]))), pos);
        }
    }
}

// The history's step is the outermost bracket: inner Open/Close pairs add to it.
TEST(TreeHistory, NestedOpenAndCloseMakeOneStep) {
    NodeTree t;
    TreeHistory h(t);
    t.Add(u"A", u"root");
    h.Clear();
    h.Open(nullptr);
    h.Open(nullptr);
    t.Add(R::ByKey(u"A"), Rel::Child, u"A1", u"one");
    h.Close(nullptr);
    t.SetText(t.Item(u"A1"), u"uno");
    h.Close(nullptr);
    EXPECT_EQ(h.Steps(), 1u);
    h.Undo();
    EXPECT_EQ(Keys(t), "A");
    h.Redo();
    EXPECT_EQ(t.Item(u"A1").Text(), u"uno");
    t.Add(R::ByKey(u"A"), Rel::Child, u"", u"");  // a node before one without a key cannot be
    h.Open(nullptr), t.Remove(u"A1"), h.Close(nullptr);  // put back: the history is forgotten
    EXPECT_FALSE(h.CanUndo());
}

}  // namespace
}  // namespace tq::designer::testing
