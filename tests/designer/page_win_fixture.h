// A property page of our own making, shown in a window of our own with a site of our own, on a
// stand-in control whose MenuTree is a real tqBiblioteca MenuTree.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "page_win_util.h"
#include "tq/designer/win/menu_property.h"

namespace tq::test {

class PageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_HRESULT_SUCCEEDED(
            designer::CreateMenuPropertyPage(IID_IPropertyPage2, page.put_void()));
        site = TestSite::Make();
    }

    void TearDown() override {
        if (host) {
            if (host->page()) {
                page->Show(SW_HIDE);
                page->Deactivate();
            }
            host.reset();
        }
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

    HWND W(designer::Control c) const { return host->Find(c); }
    void Pump(int ms = 150) { host->Pump(ms); }
    void Click(designer::Control c) {
        ClickWindow(W(c));
        Pump();
    }
    void ClickNode(const std::wstring& text) {
        HWND trv = W(designer::Control::trvMenu);
        HTREEITEM item = FindTreeItem(trv, text);
        ASSERT_NE(item, nullptr) << Utf8(text);
        // As the developer opens the parents first (the page loads with the root closed).
        TreeView_EnsureVisible(trv, item);
        Pump(50);
        ClickAt(TreeItemPoint(trv, item));
        Pump();
    }
    // Add under the selected node: the add button, the caption typed, Tab to the name (which
    // the page derives), optionally Tab on to the description, then the confirm button.
    void Add(const std::wstring& caption, const std::wstring& descricao = L"") {
        Click(designer::Control::btnIncluir);
        ASSERT_EQ(GetFocus(), W(designer::Control::txtCaption));
        TypeText(caption);
        Pump(100);
        PressKey(VK_TAB);
        Pump(100);
        if (!descricao.empty()) {
            PressKey(VK_TAB);
            Pump(100);
            ASSERT_EQ(GetFocus(), W(designer::Control::txtDescricao));
            TypeText(descricao);
            Pump(100);
        }
        Click(designer::Control::btnConfirma);
    }
    // Text colour the page gives a label, asked as the label itself asks when it paints.
    COLORREF LabelColor(designer::Control c) {
        HWND label = W(c);
        HDC dc = CreateCompatibleDC(nullptr);
        SendMessageW(GetParent(label), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>(label));
        const COLORREF color = GetTextColor(dc);
        DeleteDC(dc);
        return color;
    }

    OleThread ole;
    ComPtr<IPropertyPage2> page;
    ComPtr<TestSite> site;
    ComPtr<FakeControl> control;
    std::unique_ptr<PageHostWindow> host;
};

}  // namespace tq::test
