// The designer's native tests share the one fake of the page's services, a view that knows the
// tree only from the model's notifications, MenuTrees written as outlines, and the page driver.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>
#include <sstream>
#include <string>
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

class FakeHost : public IPageHost {
  public:
    std::vector<std::string> boxes;  // "texto|estilo|titulo"
    std::deque<int32_t> answers;     // to the questions, in order
    int pumps = 0, scripts = 0;
    std::function<void()> onPump;
    std::vector<bool> changedCalls;

    int32_t MsgBox(const String& texto, int32_t estilo, const String& titulo) override {
        boxes.push_back(U8(texto) + "|" + std::to_string(estilo) + "|" + U8(titulo));
        if (estilo != kStyleQuestion) return kMsgOk;
        EXPECT_FALSE(answers.empty()) << "unexpected question " << boxes.back();
        const int32_t a = answers.empty() ? kMsgNo : answers.front();
        if (!answers.empty()) answers.pop_front();
        return a;
    }
    void ProcessPendingMessages() override {
        ++pumps;
        if (onPump) onPump();
    }
    void SetChanged(bool changed) override { changedCalls.push_back(changed); }
    void GerarScript() override { ++scripts; }
};

// One line per node: key 'text', the record's Nome/TeclaExtenso/consulta/Descricao, B C E flags.
inline std::string Line(const Node& n, bool expanded) {
    std::string s = U8(n.Key()) + " '" + U8(n.Text()) + "'";
    if (n.Tag() == u"Raiz") s += " Raiz";
    const auto field = [&](const char16_t* f) { return model::LeCampo(n.Tag(), f); };
    if (!n.Tag().empty() && n.Tag() != u"Raiz")
        s += " nome=" + U8(field(u"Nome").ToText()) +
             " tecla=" + U8(field(u"TeclaExtenso").ToText()) +
             (field(u"MenuConsulta").ToBool() ? " consulta" : "") +
             (field(u"Descricao").ToText().empty() ? ""
                                                   : " desc=" + U8(field(u"Descricao").ToText()));
    return s + (n.Bold() ? " B" : "") + (n.Checked() ? " C" : "") +
           (expanded && n.Expanded() ? " E" : "");
}

// Pre-order, two spaces of indent per level.
inline std::string DumpTree(const NodeTree& trv, bool expanded = true) {
    std::string out;
    std::function<void(const Node*, size_t)> walk = [&](const Node* n, size_t depth) {
        for (; n; n = n->Next()) {
            out += std::string(2 * depth, ' ') + Line(*n, expanded) + "\n";
            walk(n->Child(), depth + 1);
        }
    };
    walk(trv.FirstTop(), 0);
    return out;
}

inline std::string Keys(const NodeTree& trv) {
    std::string out;
    std::function<void(const Node*)> walk = [&](const Node* n) {
        for (; n; n = n->Next()) out += (out.empty() ? "" : " ") + U8(n->Key()), walk(n->Child());
    };
    walk(trv.FirstTop());
    return out;
}

// Rebuilds the tree from the notifications alone; Dump() is the DumpTree of what it heard.
class MirrorView : public IPageView {
  public:
    std::map<const Node*, std::vector<const Node*>> kids;  // nullptr: the top level
    std::map<const Node*, std::string> lines;
    const Node* selected = nullptr;
    std::vector<Control> controlsChanged, focusMoves;

    void OnNodeAdded(const Node& n) override {
        auto& list = kids[n.Parent()];
        auto at = std::find(list.begin(), list.end(), n.Previous());
        EXPECT_TRUE(!n.Previous() || at != list.end()) << "previous sibling unknown to the view";
        list.insert(n.Previous() && at != list.end() ? at + 1 : list.begin(), &n);
        lines[&n] = Line(n, true);
    }
    void OnNodeRemoving(const Node& n) override {
        auto& list = kids[n.Parent()];
        list.erase(std::find(list.begin(), list.end(), &n));
        std::vector<const Node*> gone{&n};
        for (size_t i = 0; i < gone.size(); ++i)
            for (const Node* k : kids[gone[i]]) gone.push_back(k);
        for (const Node* x : gone) kids.erase(x), lines.erase(x);
    }
    void OnNodeChanged(const Node& n, NodeField) override { lines.at(&n) = Line(n, true); }
    void OnTreeCleared() override { kids.clear(), lines.clear(), selected = nullptr; }
    void OnSelectionChanged(const Node* s) override {
        EXPECT_TRUE(!s || lines.count(s)) << "selection of a node unknown to the view";
        selected = s;
    }
    void OnControlChanged(Control c) override { controlsChanged.push_back(c); }
    void OnFocusMoved(Control c) override { focusMoves.push_back(c); }

