// The property page tqMenuProperty as a portable model: the tree of designer nodes, the form's
// state, and every procedure and event handler of the page, under their own names.  The Win32
// page is a thin view over it: it forwards the platform's events to the handlers here, reports
// what the user types, ticks, chooses, selects and where the focus goes, and mirrors what the
// model tells it through IPageView.
//
// Tree conventions.  The tree always has one top-level node, the root: key "A", text
// "Menu Principal", tag "Raiz", check mark off; its children are the menu bar's entries.  Every
// other node carries one menu entry: key "A" followed by its Nome when the node was made
// ("tmp" put in front once per move), text = Caption, tag = its item field record, Bold = the
// entry is visible, Checked = it is enabled.
//
// Focus and posted events.  The model knows which control has the focus.  When the focus
// leaves txtCaption, txtCaption_LostFocus is posted, as the platform posts the focus-loss event
// to the form: it runs at the next pass over pending messages (inside btnConfirma_Click, which
// moves the focus and then processes what is waiting) or, at the latest, when the outermost
// handler returns to the message loop.  So a focus move the view reports (FocusChanged)
// derives the name before the handler that follows, and a confirm pressed while the caption
// still has the focus derives it inside the confirm, before any field is read.
//
// Binding a view.  The Win32 page forwards, and does nothing else:
//   IPropertyPage::SetObjects      -> PropertyPage_SelectionChanged(its MenuTree as IMenuLevel)
//   IPropertyPage::Apply           -> PropertyPage_ApplyChanges, then putref MenuTree
//   page destroyed                 -> PropertyPage_Terminate
//   button clicked                 -> btnIncluir_Click ... btnScript_Click
//   TVN_SELCHANGED by the user     -> SelectNode;  NM_CLICK on a node -> trvMenu_NodeClick
//   TVN_KEYDOWN / combo WM_KEYDOWN -> trvMenu_KeyDown / cmbTeclaAcesso_KeyDown
//   EN_CHANGE, check box clicked, CBN_SELCHANGE -> TypeText, SetCheck, ChooseKey
//   a control gets the focus       -> FocusChanged
// and mirrors the model: tree changes through INodeTreeObserver (a Node* maps to an
// HTREEITEM), OnControlChanged(c) -> read form() for c and set the control, OnFocusMoved(c) ->
// SetFocus.  The view's own echo of what it set (EN_CHANGE after SetWindowText, a focus event
// after SetFocus) may be forwarded again: it changes nothing.
//
// Errors.  Handlers catch nothing except where the page does (AdicionaNo's traps, the moves):
// failures reach the caller as tq::Error, which the Win32 page returns to the host as the
// event's error.
//
// Decisions taken where the page's behaviour is left open:
//  - Confirm never leaves an entry without a name (the next load would give it the root's key,
//    losing it and moving its children up): an empty (or blank) name is derived from the
//    caption as the caption's focus loss derives it, and made unique; when the caption gives
//    none either, confirm is refused with a message box ("Informe o Nome do Menu", "Alerta!",
//    style 48) and the edit stays open.
//  - Confirm never lets a new entry take over another node.  A name that the page derived (or,
//    with no name, the caption used for the key) is made unique by appending 2, 3, ...; a name
//    the user typed that another entry already uses (as a key "A" + name or as the Nome in its
//    record) is refused with a message box ("Alerta!", style 48) and the edit stays open.  On a
//    change, a typed new name used by another entry is refused likewise and a derived one made
//    unique.  Names are taken trimmed and cut to the record's 50 characters, so that the key
//    and the record agree.
//  - A move whose copy fails part-way (a "tmp" key already in use, at any depth) removes the
//    part of the copy already made, so the tree is as before.  A descendant whose key is taken
//    makes the copy fail, rather than being written into the node that holds the key.
//  - CarregaPagina empties the key list before filling it, so each name appears once.
//  - After a successful apply the Changed flag goes back to False, as the page's host expects.
//
// Beyond the form's buttons (on the tree's keys and its context menu in the Win32 page):
//  - Level moves.  Avancar makes the selected entry, with its subtree, the last child of its
//    previous sibling; Recuar makes it the next sibling of its parent.  Soltar puts a dragged
//    entry as the last child of another entry, or just before or after it.  They move as the
//    up and down buttons do: a copy with "tmp" in front of every key, then the source goes;
//    the copy is selected.  A move that cannot be made whole (the root, a top-level entry to
//    the left, a first child to the right, into its own subtree, a "tmp" key already in use,
//    to where it already is) changes nothing.
//  - Undo and redo.  Every handler the host or the view calls is one step of the history when
//    it changes the tree (confirm, delete, the moves, a drop).  Desfazer and Refazer go back and
//    forth without limit; the selection goes back to the node selected before (after) the
//    step and runs trvMenu_NodeClick on it, so the list and the states follow, and Changed
//    tells whether the tree is the one last applied.  Apply and loading start a new history.
//    An edit that is open is not in the history until it is confirmed.
//  - The Pode... queries tell whether a command would do something now, for a menu that
//    enables its entries.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>

