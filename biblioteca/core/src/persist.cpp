// SaveTree / LoadTree (the format is described in persist.h) and the Base64 text form.
//
// Both walk the tree with explicit stacks: the depth of a tree never reaches the C++ stack.
#include "tq/bib/persist.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <new>
#include <string>

#include "tq/error.h"

namespace tq::bib {

namespace {

constexpr uint8_t kMagic[4] = {'t', 'q', 'M', 'T'};
constexpr size_t kHeaderSize = 12;
constexpr uint16_t kMinReader = 1;  // what this writer's output needs

enum Tag : uint8_t {
    kBegin = 0x01,
    kEnd = 0x02,
    kEndOfData = 0x03,
    kConsulta = 0x20,
    kVisivel = 0x21,
    kVisivelDefault = 0x22,
    kHabilitado = 0x23,
    kHabilitadoDefault = 0x24,
    kCaption = 0x60,
    kTextoMenu = 0x61,
    kDescricao = 0x62,
    kNome = 0x63,
    kTecla = 0x64,
};

enum Kind { kStructure = 0, kBool = 1, kU32 = 2, kString = 3, kBytes = 4 };

String Text(const std::string& utf8) {
    return FromUtf8(utf8);
}

[[noreturn]] void Corrupt(const char* what) {
    throw Error(hr::kInvalidData,
                Text(std::string("Os dados do menu estão corrompidos: ") + what + "."));
}

[[noreturn]] void Truncated() {
    throw Error(hr::kInvalidData, Text("Os dados do menu estão incompletos."));
}

[[noreturn]] void DepthLimit() {
    throw Error(hr::kInvalidData, Text("O menu tem mais de " + std::to_string(kMaxDepth) +
                                       " níveis de submenus, o limite suportado."));
}

[[noreturn]] void EntryLimit() {
    throw Error(hr::kInvalidData, Text("O menu tem mais de " + std::to_string(kMaxEntries) +
                                       " entradas, o limite suportado."));
}

[[noreturn]] void LevelLimit() {
    throw Error(hr::kInvalidData,
                Text("Um nível do menu tem mais de " + std::to_string(kMaxLevelEntries) +
                     " entradas, o limite suportado."));
}

[[noreturn]] void MemoryLimit(size_t bytes) {
    throw Error(hr::kInvalidData,
                Text("O menu tem entradas demais para o tamanho dos seus dados: carregar " +
                     std::to_string(bytes) + " bytes tomaria mais de " +
                     std::to_string(kLoadMemoryFactor) + " vezes esse tamanho (mais " +
                     std::to_string(kLoadMemoryBase >> 20) + " MB) de memória."));
}

// The most a load of `bytes` bytes may take.
size_t MemoryBudget(size_t bytes) {
    return kLoadMemoryFactor * bytes + kLoadMemoryBase;
}

[[noreturn]] void ByteLimit() {
    throw Error(hr::kInvalidData,
                Text("Os dados do menu passam de " + std::to_string(kMaxBytes >> 20) +
                     " MB, o limite suportado."));
}

[[noreturn]] void OutOfMemory() {
    throw Error(hr::kOutOfMemory, Text("Memória insuficiente para o menu."));
}

void PutU16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void PutU32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

uint16_t GetU16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t GetU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void PutUtf16(uint8_t* p, const char16_t* s, size_t n) {
    if constexpr (std::endian::native == std::endian::little) {
        if (n) std::memcpy(p, s, 2 * n);
    } else {
        for (size_t i = 0; i < n; ++i) PutU16(p + 2 * i, static_cast<uint16_t>(s[i]));
    }
}

String GetUtf16(const uint8_t* p, size_t n) {
    String s(n, u'\0');
    if constexpr (std::endian::native == std::endian::little) {
        if (n) std::memcpy(s.data(), p, 2 * n);
    } else {
        for (size_t i = 0; i < n; ++i) s[i] = static_cast<char16_t>(GetU16(p + 2 * i));
    }
    return s;
}

// What an entry writes, once for both passes of Save: Out is Counter (sizes) or Putter (bytes).
// A new entry's value is left out: absent fields read back as defaults.
template <class Out>
void Fields(Out& out, const MenuItem& e) {
    out.Tag(kBegin);
    if (!e.Caption().empty()) out.Str(kCaption, e.Caption());
    if (e.TextoMenuWasSet()) out.Str(kTextoMenu, e.TextoMenu());
    if (!e.Descricao().empty()) out.Str(kDescricao, e.Descricao());
    if (!e.Nome().empty()) out.Str(kNome, e.Nome());
    if (!e.TeclaExtenso().empty()) out.Str(kTecla, e.TeclaExtenso());
    if (e.MenuConsulta()) out.Bool(kConsulta, true);
    if (!e.Visivel()) out.Bool(kVisivel, false);
    if (!e.VisivelDefault()) out.Bool(kVisivelDefault, false);
    if (!e.Habilitado()) out.Bool(kHabilitado, false);
    if (!e.HabilitadoDefault()) out.Bool(kHabilitadoDefault, false);
}

struct Counter {
    size_t n = 0;
    void Tag(uint8_t) { ++n; }
    void Bool(uint8_t, bool) { n += 2; }
    void Str(uint8_t, const String& s) {
        if (s.size() > (kMaxBytes - 5) / 2) ByteLimit();  // so that sums cannot wrap
        n += 5 + 2 * s.size();
    }
};

// The loader's memory budget, kept exactly as LoadTree keeps it while it reads: `saved` bytes
// read so far (as SaveTree writes them), `cost` charged so far, checked at every charge.
struct LoadBudget {
    size_t saved = kHeaderSize + 1;  // the header and the end of data
    size_t cost = 0;
    void Charge(size_t more) {
        cost += more;
        if (cost > MemoryBudget(saved)) MemoryLimit(saved);
    }
    // An entry begins (its begin and end tags); the first entry of a level also makes the level.
    void Entry(bool makes_level) {
        saved += 2;
        Charge(LoadCostOfEntry() + (makes_level ? LoadCostOfLevel() : 0));
    }
    // As an Out of Fields: what SaveTree writes of an entry.
    void Tag(uint8_t) {}
    void Bool(uint8_t, bool) { saved += 2; }
    void Str(uint8_t, const String& s) {
        saved += 5 + 2 * s.size();
        Charge(LoadCostOfString(s.size()));
    }
};

struct Putter {
    uint8_t* p;
    void Tag(uint8_t tag) { *p++ = tag; }
    void Bool(uint8_t tag, bool v) {
        p[0] = tag;
        p[1] = v ? 1 : 0;
        p += 2;
    }
    void Str(uint8_t tag, const String& s) {
        p[0] = tag;
        PutU32(p + 1, static_cast<uint32_t>(s.size()));
        PutUtf16(p + 5, s.data(), s.size());
        p += 5 + 2 * s.size();
    }
};

// Depth-first pre-order walk from an explicit stack: entry(e, depth, index) for each entry (index
// 0-based in its level), then close() once its subtree is done.
template <class Entry, class Close>
void Walk(const MenuTree& tree, Entry&& entry, Close&& close) {
    struct Frame {
        const MenuTree* level;
        size_t next;
    };
    std::vector<Frame> stack{{&tree, 0}};
    while (!stack.empty()) {
        Frame& f = stack.back();
        if (!f.level || f.next == f.level->Count()) {
            stack.pop_back();
            if (!stack.empty()) close();  // the entry whose SubMenu this was
            continue;
        }
        const size_t index = f.next++;
        const MenuItem& e = *f.level->Items()[index];
        entry(e, stack.size(), index);
        stack.push_back({e.Children(), 0});
    }
}

// Two passes: the first checks every limit and sizes the output, so the second writes into one
// allocation of the exact size.
std::vector<uint8_t> Save(const MenuTree& tree) {
    size_t entries = 0;
    Counter size{kHeaderSize};
    LoadBudget budget;
    if (tree.Count() > kMaxLevelEntries) LevelLimit();
    Walk(
        tree,
        [&](const MenuItem& e, size_t depth, size_t index) {
            if (depth > kMaxDepth) DepthLimit();
            if (++entries > kMaxEntries) EntryLimit();
            const MenuTree* children = e.Children();
            if (children && children->Count() > kMaxLevelEntries) LevelLimit();
            Fields(size, e);
            size.Tag(kEnd);
            if (size.n > kMaxBytes) ByteLimit();
            budget.Entry(depth > 1 && index == 0);
            Fields(budget, e);
        },
        [] {});
    size.Tag(kEndOfData);
    if (size.n > kMaxBytes) ByteLimit();

    std::vector<uint8_t> out(size.n);
    std::memcpy(out.data(), kMagic, 4);
    PutU16(out.data() + 4, kFormatVersion);
    PutU16(out.data() + 6, kMinReader);
    PutU32(out.data() + 8, static_cast<uint32_t>(entries));
    Putter put{out.data() + kHeaderSize};
    Walk(
        tree, [&](const MenuItem& e, size_t, size_t) { Fields(put, e); }, [&] { put.Tag(kEnd); });
    put.Tag(kEndOfData);
    return out;
}

// The fields of an entry, tag to setter.  A field's bit in the "seen" mask of an open entry is
// its place here, the Boolean fields first.
struct BoolField {
    uint8_t tag;
    bool fresh;  // a new entry's value: SaveTree writes only the other
    void (MenuItem::*set)(bool);
};
constexpr BoolField kBoolFields[] = {
    {kConsulta, false, &MenuItem::SetMenuConsulta},
    {kVisivel, true, &MenuItem::SetVisivel},
    {kVisivelDefault, true, &MenuItem::SetVisivelDefault},
    {kHabilitado, true, &MenuItem::SetHabilitado},
    {kHabilitadoDefault, true, &MenuItem::SetHabilitadoDefault},
};
struct StringField {
    uint8_t tag;
    void (MenuItem::*set)(String);
};
constexpr StringField kStringFields[] = {
    {kCaption, &MenuItem::SetCaption},     {kTextoMenu, &MenuItem::SetTextoMenu},
    {kDescricao, &MenuItem::SetDescricao}, {kNome, &MenuItem::SetNome},
    {kTecla, &MenuItem::SetTeclaExtenso},
};

// The format's primitives read off the data, each bounds-checked: a read past the end is a save
// cut short.
class Reader {
  public:
    explicit Reader(std::span<const uint8_t> data) : p_(data.data()), end_(p_ + data.size()) {}
    size_t Left() const { return static_cast<size_t>(end_ - p_); }
    uint8_t U8() { return *Take(1); }
    uint16_t U16() { return GetU16(Take(2)); }
    uint32_t U32() { return GetU32(Take(4)); }
    const uint8_t* Take(size_t n) {
        if (Left() < n) Truncated();
        const uint8_t* at = p_;
        p_ += n;
        return at;
    }

