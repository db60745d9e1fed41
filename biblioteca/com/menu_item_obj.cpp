// MenuItem: one menu entry.  Every property reads and writes the core entry directly, so what is
// put through one reference is seen through every other (Item, SubMenu, ItemPorHnd).  Booleans
// are VARIANT_BOOL: any nonzero value put counts as True, and True reads back as -1.
#include "tq/com/strings.h"
#include "tqbib_private.h"

namespace tq::bib::com {
namespace {

using tq::com::ReturnBstr;
using tq::com::ToPortable;

VARIANT_BOOL Vb(bool v) {
    return v ? VARIANT_TRUE : VARIANT_FALSE;
}

HRESULT ReturnBool(bool v, VARIANT_BOOL* out) {
    if (!out) return E_POINTER;
    *out = Vb(v);
    return S_OK;
}

// Runs a setter that may throw (allocation of the new text).
template <class F>
HRESULT Put(F&& f) {
    return tq::com::Guard(IID_MenuItem, kErrorSource, [&] {
        f();
        return S_OK;
    });
}

}  // namespace

std::span<const QiEntry> MenuItemObject::Interfaces() {
    static const QiEntry table[] = {
        TQ_QI(MenuItemObject, MenuItem),
        TQ_QI_VIA(MenuItemObject, IDispatch, MenuItem),
        TQ_QI(MenuItemObject, ISupportErrorInfo),
    };
    return table;
}

HRESULT MenuItemObject::Wrap(const std::shared_ptr<tq::bib::MenuItem>& item, ::MenuItem** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!item) return S_OK;
    if (item->peer) {
        *out = static_cast<MenuItemObject*>(item->peer);
        (*out)->AddRef();
        return S_OK;
    }
    auto obj = Make(item);
    if (!obj) return E_OUTOFMEMORY;
    *out = obj.get();
    (*out)->AddRef();
    return S_OK;
}

MenuItemObject::MenuItemObject(std::shared_ptr<tq::bib::MenuItem> item) : item_(std::move(item)) {
    item_->peer = this;
}

MenuItemObject::~MenuItemObject() {
    if (item_->peer == this) item_->peer = nullptr;
}

HRESULT MenuItemObject::get_TextoMenu(BSTR* value) {
    return ReturnBstr(item_->TextoMenu(), value);
}
HRESULT MenuItemObject::put_TextoMenu(BSTR value) {
    return Put([&] { item_->SetTextoMenu(ToPortable(value)); });
}
HRESULT MenuItemObject::get_Caption(BSTR* value) {
    return ReturnBstr(item_->Caption(), value);
}
HRESULT MenuItemObject::put_Caption(BSTR value) {
    return Put([&] { item_->SetCaption(ToPortable(value)); });
}
HRESULT MenuItemObject::get_Descricao(BSTR* value) {
    return ReturnBstr(item_->Descricao(), value);
}
HRESULT MenuItemObject::put_Descricao(BSTR value) {
    return Put([&] { item_->SetDescricao(ToPortable(value)); });
}
HRESULT MenuItemObject::get_Nome(BSTR* value) {
    return ReturnBstr(item_->Nome(), value);
}

HRESULT MenuItemObject::get_HndMenu(LONG* value) {
    if (!value) return E_POINTER;
    *value = item_->HndMenu();
    return S_OK;
}
HRESULT MenuItemObject::put_HndMenu(LONG value) {
    return Put([&] { item_->SetHndMenu(value); });
}

HRESULT MenuItemObject::get_TeclaExtenso(BSTR* value) {
    return ReturnBstr(item_->TeclaExtenso(), value);
}
HRESULT MenuItemObject::put_TeclaExtenso(BSTR value) {
    return Put([&] { item_->SetTeclaExtenso(ToPortable(value)); });
}

HRESULT MenuItemObject::get_MenuConsulta(VARIANT_BOOL* value) {
    return ReturnBool(item_->MenuConsulta(), value);
}
HRESULT MenuItemObject::put_MenuConsulta(VARIANT_BOOL value) {
    item_->SetMenuConsulta(value != VARIANT_FALSE);
    return S_OK;
}
HRESULT MenuItemObject::get_Visivel(VARIANT_BOOL* value) {
    return ReturnBool(item_->Visivel(), value);
}
HRESULT MenuItemObject::put_Visivel(VARIANT_BOOL value) {
    item_->SetVisivel(value != VARIANT_FALSE);
    return S_OK;
}
HRESULT MenuItemObject::get_VisivelDefault(VARIANT_BOOL* value) {
    return ReturnBool(item_->VisivelDefault(), value);
}
HRESULT MenuItemObject::put_VisivelDefault(VARIANT_BOOL value) {
    item_->SetVisivelDefault(value != VARIANT_FALSE);
    return S_OK;
}
HRESULT MenuItemObject::get_Habilitado(VARIANT_BOOL* value) {
    return ReturnBool(item_->Habilitado(), value);
}
HRESULT MenuItemObject::put_Habilitado(VARIANT_BOOL value) {
    item_->SetHabilitado(value != VARIANT_FALSE);
    return S_OK;
}
HRESULT MenuItemObject::get_HabilitadoDefault(VARIANT_BOOL* value) {
    return ReturnBool(item_->HabilitadoDefault(), value);
}
HRESULT MenuItemObject::put_HabilitadoDefault(VARIANT_BOOL value) {
    item_->SetHabilitadoDefault(value != VARIANT_FALSE);
    return S_OK;
}

HRESULT MenuItemObject::get_SubMenu(::MenuTree** value) {
    if (!value) return E_POINTER;
    *value = nullptr;
    // A leaf's level is made here, on first use.
    return tq::com::Guard(IID_MenuItem, kErrorSource,
                          [&] { return MenuTreeObject::Wrap(item_->SubMenu(), value); });
}

HRESULT MenuItemObject::InterfaceSupportsErrorInfo(REFIID iid) {
    static const IID* const iids[] = {&IID_MenuItem};
    return tq::com::SupportsErrorInfo(iids, iid);
}

}  // namespace tq::bib::com
