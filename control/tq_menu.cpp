// tqMenu: identity, the _tqMenu members, events and type information.  The OLE embedding
// (tq_menu_ole.cpp) and persistence (tq_menu_persist.cpp) live beside it.
#include "tq_menu.h"

#include "mdl_menu.h"
#include "shortcut_keys.h"

#include "tq/com/error_info.h"
#include "tq/com/variant.h"
#include "tq/error.h"

#include "tq/script/gerar_script.h"

namespace tq::ctl {

using com::Check;
using com::ComPtr;
using com::Guard;

namespace {
constexpr wchar_t kSource[] = L"tqMenuCtl.tqMenu";
}  // namespace

TqMenu::TqMenu()
    : events_(Identity(), static_cast<IConnectionPointContainer*>(this), DIID___tqMenu),
      notify_(Identity(), static_cast<IConnectionPointContainer*>(this), IID_IPropertyNotifySink) {}

TqMenu::~TqMenu() {
    // First of all: no window procedure or key may reach this control from now on.
    ForgetControl(this);
    RemoveOwnerShortcuts(this);
}

std::span<const com::QiEntry> TqMenu::Interfaces() {
    static const com::QiEntry table[] = {
        TQ_QI(TqMenu, _tqMenu),
        TQ_QI_VIA(TqMenu, IDispatch, _tqMenu),
        TQ_QI(TqMenu, IOleObject),
        TQ_QI(TqMenu, IOleInPlaceObject),
        TQ_QI_VIA(TqMenu, IOleWindow, IOleInPlaceObject),
        TQ_QI(TqMenu, IOleInPlaceActiveObject),
        TQ_QI(TqMenu, IOleControl),
        TQ_QI(TqMenu, IViewObject2),
        TQ_QI_VIA(TqMenu, IViewObject, IViewObject2),
        TQ_QI(TqMenu, IPersistStreamInit),
        // Same layout as IPersistStreamInit without InitNew at the end.
        TQ_QI_IID(TqMenu, IPersistStreamInit, IID_IPersistStream),
        TQ_QI_VIA(TqMenu, IPersist, IPersistStreamInit),
        TQ_QI(TqMenu, IPersistPropertyBag),
        TQ_QI(TqMenu, IProvideClassInfo2),
        TQ_QI_VIA(TqMenu, IProvideClassInfo, IProvideClassInfo2),
        TQ_QI(TqMenu, IConnectionPointContainer),
        TQ_QI(TqMenu, ISpecifyPropertyPages),
        TQ_QI(TqMenu, ISupportErrorInfo),
    };
    return table;
}

HRESULT TqMenu::Create(REFIID iid, void** out) {
    return NewInstance(iid, out);
}

// ---- the MenuTree getter and the properties ----

ComPtr<::MenuTree> TqMenu::Tree() {
    if (!tree_) {
        Check(CoCreateInstance(CLSID_MenuTreeClass, nullptr, CLSCTX_INPROC_SERVER, IID_MenuTree,
                               tree_.put_void()),
              L"Não foi possível criar um MenuTree (a tqBiblioteca está registrada?)");
    }
    return tree_;
}

HRESULT TqMenu::get_MenuTree(::MenuTree** value) {
    if (!value) return E_POINTER;
    *value = nullptr;
    return Guard(IID__tqMenu, kSource, [&] {
        *value = Tree().Detach();
        return S_OK;
    });
}

HRESULT TqMenu::putref_MenuTree(::MenuTree** newMenuTree) {
    if (!newMenuTree) return E_POINTER;
    tree_ = *newMenuTree;  // an empty reference too: the next read then makes a fresh tree
    PropertyChanged(kDispidMenuTree);
    return S_OK;
}

HRESULT TqMenu::get_ExibirMenu(VARIANT_BOOL* value) {
    if (!value) return E_POINTER;
    *value = exibir_menu_;
    return S_OK;
}

HRESULT TqMenu::put_ExibirMenu(VARIANT_BOOL* newExibirMenu) {
    if (!newExibirMenu) return E_POINTER;
    exibir_menu_ = *newExibirMenu ? VARIANT_TRUE : VARIANT_FALSE;
    PropertyChanged(kDispidExibirMenu);
    return S_OK;
}

HRESULT TqMenu::get_AtalhosAtivos(VARIANT_BOOL* value) {
    if (!value) return E_POINTER;
    *value = atalhos_ativos_;
    return S_OK;
}

// Takes effect with the next build of the bar (Show or ReExibirMenu), like ExibirMenu.
HRESULT TqMenu::put_AtalhosAtivos(VARIANT_BOOL* newAtalhosAtivos) {
    if (!newAtalhosAtivos) return E_POINTER;
    atalhos_ativos_ = *newAtalhosAtivos ? VARIANT_TRUE : VARIANT_FALSE;
    PropertyChanged(kDispidAtalhosAtivos);
    return S_OK;
}

void TqMenu::PropertyChanged(DISPID id) {
    dirty_ = true;
    for (const ComPtr<IUnknown>& sink : notify_.Snapshot())
        static_cast<IPropertyNotifySink*>(sink.get())->OnChanged(id);
}

// ---- the menu bar ----

HRESULT TqMenu::ReExibirMenu(VARIANT* result) {
    if (result) VariantInit(result);
    return Guard(IID__tqMenu, kSource, [&] {
        RebuildBar();
        return S_OK;
    });
}

void TqMenu::RebuildBar() {
    const bool exibir = exibir_menu_ != VARIANT_FALSE;
    bar_.SetAtalhos(atalhos_ativos_ != VARIANT_FALSE);
    try {
        bar_.ReExibirMenu(exibir);
    } catch (...) {
        // The keys of the old bar must not fire into whatever part of the new one was built.
        if (run_time_) RemoveOwnerShortcuts(this);
        throw;
    }
    if (!exibir || !run_time_) return;  // no new bar, or not at run time: the keys stay as they are
    PublishShortcuts(link_.HostWindow());
}

// Only on a form that has WindowProc: it carries the keys' commands to MenuClick, and it takes
// the keys away when the form is destroyed.
void TqMenu::PublishShortcuts(HWND host) {
    if (atalhos_ativos_ != VARIANT_FALSE && HasWindowProc(host))
        SetFormShortcuts(host, this, bar_.Shortcuts());
    else
        RemoveFormShortcuts(host, this);
}

HRESULT TqMenu::ReloadDefault() {
    return Guard(IID__tqMenu, kSource, [&] {
        bar_.ReloadDefault();
        return S_OK;
    });
}

HRESULT TqMenu::DefineMenu(::MenuTree** gmtMenu, LONG* lngHndPai, VARIANT* result) {
    if (result) VariantInit(result);
    if (!gmtMenu || !lngHndPai) return E_POINTER;
    return Guard(IID__tqMenu, kSource, [&] {
        bar_.DefineMenu(*gmtMenu, *lngHndPai);
        return S_OK;
    });
}

HRESULT TqMenu::GerarScript(VARIANT* result) {
    if (result) VariantInit(result);
    return Guard(IID__tqMenu, kSource, [&] {
        const ComPtr<::MenuTree> tree = Tree();
        com::Variant ignored;
        return tq::script::GerarScript(DialogOwner(), tree.get(), com::Module::Path().c_str(),
                                       result ? result : &ignored);
    });
}

// The form, as the owner of GerarScript's dialogs.  Only an owner: when the container cannot
// name its window the dialogs go without one rather than the export failing.
HWND TqMenu::DialogOwner() noexcept {
    try {
        return link_.HostWindowIfAny();
    } catch (...) {
        SetErrorInfo(0, nullptr);  // the container's failure is not the caller's
        return nullptr;
    }
}

// ---- UserControl_Show ----

// In this order: the host window and the control go into the module state (for a window that
// gets WindowProc), the bar is rebuilt, and then, at run time only, the control hides itself,
// (with ExibirMenu True) WindowProc is installed on the form, and (with AtalhosAtivos True) the
// form gets the bar's shortcuts.
void TqMenu::Show() {
    const HWND host = link_.HostWindow();
    SetShownControl(this);
    bar_.SetAtalhos(atalhos_ativos_ != VARIANT_FALSE);
    bar_.ReExibirMenu(exibir_menu_ != VARIANT_FALSE);
    run_time_ = link_.UserMode();
    if (!run_time_) return;  // design time: the control stays visible, no subclass, no keys
    if (!link_.HideThroughExtender()) {
        hidden_ = true;
        if (window_) ShowWindow(window_.get(), SW_HIDE);
    }
    if (exibir_menu_ != VARIANT_FALSE) InstallWindowProc(host, this);
    PublishShortcuts(host);
}

// ---- events ----

HRESULT TqMenu::DispararEvento(std::wstring_view name, IDispatch* item) {
    if (name != L"MenuClick") return S_OK;
    // A container that froze events is not ready for them: they are dropped, not queued.
    if (events_frozen_ > 0) return S_OK;
    // Keep the control alive while sinks run: a handler may release the form's last reference.
    ComPtr<IUnknown> self(Identity());
    HRESULT first_failure = S_OK;
    for (const ComPtr<IUnknown>& sink : events_.Snapshot()) {
        // MenuClick(Menu As MenuItem) takes its argument by reference.
        IDispatch* menu = item;
        if (menu) menu->AddRef();
        VARIANTARG arg;
        VariantInit(&arg);
        V_VT(&arg) = VT_DISPATCH | VT_BYREF;
        V_DISPATCHREF(&arg) = &menu;
        DISPPARAMS params{&arg, nullptr, 1, 0};
        const HRESULT hr = static_cast<IDispatch*>(sink.get())
                               ->Invoke(kDispidMenuClick, IID_NULL, LOCALE_USER_DEFAULT,
                                        DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
        if (menu) menu->Release();  // whatever the handler left in the by-reference argument
        if (FAILED(hr) && SUCCEEDED(first_failure)) first_failure = hr;
    }
    return first_failure;
}

// ---- type information, connection points, property pages, error info ----

HRESULT TqMenu::GetClassInfo(ITypeInfo** out) {
    return com::Module::TypeInfo(CLSID_tqMenu, out);
}

HRESULT TqMenu::GetGUID(DWORD kind, GUID* guid) {
    if (!guid) return E_POINTER;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
        *guid = GUID_NULL;
        return E_INVALIDARG;
    }
    *guid = DIID___tqMenu;
    return S_OK;
}

HRESULT TqMenu::EnumConnectionPoints(IEnumConnectionPoints** out) {
    try {
        return NewConnectionPointEnum(
            {ComPtr<IConnectionPoint>(&events_), ComPtr<IConnectionPoint>(&notify_)}, out);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT TqMenu::FindConnectionPoint(REFIID iid, IConnectionPoint** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    ConnectionPoint* cp = IsEqualIID(iid, DIID___tqMenu)             ? &events_
                          : IsEqualIID(iid, IID_IPropertyNotifySink) ? &notify_
                                                                     : nullptr;
    if (!cp) return CONNECT_E_NOCONNECTION;
    cp->AddRef();
    *out = cp;
    return S_OK;
}

HRESULT TqMenu::GetPages(CAUUID* pages) {
    if (!pages) return E_POINTER;
    pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
    if (!pages->pElems) {
        pages->cElems = 0;
        return E_OUTOFMEMORY;
    }
    pages->cElems = 1;
    pages->pElems[0] = CLSID_tqMenuProperty;
    return S_OK;
}

HRESULT TqMenu::InterfaceSupportsErrorInfo(REFIID iid) {
    static const IID* const iids[] = {&IID__tqMenu, &IID_IPersistStreamInit, &IID_IPersistStream,
                                      &IID_IPersistPropertyBag, &IID_IOleObject};
    return com::SupportsErrorInfo(iids, iid);
}

}  // namespace tq::ctl
