// The state of the page's form controls, as the page model keeps it.  The Win32 page shows
// exactly this; the model changes it only through PageModel, which tells the view about every
// change it makes (IPageView::OnControlChanged).
#pragma once

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "tq/ustring.h"

namespace tq::designer {

// The controls of the form, named as on the form.
enum class Control {
    None,
    btnIncluir,
    btnAlterar,
    btnExcluir,
    btnSobe,
    btnDesce,
    btnScript,
    trvMenu,
    lstMenu,
    fraObjetos,
    lblCaption,
    txtCaption,
    lblNome,
    txtNome,
    lblDescricao,
    txtDescricao,
    chkConsulta,
    fraAtalho,
    chkCtrl,
    chkShift,
    cmbTeclaAcesso,
    chkVisible,
    chkEnabled,
    btnConfirma,
};

// OLE colours naming Windows system colours (high bit set, system colour index below).
inline constexpr uint32_t kColorMenuText = 0x80000007;    // COLOR_MENUTEXT
inline constexpr uint32_t kColorGrayText = 0x80000011;    // COLOR_GRAYTEXT
inline constexpr uint32_t kColorButtonText = 0x80000012;  // COLOR_BTNTEXT, a label's default

struct TextBox {
    String Text;
    bool Enabled = true;
};

// Value 0 = clear, 1 = ticked, 2 = grayed; nothing else is accepted.
struct CheckBox {
    int16_t Value = 0;
    bool Enabled = true;
};

// A drop-down list: ListIndex -1 means nothing chosen.
struct ComboBox {
    std::vector<String> List;
    int32_t ListIndex = -1;
    bool Enabled = true;

    void AddItem(String item) { List.push_back(std::move(item)); }
    void Clear() {
        List.clear();
        ListIndex = -1;
    }
};

struct CommandButton {
    bool Enabled = true;
};

struct Frame {
    bool Enabled = true;
};

struct Label {
    uint32_t ForeColor = kColorButtonText;
};

// One row of lstMenu: Columns[0] is the row's text, Columns[1..5] its sub-items.
struct ListRow {
    std::array<String, 6> Columns;
};

struct ListView {
    std::vector<ListRow> Rows;
};

// Column headers of lstMenu and their widths in twips.
struct ColumnHeader {
    const char16_t* Text;
    int32_t Width;
};
inline constexpr std::array<ColumnHeader, 6> kListColumns = {{{u"Caption", 1300},
                                                              {u"Nome", 1200},
                                                              {u"Tecla", 1100},
                                                              {u"Visible", 700},
                                                              {u"Enabled", 700},
                                                              {u"Descricao", 2000}}};

struct Form {
    CommandButton btnIncluir, btnAlterar, btnExcluir, btnSobe, btnDesce, btnScript;
    ListView lstMenu;
    Frame fraObjetos, fraAtalho;
    Label lblCaption, lblNome, lblDescricao;
    TextBox txtCaption, txtNome, txtDescricao;
    CheckBox chkConsulta, chkCtrl, chkShift, chkVisible, chkEnabled;
    ComboBox cmbTeclaAcesso;
    CommandButton btnConfirma;

    // The state of control `c`, or null when it has none of that kind (no Enabled flag: the
    // tree, the list and the labels, which are never disabled).
    const bool* EnabledFlag(Control c) const;
    const TextBox* TextBoxOf(Control c) const;
    const CheckBox* CheckBoxOf(Control c) const;
    bool* EnabledFlag(Control c) { return const_cast<bool*>(std::as_const(*this).EnabledFlag(c)); }
    TextBox* TextBoxOf(Control c) {
        return const_cast<TextBox*>(std::as_const(*this).TextBoxOf(c));
    }
    CheckBox* CheckBoxOf(Control c) {
        return const_cast<CheckBox*>(std::as_const(*this).CheckBoxOf(c));
    }
};

}  // namespace tq::designer
