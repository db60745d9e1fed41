#include "page_win_util.h"

#include <oleauto.h>

#include <stdexcept>

#include "tq/com/error_info.h"
#include "tq/com/late_bind.h"
#include "tq/com/strings.h"
#include "tq/com/variant.h"
#include "tq/designer/errors.h"
#include "tq/designer/win/menu_property.h"
#include "tq/designer/win/page_window.h"
#include "tq/error.h"

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
    std::string out(s.size() * 3, '\0');
    out.resize(static_cast<size_t>(
        WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(),
                            static_cast<int>(out.size()), nullptr, nullptr)));
    return out;
}

ComPtr<::MenuTree> NewMenuTree() {
    ComPtr<::MenuTree> t;
    if (FAILED(CoCreateInstance(CLSID_MenuTreeClass, nullptr, CLSCTX_INPROC_SERVER, IID_MenuTree,
                                t.put_void())))
        throw std::runtime_error("tqBiblioteca.MenuTree is not registered");
    return t;
}

std::span<const com::QiEntry> FakeControl::Interfaces() {
    static const com::QiEntry table[] = {TQ_QI(FakeControl, IDispatch)};
    return table;
}

HRESULT FakeControl::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    ids[0] = count != 1                                ? DISPID_UNKNOWN
             : _wcsicmp(names[0], L"MenuTree") == 0    ? 1
             : _wcsicmp(names[0], L"GerarScript") == 0 ? 6
                                                       : DISPID_UNKNOWN;
    return ids[0] == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
}

HRESULT FakeControl::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                            VARIANT* result, EXCEPINFO*, UINT*) {
    if (id == 6 && (flags & DISPATCH_METHOD)) return ++scripts, S_OK;
    if (id == 1 && (flags & DISPATCH_PROPERTYGET)) {
        ++gets;
        V_VT(result) = VT_DISPATCH;
        V_DISPATCH(result) = tree.get();
        if (tree) tree->AddRef();
        return S_OK;
    }
    if (id != 1 || !(flags & DISPATCH_PROPERTYPUTREF)) return DISP_E_MEMBERNOTFOUND;
    ++putrefs;
    VARIANT* v = &params->rgvarg[0];
    IDispatch* d = V_VT(v) == VT_DISPATCH                ? V_DISPATCH(v)
                   : V_VT(v) == (VT_DISPATCH | VT_BYREF) ? *V_DISPATCHREF(v)
                                                         : nullptr;
    ComPtr<::MenuTree> t;
    if (!d || FAILED(d->QueryInterface(IID_MenuTree, t.put_void()))) return DISP_E_TYPEMISMATCH;
    tree = t;
    return S_OK;
}

std::span<const com::QiEntry> TestSite::Interfaces() {
    static const com::QiEntry table[] = {TQ_QI(TestSite, IPropertyPageSite)};
    return table;
}

namespace {

LRESULT CALLBACK HostProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    return DefWindowProcW(h, m, w, l);
}

BOOL CALLBACK MatchId(HWND w, LPARAM lp) {
    auto* s = reinterpret_cast<std::pair<int, HWND>*>(lp);
    if (GetDlgCtrlID(w) == s->first) s->second = w;
    return s->second == nullptr;
}

INPUT KeyInput(WORD vk, WORD scan, DWORD flags) {
    INPUT i{};
    i.type = INPUT_KEYBOARD;
    i.ki.wVk = vk;
    i.ki.wScan = vk ? static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)) : scan;
    i.ki.dwFlags = flags;
    return i;
}

