// IMenuLevel over tqBiblioteca's portable core, with no COM in between: an in-memory MenuTree for
// the tests and benchmarks of the designer and the script writer.
#pragma once

#include <memory>

#include "tq/bib/menu_level.h"
#include "tq/bib/menu_tree.h"
#include "tq/error.h"

namespace tq::model {

class BibEntry final : public bib::IMenuEntry {
  public:
    explicit BibEntry(std::shared_ptr<bib::MenuItem> item) : item_(std::move(item)) {}
    String Caption() override { return item_->Caption(); }
    void SetCaption(String v) override { item_->SetCaption(std::move(v)); }
    String Nome() override { return item_->Nome(); }
    String TextoMenu() override { return item_->TextoMenu(); }
    void SetTextoMenu(String v) override { item_->SetTextoMenu(std::move(v)); }
    String TeclaExtenso() override { return item_->TeclaExtenso(); }
    void SetTeclaExtenso(String v) override { item_->SetTeclaExtenso(std::move(v)); }
    String Descricao() override { return item_->Descricao(); }
    void SetDescricao(String v) override { item_->SetDescricao(std::move(v)); }
    bool MenuConsulta() override { return item_->MenuConsulta(); }
    void SetMenuConsulta(bool v) override { item_->SetMenuConsulta(v); }
    bool Visivel() override { return item_->Visivel(); }
    void SetVisivel(bool v) override { item_->SetVisivel(v); }
    bool VisivelDefault() override { return item_->VisivelDefault(); }
    void SetVisivelDefault(bool v) override { item_->SetVisivelDefault(v); }
    bool Habilitado() override { return item_->Habilitado(); }
    void SetHabilitado(bool v) override { item_->SetHabilitado(v); }
    bool HabilitadoDefault() override { return item_->HabilitadoDefault(); }
    void SetHabilitadoDefault(bool v) override { item_->SetHabilitadoDefault(v); }
    int32_t HndMenu() override { return item_->HndMenu(); }
    void SetHndMenu(int32_t v) override { item_->SetHndMenu(v); }
    std::unique_ptr<bib::IMenuLevel> SubMenu() override;

  private:
    std::shared_ptr<bib::MenuItem> item_;
};

class BibLevel : public bib::IMenuLevel {
  public:
    explicit BibLevel(std::shared_ptr<bib::MenuTree> tree) : tree_(std::move(tree)) {}
    int32_t Count() override { return static_cast<int32_t>(tree_->Count()); }
    std::unique_ptr<bib::IMenuEntry> Item(int32_t position) override {
        return Entry(tree_->At(static_cast<size_t>(position)));  // null for 0 and negatives
    }
    std::unique_ptr<bib::IMenuEntry> Item(const String& nome) override {
        return Entry(tree_->Find(nome));
    }
    void Add(const String& caption, const String& nome) override { tree_->Add(caption, nome); }
    void Clear() override { tree_->Clear(); }

  protected:
    static std::unique_ptr<bib::IMenuEntry> Entry(std::shared_ptr<bib::MenuItem> item) {
        if (!item) throw Error(hr::kBadIndex, u"MenuTree: no such entry");
        return std::make_unique<BibEntry>(std::move(item));
    }
    std::shared_ptr<bib::MenuTree> tree_;
};

inline std::unique_ptr<bib::IMenuLevel> BibEntry::SubMenu() {
    return std::make_unique<BibLevel>(item_->SubMenu());
}

inline std::unique_ptr<bib::IMenuLevel> WrapMenuTree(std::shared_ptr<bib::MenuTree> tree) {
    return std::make_unique<BibLevel>(std::move(tree));
}

}  // namespace tq::model
