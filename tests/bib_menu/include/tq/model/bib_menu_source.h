// IMenuLevel over tqBiblioteca's portable core, with no COM in between: an in-memory MenuTree for
// the tests and benchmarks of the designer and the script writer.
#pragma once

#include <memory>

#include "tq/bib/menu_level.h"
#include "tq/bib/menu_tree.h"

namespace tq::model {

// Sees each read of a level (named by its entry's Nome, "top" for the first), to log or fail it.
class ReadObserver {
  public:
    virtual void OnCount(StringView level) = 0;
    virtual void OnItem(StringView level, int32_t position) = 0;

  protected:
    ~ReadObserver() = default;
};

// A handle for `tree` (not null); it and every handle reached from it share ownership.
std::unique_ptr<bib::IMenuLevel> WrapMenuTree(std::shared_ptr<bib::MenuTree> tree,
                                              ReadObserver* observer = nullptr);

}  // namespace tq::model
