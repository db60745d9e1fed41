// The command identifiers of the menu bar: inside 16 bits, wrapping past 65535, never two alike
// on one bar.
#include <gtest/gtest.h>

#include <set>

#include "command_ids.h"
#include "tq/error.h"

namespace tq::ctl {
namespace {

TEST(CommandIds, RunFrom1000AndGoOnAcrossBars) {
    CommandIds ids;
    EXPECT_EQ(ids.Proximo(), 1000);
    EXPECT_EQ(ids.Proximo(), 1001);
    ids.NovaBarra();
    EXPECT_EQ(ids.Proximo(), 1002);
    EXPECT_EQ(ids.Ultimo(), 1002);
}

TEST(CommandIds, WrapFrom65535To1000AndOnlyTheCurrentBarsAreInUse) {
    struct Case {
        int32_t ultimo;
        std::vector<int32_t> next;
    };
    const Case cases[] = {
        {65533, {65534, 65535, 1000, 1001}},
        {65535, {1000, 1001}},
        {70000, {1000}},  // outside the range: start over
        {-5, {1000}},
    };
    for (const Case& c : cases) {
        CommandIds ids(c.ultimo);
        std::vector<int32_t> got;
        for (size_t i = 0; i < c.next.size(); ++i) got.push_back(ids.Proximo());
        EXPECT_EQ(got, c.next) << "after " << c.ultimo;
        for (int32_t id : c.next) EXPECT_TRUE(ids.EmUso(id)) << id;
        EXPECT_FALSE(ids.EmUso(999));
        EXPECT_FALSE(ids.EmUso(int64_t{65536} + c.next.front()));  // same low word, not ours
        ids.NovaBarra();
        for (int32_t id : c.next) EXPECT_FALSE(ids.EmUso(id)) << id;
    }
}

TEST(CommandIds, OneBarTakesEveryIdentifierOnceThenOverflows) {
    CommandIds ids(40000);
    std::set<int32_t> seen;
    for (size_t i = 0; i < CommandIds::kCount; ++i) {
        const int32_t id = ids.Proximo();
        ASSERT_GE(id, 1000);
        ASSERT_LE(id, 65535);
        ASSERT_TRUE(seen.insert(id).second) << "identifier " << id << " given twice";
    }
    try {
        ids.Proximo();
        FAIL() << "no overflow";
    } catch (const tq::Error& e) {
        EXPECT_EQ(e.hresult(), tq::hr::kOverflow);
        EXPECT_NE(e.message().find(u"Estouro"), tq::String::npos);
    }
    // The next bar has the whole range again, going on from where the last one stopped.
    ids.NovaBarra();
    EXPECT_EQ(ids.Proximo(), 40001);
}

}  // namespace
}  // namespace tq::ctl
