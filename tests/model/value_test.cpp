// Conversions of the record's values, as the page uses them.
#include <gtest/gtest.h>

#include <variant>

#include "tq/error.h"
#include "tq/model/value.h"

namespace tq::model {

void PrintTo(const Value& v, std::ostream* os) {
    static const char* const kinds[] = {"Empty", "String", "Double", "Integer", "Boolean"};
    *os << kinds[static_cast<int>(v.type())] << " \"" << ToUtf8(v.ToText()) << '"';
}

namespace {

TEST(Value, ConvertsEachKindToTextBooleanAndIntegerAndComparesKindAndValue) {
    using Fails = int32_t;  // the HRESULT of a refused conversion
    const struct {
        Value value;
        const char16_t* text;
        std::variant<bool, Fails> boolean;
        std::variant<int16_t, Fails> integer;
    } cases[] = {
        {Value(), u"", false, int16_t{0}},
        {Value::Boolean(true), u"True", true, int16_t{-1}},
        {Value::Boolean(false), u"False", false, int16_t{0}},
        {Value::Integer(-32768), u"-32768", true, int16_t{-32768}},
        {Value::Double(0), u"0", false, int16_t{0}},
        {Value::Double(2.5), u"2.5", true, int16_t{2}},  // half to even
        {Value::Double(3.5), u"3.5", true, int16_t{4}},
        {Value::Double(32767.4), u"32767.4", true, int16_t{32767}},
        {Value::Double(32768), u"32768", true, hr::kOverflow},
        {Value::Double(-32769), u"-32769", true, hr::kOverflow},
        {Value::Double(1e15), u"1e+15", true, hr::kOverflow},  // whole numbers below it in full
        {Value(u" 12 "), u" 12 ", true, int16_t{12}},
        {Value(u"-1.5"), u"-1.5", true, int16_t{-2}},
        {Value(u"TRUE"), u"TRUE", true, int16_t{-1}},
        {Value(u" fAlSe"), u" fAlSe", false, int16_t{0}},
        {Value(u"True1"), u"True1", hr::kTypeMismatch, hr::kTypeMismatch},
        {Value(u"Frue"), u"Frue", hr::kTypeMismatch, hr::kTypeMismatch},
        {Value(u"1x"), u"1x", hr::kTypeMismatch, hr::kTypeMismatch},
        {Value(u"."), u".", hr::kTypeMismatch, hr::kTypeMismatch},
        {Value(u""), u"", hr::kTypeMismatch, hr::kTypeMismatch},
    };
    auto result = [](auto convert) -> std::variant<decltype(convert()), Fails> {
        try {
            return convert();
        } catch (const Error& e) {
            return e.hresult();
        }
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.value));
        EXPECT_EQ(c.value.ToText(), c.text);
        EXPECT_EQ(result([&] { return c.value.ToBool(); }), c.boolean);
        EXPECT_EQ(result([&] { return c.value.ToInt16(); }), c.integer);
    }
    // Equality compares kind and value.
    const Value all[] = {Value(),          Value(u""),          Value(u"1"),
                         Value(u"2"),      Value::Integer(1),   Value::Double(1),
                         Value::Double(2), Value::Boolean(true)};
    for (size_t i = 0; i < std::size(all); ++i)
        for (size_t j = 0; j < std::size(all); ++j) EXPECT_EQ(all[i] == all[j], i == j) << i << j;
}

}  // namespace
}  // namespace tq::model
