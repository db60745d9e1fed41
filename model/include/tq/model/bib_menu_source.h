// IMenuLevel over tqBiblioteca's portable core: the designer's MenuTree natively (tests,
// benchmarks, and any non-COM host).
#pragma once

#include <memory>

#include "tq/bib/menu_tree.h"
#include "tq/model/menu_source.h"

namespace tq::model {

// A level handle for `tree` (not null).  The handle and every handle reached from it share
// ownership of the objects they stand for.
std::unique_ptr<IMenuLevel> WrapMenuTree(std::shared_ptr<bib::MenuTree> tree);

}  // namespace tq::model
