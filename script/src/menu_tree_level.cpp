#include <memory>

#include "tq/com/com_ptr.h"
#include "tq/com/error_info.h"
#include "tq/com/strings.h"
#include "tq/com/variant.h"
#include "tq/script/script_file.h"
#include "tqBiblioteca.h"

namespace tq::script {

namespace {

using com::Check;
using com::ComPtr;

class ComMenuLevel final : public MenuLevel {
  public:
    explicit ComMenuLevel(MenuTree* tree) : tree_(tree) {}

    size_t Count() override {
        short n = 0;
        Check(tree_->get_Count(&n));
        return n > 0 ? static_cast<size_t>(n) : 0;
    }

    Entry At(size_t i) override {
        com::Variant index = com::Variant::FromLong(static_cast<LONG>(i + 1));
        ComPtr<MenuItem> item;
        Check(tree_->get_Item(index, item.put()));
        if (!item) throw Error(hr::kFail, u"MenuTree.Item devolveu Nothing");
        com::Bstr caption, nome;
        Check(item->get_Caption(caption.put()));
        Check(item->get_Nome(nome.put()));
        ComPtr<MenuTree> sub;
        Check(item->get_SubMenu(sub.put()));
        Entry e{caption.portable(), nome.portable(), nullptr};
        // A SubMenu is never Nothing; were it so, the entry is taken for a leaf.
        if (sub) e.sub = std::make_unique<ComMenuLevel>(sub.get());
        return e;
    }

  private:
    ComPtr<MenuTree> tree_;
};

}  // namespace

std::unique_ptr<MenuLevel> MenuTreeLevel(MenuTree* tree) {
    if (!tree) throw Error(hr::kInvalidArg, u"Nenhum MenuTree foi dado");
    return std::make_unique<ComMenuLevel>(tree);
}

}  // namespace tq::script
