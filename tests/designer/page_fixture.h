// Shared pieces of the designer's native tests, and the only fakes of the page's services: a
// fake host (message box, message pump, Changed site, script target), a view that knows the tree
// only from the model's notifications, builders and dumps of MenuTrees and designer trees, and
// a fixture that drives the page as a user does.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "tq/bib/menu_tree.h"
#include "tq/designer/page_model.h"
#include "tq/error.h"
#include "tq/model/bib_menu_source.h"
#include "tq/model/item_record.h"

namespace tq::designer::testing {

inline std::string U8(StringView s) {
    return ToUtf8(s);
}

class FakeHost : public IMessageBox,
                 public IMessagePump,
                 public IChangedFlag,
                 public IScriptTarget {
  public:
    struct Box {
        String texto;
        int32_t estilo;
        String titulo;
    };
    std::vector<Box> boxes;
    std::deque<int32_t> answers;  // for questions (style 52)
    int pumps = 0;
    std::function<void()> onPump;
    std::vector<bool> changedCalls;
    int scripts = 0;

    int32_t MsgBox(const String& texto, int32_t estilo, const String& titulo) override {
        boxes.push_back({texto, estilo, titulo});
        if (estilo != kEstiloPergunta) return kMsgOk;
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected question: " << U8(texto);
            return kMsgNo;
        }
        const int32_t a = answers.front();
        answers.pop_front();
        return a;
    }
    void ProcessPendingMessages() override {
        ++pumps;
        if (onPump) onPump();
    }
    void SetChanged(bool changed) override { changedCalls.push_back(changed); }
    void GerarScript() override { ++scripts; }

    PageServices Services() { return PageServices{this, this, this, this}; }
};

inline std::string DescribeNode(StringView key, StringView text, StringView tag, bool bold,
                                bool checked, bool expanded) {
    std::string s = U8(key) + " '" + U8(text) + "'";
    if (tag == u"Raiz") {
        s += " Raiz";
    } else if (!tag.empty()) {
        s += " nome=" + U8(model::LeCampo(tag, u"Nome").ToText());
        s += " tecla=" + U8(model::LeCampo(tag, u"TeclaExtenso").ToText());
        if (model::LeCampo(tag, u"MenuConsulta").ToBool()) s += " consulta";
        const String d = model::LeCampo(tag, u"Descricao").ToText();
        if (!d.empty()) s += " desc=" + U8(d);
    }
    return s + (bold ? " B" : "") + (checked ? " C" : "") + (expanded ? " E" : "");
}

// One line per node, pre-order, two spaces of indent per level; `expanded` adds the open marks.
inline std::string DumpTree(const NodeTree& trv, bool expanded = true) {
    std::string out;
    std::function<void(const Node*, size_t)> walk = [&](const Node* n, size_t depth) {
        for (; n; n = n->Next()) {
            out += std::string(2 * depth, ' ') +
                   DescribeNode(n->Key(), n->Text(), n->Tag(), n->Bold(), n->Checked(),
                                expanded && n->Expanded()) +
                   "\n";
            walk(n->Child(), depth + 1);
        }
    };
    walk(trv.FirstTop(), 0);
    return out;
}

// Keys in pre-order, space separated.
inline std::string Keys(const NodeTree& trv) {
    std::string out;
    std::function<void(const Node*)> walk = [&](const Node* n) {
        for (; n; n = n->Next()) {
            out += (out.empty() ? "" : " ") + U8(n->Key());
            walk(n->Child());
        }
    };
    walk(trv.FirstTop());
    return out;
}

// A view that knows the tree only from the notifications; Dump() is DumpTree of what it heard.
class MirrorView : public IPageView {
  public:
    struct M {
        const Node* parent = nullptr;
        std::vector<const Node*> kids;
        String key, text, tag;
        bool bold = false, checked = false, expanded = false;
    };
    std::unordered_map<const Node*, M> nodes;
    std::vector<const Node*> tops;
    const Node* selected = nullptr;
    std::vector<Control> controlsChanged, focusMoves;