    std::string Dump() {
        std::string out;
        std::function<void(const Node*, size_t)> walk = [&](const Node* parent, size_t depth) {
            for (const Node* n : kids[parent])
                out += std::string(2 * depth, ' ') + lines.at(n) + "\n", walk(n, depth + 1);
        };
        walk(nullptr, 0);
        return out;
    }
};

// An outline, one entry a line, one space of indent per level:
// "caption|nome|tecla|descricao|flags", flags c (MenuConsulta), i (not VisivelDefault),
// d (not HabilitadoDefault).  The current Visivel/Habilitado are the opposite of the defaults,
// as the control leaves them at run time.
inline std::shared_ptr<bib::MenuTree> Build(const std::string& outline) {
    auto tree = bib::MenuTree::Create();
    std::vector<bib::MenuTree*> levels{tree.get()};
    std::istringstream in(outline);
    for (std::string line; std::getline(in, line);) {
        const size_t depth = line.find_first_not_of(' ');
        std::vector<String> f;
        std::istringstream fields(line.substr(depth));
        for (std::string s; std::getline(fields, s, '|');) f.push_back(FromUtf8(s));
        f.resize(5);
        levels.resize(depth + 1);
        auto item = levels[depth]->Add(f[0], f[1]);
        item->SetTeclaExtenso(f[2]);
        item->SetDescricao(f[3]);
        const auto has = [&](char16_t c) { return f[4].find(c) != String::npos; };
        item->SetMenuConsulta(has(u'c'));
        item->SetVisivelDefault(!has(u'i'));
        item->SetHabilitadoDefault(!has(u'd'));
        item->SetVisivel(has(u'i'));
        item->SetHabilitado(has(u'd'));
        levels.push_back(item->SubMenu().get());
    }
    return tree;
}

// One line per entry: caption|nome|tecla|desc|consulta|visivel,default|habilitado,default|texto.
inline std::string DumpMenu(const bib::MenuTree& tree, size_t depth = 0) {
    std::string out;
    for (size_t i = 1; i <= tree.Count(); ++i) {
        const auto e = tree.At(i);
        out += std::string(2 * depth, ' ') + U8(e->Caption()) + "|" + U8(e->Nome()) + "|" +
               U8(e->TeclaExtenso()) + "|" + U8(e->Descricao()) + "|" +
               (e->MenuConsulta() ? "C" : "-") + "|" + (e->Visivel() ? "V" : "-") +
               (e->VisivelDefault() ? "V" : "-") + "|" + (e->Habilitado() ? "H" : "-") +
               (e->HabilitadoDefault() ? "H" : "-") + "|" + U8(e->TextoMenu()) + "\n" +
               DumpMenu(*e->SubMenu(), depth + 1);
    }
    return out;
}

template <class F>
void ExpectError(int32_t hresult, F&& f) {
    try {
        f();
        ADD_FAILURE() << "no error raised";
    } catch (const Error& e) {
        EXPECT_EQ(e.hresult(), hresult) << e.what();
    }
}

// The page, driven as a user drives it.
class PageTest : public ::testing::Test {
  protected:
    PageTest() : page(&host, &view) {}

    void Load(const std::string& outline) {
        tree = Build(outline);
        page.PropertyPage_SelectionChanged(model::WrapMenuTree(tree));
    }
    // Three levels, a shortcut, a hidden and a disabled entry.
    void LoadSample() {
        Load(
            "&Arquivo|Arq\n &Novo|ArqNov\n  &Documento|ArqNovDoc|Ctrl+F5|texto|ci\n"
            " &Abrir|ArqAbr|||d\n &Sair|ArqSai\n&Editar|Edi\n&Ajuda|Aju");
    }

    NodeTree& trv() { return page.trvMenu(); }
    Node& N(StringView key) { return trv().Item(key); }
    const Form& form() const { return page.form(); }
    void Click(StringView key) { page.ClickNode(N(key)); }
    void Type(Control c, StringView text) { page.TypeText(c, String(text)); }
    void LeaveCaption(Control to = Control::txtDescricao) { page.FocusChanged(to); }
    void Key(int16_t code, int16_t shift) { page.trvMenu_KeyDown(code, shift); }

    // An addition under `parentKey`; the name typed when given, else derived from the caption.
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
    String Field(StringView key, const char16_t* f) {
        return model::LeCampo(N(key).Tag(), f).ToText();
    }
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
    // The message boxes shown since the last call, joined by "/".
    std::string Boxes() {
        std::string out;
        for (const std::string& b : host.boxes) out += (out.empty() ? "" : "/") + b;
        host.boxes.clear();
        return out;
    }

    FakeHost host;
    MirrorView view;
    PageModel page;
    std::shared_ptr<bib::MenuTree> tree;
};

}  // namespace tq::designer::testing
