// A menu entry's shortcut as written out in TeclaExtenso ("Ctrl+Shift+F5", "Ctrl+A", "F2"),
// read back into the key and modifiers a keyboard handler matches.
//
// The keys are the ones the designer can record: F1-F12 and A-Z, with Ctrl and/or Shift, the
// modifiers before the key, each once, joined by "+", all case-sensitive.  A letter fires only
// with Ctrl: a bare letter or Shift+letter is typing (a text box on the form must get it), so
// such a text parses as no shortcut.  Anything else ("", "Alt+F4", "Ctrl+1", "ctrl+a", "A+Ctrl")
// is no shortcut either.
#pragma once

#include <cstdint>
#include <optional>

#include "tq/ustring.h"

namespace tq {

struct Shortcut {
    // The Windows virtual-key code: 'A'..'Z' (0x41-0x5A) or VK_F1..VK_F12 (0x70-0x7B).
    uint16_t vk = 0;
    bool ctrl = false;
    bool shift = false;

    // One number per shortcut, for lookups: the key in the low byte, Ctrl and Shift above it.
    uint16_t Code() const {
        return static_cast<uint16_t>(vk | (ctrl ? 0x100 : 0) | (shift ? 0x200 : 0));
    }
    friend bool operator==(const Shortcut&, const Shortcut&) = default;
};

std::optional<Shortcut> ParseShortcut(StringView text);

}  // namespace tq
