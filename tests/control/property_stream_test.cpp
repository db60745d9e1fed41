// The control's stream layout as bytes (tq/ctl/property_stream.h), natively: what each value
// reads back as, where reading stops, what is refused and with which HRESULT, and that the
// writer produces exactly what the reader takes.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tq/bib/persist.h"
#include "tq/ctl/property_stream.h"
#include "tq/error.h"

namespace {

using namespace tq::ctl;
using Bytes = std::vector<uint8_t>;

const ClassId kTree = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
const ClassId kOther = {0x03, 0x52, 0xE3, 0x0B, 0x91, 0x8F, 0xCE, 0x11,
                        0x9D, 0xE3, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51};

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
Bytes U16(uint32_t v) {
    return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
}
Bytes U32(uint32_t v) {
    return U16(v) + U16(v >> 16);
}
Bytes Text16(const std::u16string& s) {
    Bytes b;
    for (char16_t c : s) b = b + U16(c);
    return b;
}
Bytes Head(uint32_t count, uint32_t version = 1) {
    return Bytes{'t', 'q', 'M', 'C'} + U16(version) + U16(count);
}
Bytes Named(const std::u16string& name, uint16_t vt) {
    return U16(static_cast<uint32_t>(name.size())) + Text16(name) + U16(vt);
}
Bytes Class(const ClassId& c) {
    return Bytes(c.begin(), c.end());
}

TEST(PropertyStream, ReadsEachValueAndRefusesWhatItMust) {
    const Bytes tree_data = U32(1) + Bytes{7};
    const struct {
        const char* what;
        Bytes input;
        std::optional<StoredValue> value;  // the one value read; none for an empty set
        int32_t error = 0;                 // or the refusal
        size_t consumed = 0;               // for a refusal: how far the reader got
    } cases[] = {
        {"nothing", Head(0), std::nullopt},
        {"Boolean", Head(1) + Named(u"ExibirMenu", kVtBool) + U16(0xFFFF), StoredBool{-1}},
        {"Long", Head(1) + Named(u"L", kVtI4) + U32(0x80000001), static_cast<int32_t>(0x80000001)},
        {"text", Head(1) + Named(u"T", kVtBstr) + U32(2) + Text16(u"çã"), tq::String(u"çã")},
        {"empty object", Head(1) + Named(u"MenuTree", kVtUnknown) + Class({}), NullObject{}},
        {"MenuTree", Head(1) + Named(u"MenuTree", kVtUnknown) + Class(kTree) + tree_data,
         StoredObject{kTree, tree_data}},
        {"not ours", Bytes{'X', 'q', 'M', 'C'} + U16(1) + U16(0), {}, tq::hr::kInvalidData, 4},
        {"other version", Head(0, 2), {}, tq::hr::kOldFormat, 6},
        {"cut name", Head(1) + U16(8) + Text16(u"Menu"), {}, tq::hr::kStreamRead, 18},
        {"text longer than the data",
         Head(1) + Named(u"T", kVtBstr) + U32(1u << 24) + U16(65),
         {},
         tq::hr::kStreamRead,
         20},
        {"text over the limit",
         Head(1) + Named(u"T", kVtBstr) + U32(kMaxTextLength + 1),
         {},
         tq::hr::kInvalidData,
         18},
        {"unknown type", Head(1) + Named(u"V", 12) + U32(0), {}, tq::hr::kInvalidData, 14},
        {"another class",
         Head(1) + Named(u"MenuTree", kVtUnknown) + Class(kOther) + U32(0),
         {},
         tq::hr::kTypeMismatch,
         44},
        {"MenuTree over the limit",
         Head(1) + Named(u"MenuTree", kVtUnknown) + Class(kTree) +
             U32(static_cast<uint32_t>(tq::bib::kMaxBytes) + 1),
         {},
         tq::hr::kInvalidData,
         48},
        {"MenuTree cut",
         Head(1) + Named(u"MenuTree", kVtUnknown) + Class(kTree) + U32(5) + U16(0),
         {},
         tq::hr::kStreamRead,
         50},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // A container's stream goes on after the control's bytes: they must stay unread.
        const Bytes input = c.error ? c.input : c.input + Bytes{0xEE, 0xEE};
        SpanSource source(input);
        try {
            const std::vector<StoredProperty> props = ReadStoredProperties(source, kTree);
            EXPECT_EQ(c.error, 0);
            ASSERT_EQ(props.size(), c.value ? 1u : 0u);
            if (c.value) {
                EXPECT_TRUE(props[0].value == *c.value);
            }
            EXPECT_EQ(source.Consumed(), c.input.size());
        } catch (const tq::Error& e) {
            EXPECT_EQ(e.hresult(), c.error) << tq::ToUtf8(e.message());
            EXPECT_FALSE(e.message().empty());
            EXPECT_EQ(source.Consumed(), c.consumed);
        }
    }
}

TEST(PropertyStream, WriterProducesWhatTheReaderTakesAndRefusesTheRest) {
    const std::vector<StoredProperty> props = {
        {u"MenuTree", StoredObject{kTree, U32(2) + Bytes{1, 2}}},
        {u"ExibirMenu", StoredBool{0}},
        {u"Nada", NullObject{}},
        {u"Texto", tq::String(u"menu de teste")},
        {u"Long", int32_t{-5}},
    };
    VectorSink sink;
    WriteStoredProperties(sink, props, kTree);
    SpanSource source(sink.bytes);
    EXPECT_EQ(ReadStoredProperties(source, kTree), props);
    EXPECT_EQ(source.Consumed(), sink.bytes.size());

    for (const StoredObject& bad : {StoredObject{kOther, U32(0)}, StoredObject{kTree, U32(3)}}) {
        const StoredProperty p{u"MenuTree", bad};
        VectorSink out;
        EXPECT_THROW(WriteStoredProperties(out, {&p, 1}, kTree), tq::Error);
    }
    EXPECT_EQ(ClassIdText(kOther), u"{0BE35203-8F91-11CE-9DE3-00AA004BB851}");

    std::vector<StoredProperty> many(65535, StoredProperty{u"L", int32_t{1}});
    VectorSink full;
    EXPECT_NO_THROW(WriteStoredProperties(full, many, kTree)) << "the count's largest value";
    many.push_back(many.back());
    EXPECT_THROW(WriteStoredProperties(full, many, kTree), tq::Error);
}

}  // namespace
