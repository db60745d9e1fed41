// The property page tqMenuProperty as a COM class (IPropertyPage2), for the tqMenuCtl module.
//
// The page is a thin Win32 view (page_window.h) over the portable page model: the frame's
// calls map onto the page events
//   SetObjects  -> PropertyPage_SelectionChanged (first object; its "MenuTree" read by name)
//   Apply       -> PropertyPage_ApplyChanges, then "MenuTree" set by reference, by name
//   Deactivate and the final Release -> PropertyPage_Terminate
// and the model's Changed flag goes to IPropertyPageSite::OnStatusChange and IsPageDirty.
#pragma once

#include <objbase.h>
#include <oaidl.h>

namespace tq::designer {

// Creates a page object (for DllGetClassObject's class table).
HRESULT CreateMenuPropertyPage(REFIID iid, void** out);

// Where the page's "Gera Script" button finds the control it calls GerarScript on: the module
// state gctlMenu, the tqMenu shown last on this thread.  The function returns a new reference,
// or null when there is none.  Without a control (no source set, none shown, or the one shown
// last is gone) the button says so: "Nenhum controle tqMenu está ativo para gerar o script."
using ScriptControlSource = IDispatch* (*)();
void SetScriptControlSource(ScriptControlSource source);

}  // namespace tq::designer
