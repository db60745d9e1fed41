// A developer designs a menu in the page, through its real windows: typing, clicking, the
// keyboard, a message box; then the page is applied and the control's MenuTree is read back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialog_driver.h"
#include "page_win_fixture.h"

namespace tq::test {
namespace {

using designer::Control;

std::vector<std::wstring> Children(HWND trv, HTREEITEM parent) {
    std::vector<std::wstring> out;
    for (HTREEITEM c = TreeView_GetChild(trv, parent); c; c = TreeView_GetNextSibling(trv, c)) {
        wchar_t buf[256] = {};
        TVITEMW it{};
        it.mask = TVIF_TEXT;
        it.hItem = c;
        it.pszText = buf;
        it.cchTextMax = 256;
        SendMessageW(trv, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it));
        out.push_back(buf);
    }
    return out;
}

using SessionTest = PageTest;

TEST_F(SessionTest, DesignsAMenuFromAnEmptyControlAndAppliesIt) {
    Open(NewMenuTree());
    HWND trv = W(Control::trvMenu);
    HTREEITEM root = TreeView_GetRoot(trv);
    ASSERT_NE(root, nullptr);

    // 1. Arquivo with Novo and Sair (and an extra entry to delete later), Ajuda with Sobre.
    Add(L"&Arquivo");
    EXPECT_EQ(Children(trv, root), (std::vector<std::wstring>{L"&Arquivo"}));
    EXPECT_EQ(WindowText(W(Control::txtNome)), L"") << "confirm empties the fields";
    ClickNode(L"&Arquivo");
    Add(L"&Novo", L"Novo documento");
    // Confirm pressed while the caption still had the focus: the name is derived inside it.
    Click(Control::btnIncluir);
    TypeText(L"&Sair");
    Pump(100);
    Click(Control::btnConfirma);
    Add(L"&Temporário");
    ClickNode(L"Menu Principal");
    Add(L"A&juda");
    ClickNode(L"A&juda");
    Add(L"&Sobre");
    HTREEITEM arquivo = FindTreeItem(trv, L"&Arquivo");
    EXPECT_EQ(Children(trv, arquivo),
              (std::vector<std::wstring>{L"&Novo", L"&Sair", L"&Temporário"}));

    // The list shows the children of the node clicked last, names derived along the path.
    ClickNode(L"&Arquivo");
    HWND lst = W(Control::lstMenu);
    ASSERT_EQ(ListView_GetItemCount(lst), 3);
    EXPECT_EQ(ListCell(lst, 1, 1), L"ArqSai");
    EXPECT_EQ(ListCell(lst, 0, 5), L"Novo documento");

    // 2. Novo gets Ctrl+N: change, tick Ctrl, move on to the key list and type N.
    ClickNode(L"&Novo");
    Click(Control::btnAlterar);
    EXPECT_EQ(WindowText(W(Control::txtNome)), L"ArqNov");
    Click(Control::chkCtrl);
    EXPECT_EQ(SendMessageW(W(Control::chkCtrl), BM_GETCHECK, 0, 0), BST_CHECKED);
    PressKey(VK_TAB);  // Shift
    Pump(100);
    PressKey(VK_TAB);  // the key list
    Pump(100);
    ASSERT_EQ(GetFocus(), W(Control::cmbTeclaAcesso));
    TypeText(L"N");
    Pump(100);
    EXPECT_EQ(SendMessageW(W(Control::cmbTeclaAcesso), CB_GETCURSEL, 0, 0), 25);  // "N"
    Click(Control::btnConfirma);

    // ... and Sair is made disabled.
    ClickNode(L"&Sair");
    Click(Control::btnAlterar);
    EXPECT_EQ(SendMessageW(W(Control::chkEnabled), BM_GETCHECK, 0, 0), BST_CHECKED);
    Click(Control::chkEnabled);
    Click(Control::btnConfirma);

    // 3. Ajuda up above Arquivo, then back down.
    ClickNode(L"A&juda");
    Click(Control::btnSobe);
    EXPECT_EQ(Children(trv, root), (std::vector<std::wstring>{L"A&juda", L"&Arquivo"}));
    EXPECT_EQ(Children(trv, FindTreeItem(trv, L"A&juda")), (std::vector<std::wstring>{L"&Sobre"}));
    Click(Control::btnDesce);
    EXPECT_EQ(Children(trv, root), (std::vector<std::wstring>{L"&Arquivo", L"A&juda"}));

    // 4. Delete, answered No and then Yes.
    ClickNode(L"&Temporário");
    {
        DialogDriver driver({Press(L"Alerta!", IDNO), Press(L"Alerta!", IDYES)});
        Click(Control::btnExcluir);
        EXPECT_NE(FindTreeItem(trv, L"&Temporário"), nullptr) << "No keeps the entry";
        Click(Control::btnExcluir);
        driver.Finish();
        ASSERT_TRUE(driver.ok()) << driver.Report();
        ASSERT_EQ(driver.seen().size(), 2u);
        EXPECT_EQ(driver.seen()[0].text, L"Exclui o Menu '&Temporário' ?");
    }
    EXPECT_EQ(FindTreeItem(trv, L"&Temporário"), nullptr);

    // 5. Apply: the page was dirty and told its site so; the tree goes back by reference.
    EXPECT_EQ(page->IsPageDirty(), S_OK);
    ASSERT_FALSE(site->status.empty());
    EXPECT_EQ(site->status.back(), static_cast<DWORD>(PROPPAGESTATUS_DIRTY));
    ComPtr<::MenuTree> before = control->tree;
    ASSERT_HRESULT_SUCCEEDED(page->Apply());
    EXPECT_EQ(control->putrefs, 1);
    EXPECT_EQ(control->puts, 0);
    EXPECT_EQ(control->tree.get(), before.get()) << "the control's own tree, rebuilt in place";
    EXPECT_EQ(page->IsPageDirty(), S_FALSE);

    EXPECT_EQ(DumpTree(control->tree.get()),
              (std::vector<std::string>{
                  "0 &Arquivo|Arq|&Arquivo||V11|H11|C0|",
                  "1 &Novo|ArqNov|&Novo   Ctrl+N|Ctrl+N|V11|H11|C0|Novo documento",
                  "1 &Sair|ArqSai|&Sair||V11|H00|C0|",
                  "0 A&juda|Aju|A&juda||V11|H11|C0|",
                  "1 &Sobre|AjuSob|&Sobre||V11|H11|C0|",
              }));
}

}  // namespace
}  // namespace tq::test
