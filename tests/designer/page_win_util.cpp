#include "page_win_util.h"

#include <oleauto.h>

#include <stdexcept>

#include "tq/com/strings.h"
#include "tq/com/variant.h"
#include "tq/designer/win/page_window.h"

namespace tq::test {

std::wstring ListCell(HWND list, int row, int column) {
    wchar_t buf[256] = {};
    LVITEMW it{};
    it.iSubItem = column;
    it.pszText = buf;
    it.cchTextMax = 256;
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&it));
    return buf;
}

std::string Utf8(const std::wstring& s) {
    if (s.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n, nullptr,
                        nullptr);
    return out;
}

ComPtr<::MenuTree> NewMenuTree() {
    ComPtr<::MenuTree> t;
    const HRESULT hr = CoCreateInstance(CLSID_MenuTreeClass, nullptr, CLSCTX_INPROC_SERVER,
                                        IID_MenuTree, t.put_void());
    if (FAILED(hr)) throw std::runtime_error("tqBiblioteca.MenuTree is not registered");
    return t;
}

// ---- FakeControl ---------------------------------------------------------------------------

std::span<const com::QiEntry> FakeControl::Interfaces() {
    static const com::QiEntry table[] = {TQ_QI(FakeControl, IDispatch)};
    return table;
}

HRESULT FakeControl::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (count != 1) return DISP_E_UNKNOWNNAME;
    if (_wcsicmp(names[0], L"MenuTree") == 0) {
        ids[0] = 1;
        return S_OK;
    }
    if (_wcsicmp(names[0], L"GerarScript") == 0) {
        ids[0] = 6;
        return S_OK;
    }
    ids[0] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

HRESULT FakeControl::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                            VARIANT* result, EXCEPINFO*, UINT*) {
    if (id == 6 && (flags & DISPATCH_METHOD)) {
        ++scripts;
        return S_OK;
    }
    if (id != 1) return DISP_E_MEMBERNOTFOUND;
    if (flags & DISPATCH_PROPERTYGET) {
        ++gets;
        if (!result) return E_POINTER;
        VariantInit(result);
        V_VT(result) = VT_DISPATCH;
        V_DISPATCH(result) = tree.get();
        if (tree) tree->AddRef();
        return S_OK;
    }
    if (flags & DISPATCH_PROPERTYPUTREF) {
        ++putrefs;
        if (!params || params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
        VARIANT* v = &params->rgvarg[0];
        IDispatch* d = V_VT(v) == VT_DISPATCH                ? V_DISPATCH(v)
                       : V_VT(v) == (VT_DISPATCH | VT_BYREF) ? *V_DISPATCHREF(v)
                                                             : nullptr;
        if (!d) return DISP_E_TYPEMISMATCH;
        ComPtr<::MenuTree> t;
        if (FAILED(d->QueryInterface(IID_MenuTree, t.put_void()))) return DISP_E_TYPEMISMATCH;
        tree = t;
        return S_OK;
    }
    return DISP_E_MEMBERNOTFOUND;  // the control has no value put for an object property
}

// ---- TestSite -------------------------------------------------------------------------------

std::span<const com::QiEntry> TestSite::Interfaces() {
    static const com::QiEntry table[] = {TQ_QI(TestSite, IPropertyPageSite)};
    return table;
}

// ---- PageHostWindow ---------------------------------------------------------------------------

namespace {

constexpr wchar_t kHostClass[] = L"tqTestPageHost";

LRESULT CALLBACK HostProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    return DefWindowProcW(h, m, w, l);
}

}  // namespace

PageHostWindow::PageHostWindow(IPropertyPage* page) : page_(page) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kHostClass;
    RegisterClassExW(&wc);
    const SIZE size = designer::win::PageSizePixels();
    RECT r{0, 0, size.cx, size.cy};
    AdjustWindowRectEx(&r, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_CONTROLPARENT);
    hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT, kHostClass, L"Propriedades - tqMenu",
                            WS_OVERLAPPEDWINDOW, 20, 20, r.right - r.left, r.bottom - r.top,
                            nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

PageHostWindow::~PageHostWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
}

HRESULT PageHostWindow::Activate() {
    const SIZE size = designer::win::PageSizePixels();
    RECT r{0, 0, size.cx, size.cy};
    HRESULT hr = page_->Activate(hwnd_, &r, TRUE);
    if (FAILED(hr)) return hr;
    hr = page_->Show(SW_SHOW);
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
    SetActiveWindow(hwnd_);
    UpdateWindow(hwnd_);
    Pump(200);
    return hr;
}

HWND PageHostWindow::page() const {
    return FindWindowExW(hwnd_, nullptr, designer::win::kPageWindowClass, nullptr);
}

namespace {

struct IdSearch {
    int id;
    HWND found;
};

BOOL CALLBACK MatchId(HWND w, LPARAM lp) {
    auto* s = reinterpret_cast<IdSearch*>(lp);
    if (GetDlgCtrlID(w) != s->id) return TRUE;
    s->found = w;
    return FALSE;
}

}  // namespace

