#include "ctl_test.h"

namespace tq::test {

ComPtr<_tqMenu> NewControl() {
    ComPtr<_tqMenu> ctl;
    CoCreateInstance(CLSID_tqMenu, nullptr, CLSCTX_INPROC_SERVER, IID__tqMenu, ctl.put_void());
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
    SetTree(ctl.get(), tree);
    SetExibir(ctl.get(), exibir);
    SetAtalhos(ctl.get(), atalhos);
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
    auto create = ProcOf<CreateFn>(AtlModule(), "AtlAxCreateControlEx");
    HWND host = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 10, 10, 120, 60, form,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
    ComPtr<IUnknown> container;
    create(L"tqMenuCtl.tqMenu", host, stream, container.put(), control->put(), IID_NULL, nullptr);
    return host;
}

std::span<const tq::com::QiEntry> TestSite::Interfaces() {
    static const tq::com::QiEntry table[] = {TQ_QI(TestSite, IOleClientSite),
                                             TQ_QI(TestSite, IOleInPlaceSite),
                                             TQ_QI_VIA(TestSite, IOleWindow, IOleInPlaceSite),
                                             TQ_QI(TestSite, IOleControlSite),
                                             TQ_QI(TestSite, IDispatch),
                                             TQ_QI_IID(TestSite, IDispatch, DIID___tqMenu),
                                             TQ_QI(TestSite, IPropertyNotifySink)};
    return table;
}

HRESULT TestSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT p,
                                   LPRECT clip, LPOLEINPLACEFRAMEINFO info) {
    *frame = nullptr;
    *doc = nullptr;
    *p = *clip = pos;
    *info = OLEINPLACEFRAMEINFO{sizeof(*info), FALSE, window, nullptr, 0};
    return S_OK;
}

HRESULT TestSite::GetExtendedControl(IDispatch** out) {
    if (extender.empty()) return E_NOTIMPL;
    *out = this;
    AddRef();
    return S_OK;
}

void TestSite::SetExtender(const std::wstring& name, HWND form) {
    extender = {{L"Name", Variant::FromString(name)},
                {L"Visible", Variant::FromBool(true)},
                {L"Parent", Variant()},
                {L"hwnd", Variant::FromLong(HandleToLong(form))}};
}

// DISPIDs of the extender's names count from 100 in name order; MenuClick's is 1, the ambient
// properties' negative.
HRESULT TestSite::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
        const auto it = extender.find(names[i]);
        ids[i] = it == extender.end()
                     ? DISPID_UNKNOWN
                     : static_cast<DISPID>(std::distance(extender.begin(), it)) + 100;
        if (it == extender.end()) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

HRESULT TestSite::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                         EXCEPINFO*, UINT*) {
    if (id < 0)
        return ambient.count(id) ? VariantCopy(result, &ambient[id]) : DISP_E_MEMBERNOTFOUND;
    if (id == 1 && params->cArgs == 1) {  // MenuClick: the entry by reference, as VB6 declares it
        const VARIANT& arg = params->rgvarg[0];
        ComPtr<MenuItem> item;
        if (V_VT(&arg) == (VT_DISPATCH | VT_BYREF) && *V_DISPATCHREF(&arg))
            (*V_DISPATCHREF(&arg))->QueryInterface(IID_MenuItem, item.put_void());
        clicks.push_back(NomeOf(item.get()));
        if (on_click) on_click();
        return S_OK;
    }
    if (id < 100 || static_cast<size_t>(id - 100) >= extender.size()) return DISP_E_MEMBERNOTFOUND;
    auto& [name, value] = *std::next(extender.begin(), id - 100);
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF))
        return ++puts, VariantCopyInd(&value, &params->rgvarg[0]);
    if (name != L"Parent") return VariantCopy(result, &value);
    AddRef();
    V_VT(result) = VT_DISPATCH;
    V_DISPATCH(result) = this;
    return S_OK;
}

bool TestSite::WaitClicks(size_t n) {
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

DesignerControl::DesignerControl(HWND form_window, MenuTree* tree, bool user_mode,
                                 const std::wstring& name, bool atalhos)
    : form(form_window) {
    site->window = form;
    site->ambient[DISPID_AMBIENT_USERMODE] = Variant::FromBool(user_mode);
    site->SetExtender(name, form);
    ComPtr<IOleControl> control;
    ComPtr<IPersistStreamInit> persist;
    DWORD misc = 0;
    const std::function<HRESULT()> steps[] = {
        [&] { return ctl.As(IID_IOleObject, &ole); },
        [&] { return ctl.As(IID_IOleControl, &control); },
        [&] { return ctl.As(IID_IPersistStreamInit, &persist); },
        [&] { return ole->GetMiscStatus(DVASPECT_CONTENT, &misc); },
        [&] { return ole->SetClientSite(site.get()); },
        [&] { return control->FreezeEvents(TRUE); },
        [&] { return persist->Load(SavedControl(tree, true, atalhos).get()); },
        [&] { return Connect(ctl.get(), DIID___tqMenu, site->Identity()) ? S_OK : E_FAIL; },
        [&] { return control->FreezeEvents(FALSE); },
        [&] { return Verb(OLEIVERB_INPLACEACTIVATE); }};
    for (const auto& step : steps)
        if (FAILED(hr = step())) return;
}

DesignerControl::~DesignerControl() {
    if (!ole) return;
    ole->Close(OLECLOSE_NOSAVE);
    ole->SetClientSite(nullptr);
}

}  // namespace tq::test
