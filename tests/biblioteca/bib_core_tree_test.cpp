// MenuTree / MenuItem: defaults, change stamps, structure, and every lookup (by position, name and
// handle) against a brute-force reading of the tree after random edits; very deep trees.
#include <gtest/gtest.h>

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
ItemPtr BuildChain(const TreePtr& root, size_t depth) {
    TreePtr level = root;
    ItemPtr last;
    for (size_t i = 0; i < depth; ++i) {
        last = level->Add(u"c", u"c");
        level = last->SubMenu();
    }
    return last;
}

TEST(MenuTree, NewEntryHasTheDocumentedDefaultsAndTextoMenuFollowsCaptionUntilPut) {
    auto tree = MenuTree::Create();
    auto e = tree->Add(u"&Arquivo", u"mnuArquivo");
    EXPECT_EQ(e->Nome(), u"mnuArquivo");
    EXPECT_EQ(e->Descricao() + e->TeclaExtenso(), u"");
    EXPECT_EQ(e->HndMenu(), 0);
    EXPECT_FALSE(e->MenuConsulta());
    EXPECT_TRUE(e->Visivel() && e->VisivelDefault() && e->Habilitado() && e->HabilitadoDefault());
    EXPECT_EQ(e->Children(), nullptr) << "a leaf's level is made only when asked for";
    const TreePtr sub = e->SubMenu();
    EXPECT_EQ(e->Children(), sub.get()) << "and is the same level from then on";
    EXPECT_EQ(e->Parent(), tree);
    // The last to take a handle answers, from the first take on.
    auto other = tree->Add(u"", u"");
    e->SetHndMenu(5);
    other->SetHndMenu(5);
    EXPECT_EQ(tree->ItemPorHnd(5), other);

    e->SetCaption(u"Abrir...");
    EXPECT_EQ(e->TextoMenu(), u"Abrir...");
    EXPECT_FALSE(e->TextoMenuWasSet());
    e->SetTextoMenu(u"");  // put to empty: stays empty, no fall back to Caption
    e->SetCaption(u"Outro");
    EXPECT_TRUE(e->TextoMenuWasSet());
    EXPECT_EQ(e->TextoMenu(), u"");
}

