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

const String kChaveRaiz = u"A";
const String kTagRaiz = u"Raiz";
const String kTitulo = u"Alerta!";

[[noreturn]] void ThrowObjectNotSet() {
    throw Error(hr::kObjectNotSet, u"Object variable or With block variable not set");
}

int16_t Checked16(int64_t v) {
    if (v < -32768 || v > 32767) throw Error(tq::hr::kOverflow, u"Overflow");
    return static_cast<int16_t>(v);
}

String Digits(int n) {
    return FromUtf8(std::to_string(n));
}

}  // namespace

PageModel::PageModel(PageServices services, IPageView* view) : services_(services), view_(view) {
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
    } depth(depth_, historico_, trv_);
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
    if (services_.pump) services_.pump->ProcessPendingMessages();
    RunPosted();
}

bool PageModel::CanFocus(Control c) const {
    const bool objetos = form_.fraObjetos.Enabled;
    const bool atalho = objetos && form_.fraAtalho.Enabled;
    switch (c) {
        case Control::btnIncluir:
            return form_.btnIncluir.Enabled;
        case Control::btnAlterar:
            return form_.btnAlterar.Enabled;
        case Control::btnExcluir:
            return form_.btnExcluir.Enabled;
        case Control::btnSobe:
            return form_.btnSobe.Enabled;
        case Control::btnDesce:
            return form_.btnDesce.Enabled;
        case Control::btnScript:
            return form_.btnScript.Enabled;
        case Control::trvMenu:
        case Control::lstMenu:
            return true;
        case Control::txtCaption:
            return objetos && form_.txtCaption.Enabled;
        case Control::txtNome:
            return objetos && form_.txtNome.Enabled;
        case Control::txtDescricao:
            return objetos && form_.txtDescricao.Enabled;
        case Control::chkConsulta:
            return objetos && form_.chkConsulta.Enabled;
        case Control::chkVisible:
            return objetos && form_.chkVisible.Enabled;
        case Control::chkEnabled:
            return objetos && form_.chkEnabled.Enabled;
        case Control::btnConfirma:
            return objetos && form_.btnConfirma.Enabled;
        case Control::chkCtrl:
            return atalho && form_.chkCtrl.Enabled;
        case Control::chkShift:
            return atalho && form_.chkShift.Enabled;
        case Control::cmbTeclaAcesso:
            return atalho && form_.cmbTeclaAcesso.Enabled;
        default:
            return false;  // frames, labels
    }
}

void PageModel::PutFocus(Control c) {
    if (!CanFocus(c)) throw Error(hr::kInvalidCall, u"Invalid procedure call or argument");
    if (focus_ == c) return;
    const Control antes = focus_;
    focus_ = c;
    if (view_) view_->OnFocusMoved(c);
    if (antes == Control::txtCaption) posted_.push_back(Posted::txtCaption_LostFocus);
}

Node& PageModel::Selecionado() const {
    Node* s = trv_.SelectedItem();
    if (!s) ThrowObjectNotSet();
    return *s;
}

// ---- Form state --------------------------------------------------------------------------

TextBox& PageModel::Text(Control c) {
    switch (c) {
        case Control::txtCaption:
            return form_.txtCaption;
        case Control::txtNome:
            return form_.txtNome;
        case Control::txtDescricao:
            return form_.txtDescricao;
        default:
            throw Error(tq::hr::kInvalidArg, u"not a text box");
    }
}

