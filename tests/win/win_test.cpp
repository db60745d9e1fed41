#include "win_test.h"

namespace tq::test {

std::wstring WinPath(const char* unix_path) {
    std::wstring path = L"Z:";
    for (const char* p = unix_path; *p; ++p) path += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
    return path;
}

ComPtr<MenuTree> NewTree() {
    CLSID clsid{};
    ComPtr<MenuTree> tree;
    if (SUCCEEDED(CLSIDFromProgID(L"tqBiblioteca.MenuTree", &clsid)))
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_MenuTree, tree.put_void());
    return tree;
}

ComPtr<MenuItem> AddEntry(MenuTree* level, const std::wstring& caption, const std::wstring& nome) {
    Bstr c(caption), n(nome);
    BSTR cb = c.get(), nb = n.get();
    short count = 0;
    return SUCCEEDED(level->Add(&cb, &nb, &count)) ? ItemAt(level, count) : nullptr;
}

ComPtr<MenuItem> ItemAt(MenuTree* level, const VARIANT& index) {
    ComPtr<MenuItem> item;
    level->get_Item(index, item.put());
    return item;
}

ComPtr<MenuTree> SubOf(MenuItem* item) {
    ComPtr<MenuTree> sub;
    if (item) item->get_SubMenu(sub.put());
    return sub;
}

short CountOf(MenuTree* level) {
    short n = -1;
    level->get_Count(&n);
    return n;
}

LONG HndOf(MenuItem* item) {
    LONG h = -1;
    if (item) item->get_HndMenu(&h);
    return h;
}

std::wstring NomeOf(MenuItem* item) {
    Bstr nome;
    if (item) item->get_Nome(nome.put());
    return item ? std::wstring(nome.view()) : L"Nothing";
}

ComPtr<IUnknown> IdentityOf(IUnknown* p) {
    ComPtr<IUnknown> unk;
    if (p) p->QueryInterface(IID_IUnknown, unk.put_void());
    return unk;
}

std::wstring TakeErrorText() {
    ComPtr<IErrorInfo> info;
    Bstr text;
    if (GetErrorInfo(0, info.put()) == S_OK) info->GetDescription(text.put());
    return std::wstring(text.view());
}

std::string StreamBytes(IStream* stream) {
    STATSTG st{};
    stream->Stat(&st, STATFLAG_NONAME);
    stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
    std::string bytes(static_cast<size_t>(st.cbSize.QuadPart), '\0');
    ULONG got = 0;
    stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &got);
    bytes.resize(got);
    return bytes;
}

ComPtr<IStream> StreamOf(const std::string& bytes) {
    ComPtr<IStream> s;
    CreateStreamOnHGlobal(nullptr, TRUE, s.put());
    s->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
    s->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
    return s;
}

std::string SavedBytes(IUnknown* object) {
    ComPtr<IPersistStreamInit> persist;
    ComPtr<IStream> s = StreamOf("");
    const bool saved =
        SUCCEEDED(object->QueryInterface(IID_IPersistStreamInit, persist.put_void())) &&
        SUCCEEDED(persist->Save(s.get(), FALSE));
    return saved ? StreamBytes(s.get()) : "";
}

std::vector<MenuEntry> ReadMenu(HMENU menu) {
    std::vector<MenuEntry> out;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        char text[256] = {};
        MENUITEMINFOA mii{};
        mii.cbSize = sizeof(mii);
        mii.fMask = MIIM_STRING | MIIM_ID | MIIM_FTYPE | MIIM_STATE | MIIM_SUBMENU;
        mii.dwTypeData = text;
        mii.cch = sizeof(text);
        if (!GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &mii)) break;
        out.push_back({(mii.fType & MFT_SEPARATOR) ? "" : text, mii.wID, mii.fType, mii.fState,
                       mii.hSubMenu});
    }
    return out;
}

LRESULT CALLBACK Form::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<Form*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_COMMAND && self) return self->commands.push_back(LOWORD(wp)), kCommandResult;
    if (msg == WM_KEYDOWN && self) self->keys.push_back(static_cast<UINT>(wp));
    if (msg == kAppMessage) return kAppResult;
    return DefWindowProcW(hwnd, msg, wp, lp);
}

Form::Form(const wchar_t* title) {
    static const ATOM cls = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = &Form::Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = L"tqTestForm";
        return RegisterClassExW(&wc);
    }();
    hwnd_ = CreateWindowExW(0, MAKEINTRESOURCEW(cls), title, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                            50, 50, 420, 300, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ShowWindow(hwnd_, SW_SHOW);
    UpdateWindow(hwnd_);
}

void Pump(DWORD ms, const std::function<bool()>& done) {
    const DWORD end = GetTickCount() + ms;
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            TranslateMessage(&msg), DispatchMessageW(&msg);
        if (done && done()) return;
        Sleep(5);
    } while (static_cast<LONG>(end - GetTickCount()) > 0);
}

void Tap(std::initializer_list<WORD> vks, bool chord) {
    std::vector<INPUT> in;
    const auto key = [&](WORD vk, DWORD flags) {
        in.push_back(INPUT{});
        in.back().type = INPUT_KEYBOARD, in.back().ki.wVk = vk, in.back().ki.dwFlags = flags;
    };
    for (WORD vk : vks) {
        key(vk, 0);
        if (!chord) key(vk, KEYEVENTF_KEYUP);
    }
    if (chord)
        for (auto it = vks.end(); it != vks.begin();) key(*--it, KEYEVENTF_KEYUP);
    SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
}

std::span<const tq::com::QiEntry> TestBag::Interfaces() {
    static const tq::com::QiEntry table[] = {TQ_QI(TestBag, IPropertyBag)};
    return table;
}

HRESULT TestBag::Read(LPCOLESTR name, VARIANT* value, IErrorLog*) {
    reads.emplace_back(name);
    Variant stored;
    if (auto obj = objects.find(name); obj != objects.end()) {
        V_VT(&stored) = VT_UNKNOWN, V_UNKNOWN(&stored) = nullptr;
        const HRESULT hr = OleLoadFromStream(StreamOf(obj->second).get(), IID_IUnknown,
                                             reinterpret_cast<void**>(&V_UNKNOWN(&stored)));
        if (FAILED(hr)) return hr;
    } else if (auto it = values.find(name); it != values.end()) {
        stored = it->second;
    } else {
        return E_INVALIDARG;
    }
    const VARTYPE wanted = V_VT(value);
    VariantInit(value);
    return wanted == VT_EMPTY ? VariantCopy(value, &stored)
                              : VariantChangeType(value, &stored, 0, wanted);
}

HRESULT TestBag::Write(LPCOLESTR name, VARIANT* value) {
    if (V_VT(value) != VT_UNKNOWN && V_VT(value) != VT_DISPATCH)
        return objects.erase(name), VariantCopy(&values[name], value);
    ComPtr<IPersistStream> persist;
    ComPtr<IStream> s = StreamOf("");
    HRESULT hr = V_UNKNOWN(value)
                     ? V_UNKNOWN(value)->QueryInterface(IID_IPersistStream, persist.put_void())
                     : E_POINTER;
    if (SUCCEEDED(hr)) hr = OleSaveToStream(persist.get(), s.get());
    if (SUCCEEDED(hr)) objects[name] = StreamBytes(s.get()), values.erase(name);
    return hr;
}

}  // namespace tq::test