HWND PageHostWindow::Find(Control c) const {
    IdSearch s{designer::win::ControlId(c), nullptr};
    EnumChildWindows(page(), MatchId, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

void PageHostWindow::Pump(int ms) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
    MSG m;
    for (;;) {
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (m.message == WM_QUIT) return;
            if (static_cast<LONG>(end - GetTickCount()) <= 0) return;
            if (page_->TranslateAccelerator(&m) == S_OK) continue;
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
        const DWORD now = GetTickCount();
        if (static_cast<LONG>(end - now) <= 0) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, end - now, QS_ALLINPUT);
    }
}

// ---- Input ------------------------------------------------------------------------------------

namespace {

void Send(std::vector<INPUT>& in) {
    if (!in.empty()) SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
}

INPUT Key(WORD vk, bool up) {
    INPUT i{};
    i.type = INPUT_KEYBOARD;
    i.ki.wVk = vk;
    i.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    i.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return i;
}

}  // namespace

void TypeText(const std::wstring& text) {
    std::vector<INPUT> in;
    for (wchar_t ch : text) {
        for (bool up : {false, true}) {
            INPUT i{};
            i.type = INPUT_KEYBOARD;
            i.ki.wScan = ch;
            i.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
            in.push_back(i);
        }
    }
    Send(in);
}

void PressKey(WORD vk, bool ctrl, bool shift) {
    std::vector<INPUT> in;
    if (ctrl) in.push_back(Key(VK_CONTROL, false));
    if (shift) in.push_back(Key(VK_SHIFT, false));
    in.push_back(Key(vk, false));
    in.push_back(Key(vk, true));
    if (shift) in.push_back(Key(VK_SHIFT, true));
    if (ctrl) in.push_back(Key(VK_CONTROL, true));
    Send(in);
}

void ClickAt(POINT p) {
    SetCursorPos(p.x, p.y);
    std::vector<INPUT> in(2);
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    for (size_t k = 0; k < 2; ++k) {
        in[k].type = INPUT_MOUSE;
        in[k].mi.dx = MulDiv(p.x, 65535, w - 1);
        in[k].mi.dy = MulDiv(p.y, 65535, h - 1);
        in[k].mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE |
                           (k == 0 ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP);
    }
    Send(in);
}

namespace {

INPUT MouseAt(POINT p, DWORD flags) {
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    INPUT i{};
    i.type = INPUT_MOUSE;
    i.mi.dx = MulDiv(p.x, 65535, w - 1);
    i.mi.dy = MulDiv(p.y, 65535, h - 1);
    i.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE | flags;
    return i;
}

}  // namespace

void DragMouse(POINT from, POINT to) {
    SetCursorPos(from.x, from.y);
    std::vector<INPUT> in{MouseAt(from, MOUSEEVENTF_LEFTDOWN)};
    Send(in);
    Sleep(50);
    // Small steps first, past the drag threshold, then on to the target.
    constexpr int kSteps = 8;
    for (int k = 1; k <= kSteps; ++k) {
        const POINT p{from.x + (to.x - from.x) * k / kSteps, from.y + (to.y - from.y) * k / kSteps};
        in = {MouseAt(p, 0)};
        Send(in);
        Sleep(20);
    }
    in = {MouseAt(to, MOUSEEVENTF_LEFTUP)};
    Send(in);
}

void ClickWindow(HWND w) {
    RECT r;
    GetWindowRect(w, &r);
    ClickAt({(r.left + r.right) / 2, (r.top + r.bottom) / 2});
}

POINT TreeItemPoint(HWND tree, HTREEITEM item, int where) {
    RECT r{};
    TreeView_GetItemRect(tree, item, &r, TRUE);
    POINT p{(r.left + r.right) / 2, where < 0   ? r.top + 1
                                    : where > 0 ? r.bottom - 2
                                                : (r.top + r.bottom) / 2};
    ClientToScreen(tree, &p);
    return p;
}

namespace {

std::wstring ItemText(HWND tree, HTREEITEM item) {
    wchar_t buf[256] = {};
    TVITEMW it{};
    it.mask = TVIF_TEXT;
    it.hItem = item;
    it.pszText = buf;
    it.cchTextMax = 256;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it));
    return buf;
}

void Shown(HWND tree, HTREEITEM first, size_t depth, std::wstring& out) {
    for (HTREEITEM i = first; i; i = TreeView_GetNextSibling(tree, i)) {
        out += std::wstring(2 * depth, L' ') + ItemText(tree, i) + L"\n";
        Shown(tree, TreeView_GetChild(tree, i), depth + 1, out);
    }
}

}  // namespace

std::wstring TreeShown(HWND tree) {
    std::wstring out;
    Shown(tree, TreeView_GetRoot(tree), 0, out);
    return out;
}

