// MenuTree / MenuItem: structure, defaults, lookups by position, name and handle, Clear,
// SwapContents and very deep trees.
#include <gtest/gtest.h>

#include <climits>
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

}  // namespace

// ---------------------------------------------------------------------------------------------
// Change stamps

TEST(MenuTreeChanges, EveryPersistentChangeAtAnyDepthAndNothingElseMovesTheStamp) {
    struct Case {
        const char* what;
        bool changes;
        void (*act)(MenuItem& e);
    };
    const Case cases[] = {
        {"Caption", true, [](MenuItem& e) { e.SetCaption(u"x"); }},
        {"TextoMenu", true, [](MenuItem& e) { e.SetTextoMenu(u"x"); }},
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
        {"Clear of an empty level", false, [](MenuItem& e) { e.SubMenu()->Clear(); }},
        {"HndMenu", false, [](MenuItem& e) { e.SetHndMenu(1234); }},
        {"the value it has", false,
         [](MenuItem& e) {
             e.SetCaption(u"c");
             e.SetNome(u"c");
             e.SetVisivel(true);
             e.SetMenuConsulta(false);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto root = MenuTree::Create();
        const ItemPtr deep = BuildChain(root, 3);
        deep->Parent()->Add(u"s", u"s")->SubMenu()->Add(u"", u"");  // for Clear below
        const uint64_t before = root->ChangeStamp();
        c.act(*deep);
        EXPECT_EQ(root->ChangeStamp() != before, c.changes);
        EXPECT_EQ(deep->Parent()->ChangeStamp(), root->ChangeStamp()) << "one stamp per hierarchy";
    }
    // Whole-level operations, on either side.
    auto a = MenuTree::Create(), b = MenuTree::Create();
    uint64_t sa = a->ChangeStamp(), sb = b->ChangeStamp();
    EXPECT_NE(sa, sb) << "stamps are never shared";
    a->Add(u"a", u"a");
    EXPECT_NE(a->ChangeStamp(), sa);
    sa = a->ChangeStamp();
    a->SwapContents(*b);
    EXPECT_NE(a->ChangeStamp(), sa);
    EXPECT_NE(b->ChangeStamp(), sb);
    sb = b->ChangeStamp();
    b->Clear();
    EXPECT_NE(b->ChangeStamp(), sb);
}

// ---------------------------------------------------------------------------------------------
// Structure and defaults

TEST(MenuTreeStructure, NewEntryHasDocumentedDefaults) {
    auto tree = MenuTree::Create();
    auto e = tree->Add(u"&Arquivo", u"mnuArquivo");
    EXPECT_EQ(e->Caption(), u"&Arquivo");
    EXPECT_EQ(e->Nome(), u"mnuArquivo");
    EXPECT_EQ(e->TextoMenu(), u"&Arquivo");
    EXPECT_FALSE(e->TextoMenuWasSet());
    EXPECT_EQ(e->Descricao(), u"");
    EXPECT_EQ(e->TeclaExtenso(), u"");
    EXPECT_EQ(e->HndMenu(), 0);
    EXPECT_FALSE(e->MenuConsulta());
    EXPECT_TRUE(e->Visivel());
    EXPECT_TRUE(e->VisivelDefault());
    EXPECT_TRUE(e->Habilitado());
    EXPECT_TRUE(e->HabilitadoDefault());
    EXPECT_EQ(e->Children(), nullptr) << "a leaf's level is made only when asked for";
    ASSERT_NE(e->SubMenu(), nullptr);
    EXPECT_EQ(e->Children(), e->SubMenu().get()) << "and is the same level from then on";
    EXPECT_EQ(e->SubMenu()->Count(), 0u);
    EXPECT_EQ(e->Parent(), tree);
    EXPECT_EQ(e->SubMenu()->ItemPorHnd(1), nullptr);
}

TEST(MenuTreeStructure, TextoMenuFollowsCaptionUntilPut) {
    auto e = MenuTree::Create()->Add(u"Abrir", u"a");
    e->SetCaption(u"Abrir...");
    EXPECT_EQ(e->TextoMenu(), u"Abrir...");  // still following
    e->SetTextoMenu(u"&Abrir...\tCtrl+A");
    e->SetCaption(u"Outro");
    EXPECT_EQ(e->TextoMenu(), u"&Abrir...\tCtrl+A");
    e->SetTextoMenu(u"");  // put to empty: stays empty, does not fall back to Caption
    EXPECT_TRUE(e->TextoMenuWasSet());
    EXPECT_EQ(e->TextoMenu(), u"");
}

TEST(MenuTreeStructure, EntriesAreStoredObjectsInInsertionOrder) {
    auto tree = MenuTree::Create();
    auto a = tree->Add(u"A", u"a");
    auto b = tree->Add(u"B", u"b");
    auto c = tree->Add(u"C", u"c");
    auto c1 = c->SubMenu()->Add(u"C1", u"c1");
    EXPECT_EQ(tree->Count(), 3u);  // this level only
    EXPECT_EQ(tree->TotalCount(), 4u);
    EXPECT_EQ(tree->At(1), a);
    EXPECT_EQ(tree->At(2), b);
    EXPECT_EQ(tree->At(3), c);
    // What is put through one reference is seen through every other.
    tree->At(2)->SetDescricao(u"desc");
    EXPECT_EQ(b->Descricao(), u"desc");
    EXPECT_EQ(tree->At(3)->SubMenu(), c->SubMenu());
    EXPECT_EQ(c1->Parent(), c->SubMenu());
    EXPECT_EQ(tree->Items().size(), 3u);
}

TEST(MenuTreeStructure, AtOutOfRangeIsNull) {
    auto tree = MenuTree::Create();
    EXPECT_EQ(tree->At(0), nullptr);
    EXPECT_EQ(tree->At(1), nullptr);
    tree->Add(u"A", u"a");
    tree->Add(u"B", u"b");
    EXPECT_EQ(tree->At(0), nullptr);
    EXPECT_NE(tree->At(2), nullptr);
    EXPECT_EQ(tree->At(3), nullptr);
    EXPECT_EQ(tree->At(SIZE_MAX), nullptr);
}

TEST(MenuTreeStructure, ClearRemovesEveryEntryAndCutsParents) {
    auto tree = MenuTree::Create();
    auto a = tree->Add(u"A", u"a");
    auto a1 = a->SubMenu()->Add(u"A1", u"a1");
    tree->Clear();
    EXPECT_EQ(tree->Count(), 0u);
    EXPECT_EQ(tree->TotalCount(), 0u);
    EXPECT_EQ(tree->At(1), nullptr);
    EXPECT_EQ(a->Parent(), nullptr);
    // A removed entry stays usable with its own subtree.
    EXPECT_EQ(a1->Parent(), a->SubMenu());
    EXPECT_EQ(a->SubMenu()->At(1), a1);
    auto n = tree->Add(u"N", u"n");
    EXPECT_EQ(tree->At(1), n);
    EXPECT_EQ(n->Parent(), tree);
}

// ---------------------------------------------------------------------------------------------
// Find (Item by name)

TEST(MenuTreeFind, ExactNameOfThisLevelOnly) {
    auto tree = MenuTree::Create();
    auto a = tree->Add(u"A", u"mnuArquivo");
    a->SubMenu()->Add(u"N", u"mnuNovo");
    EXPECT_EQ(tree->Find(u"mnuArquivo"), a);
    EXPECT_EQ(tree->Find(u"mnuNovo"), nullptr);     // a child level's name
    EXPECT_EQ(tree->Find(u"mnuarquivo"), nullptr);  // case-sensitive
    EXPECT_EQ(tree->Find(u"mnuArq"), nullptr);
    EXPECT_EQ(tree->Find(u"mnuArquivo "), nullptr);
    EXPECT_EQ(MenuTree::Create()->Find(u""), nullptr);
    EXPECT_NE(a->SubMenu()->Find(u"mnuNovo"), nullptr);
}

TEST(MenuTreeFind, FirstOfDuplicatesWinsBeforeAndAfterTheIndexExists) {
    auto tree = MenuTree::Create();
    auto first = tree->Add(u"1", u"dup");
    EXPECT_EQ(tree->Find(u"dup"), first);  // index built here
    auto second = tree->Add(u"2", u"dup");
    auto third = tree->Add(u"3", u"dup");
    EXPECT_EQ(tree->Find(u"dup"), first);
    auto other = tree->Add(u"4", u"outro");
    EXPECT_EQ(tree->Find(u"outro"), other);
    (void)second;
    (void)third;

    auto fresh = MenuTree::Create();  // index built only after the duplicates
    auto f1 = fresh->Add(u"", u"");
    fresh->Add(u"", u"");
    EXPECT_EQ(fresh->Find(u""), f1);
}

TEST(MenuTreeFind, FollowsRenamesInPositionOrder) {
    auto tree = MenuTree::Create();
    auto first = tree->Add(u"1", u"dup");
    auto second = tree->Add(u"2", u"dup");
    auto third = tree->Add(u"3", u"dup");
    ASSERT_EQ(tree->Find(u"dup"), first);
    first->SetNome(u"x");
    EXPECT_EQ(tree->Find(u"dup"), second);
    EXPECT_EQ(tree->Find(u"x"), first);
    second->SetNome(u"y");
    EXPECT_EQ(tree->Find(u"dup"), third);
    first->SetNome(u"dup");  // back in front of the third: position decides, not rename order
    EXPECT_EQ(tree->Find(u"dup"), first);
    EXPECT_EQ(tree->Find(u"x"), nullptr);
    third->SetNome(u"y");
    EXPECT_EQ(tree->Find(u"y"), second);
    first->SetNome(u"z");
    EXPECT_EQ(tree->Find(u"dup"), nullptr);
    // The head's key outlives a rename of the head itself.
    second->SetNome(u"w");
    EXPECT_EQ(tree->Find(u"y"), third);
    EXPECT_EQ(tree->Find(u"w"), second);
}

TEST(MenuTreeFind, ClearEmptiesTheNameIndex) {
    auto tree = MenuTree::Create();
    auto old = tree->Add(u"A", u"a");
    ASSERT_EQ(tree->Find(u"a"), old);
    tree->Clear();
    EXPECT_EQ(tree->Find(u"a"), nullptr);
    old->SetNome(u"b");  // a removed entry's rename must not reach the level
    auto fresh = tree->Add(u"A", u"a");
    EXPECT_EQ(tree->Find(u"a"), fresh);
    EXPECT_EQ(tree->Find(u"b"), nullptr);
}

// ---------------------------------------------------------------------------------------------
// ItemPorHnd

TEST(MenuTreeHnd, FindsEntriesAtAnyDepthBelowTheLevelAsked) {
    auto tree = MenuTree::Create();
    auto arquivo = tree->Add(u"Arquivo", u"a");
    auto editar = tree->Add(u"Editar", u"e");
    auto novo = arquivo->SubMenu()->Add(u"Novo", u"n");
    auto modelo = novo->SubMenu()->Add(u"Modelo", u"m");
    auto copiar = editar->SubMenu()->Add(u"Copiar", u"c");
    arquivo->SetHndMenu(0x1234);
    novo->SetHndMenu(0x5678);
    modelo->SetHndMenu(1000);
    copiar->SetHndMenu(1001);
    EXPECT_EQ(tree->ItemPorHnd(0x1234), arquivo);
    EXPECT_EQ(tree->ItemPorHnd(0x5678), novo);
    EXPECT_EQ(tree->ItemPorHnd(1000), modelo);
    EXPECT_EQ(tree->ItemPorHnd(1001), copiar);
    EXPECT_EQ(arquivo->SubMenu()->ItemPorHnd(1000), modelo);
    EXPECT_EQ(novo->SubMenu()->ItemPorHnd(1000), modelo);
    // Not above, not beside, not the owner of the level itself.
    EXPECT_EQ(arquivo->SubMenu()->ItemPorHnd(0x1234), nullptr);
    EXPECT_EQ(arquivo->SubMenu()->ItemPorHnd(1001), nullptr);
    EXPECT_EQ(modelo->SubMenu()->ItemPorHnd(1000), nullptr);
    EXPECT_EQ(tree->ItemPorHnd(999), nullptr);
    EXPECT_EQ(tree->ItemPorHnd(INT32_MIN), nullptr);
}

TEST(MenuTreeHnd, ZeroNeverMatches) {
    auto tree = MenuTree::Create();
    auto a = tree->Add(u"A", u"a");
    a->SubMenu()->Add(u"B", u"b");
    EXPECT_EQ(tree->ItemPorHnd(0), nullptr);  // every entry starts at 0
    a->SetHndMenu(7);
    a->SetHndMenu(0);
    EXPECT_EQ(tree->ItemPorHnd(0), nullptr);
    EXPECT_EQ(tree->ItemPorHnd(7), nullptr);
}

TEST(MenuTreeHnd, FollowsEveryChangeAndTheLastTakerWins) {
    auto tree = MenuTree::Create();
    auto a = tree->Add(u"A", u"a");
    auto b = a->SubMenu()->Add(u"B", u"b");
    auto c = tree->Add(u"C", u"c");
    a->SetHndMenu(1000);
    a->SetHndMenu(2000);
    EXPECT_EQ(tree->ItemPorHnd(1000), nullptr);  // the old value no longer matches
    EXPECT_EQ(tree->ItemPorHnd(2000), a);
    b->SetHndMenu(2000);
    EXPECT_EQ(tree->ItemPorHnd(2000), b);
    c->SetHndMenu(2000);
    EXPECT_EQ(tree->ItemPorHnd(2000), c);
    a->SetHndMenu(2000);  // putting the same value again takes it again
    EXPECT_EQ(tree->ItemPorHnd(2000), a);
    a->SetHndMenu(3000);  // the next most recent holder answers
    EXPECT_EQ(tree->ItemPorHnd(2000), c);
    c->SetHndMenu(0);
    EXPECT_EQ(tree->ItemPorHnd(2000), b);
    b->SetHndMenu(-5);
    EXPECT_EQ(tree->ItemPorHnd(2000), nullptr);
    EXPECT_EQ(tree->ItemPorHnd(-5), b);
}

TEST(MenuTreeHnd, LastTakerOutsideTheLevelDoesNotHideOneInside) {
    auto tree = MenuTree::Create();
    auto x = tree->Add(u"X", u"x");
    auto y = tree->Add(u"Y", u"y");
    auto inX = x->SubMenu()->Add(u"x1", u"x1");
    auto inY = y->SubMenu()->Add(u"y1", u"y1");
    inX->SetHndMenu(77);
    inY->SetHndMenu(77);  // later
    EXPECT_EQ(tree->ItemPorHnd(77), inY);
    EXPECT_EQ(x->SubMenu()->ItemPorHnd(77), inX);
    EXPECT_EQ(y->SubMenu()->ItemPorHnd(77), inY);
    EXPECT_EQ(inX->SubMenu()->ItemPorHnd(77), nullptr);
}

TEST(MenuTreeHnd, ClearOfTheRootDropsRemovedEntriesEvenIfTheirHandleIsSetLater) {
    auto tree = MenuTree::Create();
    auto a = tree->Add(u"A", u"a");
    auto a1 = a->SubMenu()->Add(u"A1", u"a1");
    auto a2 = a1->SubMenu()->Add(u"A2", u"a2");
    a->SetHndMenu(10);
    a1->SetHndMenu(11);
    a2->SetHndMenu(12);
    tree->Clear();
    EXPECT_EQ(tree->ItemPorHnd(10), nullptr);
    EXPECT_EQ(tree->ItemPorHnd(11), nullptr);
    EXPECT_EQ(tree->ItemPorHnd(12), nullptr);
    a->SetHndMenu(20);
    a1->SetHndMenu(21);
    a2->SetHndMenu(12);
    EXPECT_EQ(tree->ItemPorHnd(20), nullptr);
    EXPECT_EQ(tree->ItemPorHnd(21), nullptr);
    EXPECT_EQ(tree->ItemPorHnd(12), nullptr);
    // The removed subtree keeps working on its own.
    EXPECT_EQ(a->SubMenu()->ItemPorHnd(21), a1);
    EXPECT_EQ(a->SubMenu()->ItemPorHnd(12), a2);
    // New entries with the same values are found, the removed ones still are not.
    auto n = tree->Add(u"N", u"n");
    n->SetHndMenu(12);
    EXPECT_EQ(tree->ItemPorHnd(12), n);
    a2->SetHndMenu(12);  // a later take by a removed entry must not win from here
    EXPECT_EQ(tree->ItemPorHnd(12), n);
    EXPECT_EQ(a->SubMenu()->ItemPorHnd(12), a2);
}

TEST(MenuTreeHnd, ClearOfAnInnerLevelMovesKeptPartsOutOfTheHierarchy) {
    auto tree = MenuTree::Create();
    auto top = tree->Add(u"Top", u"t");
    auto sibling = tree->Add(u"Sib", u"s");
    sibling->SetHndMenu(1);
    auto gone = top->SubMenu()->Add(u"Gone", u"g");  // dropped by nobody holding it
    gone->SubMenu()->Add(u"GoneChild", u"gc")->SetHndMenu(2);
    auto kept = top->SubMenu()->Add(u"Kept", u"k");
    auto keptChild = kept->SubMenu()->Add(u"KeptChild", u"kc");
    keptChild->SetHndMenu(3);
    kept->SetHndMenu(4);
    gone.reset();
    ASSERT_EQ(tree->ItemPorHnd(2)->Nome(), u"gc");

    top->SubMenu()->Clear();
    EXPECT_EQ(tree->ItemPorHnd(1), sibling);  // untouched parts stay indexed
    EXPECT_EQ(tree->ItemPorHnd(2), nullptr);
    EXPECT_EQ(tree->ItemPorHnd(3), nullptr);
    EXPECT_EQ(tree->ItemPorHnd(4), nullptr);
    EXPECT_EQ(kept->Parent(), nullptr);
    EXPECT_EQ(kept->SubMenu()->ItemPorHnd(3), keptChild);  // searchable within itself

    keptChild->SetHndMenu(1);  // after the Clear: stays out of the old hierarchy
    kept->SetHndMenu(1);
    EXPECT_EQ(tree->ItemPorHnd(1), sibling);
    EXPECT_EQ(kept->SubMenu()->ItemPorHnd(1), keptChild);

    auto again = top->SubMenu()->Add(u"Again", u"a");
    again->SetHndMenu(3);
    EXPECT_EQ(tree->ItemPorHnd(3), again);
    EXPECT_EQ(top->SubMenu()->ItemPorHnd(3), again);
}

TEST(MenuTreeHnd, KeptSubMenuOfARemovedEntrySurvivesAndStaysSearchable) {
    auto tree = MenuTree::Create();
    auto holder = tree->Add(u"H", u"h");
    auto a = holder->SubMenu()->Add(u"A", u"a");
    TreePtr sub = a->SubMenu();  // only the level is held, not its entry
    auto leaf = sub->Add(u"L", u"l");
    leaf->SetHndMenu(9);
    a.reset();
    holder->SubMenu()->Clear();  // the entry dies, its level lives on as a root of its own
    EXPECT_EQ(tree->ItemPorHnd(9), nullptr);
    EXPECT_EQ(sub->ItemPorHnd(9), leaf);
    EXPECT_EQ(leaf->Parent(), sub);
    leaf->SetHndMenu(10);
    EXPECT_EQ(tree->ItemPorHnd(10), nullptr);
    EXPECT_EQ(sub->ItemPorHnd(10), leaf);
}

// ---------------------------------------------------------------------------------------------
// SwapContents

TEST(MenuTreeSwap, RootsExchangeContentsAndKeepIdentities) {
    auto a = MenuTree::Create();
    auto b = MenuTree::Create();
    int peerA = 0, peerB = 0;
    a->peer = &peerA;
    b->peer = &peerB;
    auto a1 = a->Add(u"A1", u"a1");
    a1->SetHndMenu(100);
    auto a1x = a1->SubMenu()->Add(u"A1x", u"a1x");
    a1x->SetHndMenu(101);
    ASSERT_EQ(a->Find(u"a1"), a1);
    auto b1 = b->Add(u"B1", u"b1");
    auto b2 = b->Add(u"B2", u"b2");
    auto b2x = b2->SubMenu()->Add(u"B2x", u"b2x");
    b2x->SetHndMenu(200);
    b1->SetHndMenu(101);

    a->SwapContents(*b);

    EXPECT_EQ(a->peer, &peerA);
    EXPECT_EQ(b->peer, &peerB);
    ASSERT_EQ(a->Count(), 2u);
    EXPECT_EQ(a->At(1), b1);
    EXPECT_EQ(a->At(2), b2);
    EXPECT_EQ(b->At(1), a1);
    EXPECT_EQ(b1->Parent(), a);
    EXPECT_EQ(a1->Parent(), b);
    EXPECT_EQ(b2x->Parent(), b2->SubMenu());
    EXPECT_EQ(a->Find(u"b2"), b2);
    EXPECT_EQ(a->Find(u"a1"), nullptr);
    EXPECT_EQ(b->Find(u"a1"), a1);
    EXPECT_EQ(a->ItemPorHnd(200), b2x);
    EXPECT_EQ(a->ItemPorHnd(101), b1);
    EXPECT_EQ(a->ItemPorHnd(100), nullptr);
    EXPECT_EQ(b->ItemPorHnd(100), a1);
    EXPECT_EQ(b->ItemPorHnd(101), a1x);
    EXPECT_EQ(b->ItemPorHnd(200), nullptr);
    // Later changes land in the right index.
    b2x->SetHndMenu(300);
    a1x->SetHndMenu(300);
    EXPECT_EQ(a->ItemPorHnd(300), b2x);
    EXPECT_EQ(b->ItemPorHnd(300), a1x);
    a->Add(u"New", u"new")->SetHndMenu(400);
    EXPECT_EQ(a->ItemPorHnd(400)->Nome(), u"new");
    EXPECT_EQ(a->Find(u"new"), a->At(3));
}

TEST(MenuTreeSwap, InnerLevelWithARootMovesHandlesBetweenHierarchies) {
    auto a = MenuTree::Create();
    auto host = a->Add(u"Host", u"host");
    host->SetHndMenu(1);
    auto old = host->SubMenu()->Add(u"Old", u"old");
    old->SetHndMenu(2);
    auto oldChild = old->SubMenu()->Add(u"OldChild", u"oc");
    oldChild->SetHndMenu(3);
    auto loaded = MenuTree::Create();
    auto n = loaded->Add(u"N", u"n");
    auto nChild = n->SubMenu()->Add(u"NChild", u"nc");
    nChild->SetHndMenu(3);
    n->SetHndMenu(5);

    host->SubMenu()->SwapContents(*loaded);

    EXPECT_EQ(host->SubMenu()->At(1), n);
    EXPECT_EQ(n->Parent(), host->SubMenu());
    EXPECT_EQ(a->ItemPorHnd(1), host);
    EXPECT_EQ(a->ItemPorHnd(5), n);
    EXPECT_EQ(a->ItemPorHnd(3), nChild);
    EXPECT_EQ(a->ItemPorHnd(2), nullptr);
    EXPECT_EQ(loaded->ItemPorHnd(2), old);
    EXPECT_EQ(loaded->ItemPorHnd(3), oldChild);
    EXPECT_EQ(loaded->ItemPorHnd(5), nullptr);
    oldChild->SetHndMenu(6);
    nChild->SetHndMenu(7);
    EXPECT_EQ(a->ItemPorHnd(6), nullptr);
    EXPECT_EQ(loaded->ItemPorHnd(6), oldChild);
    EXPECT_EQ(a->ItemPorHnd(7), nChild);
    EXPECT_EQ(loaded->ItemPorHnd(7), nullptr);
}

TEST(MenuTreeSwap, KeepsTakeOrderWhenHandlesMerge) {
    auto a = MenuTree::Create();
    auto inner = a->Add(u"I", u"i");
    auto older = MenuTree::Create();
    auto early = older->Add(u"E", u"e");
    early->SetHndMenu(9);  // taken first
    auto late = a->Add(u"L", u"l");
    late->SetHndMenu(9);  // taken after
    inner->SubMenu()->SwapContents(*older);
    EXPECT_EQ(a->ItemPorHnd(9), late);  // the move does not count as a take
    EXPECT_EQ(inner->SubMenu()->ItemPorHnd(9), early);
}

TEST(MenuTreeSwap, LevelsOfOneHierarchy) {
    auto tree = MenuTree::Create();
    auto x = tree->Add(u"X", u"x");
    auto y = tree->Add(u"Y", u"y");
    auto x1 = x->SubMenu()->Add(u"x1", u"x1");
    auto y1 = y->SubMenu()->Add(u"y1", u"y1");
    x1->SetHndMenu(1);
    y1->SetHndMenu(2);
    x->SubMenu()->SwapContents(*y->SubMenu());
    EXPECT_EQ(x->SubMenu()->At(1), y1);
    EXPECT_EQ(y1->Parent(), x->SubMenu());
    EXPECT_EQ(x->SubMenu()->ItemPorHnd(2), y1);
    EXPECT_EQ(x->SubMenu()->ItemPorHnd(1), nullptr);
    EXPECT_EQ(tree->ItemPorHnd(1), x1);
    EXPECT_EQ(y->SubMenu()->Find(u"x1"), x1);
}

TEST(MenuTreeSwap, RefusesALevelInsideTheOther) {
    auto tree = MenuTree::Create();
    auto a = tree->Add(u"A", u"a");
    auto b = a->SubMenu()->Add(u"B", u"b");
    b->SetHndMenu(3);
    for (auto [one, two] : {std::pair{tree, a->SubMenu()}, std::pair{b->SubMenu(), tree}}) {
        try {
            one->SwapContents(*two);
            FAIL() << "nested levels swapped";
        } catch (const Error& e) {
            EXPECT_EQ(e.hresult(), hr::kInvalidArg);
        }
    }
    EXPECT_EQ(tree->At(1), a);
    EXPECT_EQ(a->SubMenu()->At(1), b);
    EXPECT_EQ(tree->ItemPorHnd(3), b);
    tree->SwapContents(*tree);  // itself: nothing happens
    EXPECT_EQ(tree->At(1), a);
}

// ---------------------------------------------------------------------------------------------
// Deep trees: nothing may recurse along the depth.

constexpr size_t kDeep = 100'000;

TEST(MenuTreeDeep, ChainIsIndexedCountedClearedAndDestroyed) {
    auto tree = MenuTree::Create();
    auto bottom = BuildChain(tree, kDeep);
    bottom->SetHndMenu(123);
    EXPECT_EQ(tree->TotalCount(), kDeep);
    EXPECT_EQ(tree->ItemPorHnd(123), bottom);
    tree->Clear();
    EXPECT_EQ(tree->ItemPorHnd(123), nullptr);
    EXPECT_EQ(tree->TotalCount(), 0u);
    // The bottom entry survives (held here); the level that held it died with the chain.
    EXPECT_EQ(bottom->Parent(), nullptr);
    EXPECT_EQ(bottom->HndMenu(), 123);

    auto second = MenuTree::Create();
    BuildChain(second, kDeep);
    second.reset();  // destruction
    SUCCEED();
}

TEST(MenuTreeDeep, HeldMiddleOfAChainOutlivesTheRestAndStaysSearchable) {
    auto tree = MenuTree::Create();
    TreePtr level = tree;
    ItemPtr middle, bottom;
    for (size_t i = 0; i < kDeep; ++i) {
        auto e = level->Add(u"c", u"c");
        if (i == kDeep / 2) middle = e;
        bottom = e;
        level = e->SubMenu();
    }
    level.reset();
    bottom->SetHndMenu(77);
    tree.reset();
    EXPECT_EQ(middle->Parent(), nullptr);
    EXPECT_EQ(middle->SubMenu()->TotalCount(), kDeep - kDeep / 2 - 1);
    EXPECT_EQ(middle->SubMenu()->ItemPorHnd(77), bottom);
    bottom.reset();
    middle.reset();
}

TEST(MenuTreeDeep, ClearInsideAHierarchyWithADeepKeptPart) {
    auto tree = MenuTree::Create();
    auto top = tree->Add(u"T", u"t");
    auto kept = BuildChain(top->SubMenu(), 3);
    auto bottom = BuildChain(kept->SubMenu(), kDeep);
    bottom->SetHndMenu(5);
    ASSERT_EQ(tree->ItemPorHnd(5), bottom);
    top->SubMenu()->Clear();
    EXPECT_EQ(tree->ItemPorHnd(5), nullptr);
    EXPECT_EQ(kept->SubMenu()->ItemPorHnd(5), bottom);
}

// ---------------------------------------------------------------------------------------------
// Randomized: every lookup agrees with a brute-force reading of the tree after any sequence of
// Add, SetHndMenu, SetNome, Clear and SwapContents, including on removed parts someone holds.

namespace {

struct Model {
    std::map<const MenuItem*, uint64_t> taken;  // when each entry last put a non-zero handle
    uint64_t clock = 0;

    void Put(MenuItem& e, int32_t h) {
        e.SetHndMenu(h);
        taken[&e] = ++clock;
    }

    // The last taker of `h` below `level`, found by walking the whole subtree.
    const MenuItem* Expected(const MenuTree& level, int32_t h) const {
        if (h == 0) return nullptr;
        const MenuItem* best = nullptr;
        uint64_t best_time = 0;
        std::vector<const MenuTree*> todo{&level};
        while (!todo.empty()) {
            const MenuTree* l = todo.back();
            todo.pop_back();
            for (const auto& e : l->Items()) {
                if (e->HndMenu() == h && taken.at(e.get()) > best_time) {
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

}  // namespace

TEST(MenuTreeRandomized, LookupsAgreeWithBruteForce) {
    for (uint32_t seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
        Model model;
        auto root = MenuTree::Create();
        std::vector<TreePtr> tops{root};  // the root, loaded trees, and removed parts kept alive
        const char16_t* names[] = {u"a", u"b", u"c", u""};
        for (int step = 0; step < 1500; ++step) {
            std::vector<TreePtr> levels;
            for (const auto& t : tops) CollectLevels(t, levels);
            std::vector<ItemPtr> items;
            for (const auto& l : levels)
                for (const auto& e : l->Items()) items.push_back(e);
            const size_t op = pick(100);
            if (op < 35 || items.empty()) {
                auto e = levels[pick(levels.size())]->Add(u"x", names[pick(4)]);
                model.taken[e.get()] = 0;
            } else if (op < 70) {
                model.Put(*items[pick(items.size())], static_cast<int32_t>(pick(6)));
            } else if (op < 80) {
                items[pick(items.size())]->SetNome(names[pick(4)]);
            } else if (op < 84) {
                TreePtr l = levels[pick(levels.size())];
                if (!l->Items().empty() && pick(2))
                    tops.push_back(l->Items()[pick(l->Count())]->SubMenu());
                l->Clear();
            } else if (op < 92) {
                TreePtr x = levels[pick(levels.size())];
                TreePtr y = levels[pick(levels.size())];
                try {
                    x->SwapContents(*y);
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
                auto target = levels[pick(levels.size())];
                target->SwapContents(*fresh);
                if (pick(2)) tops.push_back(fresh);
            }
            if (tops.size() > 6) tops.erase(tops.begin() + 1);
            if (step % 25 != 0) continue;
            levels.clear();
            for (const auto& t : tops) CollectLevels(t, levels);
            for (const auto& l : levels) {
                for (int32_t h = 0; h < 6; ++h)
                    ASSERT_EQ(l->ItemPorHnd(h).get(), model.Expected(*l, h)) << "step " << step;
                for (const char16_t* n : names) {
                    const MenuItem* first = nullptr;
                    for (const auto& e : l->Items())
                        if (e->Nome() == n) {
                            first = e.get();
                            break;
                        }
                    ASSERT_EQ(l->Find(n).get(), first) << "step " << step;
                }
                for (const auto& e : l->Items()) ASSERT_EQ(e->Parent(), l);
            }
        }
    }
}
