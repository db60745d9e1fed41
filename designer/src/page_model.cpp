#include "tq/designer/page_model.h"

#include <cstdlib>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "tq/designer/errors.h"
#include "tq/designer/mdl_comum.h"
#include "tq/error.h"
#include "tq/model/item_record.h"

namespace tq::designer {

using model::DefineCampo;
using model::LeCampo;
using model::Value;

namespace {

const String kRootKey = u"A";
const String kRootTag = u"Raiz";
const String kTitle = u"Alerta!";

int16_t Checked16(int64_t v) {
    if (v < -32768 || v > 32767) throw Error(tq::hr::kOverflow, u"Overflow");
    return static_cast<int16_t>(v);
}

String Digits(int n) {
    return FromUtf8(std::to_string(n));
}

}  // namespace

PageModel::PageModel(IPageHost* host, IPageView* view) : host_(host), view_(view) {
    trv_.SetObserver(view);
}

// ---- Event plumbing ----------------------------------------------------------------------

template <class F>
void PageModel::Run(F&& body) {
    // The outermost handler is one step of the history, however it ends.
    struct Depth {
        int& d;
        TreeHistory& h;
        NodeTree& t;
        Depth(int& depth, TreeHistory& history, NodeTree& tree) : d(depth), h(history), t(tree) {
            if (++d == 1) h.Open(t.SelectedItem());
        }
        ~Depth() {
            if (--d == 0) h.Close(t.SelectedItem());
        }
    } depth(depth_, history_, trv_);
    if (depth_ == 1) RunPosted();
    body();
    if (depth_ == 1) RunPosted();
}

void PageModel::RunPosted() {
    while (!posted_.empty()) {
        posted_.pop_front();  // only the caption's focus loss is ever posted
        txtCaption_LostFocus();
    }
}

void PageModel::DoEvents() {
    RunPosted();
    if (host_) host_->ProcessPendingMessages();
    RunPosted();
}

bool PageModel::CanFocus(Control c) const {
    if (c == Control::trvMenu || c == Control::lstMenu) return true;
    const bool* enabled = form_.EnabledFlag(c);
    if (!enabled || c == Control::fraObjetos || c == Control::fraAtalho) return false;
    // A control in the edit frame (or in the shortcut frame inside it) needs its frames too.
    const bool inShortcut =
        c == Control::chkCtrl || c == Control::chkShift || c == Control::cmbTeclaAcesso;
    const bool inEdit =
        inShortcut || form_.TextBoxOf(c) || form_.CheckBoxOf(c) || c == Control::btnConfirma;
    if (inEdit && !form_.fraObjetos.Enabled) return false;
    if (inShortcut && !form_.fraAtalho.Enabled) return false;
    return *enabled;
}

void PageModel::PutFocus(Control c) {
    if (!CanFocus(c)) throw Error(hr::kInvalidCall, u"Invalid procedure call or argument");
    if (focus_ == c) return;
    const Control before = focus_;
    focus_ = c;
    if (view_) view_->OnFocusMoved(c);
    if (before == Control::txtCaption) posted_.push_back(Posted::txtCaption_LostFocus);
}

Node& PageModel::Selected() const {
    Node* s = trv_.SelectedItem();
    if (!s) ThrowObjectNotSet();
    return *s;
}

// ---- Form state --------------------------------------------------------------------------

TextBox& PageModel::Text(Control c) {
    TextBox* box = form_.TextBoxOf(c);
    if (!box) throw Error(tq::hr::kInvalidArg, u"not a text box");
    return *box;
}

CheckBox& PageModel::Check(Control c) {
    CheckBox* box = form_.CheckBoxOf(c);
    if (!box) throw Error(tq::hr::kInvalidArg, u"not a check box");
    return *box;
}

void PageModel::Notify(Control c) {
    if (view_) view_->OnControlChanged(c);
}

void PageModel::SetText(Control c, String text) {
    Text(c).Text = std::move(text);
    Notify(c);
}

void PageModel::SetValue(Control c, int16_t value) {
    if (value < 0 || value > 2) throw Error(hr::kInvalidPropertyValue, u"Invalid property value");
    Check(c).Value = value;
    Notify(c);
}

void PageModel::SetListIndex(int32_t index) {
    const auto n = static_cast<int32_t>(form_.cmbTeclaAcesso.List.size());
    if (index < -1 || index >= n) throw Error(hr::kInvalidPropertyValue, u"Invalid property value");
    form_.cmbTeclaAcesso.ListIndex = index;
    Notify(Control::cmbTeclaAcesso);
}

void PageModel::SetEnabled(Control c, bool enabled) {
    bool* flag = form_.EnabledFlag(c);
    if (!flag) throw Error(tq::hr::kInvalidArg, u"control state not kept by the page");
    *flag = enabled;
    Notify(c);
}

void PageModel::SetForeColor(Control c, uint32_t color) {
    switch (c) {
        case Control::lblCaption:
            form_.lblCaption.ForeColor = color;
            break;
        case Control::lblNome:
            form_.lblNome.ForeColor = color;
            break;
        case Control::lblDescricao:
            form_.lblDescricao.ForeColor = color;
            break;
        default:
            throw Error(tq::hr::kInvalidArg, u"not a label");
    }
    Notify(c);
}

void PageModel::SetChanged(bool changed) {
    changed_ = changed;
    if (host_) host_->SetChanged(changed);
}

int32_t PageModel::MsgBox(const String& text, int32_t style) {
    return host_ ? host_->MsgBox(text, style, kTitle) : kMsgNo;
}

// ---- What the user does ------------------------------------------------------------------

void PageModel::TypeText(Control c, String text) {
    Run([&] {
        TextBox& box = Text(c);
        if (box.Text == text) return;  // the view's echo of what the model set
        if (!CanFocus(c)) throw Error(hr::kInvalidCall, u"the text box is disabled");
        box.Text = std::move(text);
        if (c == Control::txtNome) name_derived_ = false;
    });
}

void PageModel::SetCheck(Control c, int16_t value) {
    Run([&] {
        CheckBox& box = Check(c);
        if (!CanFocus(c)) throw Error(hr::kInvalidCall, u"the check box is disabled");
        if (value < 0 || value > 2)
            throw Error(hr::kInvalidPropertyValue, u"Invalid property value");
        box.Value = value;
    });
}

void PageModel::ChooseKey(int32_t index) {
    Run([&] {
        if (!CanFocus(Control::cmbTeclaAcesso))
            throw Error(hr::kInvalidCall, u"the key list is disabled");
        const auto n = static_cast<int32_t>(form_.cmbTeclaAcesso.List.size());
        if (index < -1 || index >= n)
            throw Error(hr::kInvalidPropertyValue, u"Invalid property value");
        form_.cmbTeclaAcesso.ListIndex = index;
    });
}

void PageModel::FocusChanged(Control c) {
    Run([&] {
        if (focus_ == c) return;
        const Control before = focus_;
        focus_ = c;
        if (before == Control::txtCaption) posted_.push_back(Posted::txtCaption_LostFocus);
    });
}

void PageModel::SelectNode(Node& node) {
    Run([&] { trv_.SetSelected(node, true); });
}

void PageModel::ClickNode(Node& node) {
    // Three messages, in the order the platform delivers them: the focus moves to the tree
    // (a pending focus loss runs first), the selection changes, the click is reported.
    FocusChanged(Control::trvMenu);
    SelectNode(node);
    trvMenu_NodeClick(node);
}

// ---- Property page events ----------------------------------------------------------------

void PageModel::PropertyPage_SelectionChanged(std::unique_ptr<bib::IMenuLevel> menuTree) {
    Run([&] {
        mMenuTree_ = std::move(menuTree);
        CarregaPagina();
    });
}

void PageModel::PropertyPage_ApplyChanges() {
    Run([&] {
        MontaMenuTree();
        history_.Clear();  // a new history starts from the tree just applied
        SetChanged(false);
    });
}

void PageModel::PropertyPage_Terminate() {
    Run([&] { mMenuTree_.reset(); });
}

void PageModel::CarregaPagina() {
    trv_.Clear();
    AdicionaNo(trv_, u"Menu Principal", u"", kRootKey, kRootTag, false, false);
    if (!mMenuTree_) ThrowObjectNotSet();
    if (mMenuTree_->Count() > 0) CarregaArvore(*mMenuTree_, kRootKey);
    // Emptied first, so that a page loaded again lists every key once.
    form_.cmbTeclaAcesso.Clear();
    CarregaTeclas(form_.cmbTeclaAcesso);
    Notify(Control::cmbTeclaAcesso);
    Node& raiz = trv_.Item(kRootKey);
    trv_.SetSelected(raiz, true);
    trvMenu_NodeClick(raiz);
    SetEnabled(Control::btnScript, mMenuTree_->Count() > 0);
}

// ---- Conversion between the tree and the MenuTree ---------------------------------------

// The walks below go depth first with explicit stacks, never recursing per level: a tree built
// by code at run time may be nested far deeper than any thread's stack allows.

void PageModel::CarregaArvore(bib::IMenuLevel& nivel, const String& chavePai) {
    // One frame per level being read: the level (owned from the second one on), the key of the
    // node its entries go under, and the next position to read.
    struct Nivel {
        std::unique_ptr<bib::IMenuLevel> dono;
        bib::IMenuLevel* nivel;
        String chavePai;
        int32_t n;
        int32_t i;
    };
    std::vector<Nivel> pilha;
    pilha.push_back(Nivel{nullptr, &nivel, chavePai, nivel.Count(), 0});
    while (!pilha.empty()) {
        Nivel& topo = pilha.back();
        if (topo.i >= topo.n) {
            pilha.pop_back();
            continue;
        }
        const auto item = topo.nivel->Item(++topo.i);
        const String nome = item->Nome();
        String r;
        r = DefineCampo(Value(item->TeclaExtenso()), u"Tecla", std::move(r));
        r = DefineCampo(Value::Boolean(item->MenuConsulta()), u"MenuConsulta", std::move(r));
        r = DefineCampo(Value(nome), u"Nome", std::move(r));
        r = DefineCampo(Value(item->Descricao()), u"Descricao", std::move(r));
        String chave = kRootKey + nome;
        AdicionaNo(trv_, item->Caption(), topo.chavePai, chave, r, false, false);
        // With a Nome used twice, the add above was skipped and this is the earlier node.
        Node& no = trv_.Item(chave);
        trv_.SetBold(no, item->VisivelDefault());
        trv_.SetChecked(no, item->HabilitadoDefault());
        auto sub = item->SubMenu();
        if (sub->Count() > 0) {
            bib::IMenuLevel* abaixo = sub.get();
            const int32_t n = abaixo->Count();
            pilha.push_back(Nivel{std::move(sub), abaixo, std::move(chave), n, 0});
        }
    }
}

void PageModel::MontaMenuTree() {
    if (!mMenuTree_) ThrowObjectNotSet();
    mMenuTree_->Clear();
    Node& raiz = trv_.Item(kRootKey);
    if (raiz.Children() > 0) MontaItens(raiz.Child(), *mMenuTree_);
    // The menu bar's own titles get no layout; every submenu below them does.
    const int32_t n = mMenuTree_->Count();
    for (int32_t i = 1; i <= n; ++i) {
        const auto sub = mMenuTree_->Item(i)->SubMenu();
        if (sub->Count() >= 1) MontaTextoMenu(*sub);
    }
}

void PageModel::MontaItens(Node* primeiro, bib::IMenuLevel& nivel) {
    // One frame per level being written: the next node to add and the level it goes to.
    struct Nivel {
        Node* no;
        std::unique_ptr<bib::IMenuLevel> dono;
        bib::IMenuLevel* nivel;
    };
    std::vector<Nivel> pilha;
    pilha.push_back(Nivel{primeiro, nullptr, &nivel});
    while (!pilha.empty()) {
        Nivel& topo = pilha.back();
        Node* no = topo.no;
        if (!no) {
            pilha.pop_back();
            continue;
        }
        topo.no = no->Next();
        const String& tag = no->Tag();
        const String nome = LeCampo(tag, u"Nome").ToText();
        topo.nivel->Add(no->Text(), nome);
        const auto item = topo.nivel->Item(nome);
        item->SetTeclaExtenso(LeCampo(tag, u"TeclaExtenso").ToText());
        item->SetDescricao(LeCampo(tag, u"Descricao").ToText());
        item->SetMenuConsulta(LeCampo(tag, u"MenuConsulta").ToBool());
        item->SetCaption(no->Text());
        item->SetHabilitadoDefault(no->Checked());
        item->SetHabilitado(no->Checked());
        item->SetVisivelDefault(no->Bold());
        item->SetVisivel(no->Bold());
        if (no->Children() > 0) {
            auto sub = item->SubMenu();
            bib::IMenuLevel* abaixo = sub.get();
            pilha.push_back(Nivel{no->Child(), std::move(sub), abaixo});
        }
    }
}

void PageModel::MontaTextoMenu(bib::IMenuLevel& nivel) {
    // One frame per level: the first pass reads its entries one by one, and a submenu met on
    // the way is laid out completely (its own frame) before the pass goes on.  The second pass
    // works on the entries and captions the first one read: laying out the levels below
    // changes nothing at this level.
    struct Nivel {
        std::unique_ptr<bib::IMenuLevel> dono;
        bib::IMenuLevel* nivel;
        int32_t n;
        int32_t i = 0;
        int16_t largura = 0;
        bool folha = false;
        std::vector<std::pair<std::unique_ptr<bib::IMenuEntry>, String>> itens;
    };
    const auto abre = [](std::unique_ptr<bib::IMenuLevel> dono, bib::IMenuLevel* nivel) {
        Nivel f{std::move(dono), nivel, nivel->Count(), 0, 0, false, {}};
        f.itens.reserve(static_cast<size_t>(f.n > 0 ? f.n : 0));
        return f;
    };
    std::vector<Nivel> pilha;
    pilha.push_back(abre(nullptr, &nivel));
    while (!pilha.empty()) {
        Nivel& topo = pilha.back();
        if (topo.i < topo.n) {
            auto item = topo.nivel->Item(++topo.i);
            String caption = item->Caption();
            const auto tamanho = static_cast<int64_t>(caption.size());
            if (tamanho > topo.largura) topo.largura = Checked16(tamanho);
            auto sub = item->SubMenu();
            const bool temFilhos = sub->Count() > 0;
            if (temFilhos)
                item->SetTeclaExtenso(String());
            else
                topo.folha = true;
            topo.itens.emplace_back(std::move(item), std::move(caption));
            if (temFilhos) {
                bib::IMenuLevel* abaixo = sub.get();
                pilha.push_back(abre(std::move(sub), abaixo));
            }
            continue;
        }
        if (topo.folha) {
            for (auto& [item, caption] : topo.itens) {
                String tecla = item->TeclaExtenso();
                if (tecla.empty()) continue;
                const int16_t coluna = Checked16(static_cast<int64_t>(topo.largura) + 3);
                const auto espacos =
                    static_cast<size_t>(coluna - static_cast<int64_t>(caption.size()));
                caption.append(espacos, u' ');
                caption += tecla;
                item->SetTextoMenu(std::move(caption));
            }
        }
        pilha.pop_back();
    }
}

// ---- Copying subtrees (the moves) --------------------------------------------------------

void PageModel::CopiaNo(Node& no, const String& prefixo, const NodeTree::Relative& relativo,
                        Relationship relacao) {
    const String nova = prefixo + no.Key();
    copy_ = &trv_.Add(relativo, relacao, nova, no.Text());
    Node& copia = trv_.Item(nova);
    trv_.SetTag(copia, no.Tag());
    trv_.SetBold(copia, no.Bold());
    trv_.SetChecked(copia, no.Checked());
    if (no.Children() > 0) CopiaFilhos(no.Child(), nova, prefixo);
    trv_.SetSelected(trv_.Item(nova), true);
}

void PageModel::CopiaFilhos(Node* primeiro, const String& chavePai, const String& prefixo) {
    // One frame per level being copied: the next source node and the key of its copy's parent.
    // The copies go under other nodes, so the source levels do not change during the walk.
    struct Nivel {
        Node* no;
        String chavePai;
    };
    std::vector<Nivel> pilha;
    pilha.push_back(Nivel{primeiro, chavePai});
    while (!pilha.empty()) {
        Nivel& topo = pilha.back();
        Node* no = topo.no;
        if (!no) {
            pilha.pop_back();
            continue;
        }
        topo.no = no->Next();
        String nova = prefixo + no->Key();
        const int32_t antes = trv_.Count();
        AdicionaNo(trv_, no->Text(), topo.chavePai, nova, no->Tag(), false, false);
        // AdicionaNo skips a child whose key is taken; the copy must not then write into the
        // node that holds the key, so a skipped child makes the copy fail.
        if (trv_.Count() != antes + 1)
            throw Error(hr::kKeyNotUnique, u"Key is not unique in collection");
        Node& copia = trv_.Item(nova);
        trv_.SetBold(copia, no->Bold());
        trv_.SetChecked(copia, no->Checked());
        if (no->Children() > 0) pilha.push_back(Nivel{no->Child(), std::move(nova)});
    }
}

void PageModel::Move(bool up) {
    Run([&] {
        Node* n = trv_.SelectedItem();
        Node* r = !n ? nullptr : up ? n->Previous() : n->Next();
        if (!r) return;  // nothing selected, or no sibling that way: nothing to do
        CopyThenRemove(*n, NodeTree::Relative::ByIndex(trv_.IndexOf(*r)),
                       up ? Relationship::Previous : Relationship::Next);
    });
}

void PageModel::CopyThenRemove(Node& node, const NodeTree::Relative& relative, Relationship where) {
    const size_t mark = history_.Mark();
    copy_ = nullptr;
    try {
        const String k = node.Key();
        CopiaNo(node, u"tmp", relative, where);
        copy_ = nullptr;  // complete: from here on nothing is undone
        trv_.Remove(k);
        SetChanged(true);
    } catch (const Error&) {
        // Silent, as the page's moves are; a partial copy goes, so the tree is as before and
        // the history keeps nothing of it.
        if (copy_) trv_.Remove(*copy_);
        history_.Discard(mark);
    }
    copy_ = nullptr;
}

void PageModel::btnSobe_Click() {
    Move(true);
}
void PageModel::btnDesce_Click() {
    Move(false);
}

void PageModel::btnScript_Click() {
    Run([&] {
        if (!host_) ThrowObjectNotSet();
        host_->GerarScript();
    });
}

// ---- Level moves, drops, undo and redo -----------------------------------------------------

bool PageModel::CanTransfer(const Node& node, const Node& target, Relationship where) const {
    if (!node.Parent()) return false;  // the root stays where it is
    if (where != Relationship::Child && !target.Parent()) return false;  // beside the root
    for (const Node* a = &target; a; a = a->Parent())
        if (a == &node) return false;  // onto itself or into its own subtree
    // Already there: the move would change nothing but the keys.
    if (where == Relationship::Child && node.Parent() == &target && !node.Next()) return false;
    if (where == Relationship::Previous && target.Previous() == &node) return false;
    if (where == Relationship::Next && target.Next() == &node) return false;
    if (where != Relationship::Child && where != Relationship::Previous &&
        where != Relationship::Next)
        return false;
    // Every key of the copy must be free, or the copy would fail part-way.
    const String prefix = u"tmp";
    const Node* n = &node;
    while (n) {
        if (trv_.Find(prefix + n->Key())) return false;
        if (n->Child()) {
            n = n->Child();
            continue;
        }
        while (n != &node && !n->Next()) n = n->Parent();
        n = n == &node ? nullptr : n->Next();
    }
    return true;
}

void PageModel::Transfer(Node& node, Node& target, Relationship where) {
    if (CanTransfer(node, target, where))
        CopyThenRemove(node, NodeTree::Relative::Of(target), where);
}

bool PageModel::CanAdd() const {
    return trv_.SelectedItem() != nullptr;
}

bool PageModel::CanChange() const {
    // btnAlterar_Click refuses an entry whose text is the root's.
    Node* s = trv_.SelectedItem();
    return s && s->Text() != trv_.Root(*s).Text();
}

bool PageModel::CanDelete() const {
    const Node* s = trv_.SelectedItem();
    return s && s->Tag() != kRootTag;
}

bool PageModel::CanMoveUp() const {
    const Node* s = trv_.SelectedItem();
    return s && s->Previous() && CanTransfer(*s, *s->Previous(), Relationship::Previous);
}

bool PageModel::CanMoveDown() const {
    const Node* s = trv_.SelectedItem();
    return s && s->Next() && CanTransfer(*s, *s->Next(), Relationship::Next);
}

bool PageModel::CanOutdent() const {
    const Node* s = trv_.SelectedItem();
    return s && s->Parent() && CanTransfer(*s, *s->Parent(), Relationship::Next);
}

bool PageModel::CanIndent() const {
    const Node* s = trv_.SelectedItem();
    return s && s->Previous() && CanTransfer(*s, *s->Previous(), Relationship::Child);
}

bool PageModel::CanDrop(const Node& dragged, const Node& target, Relationship where) const {
    return CanTransfer(dragged, target, where);
}

void PageModel::Outdent() {
    Run([&] {
        Node* s = trv_.SelectedItem();
        if (s && s->Parent()) Transfer(*s, *s->Parent(), Relationship::Next);
    });
}

void PageModel::Indent() {
    Run([&] {
        Node* s = trv_.SelectedItem();
        if (s && s->Previous()) Transfer(*s, *s->Previous(), Relationship::Child);
    });
}

void PageModel::Drop(Node& dragged, Node& target, Relationship where) {
    Run([&] { Transfer(dragged, target, where); });
}

void PageModel::SelectAfterStep(const String& key) {
    Node* n = trv_.Find(key);
    if (!n) n = trv_.Find(kRootKey);
    if (!n) n = trv_.FirstTop();
    if (!n) return;
    trv_.SetSelected(*n, true);
    trvMenu_NodeClick(*n);
}

void PageModel::Undo() {
    Run([&] {
        if (!history_.CanUndo()) return;
        SelectAfterStep(history_.Undo());
        SetChanged(!history_.Clean());
    });
}

void PageModel::Redo() {
    Run([&] {
        if (!history_.CanRedo()) return;
        SelectAfterStep(history_.Redo());
        SetChanged(!history_.Clean());
    });
}

// ---- List, states, node click, keys ------------------------------------------------------

void PageModel::CarregaLista(Node& no) {
    form_.lstMenu.Rows.clear();
    for (Node* c = no.Children() > 0 ? no.Child() : nullptr; c; c = c->Next()) {
        ListRow row;
        row.Columns[0] = c->Text();
        row.Columns[1] = LeCampo(c->Tag(), u"Nome").ToText();
        row.Columns[2] = LeCampo(c->Tag(), u"TeclaExtenso").ToText();
        row.Columns[3] = c->Bold() ? u"True" : u"False";
        row.Columns[4] = c->Checked() ? u"True" : u"False";
        row.Columns[5] = LeCampo(c->Tag(), u"Descricao").ToText();
        form_.lstMenu.Rows.push_back(std::move(row));
    }
    Notify(Control::lstMenu);
}

void PageModel::HabilitaControles(bool navegando) {
    Run([&] {
        SetEnabled(Control::btnIncluir, navegando);
        const bool raiz = Selected().Tag() == kRootTag;
        SetEnabled(Control::btnAlterar, navegando && !raiz);
        SetEnabled(Control::btnExcluir, navegando && !raiz);
        SetEnabled(Control::fraObjetos, !navegando);
        const bool e = form_.fraObjetos.Enabled;
        const uint32_t cor = e ? kColorMenuText : kColorGrayText;
        SetForeColor(Control::lblCaption, cor);
        SetForeColor(Control::lblNome, cor);
        SetForeColor(Control::lblDescricao, cor);
        for (Control c :
             {Control::cmbTeclaAcesso, Control::btnConfirma, Control::chkConsulta,
              Control::chkVisible, Control::chkEnabled, Control::chkCtrl, Control::chkShift})
            SetEnabled(c, e);
    });
}

void PageModel::trvMenu_NodeClick(Node& node) {
    Run([&] {
        HabilitaControles(true);
        CarregaLista(node);
    });
}

void PageModel::cmbTeclaAcesso_KeyDown(int16_t& keyCode, int16_t /*shift*/) {
    Run([&] {
        if (keyCode == 46) SetListIndex(-1);
    });
}

void PageModel::trvMenu_KeyDown(int16_t& keyCode, int16_t& shift) {
    Run([&] {
        if (keyCode == 45)
            btnIncluir_Click();
        else if (shift == 2 && keyCode == 13)
            btnAlterar_Click();
        else if (keyCode == 46)
            btnExcluir_Click();
        else if (shift == 2 && keyCode == 37)
            Outdent();
        else if (shift == 2 && keyCode == 39)
            Indent();
        else if (shift == 2 && keyCode == 90)
            Undo();
        else if ((shift == 2 && keyCode == 89) || (shift == 3 && keyCode == 90))
            Redo();
    });
}

// ---- Editing commands --------------------------------------------------------------------

void PageModel::btnIncluir_Click() {
    Run([&] {
        HabilitaControles(false);
        SetText(Control::txtCaption, String());
        SetText(Control::txtNome, String());
        name_derived_ = false;
        SetListIndex(-1);
        SetValue(Control::chkVisible, 1);
        SetValue(Control::chkEnabled, 1);
        SetValue(Control::chkConsulta, 0);
        PutFocus(Control::txtCaption);
        mintOperacao_ = EditOperation::Add;
    });
}

void PageModel::btnAlterar_Click() {
    Run([&] {
        Node& s = Selected();
        if (s.Text() == trv_.Root(s).Text()) {
            PutFocus(Control::trvMenu);
            return;
        }
        HabilitaControles(false);
        const String& r = s.Tag();
        SetText(Control::txtCaption, s.Text());
        SetText(Control::txtNome, LeCampo(r, u"Nome").ToText());
        name_derived_ = false;
        SetText(Control::txtDescricao, LeCampo(r, u"Descricao").ToText());
        SetValue(Control::chkCtrl, LeCampo(r, u"TeclaCtrl").ToInt16());
        SetValue(Control::chkShift, LeCampo(r, u"TeclaShift").ToInt16());
        SetListIndex(LeCampo(r, u"TeclaCombo", form_.cmbTeclaAcesso.List).ToInt16());
        SetValue(Control::chkVisible, s.Bold() ? 1 : 0);
        SetValue(Control::chkEnabled, s.Checked() ? 1 : 0);
        SetValue(Control::chkConsulta,
                 static_cast<int16_t>(std::abs(LeCampo(r, u"MenuConsulta").ToInt16())));
        PutFocus(Control::txtCaption);
        mintOperacao_ = EditOperation::Change;
    });
}

void PageModel::btnExcluir_Click() {
    Run([&] {
        Node& s = Selected();
        if (s.Tag() == kRootTag) return;
        const String texto = u"Exclui o Menu '" + s.Text() + u"' ?";
        if (MsgBox(texto, kStyleQuestion) == kMsgYes) {
            trv_.Remove(String(s.Key()));
            SetChanged(true);
        }
    });
}

bool PageModel::NameInUse(const String& name, const Node* excluded) const {
    bool used = false;
    trv_.ForEach([&](const Node& n) {
        if (!used && &n != excluded && n.Tag() != kRootTag)
            used = LeCampo(n.Tag(), u"Nome").ToText() == name;
    });
    return used;
}

String PageModel::UniqueName(const String& name, const Node* excluded, bool checkKey) const {
    std::unordered_set<String> used;
    trv_.ForEach([&](const Node& n) {
        if (&n != excluded && n.Tag() != kRootTag) used.insert(LeCampo(n.Tag(), u"Nome").ToText());
    });
    const auto isFree = [&](const String& c) {
        return !used.count(c) && !(checkKey && trv_.Find(kRootKey + c));
    };
    if (isFree(name)) return name;
    for (int i = 2;; ++i) {
        const String suffix = Digits(i);
        const String c = name.substr(0, model::kTamanhoNome - suffix.size()) + suffix;
        if (isFree(c)) return c;
    }
}

void PageModel::btnConfirma_Click() {
    Run([&] {
        // Anything waiting (the caption's focus loss above all) runs before a field is read.
        PutFocus(Control::btnConfirma);
        DoEvents();

        const String shortcut = ShortcutText();
        ConfirmTarget target;
        if (!ResolveConfirmTarget(Selected(), target)) {
            PutFocus(Control::txtNome);
            return;
        }
        WriteConfirmedEntry(target, shortcut);
        ClearEditFields();

        PutFocus(Control::trvMenu);
        Node& parent = trv_.Item(target.parentKey);
        trv_.SetSelected(parent, true);
        trv_.SetExpanded(parent, true);
        trvMenu_NodeClick(parent);
        SetChanged(true);
    });
}

String PageModel::ShortcutText() const {
    String t;
    if (form_.chkCtrl.Value == 1) t = u"Ctrl";
    if (form_.chkShift.Value == 1) {
        if (!t.empty()) t += u'+';
        t += u"Shift";
    }
    const int32_t key = form_.cmbTeclaAcesso.ListIndex;
    if (key == -1) return u"00";
    t += u'+';
    t += form_.cmbTeclaAcesso.List.at(static_cast<size_t>(key));
    return t;
}

bool PageModel::ResolveConfirmTarget(Node& selected, ConfirmTarget& target) {
    // The name as the record will hold it, so that key and record agree.
    String name = TrimSpaces(form_.txtNome.Text).substr(0, model::kTamanhoNome);
    bool derived = name_derived_;
    if (name.empty()) {
        // An entry needs a name: the next load keys it "A" + name, and with none it would take
        // the root's key and vanish.  An empty box gets the name the caption gives, as when the
        // focus leaves the caption; when that is empty too, the user is asked.
        name = TrimSpaces(NameFromCaption(form_.txtCaption.Text, selected))
                   .substr(0, model::kTamanhoNome);
        derived = true;
        if (name.empty()) {
            MsgBox(u"Informe o Nome do Menu", kStyleWarning);
            return false;
        }
    }
    bool refused = false;
    if (mintOperacao_ == EditOperation::Add) {
        target.parentKey = selected.Key();
        if (derived)
            name = UniqueName(name, nullptr, true);
        else
            refused = trv_.Find(kRootKey + name) || NameInUse(name, nullptr);
        target.key = kRootKey + name;
    } else {
        Node* parent = selected.Parent();
        if (!parent) ThrowObjectNotSet();
        target.parentKey = parent->Key();
        target.key = selected.Key();
        if (name != LeCampo(selected.Tag(), u"Nome").ToText()) {
            if (derived)
                name = UniqueName(name, &selected, false);
            else
                refused = NameInUse(name, &selected);
        }
    }
    if (refused) {
        MsgBox(u"Já Existe um Menu com o Nome '" + name + u"'", kStyleWarning);
        return false;
    }
    target.name = std::move(name);
    return true;
}

void PageModel::WriteConfirmedEntry(const ConfirmTarget& target, const String& shortcut) {
    String r;
    r = DefineCampo(Value(shortcut), u"Tecla", std::move(r));
    r = DefineCampo(Value::Integer(form_.chkConsulta.Value), u"MenuConsulta", std::move(r));
    r = DefineCampo(Value(target.name), u"Nome", std::move(r));
    r = DefineCampo(Value(form_.txtDescricao.Text), u"Descricao", std::move(r));
    AdicionaNo(trv_, form_.txtCaption.Text, target.parentKey, target.key, r,
               form_.chkEnabled.Value != 0, true);
    trv_.SetBold(trv_.Item(target.key), form_.chkVisible.Value != 0);
}

void PageModel::ClearEditFields() {
    SetText(Control::txtCaption, String());
    SetText(Control::txtNome, String());
    name_derived_ = false;
    SetText(Control::txtDescricao, String());
    SetListIndex(-1);
    SetValue(Control::chkCtrl, 0);
    SetValue(Control::chkShift, 0);
    SetValue(Control::chkConsulta, 0);
}

String PageModel::NameFromCaption(const String& caption, const Node& selected) const {
    String base;
    if (caption == u"-") {
        base = u"Sep";
    } else {
        for (char16_t c : caption)
            if (c != u'&') base += c;
        base = base.substr(0, 3);
    }
    if (mintOperacao_ != EditOperation::Add) return base;
    const String q = LeCampo(selected.Tag(), u"Nome").ToText();
    return q == u"Raiz" ? base : q + base;
}

void PageModel::txtCaption_LostFocus() {
    Run([&] {
        if (!form_.txtNome.Text.empty()) return;
        String nome = NameFromCaption(form_.txtCaption.Text, Selected());
        if (form_.txtCaption.Text == u"-") SetText(Control::txtCaption, String(10, u'-'));
        SetText(Control::txtNome, std::move(nome));
        name_derived_ = true;
    });
}

}  // namespace tq::designer
