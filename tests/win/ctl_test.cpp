#include "ctl_test.h"

#include <algorithm>

namespace tq::test {

ComPtr<_tqMenu> NewControl() {
    CLSID clsid{};
    ComPtr<_tqMenu> ctl;
    if (SUCCEEDED(CLSIDFromProgID(L"tqMenuCtl.tqMenu", &clsid)))
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID__tqMenu, ctl.put_void());
    return ctl;
}

ComPtr<MenuTree> TreeOf(_tqMenu* ctl) {
    ComPtr<MenuTree> tree;
    ctl->get_MenuTree(tree.put());
    return tree;
}

HRESULT SetTree(_tqMenu* ctl, MenuTree* tree) {
    return ctl->putref_MenuTree(&tree);
}
HRESULT SetExibir(_tqMenu* ctl, bool value) {
    VARIANT_BOOL v = value ? VARIANT_TRUE : VARIANT_FALSE;
    return ctl->put_ExibirMenu(&v);
}
HRESULT SetAtalhos(_tqMenu* ctl, bool value) {
    VARIANT_BOOL v = value ? VARIANT_TRUE : VARIANT_FALSE;
    return ctl->put_AtalhosAtivos(&v);
}

ComPtr<IStream> SavedControl(MenuTree* tree, bool exibir, bool atalhos) {
    ComPtr<_tqMenu> ctl = NewControl();
    if (!ctl) return nullptr;
    SetTree(ctl.get(), tree);
    SetExibir(ctl.get(), exibir);
    if (atalhos) SetAtalhos(ctl.get(), true);
    return StreamOf(SavedBytes(ctl.get()));
}

HMODULE AtlModule() {
    static HMODULE atl = [] {
        HMODULE m = LoadLibraryW(L"atl100.dll");
        auto init = m ? ProcOf<BOOL(WINAPI*)()>(m, "AtlAxWinInit") : nullptr;
        return init && init() ? m : nullptr;
    }();
    return atl;
}

HWND HostInAtl(HWND form, IStream* stream, ComPtr<IUnknown>* control) {
    using CreateFn =
        HRESULT(WINAPI*)(LPCOLESTR, HWND, IStream*, IUnknown**, IUnknown**, REFIID, IUnknown*);
    auto create = AtlModule() ? ProcOf<CreateFn>(AtlModule(), "AtlAxCreateControlEx") : nullptr;
    if (!create) return nullptr;
    HWND host = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 10, 10, 120, 60, form,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
    ComPtr<IUnknown> container;
    create(L"tqMenuCtl.tqMenu", host, stream, container.put(), control->put(), IID_NULL, nullptr);
    return host;
}

std::span<const tq::com::QiEntry> PropertyObject::Interfaces() {
    static const tq::com::QiEntry table[] = {TQ_QI(PropertyObject, IDispatch)};
    return table;
}

HRESULT PropertyObject::GetTypeInfoCount(UINT* n) {
    *n = 0;
    return S_OK;
}

HRESULT PropertyObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
        if (!values.count(names[i])) {
            hr = DISP_E_UNKNOWNNAME;
            continue;
        }
        auto it = std::find(names_.begin(), names_.end(), names[i]);
        if (it == names_.end()) it = names_.insert(names_.end(), names[i]);
        ids[i] = static_cast<DISPID>(it - names_.begin()) + 1;
    }
    return hr;
}

HRESULT PropertyObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                               VARIANT* result, EXCEPINFO*, UINT*) {
    if (id < 1 || static_cast<size_t>(id) > names_.size()) return DISP_E_MEMBERNOTFOUND;
    const std::wstring& name = names_[static_cast<size_t>(id) - 1];
    if (!values.count(name)) return DISP_E_MEMBERNOTFOUND;
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        if (!params || params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
        Variant v;
        VariantCopyInd(&v, &params->rgvarg[0]);
        values[name] = v;
        puts.emplace_back(name, v);
        return S_OK;
    }
    return result ? VariantCopy(result, &values[name]) : S_OK;
}

ComPtr<PropertyObject> MakeExtender(const std::wstring& name, HWND form) {
    ComPtr<PropertyObject> parent = PropertyObject::Make();
    parent->values[L"hwnd"] = Variant::FromLong(HandleToLong(form));
    ComPtr<PropertyObject> ext = PropertyObject::Make();
    ext->values[L"Name"] = Variant::FromString(name);
    ext->values[L"Visible"] = Variant::FromBool(true);
    ext->values[L"Parent"] = Variant::FromDispatch(parent.get());
    return ext;
}

std::span<const tq::com::QiEntry> TestSite::Interfaces() {
    static const tq::com::QiEntry table[] = {
        TQ_QI(TestSite, IOleClientSite), TQ_QI(TestSite, IOleInPlaceSite),
        TQ_QI_VIA(TestSite, IOleWindow, IOleInPlaceSite), TQ_QI(TestSite, IOleControlSite),
        TQ_QI(TestSite, IDispatch)};
    return table;
}

