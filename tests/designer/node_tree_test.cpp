// The designer's node collection: placement, keys, collection indices, removal, selection, and
// the history's step bracket.
#include <gtest/gtest.h>

#include <map>
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
    t.Add(R::ByKey(u"A3"), Relationship::Previous, u"A2", u"two");
    t.Add(R::ByIndex(2), Relationship::Next, u"A1b", u"after one");  // index 2 is A1
    t.Add(R::ByKey(u"A1"), Relationship::Child, u"A1x", u"child");
    t.Add(R::ByKey(u"A2"), Relationship::First, u"A0", u"first");
    t.Add(R::Of(t.Item(u"A0")), Relationship::Last, u"A9", u"last");
    t.Add(u"B", u"second top");

    EXPECT_EQ(Keys(t), "A A0 A1 A1x A1b A2 A3 A9 B");
    EXPECT_EQ(t.Count(), 9);
    EXPECT_EQ(t.Item(4).Key(), u"A2");
    EXPECT_EQ(t.IndexOf(t.Item(u"A1b")), 5);
    Node& a = t.Item(u"A");
    EXPECT_EQ(a.Children(), 6);
    EXPECT_EQ(a.LastChild()->Key(), u"A9");
    EXPECT_EQ(a.Parent(), nullptr);
    EXPECT_EQ(t.Item(u"A2").Previous()->Key(), u"A1b");
    EXPECT_EQ(&t.Root(t.Item(u"A1x")), &a);

    // Keys are unique in the whole tree and exact; empty keys are "no key", never found.
    t.Add(R::ByKey(u"A"), Relationship::Child, u"", u"k1");
    t.Add(R::ByKey(u"A"), Relationship::Child, u"", u"k2");
    t.Add(R::ByKey(u"A"), Relationship::Child, u"a1", u"lower");
    EXPECT_EQ(t.Find(u""), nullptr);
    EXPECT_EQ(t.Item(u"a1").Text(), u"lower");
    // Failed lookups add nothing.
    const auto add = [&](R r, int rel) { t.Add(r, static_cast<Relationship>(rel), u"AX", u"x"); };
    ExpectError(hr::kKeyNotUnique,
                [&] { t.Add(R::ByKey(u"A"), Relationship::Child, u"A1x", u""); });
    ExpectError(hr::kElementNotFound, [&] { t.Item(u"nope"); });
    ExpectError(hr::kIndexOutOfBounds, [&] { t.Item(0); });
    ExpectError(hr::kIndexOutOfBounds, [&] { t.Item(13); });
    ExpectError(hr::kElementNotFound, [&] { add(R::ByKey(u"nope"), 4); });
    ExpectError(hr::kIndexOutOfBounds, [&] { add(R::ByIndex(13), 2); });
    ExpectError(hr::kInvalidRelationship, [&] { add(R::ByKey(u"A"), 7); });
    ExpectError(hr::kInvalidRelationship, [&] { add(R::ByKey(u"A"), -1); });
    EXPECT_EQ(t.Count(), 12);
    EXPECT_EQ(t.Find(u"AX"), nullptr);
}

TEST(NodeTree, SelectionMovesAsTheTreeViewMovesItAndTheObserverHearsEverything) {
    NodeTree t;
    MirrorView mirror;
    t.SetObserver(&mirror);
    t.Add(u"A", u"root");
    for (const char16_t* k : {u"A1", u"A2", u"A3"})
        t.Add(R::ByKey(u"A"), Relationship::Child, k, k);
    t.Add(R::ByKey(u"A2"), Relationship::Child, u"A21", u"deep");
    t.Add(u"B", u"second top");
    t.SetText(t.Item(u"A1"), u"uno");
    t.SetBold(t.Item(u"A21"), true);
    t.SetChecked(t.Item(u"A3"), true);
    t.SetTag(t.Item(u"A"), u"Raiz");

    t.SetSelected(t.Item(u"A21"), true);
    EXPECT_TRUE(t.Item(u"A2").Expanded());  // selecting shows the node
    EXPECT_TRUE(t.Item(u"A").Expanded());
    EXPECT_EQ(mirror.Dump(), DumpTree(t));
    t.Remove(u"A2");  // the selection was below: the removed node's next sibling
    EXPECT_EQ(t.SelectedItem(), &t.Item(u"A3"));
    EXPECT_TRUE(t.Item(u"A3").Selected());
    EXPECT_EQ(mirror.selected, &t.Item(u"A3"));
    t.Remove(u"A3");  // a last child: its parent
    EXPECT_EQ(t.SelectedItem(), &t.Item(u"A"));
    t.SetSelected(t.Item(u"B"), true);
    EXPECT_FALSE(t.Item(u"A").Selected());
    t.Remove(u"B");  // the last top-level node: its previous sibling
    EXPECT_EQ(t.SelectedItem(), &t.Item(u"A"));
    t.SetSelected(t.Item(u"A1"), false);  // not the selected one: nothing
    EXPECT_EQ(t.SelectedItem(), &t.Item(u"A"));
    t.SetSelected(t.Item(u"A"), false);
    EXPECT_EQ(t.SelectedItem(), nullptr);
    EXPECT_FALSE(t.Item(u"A").Selected());
    EXPECT_EQ(mirror.selected, nullptr);
    EXPECT_EQ(mirror.Dump(), DumpTree(t));
    t.Clear();
    EXPECT_TRUE(mirror.lines.empty());
    EXPECT_EQ(t.Count(), 0);
    EXPECT_EQ(t.Find(u"A"), nullptr);
}

