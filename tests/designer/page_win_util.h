// Test helpers for the Win32 property page: a control stand-in with a "MenuTree" property, a
// property page site of our own, a top-level window to hold the page, real keyboard and mouse
// input, MenuTree readers, and the fixture that opens the page as a property frame does.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <ocidl.h>

#include <gtest/gtest.h>

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "tqBiblioteca.h"
#include "tq/com/com_ptr.h"
#include "tq/com/object.h"
#include "tq/designer/form.h"
#include "tq/designer/win/menu_property.h"

namespace tq::test {

using com::ComPtr;
using designer::Control;

struct OleThread {
    OleThread() { OleInitialize(nullptr); }
    ~OleThread() { OleUninitialize(); }
};

// A new, empty tqBiblioteca MenuTree (the server must be registered).
ComPtr<::MenuTree> NewMenuTree();

// A stand-in for a tqMenu control: IDispatch with "MenuTree" (get, and put by reference only:
// a put by value fails as it does on the control) and "GerarScript" (counted).
class FakeControl final : public com::ComObject<FakeControl, IDispatch> {
  public:
    explicit FakeControl(ComPtr<::MenuTree> t) : tree(std::move(t)) {}
    static std::span<const com::QiEntry> Interfaces();
    IFACEMETHODIMP GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    IFACEMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    IFACEMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    IFACEMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                          EXCEPINFO*, UINT*) override;

    ComPtr<::MenuTree> tree;  // what MenuTree returns and what a put by reference sets
    int gets = 0, putrefs = 0, scripts = 0;
};

// An IPropertyPageSite that records the status changes the page reports.
class TestSite final : public com::ComObject<TestSite, IPropertyPageSite> {
  public:
    static std::span<const com::QiEntry> Interfaces();
    IFACEMETHODIMP OnStatusChange(DWORD flags) override {
        status.push_back(flags);
        return S_OK;
    }
    IFACEMETHODIMP GetLocaleID(LCID* lcid) override {
        *lcid = LOCALE_USER_DEFAULT;
        return S_OK;
    }
    IFACEMETHODIMP GetPageContainer(IUnknown**) override { return E_NOTIMPL; }
    IFACEMETHODIMP TranslateAccelerator(MSG*) override { return S_FALSE; }

    std::vector<DWORD> status;
};

// A top-level window that holds one property page as a property frame does, with a message
// loop that offers keys to the page first.
class PageHostWindow {
  public:
    explicit PageHostWindow(IPropertyPage* page);
    ~PageHostWindow();
    HWND hwnd() const { return hwnd_; }
    HWND page() const;  // the page window, null when there is none
    HWND Find(Control c) const;
    // Activates and shows the page in this window and brings the window to the front.
    HRESULT Activate();
    // Runs the message loop (page->TranslateAccelerator first) for `ms`.
    void Pump(int ms = 150);

  private:
    IPropertyPage* page_;
    HWND hwnd_ = nullptr;
};

// Real input through SendInput: it goes to the focused window of the foreground window.
void TypeText(const std::wstring& text);
void PressKey(WORD vk, bool ctrl = false, bool shift = false);
void ClickAt(POINT screen);
void ClickWindow(HWND w);  // the middle of the window
// The left button pressed at `from`, the mouse moved to `to` in steps, and let go there.
void DragMouse(POINT from, POINT to);
// The tree item whose text is `text` (first found, breadth first), or null.
HTREEITEM FindTreeItem(HWND tree, const std::wstring& text);
// A point of a tree item's label in screen coordinates: -1 top, 0 middle, 1 bottom.
POINT TreeItemPoint(HWND tree, HTREEITEM item, int where = 0);
// The tree view's items, one line each, two spaces of indent per level.
std::wstring TreeShown(HWND tree);

std::wstring WindowText(HWND w);
std::wstring ListCell(HWND list, int row, int column);
std::wstring ClassName(HWND w);
std::string Utf8(const std::wstring& s);

// Every entry of a MenuTree, depth first, one line each:
//   "<depth> <Caption>|<Nome>|<TextoMenu>|<TeclaExtenso>|V<Visivel><VisivelDefault>|
//    H<Habilitado><HabilitadoDefault>|C<MenuConsulta>|<Descricao>"  (flags as 1/0)
std::vector<std::string> DumpTree(::MenuTree* tree);
// Appends an entry to a level and sets its fields; returns its SubMenu.
ComPtr<::MenuTree> AddEntry(::MenuTree* level, const std::wstring& caption,
                            const std::wstring& nome, const std::wstring& tecla = L"",
                            bool visivel = true, bool habilitado = true);
// Arquivo (Novo Ctrl+N, Sair), Ajuda.
ComPtr<::MenuTree> TwoMenus();

// The page of our own making, shown in a window of our own with a site of our own.
class PageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_HRESULT_SUCCEEDED(
            designer::CreateMenuPropertyPage(IID_IPropertyPage2, page.put_void()));
        site = TestSite::Make();
    }
    void TearDown() override {
        if (host && host->page()) {
            page->Show(SW_HIDE);
            page->Deactivate();
        }
        host.reset();
        if (page) page->SetPageSite(nullptr);
        page = nullptr;
    }
    // Site, objects, window: the order a property frame follows.
    void Open(ComPtr<::MenuTree> tree) {
        control = FakeControl::Make(std::move(tree));
        OpenOn(static_cast<IDispatch*>(control.get()));
    }
    void OpenOn(IUnknown* object) {
        ASSERT_HRESULT_SUCCEEDED(page->SetPageSite(site.get()));
        IUnknown* objects[] = {object};
        ASSERT_HRESULT_SUCCEEDED(page->SetObjects(1, objects));
        host = std::make_unique<PageHostWindow>(page.get());
        ASSERT_HRESULT_SUCCEEDED(host->Activate());
        ASSERT_NE(host->page(), nullptr);
    }

    HWND W(Control c) const { return host->Find(c); }
    void Pump(int ms = 150) { host->Pump(ms); }
    void Click(Control c) {
        ClickWindow(W(c));
        Pump();
    }
    void Key(WORD vk, bool ctrl = false, bool shift = false) {
        PressKey(vk, ctrl, shift);
        Pump();
    }
    void Type(const std::wstring& text) {
        TypeText(text);
        Pump(100);
    }
    void ClickNode(const std::wstring& text) {
        HWND trv = W(Control::trvMenu);
        HTREEITEM item = FindTreeItem(trv, text);
        ASSERT_NE(item, nullptr) << Utf8(text);
        TreeView_EnsureVisible(trv, item);
        Pump(50);
        ClickAt(TreeItemPoint(trv, item));
        Pump();
    }
    bool Enabled(Control c) { return IsWindowEnabled(W(c)) != FALSE; }

    OleThread ole;
    ComPtr<IPropertyPage2> page;
    ComPtr<TestSite> site;
    ComPtr<FakeControl> control;
    std::unique_ptr<PageHostWindow> host;
};

}  // namespace tq::test
