// The designer's view of a MenuTree, natively over tqBiblioteca's core.
#include <gtest/gtest.h>

#include "tq/error.h"
#include "tq/model/bib_menu_source.h"

namespace tq::model {
namespace {

TEST(BibMenuSource, HandlesReachTheStoredObjects) {
    auto tree = bib::MenuTree::Create();
    auto level = WrapMenuTree(tree);
    level->Add(u"&Arquivo", u"Arq");
    level->Add(u"&Ajuda", u"Aju");
    ASSERT_EQ(level->Count(), 2);

    auto arq = level->Item(u"Arq");
    arq->SetTeclaExtenso(u"F5");
    arq->SetVisivel(false);
    arq->SubMenu()->Add(u"&Novo", u"ArqNov");
    // Seen through a second handle and through the core itself.
    EXPECT_EQ(level->Item(1)->TeclaExtenso(), u"F5");
    EXPECT_FALSE(tree->At(1)->Visivel());
    EXPECT_EQ(level->Item(1)->SubMenu()->Count(), 1);
    EXPECT_EQ(tree->At(1)->SubMenu()->At(1)->Nome(), u"ArqNov");
    EXPECT_EQ(level->Item(2)->Caption(), u"&Ajuda");
    EXPECT_EQ(level->Item(2)->SubMenu()->Count(), 0);

    level->Clear();
    EXPECT_EQ(level->Count(), 0);
    EXPECT_EQ(tree->Count(), 0u);
}

TEST(BibMenuSource, ByNameAnswersTheFirstOfTheLevel) {
    auto tree = bib::MenuTree::Create();
    auto level = WrapMenuTree(tree);
    level->Add(u"um", u"X");
    level->Add(u"dois", u"X");
    EXPECT_EQ(level->Item(u"X")->Caption(), u"um");
}

TEST(BibMenuSource, MissingEntriesAreErrors) {
    auto level = WrapMenuTree(bib::MenuTree::Create());
    level->Add(u"um", u"Um");
    EXPECT_THROW(level->Item(0), Error);
    EXPECT_THROW(level->Item(2), Error);
    EXPECT_THROW(level->Item(u"um"), Error);  // names are exact
    EXPECT_THROW(WrapMenuTree(nullptr), Error);
}

}  // namespace
}  // namespace tq::model
