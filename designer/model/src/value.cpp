#include "tq/model/value.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <string>

#include "tq/error.h"

namespace tq::model {

namespace {

// A plain decimal number ("12", "-3", "0.5"), as text boxes and record fields hold them.
std::optional<double> ParseNumber(StringView s) {
    const String t = TrimSpaces(s);
    if (t.empty() || t.size() > 64) return std::nullopt;
    std::string ascii;
    for (char16_t c : t) {
        if (c > 0x7F) return std::nullopt;
        ascii += static_cast<char>(c);
    }
    size_t i = 0;
    if (ascii[i] == '+' || ascii[i] == '-') ++i;
    bool digits = false;
    while (i < ascii.size() && ascii[i] >= '0' && ascii[i] <= '9') ++i, digits = true;
    if (i < ascii.size() && ascii[i] == '.') {
        ++i;
        while (i < ascii.size() && ascii[i] >= '0' && ascii[i] <= '9') ++i, digits = true;
    }
    if (!digits || i != ascii.size()) return std::nullopt;
    return std::strtod(ascii.c_str(), nullptr);
}

bool EqualsIgnoringAsciiCase(StringView a, StringView b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char16_t x = a[i], y = b[i];
        if (x >= u'A' && x <= u'Z') x = static_cast<char16_t>(x - u'A' + u'a');
        if (y >= u'A' && y <= u'Z') y = static_cast<char16_t>(y - u'A' + u'a');
        if (x != y) return false;
    }
    return true;
}

String NumberText(double v) {
    if (v == 0) return u"0";
    if (std::floor(v) == v && std::fabs(v) < 1e15)
        return FromUtf8(std::to_string(static_cast<long long>(v)));
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    return FromUtf8(std::string_view(buf, static_cast<size_t>(res.ptr - buf)));
}

int16_t ToInt16Checked(double v) {
    const double r = std::nearbyint(v);  // round half to even, the default rounding mode
    if (!(r >= -32768.0 && r <= 32767.0)) throw Error(hr::kOverflow, u"Overflow");
    return static_cast<int16_t>(r);
}

}  // namespace

Value Value::Double(double v) {
    Value r;
    r.type_ = Type::Double;
    r.number_ = v;
    return r;
}

Value Value::Integer(int16_t v) {
    Value r;
    r.type_ = Type::Integer;
    r.number_ = v;
    return r;
}

Value Value::Boolean(bool v) {
    Value r;
    r.type_ = Type::Boolean;
    r.number_ = v ? -1 : 0;
    return r;
}

String Value::ToText() && {
    if (type_ == Type::String) return std::move(text_);
    return static_cast<const Value&>(*this).ToText();
}

String Value::ToText() const& {
    switch (type_) {
        case Type::Empty:
            return String();
        case Type::String:
            return text_;
        case Type::Boolean:
            return number_ != 0 ? u"True" : u"False";
        case Type::Double:
        case Type::Integer:
            return NumberText(number_);
    }
    return String();
}

bool Value::ToBool() const {
    switch (type_) {
        case Type::Empty:
            return false;
        case Type::String: {
            const String t = TrimSpaces(text_);
            if (EqualsIgnoringAsciiCase(t, u"True")) return true;
            if (EqualsIgnoringAsciiCase(t, u"False")) return false;
            if (auto n = ParseNumber(t)) return *n != 0;
            throw Error(hr::kTypeMismatch, u"Type mismatch");
        }
        default:
            return number_ != 0;
    }
}

int16_t Value::ToInt16() const {
    switch (type_) {
        case Type::Empty:
            return 0;
        case Type::String: {
            const String t = TrimSpaces(text_);
            if (EqualsIgnoringAsciiCase(t, u"True")) return -1;
            if (EqualsIgnoringAsciiCase(t, u"False")) return 0;
            if (auto n = ParseNumber(t)) return ToInt16Checked(*n);
            throw Error(hr::kTypeMismatch, u"Type mismatch");
        }
        default:
            return ToInt16Checked(number_);
    }
}

bool operator==(const Value& a, const Value& b) {
    if (a.type_ != b.type_) return false;
    if (a.type_ == Value::Type::String) return a.text_ == b.text_;
    return a.number_ == b.number_;
}

}  // namespace tq::model