    void OnNodeAdded(const Node& n) override {
        M m{n.Parent(), {}, n.Key(), n.Text(), n.Tag(), n.Bold(), n.Checked(), n.Expanded()};
        auto& siblings = Siblings(m.parent);
        auto pos = siblings.begin();
        if (n.Previous()) {
            pos = std::find(siblings.begin(), siblings.end(), n.Previous());
            EXPECT_NE(pos, siblings.end()) << "previous sibling unknown to the view";
            if (pos != siblings.end()) ++pos;
        }
        siblings.insert(pos, &n);
        nodes[&n] = std::move(m);
    }
    void OnNodeRemoving(const Node& n) override {
        auto& siblings = Siblings(nodes.at(&n).parent);
        siblings.erase(std::find(siblings.begin(), siblings.end(), &n));
        std::vector<const Node*> pending{&n};
        while (!pending.empty()) {
            const Node* x = pending.back();
            pending.pop_back();
            for (const Node* k : nodes.at(x).kids) pending.push_back(k);
            nodes.erase(x);
        }
    }
    void OnNodeChanged(const Node& n, NodeField f) override {
        M& m = nodes.at(&n);
        m.text = f == NodeField::Text ? n.Text() : m.text;
        m.tag = f == NodeField::Tag ? n.Tag() : m.tag;
        m.bold = f == NodeField::Bold ? n.Bold() : m.bold;
        m.checked = f == NodeField::Checked ? n.Checked() : m.checked;
        m.expanded = f == NodeField::Expanded ? n.Expanded() : m.expanded;
    }
    void OnTreeCleared() override {
        nodes.clear();
        tops.clear();
        selected = nullptr;
    }
    void OnSelectionChanged(const Node* s) override {
        EXPECT_TRUE(!s || nodes.count(s)) << "selection of a node unknown to the view";
        selected = s;
    }
    void OnControlChanged(Control c) override { controlsChanged.push_back(c); }
    void OnFocusMoved(Control c) override { focusMoves.push_back(c); }

    std::string Dump() const {
        std::string out;
        std::function<void(const std::vector<const Node*>&, size_t)> walk =
            [&](const std::vector<const Node*>& list, size_t depth) {
                for (const Node* n : list) {
                    const M& m = nodes.at(n);
                    out += std::string(2 * depth, ' ') +
                           DescribeNode(m.key, m.text, m.tag, m.bold, m.checked, m.expanded) + "\n";
                    walk(m.kids, depth + 1);
                }
            };
        walk(tops, 0);
        return out;
    }

  private:
    std::vector<const Node*>& Siblings(const Node* parent) {
        return parent ? nodes.at(parent).kids : tops;
    }
};

// ---- MenuTrees ----------------------------------------------------------------------------

struct E {
    String caption, nome;
    String tecla = u"";
    String desc = u"";
    bool consulta = false;
    bool visivel = true;
    bool habilitado = true;
    std::vector<E> sub = {};
};

// The current Visivel/Habilitado are the opposite of the defaults (a tree as the control leaves
// it at run time), unless `currentsDiffer` is false; apply makes them equal again.
inline void Fill(bib::MenuTree& level, const std::vector<E>& entries, bool currentsDiffer = true) {
    for (const E& e : entries) {
        auto item = level.Add(e.caption, e.nome);
        item->SetTeclaExtenso(e.tecla);
        item->SetDescricao(e.desc);
        item->SetMenuConsulta(e.consulta);
        item->SetVisivelDefault(e.visivel);
        item->SetHabilitadoDefault(e.habilitado);
        item->SetVisivel(currentsDiffer != e.visivel);
        item->SetHabilitado(currentsDiffer != e.habilitado);
        Fill(*item->SubMenu(), e.sub, currentsDiffer);
    }
}

inline std::shared_ptr<bib::MenuTree> Build(const std::vector<E>& entries,
                                            bool currentsDiffer = true) {
    auto tree = bib::MenuTree::Create();
    Fill(*tree, entries, currentsDiffer);
    return tree;
}

// One line per entry, pre-order: caption|nome|tecla|desc|consulta|visivel/default|
// habilitado/default|TextoMenu.
inline std::string DumpMenu(const bib::MenuTree& tree) {
    std::string out;
    std::function<void(const bib::MenuTree&, size_t)> walk = [&](const bib::MenuTree& level,
                                                                 size_t depth) {
        for (size_t i = 1; i <= level.Count(); ++i) {
            const auto e = level.At(i);
            out += std::string(2 * depth, ' ') + U8(e->Caption()) + "|" + U8(e->Nome()) + "|" +
                   U8(e->TeclaExtenso()) + "|" + U8(e->Descricao()) + "|" +
                   (e->MenuConsulta() ? "C" : "-") + "|" + (e->Visivel() ? "V" : "-") +
                   (e->VisivelDefault() ? "V" : "-") + "|" + (e->Habilitado() ? "H" : "-") +
                   (e->HabilitadoDefault() ? "H" : "-") + "|" + U8(e->TextoMenu()) + "\n";
            walk(*e->SubMenu(), depth + 1);
        }
    };
    walk(tree, 0);
    return out;
}

