// Trees dumped as text, MenuTrees written as outlines, the page driven as a user drives it.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <sstream>

#include "tq/bib/menu_tree.h"
#include "tq/designer/errors.h"
#include "tq/designer/page_model.h"
#include "tq/error.h"
#include "tq/model/bib_menu_source.h"
#include "tq/model/item_record.h"

namespace tq::designer::testing {

inline std::string U8(StringView s) {
    return ToUtf8(s);
}

// The HRESULT of the tq::Error that f throws; 0 when it throws none.
template <class F>
int32_t ErrorOf(F&& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.hresult();
    }
    return 0;
}

// key 'text', then Raiz or the record's Nome|TeclaExtenso|MenuConsulta|Descricao, then B C E.
inline std::string Line(const Node& n, bool expanded = true) {
    std::string s = U8(n.Key()) + " '" + U8(n.Text()) + "'";
    if (n.Tag() == u"Raiz") s += " Raiz";
    const char* sep = " ";
    if (n.Tag() != u"Raiz" && !n.Tag().empty())
        for (const char16_t* f : {u"Nome", u"TeclaExtenso", u"MenuConsulta", u"Descricao"})
            s += std::exchange(sep, "|") + U8(model::LeCampo(n.Tag(), f).ToText());
    return s + (n.Bold() ? " B" : "") + (n.Checked() ? " C" : "") +
           (expanded && n.Expanded() ? " E" : "");
}

inline void PreOrder(const Node* n, size_t depth,
                     const std::function<void(const Node&, size_t)>& f) {
    for (; n; n = n->Next()) f(*n, depth), PreOrder(n->Child(), depth + 1, f);
}

// One Line per node, two spaces of indent per level.
inline std::string DumpTree(const NodeTree& t, bool expanded = true) {
    std::string out;
    PreOrder(t.FirstTop(), 0, [&](const Node& n, size_t d) {
        out += std::string(2 * d, ' ') + Line(n, expanded) + "\n";
    });
    return out;
}

inline std::string Keys(const NodeTree& t) {
    std::string out;
    PreOrder(t.FirstTop(), 0,
             [&](const Node& n, size_t) { out += (out.empty() ? "" : " ") + U8(n.Key()); });
    return out;
}

// An entry a line, a space a level: "caption|nome|tecla|descricao|c(onsulta) i(nvisible)
// d(isabled)"
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

// The test is the page's host and its view.
class PageTest : public ::testing::Test, public IPageHost, public IPageView {
  protected:
    int32_t MsgBox(const String& texto, int32_t estilo, const String& titulo) override {
        boxes += (boxes.empty() ? "" : "/") + U8(texto) + "|" + std::to_string(estilo) + "|" +
                 U8(titulo);
        if (estilo != kStyleQuestion || answers.empty()) return kMsgOk;  // never Yes unasked
        const int32_t a = answers.front();
        answers.pop_front();
        return a;
    }
    void ProcessPendingMessages() override { ++pumps, onPump ? onPump() : void(); }
    void SetChanged(bool c) override { changed.push_back(c); }
    void GerarScript() override { ++scripts; }
    void OnFocusMoved(Control c) override { focusMoves.push_back(c); }

    void Load(const std::string& outline) {
        tree = Build(outline);
        Reload();
    }
    void Reload() { page.PropertyPage_SelectionChanged(model::WrapMenuTree(tree)); }
    NodeTree& trv() { return page.trvMenu(); }
    Node& N(StringView key) { return trv().Item(key); }
    const Form& form() const { return page.form(); }
    void Click(StringView key) { page.ClickNode(N(key)); }
    void Type(Control c, StringView text) { page.TypeText(c, String(text)); }
    void Key(int16_t code, int16_t shift) { page.trvMenu_KeyDown(code, shift); }
    bool Editing() const { return form().btnConfirma.Enabled; }
    String Field(StringView k, const char16_t* f) { return model::LeCampo(N(k).Tag(), f).ToText(); }
    std::string Boxes() { return std::exchange(boxes, ""); }
    // The keys in pre-order, the selected key, whether editing and changed, the boxes shown.
    std::string Summary() {
        const Node* s = trv().SelectedItem();
        return Keys(trv()) + " @" + (s ? U8(s->Key()) : "-") + (Editing() ? " editing" : "") +
               (page.Changed() ? " changed" : "") + (boxes.empty() ? "" : " " + Boxes());
    }
    std::string List(size_t column) const {
        std::string out;
        for (const ListRow& r : form().lstMenu.Rows)
            out += (&r == &form().lstMenu.Rows[0] ? "" : ",") + U8(r.Columns[column]);
        return out;
    }
    // A click on `key`, then an add under it (or a change of it), and the caption typed.
    void Edit(StringView key, bool change, const char16_t* caption) {
        Click(key);
        change ? page.btnAlterar_Click() : page.btnIncluir_Click();
        if (caption) Type(Control::txtCaption, caption);
    }
    // An add confirmed: the focus goes to the name (which derives it), the name typed if given.
    void AddEntry(StringView parentKey, StringView caption, const char16_t* nome = nullptr) {
        Edit(parentKey, false, String(caption).c_str());
        page.FocusChanged(Control::txtNome);
        if (nome) Type(Control::txtNome, nome);
        page.btnConfirma_Click();
    }

    std::string boxes;            // "texto|estilo|titulo" of each box, joined by "/"
    std::deque<int32_t> answers;  // to the questions, in order
    int pumps = 0, scripts = 0;
    std::function<void()> onPump;
    std::vector<bool> changed;
    std::vector<Control> focusMoves;
    PageModel page{this, this};
    std::shared_ptr<bib::MenuTree> tree;
};

}  // namespace tq::designer::testing
