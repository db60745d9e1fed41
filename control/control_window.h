// The control's own small window while it is in-place active.  Hosts such as ATL's never ask
// an in-place control to draw itself, so the control paints its toolbox picture here; at run
// time the control hides it.
#pragma once

#include <windows.h>

namespace tq::ctl {

class ControlWindow {
  public:
    ControlWindow() = default;
    ControlWindow(const ControlWindow&) = delete;
    ControlWindow& operator=(const ControlWindow&) = delete;
    ~ControlWindow() { Destroy(); }

    // A child of `parent` at `pos` (client coordinates of the parent), initially hidden.
    HRESULT Create(HWND parent, const RECT& pos);
    void Destroy();
    HWND get() const { return hwnd_; }
    explicit operator bool() const { return hwnd_ != nullptr; }

    // Unregisters the window class (module unload).
    static void UnregisterClass();

  private:
    HWND hwnd_ = nullptr;
};

// Draws the toolbox picture (resource IDB_TOOLBOX) stretched over `bounds`.
HRESULT DrawToolboxPicture(HDC dc, const RECT& bounds);

}  // namespace tq::ctl
