// IMenuLevel over tqBiblioteca's COM MenuTree: the tree the property page reads from the
// selected control and rebuilds on apply.  Every member is one call through the dual vtable;
// a failed call is thrown as tq::Error carrying the callee's HRESULT and its error text, so
// that the page model's traps (AdicionaNo, the moves) see COM failures like any other.
#pragma once

#include <objbase.h>

#include <memory>

#include "tqBiblioteca.h"
#include "tq/com/com_ptr.h"
#include "tq/model/menu_source.h"

namespace tq::designer::win {

// A level handle that holds a reference to `tree` (not null).
std::unique_ptr<model::IMenuLevel> WrapComMenuTree(com::ComPtr<::MenuTree> tree);

// The MenuTree behind a level handle made by WrapComMenuTree (null for any other handle).
::MenuTree* ComMenuTreeOf(model::IMenuLevel& level);

// Throws tq::Error(hr, the thread's error text or a text naming `what`) when hr failed.
void ThrowIfFailed(HRESULT hr, const wchar_t* what);

}  // namespace tq::designer::win
