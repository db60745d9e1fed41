#include "tq/designer/form.h"

#include <utility>

namespace tq::designer {

namespace {

template <class T, size_t N>
T* Lookup(const std::pair<Control, T*> (&table)[N], Control c) {
    for (const auto& [control, state] : table)
        if (control == c) return state;
    return nullptr;
}

}  // namespace

const bool* Form::EnabledFlag(Control c) const {
    const std::pair<Control, const bool*> flags[] = {
        {Control::btnIncluir, &btnIncluir.Enabled},
        {Control::btnAlterar, &btnAlterar.Enabled},
        {Control::btnExcluir, &btnExcluir.Enabled},
        {Control::btnSobe, &btnSobe.Enabled},
        {Control::btnDesce, &btnDesce.Enabled},
        {Control::btnScript, &btnScript.Enabled},
        {Control::fraObjetos, &fraObjetos.Enabled},
        {Control::txtCaption, &txtCaption.Enabled},
        {Control::txtNome, &txtNome.Enabled},
        {Control::txtDescricao, &txtDescricao.Enabled},
        {Control::chkConsulta, &chkConsulta.Enabled},
        {Control::fraAtalho, &fraAtalho.Enabled},
        {Control::chkCtrl, &chkCtrl.Enabled},
        {Control::chkShift, &chkShift.Enabled},
        {Control::cmbTeclaAcesso, &cmbTeclaAcesso.Enabled},
        {Control::chkVisible, &chkVisible.Enabled},
        {Control::chkEnabled, &chkEnabled.Enabled},
        {Control::btnConfirma, &btnConfirma.Enabled},
    };
    return Lookup(flags, c);
}

const TextBox* Form::TextBoxOf(Control c) const {
    const std::pair<Control, const TextBox*> boxes[] = {
        {Control::txtCaption, &txtCaption},
        {Control::txtNome, &txtNome},
        {Control::txtDescricao, &txtDescricao},
    };
    return Lookup(boxes, c);
}

const CheckBox* Form::CheckBoxOf(Control c) const {
    const std::pair<Control, const CheckBox*> boxes[] = {
        {Control::chkConsulta, &chkConsulta}, {Control::chkCtrl, &chkCtrl},
        {Control::chkShift, &chkShift},       {Control::chkVisible, &chkVisible},
        {Control::chkEnabled, &chkEnabled},
    };
    return Lookup(boxes, c);
}

}  // namespace tq::designer
