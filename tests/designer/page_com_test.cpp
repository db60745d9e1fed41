// tqMenuProperty as a COM object: identity, page information, the frame's call sequence and its
// rules, loading and applying through the control's MenuTree property, the dirty flag.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "page_win_fixture.h"
#include "tq/designer/win/page_window.h"

namespace tq::test {
namespace {

using designer::Control;

// A tree of two menus, the first with a submenu of its own: three levels.
ComPtr<::MenuTree> SampleTree() {
    ComPtr<::MenuTree> tree = NewMenuTree();
    ComPtr<::MenuTree> arq = AddEntry(tree.get(), L"&Arquivo", L"Arq");
    AddEntry(arq.get(), L"&Novo", L"ArqNov", L"Ctrl+N");
    ComPtr<::MenuTree> exp = AddEntry(arq.get(), L"&Exportar", L"ArqExp");
    AddEntry(exp.get(), L"&Texto", L"ArqExpTex", L"", /*visivel=*/false);
    AddEntry(arq.get(), L"&Sair", L"ArqSai", L"", true, /*habilitado=*/false);
    ComPtr<::MenuTree> aju = AddEntry(tree.get(), L"A&juda", L"Aju");
    AddEntry(aju.get(), L"&Sobre", L"AjuSob", L"F1");
    return tree;
}

using ComPageTest = PageTest;

TEST_F(ComPageTest, AnswersItsInterfacesAndDescribesItself) {
    ComPtr<IPropertyPage> pp;
    ComPtr<IUnknown> a, b;
    EXPECT_HRESULT_SUCCEEDED(page.As(IID_IPropertyPage, &pp));
    EXPECT_HRESULT_SUCCEEDED(page.As(IID_IUnknown, &a));
    EXPECT_HRESULT_SUCCEEDED(pp.As(IID_IUnknown, &b));
    EXPECT_EQ(a.get(), b.get()) << "one identity";
    ComPtr<IDispatch> none;
    EXPECT_EQ(page.As(IID_IDispatch, &none), E_NOINTERFACE);

    PROPPAGEINFO info{};
    ASSERT_HRESULT_SUCCEEDED(page->GetPageInfo(&info));
    EXPECT_EQ(info.cb, sizeof(PROPPAGEINFO));
    ASSERT_NE(info.pszTitle, nullptr);
    EXPECT_STREQ(info.pszTitle, L"Principal");
    // 7875 x 5850 twips: 525 x 390 pixels at 96 DPI, scaled with the display's DPI.
    HDC dc = GetDC(nullptr);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    EXPECT_EQ(info.size.cx, MulDiv(7875, dpi, 1440));
    EXPECT_EQ(info.size.cy, MulDiv(5850, dpi, 1440));
    CoTaskMemFree(info.pszTitle);
    CoTaskMemFree(info.pszDocString);
    CoTaskMemFree(info.pszHelpFile);
    EXPECT_EQ(page->GetPageInfo(nullptr), E_POINTER);
}

TEST_F(ComPageTest, KeepsTheComRulesOfAPropertyPage) {
    // A second site without releasing the first is refused; null releases it.
    ASSERT_HRESULT_SUCCEEDED(page->SetPageSite(site.get()));
    ComPtr<TestSite> other = TestSite::Make();
    EXPECT_EQ(page->SetPageSite(other.get()), E_UNEXPECTED);
    EXPECT_HRESULT_SUCCEEDED(page->SetPageSite(nullptr));
    EXPECT_HRESULT_SUCCEEDED(page->SetPageSite(other.get()));
    EXPECT_HRESULT_SUCCEEDED(page->SetPageSite(nullptr));

    // No objects: apply has nothing to write to and succeeds; SetObjects(0, NULL) is valid.
    EXPECT_HRESULT_SUCCEEDED(page->Apply());
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
    MSG m{};
    EXPECT_EQ(page->TranslateAccelerator(nullptr), E_POINTER);
    m.hwnd = host->page();
    m.message = WM_KEYDOWN;
    m.wParam = 'A';
    EXPECT_EQ(page->TranslateAccelerator(&m), S_FALSE) << "only Tab is the page's to take";
    EXPECT_EQ(page->Help(nullptr), E_NOTIMPL);
    EXPECT_HRESULT_SUCCEEDED(page->EditProperty(1));  // MenuTree: the tree takes the focus
    EXPECT_EQ(GetFocus(), W(Control::trvMenu));
    EXPECT_EQ(page->EditProperty(2), E_NOTIMPL);
}

TEST_F(ComPageTest, LoadsTheFirstControlsTreeAndAppliesItBackUnchanged) {
    ComPtr<::MenuTree> tree = SampleTree();
    const std::vector<std::string> before = DumpTree(tree.get());
    // A second selected control is neither read nor written.
    ComPtr<FakeControl> second = FakeControl::Make(NewMenuTree());
    control = FakeControl::Make(tree);
    ASSERT_HRESULT_SUCCEEDED(page->SetPageSite(site.get()));
    IUnknown* objects[] = {static_cast<IDispatch*>(control.get()),
                           static_cast<IDispatch*>(second.get())};
    ASSERT_HRESULT_SUCCEEDED(page->SetObjects(2, objects));
    EXPECT_EQ(control->gets, 1);
    EXPECT_EQ(second->gets, 0);
    host = std::make_unique<PageHostWindow>(page.get());
    ASSERT_HRESULT_SUCCEEDED(host->Activate());

    // The tree view shows all three levels under the root, which is selected; the list shows
    // the top level; the script button is on because the tree has entries.
    HWND trv = W(Control::trvMenu);
    HTREEITEM root = TreeView_GetRoot(trv);
    EXPECT_EQ(TreeView_GetSelection(trv), root);
    EXPECT_NE(FindTreeItem(trv, L"&Texto"), nullptr);
    EXPECT_EQ(TreeView_GetCount(trv), 8u);
    HWND lst = W(Control::lstMenu);
    ASSERT_EQ(ListView_GetItemCount(lst), 2);
    EXPECT_EQ(ListCell(lst, 0, 0), L"&Arquivo");
    EXPECT_EQ(ListCell(lst, 1, 1), L"Aju");
    EXPECT_TRUE(IsWindowEnabled(W(Control::btnScript)));
    // Visible shows as bold; an entry that is not visible is not.
    const UINT texto = TreeView_GetItemState(trv, FindTreeItem(trv, L"&Texto"), TVIS_BOLD);
    const UINT novo = TreeView_GetItemState(trv, FindTreeItem(trv, L"&Novo"), TVIS_BOLD);
    EXPECT_EQ(texto & TVIS_BOLD, 0u);
    EXPECT_EQ(novo & TVIS_BOLD, static_cast<UINT>(TVIS_BOLD));
    EXPECT_EQ(page->IsPageDirty(), S_FALSE) << "loading is no change";
    EXPECT_TRUE(site->status.empty());

    ASSERT_HRESULT_SUCCEEDED(page->Apply());
    EXPECT_EQ(control->putrefs, 1);
    EXPECT_EQ(control->puts, 0);
    EXPECT_EQ(second->putrefs, 0);
    std::vector<std::string> after = DumpTree(control->tree.get());
    // Unchanged, except the shortcut layout of each submenu.
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(after[1], "1 &Novo|ArqNov|&Novo       Ctrl+N|Ctrl+N|V11|H11|C0|");
    EXPECT_EQ(after[3], "2 &Texto|ArqExpTex|&Texto||V00|H11|C0|");
    EXPECT_EQ(after[4], "1 &Sair|ArqSai|&Sair||V11|H00|C0|");
    EXPECT_EQ(after[6], "1 &Sobre|AjuSob|&Sobre   F1|F1|V11|H11|C0|");
}

TEST_F(ComPageTest, AnEmptyTreeShowsOnlyTheRootAndLeavesTheScriptButtonOff) {
    Open(NewMenuTree());
    HWND trv = W(Control::trvMenu);
    EXPECT_EQ(TreeView_GetCount(trv), 1u);
    EXPECT_EQ(FindTreeItem(trv, L"Menu Principal"), TreeView_GetRoot(trv));
    EXPECT_FALSE(IsWindowEnabled(W(Control::btnScript)));
    EXPECT_EQ(ListView_GetItemCount(W(Control::lstMenu)), 0);
    ASSERT_HRESULT_SUCCEEDED(page->Apply());
    EXPECT_TRUE(DumpTree(control->tree.get()).empty());
}

TEST_F(ComPageTest, ReportsEveryChangeToTheSiteAndClearsDirtyOnApply) {
    Open(SampleTree());
    ClickNode(L"A&juda");
    Click(Control::btnSobe);
    EXPECT_EQ(page->IsPageDirty(), S_OK);
    ASSERT_EQ(site->status.size(), 1u);
    EXPECT_EQ(site->status[0], static_cast<DWORD>(PROPPAGESTATUS_DIRTY));
    ASSERT_HRESULT_SUCCEEDED(page->Apply());
    EXPECT_EQ(page->IsPageDirty(), S_FALSE);
    EXPECT_EQ(DumpTree(control->tree.get())[0].substr(0, 8), "0 A&juda");
    Click(Control::btnDesce);
    EXPECT_EQ(page->IsPageDirty(), S_OK);
    EXPECT_EQ(site->status.size(), 2u);
}

TEST_F(ComPageTest, DeactivationReleasesTheTreeButALaterApplyStillWritesTheEdits) {
    ComPtr<::MenuTree> tree = SampleTree();
    Open(tree);
    ClickNode(L"A&juda");
    Click(Control::btnSobe);
    // The page holds the tree while active: one reference more than ours and the control's.
    tree->AddRef();
    const ULONG held = tree->Release();
    page->Show(SW_HIDE);
    ASSERT_HRESULT_SUCCEEDED(page->Deactivate());
    EXPECT_EQ(host->page(), nullptr) << "the window goes with deactivation";
    tree->AddRef();
    EXPECT_LT(tree->Release(), held) << "PropertyPage_Terminate released mMenuTree";
    EXPECT_EQ(page->IsPageDirty(), S_OK);
    ASSERT_HRESULT_SUCCEEDED(page->Apply());
    EXPECT_EQ(DumpTree(control->tree.get())[0].substr(0, 8), "0 A&juda");
    // Activated again, it shows the edited design.
    ASSERT_HRESULT_SUCCEEDED(host->Activate());
    HWND trv = W(Control::trvMenu);
    EXPECT_EQ(TreeView_GetCount(trv), 8u);
}

TEST_F(ComPageTest, RefusesObjectsWithoutAMenuTreeAndReportsTheError) {
    ASSERT_HRESULT_SUCCEEDED(page->SetPageSite(site.get()));
    // An object that cannot be called by name.
    ComPtr<TestSite> not_a_control = TestSite::Make();
    IUnknown* objects[] = {not_a_control.get()};
    EXPECT_EQ(page->SetObjects(1, objects), E_NOINTERFACE);
    // A control without a tree: the load stops after the root, with the error reported.
    ComPtr<FakeControl> odd = FakeControl::Make(nullptr);
    IUnknown* odd_objects[] = {static_cast<IDispatch*>(odd.get())};
    EXPECT_HRESULT_FAILED(page->SetObjects(1, odd_objects));
    IErrorInfo* ei = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &ei), S_OK);
    BSTR text = nullptr;
    ei->GetDescription(&text);
    EXPECT_NE(std::wstring(text ? text : L""), L"");
    SysFreeString(text);
    ei->Release();
    EXPECT_HRESULT_SUCCEEDED(page->SetObjects(0, nullptr));
}

}  // namespace
}  // namespace tq::test
