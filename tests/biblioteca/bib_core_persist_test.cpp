// SaveTree / LoadTree and the Base64 text form: round trips, the documented layout, and every way
// a stream can be corrupt, truncated, hostile or too deep.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tq/bib/persist.h"
#include "tq/error.h"

using namespace tq;
using namespace tq::bib;

// The heap this test program uses, counted at every operator new as the block glibc's malloc
// really takes for it (16-byte granules, 8 bytes of header, 32 bytes at least).
namespace {
std::atomic<size_t> g_heap_now{0}, g_heap_peak{0};
constexpr size_t kHeader = 16;  // where each block keeps its counted size
}  // namespace

void* operator new(size_t n) {
    void* raw = std::malloc(n + kHeader);
    if (!raw) throw std::bad_alloc();
    const size_t block = std::max<size_t>(32, (n + 8 + 15) & ~size_t{15});
    *static_cast<size_t*>(raw) = block;
    const size_t now = g_heap_now += block;
    size_t peak = g_heap_peak.load();
    while (now > peak && !g_heap_peak.compare_exchange_weak(peak, now)) {
    }
    return static_cast<char*>(raw) + kHeader;
}

void operator delete(void* p) noexcept {
    if (!p) return;
    void* raw = static_cast<char*>(p) - kHeader;
    g_heap_now -= *static_cast<size_t*>(raw);
    std::free(raw);
}

void operator delete(void* p, size_t) noexcept {
    operator delete(p);
}

namespace {

using Bytes = std::vector<uint8_t>;

// Streams written by hand from the documented format, independently of SaveTree.
class Stream {
  public:
    explicit Stream(uint32_t entries, uint16_t version = 1, uint16_t min_reader = 1) {
        bytes_ = {'t', 'q', 'M', 'T'};
        U16(version);
        U16(min_reader);
        U32(entries);
    }
    Stream& U8(uint8_t v) {
        bytes_.push_back(v);
        return *this;
    }
    Stream& U16(uint16_t v) { return U8(static_cast<uint8_t>(v)).U8(static_cast<uint8_t>(v >> 8)); }
    Stream& U32(uint32_t v) {
        return U16(static_cast<uint16_t>(v)).U16(static_cast<uint16_t>(v >> 16));
    }
    Stream& Begin() { return U8(0x01); }
    Stream& End() { return U8(0x02); }
    Stream& Done() { return U8(0x03); }
    Stream& Str(uint8_t tag, std::u16string_view s) {
        U8(tag).U32(static_cast<uint32_t>(s.size()));
        for (char16_t c : s) U16(c);
        return *this;
    }
    Stream& Bool(uint8_t tag, uint8_t v) { return U8(tag).U8(v); }
    const Bytes& bytes() const { return bytes_; }
    Stream& Zeros(size_t n) {
        bytes_.resize(bytes_.size() + n);
        return *this;
    }

