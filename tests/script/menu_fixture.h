// An in-memory menu for the script writer's tests (native and under Wine).
#pragma once

#include <memory>
#include <vector>

#include "tq/error.h"
#include "tq/model/bib_menu_source.h"

namespace tq::script::testing {

struct Node {
    String caption, nome;
    std::vector<Node> children;
};

inline void Build(bib::MenuTree& tree, const std::vector<Node>& nodes) {
    for (const Node& n : nodes) {
        auto item = tree.Add(n.caption, n.nome);
        if (!n.children.empty()) Build(*item->SubMenu(), n.children);
    }
}

// The nodes as a level; with `fail_at`, reading the top level's entry at that position fails.
class NodeLevel final : public model::BibLevel {
  public:
    explicit NodeLevel(const std::vector<Node>& nodes, int32_t fail_at = 0)
        : BibLevel(bib::MenuTree::Create()), fail_at_(fail_at) {
        Build(*tree_, nodes);
    }
    using BibLevel::Item;
    std::unique_ptr<bib::IMenuEntry> Item(int32_t i) override {
        if (i == fail_at_) throw Error(hr::kBadIndex, u"sem item");
        return BibLevel::Item(i);
    }

  private:
    int32_t fail_at_;
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
