// SaveTree / LoadTree and the Base64 text form: round trips, the layout, limits, memory, and
// every way a stream can be corrupt, truncated or hostile.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "tq/bib/persist.h"
#include "tq/error.h"

using namespace tq;
using namespace tq::bib;

// The heap in use, counted at every operator new as the block glibc's malloc really takes for it
// (16-byte granules, 8 bytes of header, 32 bytes at least); the size is kept in front of it.
namespace {
std::atomic<size_t> g_heap_now{0}, g_heap_peak{0};
}  // namespace

void* operator new(size_t n) {
    void* raw = std::malloc(n + 16);
    if (!raw) throw std::bad_alloc();
    const size_t block = std::max<size_t>(32, (n + 8 + 15) & ~size_t{15});
    *static_cast<size_t*>(raw) = block;
    const size_t now = g_heap_now += block;
    size_t peak = g_heap_peak.load();
    while (now > peak && !g_heap_peak.compare_exchange_weak(peak, now)) {
    }
    return static_cast<char*>(raw) + 16;
}
void operator delete(void* p) noexcept {
    if (!p) return;
    g_heap_now -= *reinterpret_cast<size_t*>(static_cast<char*>(p) - 16);
    std::free(static_cast<char*>(p) - 16);
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
    Stream& Begin(size_t n = 1) { return U8(0x01, n); }
    Stream& End(size_t n = 1) { return U8(0x02, n); }
    Stream& Str(uint8_t tag, std::u16string_view s) {
        U8(tag).U32(static_cast<uint32_t>(s.size()));
        for (char16_t c : s) U16(c);
        return *this;
    }
    Bytes Done() { return U8(0x03).bytes; }
    Bytes bytes = {'t', 'q', 'M', 'T'};
};

String Num(size_t i) {
    return FromUtf8(std::to_string(i));
}

int32_t LoadError(const Bytes& data, String* message = nullptr) {
    try {
        LoadTree(data);
    } catch (const Error& e) {
        EXPECT_FALSE(e.message().empty());
        if (message) *message = e.message();
        return e.hresult();
    }
    return 0;
}

TEST(Persist, EveryPropertyAtEveryDepthRoundTripsToTheSameCanonicalBytes) {
    // Four levels where every property takes both of its values somewhere, with awkward strings.
    auto tree = MenuTree::Create();
    std::vector<std::shared_ptr<MenuItem>> all{nullptr};
    for (size_t i = 1; i < 60; ++i) {
        auto level = i <= 3 ? tree : all[(i - 1) / 3]->SubMenu();
        auto e = level->Add(i % 5 ? u"Sub ação " + Num(i) : u"-", i % 6 ? u"mnu" : u"");
        if (i % 3 == 0) e->SetTextoMenu(i % 7 ? e->Caption() + u"\tF" + Num(i) : u"");
        if (i % 2) e->SetDescricao(u"Descrição " + Num(i) + String(i * 7, u'x'));
        if (i % 4 == 1) e->SetTeclaExtenso(String(u"nul\0in", 6) + u"\U0001F600\xD800");
        e->SetMenuConsulta(i & 1);
        e->SetVisivel(!(i & 2));
        e->SetVisivelDefault(!(i & 4));
        e->SetHabilitado(!(i & 8));
        e->SetHabilitadoDefault(!(i & 16));
        all.push_back(e);
    }
    const Bytes saved = SaveTree(*tree);
    tree->At(2)->SetHndMenu(77);  // run-time state: never written
    EXPECT_EQ(SaveTree(*tree), saved);
    auto loaded = LoadTree(saved);
    EXPECT_EQ(SaveTree(*loaded), saved);
    auto fields = [](const MenuItem& e) {
        return std::tuple(e.Caption(), e.TextoMenu(), e.TextoMenuWasSet(), e.Descricao(), e.Nome(),
                          e.TeclaExtenso(), e.MenuConsulta(), e.Visivel(), e.VisivelDefault(),
                          e.Habilitado(), e.HabilitadoDefault(), e.Children() != nullptr);
    };
    std::vector<std::pair<const MenuTree*, const MenuTree*>> todo{{tree.get(), loaded.get()}};
    for (size_t k = 0; k < todo.size(); ++k) {
        auto [x, y] = todo[k];
        ASSERT_EQ(x->Count(), y->Count());
        for (size_t i = 1; i <= x->Count(); ++i) {
            EXPECT_TRUE(fields(*x->At(i)) == fields(*y->At(i))) << k << " " << i;
            if (x->At(i)->Children()) todo.emplace_back(x->At(i)->Children(), y->At(i)->Children());
        }
    }
    EXPECT_EQ(todo.size(), 20u);
    // The loaded tree is indexed and linked like a built one, and TextoMenu never put follows.
    auto deep = loaded->At(2)->SubMenu()->At(3)->SubMenu()->At(1);
    deep->SetHndMenu(4242);
    EXPECT_EQ(loaded->ItemPorHnd(77), nullptr);
    EXPECT_EQ(loaded->ItemPorHnd(4242), deep);
    EXPECT_EQ(deep->Parent()->ItemPorHnd(4242), deep);
    EXPECT_EQ(loaded->Find(u"mnu"), loaded->At(1));
    loaded->At(1)->SetCaption(u"Mudou");
    EXPECT_EQ(loaded->At(1)->TextoMenu(), u"Mudou");
    EXPECT_EQ(LoadTree(SaveTree(*MenuTree::Create()))->Count(), 0u);
}

