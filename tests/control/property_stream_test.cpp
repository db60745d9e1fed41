// The control's stream layout as bytes: each value read back, what is refused with which HRESULT
// and where reading stopped, and the writer producing exactly what the reader takes.
#include <gtest/gtest.h>

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
// The header and one value's name and type.
Bytes One(const std::u16string& name, uint16_t vt) {
    return Bytes{'t', 'q', 'M', 'C'} + U16(1) + U16(1) + U16(name.size()) + Text16(name) + U16(vt);
}
const Bytes kObj = One(u"MenuTree", kVtUnknown);

TEST(PropertyStream, ReadsEachValueOrRefusesItWithItsHresultAndStopsWhereItMust) {
    const Bytes tree = Bytes(kTree.begin(), kTree.end()), data = U32(1) + Bytes{7};
    const Bytes other = Bytes(kOther.begin(), kOther.end());
    const struct {
        Bytes input;
        int32_t error;
        size_t consumed;  // for a refusal
        StoredValue value = NullObject{};
    } cases[] = {
        {One(u"ExibirMenu", kVtBool) + U16(0xFFFF), 0, 0, StoredBool{-1}},
        {One(u"L", kVtI4) + U32(0x80000001), 0, 0, static_cast<int32_t>(0x80000001)},
        {One(u"T", kVtBstr) + U32(2) + Text16(u"çã"), 0, 0, tq::String(u"çã")},
        {kObj + Bytes(16, 0), 0, 0, NullObject{}},
        {kObj + tree + data, 0, 0, StoredObject{kTree, data}},
        {Bytes{'X', 'q', 'M', 'C', 1, 0, 0, 0}, tq::hr::kInvalidData, 4},
        {Bytes{'t', 'q', 'M', 'C', 2, 0, 0, 0}, tq::hr::kOldFormat, 6},
        {Bytes{'t', 'q', 'M', 'C', 1, 0, 1, 0, 8, 0} + Text16(u"Menu"), tq::hr::kStreamRead, 18},
        {One(u"T", kVtBstr) + U32(1u << 24) + U16(65), tq::hr::kStreamRead, 20},
        {One(u"T", kVtBstr) + U32(kMaxTextLength + 1), tq::hr::kInvalidData, 18},
        {One(u"V", 12) + U32(0), tq::hr::kInvalidData, 14},
        {kObj + other + U32(0), tq::hr::kTypeMismatch, 44},
        {kObj + tree + U32(uint32_t{tq::bib::kMaxBytes} + 1), tq::hr::kInvalidData, 48},
        {kObj + tree + U32(5) + U16(0), tq::hr::kStreamRead, 50},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input.size());
        // A container's stream goes on after the control's bytes: they stay unread.
        const Bytes input = c.error ? c.input : c.input + Bytes{0xEE};
        SpanSource source(input);
        try {
            const std::vector<StoredProperty> props = ReadStoredProperties(source, kTree);
            ASSERT_EQ(props.size(), 1u);
            EXPECT_TRUE(c.error == 0 && props[0].value == c.value);
            EXPECT_EQ(source.Consumed(), c.input.size());
        } catch (const tq::Error& e) {
            EXPECT_EQ(e.hresult(), c.error);
            EXPECT_FALSE(e.message().empty());
            EXPECT_EQ(source.Consumed(), c.consumed);
        }
    }
}

TEST(PropertyStream, WriterProducesWhatTheReaderTakesAndRefusesTheRest) {
    std::vector<StoredProperty> props = {
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
    EXPECT_EQ(ClassIdText(kOther), u"{0BE35203-8F91-11CE-9DE3-00AA004BB851}");

    for (const StoredObject& bad : {StoredObject{kOther, U32(0)}, StoredObject{kTree, U32(3)}})
        EXPECT_THROW(
            WriteStoredProperties(sink, std::vector<StoredProperty>{{u"MenuTree", bad}}, kTree),
            tq::Error);
    props.assign(65535, StoredProperty{u"L", int32_t{1}});
    EXPECT_NO_THROW(WriteStoredProperties(sink, props, kTree)) << "the count's largest value";
    props.push_back(props.back());
    EXPECT_THROW(WriteStoredProperties(sink, props, kTree), tq::Error);
}

}  // namespace