  private:
    Bytes bytes_;
};

String Num(size_t i) {
    return FromUtf8(std::to_string(i));
}

// Four levels where every property takes both of its values somewhere, with awkward strings.
std::shared_ptr<MenuTree> RichTree() {
    auto root = MenuTree::Create();
    size_t i = 0;
    auto fill = [&i](MenuItem& e) {
        ++i;
        if (i % 3 == 0) e.SetTextoMenu(e.Caption() + u"\tF" + Num(i));
        if (i % 7 == 0) e.SetTextoMenu(u"");
        if (i % 2) e.SetDescricao(u"Descrição número " + Num(i) + String(i * 7, u'x'));
        if (i % 4 == 1) e.SetTeclaExtenso(u"Ctrl+Shift+F" + Num(i % 12));
        e.SetMenuConsulta(i & 1);
        e.SetVisivel(!(i & 2));
        e.SetVisivelDefault(!(i & 4));
        e.SetHabilitado(!(i & 8));
        e.SetHabilitadoDefault(!(i & 16));
    };
    for (size_t a = 0; a < 4; ++a) {
        auto ea = root->Add(u"&Menu " + Num(a), u"mnu" + Num(a));
        fill(*ea);
        for (size_t b = 0; b < 3; ++b) {
            auto eb = ea->SubMenu()->Add(u"Sub ação " + Num(b), u"mnu" + Num(a) + u"_" + Num(b));
            fill(*eb);
            for (size_t c = 0; c < 3; ++c) {
                auto ec = eb->SubMenu()->Add(u"-", u"sep");  // duplicate names are kept
                fill(*ec);
                if (c == 1) {
                    auto ed = ec->SubMenu()->Add(String(u"nul\0in", 6) + u"\U0001F600\xD800", u"");
                    fill(*ed);
                }
            }
        }
    }
    return root;
}

// Small enough to damage at every byte, with every field kind at three depths.
std::shared_ptr<MenuTree> SmallTree() {
    auto tree = MenuTree::Create();
    auto a = tree->Add(u"Arquivo", u"mnuArquivo");
    a->SetDescricao(u"d");
    a->SetTextoMenu(u"t");
    a->SetHabilitado(false);
    auto novo = a->SubMenu()->Add(u"Novo", u"mnuNovo");
    novo->SetTeclaExtenso(u"F2");
    novo->SetMenuConsulta(true);
    auto deep = novo->SubMenu()->Add(u"Modelo", u"mnuModelo");
    deep->SetTextoMenu(u"");
    deep->SetVisivel(false);
    deep->SetVisivelDefault(false);
    deep->SetHabilitadoDefault(false);
    tree->Add(u"Editar", u"mnuEditar");
    return tree;
}

void ExpectSameTree(const MenuTree& a, const MenuTree& b) {
    std::vector<std::pair<const MenuTree*, const MenuTree*>> todo{{&a, &b}};
    while (!todo.empty()) {
        auto [x, y] = todo.back();
        todo.pop_back();
        ASSERT_EQ(x->Count(), y->Count());
        for (size_t i = 1; i <= x->Count(); ++i) {
            const MenuItem& p = *x->At(i);
            const MenuItem& q = *y->At(i);
            SCOPED_TRACE(ToUtf8(p.Nome()));
            EXPECT_EQ(p.Caption(), q.Caption());
            EXPECT_EQ(p.TextoMenu(), q.TextoMenu());
            EXPECT_EQ(p.TextoMenuWasSet(), q.TextoMenuWasSet());
            EXPECT_EQ(p.Descricao(), q.Descricao());
            EXPECT_EQ(p.Nome(), q.Nome());
            EXPECT_EQ(p.TeclaExtenso(), q.TeclaExtenso());
            EXPECT_EQ(p.MenuConsulta(), q.MenuConsulta());
            EXPECT_EQ(p.Visivel(), q.Visivel());
            EXPECT_EQ(p.VisivelDefault(), q.VisivelDefault());
            EXPECT_EQ(p.Habilitado(), q.Habilitado());
            EXPECT_EQ(p.HabilitadoDefault(), q.HabilitadoDefault());
            todo.emplace_back(p.SubMenu().get(), q.SubMenu().get());
        }
    }
}

void ExpectLoadFails(const Bytes& data, int32_t hresult = hr::kInvalidData) {
    try {
        LoadTree(data);
        ADD_FAILURE() << "loaded a stream of " << data.size() << " bytes";
    } catch (const Error& e) {
        EXPECT_EQ(e.hresult(), hresult) << ToUtf8(e.message());
        EXPECT_FALSE(e.message().empty());
    }
}

std::shared_ptr<MenuTree> Chain(size_t depth) {
    auto root = MenuTree::Create();
    auto level = root;
    for (size_t i = 0; i < depth; ++i) level = level->Add(u"c", u"c")->SubMenu();
    return root;
}

size_t ChainDepth(const MenuTree& root) {
    size_t depth = 0;
    for (const MenuTree* l = &root; l->Count() == 1; l = l->At(1)->SubMenu().get()) ++depth;
    return depth;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Round trips

TEST(PersistRoundTrip, EveryPropertyAtEveryDepth) {
    auto tree = RichTree();
    const Bytes saved = SaveTree(*tree);
    auto loaded = LoadTree(saved);
    EXPECT_EQ(loaded->TotalCount(), tree->TotalCount());
    ExpectSameTree(*tree, *loaded);
    EXPECT_EQ(SaveTree(*loaded), saved);  // the format is canonical
}

TEST(PersistRoundTrip, EmptyTreeAndDefaultEntries) {
    auto empty = LoadTree(SaveTree(*MenuTree::Create()));
    EXPECT_EQ(empty->Count(), 0u);

    auto tree = MenuTree::Create();
    tree->Add(u"", u"")->SubMenu()->Add(u"", u"");
    auto loaded = LoadTree(SaveTree(*tree));
    ExpectSameTree(*tree, *loaded);
    const MenuItem& e = *loaded->At(1);
    EXPECT_TRUE(e.Visivel() && e.VisivelDefault() && e.Habilitado() && e.HabilitadoDefault());
    EXPECT_FALSE(e.MenuConsulta());
    EXPECT_FALSE(e.TextoMenuWasSet());
}

TEST(PersistRoundTrip, TextoMenuPutOrNotStaysDistinct) {
    auto tree = MenuTree::Create();
    tree->Add(u"Nunca", u"a");                          // never put
    tree->Add(u"Igual", u"b")->SetTextoMenu(u"Igual");  // put to Caption's value
    tree->Add(u"Vazio", u"c")->SetTextoMenu(u"");       // put to empty
    tree->Add(u"Outro", u"d")->SetTextoMenu(u"&Outro texto\tCtrl+O");
    auto loaded = LoadTree(SaveTree(*tree));
    EXPECT_FALSE(loaded->At(1)->TextoMenuWasSet());
    EXPECT_TRUE(loaded->At(2)->TextoMenuWasSet());
    EXPECT_EQ(loaded->At(3)->TextoMenu(), u"");
    EXPECT_TRUE(loaded->At(3)->TextoMenuWasSet());
    EXPECT_EQ(loaded->At(4)->TextoMenu(), u"&Outro texto\tCtrl+O");
    // Never put keeps following Caption after the load.
    loaded->At(1)->SetCaption(u"Mudou");
    EXPECT_EQ(loaded->At(1)->TextoMenu(), u"Mudou");
    loaded->At(2)->SetCaption(u"Mudou");
    EXPECT_EQ(loaded->At(2)->TextoMenu(), u"Igual");
}

TEST(PersistRoundTrip, HndMenuIsNotStored) {
    auto tree = RichTree();
    const Bytes without = SaveTree(*tree);
    int32_t next = 1000;
    std::vector<const MenuTree*> todo{tree.get()};
    while (!todo.empty()) {
        const MenuTree* l = todo.back();
        todo.pop_back();
        for (const auto& e : l->Items()) {
            e->SetHndMenu(next++);
            todo.push_back(e->SubMenu().get());
        }
    }
    EXPECT_EQ(SaveTree(*tree), without);
    auto loaded = LoadTree(without);
    for (int32_t h = 1000; h < next; ++h) ASSERT_EQ(loaded->ItemPorHnd(h), nullptr);
    todo = {loaded.get()};
    while (!todo.empty()) {
        const MenuTree* l = todo.back();
        todo.pop_back();
        for (const auto& e : l->Items()) {
            ASSERT_EQ(e->HndMenu(), 0);
            todo.push_back(e->SubMenu().get());
        }
    }
}

TEST(PersistRoundTrip, LoadedTreeIsFullyIndexed) {
    auto loaded = LoadTree(SaveTree(*RichTree()));
    auto deep = loaded->At(2)->SubMenu()->At(3)->SubMenu()->At(2)->SubMenu()->At(1);
    ASSERT_NE(deep, nullptr);
    deep->SetHndMenu(4242);
    EXPECT_EQ(loaded->ItemPorHnd(4242), deep);
    EXPECT_EQ(deep->Parent()->ItemPorHnd(4242), deep);
    EXPECT_EQ(loaded->Find(u"mnu3"), loaded->At(4));
    EXPECT_EQ(loaded->At(1)->SubMenu()->At(1)->SubMenu()->Find(u"sep"),
              loaded->At(1)->SubMenu()->At(1)->SubMenu()->At(1));
    EXPECT_EQ(loaded->At(1)->Parent(), loaded);
}

TEST(PersistRoundTrip, LoadThenSwapReplacesAKeptTreeInPlace) {
    auto control = MenuTree::Create();  // the control's tree, with a built menu bar
    auto old = control->Add(u"Velho", u"velho");
    old->SetHndMenu(1000);
    auto fresh = LoadTree(SaveTree(*RichTree()));
    control->SwapContents(*fresh);
    EXPECT_EQ(control->ItemPorHnd(1000), nullptr);
    EXPECT_EQ(control->Find(u"mnu0"), control->At(1));
    EXPECT_EQ(control->At(1)->Parent(), control);
    ExpectSameTree(*control, *RichTree());
}

TEST(PersistFormat, SaveMatchesTheDocumentedLayout) {
    auto tree = MenuTree::Create();
    auto a = tree->Add(u"A", u"n");
    a->SetVisivel(false);
    a->SubMenu()->Add(u"", u"");
    const Bytes expected = {'t',  'q',  'M', 'T',  1, 0, 1,   0, 2,    0, 0, 0,  // header
                            0x01, 0x60, 1,   0,    0, 0, 'A', 0, 0x63, 1, 0, 0,
                            0,    'n',  0,   0x21, 0,  // Visivel false
                            0x01, 0x02,                // empty child
                            0x02, 0x03};
    EXPECT_EQ(SaveTree(*tree), expected);
}

TEST(PersistFormat, FieldsOfALaterVersionAreSkipped) {
    const Bytes data = Stream(2, /*version=*/7, /*min_reader=*/1)
                           .Bool(0x3F, 1)  // outside any entry: a property of the tree
                           .U8(0x9F)
                           .U32(3)
                           .U8(1)
                           .U8(2)
                           .U8(3)
                           .Begin()
                           .Str(0x60, u"Arquivo")
                           .U8(0x5F)
                           .U32(0xFFFFFFFF)
                           .Str(0x7F, u"desconhecido")
                           .Bool(0x3E, 1)
                           .Bool(0x21, 0)
                           .Begin()
                           .U8(0x9F)
                           .U32(0)
                           .End()
                           .Str(0x63, u"mnuArquivo")  // after the children: still the outer entry
                           .End()
                           .Done()
                           .bytes();
    auto tree = LoadTree(data);
    ASSERT_EQ(tree->Count(), 1u);
    EXPECT_EQ(tree->At(1)->Caption(), u"Arquivo");
    EXPECT_EQ(tree->At(1)->Nome(), u"mnuArquivo");
    EXPECT_FALSE(tree->At(1)->Visivel());
    EXPECT_EQ(tree->At(1)->SubMenu()->Count(), 1u);
}

TEST(PersistFormat, CommittedFuzzSeedsAreValidSaves) {
    size_t files = 0;
    for (const auto& f : std::filesystem::directory_iterator(TQ_LOAD_TREE_CORPUS)) {
        std::ifstream in(f.path(), std::ios::binary);
        const Bytes data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        SCOPED_TRACE(f.path().filename().string());
        auto tree = LoadTree(data);
        // Seeds made by SaveTree are canonical; "ext_" ones carry a later version's fields.
        if (f.path().filename().string().rfind("ext_", 0) != 0) {
            EXPECT_EQ(SaveTree(*tree), data);
        }
        ++files;
    }
    EXPECT_GE(files, 4u);
}

// ---------------------------------------------------------------------------------------------
// Corrupt, truncated and hostile input

TEST(PersistCorrupt, EveryTruncationFailsCleanly) {
    const Bytes saved = SaveTree(*SmallTree());
    for (size_t n = 0; n < saved.size(); ++n) {
        SCOPED_TRACE(n);
        ExpectLoadFails(Bytes(saved.begin(), saved.begin() + static_cast<ptrdiff_t>(n)));
    }
}

TEST(PersistCorrupt, FlippedBitsFailCleanlyOrLoadSomethingConsistent) {
    const Bytes saved = SaveTree(*SmallTree());
    size_t failed = 0;
    for (size_t i = 0; i < saved.size(); ++i) {
        for (int bit = 0; bit < 8; ++bit) {
            Bytes bad = saved;
            bad[i] = static_cast<uint8_t>(bad[i] ^ (1 << bit));
            try {
                auto t = LoadTree(bad);
                const Bytes again = SaveTree(*t);
                ASSERT_EQ(SaveTree(*LoadTree(again)), again) << "byte " << i << " bit " << bit;
            } catch (const Error& e) {
                ASSERT_TRUE(e.hresult() == hr::kInvalidData || e.hresult() == hr::kOldFormat)
                    << "byte " << i << " bit " << bit;
                ++failed;
            }
        }
    }
    EXPECT_GT(failed, saved.size());     // most flips break the structure
    for (size_t i = 0; i < 12; ++i) {    // a damaged header never passes
        if (i == 4 || i == 5) continue;  // the writer's version is informative only
        Bytes bad = saved;
        bad[i] ^= 0x40;
        EXPECT_ANY_THROW(LoadTree(bad)) << "header byte " << i;
    }
}

TEST(PersistCorrupt, NotAMenuOrTheWrongVersion) {
    ExpectLoadFails({});
    ExpectLoadFails({'T', 'Q', 'M', 'T', 1, 0, 1, 0, 0, 0, 0, 0, 3});
    ExpectLoadFails({'<', 'x', 'm', 'l', '>'});
    ExpectLoadFails(Stream(0, 2, 2).Done().bytes(), hr::kOldFormat);  // needs a newer reader
    ExpectLoadFails(Stream(0, 1, 0).Done().bytes());
    ExpectLoadFails(Stream(0, 0, 0).Done().bytes());
    EXPECT_NO_THROW(LoadTree(Stream(0, 9, 1).Done().bytes()));  // newer, but readable
}

TEST(PersistCorrupt, StructuralFaults) {
    struct Case {
        const char* what;
        Bytes data;
    };
    const Case cases[] = {
        {"end at the root", Stream(0).End().Done().bytes()},
        {"open entry at the end", Stream(1).Begin().Str(0x7F, u"pad").Done().bytes()},
        {"more entries than declared", Stream(1).Begin().End().Begin().End().Done().bytes()},
        {"fewer entries than declared",
         Stream(2).Begin().Str(0x7F, u"padding").End().Done().bytes()},
        {"unknown structure tag", Stream(0).U8(0x1F).Done().bytes()},
        {"structure tag zero", Stream(0).U8(0x00).Done().bytes()},
        {"reserved kind 5", Stream(0).U8(0xA0).U32(0).Done().bytes()},
        {"reserved kind 7", Stream(0).U8(0xFF).Done().bytes()},
        {"field twice", Stream(1).Begin().Str(0x60, u"a").Str(0x60, u"b").End().Done().bytes()},
        {"flag twice", Stream(1).Begin().Bool(0x21, 0).Bool(0x21, 0).End().Done().bytes()},
        {"boolean 2", Stream(1).Begin().Bool(0x23, 2).End().Done().bytes()},
        {"boolean 255", Stream(1).Begin().Bool(0x20, 255).End().Done().bytes()},
        {"entry field outside an entry", Stream(0).Str(0x63, u"n").Done().bytes()},
        {"entry flag outside an entry", Stream(0).Bool(0x21, 1).Done().bytes()},
        {"bytes after the end", Stream(0).Done().U8(0).bytes()},
        {"two ends", Stream(0).Done().Done().bytes()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ExpectLoadFails(c.data);
    }
}

TEST(PersistCorrupt, HostileLengthsAndCountsAllocateNothing) {
    ExpectLoadFails(Stream(0xFFFFFFFF).Done().bytes());
    ExpectLoadFails(Stream(static_cast<uint32_t>(kMaxEntries + 1)).Done().bytes());
    ExpectLoadFails(Stream(1000).Begin().End().Done().bytes());  // more than the bytes can hold
    for (uint32_t n : {0xFFFFFFFFu, 0x80000000u, 0x7FFFFFFFu, 5u}) {
        SCOPED_TRACE(n);
        ExpectLoadFails(Stream(1).Begin().U8(0x60).U32(n).U16('a').End().Done().bytes());
        ExpectLoadFails(Stream(1).Begin().U8(0x7F).U32(n).U16('a').End().Done().bytes());
        ExpectLoadFails(Stream(1).Begin().U8(0x9F).U32(n).U8(1).End().Done().bytes());
    }
}

// The heap a load takes at its peak, success or not, beyond what was in use before it.
size_t LoadPeak(const Bytes& data) {
    const size_t before = g_heap_now;
    g_heap_peak = before;
    try {
        LoadTree(data);
    } catch (const Error&) {
    }
    return g_heap_peak - before;
}

TEST(PersistLimits, ALoadTakesAtMost20TimesItsInputPlusAConstant) {
    // The cheapest entries the format has (two bytes each, in levels at the per-level limit and
    // in chains at the depth limit), and entries whose strings just fit in place or just need
    // their own blocks.
    auto flat = [](std::u16string_view text, size_t entries) {
        Stream s(static_cast<uint32_t>(entries));
        for (size_t n = 0; n < entries;) {
            s.Begin();
            ++n;
            for (size_t i = 0; i < kMaxLevelEntries - 1 && n < entries; ++i, ++n) {
                s.Begin();
                for (uint8_t tag = 0x60; !text.empty() && tag <= 0x64; ++tag) s.Str(tag, text);
                s.End();
            }
            s.End();
        }
        return s.Done().bytes();
    };
    constexpr size_t kChains = kMaxEntries / kMaxDepth;
    Stream chains(static_cast<uint32_t>(kChains * kMaxDepth));
    for (size_t n = 0; n < kChains; ++n) {
        for (size_t i = 0; i < kMaxDepth; ++i) chains.Begin();
        for (size_t i = 0; i < kMaxDepth; ++i) chains.End();
    }
    const Bytes streams[] = {flat(u"", kMaxEntries), chains.Done().bytes(),
                             flat(u"1234567", 100'000), flat(u"12345678", 100'000)};
    for (const Bytes& data : streams) {
        SCOPED_TRACE(data.size());
        EXPECT_LE(LoadPeak(data), kLoadMemoryFactor * data.size() + kLoadMemoryBase);
    }
    // Only an entry with children gets a level.
    auto two = LoadTree(Stream(2).Begin().Begin().End().End().Done().bytes());
    ASSERT_NE(two->At(1)->Children(), nullptr);
    EXPECT_EQ(two->At(1)->Children()->At(1)->Children(), nullptr);
    // A string that claims 16M characters in an 18-byte stream allocates nothing for them.
    EXPECT_LT(LoadPeak(Stream(1).Begin().U8(0x60).U32(1u << 24).bytes()), 4096u);
}

TEST(PersistLimits, WhatLoadsSavesAndWhatSavesLoads) {
    // Empty entries paid for by padding that is not kept (a later version's field), and trees
    // whose cheap entries come before or after the long strings that pay for them.
    Stream padded(2 * (1 + kMaxLevelEntries));
    padded.U8(0x9F).U32(8u << 20).Zeros(8u << 20);
    for (int part = 0; part < 2; ++part) {
        padded.Begin();
        for (size_t i = 0; i < kMaxLevelEntries; ++i) padded.Begin().End();
        padded.End();
    }
    auto empties_then_strings = MenuTree::Create(), strings_then_empties = MenuTree::Create();
    for (auto& [tree, empties_first] :
         {std::pair{empties_then_strings, true}, std::pair{strings_then_empties, false}}) {
        for (int part = 0; part < 2; ++part) {
            auto level = tree->Add(u"", u"")->SubMenu();
            if ((part == 0) == empties_first) {
                for (size_t i = 0; i < kMaxLevelEntries; ++i) level->Add(u"", u"");
                level = tree->Add(u"", u"")->SubMenu();
                for (size_t i = 0; i < kMaxLevelEntries; ++i) level->Add(u"", u"");
            } else {
                for (size_t i = 0; i < 1000; ++i) level->Add(String(1000, u'x'), u"");
            }
        }
    }
    std::vector<Bytes> streams{padded.Done().bytes()};
    for (const auto& tree : {empties_then_strings, strings_then_empties}) {
        try {
            streams.push_back(SaveTree(*tree));
        } catch (const Error&) {
        }
    }
    EXPECT_GE(streams.size(), 2u) << "one of the trees saves";
    for (size_t i = 0; i < streams.size(); ++i) {
        std::shared_ptr<MenuTree> tree;
        try {
            tree = LoadTree(streams[i]);
        } catch (const Error& e) {
            EXPECT_EQ(i, 0u) << "a save did not load: " << ToUtf8(e.message());
            continue;
        }
        EXPECT_NO_THROW(SaveTree(*tree)) << "stream " << i << " loaded but does not save";
    }
}

TEST(PersistLimits, ALevelOfMoreThan32767EntriesIsRefused) {
    for (size_t n : {kMaxLevelEntries, kMaxLevelEntries + 1}) {
        Stream s(static_cast<uint32_t>(n));
        for (size_t i = 0; i < n; ++i) s.Begin().End();
        s.Done();
        auto level = MenuTree::Create();
        for (size_t i = 0; i < n; ++i) level->Add(u"", u"");
        if (n <= kMaxLevelEntries) {
            EXPECT_EQ(LoadTree(s.bytes())->Count(), n);
            EXPECT_EQ(LoadTree(SaveTree(*level))->Count(), n);
            continue;
        }
        ExpectLoadFails(s.bytes());
        EXPECT_THROW(SaveTree(*level), Error) << "Save never writes what Load refuses";
        auto parent = MenuTree::Create();
        parent->Add(u"", u"")->SubMenu()->SwapContents(*level);
        EXPECT_THROW(SaveTree(*parent), Error) << "at any depth";
    }
}

TEST(PersistDepth, LoadAcceptsTheLimitAndRefusesOneMore) {
    for (size_t depth : {kMaxDepth, kMaxDepth + 1}) {
        Stream s(static_cast<uint32_t>(depth));
        for (size_t i = 0; i < depth; ++i) s.Begin();
        for (size_t i = 0; i < depth; ++i) s.End();
        s.Done();
        if (depth <= kMaxDepth) {
            EXPECT_EQ(ChainDepth(*LoadTree(s.bytes())), depth);
        } else {
            ExpectLoadFails(s.bytes());
        }
    }
}

TEST(PersistDepth, HostileNestingIsRefusedWithoutRecursion) {
    constexpr size_t n = 1'000'000;
    Stream s(static_cast<uint32_t>(n));
    for (size_t i = 0; i < n; ++i) s.Begin();
    for (size_t i = 0; i < n; ++i) s.End();
    s.Done();
    ExpectLoadFails(s.bytes());
}

TEST(PersistDepth, SaveAcceptsTheLimitAndRefusesOneMore) {
    auto atLimit = Chain(kMaxDepth);
    EXPECT_EQ(ChainDepth(*LoadTree(SaveTree(*atLimit))), kMaxDepth);
    for (size_t depth : {kMaxDepth + 1, size_t{100'000}}) {
        auto tooDeep = Chain(depth);
        try {
            SaveTree(*tooDeep);
            ADD_FAILURE() << "saved a tree " << depth << " levels deep";
        } catch (const Error& e) {
            EXPECT_EQ(e.hresult(), hr::kInvalidData);
            EXPECT_NE(ToUtf8(e.message()).find(std::to_string(kMaxDepth)), std::string::npos);
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Base64

TEST(Base64, Rfc4648Vectors) {
    const std::pair<const char*, const char16_t*> vectors[] = {
        {"", u""},
        {"f", u"Zg=="},
        {"fo", u"Zm8="},
        {"foo", u"Zm9v"},
        {"foob", u"Zm9vYg=="},
        {"fooba", u"Zm9vYmE="},
        {"foobar", u"Zm9vYmFy"},
    };
    for (auto [plain, encoded] : vectors) {
        const std::string p = plain;
        const Bytes bytes(p.begin(), p.end());
        EXPECT_EQ(EncodeBase64(bytes), encoded);
        EXPECT_EQ(DecodeBase64(encoded), bytes);
    }
}

TEST(Base64, EveryByteValueAndLengthRoundTrips) {
    Bytes all(256);
    for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<uint8_t>(255 - i);
    for (size_t n = 0; n <= all.size(); ++n) {
        const Bytes part(all.begin(), all.begin() + static_cast<ptrdiff_t>(n));
        ASSERT_EQ(DecodeBase64(EncodeBase64(part)), part) << n;
    }
    EXPECT_EQ(EncodeBase64(Bytes{0xFB, 0xFF}), u"+/8=");
    const Bytes saved = SaveTree(*RichTree());
    ExpectSameTree(*LoadTree(DecodeBase64(EncodeBase64(saved))), *RichTree());
}

TEST(Base64, RejectsAnythingButCanonicalText) {
    const char16_t* bad[] = {
        u"Zg=",  // length
        u"Z",         u"Zm9vY",
        u"Zm9*",  // not in the alphabet
        u"Zm9v\n",    u"Zm 9v", u"Zm9-", u"Zm9_",
        u"Zg==Zg==",  // padding inside
        u"Z=g=",      u"====",  u"A===", u"=Zm9",
        u"Zh==",  // unused bits set
        u"Zm9=",
        u"Zm9\u00e9",  // non-ASCII
        u"Zm9\u0176",  // a code unit whose low byte is an alphabet letter
    };
    for (const char16_t* text : bad) {
        SCOPED_TRACE(ToUtf8(text));
        try {
            DecodeBase64(text);
            ADD_FAILURE() << "decoded";
        } catch (const Error& e) {
            EXPECT_EQ(e.hresult(), hr::kInvalidData);
        }
    }
}