CheckBox& PageModel::Check(Control c) {
    switch (c) {
        case Control::chkConsulta:
            return form_.chkConsulta;
        case Control::chkCtrl:
            return form_.chkCtrl;
        case Control::chkShift:
            return form_.chkShift;
        case Control::chkVisible:
            return form_.chkVisible;
        case Control::chkEnabled:
            return form_.chkEnabled;
        default:
            throw Error(tq::hr::kInvalidArg, u"not a check box");
    }
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
    bool* flag = nullptr;
    switch (c) {
        case Control::btnIncluir:
            flag = &form_.btnIncluir.Enabled;
            break;
        case Control::btnAlterar:
            flag = &form_.btnAlterar.Enabled;
            break;
        case Control::btnExcluir:
            flag = &form_.btnExcluir.Enabled;
            break;
        case Control::btnScript:
            flag = &form_.btnScript.Enabled;
            break;
        case Control::fraObjetos:
            flag = &form_.fraObjetos.Enabled;
            break;
        case Control::cmbTeclaAcesso:
            flag = &form_.cmbTeclaAcesso.Enabled;
            break;
        case Control::btnConfirma:
            flag = &form_.btnConfirma.Enabled;
            break;
        case Control::chkConsulta:
            flag = &form_.chkConsulta.Enabled;
            break;
        case Control::chkVisible:
            flag = &form_.chkVisible.Enabled;
            break;
        case Control::chkEnabled:
            flag = &form_.chkEnabled.Enabled;
            break;
        case Control::chkCtrl:
            flag = &form_.chkCtrl.Enabled;
            break;
        case Control::chkShift:
            flag = &form_.chkShift.Enabled;
            break;
        default:
            throw Error(tq::hr::kInvalidArg, u"control state not kept by the page");
    }
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
    if (services_.changed) services_.changed->SetChanged(changed);
}

// ---- What the user does ------------------------------------------------------------------

void PageModel::TypeText(Control c, String text) {
    Run([&] {
        TextBox& box = Text(c);
        if (box.Text == text) return;  // the view's echo of what the model set
        if (!CanFocus(c)) throw Error(hr::kInvalidCall, u"the text box is disabled");
        box.Text = std::move(text);
        if (c == Control::txtNome) nome_derivado_ = false;
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
        const Control antes = focus_;
        focus_ = c;
        if (antes == Control::txtCaption) posted_.push_back(Posted::txtCaption_LostFocus);
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
        historico_.Clear();  // a new history starts from the tree just applied
        SetChanged(false);
    });
}

void PageModel::PropertyPage_Terminate() {
    Run([&] { mMenuTree_.reset(); });
}

void PageModel::CarregaPagina() {
    trv_.Clear();
    AdicionaNo(trv_, u"Menu Principal", u"", kChaveRaiz, kTagRaiz, false, false);
    if (!mMenuTree_) ThrowObjectNotSet();
    if (mMenuTree_->Count() > 0) CarregaArvore(*mMenuTree_, kChaveRaiz);
    // Emptied first, so that a page loaded again lists every key once.
    form_.cmbTeclaAcesso.Clear();
    CarregaTeclas(form_.cmbTeclaAcesso);
    Notify(Control::cmbTeclaAcesso);
    Node& raiz = trv_.Item(kChaveRaiz);
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
        String chave = kChaveRaiz + nome;
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
    Node& raiz = trv_.Item(kChaveRaiz);
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
    copia_ = &trv_.Add(relativo, relacao, nova, no.Text());
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
        copia_ = nullptr;
        size_t marca = historico_.Mark();
        try {
            Node& n = Selecionado();
            const String k = n.Key();
            Node* r = up ? n.Previous() : n.Next();
            if (!r) ThrowObjectNotSet();  // no sibling that way: nothing to do
            const int32_t i = trv_.IndexOf(*r);
            marca = historico_.Mark();
            CopiaNo(n, u"tmp", NodeTree::Relative::ByIndex(i),
                    up ? Relationship::Previous : Relationship::Next);
            copia_ = nullptr;  // complete: from here on nothing is undone
            trv_.Remove(k);
            SetChanged(true);
        } catch (const Error&) {
            // Silent, as the page's moves are; a partial copy goes, so the tree is as before
            // and the history keeps nothing of it.
            if (copia_) trv_.Remove(*copia_);
            historico_.Discard(marca);
        }
        copia_ = nullptr;
    });
}

void PageModel::btnSobe_Click() {
    Move(true);
}
void PageModel::btnDesce_Click() {
    Move(false);
}

void PageModel::btnScript_Click() {
    Run([&] {
        if (!services_.script) ThrowObjectNotSet();
        services_.script->GerarScript();
    });
}

// ---- Level moves, drops, undo and redo -----------------------------------------------------

