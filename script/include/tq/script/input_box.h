// A modal input box for Win32, which has none of its own: a prompt, an edit box and the buttons
// OK and Cancelar, as the familiar InputBox of the classic form runtimes behaves:
//  - owned by (and modal to) `owner`, centred on it (on the owner's monitor work area when there
//    is no visible owner), kept inside that work area;
//  - the edit box starts with `default_text`, all of it selected, and has the focus;
//  - Enter is OK and Esc is Cancelar (OK is the default button);
//  - OK returns the text as typed; Cancelar or closing the box returns "", as does OK on an
//    empty edit box.
// The box is built from an in-memory dialog template, so the library needs no resources.
// Throws tq::Error when the dialog cannot be created.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace tq::script {

// Control identifiers inside the box (OK and Cancelar are IDOK and IDCANCEL).
inline constexpr int kInputBoxEditId = 1000;
inline constexpr int kInputBoxPromptId = 1001;

std::wstring InputBox(HWND owner, std::wstring_view prompt, std::wstring_view title,
                      std::wstring_view default_text);

}  // namespace tq::script