#include "tq/designer/form.h"
#include "tq/designer/node_tree.h"
#include "tq/designer/page_services.h"
#include "tq/designer/tree_history.h"
#include "tq/bib/menu_level.h"
#include "tq/ustring.h"

namespace tq::designer {

class PageModel {
  public:
    explicit PageModel(PageServices services = {}, IPageView* view = nullptr);
    PageModel(const PageModel&) = delete;
    PageModel& operator=(const PageModel&) = delete;

    // ---- Property page events --------------------------------------------------------------
    // The MenuTree of the first selected control (null when it has none): kept as mMenuTree,
    // then the page is loaded from it.
    void PropertyPage_SelectionChanged(std::unique_ptr<bib::IMenuLevel> menuTree);
    // Rebuilds mMenuTree from the tree.  The caller then sets it back into the control.
    void PropertyPage_ApplyChanges();
    // Releases mMenuTree.
    void PropertyPage_Terminate();
    // Takes the control's MenuTree back after PropertyPage_Terminate, without loading the page
    // again: the tree view keeps the edits (a host that applies a page it has deactivated).
    void RetomaMenuTree(std::unique_ptr<bib::IMenuLevel> menuTree) {
        mMenuTree_ = std::move(menuTree);
    }

    // ---- Editing commands ------------------------------------------------------------------
    void btnIncluir_Click();
    void btnAlterar_Click();
    void btnExcluir_Click();
    void btnConfirma_Click();
    void txtCaption_LostFocus();

    // ---- Tree, states and keys -------------------------------------------------------------
    void trvMenu_NodeClick(Node& node);
    void HabilitaControles(bool navegando);
    void cmbTeclaAcesso_KeyDown(int16_t& keyCode, int16_t shift);
    void trvMenu_KeyDown(int16_t& keyCode, int16_t& shift);

    // ---- Reordering and script -------------------------------------------------------------
    void btnSobe_Click();
    void btnDesce_Click();
    void btnScript_Click();

    // ---- Level moves, drops, undo and redo -----------------------------------------------------
    void Recuar();   // Ctrl+Left
    void Avancar();  // Ctrl+Right
    // Drops `arrastado` on `alvo`: Child = its last child, Previous / Next = just before / after.
    void Soltar(Node& arrastado, Node& alvo, Relationship onde);
    void Desfazer();  // Ctrl+Z
    void Refazer();   // Ctrl+Y, Ctrl+Shift+Z

    bool PodeIncluir() const;
    bool PodeAlterar() const;
    bool PodeExcluir() const;
    bool PodeSubir() const;
    bool PodeDescer() const;
    bool PodeRecuar() const;
    bool PodeAvancar() const;
    bool PodeSoltar(const Node& arrastado, const Node& alvo, Relationship onde) const;
    bool PodeDesfazer() const { return historico_.CanUndo(); }
    bool PodeRefazer() const { return historico_.CanRedo(); }
    const TreeHistory& historico() const { return historico_; }