HRESULT TestSite::GetMoniker(DWORD, DWORD, IMoniker** out) {
    *out = nullptr;
    return E_NOTIMPL;
}
HRESULT TestSite::GetContainer(IOleContainer** out) {
    *out = nullptr;
    return E_NOINTERFACE;
}
HRESULT TestSite::RequestNewObjectLayout() {
    ++layout_requests;
    return S_OK;
}
HRESULT TestSite::GetWindow(HWND* out) {
    *out = window;
    return window ? S_OK : E_FAIL;
}
HRESULT TestSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT p,
                                   LPRECT clip, LPOLEINPLACEFRAMEINFO info) {
    *frame = nullptr;
    *doc = nullptr;
    *p = *clip = pos;
    info->fMDIApp = FALSE;
    info->hwndFrame = window;
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
}
HRESULT TestSite::OnPosRectChange(LPCRECT rect) {
    pos_rect_changes.push_back(*rect);
    return S_OK;
}
HRESULT TestSite::GetExtendedControl(IDispatch** out) {
    *out = extender.get();
    if (!*out) return E_NOTIMPL;
    (*out)->AddRef();
    return S_OK;
}
HRESULT TestSite::GetTypeInfoCount(UINT* n) {
    *n = 0;
    return S_OK;
}
HRESULT TestSite::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return DISP_E_UNKNOWNNAME;
}
HRESULT TestSite::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                         UINT*) {
    auto it = ambient.find(id);
    if (it == ambient.end()) return DISP_E_MEMBERNOTFOUND;
    return result ? VariantCopy(result, &it->second) : S_OK;
}

std::span<const tq::com::QiEntry> EventSink::Interfaces() {
    static const tq::com::QiEntry table[] = {TQ_QI(EventSink, IDispatch),
                                             TQ_QI_IID(EventSink, IDispatch, DIID___tqMenu),
                                             TQ_QI(EventSink, IPropertyNotifySink)};
    return table;
}
HRESULT EventSink::GetTypeInfoCount(UINT* n) {
    *n = 0;
    return S_OK;
}
HRESULT EventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                          UINT*) {
    if (id != 1) return DISP_E_MEMBERNOTFOUND;
    if (!params || params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
    const VARIANT& arg = params->rgvarg[0];
    arg_types.push_back(V_VT(&arg));
    IDispatch* d = V_VT(&arg) == (VT_DISPATCH | VT_BYREF) ? *V_DISPATCHREF(&arg)
                   : V_VT(&arg) == VT_DISPATCH            ? V_DISPATCH(&arg)
                                                          : nullptr;
    ComPtr<MenuItem> item;
    if (d) d->QueryInterface(IID_MenuItem, item.put_void());
    clicks.push_back(NomeOf(item.get()));
    if (on_click) on_click();
    return click_result;
}
HRESULT EventSink::OnChanged(DISPID id) {
    changed.push_back(id);
    return S_OK;
}
bool EventSink::WaitClicks(size_t n) {
    Pump(3000, [&] { return clicks.size() >= n; });
    Pump(100);
    return clicks.size() == n;
}

DWORD Connect(IUnknown* control, REFIID iid, IUnknown* sink) {
    ComPtr<IConnectionPointContainer> cpc;
    ComPtr<IConnectionPoint> cp;
    DWORD cookie = 0;
    if (SUCCEEDED(control->QueryInterface(IID_IConnectionPointContainer, cpc.put_void())) &&
        SUCCEEDED(cpc->FindConnectionPoint(iid, cp.put())))
        cp->Advise(sink, &cookie);
    return cookie;
}

DesignerControl::DesignerControl(HWND form_window, MenuTree* tree, bool exibir, bool user_mode,
                                 const std::wstring& name, bool atalhos)
    : form(form_window), site(TestSite::Make()), ctl(NewControl()), sink(EventSink::Make()) {
    site->window = form;
    site->ambient[DISPID_AMBIENT_USERMODE] = Variant::FromBool(user_mode);
    site->extender = MakeExtender(name, form);
    ComPtr<IStream> saved = SavedControl(tree, exibir, atalhos);
    ComPtr<IOleControl> control;
    ComPtr<IPersistStreamInit> persist;
    DWORD misc = 0;
    const auto step = [this](HRESULT r) { return SUCCEEDED(hr = r); };
    if (!ctl || !step(ctl.As(IID_IOleObject, &ole)) || !step(ctl.As(IID_IOleControl, &control)) ||
        !step(ctl.As(IID_IPersistStreamInit, &persist)) ||
        !step(ole->GetMiscStatus(DVASPECT_CONTENT, &misc))) {
        if (SUCCEEDED(hr)) hr = E_FAIL;
        return;
    }
    const bool site_first = (misc & OLEMISC_SETCLIENTSITEFIRST) != 0;
    if ((site_first && !step(ole->SetClientSite(site.get()))) ||
        !step(control->FreezeEvents(TRUE)) || !step(persist->Load(saved.get())) ||
        (!site_first && !step(ole->SetClientSite(site.get()))))
        return;
    if (!Connect(ctl.get(), DIID___tqMenu, sink->Identity())) hr = E_FAIL;
    if (!step(control->FreezeEvents(FALSE))) return;
    if (user_mode && (misc & OLEMISC_INVISIBLEATRUNTIME)) return;
    step(Verb(OLEIVERB_INPLACEACTIVATE));
}

DesignerControl::~DesignerControl() {
    if (!ole) return;
    ole->Close(OLECLOSE_NOSAVE);
    ole->SetClientSite(nullptr);
}

HRESULT DesignerControl::Verb(LONG verb) {
    return ole->DoVerb(verb, nullptr, site.get(), 0, form, &site->pos);
}

}  // namespace tq::test
