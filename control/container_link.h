// What the control asks of its container, answered from whatever the container offers.
//
// A classic form designer gives a control an extender object (Name, Visible, Parent) and ambient
// properties on the client site's IDispatch; a plain ActiveX host such as ATL's gives neither,
// only the in-place site and its window.  Each question has a fixed order of sources:
//
//   host window  1. the "hwnd" of the extender's "Parent", when the container has an extender;
//                2. else the top-level window holding the in-place site's window
//                   (IOleInPlaceSite::GetWindow, then GetAncestor(GA_ROOT)).
//   name         1. the extender's "Name";  2. else the ambient display name;  3. else "tqMenu".
//   UserMode     the ambient UserMode; True when the container answers none (a program run).
//   hiding       the extender's "Visible" := False; without an extender the caller hides its own
//                window (HideThroughExtender answers false).
//
// Where an extender exists its answers are final: a failing read of "Parent", "hwnd", "Name" or
// "Visible" is the caller's error, as the container reported it.
#pragma once

#include <ocidl.h>

#include <string>

#include "tq/com/com_ptr.h"

namespace tq::ctl {

class ContainerLink final {
  public:
    void SetSite(IOleClientSite* site) { site_ = site; }
    IOleClientSite* Site() const { return site_.get(); }

    // Throws when there is no container or it cannot name the window.
    HWND HostWindow();
    // Null when the control has no container at all (a script's CreateObject); otherwise as
    // HostWindow.
    HWND HostWindowIfAny();
    std::wstring ControlName();
    bool UserMode();
    bool HideThroughExtender();

    // The extender object, or null when the container has none.
    com::ComPtr<IDispatch> Extender() const;
    // An ambient property; false when the container does not answer it.
    bool Ambient(DISPID id, VARIANT* value) const;

  private:
    com::ComPtr<IOleClientSite> site_;
};

}  // namespace tq::ctl