    // ---- The page's procedures ---------------------------------------------------------------
    void CarregaPagina();
    void CarregaArvore(bib::IMenuLevel& nivel, const String& chavePai);
    void MontaMenuTree();
    void MontaItens(Node* primeiro, bib::IMenuLevel& nivel);
    // Lays out TextoMenu for one level and every level below it (16-bit arithmetic: a width
    // + 3 above 32767 is an overflow, tq::Error with tq::hr::kOverflow).
    static void MontaTextoMenu(bib::IMenuLevel& nivel);
    void CopiaNo(Node& no, const String& prefixo, const NodeTree::Relative& relativo,
                 Relationship relacao);
    void CopiaFilhos(Node* primeiro, const String& chavePai, const String& prefixo);
    void CarregaLista(Node& no);

    // ---- What the user does, reported by the view --------------------------------------------
    // Typing in txtCaption, txtNome or txtDescricao (the same text again changes nothing).
    void TypeText(Control textBox, String text);
    // Ticking a check box (0, 1 or 2).
    void SetCheck(Control checkBox, int16_t value);
    // Choosing an item of cmbTeclaAcesso (-1 for none).
    void ChooseKey(int32_t listIndex);
    // The focus moved to `control` (posts txtCaption_LostFocus when it left the caption).
    void FocusChanged(Control control);
    // The user selected a node (the tree view's own selection change, not a click event).
    void SelectNode(Node& node);
    // A click on a node: selects it, then runs trvMenu_NodeClick.
    void ClickNode(Node& node);

    // ---- State ------------------------------------------------------------------------------
    const Form& form() const { return form_; }
    NodeTree& trvMenu() { return trv_; }
    const NodeTree& trvMenu() const { return trv_; }
    int16_t mintOperacao() const { return mintOperacao_; }
    bool Changed() const { return changed_; }
    Control Focus() const { return focus_; }
    bib::IMenuLevel* mMenuTree() const { return mMenuTree_.get(); }

  private:
    template <class F>
    void Run(F&& body);
    void RunPosted();
    void DoEvents();
    void PutFocus(Control control);  // the page's own SetFocus
    bool CanFocus(Control control) const;
    Node& Selecionado() const;

    void SetText(Control textBox, String text);
    void SetValue(Control checkBox, int16_t value);
    void SetListIndex(int32_t index);
    void SetEnabled(Control control, bool enabled);
    void SetForeColor(Control label, uint32_t color);
    void SetChanged(bool changed);
    void Notify(Control control);

    TextBox& Text(Control c);
    CheckBox& Check(Control c);

    void Move(bool up);
    // Whether `no` with its subtree can be copied and moved next to `alvo` (see Soltar).
    bool PodeTransferir(const Node& no, const Node& alvo, Relationship onde) const;
    void Transfere(Node& no, Node& alvo, Relationship onde);
    void Segue(const String& chave);
    bool NomeEmUso(const String& nome, const Node* exceto) const;
    String NomeUnico(const String& nome, const Node* exceto, bool checaChave) const;
    // The name the caption gives: "Sep" for a separator ("-"), else its first three characters
    // without "&"; on an add, after the Nome of the entry added to (none under the root).
    String NomeDaCaption(const String& caption, const Node& selecionado) const;

    PageServices services_;
    IPageView* view_;
    NodeTree trv_;
    TreeHistory historico_{trv_};
    Form form_;
    std::unique_ptr<bib::IMenuLevel> mMenuTree_;
    int16_t mintOperacao_ = 0;
    bool changed_ = false;
    Control focus_ = Control::None;
    bool nome_derivado_ = false;  // txtNome holds a name txtCaption_LostFocus derived
    Node* copia_ = nullptr;       // the top node of the copy a move is making

    int depth_ = 0;  // nesting of handlers; posted events run at depth 0
    enum class Posted { txtCaption_LostFocus };
    std::deque<Posted> posted_;
};

}  // namespace tq::designer
