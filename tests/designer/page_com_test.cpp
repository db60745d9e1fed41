// tqMenuProperty as a COM object: identity, page information, the frame's call sequence and its
// rules, loading and applying through the control's MenuTree property, the dirty flag, and its
// registry entries.
#include <gtest/gtest.h>

#include "page_win_util.h"
#include "tq/designer/win/page_window.h"

namespace tq::test {
namespace {

using ComPageTest = PageTest;

TEST_F(ComPageTest, KeepsTheComRulesOfAPropertyPage) {
    ComPtr<IPropertyPage> pp;
    ComPtr<IUnknown> a, b;
    ASSERT_HRESULT_SUCCEEDED(page.As(IID_IPropertyPage, &pp));
    ASSERT_HRESULT_SUCCEEDED(page.As(IID_IUnknown, &a));
    ASSERT_HRESULT_SUCCEEDED(pp.As(IID_IUnknown, &b));
    EXPECT_EQ(a.get(), b.get()) << "one identity";
    ComPtr<IDispatch> none;
    EXPECT_EQ(page.As(IID_IDispatch, &none), E_NOINTERFACE);

    // "Principal", 7875 x 5850 twips at the display's DPI.
    PROPPAGEINFO info{};
    ASSERT_HRESULT_SUCCEEDED(page->GetPageInfo(&info));
    EXPECT_STREQ(info.pszTitle, L"Principal");
    HDC dc = GetDC(nullptr);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    EXPECT_EQ(info.size.cx, MulDiv(7875, dpi, 1440));
    EXPECT_EQ(info.size.cy, MulDiv(5850, dpi, 1440));
    CoTaskMemFree(info.pszTitle);
    CoTaskMemFree(info.pszDocString);
    CoTaskMemFree(info.pszHelpFile);
    EXPECT_EQ(page->GetPageInfo(nullptr), E_POINTER);

    // A second site without releasing the first is refused; null releases it.
    ASSERT_HRESULT_SUCCEEDED(page->SetPageSite(site.get()));
    EXPECT_EQ(page->SetPageSite(TestSite::Make().get()), E_UNEXPECTED);
    EXPECT_HRESULT_SUCCEEDED(page->SetPageSite(nullptr));

    // No objects: apply has nothing to write to and succeeds.
    EXPECT_HRESULT_SUCCEEDED(page->SetObjects(0, nullptr));
    EXPECT_HRESULT_SUCCEEDED(page->Apply());
    EXPECT_EQ(page->SetObjects(1, nullptr), E_POINTER);
    EXPECT_EQ(page->IsPageDirty(), S_FALSE);

    // Window calls before Activate, and a second Activate, are out of order.
    EXPECT_EQ(page->Show(SW_SHOW), E_UNEXPECTED);
    EXPECT_EQ(page->Deactivate(), E_UNEXPECTED);
    RECT r{0, 0, 100, 100};
    EXPECT_EQ(page->Move(&r), E_UNEXPECTED);
    Open(NewMenuTree());
    EXPECT_EQ(page->Activate(host->hwnd(), &r, TRUE), E_UNEXPECTED);
    EXPECT_HRESULT_SUCCEEDED(page->Move(&r));
    RECT got;
    GetWindowRect(host->page(), &got);
    EXPECT_EQ(got.right - got.left, 100);
    EXPECT_EQ(page->TranslateAccelerator(nullptr), E_POINTER);
    MSG m{host->page(), WM_KEYDOWN, 'A', 0, 0, {}};
    EXPECT_EQ(page->TranslateAccelerator(&m), S_FALSE) << "only Tab is the page's to take";
    EXPECT_EQ(page->Help(nullptr), E_NOTIMPL);
    EXPECT_HRESULT_SUCCEEDED(page->EditProperty(1));  // MenuTree: the tree takes the focus
    EXPECT_EQ(GetFocus(), W(Control::trvMenu));
    EXPECT_EQ(page->EditProperty(2), E_NOTIMPL);
}

// The first selected control's tree is loaded and shown; a change reaches the site; apply puts
// the tree back by reference and clears the dirty flag; the page, deactivated, still applies.
TEST_F(ComPageTest, LoadsTheFirstControlsTreeAndAppliesItBack) {
    ComPtr<FakeControl> second = FakeControl::Make(NewMenuTree());
    control = FakeControl::Make(TwoMenus());
    ASSERT_HRESULT_SUCCEEDED(page->SetPageSite(site.get()));
    IUnknown* objects[] = {static_cast<IDispatch*>(control.get()),
                           static_cast<IDispatch*>(second.get())};
    ASSERT_HRESULT_SUCCEEDED(page->SetObjects(2, objects));
    EXPECT_EQ(control->gets, 1);
    EXPECT_EQ(second->gets, 0);
    host = std::make_unique<PageHostWindow>(page.get());
    ASSERT_HRESULT_SUCCEEDED(host->Activate());

    HWND trv = W(Control::trvMenu);
    EXPECT_EQ(TreeShown(trv), L"Menu Principal\n  &Arquivo\n    &Novo\n    &Sair\n  A&juda\n");
    EXPECT_EQ(TreeView_GetSelection(trv), TreeView_GetRoot(trv));
    EXPECT_EQ(ListCell(W(Control::lstMenu), 1, 1), L"Aju");
    EXPECT_TRUE(Enabled(Control::btnScript));
    // Visible shows as bold.
    EXPECT_EQ(TreeView_GetItemState(trv, FindTreeItem(trv, L"&Novo"), TVIS_BOLD) & TVIS_BOLD,
              static_cast<UINT>(TVIS_BOLD));
    EXPECT_EQ(page->IsPageDirty(), S_FALSE) << "loading is no change";
    EXPECT_TRUE(site->status.empty());

    ClickNode(L"A&juda");
    Click(Control::btnSobe);
    EXPECT_EQ(page->IsPageDirty(), S_OK);
    EXPECT_EQ(site->status, std::vector<DWORD>{PROPPAGESTATUS_DIRTY});
    ComPtr<::MenuTree> before = control->tree;
    ASSERT_HRESULT_SUCCEEDED(page->Apply());
    EXPECT_EQ(control->putrefs, 1);
    EXPECT_EQ(second->putrefs, 0);
    EXPECT_EQ(control->tree.get(), before.get()) << "the control's own tree, rebuilt in place";
    EXPECT_EQ(page->IsPageDirty(), S_FALSE);
    EXPECT_EQ(DumpTree(control->tree.get()),
              (std::vector<std::string>{"0 A&juda|Aju|A&juda||V11|H11|C0|",
                                        "0 &Arquivo|Arq|&Arquivo||V11|H11|C0|",
                                        "1 &Novo|ArqNov|&Novo   Ctrl+N|Ctrl+N|V11|H11|C0|",
                                        "1 &Sair|ArqSai|&Sair||V11|H11|C0|"}));

    // Deactivated, the page lets the tree go but a later apply still writes the edits.
    Click(Control::btnDesce);
    before->AddRef();
    const ULONG held = before->Release();
    page->Show(SW_HIDE);
    ASSERT_HRESULT_SUCCEEDED(page->Deactivate());
    EXPECT_EQ(host->page(), nullptr);
    before->AddRef();
    EXPECT_LT(before->Release(), held);
    ASSERT_HRESULT_SUCCEEDED(page->Apply());
    EXPECT_EQ(DumpTree(control->tree.get())[0].substr(0, 10), "0 &Arquivo");
}

TEST_F(ComPageTest, RefusesObjectsWithoutAMenuTreeAndReportsTheError) {
    ASSERT_HRESULT_SUCCEEDED(page->SetPageSite(site.get()));
    IUnknown* not_a_control[] = {site.get()};
    EXPECT_EQ(page->SetObjects(1, not_a_control), E_NOINTERFACE);
    ComPtr<FakeControl> odd = FakeControl::Make(nullptr);
    IUnknown* odd_objects[] = {static_cast<IDispatch*>(odd.get())};
    EXPECT_HRESULT_FAILED(page->SetObjects(1, odd_objects));
    ComPtr<IErrorInfo> ei;
    ASSERT_EQ(GetErrorInfo(0, ei.put()), S_OK);
    BSTR text = nullptr;
    ei->GetDescription(&text);
    EXPECT_GT(SysStringLen(text), 0u);
    SysFreeString(text);
}

}  // namespace
}  // namespace tq::test
