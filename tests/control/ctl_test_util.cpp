#include "ctl_test_util.h"

#include "tqBiblioteca.h"

namespace ctltest {

void ComTest::SetUp() {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
}
void ComTest::TearDown() {
    OleUninitialize();
}

// ---- trees and the control ----

ComPtr<MenuTree> NewTree() {
    CLSID clsid{};
    EXPECT_EQ(CLSIDFromProgID(L"tqBiblioteca.MenuTree", &clsid), S_OK);
    ComPtr<MenuTree> tree;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_MenuTree, tree.put_void()),
              S_OK);
    return tree;
}

ComPtr<MenuItem> ItemAt(MenuTree* level, short position) {
    Variant index;
    V_VT(&index) = VT_I2;
    V_I2(&index) = position;
    ComPtr<MenuItem> item;
    EXPECT_EQ(level->get_Item(index, item.put()), S_OK);
    return item;
}

ComPtr<MenuItem> AddEntry(MenuTree* level, const std::wstring& caption, const std::wstring& nome) {
    Bstr c(caption), n(nome);
    BSTR cb = c.get(), nb = n.get();
    short ignored = 0;
    EXPECT_EQ(level->Add(&cb, &nb, &ignored), S_OK);
    short count = 0;
    level->get_Count(&count);
    return ItemAt(level, count);
}

ComPtr<MenuTree> SubOf(MenuItem* item) {
    ComPtr<MenuTree> sub;
    EXPECT_EQ(item->get_SubMenu(sub.put()), S_OK);
    return sub;
}

LONG HndOf(MenuItem* item) {
    LONG h = -1;
    EXPECT_EQ(item->get_HndMenu(&h), S_OK);
    return h;
}

ComPtr<_tqMenu> NewControl() {
    CLSID clsid{};
    EXPECT_EQ(CLSIDFromProgID(L"tqMenuCtl.tqMenu", &clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_tqMenu));
    ComPtr<_tqMenu> ctl;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID__tqMenu, ctl.put_void()),
              S_OK);
    return ctl;
}

void SetExibir(_tqMenu* ctl, bool value) {
    VARIANT_BOOL v = value ? VARIANT_TRUE : VARIANT_FALSE;
    EXPECT_EQ(ctl->put_ExibirMenu(&v), S_OK);
}

void SetAtalhos(_tqMenu* ctl, bool value) {
    VARIANT_BOOL v = value ? VARIANT_TRUE : VARIANT_FALSE;
    EXPECT_EQ(ctl->put_AtalhosAtivos(&v), S_OK);
}

void SetTree(_tqMenu* ctl, MenuTree* tree) {
    MenuTree* t = tree;
    EXPECT_EQ(ctl->putref_MenuTree(&t), S_OK);
}

std::wstring TakeErrorText() {
    IErrorInfo* ei = nullptr;
    if (GetErrorInfo(0, &ei) != S_OK || !ei) return L"";
    BSTR desc = nullptr;
    ei->GetDescription(&desc);
    std::wstring text = desc ? desc : L"";
    SysFreeString(desc);
    ei->Release();
    return text;
}

// ---- Win32 menus ----

std::vector<MenuEntry> ReadMenu(HMENU menu) {
    std::vector<MenuEntry> out;
    const int n = GetMenuItemCount(menu);
    for (int i = 0; i < n; ++i) {
        char text[256] = {};
        MENUITEMINFOA mii{};
        mii.cbSize = sizeof(mii);
        mii.fMask = MIIM_STRING | MIIM_ID | MIIM_FTYPE | MIIM_STATE | MIIM_SUBMENU;
        mii.dwTypeData = text;
        mii.cch = sizeof(text);
        EXPECT_TRUE(GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &mii)) << "entry " << i;
        MenuEntry e;
        e.text = (mii.fType & MFT_SEPARATOR) ? "" : text;
        e.id = mii.wID;
        e.type = mii.fType;
        e.state = mii.fState;
        e.sub = mii.hSubMenu;
        out.push_back(e);
    }
    return out;
}

