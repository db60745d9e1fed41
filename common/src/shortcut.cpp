#include "tq/shortcut.h"

namespace tq {

namespace {

constexpr uint16_t kVkF1 = 0x70;

// "A".."Z" or "F1".."F12"; 0 for anything else.
uint16_t KeyCode(StringView key) {
    if (key.size() == 1 && key[0] >= u'A' && key[0] <= u'Z') return key[0];
    if (key.size() < 2 || key.size() > 3 || key[0] != u'F') return 0;
    unsigned n = 0;
    for (char16_t c : key.substr(1)) {
        if (c < u'0' || c > u'9') return 0;
        n = n * 10 + (c - u'0');
    }
    if (key[1] == u'0' || n < 1 || n > 12) return 0;
    return static_cast<uint16_t>(kVkF1 + n - 1);
}

}  // namespace

std::optional<Shortcut> ParseShortcut(StringView text) {
    Shortcut s;
    for (;;) {
        const size_t plus = text.find(u'+');
        if (plus == StringView::npos) break;
        const StringView word = text.substr(0, plus);
        if (word == u"Ctrl" && !s.ctrl && !s.shift)
            s.ctrl = true;
        else if (word == u"Shift" && !s.shift)
            s.shift = true;
        else
            return std::nullopt;
        text.remove_prefix(plus + 1);
    }
    s.vk = KeyCode(text);
    if (s.vk == 0) return std::nullopt;
    const bool letter = s.vk < kVkF1;
    if (letter && !s.ctrl) return std::nullopt;
    return s;
}

}  // namespace tq
