// Test helpers for the Win32 property page: a control stand-in with a "MenuTree" property, a
// property page site of our own, a top-level window to hold the page, real keyboard and mouse
// input, and readers for MenuTree objects.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <ocidl.h>

#include <chrono>
#include <string>
#include <vector>

#include "tqBiblioteca.h"
#include "tq/com/com_ptr.h"
#include "tq/designer/form.h"

namespace tq::test {

using com::ComPtr;

// COM for the test's thread (apartment threaded, OLE for the property frame).
struct OleThread {
    OleThread() { OleInitialize(nullptr); }
    ~OleThread() { OleUninitialize(); }
};

// A new, empty tqBiblioteca MenuTree (the server must be registered).
ComPtr<::MenuTree> NewMenuTree();

// A stand-in for a tqMenu control: IDispatch with "MenuTree" (get, and put by reference only:
// a put by value fails as it does on the control) and "GerarScript" (counted).
class FakeControl final : public IDispatch {
  public:
    static ComPtr<FakeControl> Make(ComPtr<::MenuTree> tree);

    IFACEMETHODIMP QueryInterface(REFIID iid, void** out) override;
    IFACEMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
    IFACEMETHODIMP_(ULONG) Release() override;
    IFACEMETHODIMP GetTypeInfoCount(UINT* n) override;
    IFACEMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    IFACEMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    IFACEMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                          EXCEPINFO*, UINT*) override;

    ComPtr<::MenuTree> tree;  // what MenuTree returns and what a put by reference sets
    int gets = 0, putrefs = 0, puts = 0, scripts = 0;

  private:
    LONG refs_ = 0;
};

// An IPropertyPageSite that records the status changes the page reports.
class TestSite final : public IPropertyPageSite {
  public:
    static ComPtr<TestSite> Make();
    IFACEMETHODIMP QueryInterface(REFIID iid, void** out) override;
    IFACEMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
    IFACEMETHODIMP_(ULONG) Release() override;
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

  private:
    LONG refs_ = 0;
};

// The control the page's "Gera Script" button reaches in these tests, where tqMenuCtl.ocx
// reaches the tqMenu shown last on the thread; null for none.
void SetShownControl(IDispatch* control);

// A top-level window that holds one property page, as a property frame does: it sets the page
// site, gives the page its objects, activates and shows it, and runs the message loop that
// offers keys to the page first.
class PageHostWindow {
  public:
    explicit PageHostWindow(IPropertyPage* page);
    ~PageHostWindow();

    HWND hwnd() const { return hwnd_; }
    // The page window (the page's child of this window).
    HWND page() const;
    HWND Find(designer::Control c) const;

    // Activates and shows the page in this window and brings the window to the front.
    HRESULT Activate();

    // Runs the message loop (page->TranslateAccelerator first) until `ms` passed, or sooner
    // once the queue has stayed empty for a while when `until_idle`.
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
void RightClickAt(POINT screen);
// The left button pressed at `from`, the mouse moved to `to` in steps, and (with `release`)
// let go there.
void DragMouse(POINT from, POINT to, bool release = true);
void MouseUpAt(POINT screen);
// The middle of a tree item's label, in screen coordinates.
POINT TreeItemPoint(HWND tree, HTREEITEM item);
// The tree item whose text is `text` (first found, depth first), or null.
HTREEITEM FindTreeItem(HWND tree, const std::wstring& text);

std::wstring WindowText(HWND w);
std::wstring ListCell(HWND list, int row, int column);
std::wstring ClassName(HWND w);

// Every entry of a MenuTree, depth first, one line each:
//   "<depth> <Caption>|<Nome>|<TextoMenu>|<TeclaExtenso>|V<Visivel><VisivelDefault>|
//    H<Habilitado><HabilitadoDefault>|C<MenuConsulta>|<Descricao>"  (flags as 1/0)
std::vector<std::string> DumpTree(::MenuTree* tree);
// Appends an entry to a level and sets its fields; returns its SubMenu.
ComPtr<::MenuTree> AddEntry(::MenuTree* level, const std::wstring& caption,
                            const std::wstring& nome, const std::wstring& tecla = L"",
                            bool visivel = true, bool habilitado = true);

std::string Utf8(const std::wstring& s);

}  // namespace tq::test