void MouseAt(POINT p, DWORD flags) {
    INPUT i{};
    i.type = INPUT_MOUSE;
    i.mi.dx = MulDiv(p.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    i.mi.dy = MulDiv(p.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    i.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE | flags;
    SendInput(1, &i, sizeof i);
}

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

// Calls `f(item, depth)` in pre-order until it returns true; returns that item.
template <class F>
HTREEITEM Walk(HWND tree, HTREEITEM first, size_t depth, F&& f) {
    for (HTREEITEM i = first; i; i = TreeView_GetNextSibling(tree, i)) {
        if (f(i, depth)) return i;
        if (HTREEITEM found = Walk(tree, TreeView_GetChild(tree, i), depth + 1, f)) return found;
    }
    return nullptr;
}

}  // namespace

PageHostWindow::PageHostWindow(IPropertyPage* page) : page_(page) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"tqTestPageHost";
    RegisterClassExW(&wc);
    const SIZE size = designer::win::PageSizePixels();
    RECT r{0, 0, size.cx, size.cy};
    AdjustWindowRectEx(&r, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_CONTROLPARENT);
    hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT, wc.lpszClassName, L"Propriedades - tqMenu",
                            WS_OVERLAPPEDWINDOW, 20, 20, r.right - r.left, r.bottom - r.top,
                            nullptr, nullptr, wc.hInstance, nullptr);
}

PageHostWindow::~PageHostWindow() {
    DestroyWindow(hwnd_);
}

HRESULT PageHostWindow::Activate() {
    const SIZE size = designer::win::PageSizePixels();
    RECT r{0, 0, size.cx, size.cy};
    HRESULT hr = page_->Activate(hwnd_, &r, TRUE);
    if (SUCCEEDED(hr)) hr = page_->Show(SW_SHOW);
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

HWND PageHostWindow::Find(Control c) const {
    std::pair<int, HWND> s{designer::win::ControlId(c), nullptr};
    EnumChildWindows(page(), MatchId, reinterpret_cast<LPARAM>(&s));
    return s.second;
}

void PageHostWindow::Pump(int ms) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
    MSG m;
    for (LONG left; (left = static_cast<LONG>(end - GetTickCount())) > 0;) {
        if (!PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left), QS_ALLINPUT);
        } else if (page_->TranslateAccelerator(&m) != S_OK) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
    }
}

void TypeText(const std::wstring& text) {
    std::vector<INPUT> in;
    for (wchar_t ch : text)
        for (DWORD up : {0, KEYEVENTF_KEYUP}) in.push_back(KeyInput(0, ch, KEYEVENTF_UNICODE | up));
    SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
}

void PressKey(WORD vk, bool ctrl, bool shift) {
    std::vector<INPUT> in;
    if (ctrl) in.push_back(KeyInput(VK_CONTROL, 0, 0));
    if (shift) in.push_back(KeyInput(VK_SHIFT, 0, 0));
    in.push_back(KeyInput(vk, 0, 0));
    in.push_back(KeyInput(vk, 0, KEYEVENTF_KEYUP));
    if (shift) in.push_back(KeyInput(VK_SHIFT, 0, KEYEVENTF_KEYUP));
    if (ctrl) in.push_back(KeyInput(VK_CONTROL, 0, KEYEVENTF_KEYUP));
    SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
}

void ClickAt(POINT p) {
    SetCursorPos(p.x, p.y);
    MouseAt(p, MOUSEEVENTF_LEFTDOWN);
    MouseAt(p, MOUSEEVENTF_LEFTUP);
}

void ClickWindow(HWND w) {
    RECT r;
    GetWindowRect(w, &r);
    ClickAt({(r.left + r.right) / 2, (r.top + r.bottom) / 2});
}