  private:
    const uint8_t* p_;
    const uint8_t* end_;
};

// Checks the header and returns the entry count it declares.
uint32_t ReadHeader(std::span<const uint8_t> data, Reader& in) {
    if (data.size() > kMaxBytes) ByteLimit();
    if (data.size() < 4 || std::memcmp(data.data(), kMagic, 4) != 0) {
        // A prefix of the magic is a save cut short, anything else is not a save at all.
        if (data.empty() || (data.size() < 4 && std::memcmp(data.data(), kMagic, data.size()) == 0))
            Truncated();
        throw Error(hr::kInvalidData, Text("Os dados não são de um menu salvo."));
    }
    if (data.size() < kHeaderSize) Truncated();
    in.Take(4);
    const uint16_t version = in.U16();
    const uint16_t min_reader = in.U16();
    const uint32_t count = in.U32();
    if (min_reader > kFormatVersion)
        throw Error(hr::kOldFormat,
                    Text("O menu foi salvo num formato mais novo (versão " +
                         std::to_string(version) + ") que esta biblioteca não sabe ler."));
    if (min_reader == 0 || version < min_reader) Corrupt("versão do formato inválida");
    if (count > kMaxEntries) EntryLimit();
    // Every entry takes at least its begin and end tags.
    if (count > in.Left() / 2) Corrupt("há menos dados do que as entradas declaradas");
    return count;
}

// Builds the tree from the tags after the header.
class Loader {
  public:
    Loader(Reader& in, uint32_t count) : in_(in), count_(count) {
        open_.reserve(std::min<size_t>(count, 16));
    }

