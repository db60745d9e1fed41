#include "tq/model/bib_menu_source.h"

#include <string>

#include "tq/error.h"

namespace tq::model {

namespace {

class BibEntry final : public IMenuEntry {
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
    std::unique_ptr<IMenuLevel> SubMenu() override { return WrapMenuTree(item_->SubMenu()); }

  private:
    std::shared_ptr<bib::MenuItem> item_;
};

class BibLevel final : public IMenuLevel {
  public:
    explicit BibLevel(std::shared_ptr<bib::MenuTree> tree) : tree_(std::move(tree)) {}

    int32_t Count() override { return static_cast<int32_t>(tree_->Count()); }

    std::unique_ptr<IMenuEntry> Item(int32_t position) override {
        std::shared_ptr<bib::MenuItem> item;
        if (position >= 1) item = tree_->At(static_cast<size_t>(position));
        if (!item)
            throw Error(hr::kBadIndex,
                        u"MenuTree: no entry at position " + FromUtf8(std::to_string(position)));
        return std::make_unique<BibEntry>(std::move(item));
    }

    std::unique_ptr<IMenuEntry> Item(const String& nome) override {
        auto item = tree_->Find(nome);
        if (!item) throw Error(hr::kBadIndex, u"MenuTree: no entry named '" + nome + u"'");
        return std::make_unique<BibEntry>(std::move(item));
    }

    void Add(const String& caption, const String& nome) override { tree_->Add(caption, nome); }
    void Clear() override { tree_->Clear(); }

  private:
    std::shared_ptr<bib::MenuTree> tree_;
};

}  // namespace

std::unique_ptr<IMenuLevel> WrapMenuTree(std::shared_ptr<bib::MenuTree> tree) {
    if (!tree) throw Error(hr::kInvalidArg, u"MenuTree: no tree");
    return std::make_unique<BibLevel>(std::move(tree));
}

}  // namespace tq::model