// ---- The page, driven as a user drives it --------------------------------------------------

class PageTest : public ::testing::Test {
  protected:
    PageTest() : page(host.Services(), &view) {}

    void Load(const std::vector<E>& entries) {
        tree = Build(entries);
        page.PropertyPage_SelectionChanged(model::WrapMenuTree(tree));
    }

    // Arquivo (Novo > Documento, Abrir, Sair), Editar, Ajuda: three levels, a shortcut, a
    // hidden and a disabled entry.
    void LoadSample() {
        const E doc{u"&Documento", u"ArqNovDoc", u"Ctrl+F5", u"texto", true, false, true};
        const E abrir{u"&Abrir", u"ArqAbr", u"", u"", false, true, false};
        Load({E{u"&Arquivo",
                u"Arq",
                u"",
                u"",
                false,
                true,
                true,
                {E{u"&Novo", u"ArqNov", u"", u"", false, true, true, {doc}}, abrir,
                 E{u"&Sair", u"ArqSai"}}},
              E{u"&Editar", u"Edi"}, E{u"&Ajuda", u"Aju"}});
    }
    static constexpr const char* kSample = "A AArq AArqNov AArqNovDoc AArqAbr AArqSai AEdi AAju";

    NodeTree& trv() { return page.trvMenu(); }
    Node& N(StringView key) { return trv().Item(key); }
    const Form& form() const { return page.form(); }
    void Click(StringView key) { page.ClickNode(N(key)); }
    void Type(Control c, StringView text) { page.TypeText(c, String(text)); }
    void LeaveCaption(Control to = Control::txtDescricao) { page.FocusChanged(to); }
    void Key(int16_t code, int16_t shift) { page.trvMenu_KeyDown(code, shift); }

    // A whole addition under `parentKey`: caption, the name typed when `nome` is given (else
    // derived as the focus leaves the caption), optional key (list index) with Ctrl/Shift.
    void AddEntry(StringView parentKey, StringView caption, const char16_t* nome = nullptr,
                  int32_t key = -1, bool ctrl = false, bool shift = false) {
        Click(parentKey);
        page.btnIncluir_Click();
        Type(Control::txtCaption, caption);
        LeaveCaption(Control::txtNome);
        if (nome) Type(Control::txtNome, nome);
        if (ctrl) page.SetCheck(Control::chkCtrl, 1);
        if (shift) page.SetCheck(Control::chkShift, 1);
        if (key >= 0) page.ChooseKey(key);
        page.btnConfirma_Click();
    }
    // Renames an entry through a change, typing the new name.
    void Rename(StringView key, StringView nome) {
        Click(key);
        page.btnAlterar_Click();
        Type(Control::txtNome, nome);
        page.btnConfirma_Click();
    }

    static int32_t KeyIndex(StringView name) {
        const auto list = model::NomesTeclas();
        return static_cast<int32_t>(std::find(list.begin(), list.end(), name) - list.begin());
    }
    String Nome(StringView key) { return model::LeCampo(N(key).Tag(), u"Nome").ToText(); }

    bool Browsing() const {
        return form().btnIncluir.Enabled && !form().fraObjetos.Enabled &&
               !form().btnConfirma.Enabled;
    }
    bool Editing() const {
        return !form().btnIncluir.Enabled && !form().btnAlterar.Enabled &&
               !form().btnExcluir.Enabled && form().fraObjetos.Enabled &&
               form().btnConfirma.Enabled;
    }
    std::vector<std::string> ListColumn(size_t column) const {
        std::vector<std::string> out;
        for (const ListRow& r : form().lstMenu.Rows) out.push_back(U8(r.Columns[column]));
        return out;
    }
    // The one message box shown since the last call, as "texto|estilo|titulo".
    std::string LastBox() {
        if (host.boxes.size() != 1) return std::to_string(host.boxes.size()) + " boxes";
        const FakeHost::Box b = host.boxes[0];
        host.boxes.clear();
        return U8(b.texto) + "|" + std::to_string(b.estilo) + "|" + U8(b.titulo);
    }

    FakeHost host;
    MirrorView view;
    PageModel page;
    std::shared_ptr<bib::MenuTree> tree;
};

// Expects `f` to throw tq::Error with that HRESULT.
template <class F>
void ExpectError(int32_t hresult, F&& f) {
    try {
        f();
        ADD_FAILURE() << "no error raised";
    } catch (const Error& e) {
        EXPECT_EQ(e.hresult(), hresult) << e.what();
    }
}

}  // namespace tq::designer::testing
