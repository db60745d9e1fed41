// The menu bar's command identifiers: inside 1000..65535, wrapping, never two alike on one bar.
#include <gtest/gtest.h>

#include <set>

#include "command_ids.h"
#include "tq/error.h"

namespace tq::ctl {
namespace {

TEST(CommandIds, RunInOrderWrapFrom65535To1000AndOnlyTheCurrentBarsAreInUse) {
    const struct {
        int32_t ultimo;
        std::vector<int32_t> next;
    } cases[] = {
        {0, {1000, 1001}}, {65533, {65534, 65535, 1000, 1001}},
        {65535, {1000}},   {70000, {1000}},  // outside the range: start over
        {-5, {1000}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ultimo);
        CommandIds ids(c.ultimo);
        for (int32_t id : c.next) EXPECT_TRUE(ids.Proximo() == id && ids.EmUso(id)) << id;
        EXPECT_FALSE(ids.EmUso(999) || ids.EmUso(int64_t{65536} + c.next.front()));
        ids.NovaBarra();
        for (int32_t id : c.next) EXPECT_FALSE(ids.EmUso(id)) << id;
        EXPECT_EQ(ids.Proximo(), c.next.back() == 65535 ? 1000 : c.next.back() + 1);
    }
}

TEST(CommandIds, OneBarTakesEveryIdentifierOnceThenOverflows) {
    CommandIds ids(40000);
    std::set<int32_t> seen;
    for (size_t i = 0; i < CommandIds::kCount; ++i) {
        const int32_t id = ids.Proximo();
        ASSERT_TRUE(id >= 1000 && id <= 65535 && seen.insert(id).second) << id;
    }
    try {
        ids.Proximo();
        ADD_FAILURE() << "no overflow";
    } catch (const tq::Error& e) {
        EXPECT_EQ(e.hresult(), tq::hr::kOverflow);
        EXPECT_NE(e.message().find(u"Estouro"), tq::String::npos);
    }
    ids.NovaBarra();
    EXPECT_EQ(ids.Proximo(), 40001) << "the next bar has the whole range, going on from the last";
}

}  // namespace
}  // namespace tq::ctl