TEST(Persist, SaveWritesTheLayoutAndLoadSkipsALaterVersionsFields) {
    auto tree = MenuTree::Create();
    auto a = tree->Add(u"A", u"n");
    a->SetVisivel(false);
    a->SubMenu()->Add(u"", u"");
    EXPECT_EQ(
        SaveTree(*tree),
        Stream(2).Begin().Str(0x60, u"A").Str(0x63, u"n").U8(0x21).U8(0).Begin().End(2).Done());
    // Written by a version 7 that version 1 can read: its unknown fields of every kind, inside
    // an entry (before and after its children) and outside any entry, are skipped.
    auto later = LoadTree(Stream(2, 7, 1)
                              .U8(0x3F)
                              .U8(1)
                              .U8(0x9F)
                              .U32(3)
                              .U8(1)
                              .U8(2)
                              .U8(3)
                              .Begin()
                              .Str(0x60, u"A")
                              .U8(0x5F)
                              .U32(0xFFFFFFFF)
                              .Str(0x7F, u"x")
                              .U8(0x3E)
                              .U8(1)
                              .U8(0x21)
                              .U8(0)
                              .Begin()
                              .U8(0x9F)
                              .U32(0)
                              .End()
                              .Str(0x63, u"n")
                              .End()
                              .Str(0x7F, u"z")
                              .Done());
    ASSERT_EQ(later->Count(), 1u);
    EXPECT_EQ(later->At(1)->Caption() + later->At(1)->Nome(), u"An");
    EXPECT_FALSE(later->At(1)->Visivel());
    EXPECT_EQ(later->At(1)->SubMenu()->Count(), 1u);
}

TEST(Persist, EveryTruncationAndEveryDamagedHeaderFailsCleanly) {
    auto tree = MenuTree::Create();
    auto a = tree->Add(u"Arquivo", u"mnuArquivo");
    a->SetTextoMenu(u"t");
    a->SubMenu()->Add(u"Novo", u"n")->SubMenu()->Add(u"", u"")->SetVisivel(false);
    tree->Add(u"Editar", u"e");
    const Bytes saved = SaveTree(*tree);
    for (size_t n = 0; n < saved.size(); ++n)
        EXPECT_EQ(LoadError(Bytes(saved.begin(), saved.begin() + n)), hr::kInvalidData) << n;
    for (size_t i = 0; i < 12; ++i) {
        Bytes bad = saved;
        bad[i] ^= 0x40;
        EXPECT_EQ(LoadError(bad) != 0, i != 4 && i != 5) << "the writer's version is informative";
    }
    // A save cut inside its magic is told apart from data that is not a menu at all.
    String cut, cut_later, other;
    LoadError({'t', 'q'}, &cut);
    LoadError(Bytes(saved.begin(), saved.begin() + 8), &cut_later);
    LoadError({'<', 'x'}, &other);
    EXPECT_EQ(cut, cut_later);
    EXPECT_NE(cut, other);
}

