// Conversions of the record's values, as the page uses them.
#include <gtest/gtest.h>

#include "tq/error.h"
#include "tq/model/value.h"
#include "value_print.h"

namespace tq::model {
namespace {

TEST(Value, TextOfEachKind) {
    EXPECT_EQ(Value().ToText(), u"");
    EXPECT_EQ(Value::Boolean(true).ToText(), u"True");
    EXPECT_EQ(Value::Boolean(false).ToText(), u"False");
    EXPECT_EQ(Value::Integer(1).ToText(), u"1");
    EXPECT_EQ(Value::Integer(-32768).ToText(), u"-32768");
    EXPECT_EQ(Value::Double(0).ToText(), u"0");
    EXPECT_EQ(Value::Double(0.5).ToText(), u"0.5");
    EXPECT_EQ(Value::Double(-12).ToText(), u"-12");
}

TEST(Value, BooleanAndIntegerConversions) {
    EXPECT_FALSE(Value().ToBool());
    EXPECT_TRUE(Value::Double(1).ToBool());
    EXPECT_TRUE(Value(u"true").ToBool());
    EXPECT_FALSE(Value(u" 0 ").ToBool());
    EXPECT_EQ(Value::Boolean(true).ToInt16(), -1);
    EXPECT_EQ(Value().ToInt16(), 0);
    EXPECT_EQ(Value::Double(2.5).ToInt16(), 2);  // half to even
    EXPECT_EQ(Value::Double(3.5).ToInt16(), 4);
    EXPECT_EQ(Value(u"12").ToInt16(), 12);
}

TEST(Value, FailuresAreOverflowAndTypeMismatch) {
    try {
        (void)Value::Double(32768).ToInt16();
        FAIL() << "no overflow";
    } catch (const Error& e) {
        EXPECT_EQ(e.hresult(), hr::kOverflow);
    }
    try {
        (void)Value(u"abc").ToBool();
        FAIL() << "no type mismatch";
    } catch (const Error& e) {
        EXPECT_EQ(e.hresult(), hr::kTypeMismatch);
    }
    EXPECT_THROW((void)Value(u"1x").ToInt16(), Error);
}

TEST(Value, EqualityComparesKindAndValue) {
    EXPECT_EQ(Value(u"1"), Value(u"1"));
    EXPECT_NE(Value(u"1"), Value::Integer(1));
    EXPECT_NE(Value::Integer(1), Value::Double(1));
    EXPECT_EQ(Value(), Value());
    EXPECT_NE(Value(), Value(u""));
}

}  // namespace
}  // namespace tq::model
