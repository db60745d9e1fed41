// tqMenu's persisted properties: "MenuTree" (an object; empty by default), "ExibirMenu" (a
// Boolean; True by default) and "AtalhosAtivos" (a Boolean; False by default, and written only
// when True, so a control without shortcuts saves exactly as before the property existed), in a
// container's property bag or in a stream.
#include "property_bag.h"
#include "tq_menu.h"
#include "tq/com/error_info.h"
#include "tq/com/strings.h"
#include "tq/error.h"

namespace tq::ctl {

using com::Check;
using com::ComPtr;
using com::Guard;
using com::Variant;

namespace {

constexpr wchar_t kSource[] = L"tqMenuCtl.tqMenu";
constexpr wchar_t kMenuTree[] = L"MenuTree";
constexpr wchar_t kExibirMenu[] = L"ExibirMenu";
constexpr wchar_t kAtalhosAtivos[] = L"AtalhosAtivos";

// IPropertyBag::Read's answer for a name the bag does not hold.
bool IsMissing(HRESULT hr) {
    return hr == E_INVALIDARG;
}

// The Boolean `name`, or `missing` when the bag does not hold it.
VARIANT_BOOL ReadBool(IPropertyBag* bag, IErrorLog* log, const wchar_t* name,
                      VARIANT_BOOL missing) {
    Variant value;
    V_VT(&value) = VT_BOOL;
    const HRESULT hr = bag->Read(name, &value, log);
    if (IsMissing(hr)) return missing;
    const std::wstring mismatch =
        std::wstring(L"Tipos incompatíveis: a propriedade \"") + name + L"\" não é um Boolean";
    if (hr == DISP_E_TYPEMISMATCH)
        throw tq::Error(tq::hr::kTypeMismatch, String(com::AsPortable(mismatch)));
    Check(hr);
    Check(VariantChangeType(&value, &value, 0, VT_BOOL), mismatch);
    return V_BOOL(&value) ? VARIANT_TRUE : VARIANT_FALSE;
}

}  // namespace

HRESULT TqMenu::GetClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = CLSID_tqMenu;
    return S_OK;
}

HRESULT TqMenu::IsDirty() {
    return dirty_ ? S_OK : S_FALSE;
}

HRESULT TqMenu::InitNew() {
    // A control dropped on a form: no tree, ExibirMenu and AtalhosAtivos False.
    tree_ = nullptr;
    exibir_menu_ = VARIANT_FALSE;
    atalhos_ativos_ = VARIANT_FALSE;
    dirty_ = false;
    return S_OK;
}

// Reads "MenuTree" with the empty default, then "ExibirMenu" with the default True, then
// "AtalhosAtivos" with the default False.  A stored tree that is not a MenuTree stops the load
// before the Booleans are read.  Nothing of the control changes here: the caller commits the
// values once all were read.
TqMenu::StoredState TqMenu::ReadProperties(IPropertyBag* bag, IErrorLog* log) {
    StoredState state;
    Variant tree_value;
    V_VT(&tree_value) = VT_UNKNOWN;
    HRESULT hr = bag->Read(kMenuTree, &tree_value, log);
    ComPtr<::MenuTree> tree;
    if (!IsMissing(hr)) {
        if (hr == DISP_E_TYPEMISMATCH)
            throw tq::Error(tq::hr::kTypeMismatch,
                            u"Tipos incompatíveis: a propriedade \"MenuTree\" não é um objeto");
        Check(hr);
        IUnknown* obj = nullptr;
        if (V_VT(&tree_value) == VT_UNKNOWN)
            obj = V_UNKNOWN(&tree_value);
        else if (V_VT(&tree_value) == VT_DISPATCH)
            obj = V_DISPATCH(&tree_value);
        else if (V_VT(&tree_value) != VT_EMPTY && V_VT(&tree_value) != VT_NULL)
            throw tq::Error(tq::hr::kTypeMismatch,
                            u"Tipos incompatíveis: a propriedade \"MenuTree\" não é um objeto");
        if (obj && FAILED(obj->QueryInterface(IID_MenuTree, tree.put_void())))
            throw tq::Error(tq::hr::kTypeMismatch,
                            u"Tipos incompatíveis: a propriedade \"MenuTree\" não é um MenuTree");
    }
    state.tree = std::move(tree);

    state.exibir_menu = ReadBool(bag, log, kExibirMenu, VARIANT_TRUE);
    state.atalhos_ativos = ReadBool(bag, log, kAtalhosAtivos, VARIANT_FALSE);
    return state;
}

void TqMenu::Commit(StoredState state) noexcept {
    tree_ = std::move(state.tree);
    exibir_menu_ = state.exibir_menu;
    atalhos_ativos_ = state.atalhos_ativos;
    dirty_ = false;
}

// Writes the field (not the getter: an empty tree stays unwritten) and leaves out values equal
// to their defaults.
void TqMenu::WriteProperties(IPropertyBag* bag) {
    if (tree_) {
        Variant v = Variant::FromDispatch(tree_.get());
        Check(bag->Write(kMenuTree, &v));
    }
    if (exibir_menu_ != VARIANT_TRUE) {
        Variant v = Variant::FromBool(false);
        Check(bag->Write(kExibirMenu, &v));
    }
    if (atalhos_ativos_ != VARIANT_FALSE) {
        Variant v = Variant::FromBool(true);
        Check(bag->Write(kAtalhosAtivos, &v));
    }
}

HRESULT TqMenu::Load(IPropertyBag* bag, IErrorLog* log) {
    if (!bag) return E_POINTER;
    return Guard(IID_IPersistPropertyBag, kSource, [&] {
        Commit(ReadProperties(bag, log));
        return S_OK;
    });
}

HRESULT TqMenu::Save(IPropertyBag* bag, BOOL clear_dirty, BOOL) {
    if (!bag) return E_POINTER;
    return Guard(IID_IPersistPropertyBag, kSource, [&] {
        WriteProperties(bag);
        if (clear_dirty) dirty_ = false;
        return S_OK;
    });
}

HRESULT TqMenu::Load(LPSTREAM stream) {
    if (!stream) return E_POINTER;
    return Guard(IID_IPersistStreamInit, kSource, [&] {
        ComPtr<MemoryBag> bag = MemoryBag::Make();
        if (!bag) throw std::bad_alloc();
        bag->LoadFrom(stream);
        Commit(ReadProperties(bag.get(), nullptr));
        return S_OK;
    });
}

HRESULT TqMenu::Save(LPSTREAM stream, BOOL clear_dirty) {
    if (!stream) return E_POINTER;
    return Guard(IID_IPersistStreamInit, kSource, [&] {
        ComPtr<MemoryBag> bag = MemoryBag::Make();
        if (!bag) throw std::bad_alloc();
        WriteProperties(bag.get());
        bag->SaveTo(stream);
        if (clear_dirty) dirty_ = false;
        return S_OK;
    });
}

HRESULT TqMenu::GetSizeMax(ULARGE_INTEGER* size) {
    if (size) size->QuadPart = 0;
    return E_NOTIMPL;  // the tree's size is its own business
}

}  // namespace tq::ctl
