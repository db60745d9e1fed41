// Readable test failure messages for record values.
#pragma once

#include <ostream>

#include "tq/model/value.h"

namespace tq::model {

inline void PrintTo(const Value& v, std::ostream* os) {
    switch (v.type()) {
        case Value::Type::Empty:
            *os << "Empty";
            break;
        case Value::Type::String:
            *os << "String \"" << ToUtf8(v.string()) << "\"";
            break;
        case Value::Type::Double:
            *os << "Double " << v.number();
            break;
        case Value::Type::Integer:
            *os << "Integer " << v.number();
            break;
        case Value::Type::Boolean:
            *os << "Boolean " << (v.number() != 0 ? "True" : "False");
            break;
    }
}

}  // namespace tq::model
