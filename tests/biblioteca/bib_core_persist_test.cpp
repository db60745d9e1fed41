// SaveTree / LoadTree and the Base64 text form: the layout, limits, memory, and every way a
// stream can be corrupt, truncated or hostile.
#include <gtest/gtest.h>
#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "tq/bib/persist.h"
#include "tq/error.h"

using namespace tq;
using namespace tq::bib;

// The heap in use, counted as the blocks glibc's malloc takes: the usable bytes and a size word.
namespace {
std::atomic<size_t> g_heap_now{0}, g_heap_peak{0};
}  // namespace

void* operator new(size_t n) {
    void* p = std::malloc(n);
    if (!p) throw std::bad_alloc();
    const size_t now = g_heap_now += malloc_usable_size(p) + 8;
    size_t peak = g_heap_peak.load();
    while (now > peak && !g_heap_peak.compare_exchange_weak(peak, now)) {
    }
    return p;
}
[[gnu::noinline]] void operator delete(void* p) noexcept {
    if (p) g_heap_now -= malloc_usable_size(p) + 8;
    std::free(p);
}
void operator delete(void* p, size_t) noexcept {
    operator delete(p);
}

namespace {

using Bytes = std::vector<uint8_t>;

// Streams written by hand from the format, independently of SaveTree.
struct Stream {
    explicit Stream(size_t entries, uint16_t version = 1, uint16_t min_reader = 1) {
        U16(version).U16(min_reader).U32(static_cast<uint32_t>(entries));
    }
    Stream& U8(uint8_t v, size_t n = 1) {
        bytes.insert(bytes.end(), n, v);
        return *this;
    }
    Stream& U16(uint16_t v) { return U8(static_cast<uint8_t>(v)).U8(static_cast<uint8_t>(v >> 8)); }
    Stream& U32(uint32_t v) {
        return U16(static_cast<uint16_t>(v)).U16(static_cast<uint16_t>(v >> 16));
    }
    Stream& Raw(const Bytes& b) {
        bytes.insert(bytes.end(), b.begin(), b.end());
        return *this;
    }
    Stream& Begin(size_t n = 1) { return U8(0x01, n); }
    Stream& End(size_t n = 1) { return U8(0x02, n); }
    Stream& Leaves(size_t n) {
        for (; n > 0; --n) Begin().End();
        return *this;
    }
    Stream& Str(uint8_t tag, std::u16string_view s) {
        U8(tag).U32(static_cast<uint32_t>(s.size()));
        for (char16_t c : s) U16(c);
        return *this;
    }
    Bytes Done() { return U8(0x03).bytes; }
    Bytes bytes = {'t', 'q', 'M', 'T'};
};

// The HRESULT `f` fails with (and its text), 0 when it does not fail.
int32_t ErrorOf(const std::function<void()>& f, String* message = nullptr) {
    try {
        f();
    } catch (const Error& e) {
        EXPECT_FALSE(e.message().empty());
        if (message) *message = e.message();
        return e.hresult();
    }
    return 0;
}
int32_t LoadError(const Bytes& data, String* message = nullptr) {
    return ErrorOf([&] { LoadTree(data); }, message);
}

TEST(Persist, SaveWritesEachFieldInItsPlaceAndLoadReadsItAndSkipsALaterVersionsFields) {
    const String odd = String(u"ç\0😀", 4) + u"\xD800";
    auto tree = MenuTree::Create();
    auto a = tree->Add(odd, u"n");
    a->SetTextoMenu(u"t");
    a->SetDescricao(u"d");
    a->SetTeclaExtenso(u"k");
    a->SetVisivel(false);
    auto b = a->SubMenu()->Add(u"B", u"");
    b->SetVisivelDefault(false);
    auto c = b->SubMenu()->Add(u"", u"");
    c->SetTextoMenu(u"");  // put, to empty
    c->SetMenuConsulta(true);
    tree->Add(u"D", u"")->SetTextoMenu(u"D");  // put, to Caption's value
    tree->At(2)->SetHabilitado(false);
    tree->Add(u"E", u"")->SetHabilitadoDefault(false);
    tree->At(3)->SetHndMenu(77);  // run-time state: never written
    Stream s(5);
    s.Begin().Str(0x60, odd).Str(0x61, u"t").Str(0x62, u"d").Str(0x63, u"n");
    s.Str(0x64, u"k").Raw({0x21, 0}).Begin().Str(0x60, u"B").Raw({0x22, 0});
    s.Begin().Str(0x61, u"").Raw({0x20, 1}).End(3);
    s.Begin().Str(0x60, u"D").Str(0x61, u"D").Raw({0x23, 0}).End();
    const Bytes saved = s.Begin().Str(0x60, u"E").Raw({0x24, 0}).End().Done();
    EXPECT_EQ(SaveTree(*tree), saved);
    auto loaded = LoadTree(saved);
    EXPECT_EQ(SaveTree(*loaded), saved);
    EXPECT_EQ(loaded->At(3)->Children(), nullptr) << "a leaf loads without a level of its own";
    loaded->At(3)->SetCaption(u"Mudou");
    EXPECT_EQ(loaded->At(3)->TextoMenu(), u"Mudou") << "a TextoMenu never put follows Caption";
    EXPECT_EQ(LoadTree(SaveTree(*MenuTree::Create()))->Count(), 0u);
    // A version 7 that version 1 can read: its fields of every kind, in and out of entries.
    s = Stream(2, 7, 1);
    s.Raw({0x3F, 1, 0x9F, 3, 0, 0, 0, 1, 2, 3});
    s.Begin().Str(0x60, u"A").Raw({0x5F, 0xFF, 0xFF, 0xFF, 0xFF}).Str(0x7F, u"x");
    s.Raw({0x3E, 1, 0x21, 0}).Begin().Raw({0x9F, 0, 0, 0, 0}).End();  // a child
    auto later = LoadTree(s.Str(0x63, u"n").End().Str(0x7F, u"z").Done());
    s = Stream(2).Begin().Str(0x60, u"A").Str(0x63, u"n").Raw({0x21, 0}).Begin().End(2);
    EXPECT_EQ(SaveTree(*later), s.Done());
}

TEST(Persist, CorruptTruncatedHostileOrTooLargeStreamsAreRefusedWithTheirHresult) {
    const struct {
        const char* what;
        Bytes data;
        int32_t hresult = hr::kInvalidData;
    } cases[] = {
        {"another magic", {'T', 'Q', 'M', 'T', 1, 0, 1, 0, 0, 0, 0, 0, 3}},
        {"for a newer reader", Stream(0, 2, 2).Done(), hr::kOldFormat},
        {"newer, but readable", Stream(0, 9, 1).Done(), 0},
        {"min reader 0", Stream(0, 1, 0).Done()},
        {"version 0", Stream(0, 0, 0).Done()},
        {"end at the root", Stream(0).End().Done()},
        {"open entry at the end", Stream(1).Begin().Str(0x7F, u"pad").Done()},
        {"more entries than declared", Stream(1).Leaves(2).Done()},
        {"fewer entries than declared", Stream(2).Begin().Str(0x7F, u"padding").End().Done()},
        {"unknown structure tag", Stream(0).U8(0x1F).Done()},
        {"reserved kind 5", Stream(0).U8(0xA0).U32(0).Done()},
        {"field twice", Stream(1).Begin().Str(0x60, u"a").Str(0x60, u"b").End().Done()},
        {"flag twice", Stream(1).Begin().Raw({0x21, 0, 0x21, 0}).End().Done()},
        {"boolean 2", Stream(1).Begin().Raw({0x23, 2}).End().Done()},
        {"entry field outside an entry", Stream(0).Str(0x63, u"n").Done()},
        {"bytes after the end", Stream(0).Raw({3, 0}).bytes},
        {"count 2^32-1", Stream(0xFFFFFFFF).Done()},
        {"count over the limit", Stream(kMaxEntries + 1).Done()},
        {"more entries than bytes", Stream(1000).Leaves(1).Done()},
        {"string longer than the data", Stream(1).Begin().U8(0x60).U32(5).U16('a').End().Done()},
        {"string of 2^31 units", Stream(1).Begin().U8(0x60).U32(0x80000000u).End().Done()},
        {"bytes longer than the data", Stream(1).Begin().U8(0x9F).U32(5).U8(1).End().Done()},
        {"deeper", Stream(kMaxDepth + 1).Begin(kMaxDepth + 1).End(kMaxDepth + 1).Done()},
        {"a longer level", Stream(kMaxLevelEntries + 1).Leaves(kMaxLevelEntries + 1).Done()},
    };
    for (const auto& c : cases) EXPECT_EQ(LoadError(c.data), c.hresult) << c.what;
    const Bytes saved = Stream(3).Begin().Str(0x61, u"t").Raw({0x21, 0}).Begin(2).End(3).Done();
    for (size_t n = 0; n < saved.size(); ++n)
        EXPECT_EQ(LoadError(Bytes(saved.begin(), saved.begin() + n)), hr::kInvalidData) << n;
    for (size_t i = 0; i < 12; ++i) {
        Bytes bad = saved;
        bad[i] ^= 0x40;
        EXPECT_EQ(LoadError(bad) != 0, i != 4 && i != 5) << "the writer's version is informative";
    }
    String cut, later, other;
    LoadError({'t', 'q'}, &cut), LoadError({saved.begin(), saved.begin() + 8}, &later);
    LoadError({'<', 'x'}, &other);
    EXPECT_TRUE(cut == later && cut != other) << "a save cut in its magic is not mere other data";
}

TEST(Persist, SaveWritesWhatLoadTakesAtTheLimitsAndRefusesOneEntryMore) {
    const Bytes deep = Stream(kMaxDepth).Begin(kMaxDepth).End(kMaxDepth).Done();
    const Bytes wide = Stream(kMaxLevelEntries).Leaves(kMaxLevelEntries).Done();
    const Bytes inner = Stream(kMaxLevelEntries + 1).Begin().Leaves(kMaxLevelEntries).End().Done();
    for (const Bytes& data : {deep, wide, inner}) EXPECT_EQ(SaveTree(*LoadTree(data)), data);
    auto chain = LoadTree(deep), bottom = chain;
    while (bottom->Count()) bottom = bottom->At(1)->SubMenu();
    bottom->Add(u"", u"");
    String message;
    EXPECT_EQ(ErrorOf([&] { SaveTree(*chain); }, &message), hr::kInvalidData);
    EXPECT_NE(ToUtf8(message).find(std::to_string(kMaxDepth)), std::string::npos);
    auto level = LoadTree(wide);
    level->Add(u"", u"");
    EXPECT_EQ(ErrorOf([&] { SaveTree(*level); }), hr::kInvalidData);
    level = LoadTree(inner);
    level->At(1)->SubMenu()->Add(u"", u"");
    EXPECT_EQ(ErrorOf([&] { SaveTree(*level); }), hr::kInvalidData);
}

TEST(Persist, ALoadTakesAtMostTwentyTimesItsInputPlusAConstant) {
    auto peak = [](const Bytes& data) {  // beyond what was in use before
        g_heap_peak = g_heap_now.load();
        const size_t before = g_heap_peak;
        LoadError(data);
        return g_heap_peak - before;
    };
    // The cheapest entries (two bytes each), in levels at the per-level limit.
    Stream flat(kMaxEntries);
    for (size_t n = 0; n < kMaxEntries; n += kMaxLevelEntries)
        flat.Begin().Leaves(std::min(kMaxLevelEntries, kMaxEntries - n) - 1).End();
    const Bytes data = flat.Done();
    EXPECT_LE(peak(data), kLoadMemoryFactor * data.size() + kLoadMemoryBase);
    String message;
    LoadError(data, &message);  // the memory budget may refuse it; the count limit may not
    EXPECT_EQ(ToUtf8(message).find(std::to_string(kMaxEntries)), std::string::npos);
    // A string is charged at least the heap it takes, and nothing when it fits in place.
    for (size_t n = 0; n < 40; ++n) {
        const size_t before = g_heap_now;
        const String s(n, u'x');
        const size_t taken = g_heap_now - before;
        EXPECT_GE(LoadCostOfString(n), taken) << n;
        EXPECT_TRUE(taken > 0 || LoadCostOfString(n) == 0) << n;
    }
    // A string that claims 16M characters in an 18-byte stream allocates nothing for them.
    EXPECT_LT(peak(Stream(1).Begin().U8(0x60).U32(1u << 24).bytes), 4096u);
}

// At the edge of the budget, found by loading chains of hidden entries, Save keeps Load's account.
TEST(Persist, SaveRefusesExactlyWhatLoadRefusesAtTheEdgeOfTheBudget) {
    auto stream = [](size_t n, const Bytes& extra = {}) {
        Stream s(n);
        for (size_t i = 0; i < n; i += kMaxDepth) {
            const size_t depth = std::min(kMaxDepth, n - i);
            for (size_t d = 0; d < depth; ++d) s.Begin().Raw({0x21, 0}).Raw(extra);  // hidden
            s.End(depth);
        }
        return s.Done();
    };
    size_t loads = 1, refused = kMaxEntries;
    while (refused - loads > 1) {
        const size_t n = (loads + refused) / 2;
        const int32_t error = LoadError(stream(n));
        ASSERT_TRUE(error == 0 || error == hr::kInvalidData) << n;
        (error ? refused : loads) = n;
    }
    ASSERT_LT(refused, kMaxEntries) << "the budget ends before the count limit";
    for (const Bytes& extra :
         {Bytes{0x20, 0, 0x22, 1, 0x23, 1, 0x24, 1}, Bytes{0x9F, 1, 0, 0, 0, 7}})
        EXPECT_EQ(LoadError(stream(refused, extra)), hr::kInvalidData)
            << "defaults and skipped fields pay nothing";
    auto tree = LoadTree(stream(loads));
    EXPECT_EQ(SaveTree(*tree), stream(loads));
    auto level = loads % kMaxDepth ? tree->At(tree->Count())->SubMenu() : tree;
    while (level != tree && level->Count()) level = level->At(1)->SubMenu();
    level->Add(u"", u"")->SetVisivel(false);  // where stream(refused) has its last entry
    EXPECT_EQ(ErrorOf([&] { SaveTree(*tree); }), hr::kInvalidData);
}

TEST(Base64, RoundTripsEveryByteAndRefusesAnythingButCanonicalText) {
    const std::pair<const char*, const char16_t*> vectors[] = {
        {"", u""}, {"f", u"Zg=="}, {"fo", u"Zm8="}, {"foobar", u"Zm9vYmFy"}, {"\xFB\xFF", u"+/8="}};
    for (auto [plain, encoded] : vectors) {
        const Bytes bytes(plain, plain + std::char_traits<char>::length(plain));
        EXPECT_EQ(EncodeBase64(bytes), encoded);
        EXPECT_EQ(DecodeBase64(encoded), bytes);
    }
    Bytes all(256);
    for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<uint8_t>(255 - i);
    for (size_t n = 0; n <= all.size(); ++n) {
        const Bytes part(all.begin(), all.begin() + static_cast<ptrdiff_t>(n));
        ASSERT_EQ(DecodeBase64(EncodeBase64(part)), part) << n;
    }
    for (const char16_t* text :
         {u"Zg=", u"Z", u"Zm9vY", u"Zm9*", u"Zm9v\n", u"Zm 9v", u"Zm9-", u"Zm9_", u"Zg==Zg==",
          u"Z=g=", u"====", u"A===", u"=Zm9", u"Zh==", u"Zm9=", u"Zm9\u00e9", u"Zm9\u0176"})
        EXPECT_EQ(ErrorOf([&] { DecodeBase64(text); }), hr::kInvalidData) << ToUtf8(text);
}

}  // namespace