// Small steps first, past the drag threshold, then on to the target.
void DragMouse(POINT from, POINT to) {
    SetCursorPos(from.x, from.y);
    MouseAt(from, MOUSEEVENTF_LEFTDOWN);
    Sleep(50);
    for (int k = 1; k <= 8; ++k) {
        MouseAt({from.x + (to.x - from.x) * k / 8, from.y + (to.y - from.y) * k / 8}, 0);
        Sleep(20);
    }
    MouseAt(to, MOUSEEVENTF_LEFTUP);
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

std::wstring TreeShown(HWND tree) {
    std::wstring out;
    Walk(tree, TreeView_GetRoot(tree), 0, [&](HTREEITEM i, size_t depth) {
        out += std::wstring(2 * depth, L' ') + ItemText(tree, i) + L"\n";
        return false;
    });
    return out;
}

HTREEITEM FindTreeItem(HWND tree, const std::wstring& text) {
    return Walk(tree, TreeView_GetRoot(tree), 0,
                [&](HTREEITEM i, size_t) { return ItemText(tree, i) == text; });
}

std::wstring WindowText(HWND w) {
    wchar_t buf[512] = {};
    GetWindowTextW(w, buf, 512);
    return buf;
}

std::wstring ClassName(HWND w) {
    wchar_t buf[128] = {};
    GetClassNameW(w, buf, 128);
    return buf;
}

namespace {

void Dump(::MenuTree* level, int depth, std::vector<std::string>& out) {
    short n = 0;
    level->get_Count(&n);
    for (short i = 1; i <= n; ++i) {
        ComPtr<::MenuItem> item;
        level->get_Item(com::Variant::FromLong(i), item.put());
        std::wstring line = std::to_wstring(depth) + L" ";
        for (auto get : {&::MenuItem::get_Caption, &::MenuItem::get_Nome,
                         &::MenuItem::get_TextoMenu, &::MenuItem::get_TeclaExtenso}) {
            com::Bstr b;
            (item.get()->*get)(b.put());
            line += std::wstring(b.view()) + L"|";
        }
        const wchar_t* marks[] = {L"V", L"", L"|H", L"", L"|C"};
        int k = 0;
        for (auto get : {&::MenuItem::get_Visivel, &::MenuItem::get_VisivelDefault,
                         &::MenuItem::get_Habilitado, &::MenuItem::get_HabilitadoDefault,
                         &::MenuItem::get_MenuConsulta}) {
            VARIANT_BOOL v = VARIANT_FALSE;
            (item.get()->*get)(&v);
            line += marks[k++] + std::wstring(v ? L"1" : L"0");
        }
        com::Bstr d;
        item->get_Descricao(d.put());
        out.push_back(Utf8(line + L"|" + std::wstring(d.view())));
        ComPtr<::MenuTree> sub;
        item->get_SubMenu(sub.put());
        Dump(sub.get(), depth + 1, out);
    }
}

}  // namespace

std::vector<std::string> DumpTree(::MenuTree* tree) {
    std::vector<std::string> out;
    Dump(tree, 0, out);
    return out;
}

ComPtr<::MenuTree> AddEntry(::MenuTree* level, const std::wstring& caption,
                            const std::wstring& nome, const std::wstring& tecla, bool visivel,
                            bool habilitado) {
    com::Bstr c(std::wstring_view{caption}), n(std::wstring_view{nome}),
        t(std::wstring_view{tecla});
    BSTR cb = c.get(), nb = n.get();
    short ignored = 0;
    level->Add(&cb, &nb, &ignored);
    ComPtr<::MenuItem> item;
    level->get_Item(com::Variant::FromString(nome), item.put());
    item->put_TeclaExtenso(t.get());
    const VARIANT_BOOL v = visivel ? VARIANT_TRUE : VARIANT_FALSE;
    const VARIANT_BOOL h = habilitado ? VARIANT_TRUE : VARIANT_FALSE;
    item->put_VisivelDefault(v);
    item->put_Visivel(v);
    item->put_HabilitadoDefault(h);
    item->put_Habilitado(h);
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

namespace {
ComPtr<IDispatch> g_shown_control;
}  // namespace

void SetShownControl(IDispatch* control) {
    g_shown_control = control;
}

}  // namespace tq::test

void tq::designer::GenerateScriptOnShownControl() {
    if (!test::g_shown_control)
        throw Error(hr::kObjectNotSet, u"Nenhum controle tqMenu está ativo para gerar o script.");
    com::Variant ignored;
    com::Check(com::CallMethod(test::g_shown_control.get(), L"GerarScript", {}, &ignored));
}