HTREEITEM FindTreeItem(HWND tree, const std::wstring& text) {
    std::vector<HTREEITEM> pending;
    for (HTREEITEM i = TreeView_GetRoot(tree); i; i = TreeView_GetNextSibling(tree, i))
        pending.push_back(i);
    while (!pending.empty()) {
        HTREEITEM i = pending.front();
        pending.erase(pending.begin());
        if (ItemText(tree, i) == text) return i;
        for (HTREEITEM c = TreeView_GetChild(tree, i); c; c = TreeView_GetNextSibling(tree, c))
            pending.push_back(c);
    }
    return nullptr;
}

std::wstring WindowText(HWND w) {
    const int n = GetWindowTextLengthW(w);
    std::wstring s(static_cast<size_t>(n) + 1, L'\0');
    s.resize(static_cast<size_t>(GetWindowTextW(w, s.data(), n + 1)));
    return s;
}

std::wstring ClassName(HWND w) {
    wchar_t buf[128] = {};
    GetClassNameW(w, buf, 128);
    return buf;
}

// ---- MenuTree ----------------------------------------------------------------------------------

namespace {

std::wstring Get(::MenuItem* item, HRESULT (STDMETHODCALLTYPE ::MenuItem::*m)(BSTR*)) {
    com::Bstr b;
    (item->*m)(b.put());
    return std::wstring(b.view());
}

char Flag(::MenuItem* item, HRESULT (STDMETHODCALLTYPE ::MenuItem::*m)(VARIANT_BOOL*)) {
    VARIANT_BOOL v = VARIANT_FALSE;
    (item->*m)(&v);
    return v ? '1' : '0';
}

void Dump(::MenuTree* level, int depth, std::vector<std::string>& out) {
    short n = 0;
    level->get_Count(&n);
    for (short i = 1; i <= n; ++i) {
        ComPtr<::MenuItem> item;
        level->get_Item(com::Variant::FromLong(i), item.put());
        if (!item) continue;
        std::wstring line = std::to_wstring(depth) + L" " +
                            Get(item.get(), &::MenuItem::get_Caption) + L"|" +
                            Get(item.get(), &::MenuItem::get_Nome) + L"|" +
                            Get(item.get(), &::MenuItem::get_TextoMenu) + L"|" +
                            Get(item.get(), &::MenuItem::get_TeclaExtenso) + L"|V";
        line += Flag(item.get(), &::MenuItem::get_Visivel);
        line += Flag(item.get(), &::MenuItem::get_VisivelDefault);
        line += L"|H";
        line += Flag(item.get(), &::MenuItem::get_Habilitado);
        line += Flag(item.get(), &::MenuItem::get_HabilitadoDefault);
        line += L"|C";
        line += Flag(item.get(), &::MenuItem::get_MenuConsulta);
        line += L"|" + Get(item.get(), &::MenuItem::get_Descricao);
        out.push_back(Utf8(line));
        ComPtr<::MenuTree> sub;
        item->get_SubMenu(sub.put());
        if (sub) Dump(sub.get(), depth + 1, out);
    }
}

}  // namespace

std::vector<std::string> DumpTree(::MenuTree* tree) {
    std::vector<std::string> out;
    if (tree) Dump(tree, 0, out);
    return out;
}

ComPtr<::MenuTree> AddEntry(::MenuTree* level, const std::wstring& caption,
                            const std::wstring& nome, const std::wstring& tecla, bool visivel,
                            bool habilitado) {
    BSTR c = SysAllocString(caption.c_str()), n = SysAllocString(nome.c_str());
    short ignored = 0;
    level->Add(&c, &n, &ignored);
    SysFreeString(c);
    SysFreeString(n);
    ComPtr<::MenuItem> item;
    level->get_Item(com::Variant::FromString(nome), item.put());
    if (!item) throw std::runtime_error("MenuTree.Add did not add the entry");
    com::Bstr t(std::wstring_view{tecla});
    item->put_TeclaExtenso(t.get());
    item->put_VisivelDefault(visivel ? VARIANT_TRUE : VARIANT_FALSE);
    item->put_Visivel(visivel ? VARIANT_TRUE : VARIANT_FALSE);
    item->put_HabilitadoDefault(habilitado ? VARIANT_TRUE : VARIANT_FALSE);
    item->put_Habilitado(habilitado ? VARIANT_TRUE : VARIANT_FALSE);
    ComPtr<::MenuTree> sub;
    item->get_SubMenu(sub.put());
    return sub;
}

ComPtr<::MenuTree> TwoMenus() {
    ComPtr<::MenuTree> tree = NewMenuTree();
    ComPtr<::MenuTree> arq = AddEntry(tree.get(), L"&Arquivo", L"Arq");
    AddEntry(arq.get(), L"&Novo", L"ArqNov", L"Ctrl+N");
    AddEntry(arq.get(), L"&Sair", L"ArqSai");
    AddEntry(tree.get(), L"A&juda", L"Aju");
    return tree;
}

}  // namespace tq::test
