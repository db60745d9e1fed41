// tqMenuProperty as a COM object: the frame's calls and their rules, loading and applying
// through the control's MenuTree property, the dirty flag.
#include <functional>

#include "page_win_util.h"
#include "tq/designer/errors.h"

namespace tq::test {
namespace {

using ComPageTest = PageTest;

TEST_F(ComPageTest, KeepsTheComRulesOfAPropertyPage) {
    ComPtr<IUnknown> pp;
    RECT r{0, 0, 100, 100};
    MSG key_a{nullptr, WM_KEYDOWN, 'A', 0, 0, {}};
    ComPtr<TestSite> empty = ControlWith(nullptr);
    IUnknown *not_a_control = site.get(), *no_tree = empty->Identity();
    const struct {
        const char* what;
        std::function<HRESULT()> call;
        HRESULT want;
    } calls[] = {
        {"IPropertyPage", [&] { return page.As(IID_IPropertyPage, &pp); }, S_OK},
        {"not IDispatch", [&] { return page.As(IID_IDispatch, &pp); }, E_NOINTERFACE},
        {"no info block", [&] { return page->GetPageInfo(nullptr); }, E_POINTER},
        {"a site", [&] { return page->SetPageSite(site.get()); }, S_OK},
        {"not a control",
         [&] {
             const HRESULT hr = page->SetObjects(1, &not_a_control);
             EXPECT_EQ(TakeErrorText(),
                       L"O objeto selecionado não aceita chamadas por nome (IDispatch)");
             return hr;
         },
         E_NOINTERFACE},
        {"no MenuTree", [&] { return page->SetObjects(1, &no_tree); }, designer::hr::kObjectNotSet},
        {"another site", [&] { return page->SetPageSite(PageSite::Make().get()); }, E_UNEXPECTED},
        {"no site", [&] { return page->SetPageSite(nullptr); }, S_OK},
        {"no objects", [&] { return page->SetObjects(0, nullptr); }, S_OK},
        {"apply to none", [&] { return page->Apply(); }, S_OK},
        {"a null array", [&] { return page->SetObjects(1, nullptr); }, E_POINTER},
        {"not dirty", [&] { return page->IsPageDirty(); }, S_FALSE},
        {"show first", [&] { return page->Show(SW_SHOW); }, E_UNEXPECTED},
        {"deactivate first", [&] { return page->Deactivate(); }, E_UNEXPECTED},
        {"move first", [&] { return page->Move(&r); }, E_UNEXPECTED},
        {"help", [&] { return page->Help(nullptr); }, E_NOTIMPL},
        {"no message", [&] { return page->TranslateAccelerator(nullptr); }, E_POINTER},
        {"open", [&] { return Open(TwoMenus().get()), S_OK; }, S_OK},
        {"activate again", [&] { return page->Activate(host->hwnd(), &r, TRUE); }, E_UNEXPECTED},
        {"move", [&] { return page->Move(&r); }, S_OK},
        {"a key not Tab", [&] { return page->TranslateAccelerator(&key_a); }, S_FALSE},
        {"another property", [&] { return page->EditProperty(1); }, E_NOTIMPL},
        {"MenuTree", [&] { return page->EditProperty(100); }, S_OK},  // the site's first name
    };
    for (const auto& c : calls) EXPECT_EQ(c.call(), c.want) << c.what;
    EXPECT_EQ(GetFocus(), W(Control::trvMenu)) << "MenuTree edited: the tree takes the focus";
    GetWindowRect(PageWindow(), &r);
    EXPECT_EQ(r.right - r.left, 100);
}

TEST_F(ComPageTest, LoadsTheFirstControlsTreeAndAppliesItBack) {
    ComPtr<TestSite> second = ControlWith(NewTree().get());
    ComPtr<MenuTree> tree = TwoMenus();
    control = ControlWith(tree.get());
    const ULONG unheld = (tree->AddRef(), tree->Release());
    OpenOn({control->Identity(), second->Identity()});
    HWND trv = W(Control::trvMenu);
    EXPECT_EQ(TreeShown(trv), L"Menu Principal\n  &Arquivo\n    &Novo\n    &Sair\n  A&juda\n");
    EXPECT_EQ(ListCell(W(Control::lstMenu), 1, 1), "Aju");
    EXPECT_TRUE(TreeView_GetItemState(trv, FindTreeItem(trv, L"&Novo"), TVIS_BOLD) & TVIS_BOLD)
        << "a visible entry shows bold";

    ClickNode(L"A&juda");
    Click(Control::btnSobe);
    EXPECT_EQ(page->IsPageDirty(), S_OK);
    EXPECT_EQ(site->status, std::vector<DWORD>{PROPPAGESTATUS_DIRTY});
    ASSERT_HRESULT_SUCCEEDED(page->Apply());
    EXPECT_EQ(control->puts, 1);
    EXPECT_EQ(second->puts, 0);
    control->puts = 0;
    EXPECT_EQ(TreeIn(control.get()).get(), tree.get()) << "the control's own tree, rebuilt";
    EXPECT_EQ(Names(tree.get()), L"Aju Arq(ArqNov ArqSai)");
    EXPECT_EQ(page->IsPageDirty(), S_FALSE);

    // Deactivated, the page lets the tree go, but a later apply still writes the edits.
    Click(Control::btnDesce);
    page->Show(SW_HIDE);
    ASSERT_HRESULT_SUCCEEDED(page->Deactivate());
    EXPECT_EQ((tree->AddRef(), tree->Release()), unheld);
    ASSERT_HRESULT_SUCCEEDED(page->Apply());
    EXPECT_EQ(Names(tree.get()), L"Arq(ArqNov ArqSai) Aju");
}

}  // namespace
}  // namespace tq::test
