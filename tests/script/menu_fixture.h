// An in-memory menu for the script writer's tests (native and under Wine).
#pragma once

#include <memory>
#include <vector>

#include "tq/error.h"
#include "tq/model/bib_menu_source.h"

namespace tq::script::testing {

struct Node {
    String caption;
    String nome;
    std::vector<Node> children;
};

// The nodes as a level; with `fail_at`, reading the top level's entry at that position fails.
class NodeLevel final : public bib::IMenuLevel {
  public:
    explicit NodeLevel(const std::vector<Node>& nodes, int32_t fail_at = 0)
        : fail_at_(fail_at), level_(model::WrapMenuTree(Build(nodes))) {}

    int32_t Count() override { return level_->Count(); }
    std::unique_ptr<bib::IMenuEntry> Item(int32_t i) override {
        if (i == fail_at_) throw Error(hr::kBadIndex, u"sem item");
        return level_->Item(i);
    }
    std::unique_ptr<bib::IMenuEntry> Item(const String& n) override { return level_->Item(n); }
    void Add(const String& caption, const String& nome) override { level_->Add(caption, nome); }
    void Clear() override { level_->Clear(); }

  private:
    static std::shared_ptr<bib::MenuTree> Build(const std::vector<Node>& nodes) {
        auto top = bib::MenuTree::Create();
        std::vector<std::pair<const std::vector<Node>*, bib::MenuTree*>> todo{{&nodes, top.get()}};
        while (!todo.empty()) {
            auto [level, tree] = todo.back();
            todo.pop_back();
            for (const Node& n : *level) {
                auto item = tree->Add(n.caption, n.nome);
                if (!n.children.empty()) todo.emplace_back(&n.children, item->SubMenu().get());
            }
        }
        return top;
    }

    int32_t fail_at_;
    std::unique_ptr<bib::IMenuLevel> level_;
};

// The export's reference example: Arquivo (Novo, Sair) and Ajuda (Sobre), and its script.
inline std::vector<Node> TwoMenuExample() {
    return {
        Node{u"&Arquivo", u"ARQ", {Node{u"&Novo", u"NOVO", {}}, Node{u"&Sair", u"SAIR", {}}}},
        Node{u"A&juda", u"AJUDA", {Node{u"&Sobre", u"SOBRE", {}}}},
    };
}
inline constexpr char kTwoMenuScript[] =
    "Arquivo*ARQ^A\r\n   Novo*NOVO^ARQ\r\n   Sair*SAIR^ARQ\r\n"
    "Ajuda*AJUDA^A\r\n   Sobre*SOBRE^AJUDA\r\n";

}  // namespace tq::script::testing