    std::shared_ptr<MenuTree> Run() {
        for (;;) {
            const uint8_t tag = in_.U8();
            switch (tag >> 5) {
                case kStructure:
                    if (Structure(tag)) return root_;
                    break;
                case kBool:
                    ReadBool(tag);
                    break;
                case kU32:
                    in_.Take(4);  // no such field in this version
                    break;
                case kString:
                    ReadString(tag);
                    break;
                case kBytes:
                    in_.Take(in_.U32());
                    break;
                default:
                    Corrupt("tipo de campo reservado");
            }
        }
    }

  private:
    struct Open {
        MenuItem* item;
        uint32_t seen;
    };

    // Begin, end of entry, end of data (true).
    bool Structure(uint8_t tag) {
        if (tag == kBegin) {
            Begin();
        } else if (tag == kEnd) {
            if (open_.empty()) Corrupt("fim de entrada sem entrada aberta");
            open_.pop_back();
        } else if (tag == kEndOfData) {
            if (!open_.empty()) Corrupt("fim dos dados com entradas abertas");
            if (loaded_ != count_) Corrupt("há menos entradas do que o cabeçalho declara");
            if (in_.Left() != 0) Corrupt("há dados depois do fim do menu");
            return true;
        } else {
            Corrupt("marca de estrutura desconhecida");
        }
        return false;
    }