// ---- the form ----

LRESULT CALLBACK Form::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<Form*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_COMMAND && self) {
        self->commands.push_back(LOWORD(wp));
        if (self->on_command) self->on_command(LOWORD(wp));
        return kCommandResult;
    }
    if (msg == WM_KEYDOWN && self) self->keys.push_back(static_cast<UINT>(wp));
    if (msg == kAppMessage && self) {
        ++self->app_calls;
        return kAppResult;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

Form::Form(const wchar_t* title) {
    static ATOM cls = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = &Form::Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = L"tqTestForm";
        return RegisterClassExW(&wc);
    }();
    EXPECT_NE(cls, 0);
    hwnd_ = CreateWindowExW(0, L"tqTestForm", title, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 50, 50,
                            420, 300, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    EXPECT_NE(hwnd_, nullptr);
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ShowWindow(hwnd_, SW_SHOW);
    UpdateWindow(hwnd_);
}

Form::~Form() {
    if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
}

void Pump(DWORD ms, const std::function<bool()>& done) {
    const DWORD end = GetTickCount() + ms;
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done && done()) return;
        Sleep(5);
    } while (static_cast<LONG>(end - GetTickCount()) > 0);
}

void Tap(std::initializer_list<WORD> vks) {
    std::vector<INPUT> in;
    for (WORD vk : vks) {
        INPUT down{};
        down.type = INPUT_KEYBOARD;
        down.ki.wVk = vk;
        INPUT up = down;
        up.ki.dwFlags = KEYEVENTF_KEYUP;
        in.push_back(down);
        in.push_back(up);
    }
    EXPECT_EQ(SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT)), in.size());
}

namespace {
using AtlAxWinInitFn = BOOL(WINAPI*)();
using AtlAxCreateControlExFn = HRESULT(WINAPI*)(LPCOLESTR, HWND, IStream*, IUnknown**, IUnknown**,
                                                REFIID, IUnknown*);
}  // namespace

HMODULE AtlModule() {
    static HMODULE atl = [] {
        HMODULE m = LoadLibraryW(L"atl100.dll");
        auto init = m ? ProcOf<AtlAxWinInitFn>(m, "AtlAxWinInit") : nullptr;
        return init && init() ? m : nullptr;
    }();
    return atl;
}

HWND HostInAtl(HWND form, IStream* stream, ComPtr<IUnknown>* control, int x, int y) {
    HMODULE atl = AtlModule();
    EXPECT_NE(atl, nullptr) << "atl100.dll";
    if (!atl) return nullptr;
    auto create = ProcOf<AtlAxCreateControlExFn>(atl, "AtlAxCreateControlEx");
    EXPECT_NE(create, nullptr);
    HWND host = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, x, y, 120, 60, form,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
    EXPECT_NE(host, nullptr);
    ComPtr<IUnknown> container;
    EXPECT_EQ(create(L"tqMenuCtl.tqMenu", host, stream, container.put(), control->put(), IID_NULL,
                     nullptr),
              S_OK);
    return host;
}

ComPtr<IStream> SavedControl(MenuTree* tree, bool exibir, bool atalhos) {
    ComPtr<_tqMenu> ctl = NewControl();
    SetTree(ctl.get(), tree);
    SetExibir(ctl.get(), exibir);
    if (atalhos) SetAtalhos(ctl.get(), true);
    ComPtr<IPersistStreamInit> ps;
    EXPECT_EQ(ctl.As(IID_IPersistStreamInit, &ps), S_OK);
    ComPtr<IStream> s = StreamOf("");
    EXPECT_EQ(ps->Save(s.get(), TRUE), S_OK);
    return StreamOf(StreamBytes(s.get()));
}

// ---- PropertyObject ----

std::span<const tq::com::QiEntry> PropertyObject::Interfaces() {
    static const tq::com::QiEntry table[] = {TQ_QI(PropertyObject, IDispatch)};
    return table;
}