bool PageModel::PodeTransferir(const Node& no, const Node& alvo, Relationship onde) const {
    if (!no.Parent()) return false;                                   // the root stays where it is
    if (onde != Relationship::Child && !alvo.Parent()) return false;  // beside the root
    for (const Node* a = &alvo; a; a = a->Parent())
        if (a == &no) return false;  // onto itself or into its own subtree
    // Already there: the move would change nothing but the keys.
    if (onde == Relationship::Child && no.Parent() == &alvo && !no.Next()) return false;
    if (onde == Relationship::Previous && alvo.Previous() == &no) return false;
    if (onde == Relationship::Next && alvo.Next() == &no) return false;
    if (onde != Relationship::Child && onde != Relationship::Previous && onde != Relationship::Next)
        return false;
    // Every key of the copy must be free, or the copy would fail part-way.
    const String prefixo = u"tmp";
    const Node* n = &no;
    while (n) {
        if (trv_.Find(prefixo + n->Key())) return false;
        if (n->Child()) {
            n = n->Child();
            continue;
        }
        while (n != &no && !n->Next()) n = n->Parent();
        n = n == &no ? nullptr : n->Next();
    }
    return true;
}

void PageModel::Transfere(Node& no, Node& alvo, Relationship onde) {
    if (!PodeTransferir(no, alvo, onde)) return;
    const size_t marca = historico_.Mark();
    copia_ = nullptr;
    try {
        const String k = no.Key();
        CopiaNo(no, u"tmp", NodeTree::Relative::Of(alvo), onde);
        copia_ = nullptr;
        trv_.Remove(k);
        SetChanged(true);
    } catch (const Error&) {
        // As the up and down moves: silent, and nothing half-moved.
        if (copia_) trv_.Remove(*copia_);
        historico_.Discard(marca);
    }
    copia_ = nullptr;
}

bool PageModel::PodeIncluir() const {
    return trv_.SelectedItem() != nullptr;
}

bool PageModel::PodeAlterar() const {
    // btnAlterar_Click refuses an entry whose text is the root's.
    Node* s = trv_.SelectedItem();
    return s && s->Text() != trv_.Root(*s).Text();
}

bool PageModel::PodeExcluir() const {
    const Node* s = trv_.SelectedItem();
    return s && s->Tag() != kTagRaiz;
}

bool PageModel::PodeSubir() const {
    const Node* s = trv_.SelectedItem();
    return s && s->Previous() && PodeTransferir(*s, *s->Previous(), Relationship::Previous);
}

bool PageModel::PodeDescer() const {
    const Node* s = trv_.SelectedItem();
    return s && s->Next() && PodeTransferir(*s, *s->Next(), Relationship::Next);
}

bool PageModel::PodeRecuar() const {
    const Node* s = trv_.SelectedItem();
    return s && s->Parent() && PodeTransferir(*s, *s->Parent(), Relationship::Next);
}

bool PageModel::PodeAvancar() const {
    const Node* s = trv_.SelectedItem();
    return s && s->Previous() && PodeTransferir(*s, *s->Previous(), Relationship::Child);
}

bool PageModel::PodeSoltar(const Node& arrastado, const Node& alvo, Relationship onde) const {
    return PodeTransferir(arrastado, alvo, onde);
}

void PageModel::Recuar() {
    Run([&] {
        Node* s = trv_.SelectedItem();
        if (s && s->Parent()) Transfere(*s, *s->Parent(), Relationship::Next);
    });
}

void PageModel::Avancar() {
    Run([&] {
        Node* s = trv_.SelectedItem();
        if (s && s->Previous()) Transfere(*s, *s->Previous(), Relationship::Child);
    });
}

void PageModel::Soltar(Node& arrastado, Node& alvo, Relationship onde) {
    Run([&] { Transfere(arrastado, alvo, onde); });
}

void PageModel::Segue(const String& chave) {
    Node* n = trv_.Find(chave);
    if (!n) n = trv_.Find(kChaveRaiz);
    if (!n) n = trv_.FirstTop();
    if (!n) return;
    trv_.SetSelected(*n, true);
    trvMenu_NodeClick(*n);
}

void PageModel::Desfazer() {
    Run([&] {
        if (!historico_.CanUndo()) return;
        Segue(historico_.Undo());
        SetChanged(!historico_.Clean());
    });
}

