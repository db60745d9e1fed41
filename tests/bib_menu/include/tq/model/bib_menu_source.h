// IMenuLevel over tqBiblioteca's portable core: an in-memory MenuTree for the tests and
// benchmarks of the designer and the script writer, with no COM in between.
#pragma once

#include <memory>

#include "tq/bib/menu_level.h"
#include "tq/bib/menu_tree.h"

namespace tq::model {

// Sees the reads of a level's entries, to log their order or to fail one of them.  `level` is
// the Nome of the entry whose SubMenu the level is, "top" for the level first wrapped.
class ReadObserver {
  public:
    virtual void OnCount(StringView level) = 0;
    virtual void OnItem(StringView level, int32_t position) = 0;

  protected:
    ~ReadObserver() = default;
};

// A level handle for `tree` (not null).  The handle and every handle reached from it share
// ownership of the objects they stand for, and report to `observer` when one is given.
std::unique_ptr<bib::IMenuLevel> WrapMenuTree(std::shared_ptr<bib::MenuTree> tree,
                                              ReadObserver* observer = nullptr);

}  // namespace tq::model
