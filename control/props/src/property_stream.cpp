#include "tq/ctl/property_stream.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "tq/bib/persist.h"
#include "tq/error.h"

namespace tq::ctl {

namespace {

// Long values are read in pieces of this size, so memory follows the bytes really there.
constexpr size_t kChunk = size_t{64} << 10;
// The byte count in front of the accepted object's data.
constexpr size_t kObjectPrefix = 4;
constexpr ClassId kNullClass{};

[[noreturn]] void Truncated() {
    throw Error(hr::kStreamRead, u"As propriedades do tqMenu estão truncadas");
}

// Appends exactly `n` bytes of `in` to `out`.
void ReadAppend(ByteSource& in, std::vector<uint8_t>& out, size_t n) {
    while (n > 0) {
        const size_t piece = std::min(n, kChunk);
        const size_t old = out.size();
        out.resize(old + piece);
        if (in.Read(out.data() + old, piece) != piece) Truncated();
        n -= piece;
    }
}

uint32_t LittleEndian(const uint8_t* p, size_t size) {
    uint32_t v = 0;
    for (size_t i = size; i-- > 0;) v = v << 8 | p[i];
    return v;
}

uint32_t ReadUnsigned(ByteSource& in, size_t size) {
    uint8_t b[4] = {};
    if (in.Read(b, size) != size) Truncated();
    return LittleEndian(b, size);
}

String ReadText(ByteSource& in, uint32_t length) {
    std::vector<uint8_t> bytes;
    ReadAppend(in, bytes, size_t{length} * 2);
    String text(length, u'\0');
    for (size_t i = 0; i < length; ++i)
        text[i] = static_cast<char16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    return text;
}

StoredValue ReadObject(ByteSource& in, const String& name, const ClassId& accepted) {
    ClassId clsid;
    if (in.Read(clsid.data(), clsid.size()) != clsid.size()) Truncated();
    if (clsid == kNullClass) return NullObject{};
    if (clsid != accepted)
        throw Error(hr::kTypeMismatch, u"Tipos incompatíveis: o valor \"" + name +
                                           u"\" guardado no tqMenu é um objeto da classe " +
                                           ClassIdText(clsid) + u"; só um MenuTree é aceito");
    StoredObject obj{clsid, {}};
    ReadAppend(in, obj.data, kObjectPrefix);
    const uint32_t n = LittleEndian(obj.data.data(), kObjectPrefix);
    if (n > tq::bib::kMaxBytes)
        throw Error(hr::kInvalidData, u"O MenuTree guardado no tqMenu é grande demais");
    ReadAppend(in, obj.data, n);
    return obj;
}

void Put(ByteSink& out, uint32_t v, size_t size) {
    uint8_t b[4];
    for (size_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
    out.Write(b, size);
}

void PutText(ByteSink& out, StringView text) {
    std::vector<uint8_t> bytes(text.size() * 2);
    for (size_t i = 0; i < text.size(); ++i) {
        bytes[2 * i] = static_cast<uint8_t>(text[i]);
        bytes[2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
    }
    out.Write(bytes.data(), bytes.size());
}

[[noreturn]] void CannotWrite(const String& why) {
    throw Error(hr::kInvalidData, u"Não foi possível gravar o tqMenu: " + why);
}

}  // namespace

size_t SpanSource::Read(uint8_t* out, size_t size) {
    const size_t n = std::min(size, data_.size() - pos_);
    if (n > 0) std::memcpy(out, data_.data() + pos_, n);
    pos_ += n;
    return n;
}

void VectorSink::Write(const uint8_t* data, size_t size) {
    bytes.insert(bytes.end(), data, data + size);
}

std::vector<StoredProperty> ReadStoredProperties(ByteSource& in, const ClassId& accepted_class) {
    char magic[sizeof(kPropsMagic)] = {};
    if (in.Read(reinterpret_cast<uint8_t*>(magic), sizeof(magic)) != sizeof(magic)) Truncated();
    if (std::memcmp(magic, kPropsMagic, sizeof(magic)) != 0)
        throw Error(hr::kInvalidData, u"O stream não contém propriedades de um tqMenu");
    if (ReadUnsigned(in, 2) != kPropsVersion)
        throw Error(hr::kOldFormat,
                    u"As propriedades do tqMenu estão numa versão desconhecida do formato");
    const uint32_t count = ReadUnsigned(in, 2);
    std::vector<StoredProperty> props;
    for (uint32_t i = 0; i < count; ++i) {
        StoredProperty p;
        p.name = ReadText(in, ReadUnsigned(in, 2));
        switch (ReadUnsigned(in, 2)) {
            case kVtBool:
                p.value = StoredBool{static_cast<int16_t>(ReadUnsigned(in, 2))};
                break;
            case kVtI4:
                p.value = static_cast<int32_t>(ReadUnsigned(in, 4));
                break;
            case kVtBstr: {
                const uint32_t n = ReadUnsigned(in, 4);
                if (n > kMaxTextLength)
                    throw Error(hr::kInvalidData, u"Texto grande demais no tqMenu");
                p.value = ReadText(in, n);
                break;
            }
            case kVtUnknown:
                p.value = ReadObject(in, p.name, accepted_class);
                break;
            default:
                throw Error(hr::kInvalidData,
                            u"As propriedades do tqMenu contêm um tipo de valor desconhecido");
        }
        props.push_back(std::move(p));
    }
    return props;
}

void WriteStoredProperties(ByteSink& out, std::span<const StoredProperty> props,
                           const ClassId& accepted_class) {
    constexpr size_t kMaxShort = std::numeric_limits<uint16_t>::max();
    if (props.size() > kMaxShort) CannotWrite(u"valores demais");
    out.Write(reinterpret_cast<const uint8_t*>(kPropsMagic), sizeof(kPropsMagic));
    Put(out, kPropsVersion, 2);
    Put(out, static_cast<uint32_t>(props.size()), 2);
    for (const StoredProperty& p : props) {
        if (p.name.size() > kMaxShort) CannotWrite(u"nome de valor longo demais");
        Put(out, static_cast<uint32_t>(p.name.size()), 2);
        PutText(out, p.name);
        if (const auto* b = std::get_if<StoredBool>(&p.value)) {
            Put(out, kVtBool, 2);
            Put(out, static_cast<uint16_t>(b->value), 2);
        } else if (const auto* l = std::get_if<int32_t>(&p.value)) {
            Put(out, kVtI4, 2);
            Put(out, static_cast<uint32_t>(*l), 4);
        } else if (const auto* t = std::get_if<String>(&p.value)) {
            if (t->size() > kMaxTextLength)
                CannotWrite(u"texto longo demais em \"" + p.name + u"\"");
            Put(out, kVtBstr, 2);
            Put(out, static_cast<uint32_t>(t->size()), 4);
            PutText(out, *t);
        } else if (std::holds_alternative<NullObject>(p.value)) {
            Put(out, kVtUnknown, 2);
            out.Write(kNullClass.data(), kNullClass.size());
        } else {
            const auto& obj = std::get<StoredObject>(p.value);
            if (obj.clsid != accepted_class)
                CannotWrite(u"\"" + p.name + u"\" é um objeto da classe " + ClassIdText(obj.clsid) +
                            u"; só um MenuTree é aceito");
            if (obj.data.size() < kObjectPrefix ||
                LittleEndian(obj.data.data(), kObjectPrefix) != obj.data.size() - kObjectPrefix ||
                obj.data.size() - kObjectPrefix > tq::bib::kMaxBytes)
                CannotWrite(u"os dados do objeto em \"" + p.name +
                            u"\" não estão no formato esperado");
            Put(out, kVtUnknown, 2);
            out.Write(obj.clsid.data(), obj.clsid.size());
            out.Write(obj.data.data(), obj.data.size());
        }
    }
}

String ClassIdText(const ClassId& clsid) {
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    // Data1, Data2 and Data3 are little-endian; Data4 is eight bytes in order.
    static constexpr int kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    String text = u"{";
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) text += u'-';
        const uint8_t b = clsid[static_cast<size_t>(kOrder[i])];
        text += kHex[b >> 4];
        text += kHex[b & 0xF];
    }
    return text + u"}";
}

}  // namespace tq::ctl
