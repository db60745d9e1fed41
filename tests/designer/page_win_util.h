// The Win32 page's test doubles (a control with a "MenuTree" property, a page site), a window
// that holds the page as a property frame does, real input, and MenuTree readers.
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

ComPtr<::MenuTree> NewMenuTree();

// "MenuTree" (get, and put by reference only, as on the control) and "GerarScript" (counted).
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

    ComPtr<::MenuTree> tree;
    int gets = 0, putrefs = 0, scripts = 0;
};

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

class PageHostWindow {
  public:
    explicit PageHostWindow(IPropertyPage* page);
    ~PageHostWindow();
    HWND hwnd() const { return hwnd_; }
    HWND page() const;
    HWND Find(Control c) const;
    HRESULT Activate();
    void Pump(int ms = 150);  // the page's TranslateAccelerator first

  private:
    IPropertyPage* page_;
    HWND hwnd_ = nullptr;
};

// The control the page's "Gera Script" button reaches in these tests, where tqMenuCtl.ocx
// reaches the tqMenu shown last on the thread; null for none.
void SetShownControl(IDispatch* control);

void TypeText(const std::wstring& text);
void PressKey(WORD vk, bool ctrl = false, bool shift = false);
void ClickAt(POINT screen);
void ClickWindow(HWND w);
void DragMouse(POINT from, POINT to);
HTREEITEM FindTreeItem(HWND tree, const std::wstring& text);
POINT TreeItemPoint(HWND tree, HTREEITEM item, int where = 0);  // -1 top, 0 middle, 1 bottom
std::wstring TreeShown(HWND tree);  // one line an item, two spaces of indent a level

std::wstring WindowText(HWND w);
std::wstring ListCell(HWND list, int row, int column);
std::wstring ClassName(HWND w);
std::string Utf8(const std::wstring& s);

// "<depth> Caption|Nome|TextoMenu|TeclaExtenso|V<Visivel><Default>|H<Habilitado><Default>|
// C<MenuConsulta>|Descricao", one line an entry.
std::vector<std::string> DumpTree(::MenuTree* tree);
ComPtr<::MenuTree> AddEntry(::MenuTree* level, const std::wstring& caption,
                            const std::wstring& nome, const std::wstring& tecla = L"",
                            bool visivel = true, bool habilitado = true);
// Arquivo (Novo Ctrl+N, Sair), Ajuda.
ComPtr<::MenuTree> TwoMenus();

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
