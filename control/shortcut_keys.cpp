#include "shortcut_keys.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "tq/error.h"
#include "tq/shortcut.h"

namespace tq::ctl {

namespace {

struct FormShortcuts {
    HWND form;
    const void* owner;
    std::unique_ptr<ShortcutTable> table;
};

struct ThreadShortcuts {
    HHOOK hook = nullptr;
    std::vector<FormShortcuts> forms;
};

ThreadShortcuts& State() {
    thread_local ThreadShortcuts state;
    return state;
}

bool IsShortcutKey(UINT vk) {
    return (vk >= 'A' && vk <= 'Z') || (vk >= VK_F1 && vk <= VK_F12);
}

bool Down(int vk) {
    return (GetKeyState(vk) & 0x8000) != 0;
}

bool InMenuMode() {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    return GetGUIThreadInfo(GetCurrentThreadId(), &info) &&
           (info.flags & (GUI_INMENUMODE | GUI_POPUPMENUMODE | GUI_SYSTEMMENUMODE)) != 0;
}

LRESULT CALLBACK KeyboardHook(int code, WPARAM wparam, LPARAM lparam) {
    // lParam: bit 31 set on release, bit 30 on auto-repeat, bit 29 with Alt held.
    constexpr LPARAM kReleaseRepeatAlt = (LPARAM{1} << 31) | (LPARAM{1} << 30) | (LPARAM{1} << 29);
    const UINT vk = static_cast<UINT>(wparam);
    if (code == HC_ACTION && (lparam & kReleaseRepeatAlt) == 0 && IsShortcutKey(vk) &&
        !Down(VK_MENU) && !InMenuMode()) {
        HWND focus = GetFocus();
        if (!focus) focus = GetActiveWindow();
        HWND form = nullptr;
        UINT id = 0;
        if (FindShortcut(focus, vk, Down(VK_CONTROL), Down(VK_SHIFT), &form, &id)) {
            SendMessageW(form, WM_COMMAND, MAKEWPARAM(id, 1), 0);
            return 1;  // swallowed: nobody else acts on this press
        }
    }
    return CallNextHookEx(State().hook, code, wparam, lparam);
}

// The state of `entry` on `form`'s current bar, MF_DISABLED when it is not there.  Read at the
// place the entry was put, when the form still has that bar and the place still holds the
// command (the flat path); otherwise by searching the bar for the command.
UINT StateOnBar(HWND form, const ShortcutTable& table, const ShortcutTable::Entry& entry) {
    const HMENU bar = GetMenu(form);
    if (entry.menu && bar && bar == table.Bar()) {
        MENUITEMINFOW mii{};
        mii.cbSize = sizeof(mii);
        mii.fMask = MIIM_ID | MIIM_STATE;
        if (GetMenuItemInfoW(entry.menu, entry.pos, TRUE, &mii) && mii.wID == entry.id)
            return mii.fState;
    }
    const UINT state = GetMenuState(bar, entry.id, MF_BYCOMMAND);
    return state == static_cast<UINT>(-1) ? MF_DISABLED : state;
}

void DropHookIfIdle(ThreadShortcuts& s) {
    if (s.forms.empty() && s.hook) {
        UnhookWindowsHookEx(s.hook);
        s.hook = nullptr;
    }
}

}  // namespace

void ShortcutTable::Add(uint16_t code, UINT id, HMENU menu, UINT pos) {
    if (code >= entries_.size() || id == 0 || entries_[code].id != 0) return;
    entries_[code] = {id, menu, pos};
    ++count_;
}

void SetFormShortcuts(HWND form, const void* owner, const ShortcutTable& table) {
    ThreadShortcuts& s = State();
    auto it = std::find_if(s.forms.begin(), s.forms.end(),
                           [form](const FormShortcuts& f) { return f.form == form; });
    if (table.empty()) {
        if (it != s.forms.end()) s.forms.erase(it);
        DropHookIfIdle(s);
        return;
    }
    if (!s.hook) {
        s.hook = SetWindowsHookExW(WH_KEYBOARD, KeyboardHook, nullptr, GetCurrentThreadId());
        if (!s.hook)
            throw tq::Error(HRESULT_FROM_WIN32(GetLastError()),
                            u"Os atalhos do menu não puderam ser ativados");
    }
    if (it == s.forms.end()) {
        s.forms.push_back({form, owner, std::make_unique<ShortcutTable>(table)});
    } else {
        it->owner = owner;
        *it->table = table;
    }
}

void RemoveFormShortcuts(HWND form, const void* owner) noexcept {
    ThreadShortcuts& s = State();
    std::erase_if(s.forms, [&](const FormShortcuts& f) {
        return f.form == form && (!owner || f.owner == owner);
    });
    DropHookIfIdle(s);
}

void RemoveOwnerShortcuts(const void* owner) noexcept {
    ThreadShortcuts& s = State();
    std::erase_if(s.forms, [owner](const FormShortcuts& f) { return f.owner == owner; });
    DropHookIfIdle(s);
}

bool ShortcutHookInstalled() noexcept {
    return State().hook != nullptr;
}

bool FindShortcut(HWND focus, UINT vk, bool ctrl, bool shift, HWND* form, UINT* id) noexcept {
    if (!focus || !IsShortcutKey(vk)) return false;
    const uint16_t code = Shortcut{static_cast<uint16_t>(vk), ctrl, shift}.Code();
    for (const FormShortcuts& f : State().forms) {
        if (f.form != focus && !IsChild(f.form, focus)) continue;
        const ShortcutTable::Entry entry = f.table->At(code);
        const UINT cmd = entry.id;
        if (cmd == 0) return false;
        // The entry as the bar shows it now: on the bar, and enabled.
        if ((StateOnBar(f.form, *f.table, entry) & (MF_GRAYED | MF_DISABLED)) != 0) return false;
        *form = f.form;
        *id = cmd;
        return true;
    }
    return false;
}

}  // namespace tq::ctl