// Random adds (every relationship) and subtree removals against a brute-force model of the
// tree and of the collection order; long enough for the removed nodes' slots to be reclaimed.
TEST(NodeTree, RandomEditsMatchABruteForceModel) {
    NodeTree t;
    std::map<String, std::vector<String>> kids;  // "" holds the top-level keys
    std::map<String, String> parent;
    std::vector<String> order;  // collection order
    std::vector<String> gone;
    std::mt19937 rng(7);
    const auto pick = [&](size_t n) { return static_cast<size_t>(rng() % n); };
    std::function<void(const String&, std::string&)> preorder = [&](const String& k,
                                                                    std::string& out) {
        for (const String& c : kids[k]) {
            out += (out.empty() ? "" : " ") + U8(c);
            preorder(c, out);
        }
    };
    for (int step = 0, next = 0; step < 4000; ++step) {
        if (order.empty() || pick(3) != 0) {
            const String key = u"K" + FromUtf8(std::to_string(next++));
            if (order.empty() || pick(8) == 0) {
                t.Add(key, key);
                parent[key] = u"";
                kids[u""].push_back(key);
            } else {
                const size_t ri = pick(order.size());
                const String rel = order[ri];
                const int how = static_cast<int>(pick(3)) + 2;  // Next, Previous, Child
                t.Add(pick(2) ? R::ByKey(rel) : R::ByIndex(static_cast<int32_t>(ri + 1)),
                      static_cast<Relationship>(how), key, key);
                const String p = how == 4 ? rel : parent[rel];
                auto& list = kids[p];
                auto at = how == 4 ? list.end() : std::find(list.begin(), list.end(), rel);
                list.insert(how == 2 ? at + 1 : at, key);
                parent[key] = p;
            }
            order.push_back(key);
        } else {
            const String victim = order[pick(order.size())];
            t.Remove(victim);
            std::vector<String> sub{victim};
            for (size_t i = 0; i < sub.size(); ++i)
                for (const String& c : kids[sub[i]]) sub.push_back(c);
            auto& siblings = kids[parent[victim]];
            siblings.erase(std::find(siblings.begin(), siblings.end(), victim));
            for (const String& k : sub) {
                kids.erase(k);
                parent.erase(k);
                gone.push_back(k);
                order.erase(std::find(order.begin(), order.end(), k));
            }
        }
        if (step % 40 != 0) continue;
        SCOPED_TRACE("step " + std::to_string(step));
        std::string expected;
        preorder(u"", expected);
        ASSERT_EQ(Keys(t), expected);
        ASSERT_EQ(t.Count(), static_cast<int32_t>(order.size()));
        for (size_t i = 0; i < order.size(); ++i) {
            ASSERT_EQ(t.Item(static_cast<int32_t>(i + 1)).Key(), order[i]);
            ASSERT_EQ(t.IndexOf(*t.Find(order[i])), static_cast<int32_t>(i + 1));
        }
        for (const String& k : gone) ASSERT_EQ(t.Find(k), nullptr);
        gone.clear();
    }
}

// Removing most of a large collection reclaims the dead slots; positions stay right after it.
TEST(NodeTree, PositionsSurviveTheReclaimingOfRemovedSlots) {
    NodeTree t;
    const auto key = [](int i) { return u"K" + FromUtf8(std::to_string(i)); };
    for (int i = 0; i < 3000; ++i) t.Add(key(i), key(i));
    for (int i = 0; i < 3000; ++i)
        if (i % 6 != 0) t.Remove(key(i));
    ASSERT_EQ(t.Count(), 500);
    for (int32_t pos = 1; pos <= 500; ++pos) {
        ASSERT_EQ(t.Item(pos).Key(), key((pos - 1) * 6));
        ASSERT_EQ(t.IndexOf(*t.Find(key((pos - 1) * 6))), pos);
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
    t.Add(R::ByKey(u"A"), Relationship::Child, u"A1", u"one");
    h.Close(nullptr);
    t.SetText(t.Item(u"A1"), u"uno");
    h.Close(nullptr);
    EXPECT_EQ(h.Steps(), 1u);
    h.Undo();
    EXPECT_EQ(Keys(t), "A");
    h.Redo();
    EXPECT_EQ(t.Item(u"A1").Text(), u"uno");
}

}  // namespace
}  // namespace tq::designer::testing