TEST(Persist, CorruptOrHostileStreamsAreRefusedWithTheirHresult) {
    const struct {
        const char* what;
        Bytes data;
        int32_t hresult = hr::kInvalidData;
    } cases[] = {
        {"another magic", {'T', 'Q', 'M', 'T', 1, 0, 1, 0, 0, 0, 0, 0, 3}},
        {"for a newer reader", Stream(0, 2, 2).Done(), hr::kOldFormat},
        {"min reader 0", Stream(0, 1, 0).Done()},
        {"version 0", Stream(0, 0, 0).Done()},
        {"end at the root", Stream(0).End().Done()},
        {"open entry at the end", Stream(1).Begin().Str(0x7F, u"pad").Done()},
        {"more entries than declared", Stream(1).Begin().End().Begin().End().Done()},
        {"fewer entries than declared", Stream(2).Begin().Str(0x7F, u"padding").End().Done()},
        {"unknown structure tag", Stream(0).U8(0x1F).Done()},
        {"structure tag zero", Stream(0).U8(0x00).Done()},
        {"reserved kind 5", Stream(0).U8(0xA0).U32(0).Done()},
        {"reserved kind 7", Stream(0).U8(0xFF).Done()},
        {"field twice", Stream(1).Begin().Str(0x60, u"a").Str(0x60, u"b").End().Done()},
        {"flag twice", Stream(1).Begin().U8(0x21).U8(0).U8(0x21).U8(0).End().Done()},
        {"boolean 2", Stream(1).Begin().U8(0x23).U8(2).End().Done()},
        {"entry field outside an entry", Stream(0).Str(0x63, u"n").Done()},
        {"entry flag outside an entry", Stream(0).U8(0x21).U8(1).Done()},
        {"bytes after the end", Stream(0).U8(0x03).U8(0).bytes},
        {"count 2^32-1", Stream(0xFFFFFFFF).Done()},
        {"count over the limit", Stream(kMaxEntries + 1).Done()},
        {"more entries than bytes", Stream(1000).Begin().End().Done()},
        {"string longer than the data", Stream(1).Begin().U8(0x60).U32(5).U16('a').End().Done()},
        {"string of 2^31 units", Stream(1).Begin().U8(0x60).U32(0x80000000u).End().Done()},
        {"unknown string too long", Stream(1).Begin().U8(0x7F).U32(0xFFFFFFFF).End().Done()},
        {"bytes longer than the data", Stream(1).Begin().U8(0x9F).U32(5).U8(1).End().Done()},
        {"deeper than the limit",
         Stream(kMaxDepth + 1).Begin(kMaxDepth + 1).End(kMaxDepth + 1).Done()},
        {"newer, but readable", Stream(0, 9, 1).Done(), 0},
    };
    for (const auto& c : cases) EXPECT_EQ(LoadError(c.data), c.hresult) << c.what;
}

TEST(Persist, LimitsOfDepthAndLevelSizeHoldOnSaveAndLoadAlike) {
    auto chain = [](size_t depth) {
        auto root = MenuTree::Create();
        for (auto level = root; depth-- > 0;) level = level->Add(u"c", u"c")->SubMenu();
        return root;
    };
    EXPECT_EQ(LoadTree(Stream(kMaxDepth).Begin(kMaxDepth).End(kMaxDepth).Done())->TotalCount(),
              kMaxDepth);
    EXPECT_EQ(LoadTree(SaveTree(*chain(kMaxDepth)))->TotalCount(), kMaxDepth);
    try {
        SaveTree(*chain(kMaxDepth + 1));
        ADD_FAILURE() << "saved a tree deeper than the limit";
    } catch (const Error& e) {
        EXPECT_EQ(e.hresult(), hr::kInvalidData);
        EXPECT_NE(ToUtf8(e.message()).find(std::to_string(kMaxDepth)), std::string::npos);
    }
    for (size_t n : {kMaxLevelEntries, kMaxLevelEntries + 1}) {
        auto parent = MenuTree::Create();
        auto level = parent->Add(u"", u"")->SubMenu();
        Stream s(n + 1);
        s.Begin();
        for (size_t i = 0; i < n; ++i) level->Add(u"", u""), s.Begin().End();
        const bool fits = n == kMaxLevelEntries;
        EXPECT_EQ(LoadError(s.End().Done()), fits ? 0 : hr::kInvalidData) << n;
        if (fits)
            EXPECT_EQ(LoadTree(SaveTree(*parent))->TotalCount(), n + 1);
        else
            EXPECT_THROW(SaveTree(*parent), Error) << "Save never writes what Load refuses";
    }
}

