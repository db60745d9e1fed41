#include <memory>
#include <string_view>

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
    // `count`: the level's Count when the caller already read it.
    explicit ComMenuLevel(MenuTree* tree, short count = -1) : tree_(tree), count_(count) {}

    size_t Count() override {
        short n = count_;
        count_ = -1;
        if (n < 0) Check(tree_->get_Count(&n));
        return n > 0 ? static_cast<size_t>(n) : 0;
    }

    void At(size_t i, Entry& out) override {
        com::Variant index = com::Variant::FromLong(static_cast<LONG>(i + 1));
        ComPtr<MenuItem> item;
        Check(tree_->get_Item(index, item.put()));
        if (!item) throw Error(hr::kFail, u"MenuTree.Item devolveu Nothing");
        Assign(out.caption, [&](BSTR* b) { return item->get_Caption(b); });
        Assign(out.nome, [&](BSTR* b) { return item->get_Nome(b); });
        ComPtr<MenuTree> sub;
        Check(item->get_SubMenu(sub.put()));
        // A SubMenu is never Nothing; were it so, the entry is taken for a leaf.  Its Count is
        // read here, once: a leaf (the common case) then costs no level object at all.
        out.sub.reset();
        if (!sub) return;
        short n = 0;
        Check(sub->get_Count(&n));
        if (n > 0) out.sub = std::make_unique<ComMenuLevel>(sub.get(), n);
    }

  private:
    // Copies a BSTR property into `s`, reusing its buffer.
    template <class Get>
    static void Assign(String& s, Get get) {
        com::Bstr b;
        Check(get(b.put()));
        const std::wstring_view v = b.view();
        s.assign(reinterpret_cast<const char16_t*>(v.data()), v.size());
    }

    ComPtr<MenuTree> tree_;
    short count_;
};

}  // namespace

std::unique_ptr<MenuLevel> MenuTreeLevel(MenuTree* tree) {
    if (!tree) throw Error(hr::kInvalidArg, u"Nenhum MenuTree foi dado");
    return std::make_unique<ComMenuLevel>(tree);
}

}  // namespace tq::script
