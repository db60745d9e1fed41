// Shortcut texts as the designer writes them.
#include "tq/shortcut.h"

#include <gtest/gtest.h>

namespace tq {
namespace {

TEST(ParseShortcut, ReadsWhatTheDesignerWritesAndNothingElse) {
    const std::pair<const char16_t*, Shortcut> read[] = {
        {u"Ctrl+Shift+F5", {0x74, true, true}}, {u"Ctrl+A", {'A', true, false}},
        {u"Ctrl+Shift+Z", {'Z', true, true}},   {u"F1", {0x70, false, false}},
        {u"Shift+F12", {0x7B, false, true}},    {u"Ctrl+F10", {0x79, true, false}}};
    for (const auto& [text, want] : read) EXPECT_EQ(ParseShortcut(text), want) << ToUtf8(text);
    // A letter is typing unless Ctrl is held; keys and words the designer never records.
    for (const char16_t* text :
         {u"A",       u"Shift+Q",        u"",       u"F0",          u"F13",          u"F05",
          u"F",       u"F123",           u"Ctrl+1", u"Ctrl+a",      u"Ctrl+@",       u"Ctrl+[",
          u"ctrl+A",  u"Alt+F4",         u"Ctrl+",  u"Ctrl+Ctrl+A", u"Shift+Ctrl+A", u"A+Ctrl",
          u"Ctrl+AB", u"Shift+Shift+F1", u"F1x"})
        EXPECT_EQ(ParseShortcut(text), std::nullopt) << ToUtf8(text);
}

}  // namespace
}  // namespace tq
