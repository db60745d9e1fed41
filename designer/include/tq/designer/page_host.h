// What the page model needs from the page around it, and how it tells a view what changed.
//
// The property page COM object is the host (MessageBoxW, a PeekMessage loop, the property page
// site, the control kept in the module state gctlMenu); tests fake it.  The Win32 form is the
// view.
#pragma once

#include <cstdint>

#include "tq/designer/form.h"
#include "tq/designer/node_tree.h"
#include "tq/ustring.h"

namespace tq::designer {

// Message box answers and styles used by the page.
inline constexpr int32_t kMsgOk = 1;
inline constexpr int32_t kMsgYes = 6;
inline constexpr int32_t kMsgNo = 7;
inline constexpr int32_t kStyleQuestion = 52;  // Yes/No (4) + exclamation (48)
inline constexpr int32_t kStyleWarning = 48;   // OK + exclamation

// The page's host.  With no host, a message box answers No, the pump does nothing, Changed
// stays in the model and the script button fails as a call through an empty object reference
// does.
class IPageHost {
  public:
    // Shows the box and returns the button chosen (kMsgYes, kMsgNo, kMsgOk).
    virtual int32_t MsgBox(const String& text, int32_t style, const String& title) = 0;
    // One pass over the window messages waiting for the page's thread.  Handlers that run
    // during it may call back into the page model.
    virtual void ProcessPendingMessages() = 0;
    // The page's Changed flag, as the property page site sees it: true asks the frame to offer
    // an apply.
    virtual void SetChanged(bool changed) = 0;
    // GerarScript on the control held in the module state gctlMenu (the tqMenu shown last on
    // this thread), its result ignored.  With no such control, throw tq::Error.
    virtual void GerarScript() = 0;

  protected:
    ~IPageHost() = default;
};

// The view of the page model.  Tree changes come through INodeTreeObserver (node added, about to
// be removed, changed, tree cleared, selection changed); form changes through OnControlChanged,
// after which the view reads that control's state from PageModel::form() (for lstMenu: all its
// rows); focus moves the page makes itself through OnFocusMoved.  Changes the view reports to
// the model (typing, ticking, choosing, the user's focus moves and selections) are not echoed
// back.  All calls happen on the page's thread, inside the model's handlers.
class IPageView : public INodeTreeObserver {
  public:
    virtual void OnControlChanged(Control /*control*/) {}
    virtual void OnFocusMoved(Control /*control*/) {}

  protected:
    ~IPageView() = default;
};

}  // namespace tq::designer