    void Begin() {
        if (open_.size() == kMaxDepth) DepthLimit();
        if (loaded_ == count_) Corrupt("há mais entradas do que o cabeçalho declara");
        // The open entry's level is made with its first child: leaves get none.
        MenuTree* level = root_.get();
        bool makes_level = false;
        if (!open_.empty()) {
            const MenuItem& parent = *open_.back().item;
            makes_level = !parent.Children();
            if (makes_level) budget_.Entry(true);  // before the level is made
            level = parent.SubMenu().get();
        }
        if (level->Count() == kMaxLevelEntries) LevelLimit();
        if (!makes_level) budget_.Entry(false);
        ++loaded_;
        open_.push_back({level->Add(String(), String()).get(), 0});
    }

    // The open entry, for a field that has bit `bit` in its mask and is not there yet.
    MenuItem& Claim(size_t bit) {
        if (open_.empty()) Corrupt("campo de entrada fora de uma entrada");
        Open& o = open_.back();
        if (o.seen & (1u << bit)) Corrupt("campo repetido numa entrada");
        o.seen |= 1u << bit;
        return *o.item;
    }

    void ReadBool(uint8_t tag) {
        const uint8_t v = in_.U8();
        const auto* f = std::find_if(std::begin(kBoolFields), std::end(kBoolFields),
                                     [&](const BoolField& b) { return b.tag == tag; });
        if (f == std::end(kBoolFields)) return;  // a later version's field
        MenuItem& e = Claim(static_cast<size_t>(f - kBoolFields));
        if (v > 1) Corrupt("valor lógico inválido");
        if (v != f->fresh) budget_.Bool(tag, v);
        (e.*f->set)(v != 0);
    }

    void ReadString(uint8_t tag) {
        const uint32_t n = in_.U32();
        if (n > in_.Left() / 2) Truncated();
        const uint8_t* chars = in_.Take(2 * static_cast<size_t>(n));
        const auto* f = std::find_if(std::begin(kStringFields), std::end(kStringFields),
                                     [&](const StringField& s) { return s.tag == tag; });
        if (f == std::end(kStringFields)) return;
        MenuItem& e = Claim(std::size(kBoolFields) + static_cast<size_t>(f - kStringFields));
        if (n > 0 || tag == kTextoMenu)  // saved: SaveTree writes it
            budget_.saved += 5 + 2 * static_cast<size_t>(n);
        budget_.Charge(LoadCostOfString(n));
        (e.*f->set)(GetUtf16(chars, n));
    }

