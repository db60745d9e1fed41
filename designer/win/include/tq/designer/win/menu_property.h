// The property page tqMenuProperty as a COM class (IPropertyPage2), for the tqMenuCtl module.
//
// The page is a thin Win32 view (page_window.h) over the portable page model: the frame's
// calls map onto the page events
//   SetObjects  -> PropertyPage_SelectionChanged (first object; its "MenuTree" read by name)
//   Apply       -> PropertyPage_ApplyChanges, then "MenuTree" set by reference, by name
//   Deactivate and the final Release -> PropertyPage_Terminate
// and the model's Changed flag goes to IPropertyPageSite::OnStatusChange and IsPageDirty.  The
// page object is the model's host: message boxes over the page, the message pump, Changed, and
// the script button.
#pragma once

#include <objbase.h>
#include <oaidl.h>

namespace tq::designer {

// Creates a page object (for DllGetClassObject's class table).
HRESULT CreateMenuPropertyPage(REFIID iid, void** out);

// The page's "Gera Script" button: GerarScript on gctlMenu, the tqMenu shown last on this
// thread, its result ignored.  Defined by the module that holds the control (the page and the
// control share tqMenuCtl.ocx); throws tq::Error ("Nenhum controle tqMenu está ativo para gerar o
// script.") when there is none, and the control's own failure as com::ComFailure.
void GenerateScriptOnShownControl();

}  // namespace tq::designer
