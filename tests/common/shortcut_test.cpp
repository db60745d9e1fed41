#include "tq/shortcut.h"

#include <gtest/gtest.h>

#include <set>

namespace tq {
namespace {

TEST(ParseShortcut, ReadsWhatTheDesignerWritesAndNothingElse) {
    constexpr uint16_t F1 = 0x70, F5 = 0x74, F12 = 0x7B;
    struct Case {
        const char16_t* text;
        std::optional<Shortcut> want;
    };
    const Case cases[] = {
        {u"Ctrl+Shift+F5", Shortcut{F5, true, true}},
        {u"Ctrl+A", Shortcut{'A', true, false}},
        {u"Ctrl+Shift+Z", Shortcut{'Z', true, true}},
        {u"F1", Shortcut{F1, false, false}},
        {u"Shift+F12", Shortcut{F12, false, true}},
        // A letter is typing unless Ctrl is held.
        {u"A", std::nullopt},
        {u"Shift+Q", std::nullopt},
        // Keys and words the designer never records.
        {u"", std::nullopt},
        {u"F0", std::nullopt},
        {u"F13", std::nullopt},
        {u"F05", std::nullopt},
        {u"Ctrl+1", std::nullopt},
        {u"Ctrl+a", std::nullopt},
        {u"ctrl+A", std::nullopt},
        {u"Alt+F4", std::nullopt},
        {u"Ctrl+", std::nullopt},
        {u"Ctrl+Ctrl+A", std::nullopt},
        {u"Shift+Ctrl+A", std::nullopt},
        {u"A+Ctrl", std::nullopt},
        {u"Ctrl+AB", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseShortcut(c.text), c.want) << ToUtf8(c.text);
}

TEST(ParseShortcut, CodesTellModifiersApart) {
    const uint16_t plain = ParseShortcut(u"F5")->Code();
    const uint16_t ctrl = ParseShortcut(u"Ctrl+F5")->Code();
    const uint16_t shift = ParseShortcut(u"Shift+F5")->Code();
    const uint16_t both = ParseShortcut(u"Ctrl+Shift+F5")->Code();
    EXPECT_EQ(plain, 0x74);
    EXPECT_EQ((std::set<uint16_t>{plain, ctrl, shift, both}).size(), 4u);
}

}  // namespace
}  // namespace tq
