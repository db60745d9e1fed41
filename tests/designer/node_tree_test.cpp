// The designer's node collection: placement, keys, collection indices, removal, selection.
#include <gtest/gtest.h>

#include <random>

#include "page_fixture.h"
#include "tq/designer/errors.h"
#include "tq/designer/node_tree.h"

namespace tq::designer::testing {
namespace {

using R = NodeTree::Relative;

TEST(NodeTree, RelationshipsPlaceNodesAndIndicesFollowAddOrder) {
    NodeTree t;
    t.Add(u"A", u"root");
    t.Add(R::ByKey(u"A"), Relationship::Child, u"A1", u"one");
    t.Add(R::ByKey(u"A"), Relationship::Child, u"A3", u"three");
    t.Add(R::ByKey(u"A3"), Relationship::Previous, u"A2", u"two");   // before A3
    t.Add(R::ByIndex(2), Relationship::Next, u"A1b", u"after one");  // index 2 is A1
    t.Add(R::ByKey(u"A1"), Relationship::Child, u"A1x", u"child");
    t.Add(R::ByKey(u"A2"), Relationship::First, u"A0", u"first");
    t.Add(R::ByKey(u"A0"), Relationship::Last, u"A9", u"last");

    EXPECT_EQ(Keys(t), "A A0 A1 A1x A1b A2 A3 A9");
    // Collection indices are the add order, not the tree order.
    EXPECT_EQ(t.Count(), 8);
    EXPECT_EQ(t.Item(4).Key(), u"A2");
    EXPECT_EQ(t.Item(t.Count()).Key(), u"A9");
    EXPECT_EQ(t.IndexOf(t.Item(u"A1b")), 5);

    Node& a = t.Item(u"A");
    EXPECT_EQ(a.Children(), 6);
    EXPECT_EQ(a.Child()->Key(), u"A0");
    EXPECT_EQ(a.LastChild()->Key(), u"A9");
    EXPECT_EQ(t.Item(u"A1x").Parent(), &t.Item(u"A1"));
    EXPECT_EQ(a.Parent(), nullptr);
    EXPECT_EQ(t.Item(u"A2").Previous()->Key(), u"A1b");
    EXPECT_EQ(t.Item(u"A9").Next(), nullptr);
    EXPECT_EQ(&t.Root(t.Item(u"A1x")), &a);

    // No relative: a new last top-level node.
    t.Add(u"B", u"second top");
    EXPECT_EQ(a.Next()->Key(), u"B");
}

TEST(NodeTree, KeysAreUniqueInTheWholeTree) {
    NodeTree t;
    t.Add(u"A", u"root");
    t.Add(R::ByKey(u"A"), Relationship::Child, u"AX", u"x");
    t.Add(R::ByKey(u"AX"), Relationship::Child, u"AY", u"y");
    ExpectError(hr::kKeyNotUnique,
                [&] { t.Add(R::ByKey(u"A"), Relationship::Child, u"AY", u"z"); });
    ExpectError(hr::kKeyNotUnique, [&] { t.Add(u"A", u"other root"); });
    EXPECT_EQ(t.Count(), 3);
    EXPECT_EQ(t.Item(u"A").Children(), 1);
    // Empty keys mean "no key": allowed any number of times, never found.
    t.Add(R::ByKey(u"A"), Relationship::Child, u"", u"k1");
    t.Add(R::ByKey(u"A"), Relationship::Child, u"", u"k2");
    EXPECT_EQ(t.Count(), 5);
    EXPECT_EQ(t.Find(u""), nullptr);
    // Keys are exact: case counts.
    t.Add(R::ByKey(u"A"), Relationship::Child, u"ay", u"lower");
    EXPECT_EQ(t.Item(u"ay").Text(), u"lower");
}

TEST(NodeTree, LookupFailuresAddNothing) {
    NodeTree t;
    t.Add(u"A", u"root");
    ExpectError(hr::kElementNotFound, [&] { t.Item(u"nope"); });
    ExpectError(hr::kIndexOutOfBounds, [&] { t.Item(0); });
    ExpectError(hr::kIndexOutOfBounds, [&] { t.Item(2); });
    ExpectError(hr::kElementNotFound,
                [&] { t.Add(R::ByKey(u"nope"), Relationship::Child, u"AX", u"x"); });
    ExpectError(hr::kIndexOutOfBounds,
                [&] { t.Add(R::ByIndex(5), Relationship::Next, u"AX", u"x"); });
    ExpectError(hr::kInvalidRelationship,
                [&] { t.Add(R::ByKey(u"A"), static_cast<Relationship>(7), u"AX", u"x"); });
    EXPECT_EQ(t.Count(), 1);
    EXPECT_EQ(t.Find(u"AX"), nullptr);
}

TEST(NodeTree, RemoveTakesTheSubtreeAndShiftsLaterIndices) {
    NodeTree t;
    t.Add(u"A", u"root");                                           // 1
    t.Add(R::ByKey(u"A"), Relationship::Child, u"AP", u"p");        // 2
    t.Add(R::ByKey(u"AP"), Relationship::Child, u"AP1", u"p1");     // 3
    t.Add(R::ByKey(u"A"), Relationship::Child, u"AQ", u"q");        // 4
    t.Add(R::ByKey(u"AP1"), Relationship::Child, u"AP11", u"p11");  // 5
    t.Add(R::ByKey(u"A"), Relationship::Child, u"AR", u"r");        // 6
    t.Remove(u"AP");
    EXPECT_EQ(t.Count(), 3);
    EXPECT_EQ(Keys(t), "A AQ AR");
    EXPECT_EQ(t.Item(2).Key(), u"AQ");
    EXPECT_EQ(t.Item(3).Key(), u"AR");
    EXPECT_EQ(t.IndexOf(t.Item(u"AR")), 3);
    EXPECT_EQ(t.Find(u"AP11"), nullptr);
    EXPECT_EQ(t.Item(u"A").Children(), 2);
    // The keys are free again and the new node takes the last index.
    t.Add(R::ByKey(u"AQ"), Relationship::Previous, u"AP", u"p again");
    EXPECT_EQ(Keys(t), "A AP AQ AR");
    EXPECT_EQ(t.IndexOf(t.Item(u"AP")), 4);
    t.Remove(2);
    EXPECT_EQ(Keys(t), "A AP AR");
    t.Clear();
    EXPECT_EQ(t.Count(), 0);
    EXPECT_EQ(t.FirstTop(), nullptr);
    EXPECT_EQ(t.Find(u"A"), nullptr);
}

TEST(NodeTree, SelectionMovesAsTheTreeViewMovesIt) {
    NodeTree t;
    t.Add(u"A", u"root");
    for (const char16_t* k : {u"A1", u"A2", u"A3"})
        t.Add(R::ByKey(u"A"), Relationship::Child, k, k);
    t.Add(R::ByKey(u"A2"), Relationship::Child, u"A21", u"deep");
    t.Add(u"B", u"second top");

    t.SetSelected(t.Item(u"A21"), true);
    EXPECT_TRUE(t.Item(u"A2").Expanded());  // selecting shows the node
    EXPECT_TRUE(t.Item(u"A").Expanded());
    t.Remove(u"A2");  // the selection was below: the removed node's next sibling
    EXPECT_EQ(t.SelectedItem(), &t.Item(u"A3"));
    EXPECT_TRUE(t.Item(u"A3").Selected());
    t.Remove(u"A3");  // a last child: its parent
    EXPECT_EQ(t.SelectedItem(), &t.Item(u"A"));
    t.SetSelected(t.Item(u"B"), true);
    EXPECT_FALSE(t.Item(u"A").Selected());
    t.Remove(u"B");  // the last top-level node: its previous sibling
    EXPECT_EQ(t.SelectedItem(), &t.Item(u"A"));
    t.SetSelected(t.Item(u"A1"), true);
    t.Remove(u"A");  // nothing left
    EXPECT_EQ(t.SelectedItem(), nullptr);
}

// Collection indices under heavy churn (and the compaction it triggers) against a plain list.
TEST(NodeTree, IndicesMatchAPlainListUnderChurn) {
    NodeTree t;
    std::vector<String> ref;  // keys in collection order
    std::mt19937 rng(7);
    int next = 0;
    t.Add(u"A", u"root");
    ref.push_back(u"A");
    for (int step = 0; step < 20000; ++step) {
        if (rng() % 3 != 0 || t.Count() < 3) {
            // Add a leaf under a random node.
            const auto parent = static_cast<int32_t>(rng() % static_cast<unsigned>(t.Count())) + 1;
            const String key = u"K" + FromUtf8(std::to_string(next++));
            t.Add(R::ByIndex(parent), Relationship::Child, key, key);
            ref.push_back(key);
        } else {
            // Remove a random non-root node with its subtree.
            const auto idx = static_cast<int32_t>(rng() % static_cast<unsigned>(t.Count() - 1)) + 2;
            Node& n = t.Item(idx);
            std::vector<String> gone;
            std::function<void(const Node&)> collect = [&](const Node& x) {
                gone.push_back(x.Key());
                for (Node* c = x.Child(); c; c = c->Next()) collect(*c);
            };
            collect(n);
            t.Remove(n);
            for (const String& k : gone) ASSERT_EQ(t.Find(k), nullptr);
            std::erase_if(ref, [&](const String& k) {
                return std::find(gone.begin(), gone.end(), k) != gone.end();
            });
        }
        if (step % 997 == 0) {
            ASSERT_EQ(t.Count(), static_cast<int32_t>(ref.size()));
            for (size_t i = 0; i < ref.size(); ++i) {
                ASSERT_EQ(t.Item(static_cast<int32_t>(i + 1)).Key(), ref[i]) << "step " << step;
                ASSERT_EQ(t.IndexOf(t.Item(ref[i])), static_cast<int32_t>(i + 1));
            }
        }
    }
}

// Key lookups after every single removal, with no add in between that could rebuild the
// index: a key moved to the wrong place by a removal would be lost for good.
TEST(NodeTree, EveryKeyStaysFoundWhileKeysAreRemoved) {
    NodeTree t;
    std::vector<String> keys;
    // 2560 keys fill the index to its limit (5/8 of 4096 slots): long probe runs, some of
    // them wrapping around the end of the table.
    for (int i = 0; i < 2560; ++i) {
        keys.push_back(u"A" + FromUtf8(std::to_string(i * 7919 % 100003)));
        t.Add(keys.back(), keys.back());
    }
    std::mt19937 rng(11);
    std::shuffle(keys.begin(), keys.end(), rng);
    while (!keys.empty()) {
        t.Remove(keys.back());
        ASSERT_EQ(t.Find(keys.back()), nullptr);
        keys.pop_back();
        for (const String& k : keys) ASSERT_NE(t.Find(k), nullptr) << ToUtf8(k);
    }
    EXPECT_EQ(t.Count(), 0);
}

TEST(NodeTree, ObserverHearsEveryChange) {
    NodeTree t;
    MirrorView mirror;
    t.SetObserver(&mirror);
    t.Add(u"A", u"root");
    t.Add(R::ByKey(u"A"), Relationship::Child, u"A2", u"two");
    t.Add(R::ByKey(u"A2"), Relationship::Previous, u"A1", u"one");
    t.Add(R::ByKey(u"A2"), Relationship::Child, u"A21", u"deep");
    t.SetText(t.Item(u"A1"), u"uno");
    t.SetBold(t.Item(u"A21"), true);
    t.SetTag(t.Item(u"A"), u"Raiz");
    t.SetSelected(t.Item(u"A21"), true);
    EXPECT_EQ(mirror.Dump(), DumpTree(t));
    EXPECT_EQ(mirror.selected, &t.Item(u"A21"));
    t.Remove(u"A2");
    EXPECT_EQ(mirror.Dump(), DumpTree(t));
    EXPECT_EQ(mirror.selected, &t.Item(u"A"));
    t.Clear();
    EXPECT_TRUE(mirror.nodes.empty());
}

}  // namespace
}  // namespace tq::designer::testing
