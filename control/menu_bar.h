// The form's menu bar, built from a MenuTree: ReExibirMenu, MontarMenu, DefineMenu,
// CriarItemMenu and ReloadDefault/RecarregarPadrao of the tqMenu control.
//
// The bar is always rebuilt whole.  Every entry put on it takes the next command identifier of
// the control (1000, 1001, ... up to 65535, then from 1000 again, never one the current bar
// already uses: command_ids.h), and the identifier of a leaf, or the popup handle of an entry
// with children, goes into the entry's HndMenu, where the window procedure finds it again when
// the user picks the entry.
//
// Menu and window handles are kept as 32-bit signed values on both targets, as the control's
// callers see them (HandleToLong/LongToHandle: user handles fit in 32 bits on Win64 too).
//
// With shortcuts on (AtalhosAtivos), a leaf whose TeclaExtenso is not empty shows its Caption, a
// tab and TeclaExtenso, so Windows puts the key in the bar's right-aligned shortcut column;
// every other entry, and every entry with shortcuts off, shows TextoMenu.  The build also
// collects the bar's shortcut table: each leaf whose TeclaExtenso is a shortcut and whose whole
// path is enabled (hidden entries are not on the bar at all), the first in menu order winning
// a key used twice.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "command_ids.h"
#include "shortcut_keys.h"
#include "tq/bib/menu_level.h"
#include "tq/com/com_ptr.h"
#include "tqMenuCtl.h"

namespace tq::ctl {

// What building the bar needs of the control that owns it.
class MenuOwner {
  public:
    // The control's MenuTree getter (creates an empty tree when there is none).  The bar reads
    // the tree only through it.
    virtual com::ComPtr<::MenuTree> Tree() = 0;
    // The host window (the form), looked up afresh on every call.
    virtual HWND HostWindow() = 0;
    // The control's name on the form: the title of the one entry of an empty tree's bar.
    virtual std::wstring ControlName() = 0;

  protected:
    ~MenuOwner() = default;
};

class MenuBar {
  public:
    static constexpr LONG kFirstId = CommandIds::kFirst;

    // `ultimo_id` is the identifier handed out last; a control starts from 0 (the first entry
    // then gets 1000).
    explicit MenuBar(MenuOwner& owner, LONG ultimo_id = 0) : owner_(owner), ids_(ultimo_id) {}

    // With `exibir` false, leaves the window's menu alone.  Otherwise destroys the window's
    // current menu (ours or the form's own) and builds a new bar from the tree.
    void ReExibirMenu(bool exibir);
    // Appends the visible entries of `level` (and, depth first, their children) to the menu
    // `hnd_pai`; never clears it.
    void DefineMenu(::MenuTree* level, LONG hnd_pai);
    // Every entry's Habilitado := HabilitadoDefault, at every depth; the bar shows it after the
    // next ReExibirMenu.
    void ReloadDefault();
    // Whether the next builds show shortcuts in the shortcut column and collect them.
    void SetAtalhos(bool on) { atalhos_ = on; }
    // The shortcuts of the entries built since the last rebuild (empty with shortcuts off).
    const ShortcutTable& Shortcuts() const { return shortcuts_; }

    LONG HndMenu() const { return hnd_menu_; }
    LONG UltimoId() const { return ids_.Ultimo(); }
    // Whether an entry built since the last rebuild (by ReExibirMenu or DefineMenu) carries the
    // command identifier `id`.
    bool UsesId(LONG id) const { return ids_.EmUso(id); }

  private:
    // A level of the walk: its entries are read through `level` afresh on every use.
    struct Frame {
        std::unique_ptr<bib::IMenuLevel> level;
        LONG hnd_pai;
        int32_t count;  // read once, when the level's loop starts
        int32_t i;      // 1-based position of the entry being built
        bool enabled;   // every entry above the level is enabled
    };

    void MontarMenu();
    void Define(std::unique_ptr<bib::IMenuLevel> level, LONG hnd_pai);
    // Builds the entry f.i of f.level (nothing when it is hidden); returns its child level's
    // frame when it has children.  `depth` is the nesting of f.level (the bar's is 1).
    std::optional<Frame> DefineEntry(const Frame& f, size_t depth);
    // Inserts one entry at the end of `hnd_pai`; returns the popup handle (entry with children),
    // the new identifier (leaf), or 0 when Windows refused the entry.
    LONG CriarItemMenu(LONG hnd_pai, std::wstring_view texto, bool habilitado, bool tem_filhos);

    MenuOwner& owner_;
    LONG hnd_menu_ = 0;  // the bar last read from the window or created
    CommandIds ids_;     // the identifiers handed out, and those the current bar uses
    std::string ansi_;   // the entry text being inserted
    bool atalhos_ = false;
    ShortcutTable shortcuts_;
};

// Bridges between the 32-bit handle values and Win32 handles.
inline HMENU MenuFromLong(LONG h) {
    return static_cast<HMENU>(LongToHandle(h));
}
inline LONG LongFromMenu(HMENU h) {
    return HandleToLong(h);
}

}  // namespace tq::ctl
