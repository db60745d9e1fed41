// Portable text type of the project.
//
// COM strings are UTF-16 (BSTR); the portable cores use std::u16string so that the same bytes
// travel unchanged between the native build (where wchar_t is 32-bit) and Windows.
#pragma once

#include <string>
#include <string_view>

namespace tq {

using String = std::u16string;
using StringView = std::u16string_view;

// UTF-8 <-> UTF-16.  Malformed input is replaced by U+FFFD, never rejected.
std::string ToUtf8(StringView s);
String FromUtf8(std::string_view s);

// Trims ASCII spaces (only the space character, as fixed-width fields pad with it) at both ends.
String TrimSpaces(StringView s);

}  // namespace tq
