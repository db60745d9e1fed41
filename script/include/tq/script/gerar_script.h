// Script export of a menu tree: asks the user for a file name and writes one line per entry
// into "<drive root>Rudadod\Controller\<name>.Ini" through Scripting.FileSystemObject.
#pragma once

#include <windows.h>
#include <oaidl.h>

struct MenuTree;  // tqBiblioteca's dual interface (generated header tqBiblioteca.h)

namespace tq::script {

// The whole export as the control's GerarScript method runs it.  A name that would leave the
// folder or names no ordinary file in it (CheckScriptName) is refused with a message box
// ("Alerta!", style 48) and asked for again, so nothing is written outside the folder.  `owner`
// owns the dialogs; `library_path` is the full path of the control library (its drive root names
// the target folder).  Always leaves `result` Empty.  Errors (the file system object's included)
// come back as a failed HRESULT with error info set.
HRESULT GerarScript(HWND owner, MenuTree* tree, const wchar_t* library_path, VARIANT* result);

}  // namespace tq::script
