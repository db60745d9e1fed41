// Shortcuts that fire (the AtalhosAtivos property): a key press whose keys and modifiers are an
// entry's TeclaExtenso sends the form the WM_COMMAND a pick of that entry sends, with high word
// 1 as an accelerator's, so it reaches MenuClick through WindowProc like any pick.
//
// How keys are seen: one WH_KEYBOARD hook per thread, installed with the first form that has
// shortcuts and removed with the last.  The hook runs inside the thread's GetMessage/PeekMessage
// before the message loop sees the key, so it needs nothing of the container: neither Wine's
// ATL host nor a classic form designer routes accelerators to a control.  A key that is a
// shortcut is swallowed there (the container's own accelerators and the focused window never
// see it, so nothing fires twice); every other key passes untouched.  It fires only
//  - on the press, not on auto-repeat or release, and never with Alt held;
//  - outside menu mode (an open menu owns the keyboard);
//  - for the form that holds the focus (or is active): two forms on a thread each use their
//    own shortcuts, and a dialog or another window of the thread sees its keys as usual;
//  - for an entry that is on the form's current bar and enabled there; the bar builder leaves
//    out entries inside hidden or disabled submenus.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>

namespace tq::ctl {

// The shortcuts of one form's bar, by Shortcut::Code(): a flat table, so a key press costs the
// same with 10 entries as with 10,000.
class ShortcutTable {
  public:
    // Where a bound entry sits: its command, and the menu (the bar or a popup of it) and 0-based
    // position it was put at, so a key press reads its state there instead of searching the
    // whole bar for the command.
    struct Entry {
        UINT id = 0;
        HMENU menu = nullptr;
        UINT pos = 0;
    };
    // Binds `code` to command `id` at `menu`/`pos`, unless an earlier entry (in menu order) has
    // the code.
    void Add(uint16_t code, UINT id, HMENU menu = nullptr, UINT pos = 0);
    // The command bound to `code`, or 0.
    UINT Find(uint16_t code) const { return At(code).id; }
    Entry At(uint16_t code) const { return code < entries_.size() ? entries_[code] : Entry{}; }
    bool empty() const { return count_ == 0; }
    // The bar the entries were put on (the places above hold only while it is the form's).
    void SetBar(HMENU bar) { bar_ = bar; }
    HMENU Bar() const { return bar_; }

  private:
    std::array<Entry, 0x400> entries_{};
    size_t count_ = 0;
    HMENU bar_ = nullptr;
};

// Gives `form` the shortcuts of `table` on behalf of `owner` (the control whose bar it is),
// replacing what the form had; an empty table removes the form.  Throws when the hook cannot
// be installed.
void SetFormShortcuts(HWND form, const void* owner, const ShortcutTable& table);
// Removes `form`'s shortcuts if `owner` set them (a control going away leaves another's alone);
// with `owner` null, whoever set them (the form is being destroyed).
void RemoveFormShortcuts(HWND form, const void* owner) noexcept;
// Removes every form `owner` set shortcuts for.
void RemoveOwnerShortcuts(const void* owner) noexcept;

// Whether the calling thread's keyboard hook is in place (tests).
bool ShortcutHookInstalled() noexcept;

// The hook's decision for a key press `vk` with Ctrl/Shift as given, with the focus on `focus`:
// true, with the form and the command, when it is a shortcut there.  Reads the form's bar for
// the entry's state.
bool FindShortcut(HWND focus, UINT vk, bool ctrl, bool shift, HWND* form, UINT* id) noexcept;

}  // namespace tq::ctl
