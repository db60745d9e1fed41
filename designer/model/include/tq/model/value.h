// A small Variant-like value for the designer's record fields.
//
// LeCampo answers with values of different kinds ("TeclaCtrl" a Double, "TeclaCombo" an
// Integer, "MenuConsulta" a Boolean, Empty for an unknown name), and DefineCampo accepts any of
// them and turns it into text.  The conversions follow the Automation rules the page relies on:
// Booleans are "True"/"False" as text and -1/0 as numbers, Empty is "" and 0.
#pragma once

#include <cstdint>

#include "tq/ustring.h"

namespace tq::model {

class Value {
  public:
    enum class Type { Empty, String, Double, Integer, Boolean };

    Value() = default;  // Empty
    Value(String s) : type_(Type::String), text_(std::move(s)) {}
    Value(const char16_t* s) : type_(Type::String), text_(s) {}

    static Value Double(double v);
    static Value Integer(int16_t v);
    static Value Boolean(bool v);

    Type type() const { return type_; }
    bool IsEmpty() const { return type_ == Type::Empty; }

    // The stored value of that kind; the caller checks type() first.
    const String& string() const { return text_; }
    double number() const { return number_; }

    // Text of the value: "" for Empty, "True"/"False", numbers in their shortest decimal form.
    String ToText() const&;
    String ToText() &&;  // moves a String value's text out
    // Boolean of the value: Empty is false, numbers are true when not 0, text must be "True",
    // "False" (any case) or a number; any other text is a type mismatch (tq::Error).
    bool ToBool() const;
    // 16-bit integer of the value: Empty is 0, true is -1, Doubles round half to even; a value
    // outside -32768..32767 is an overflow and unreadable text a type mismatch (tq::Error).
    int16_t ToInt16() const;

    friend bool operator==(const Value& a, const Value& b);

  private:
    Type type_ = Type::Empty;
    String text_;
    double number_ = 0;  // Double, Integer, and Boolean (-1 / 0)
};

}  // namespace tq::model