// The heap a load takes at its peak, success or not, beyond what was in use before it.
size_t LoadPeak(const Bytes& data) {
    const size_t before = g_heap_now;
    g_heap_peak = before;
    LoadError(data);
    return g_heap_peak - before;
}

TEST(Persist, ALoadTakesAtMostTwentyTimesItsInputPlusAConstant) {
    // The cheapest entries the format has (two bytes each), in levels at the per-level limit.
    Stream flat(kMaxEntries);
    for (size_t n = 0; n < kMaxEntries; n += kMaxLevelEntries) {
        flat.Begin();
        for (size_t i = std::min(kMaxLevelEntries, kMaxEntries - n); i > 1; --i) flat.Begin().End();
        flat.End();
    }
    const Bytes data = flat.Done();
    EXPECT_LE(LoadPeak(data), kLoadMemoryFactor * data.size() + kLoadMemoryBase);
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
    EXPECT_LT(LoadPeak(Stream(1).Begin().U8(0x60).U32(1u << 24).bytes), 4096u);
    // Skipped fields pay for nothing: empty entries padded out by a later version's field cost
    // what they would cost in a save of their own.
    Stream padded(2 * (1 + kMaxLevelEntries));
    padded.U8(0x9F).U32(8u << 20).U8(0, 8u << 20);
    for (int part = 0; part < 2; ++part) {
        padded.Begin();
        for (size_t i = 0; i < kMaxLevelEntries; ++i) padded.Begin().End();
        padded.End();
    }
    EXPECT_EQ(LoadError(padded.Done()), hr::kInvalidData);
}

// Save keeps Load's account: at the edge of the budget, found by loading chains of hidden
// entries, the largest tree saves to exactly the stream that loaded and one entry more is refused.
TEST(Persist, SaveRefusesExactlyWhatLoadRefusesAtTheEdgeOfTheBudget) {
    auto stream = [](size_t n) {
        Stream s(n);
        for (size_t i = 0; i < n; i += kMaxDepth) {
            const size_t depth = std::min(kMaxDepth, n - i);
            for (size_t d = 0; d < depth; ++d) s.Begin().U8(0x21).U8(0);  // Visivel false
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
    for (size_t n : {loads, refused}) {
        auto root = MenuTree::Create();
        for (size_t i = 0; i < n; i += kMaxDepth) {
            auto level = root;
            for (size_t d = 0; d < std::min(kMaxDepth, n - i); ++d) {
                auto e = level->Add(u"", u"");
                e->SetVisivel(false);
                level = e->SubMenu();
            }
        }
        if (n == loads)
            EXPECT_EQ(SaveTree(*root), stream(n));
        else
            EXPECT_THROW(SaveTree(*root), Error);
    }
}

TEST(Base64, RoundTripsEveryByteAndRefusesAnythingButCanonicalText) {
    const std::pair<const char*, const char16_t*> vectors[] = {
        {"", u""},
        {"f", u"Zg=="},
        {"fo", u"Zm8="},
        {"foo", u"Zm9v"},
        {"foob", u"Zm9vYg=="},
        {"fooba", u"Zm9vYmE="},
        {"foobar", u"Zm9vYmFy"},
        {"\xFB\xFF", u"+/8="},
    };
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
          u"Z=g=", u"====", u"A===", u"=Zm9", u"Zh==", u"Zm9=", u"Zm9\u00e9", u"Zm9\u0176"}) {
        try {
            DecodeBase64(text);
            ADD_FAILURE() << "decoded " << ToUtf8(text);
        } catch (const Error& e) {
            EXPECT_EQ(e.hresult(), hr::kInvalidData);
        }
    }
}

}  // namespace
