// IMenuLevel over tqBiblioteca's COM MenuTree: the tree the property page reads from a control
// and rebuilds on apply, the tree the script export walks, and the tree the control's menu bar
// is built from.  Every member is one call through the dual vtable, made afresh each time.  A
// failed call is thrown as tq::Error carrying the callee's HRESULT and its error text, so that
// portable code (the designer's traps, the page's messages) sees COM failures like any other.
#pragma once

#include <memory>

#include "tq/bib/menu_level.h"
#include "tq/com/com_ptr.h"
#include "tqBiblioteca.h"

namespace tq::bib {

// A level handle that holds a reference to `tree`; an error when `tree` is null.
std::unique_ptr<IMenuLevel> WrapComMenuTree(com::ComPtr<::MenuTree> tree);

}  // namespace tq::bib