void PageModel::Refazer() {
    Run([&] {
        if (!historico_.CanRedo()) return;
        Segue(historico_.Redo());
        SetChanged(!historico_.Clean());
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
        const bool raiz = Selecionado().Tag() == kTagRaiz;
        SetEnabled(Control::btnAlterar, navegando && !raiz);
        SetEnabled(Control::btnExcluir, navegando && !raiz);
        SetEnabled(Control::fraObjetos, !navegando);
        const bool e = form_.fraObjetos.Enabled;
        const uint32_t cor = e ? kCorTextoMenu : kCorTextoCinza;
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
            Recuar();
        else if (shift == 2 && keyCode == 39)
            Avancar();
        else if (shift == 2 && keyCode == 90)
            Desfazer();
        else if ((shift == 2 && keyCode == 89) || (shift == 3 && keyCode == 90))
            Refazer();
    });
}

// ---- Editing commands --------------------------------------------------------------------

void PageModel::btnIncluir_Click() {
    Run([&] {
        HabilitaControles(false);
        SetText(Control::txtCaption, String());
        SetText(Control::txtNome, String());
        nome_derivado_ = false;
        SetListIndex(-1);
        SetValue(Control::chkVisible, 1);
        SetValue(Control::chkEnabled, 1);
        SetValue(Control::chkConsulta, 0);
        PutFocus(Control::txtCaption);
        mintOperacao_ = 1;
    });
}

void PageModel::btnAlterar_Click() {
    Run([&] {
        Node& s = Selecionado();
        if (s.Text() == trv_.Root(s).Text()) {
            PutFocus(Control::trvMenu);
            return;
        }
        HabilitaControles(false);
        const String& r = s.Tag();
        SetText(Control::txtCaption, s.Text());
        SetText(Control::txtNome, LeCampo(r, u"Nome").ToText());
        nome_derivado_ = false;
        SetText(Control::txtDescricao, LeCampo(r, u"Descricao").ToText());
        SetValue(Control::chkCtrl, LeCampo(r, u"TeclaCtrl").ToInt16());
        SetValue(Control::chkShift, LeCampo(r, u"TeclaShift").ToInt16());
        SetListIndex(LeCampo(r, u"TeclaCombo", form_.cmbTeclaAcesso.List).ToInt16());
        SetValue(Control::chkVisible, s.Bold() ? 1 : 0);
        SetValue(Control::chkEnabled, s.Checked() ? 1 : 0);
        SetValue(Control::chkConsulta,
                 static_cast<int16_t>(std::abs(LeCampo(r, u"MenuConsulta").ToInt16())));
        PutFocus(Control::txtCaption);
        mintOperacao_ = 2;
    });
}

void PageModel::btnExcluir_Click() {
    Run([&] {
        Node& s = Selecionado();
        if (s.Tag() == kTagRaiz) return;
        const String texto = u"Exclui o Menu '" + s.Text() + u"' ?";
        const int32_t resposta =
            services_.msgbox ? services_.msgbox->MsgBox(texto, kEstiloPergunta, kTitulo) : kMsgNo;
        if (resposta == kMsgYes) {
            trv_.Remove(String(s.Key()));
            SetChanged(true);
        }
    });
}

bool PageModel::NomeEmUso(const String& nome, const Node* exceto) const {
    bool usado = false;
    trv_.ForEach([&](const Node& n) {
        if (!usado && &n != exceto && n.Tag() != kTagRaiz)
            usado = LeCampo(n.Tag(), u"Nome").ToText() == nome;
    });
    return usado;
}

String PageModel::NomeUnico(const String& nome, const Node* exceto, bool checaChave) const {
    std::unordered_set<String> usados;
    trv_.ForEach([&](const Node& n) {
        if (&n != exceto && n.Tag() != kTagRaiz) usados.insert(LeCampo(n.Tag(), u"Nome").ToText());
    });
    const auto livre = [&](const String& c) {
        return !usados.count(c) && !(checaChave && trv_.Find(kChaveRaiz + c));
    };
    if (livre(nome)) return nome;
    for (int i = 2;; ++i) {
        const String sufixo = Digits(i);
        const String c = nome.substr(0, model::kTamanhoNome - sufixo.size()) + sufixo;
        if (livre(c)) return c;
    }
}

