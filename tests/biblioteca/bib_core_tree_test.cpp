// MenuTree / MenuItem: defaults, change stamps, deep chains, and lookups against brute force.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <vector>

#include "tq/bib/menu_tree.h"
#include "tq/error.h"

using namespace tq;
using namespace tq::bib;

namespace {

using ItemPtr = std::shared_ptr<MenuItem>;
using TreePtr = std::shared_ptr<MenuTree>;

// A chain of `depth` entries, each the only entry of its level; returns the deepest entry.
ItemPtr BuildChain(TreePtr level, size_t depth) {
    ItemPtr last;
    for (size_t i = 0; i < depth; ++i, level = last->SubMenu()) last = level->Add(u"c", u"c");
    return last;
}

// The other defaults show in what SaveTree writes.
TEST(MenuTree, ANewEntryHasNoHandleNorLevelAndTextoMenuFollowsCaptionUntilPut) {
    auto tree = MenuTree::Create();
    auto e = tree->Add(u"&Arquivo", u"mnuArquivo");
    EXPECT_TRUE(!tree->At(0) && tree->At(1) == e && !tree->At(2)) << "positions are 1-based";
    EXPECT_TRUE(e->HndMenu() == 0 && !e->Children()) << "a leaf's level is made only when asked";
    EXPECT_EQ(e->TextoMenu(), u"&Arquivo");
    e->SetTextoMenu(u"");
    e->SetCaption(u"Outro");
    EXPECT_EQ(e->TextoMenu(), u"") << "put to empty, it stays empty";
}

TEST(MenuTree, EveryPersistentChangeAtAnyDepthAndNothingElseMovesTheStamp) {
    const struct {
        const char* what;
        bool changes, again;  // the first time, and done once more
        void (*act)(MenuItem& e);
    } cases[] = {
        {"Caption", true, false, [](MenuItem& e) { e.SetCaption(u"x"); }},
        {"TextoMenu put to Caption's", true, false, [](MenuItem& e) { e.SetTextoMenu(u"c"); }},
        {"Descricao", true, false, [](MenuItem& e) { e.SetDescricao(u"x"); }},
        {"Nome", true, false, [](MenuItem& e) { e.SetNome(u"x"); }},
        {"TeclaExtenso", true, false, [](MenuItem& e) { e.SetTeclaExtenso(u"x"); }},
        {"MenuConsulta", true, false, [](MenuItem& e) { e.SetMenuConsulta(true); }},
        {"Visivel", true, false, [](MenuItem& e) { e.SetVisivel(false); }},
        {"VisivelDefault", true, false, [](MenuItem& e) { e.SetVisivelDefault(false); }},
        {"Habilitado", true, false, [](MenuItem& e) { e.SetHabilitado(false); }},
        {"HabilitadoDefault", true, false, [](MenuItem& e) { e.SetHabilitadoDefault(false); }},
        {"Add below", true, true, [](MenuItem& e) { e.SubMenu()->Add(u"", u""); }},
        {"Clear below", true, false, [](MenuItem& e) { e.Parent()->At(2)->SubMenu()->Clear(); }},
        {"Swap", true, true,
         [](MenuItem& e) { e.SubMenu()->SwapContents(*e.Parent()->At(2)->SubMenu()); }},
        {"HndMenu", false, false, [](MenuItem& e) { e.SetHndMenu(1234); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto root = MenuTree::Create();
        const ItemPtr deep = BuildChain(root, 3);
        deep->Parent()->Add(u"s", u"s")->SubMenu()->Add(u"", u"");
        for (bool changes : {c.changes, c.again}) {
            const uint64_t before = root->ChangeStamp();
            c.act(*deep);
            EXPECT_EQ(root->ChangeStamp() != before, changes);
        }
        EXPECT_EQ(deep->Parent()->ChangeStamp(), root->ChangeStamp()) << "one stamp per hierarchy";
    }
    EXPECT_NE(MenuTree::Create()->ChangeStamp(), MenuTree::Create()->ChangeStamp());
}

// Nothing recurses along the depth; the bottom half, held, stays searchable after Clear.
TEST(MenuTree, AChainOfAHundredThousandLevelsIsHandledLikeAnyTree) {
    constexpr size_t kDeep = 100'000;
    auto tree = MenuTree::Create();
    auto middle = BuildChain(tree, kDeep / 2);
    auto bottom = BuildChain(middle->SubMenu(), kDeep / 2);
    bottom->SetHndMenu(123);
    EXPECT_EQ(tree->TotalCount(), kDeep);
    EXPECT_EQ(tree->ItemPorHnd(123), bottom);
    tree->Clear();
    EXPECT_EQ(tree->ItemPorHnd(123), nullptr);
    EXPECT_EQ(middle->Parent(), nullptr);
    EXPECT_EQ(middle->SubMenu()->ItemPorHnd(123), bottom);
    tree.reset(), middle.reset();
    EXPECT_EQ(bottom->HndMenu(), 123);
}

std::vector<TreePtr> Levels(const std::vector<TreePtr>& tops) {
    std::vector<TreePtr> levels = tops;
    for (size_t i = 0; i < levels.size(); ++i)
        for (const auto& e : levels[i]->Items()) levels.push_back(e->SubMenu());
    return levels;
}

// After any sequence of Add, SetHndMenu, SetNome, Clear and SwapContents, also on removed parts
// someone holds: ItemPorHnd answers the last taker below the level, Find the first by position.
TEST(MenuTree, LookupsAgreeWithBruteForceAfterRandomEdits) {
    for (uint32_t seed = 1; seed <= 12; ++seed) {
        std::mt19937 rng(seed);
        auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
        std::map<const MenuItem*, uint64_t> taken;  // when each entry last put its handle
        uint64_t clock = 0;
        auto put = [&](MenuItem& e, size_t h) {
            e.SetHndMenu(static_cast<int32_t>(h) - 1);
            taken[&e] = ++clock;
        };
        std::vector<TreePtr> tops{MenuTree::Create()};  // the root, and parts kept alive
        const char16_t* names[] = {u"a", u"b", u"c", u""};
        for (int step = 0; step < 1500; ++step) {
            std::vector<TreePtr> levels = Levels(tops);
            std::vector<ItemPtr> items;
            for (const auto& l : levels)
                items.insert(items.end(), l->Items().begin(), l->Items().end());
            TreePtr level = levels[pick(levels.size())];
            const size_t op = pick(100);
            if (op < 35 || items.empty()) {
                level->Add(u"x", names[pick(4)]);
            } else if (op < 70) {
                put(*items[pick(items.size())], pick(6));
            } else if (op < 80) {
                items[pick(items.size())]->SetNome(names[pick(4)]);
            } else if (op < 84) {
                if (level->Count() && pick(2))
                    tops.push_back(level->At(1 + pick(level->Count()))->SubMenu());
                level->Clear();
            } else if (op < 92) {  // refused, with nothing changed, when one holds the other
                TreePtr other = levels[pick(levels.size())];
                const bool nested = level != other && (std::ranges::count(Levels({level}), other) ||
                                                       std::ranges::count(Levels({other}), level));
                try {
                    level->SwapContents(*other);
                    EXPECT_FALSE(nested);
                } catch (const Error& e) {
                    EXPECT_TRUE(nested && e.hresult() == hr::kInvalidArg);
                }
            } else {
                auto fresh = MenuTree::Create();
                for (size_t i = pick(4); i > 0; --i) {
                    auto e = fresh->Add(u"f", names[pick(4)]);
                    if (pick(2)) put(*e, 1 + pick(6));
                }
                level->SwapContents(*fresh);
                if (pick(2)) tops.push_back(fresh);
            }
            if (tops.size() > 6) tops.erase(tops.begin() + 1);
            if (step % 25 != 0) continue;
            for (const auto& l : Levels(tops)) {
                std::map<int32_t, std::pair<uint64_t, const MenuItem*>> last;  // by brute force
                for (const auto& below : Levels({l}))
                    for (const auto& e : below->Items())
                        if (e->HndMenu() != 0 && taken[e.get()] > last[e->HndMenu()].first)
                            last[e->HndMenu()] = {taken[e.get()], e.get()};
                for (int32_t h = -1; h < 5; ++h)
                    ASSERT_EQ(l->ItemPorHnd(h).get(), last[h].second) << seed << "/" << step;
                for (const String n : names) {
                    auto first = std::ranges::find(l->Items(), n, &MenuItem::Nome);
                    ASSERT_EQ(l->Find(n), first == l->Items().end() ? nullptr : *first) << seed;
                }
                for (const auto& e : l->Items()) ASSERT_EQ(e->Parent(), l);
            }
            size_t total = 0;
            for (const auto& l : Levels({tops[0]})) total += l->Count();
            ASSERT_EQ(tops[0]->TotalCount(), total);
        }
    }
}

}  // namespace