    Reader& in_;
    const uint32_t count_;
    size_t loaded_ = 0;
    // Charged before each allocation, so the load never takes more than its budget.  The
    // budget grows with the bytes of what was read so far as SaveTree writes it (never more
    // than what was read), and SaveTree keeps the same account in the same order over its own
    // output: so whatever loads also saves, and whatever saves also loads.
    LoadBudget budget_;
    std::shared_ptr<MenuTree> root_ = MenuTree::Create();
    std::vector<Open> open_;
};

std::shared_ptr<MenuTree> Load(std::span<const uint8_t> data) {
    Reader in(data);
    const uint32_t count = ReadHeader(data, in);
    return Loader(in, count).Run();
}

constexpr char16_t kBase64Alphabet[] =
    u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

[[noreturn]] void BadBase64(const char* what) {
    throw Error(hr::kInvalidData, Text(std::string("Texto Base64 inválido: ") + what + "."));
}

}  // namespace

// Each heap block is counted with 32 bytes for the allocator's header and rounding; make_shared
// puts a 16-byte control block in front of the object.  An entry's slot in its level's vector is
// counted three times over: growth doubles the capacity and holds the old buffer while copying.
namespace {
constexpr size_t kBlock = 32, kControl = 16;
}

size_t LoadCostOfEntry() {
    return (kControl + sizeof(MenuItem) + kBlock) + 3 * sizeof(std::shared_ptr<MenuItem>);
}

size_t LoadCostOfLevel() {
    return kControl + sizeof(MenuTree) + kBlock;
}

size_t LoadCostOfString(size_t length) {
    static const size_t in_place = String().capacity();
    return length <= in_place ? 0 : 2 * (length + 1) + 32;
}

std::vector<uint8_t> SaveTree(const MenuTree& tree) {
    try {
        return Save(tree);
    } catch (const std::bad_alloc&) {
        OutOfMemory();
    }
}

std::shared_ptr<MenuTree> LoadTree(std::span<const uint8_t> data) {
    try {
        return Load(data);
    } catch (const std::bad_alloc&) {
        OutOfMemory();
    }
}

String EncodeBase64(std::span<const uint8_t> data) {
    const size_t n = data.size();
    if (n > String().max_size() / 4 * 3 - 3) OutOfMemory();
    String out((n + 2) / 3 * 4, u'=');
    size_t o = 0, i = 0;
    for (; i + 3 <= n; i += 3) {
        const uint32_t v = (uint32_t{data[i]} << 16) | (uint32_t{data[i + 1]} << 8) | data[i + 2];
        out[o++] = kBase64Alphabet[v >> 18];
        out[o++] = kBase64Alphabet[(v >> 12) & 63];
        out[o++] = kBase64Alphabet[(v >> 6) & 63];
        out[o++] = kBase64Alphabet[v & 63];
    }
    if (n - i == 1) {
        const uint32_t v = uint32_t{data[i]} << 16;
        out[o++] = kBase64Alphabet[v >> 18];
        out[o++] = kBase64Alphabet[(v >> 12) & 63];
    } else if (n - i == 2) {
        const uint32_t v = (uint32_t{data[i]} << 16) | (uint32_t{data[i + 1]} << 8);
        out[o++] = kBase64Alphabet[v >> 18];
        out[o++] = kBase64Alphabet[(v >> 12) & 63];
        out[o++] = kBase64Alphabet[(v >> 6) & 63];
    }
    return out;
}

std::vector<uint8_t> DecodeBase64(StringView text) {
    static constexpr auto kValues = [] {
        std::array<int8_t, 128> t{};
        t.fill(-1);
        for (int i = 0; i < 64; ++i)
            t[static_cast<size_t>(kBase64Alphabet[i])] = static_cast<int8_t>(i);
        return t;
    }();
    if (text.size() % 4 != 0) BadBase64("o comprimento não é múltiplo de 4");
    size_t pad = 0;
    if (!text.empty() && text.back() == u'=') pad = text[text.size() - 2] == u'=' ? 2 : 1;
    const size_t groups = text.size() / 4;
    try {
        std::vector<uint8_t> out;
        out.reserve(groups * 3 - pad);
        for (size_t g = 0; g < groups; ++g) {
            const bool last = g + 1 == groups;
            const size_t used = last ? 4 - pad : 4;
            uint32_t v = 0;
            for (size_t k = 0; k < 4; ++k) {
                const char16_t c = text[4 * g + k];
                int8_t d = 0;
                if (k < used) {
                    d = c < 128 ? kValues[c] : int8_t{-1};
                    if (d < 0)
                        BadBase64(c == u'=' ? "preenchimento fora do fim" : "caractere inválido");
                }
                v = (v << 6) | static_cast<uint32_t>(d);
            }
            out.push_back(static_cast<uint8_t>(v >> 16));
            if (used > 2) out.push_back(static_cast<uint8_t>(v >> 8));
            if (used > 3) out.push_back(static_cast<uint8_t>(v));
            if (last && ((used == 2 && (v & 0xFFFF)) || (used == 3 && (v & 0xFF))))
                BadBase64("bits finais não nulos");
        }
        return out;
    } catch (const std::bad_alloc&) {
        OutOfMemory();
    }
}

}  // namespace tq::bib
