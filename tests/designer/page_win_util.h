// The Win32 page's fixture: the page in a form as a property frame holds it, a page site, a
// control double with a "MenuTree" property, real input and readers of the tree view.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "com_test.h"
#include "ctl_test.h"
#include "tq/designer/form.h"
#include "tq/designer/win/menu_property.h"
#include "tq/designer/win/page_window.h"

namespace tq::test {

using designer::Control;

class PageSite final : public com::ComObject<PageSite, IPropertyPageSite> {
  public:
    static std::span<const com::QiEntry> Interfaces();
    IFACEMETHODIMP OnStatusChange(DWORD flags) override { return status.push_back(flags), S_OK; }
    IFACEMETHODIMP GetLocaleID(LCID* lcid) override { return *lcid = LOCALE_USER_DEFAULT, S_OK; }
    IFACEMETHODIMP GetPageContainer(IUnknown**) override { return E_NOTIMPL; }
    IFACEMETHODIMP TranslateAccelerator(MSG*) override { return S_FALSE; }
    std::vector<DWORD> status;
};
inline std::span<const com::QiEntry> PageSite::Interfaces() {
    static const com::QiEntry table[] = {TQ_QI(PageSite, IPropertyPageSite)};
    return table;
}

// The tqMenu that "Gera Script" reaches (the one shown last on the thread); null for none.
void SetShownControl(IDispatch* control);

inline ComPtr<TestSite> ControlWith(MenuTree* tree) {  // "MenuTree" got and put by name
    ComPtr<TestSite> control = TestSite::Make();
    control->extender[L"MenuTree"] = Variant::FromDispatch(tree);
    return control;
}

inline ComPtr<MenuTree> TreeIn(TestSite* control) {
    ComPtr<MenuTree> tree;
    V_DISPATCH(&control->extender[L"MenuTree"])->QueryInterface(IID_MenuTree, tree.put_void());
    return tree;
}

inline ComPtr<MenuTree> TwoMenus() {  // Arquivo (Novo Ctrl+N, Sair), Ajuda
    ComPtr<MenuTree> tree = NewTree();
    ComPtr<MenuTree> arq = SubOf(AddEntry(tree.get(), L"&Arquivo", L"Arq").get());
    AddEntry(arq.get(), L"&Novo", L"ArqNov")->put_TeclaExtenso(Bstr(L"Ctrl+N").get());
    AddEntry(arq.get(), L"&Sair", L"ArqSai");
    AddEntry(tree.get(), L"A&juda", L"Aju");
    return tree;
}

inline std::wstring Names(MenuTree* level) {  // "Arq(ArqNov ArqSai) Aju"
    std::wstring out;
    for (short i = 1; i <= CountOf(level); ++i) {
        ComPtr<MenuTree> sub = SubOf(ItemAt(level, i).get());
        out += (i > 1 ? L" " : L"") + NomeOf(ItemAt(level, i).get());
        if (CountOf(sub.get()) > 0) out += L"(" + Names(sub.get()) + L")";
    }
    return out;
}

inline void TypeText(const std::wstring& text) {
    std::vector<INPUT> in;
    for (wchar_t ch : text)
        for (DWORD up : {0, KEYEVENTF_KEYUP})
            in.push_back({INPUT_KEYBOARD, {.ki = {0, ch, KEYEVENTF_UNICODE | up, 0, 0}}});
    SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
}

inline void MouseAt(POINT p, DWORD flags) {
    INPUT i{INPUT_MOUSE, {}};
    i.mi.dx = MulDiv(p.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    i.mi.dy = MulDiv(p.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    i.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE | flags;
    SendInput(1, &i, sizeof i);
}

// A click at `from`, or a drag from `from` to `to` in small steps past the drag threshold.
inline void LeftButton(POINT from, std::optional<POINT> to = {}) {
    SetCursorPos(from.x, from.y);
    MouseAt(from, MOUSEEVENTF_LEFTDOWN);
    for (int k = 1; to && k <= 8; ++k, Sleep(20))
        MouseAt({from.x + (to->x - from.x) * k / 8, from.y + (to->y - from.y) * k / 8}, 0);
    MouseAt(to.value_or(from), MOUSEEVENTF_LEFTUP);
}

inline POINT Middle(HWND w) {
    RECT r;
    GetWindowRect(w, &r);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// Calls `f(item, text, depth)` on the tree's items in pre-order until it returns true.
template <class F>
HTREEITEM Walk(HWND tree, F&& f, HTREEITEM first = TVI_ROOT, size_t depth = 0) {
    if (first == TVI_ROOT) first = TreeView_GetRoot(tree);
    for (HTREEITEM i = first; i; i = TreeView_GetNextSibling(tree, i)) {
        wchar_t buf[256] = {};
        TVITEMW it{TVIF_TEXT, i, 0, 0, buf, 256, 0, 0, 0, 0};
        SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it));
        if (f(i, std::wstring(buf), depth)) return i;
        if (HTREEITEM found = Walk(tree, f, TreeView_GetChild(tree, i), depth + 1)) return found;
    }
    return nullptr;
}
inline HTREEITEM FindTreeItem(HWND tree, const std::wstring& text) {
    return Walk(tree, [&](HTREEITEM, const std::wstring& t, size_t) { return t == text; });
}
inline std::wstring TreeShown(HWND tree) {  // one line an item, two spaces of indent a level
    std::wstring out;
    Walk(tree, [&](HTREEITEM, const std::wstring& t, size_t depth) {
        return out += std::wstring(2 * depth, L' ') + t + L"\n", false;
    });
    return out;
}
// The point of `item` at its top (-1), middle (0) or bottom (1).
inline POINT TreeItemPoint(HWND tree, HTREEITEM item, int where = 0) {
    RECT r{};
    TreeView_GetItemRect(tree, item, &r, TRUE);
    POINT p{(r.left + r.right) / 2, r.top + 1 + (r.bottom - r.top - 3) * (where + 1) / 2};
    ClientToScreen(tree, &p);
    return p;
}

inline std::wstring WindowText(HWND w) {
    wchar_t buf[512] = {};
    GetWindowTextW(w, buf, 512);
    return buf;
}

inline std::string ListCell(HWND list, int row, int column) {
    char buf[256] = {};
    ListView_GetItemText(list, row, column, buf, 256);
    return buf;
}

class PageTest : public ComTest {
  protected:
    PageTest() { designer::CreateMenuPropertyPage(IID_IPropertyPage2, page.put_void()); }
    void TearDown() override {
        if (PageWindow()) page->Show(SW_HIDE), page->Deactivate();
        host.reset();
        page = nullptr;
        control = nullptr;
        ComTest::TearDown();
    }
    void Open(MenuTree* tree) { OpenOn({(control = ControlWith(tree))->Identity()}); }
    void OpenOn(std::vector<IUnknown*> objects) {
        ASSERT_HRESULT_SUCCEEDED(page->SetPageSite(site.get()));
        const auto n = static_cast<ULONG>(objects.size());
        ASSERT_HRESULT_SUCCEEDED(page->SetObjects(n, objects.data()));
        host = std::make_unique<Form>(L"Propriedades - tqMenu");
        const SIZE size = designer::win::PageSizePixels();
        RECT r{0, 0, size.cx, size.cy}, outer = r;
        AdjustWindowRect(&outer, WS_OVERLAPPEDWINDOW, FALSE);
        MoveWindow(host->hwnd(), 20, 20, outer.right - outer.left, outer.bottom - outer.top, TRUE);
        ASSERT_HRESULT_SUCCEEDED(page->Activate(host->hwnd(), &r, TRUE));
        ASSERT_HRESULT_SUCCEEDED(page->Show(SW_SHOW));
        SetForegroundWindow(host->hwnd());
        Pump(200);
    }
    HWND PageWindow() const {
        return host ? FindWindowExW(host->hwnd(), nullptr, designer::win::kPageWindowClass, nullptr)
                    : nullptr;
    }
    static int ControlId(Control c) { return designer::win::ControlId(c); }
    HWND W(Control c) const {  // on the page or in one of its two frames
        HWND page = PageWindow(), objetos = GetDlgItem(page, ControlId(Control::fraObjetos));
        for (HWND parent : {page, objetos, GetDlgItem(objetos, ControlId(Control::fraAtalho))})
            if (HWND w = GetDlgItem(parent, ControlId(c))) return w;
        return nullptr;
    }
    bool Enabled(Control c) const { return IsWindowEnabled(W(c)) != FALSE; }
    void Pump(int ms = 150) {  // the page's TranslateAccelerator first
        MSG m;
        for (const DWORD end = GetTickCount() + ms; static_cast<LONG>(end - GetTickCount()) > 0;)
            if (!PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE))
                Sleep(5);
            else if (page->TranslateAccelerator(&m) != S_OK)
                TranslateMessage(&m), DispatchMessageW(&m);
    }
    void Click(Control c) { LeftButton(Middle(W(c))), Pump(); }
    void Key(std::initializer_list<WORD> chord) { Tap(chord, true), Pump(); }
    void Type(const std::wstring& text) { TypeText(text), Pump(100); }
    void ClickNode(const std::wstring& text) {
        HWND trv = W(Control::trvMenu);
        TreeView_EnsureVisible(trv, FindTreeItem(trv, text));
        Pump(50);
        LeftButton(TreeItemPoint(trv, FindTreeItem(trv, text)));
        Pump();
    }

    ComPtr<IPropertyPage2> page;
    ComPtr<PageSite> site = PageSite::Make();
    ComPtr<TestSite> control;
    std::unique_ptr<Form> host;
};

}  // namespace tq::test
