// UTF-8 <-> UTF-16 at every encoding boundary, malformed input, and space trimming.
#include "tq/ustring.h"

#include <gtest/gtest.h>

namespace tq {
namespace {

TEST(Utf, EveryEncodingBoundaryRoundTripsAndMalformedInputIsReplaced) {
    const std::pair<const char*, String> cases[] = {
        {"", u""},
        {"\x7F", u"\x7F"},
        {"\xC2\x80", u"\x80"},
        {"\xDF\xBF", u"\x7FF"},
        {"\xE0\xA0\x80", u"\x800"},
        {"\xED\x9F\xBF", u"\xD7FF"},
        {"\xEE\x80\x80", u"\xE000"},
        {"\xEF\xBF\xBF", u"\xFFFF"},
        {"\xF0\x90\x80\x80", u"\U00010000"},
        {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
        {"a\xC3\xA7\xC3\xA3", u"açã"},
    };
    for (const auto& [utf8, utf16] : cases) {
        EXPECT_EQ(FromUtf8(utf8), utf16) << utf8;
        EXPECT_EQ(ToUtf8(utf16), utf8);
    }
    // Malformed input becomes replacement characters; so do lone surrogates on the other side.
    const std::pair<const char*, String> from[] = {
        {"\xC3", u"\xFFFD"},                                          // cut at the end
        {"\xE3\x81", u"\xFFFD\xFFFD"},                                // cut: each byte on its own
        {"\xC3\x41", u"\xFFFD\x41"},                                  // not a continuation
        {"\x80", u"\xFFFD"},                                          // a continuation alone
        {"\xC0\xAF", u"\xFFFD"},                                      // overlong, 2 bytes
        {"\xE0\x9F\xBF", u"\xFFFD"},                                  // overlong, 3 bytes
        {"\xF0\x8F\xBF\xBF", u"\xFFFD"},                              // overlong, 4 bytes
        {"\xED\xA0\x80", u"\xFFFD"},                                  // a surrogate
        {"\xF4\x90\x80\x80", u"\xFFFD"},                              // beyond U+10FFFF
        {"\xF8\x88\x80\x80\x80", u"\xFFFD\xFFFD\xFFFD\xFFFD\xFFFD"},  // no such lead byte
    };
    for (const auto& [utf8, utf16] : from)
        EXPECT_EQ(FromUtf8(utf8), utf16) << testing::PrintToString(utf8);
    const std::pair<String, const char*> to[] = {
        {u"\xDBFF\xE000", "\xEF\xBF\xBD\xEE\x80\x80"},
        {u"\xDC00\xD800", "\xEF\xBF\xBD\xEF\xBF\xBD"},
    };
    for (const auto& [utf16, utf8] : to) EXPECT_EQ(ToUtf8(utf16), utf8);
}

TEST(TrimSpaces, TakesOnlySpacesFromBothEnds) {
    for (const auto& [in, out] : {std::pair<String, String>{u"  a b  ", u"a b"},
                                  {u"   ", u""},
                                  {u"\ta\t", u"\ta\t"},
                                  {u"", u""}})
        EXPECT_EQ(TrimSpaces(in), out);
}

}  // namespace
}  // namespace tq