TEST(MenuTree, EveryPersistentChangeAtAnyDepthAndNothingElseMovesTheStamp) {
    const struct {
        const char* what;
        bool changes;
        void (*act)(MenuItem& e);
    } cases[] = {
        {"Caption", true, [](MenuItem& e) { e.SetCaption(u"x"); }},
        {"TextoMenu put to Caption's value", true, [](MenuItem& e) { e.SetTextoMenu(u"c"); }},
        {"Descricao", true, [](MenuItem& e) { e.SetDescricao(u"x"); }},
        {"Nome", true, [](MenuItem& e) { e.SetNome(u"x"); }},
        {"TeclaExtenso", true, [](MenuItem& e) { e.SetTeclaExtenso(u"x"); }},
        {"MenuConsulta", true, [](MenuItem& e) { e.SetMenuConsulta(true); }},
        {"Visivel", true, [](MenuItem& e) { e.SetVisivel(false); }},
        {"VisivelDefault", true, [](MenuItem& e) { e.SetVisivelDefault(false); }},
        {"Habilitado", true, [](MenuItem& e) { e.SetHabilitado(false); }},
        {"HabilitadoDefault", true, [](MenuItem& e) { e.SetHabilitadoDefault(false); }},
        {"Add below", true, [](MenuItem& e) { e.SubMenu()->Add(u"", u""); }},
        {"Clear below", true, [](MenuItem& e) { e.Parent()->At(2)->SubMenu()->Clear(); }},
        {"Swap below", true,
         [](MenuItem& e) { e.SubMenu()->SwapContents(*e.Parent()->At(2)->SubMenu()); }},
        {"Clear of an empty level", false, [](MenuItem& e) { e.SubMenu()->Clear(); }},
        {"HndMenu", false, [](MenuItem& e) { e.SetHndMenu(1234); }},
        {"the values it has", false,
         [](MenuItem& e) {
             e.SetCaption(u"c");
             e.SetNome(u"c");
             e.SetVisivel(true);
             e.SetMenuConsulta(false);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto root = MenuTree::Create();
        const ItemPtr deep = BuildChain(root, 3);
        deep->Parent()->Add(u"s", u"s")->SubMenu()->Add(u"", u"");
        const uint64_t before = root->ChangeStamp();
        c.act(*deep);
        EXPECT_EQ(root->ChangeStamp() != before, c.changes);
        EXPECT_EQ(deep->Parent()->ChangeStamp(), root->ChangeStamp()) << "one stamp per hierarchy";
    }
    EXPECT_NE(MenuTree::Create()->ChangeStamp(), MenuTree::Create()->ChangeStamp());
}

TEST(MenuTree, PositionsAreOneBasedAndClearCutsTheRemovedEntriesLoose) {
    auto tree = MenuTree::Create();
    EXPECT_EQ(tree->At(1), nullptr);
    auto a = tree->Add(u"A", u"a");
    auto b = tree->Add(u"B", u"b");
    auto a1 = a->SubMenu()->Add(u"A1", u"a1");
    EXPECT_EQ(tree->At(0), nullptr);
    EXPECT_EQ(tree->At(2), b);
    EXPECT_EQ(tree->At(3), nullptr);
    EXPECT_EQ(tree->Count(), 2u);
    EXPECT_EQ(tree->TotalCount(), 3u);
    tree->Clear();
    EXPECT_EQ(tree->TotalCount(), 0u);
    EXPECT_EQ(a->Parent(), nullptr);
    EXPECT_EQ(a1->Parent(), a->SubMenu()) << "a removed entry keeps its own subtree";
}

TEST(MenuTree, SwapExchangesContentsKeepsIdentitiesAndRefusesNestedLevels) {
    auto a = MenuTree::Create(), b = MenuTree::Create();
    int peer = 0;
    a->peer = &peer;
    auto a1 = a->Add(u"A1", u"a1");
    auto b1 = b->Add(u"B1", u"b1");
    a->SwapContents(*b);
    EXPECT_EQ(a->peer, &peer);
    EXPECT_EQ(a->At(1), b1);
    EXPECT_EQ(b1->Parent(), a);
    EXPECT_EQ(a1->Parent(), b);

    auto inner = b1->SubMenu()->Add(u"x", u"x");
    inner->SetHndMenu(3);
    for (auto [one, two] : {std::pair{a, b1->SubMenu()}, std::pair{inner->SubMenu(), a}}) {
        try {
            one->SwapContents(*two);
            ADD_FAILURE() << "nested levels swapped";
        } catch (const Error& e) {
            EXPECT_EQ(e.hresult(), hr::kInvalidArg);
        }
    }
    a->SwapContents(*a);
    EXPECT_EQ(a->At(1), b1);
    EXPECT_EQ(a->ItemPorHnd(3), inner);
}

// Nothing may recurse along the depth: indexing, counting, Clear and destruction of a chain of
// 100,000 levels, with its bottom half held and still searchable.
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
    EXPECT_EQ(middle->SubMenu()->ItemPorHnd(123), bottom);
    tree.reset();
    middle.reset();
    EXPECT_EQ(bottom->HndMenu(), 123);
}

// Every lookup agrees with a brute-force reading of the tree after any sequence of Add,
// SetHndMenu, SetNome, Clear and SwapContents, including on removed parts someone holds:
// ItemPorHnd answers the last taker below the level, Find the first of the level by position.
struct Model {
    std::map<const MenuItem*, uint64_t> taken;  // when each entry last put its handle
    uint64_t clock = 0;

    void Put(MenuItem& e, int32_t h) {
        e.SetHndMenu(h);
        taken[&e] = ++clock;
    }
    const MenuItem* Expected(const MenuTree& level, int32_t h) const {
        const MenuItem* best = nullptr;
        uint64_t best_time = 0;
        std::vector<const MenuTree*> todo{&level};
        while (!todo.empty()) {
            const MenuTree* l = todo.back();
            todo.pop_back();
            for (const auto& e : l->Items()) {
                if (h != 0 && e->HndMenu() == h && taken.at(e.get()) > best_time) {
                    best = e.get();
                    best_time = taken.at(e.get());
                }
                todo.push_back(e->SubMenu().get());
            }
        }
        return best;
    }
};

void CollectLevels(const TreePtr& top, std::vector<TreePtr>& levels) {
    std::vector<TreePtr> todo{top};
    while (!todo.empty()) {
        TreePtr l = todo.back();
        todo.pop_back();
        levels.push_back(l);
        for (const auto& e : l->Items()) todo.push_back(e->SubMenu());
    }
}

TEST(MenuTree, LookupsAgreeWithBruteForceAfterRandomEdits) {
    for (uint32_t seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
        Model model;
        std::vector<TreePtr> tops{MenuTree::Create()};  // the root, and parts kept alive
        const char16_t* names[] = {u"a", u"b", u"c", u""};
        for (int step = 0; step < 1500; ++step) {
            std::vector<TreePtr> levels;
            for (const auto& t : tops) CollectLevels(t, levels);
            std::vector<ItemPtr> items;
            for (const auto& l : levels)
                items.insert(items.end(), l->Items().begin(), l->Items().end());
            const size_t op = pick(100);
            if (op < 35 || items.empty()) {
                model.taken[levels[pick(levels.size())]->Add(u"x", names[pick(4)]).get()] = 0;
            } else if (op < 70) {
                model.Put(*items[pick(items.size())], static_cast<int32_t>(pick(6)) - 1);
            } else if (op < 80) {
                items[pick(items.size())]->SetNome(names[pick(4)]);
            } else if (op < 84) {
                TreePtr l = levels[pick(levels.size())];
                if (l->Count() && pick(2)) tops.push_back(l->At(1 + pick(l->Count()))->SubMenu());
                l->Clear();
            } else if (op < 92) {
                try {
                    levels[pick(levels.size())]->SwapContents(*levels[pick(levels.size())]);
                } catch (const Error& e) {
                    EXPECT_EQ(e.hresult(), hr::kInvalidArg);
                }
            } else {
                auto fresh = MenuTree::Create();
                for (size_t i = pick(4); i > 0; --i) {
                    auto e = fresh->Add(u"f", names[pick(4)]);
                    model.taken[e.get()] = 0;
                    if (pick(2)) model.Put(*e, static_cast<int32_t>(pick(6)));
                }
                levels[pick(levels.size())]->SwapContents(*fresh);
                if (pick(2)) tops.push_back(fresh);
            }
            if (tops.size() > 6) tops.erase(tops.begin() + 1);
            if (step % 25 != 0) continue;
            levels.clear();
            for (const auto& t : tops) CollectLevels(t, levels);
            for (const auto& l : levels) {
                for (int32_t h = -1; h < 5; ++h)
                    ASSERT_EQ(l->ItemPorHnd(h).get(), model.Expected(*l, h)) << "step " << step;
                for (const char16_t* n : names) {
                    const MenuItem* first = nullptr;
                    for (size_t i = l->Count(); i > 0; --i)
                        if (l->At(i)->Nome() == n) first = l->At(i).get();
                    ASSERT_EQ(l->Find(n).get(), first) << "step " << step;
                }
                for (const auto& e : l->Items()) ASSERT_EQ(e->Parent(), l);
            }
            size_t total = 0;
            levels.clear();
            CollectLevels(tops[0], levels);
            for (const auto& l : levels) total += l->Count();
            ASSERT_EQ(tops[0]->TotalCount(), total);
        }
    }
}

}  // namespace
