// IMenuLevel over tqBiblioteca's portable core, with no COM in between: an in-memory MenuTree for
// the tests and benchmarks of the designer and the script writer.
#pragma once

#include <memory>

#include "tq/bib/menu_level.h"
#include "tq/bib/menu_tree.h"

namespace tq::model {

// A handle for `tree`; it and every handle reached from it share ownership.
std::unique_ptr<bib::IMenuLevel> WrapMenuTree(std::shared_ptr<bib::MenuTree> tree);

}  // namespace tq::model