void PageModel::btnConfirma_Click() {
    Run([&] {
        // Anything waiting (the caption's focus loss above all) runs before a field is read.
        PutFocus(Control::btnConfirma);
        DoEvents();

        String t;
        if (form_.chkCtrl.Value == 1) t = u"Ctrl";
        if (form_.chkShift.Value == 1) {
            if (!t.empty()) t += u'+';
            t += u"Shift";
        }
        const int32_t tecla = form_.cmbTeclaAcesso.ListIndex;
        if (tecla != -1) {
            t += u'+';
            t += form_.cmbTeclaAcesso.List.at(static_cast<size_t>(tecla));
        } else {
            t = u"00";
        }

        // The name as the record will hold it, so that key and record agree.
        String nome = TrimSpaces(form_.txtNome.Text).substr(0, model::kTamanhoNome);
        bool derivado = nome_derivado_;
        Node& s = Selecionado();
        if (nome.empty()) {
            // An entry needs a name: the next load keys it "A" + name, and with none it would
            // take the root's key and vanish.  An empty box gets the name the caption gives,
            // as when the focus leaves the caption; when that is empty too, the user is asked.
            nome =
                TrimSpaces(NomeDaCaption(form_.txtCaption.Text, s)).substr(0, model::kTamanhoNome);
            derivado = true;
            if (nome.empty()) {
                if (services_.msgbox)
                    services_.msgbox->MsgBox(u"Informe o Nome do Menu", kEstiloAviso, kTitulo);
                PutFocus(Control::txtNome);
                return;
            }
        }
        String p, k;
        bool recusa = false;
        if (mintOperacao_ == 1) {
            p = s.Key();
            if (derivado)
                nome = NomeUnico(nome, nullptr, true);
            else
                recusa = trv_.Find(kChaveRaiz + nome) || NomeEmUso(nome, nullptr);
            k = kChaveRaiz + nome;
        } else {
            Node* pai = s.Parent();
            if (!pai) ThrowObjectNotSet();
            p = pai->Key();
            k = s.Key();
            if (nome != LeCampo(s.Tag(), u"Nome").ToText()) {
                if (derivado)
                    nome = NomeUnico(nome, &s, false);
                else
                    recusa = NomeEmUso(nome, &s);
            }
        }
        if (recusa) {
            if (services_.msgbox)
                services_.msgbox->MsgBox(u"Já Existe um Menu com o Nome '" + nome + u"'",
                                         kEstiloAviso, kTitulo);
            PutFocus(Control::txtNome);
            return;
        }

        String r;
        r = DefineCampo(Value(t), u"Tecla", std::move(r));
        r = DefineCampo(Value::Integer(form_.chkConsulta.Value), u"MenuConsulta", std::move(r));
        r = DefineCampo(Value(nome), u"Nome", std::move(r));
        r = DefineCampo(Value(form_.txtDescricao.Text), u"Descricao", std::move(r));

        AdicionaNo(trv_, form_.txtCaption.Text, p, k, r, form_.chkEnabled.Value != 0, true);
        trv_.SetBold(trv_.Item(k), form_.chkVisible.Value != 0);

        SetText(Control::txtCaption, String());
        SetText(Control::txtNome, String());
        nome_derivado_ = false;
        SetText(Control::txtDescricao, String());
        SetListIndex(-1);
        SetValue(Control::chkCtrl, 0);
        SetValue(Control::chkShift, 0);
        SetValue(Control::chkConsulta, 0);

        PutFocus(Control::trvMenu);
        Node& pai = trv_.Item(p);
        trv_.SetSelected(pai, true);
        trv_.SetExpanded(pai, true);
        trvMenu_NodeClick(pai);
        SetChanged(true);
    });
}

String PageModel::NomeDaCaption(const String& caption, const Node& selecionado) const {
    String base;
    if (caption == u"-") {
        base = u"Sep";
    } else {
        for (char16_t c : caption)
            if (c != u'&') base += c;
        base = base.substr(0, 3);
    }
    if (mintOperacao_ != 1) return base;
    const String q = LeCampo(selecionado.Tag(), u"Nome").ToText();
    return q == u"Raiz" ? base : q + base;
}

void PageModel::txtCaption_LostFocus() {
    Run([&] {
        if (!form_.txtNome.Text.empty()) return;
        String nome = NomeDaCaption(form_.txtCaption.Text, Selecionado());
        if (form_.txtCaption.Text == u"-") SetText(Control::txtCaption, String(10, u'-'));
        SetText(Control::txtNome, std::move(nome));
        nome_derivado_ = true;
    });
}

}  // namespace tq::designer