HRESULT PropertyObject::GetTypeInfoCount(UINT* n) {
    *n = 0;
    return S_OK;
}
HRESULT PropertyObject::GetTypeInfo(UINT, LCID, ITypeInfo**) {
    return E_NOTIMPL;
}

HRESULT PropertyObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
        const std::wstring name = names[i];
        if (!values.count(name)) {
            hr = DISP_E_UNKNOWNNAME;
            continue;
        }
        auto it = std::find(names_.begin(), names_.end(), name);
        if (it == names_.end()) it = names_.insert(names_.end(), name);
        ids[i] = static_cast<DISPID>(it - names_.begin()) + 1;
    }
    return hr;
}

HRESULT PropertyObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                               VARIANT* result, EXCEPINFO*, UINT*) {
    if (id < 1 || static_cast<size_t>(id) > names_.size()) return DISP_E_MEMBERNOTFOUND;
    const std::wstring& name = names_[static_cast<size_t>(id) - 1];
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        if (!params || params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
        Variant v;
        VariantCopyInd(&v, &params->rgvarg[0]);
        values[name] = v;
        puts.emplace_back(name, v);
        return S_OK;
    }
    if (result) return VariantCopy(result, &values[name]);
    return S_OK;
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

// ---- TestSite ----

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
    *p = pos;
    *clip = pos;
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
HRESULT TestSite::GetTypeInfo(UINT, LCID, ITypeInfo**) {
    return E_NOTIMPL;
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

// ---- EventSink ----

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
HRESULT EventSink::GetTypeInfo(UINT, LCID, ITypeInfo**) {
    return E_NOTIMPL;
}
HRESULT EventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return DISP_E_UNKNOWNNAME;
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
    Bstr nome, caption;
    if (item) {
        item->get_Nome(nome.put());
        item->get_Caption(caption.put());
    }
    clicks.emplace_back(nome.view());
    captions.emplace_back(caption.view());
    if (on_click) on_click();
    return click_result;
}
HRESULT EventSink::OnChanged(DISPID id) {
    changed.push_back(id);
    return S_OK;
}

DWORD Connect(IUnknown* control, REFIID iid, IUnknown* sink) {
    ComPtr<IConnectionPointContainer> cpc;
    EXPECT_EQ(control->QueryInterface(IID_IConnectionPointContainer, cpc.put_void()), S_OK);
    ComPtr<IConnectionPoint> cp;
    EXPECT_EQ(cpc->FindConnectionPoint(iid, cp.put()), S_OK);
    DWORD cookie = 0;
    EXPECT_EQ(cp->Advise(sink, &cookie), S_OK);
    return cookie;
}

// ---- DesignerControl ----

DesignerControl::DesignerControl(HWND form_window, MenuTree* tree, bool exibir, bool user_mode,
                                 const std::wstring& name, bool atalhos)
    : form(form_window) {
    site = TestSite::Make();
    site->window = form;
    site->ambient[DISPID_AMBIENT_USERMODE] = Variant::FromBool(user_mode);
    site->extender = MakeExtender(name, form);
    ComPtr<IStream> saved = SavedControl(tree, exibir, atalhos);
    ctl = NewControl();
    if (!ctl) return;
    EXPECT_EQ(ctl.As(IID_IOleObject, &ole), S_OK);
    EXPECT_EQ(ole->GetMiscStatus(DVASPECT_CONTENT, &misc), S_OK);
    const bool site_first = (misc & OLEMISC_SETCLIENTSITEFIRST) != 0;
    if (site_first) {
        EXPECT_EQ(ole->SetClientSite(site.get()), S_OK);
    }
    ComPtr<IOleControl> control;
    EXPECT_EQ(ctl.As(IID_IOleControl, &control), S_OK);
    ComPtr<IPersistStreamInit> persist;
    EXPECT_EQ(ctl.As(IID_IPersistStreamInit, &persist), S_OK);
    EXPECT_EQ(control->FreezeEvents(TRUE), S_OK);
    EXPECT_EQ(persist->Load(saved.get()), S_OK) << TakeErrorText();
    if (!site_first) {
        EXPECT_EQ(ole->SetClientSite(site.get()), S_OK);
    }
    sink = EventSink::Make();
    Connect(ctl.get(), DIID___tqMenu, sink->Identity());
    EXPECT_EQ(control->FreezeEvents(FALSE), S_OK);
    if (user_mode && (misc & OLEMISC_INVISIBLEATRUNTIME)) return;
    activated = true;
    EXPECT_EQ(Verb(OLEIVERB_INPLACEACTIVATE), S_OK) << TakeErrorText();
}

DesignerControl::~DesignerControl() {
    if (!ole) return;
    ole->Close(OLECLOSE_NOSAVE);
    ole->SetClientSite(nullptr);
}

HRESULT DesignerControl::Verb(LONG verb) {
    return ole->DoVerb(verb, nullptr, site.get(), 0, form, &site->pos);
}

ComPtr<MenuTree> DesignerControl::Tree() {
    ComPtr<MenuTree> tree;
    EXPECT_EQ(ctl->get_MenuTree(tree.put()), S_OK);
    return tree;
}

// ---- TestBag ----

std::span<const tq::com::QiEntry> TestBag::Interfaces() {
    static const tq::com::QiEntry table[] = {TQ_QI(TestBag, IPropertyBag)};
    return table;
}
HRESULT TestBag::Read(LPCOLESTR name, VARIANT* value, IErrorLog*) {
    reads.emplace_back(name);
    Variant stored;
    if (auto obj = objects.find(name); obj != objects.end()) {
        ComPtr<IStream> s = StreamOf(obj->second);
        V_VT(&stored) = VT_UNKNOWN;
        V_UNKNOWN(&stored) = nullptr;
        const HRESULT hr =
            OleLoadFromStream(s.get(), IID_IUnknown, reinterpret_cast<void**>(&V_UNKNOWN(&stored)));
        if (FAILED(hr)) return hr;
    } else if (auto it = values.find(name); it != values.end()) {
        stored = it->second;
    } else {
        return E_INVALIDARG;
    }
    const VARTYPE wanted = V_VT(value);
    VariantInit(value);
    if (wanted == VT_EMPTY) return VariantCopy(value, &stored);
    return VariantChangeType(value, &stored, 0, wanted);
}
HRESULT TestBag::Write(LPCOLESTR name, VARIANT* value) {
    if (V_VT(value) == VT_UNKNOWN || V_VT(value) == VT_DISPATCH) {
        IUnknown* obj = V_VT(value) == VT_UNKNOWN ? V_UNKNOWN(value) : V_DISPATCH(value);
        ComPtr<IPersistStream> persist;
        HRESULT hr = obj ? obj->QueryInterface(IID_IPersistStream, persist.put_void()) : E_POINTER;
        if (FAILED(hr)) return hr;
        ComPtr<IStream> s = StreamOf("");
        hr = OleSaveToStream(persist.get(), s.get());
        if (FAILED(hr)) return hr;
        objects[name] = StreamBytes(s.get());
        values.erase(name);
        return S_OK;
    }
    Variant copy;
    VariantCopy(&copy, value);
    values[name] = copy;
    objects.erase(name);
    return S_OK;
}

// ---- streams ----

std::string StreamBytes(IStream* stream) {
    STATSTG st{};
    stream->Stat(&st, STATFLAG_NONAME);
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    std::string bytes(static_cast<size_t>(st.cbSize.QuadPart), '\0');
    ULONG got = 0;
    if (!bytes.empty()) stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &got);
    bytes.resize(got);
    return bytes;
}

ComPtr<IStream> StreamOf(const std::string& bytes) {
    ComPtr<IStream> s;
    EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, s.put()), S_OK);
    ULONG written = 0;
    if (!bytes.empty()) s->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    LARGE_INTEGER zero{};
    s->Seek(zero, STREAM_SEEK_SET, nullptr);
    return s;
}

}  // namespace ctltest
