// An in-memory menu for the script writer's tests (native and under Wine).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tq/script/script_writer.h"

namespace tq::script::testing {

struct Node {
    String caption;
    String nome;
    std::vector<Node> children;
};

// Counts what the writer asks of the source, to check the order of its reads.
struct ReadLog {
    std::vector<std::string> events;
};

class NodeLevel final : public MenuLevel {
  public:
    NodeLevel(const std::vector<Node>& nodes, ReadLog* log = nullptr, std::string name = "top")
        : nodes_(nodes), log_(log), name_(std::move(name)) {}

    size_t Count() override {
        if (log_) log_->events.push_back("count " + name_);
        return nodes_.size();
    }
    void At(size_t i, Entry& out) override {
        const Node& n = nodes_.at(i);
        if (log_) log_->events.push_back("at " + name_ + " " + std::to_string(i));
        out.caption = n.caption;
        out.nome = n.nome;
        out.sub = std::make_unique<NodeLevel>(n.children, log_, ToUtf8(n.nome));
    }

  private:
    const std::vector<Node>& nodes_;
    ReadLog* log_;
    std::string name_;
};

// The menu of the export's reference example: Arquivo (Novo, Sair) and Ajuda (Sobre).
inline std::vector<Node> TwoMenuExample() {
    return {
        Node{u"&Arquivo", u"ARQ", {Node{u"&Novo", u"NOVO", {}}, Node{u"&Sair", u"SAIR", {}}}},
        Node{u"A&juda", u"AJUDA", {Node{u"&Sobre", u"SOBRE", {}}}},
    };
}

inline constexpr char kTwoMenuScript[] =
    "Arquivo*ARQ^A\r\n"
    "   Novo*NOVO^ARQ\r\n"
    "   Sair*SAIR^ARQ\r\n"
    "Ajuda*AJUDA^A\r\n"
    "   Sobre*SOBRE^AJUDA\r\n";

}  // namespace tq::script::testing
