// mdlMenu: the window procedure that turns a pick on the form's menu bar into MenuClick.
//
// UserControl_Show (TqMenu::Show) installs WindowProc on the form with SetWindowLongPtrA
// (SetWindowLongA on the 32-bit target).  WindowProc passes every message on with
// CallWindowProcA first; for WM_COMMAND whose low word is an identifier of the control's current
// bar, it then looks that identifier up in the control's MenuTree (ItemPorHnd, through the
// MenuTree getter) and raises MenuClick with the entry found.  The previous procedure's result is
// always what Windows gets.
//
// Choices made here:
//  - State is kept per host window, not per thread: two forms on one thread each reach their
//    own control and their own previous procedure.
//  - WindowProc is never chained to itself: a second Show on a window that already has it only
//    hands the window to the control shown last.
//  - The state holds the controls weakly.  Their container decides their life; a control that
//    dies while its form lives forgets itself here first (ForgetControl), so WindowProc never
//    touches a dead control.  Several controls may be shown on one form: commands go to the
//    live one shown last, and the form keeps WindowProc while any of them lives.  Once none is
//    left WindowProc keeps passing messages on and raises nothing, and the previous procedure
//    goes back in place right away when that is safe (the window's procedure is still
//    WindowProc: nobody subclassed after us), otherwise when the window is destroyed.
//  - Nothing thrown inside WindowProc reaches user32: errors are caught there and reported with
//    OutputDebugString, and the previous procedure's result is returned as always.
//  - While a subclass is in place the library stays loaded (DllCanUnloadNow answers S_FALSE).
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string_view>

#include "tq/com/com_ptr.h"
#include "tqBiblioteca.h"

namespace tq::ctl {

// What the window procedure and the property page need of a tqMenu shown on a form.
class CommandReceiver {
  public:
    // Whether the command identifier `id` belongs to an entry of the control's current bar.
    virtual bool OwnsCommand(LONG id) const = 0;
    // The control's MenuTree (throws).
    virtual com::ComPtr<::MenuTree> Tree() = 0;
    // Raises the control event `name` ("MenuClick") with `item`; the first sink failure.
    virtual HRESULT DispararEvento(std::wstring_view name, IDispatch* item) = 0;
    // The control's _tqMenu, not AddRef'd: held for the length of a call, and what the page's
    // "Gera Script" calls GerarScript on.
    virtual IDispatch* Automation() = 0;

  protected:
    ~CommandReceiver() = default;
};

// Installs WindowProc on `host` for `control`; on a window that already has it, only makes
// `control` the one that receives its commands (the others shown there stay, behind it).
// Throws on failure.
void InstallWindowProc(HWND host, CommandReceiver* control);

// `control` is going away: no window will reach it again.
void ForgetControl(CommandReceiver* control) noexcept;

// gctlMenu: the control shown last on the calling thread, or null once it is gone.  Held weakly
// like the window state: the property page's "Gera Script" asks it for GerarScript.
void SetShownControl(CommandReceiver* control) noexcept;
CommandReceiver* ShownControl() noexcept;

// Whether WindowProc is installed on `host` (tests, diagnostics).
bool HasWindowProc(HWND host) noexcept;

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);

// The low 16 bits of a command's wParam, the identifier WindowProc looks up (0 to 65535).
inline LONG LoWord(LONG_PTR value) {
    return static_cast<LONG>(value & 0xFFFF);
}

}  // namespace tq::ctl
