// The page's form on the real windows, driven with the real keyboard and mouse: what the user
// does reaches the model, the model's state reaches the windows.
#include <thread>

#include "dialog_driver.h"
#include "page_win_util.h"

namespace tq::test {
namespace {

class FormTest : public PageTest {
  protected:
    void SetUp() override {
        PageTest::SetUp();
        Open(TwoMenus().get());
    }
    LRESULT Send(Control c, UINT m) { return SendMessageW(W(c), m, 0, 0); }
    std::wstring Shown() { return TreeShown(W(Control::trvMenu)); }
    POINT Row(const std::wstring& text, int where = 0) {
        return TreeItemPoint(W(Control::trvMenu), FindTreeItem(W(Control::trvMenu), text), where);
    }
};

TEST_F(FormTest, TypingClickingAndKeysReachTheModelAndItsStateTheWindows) {
    HDC dc = CreateCompatibleDC(nullptr);  // a label's colour, asked as the label asks to paint
    SendMessageW(GetParent(W(Control::lblNome)), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(W(Control::lblNome)));
    EXPECT_EQ(GetTextColor(dc), GetSysColor(COLOR_GRAYTEXT)) << "the fields are closed";
    DeleteDC(dc);
    EXPECT_FALSE(Enabled(Control::btnAlterar));
    ClickNode(L"&Arquivo");
    EXPECT_TRUE(Enabled(Control::btnAlterar));
    // An add: the caption typed, Tab derives the name, the other fields by keyboard.
    Click(Control::btnIncluir);
    EXPECT_EQ(GetFocus(), W(Control::txtCaption));
    Type(L"&Abrir");
    Key({VK_TAB});
    EXPECT_EQ(WindowText(W(Control::txtNome)), L"ArqAbr");
    Key({VK_TAB});
    Type(L"Abre um arquivo");
    for (WORD vk : {VK_TAB, VK_TAB, VK_SPACE, VK_TAB, VK_TAB}) Key({vk});  // Ctrl ticked
    ASSERT_EQ(GetFocus(), W(Control::cmbTeclaAcesso));
    Type(L"A");
    Click(Control::btnConfirma);
    EXPECT_EQ(ListCell(W(Control::lstMenu), 2, 2), "Ctrl+A");
    // A change from the keyboard: the fields show the entry; Delete in the key list clears it.
    ClickNode(L"&Novo");
    Key({VK_CONTROL, VK_RETURN});
    EXPECT_EQ(WindowText(W(Control::txtNome)), L"ArqNov");
    EXPECT_EQ(Send(Control::chkCtrl, BM_GETCHECK), BST_CHECKED);
    EXPECT_EQ(Send(Control::cmbTeclaAcesso, CB_GETCURSEL), 25);  // N
    SetFocus(W(Control::cmbTeclaAcesso));
    Key({VK_DELETE});
    EXPECT_EQ(Send(Control::cmbTeclaAcesso, CB_GETCURSEL), CB_ERR);
    Click(Control::chkEnabled);
    Click(Control::btnConfirma);
    // Delete asks in a message box: No keeps the entry, Yes removes it.
    ClickNode(L"A&juda");
    DialogDriver driver({Press(L"Alerta!", IDNO), Press(L"Alerta!", IDYES)});
    Key({VK_DELETE});
    EXPECT_NE(FindTreeItem(W(Control::trvMenu), L"A&juda"), nullptr);
    Click(Control::btnExcluir);
    driver.Finish();
    EXPECT_TRUE(driver.ok()) << driver.Report();
    ASSERT_HRESULT_SUCCEEDED(page->Apply());
    ComPtr<MenuTree> arq = SubOf(ItemAt(TreeIn(control.get()).get(), 1).get());
    EXPECT_EQ(Names(TreeIn(control.get()).get()), L"Arq(ArqNov ArqSai ArqAbr)");
    Bstr descricao;
    VARIANT_BOOL novo_enabled = VARIANT_TRUE;
    ItemAt(arq.get(), 3)->get_Descricao(descricao.put());
    ItemAt(arq.get(), 1)->get_Habilitado(&novo_enabled);
    EXPECT_EQ(descricao.view(), L"Abre um arquivo");
    EXPECT_EQ(novo_enabled, VARIANT_FALSE);
}

// A window that posts itself a new message for every one it handles: an endless stream.
LRESULT CALLBACK Flood(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_APP) PostMessageW(h, WM_APP, 0, 0);
    return DefWindowProcW(h, m, w, l);
}

TEST_F(FormTest, ConfirmsPassOverPendingMessagesEndsUnderAnEndlessStream) {
    ClickNode(L"A&juda");
    Click(Control::btnIncluir);
    Type(L"&Sobre");
    HWND flood = CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, 0, 0, 0);
    SetWindowLongPtrW(flood, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Flood));
    PostMessageW(flood, WM_APP, 0, 0);
    SendMessageW(W(Control::btnConfirma), BM_CLICK, 0, 0);  // the stream already waiting
    DestroyWindow(flood);
    Pump();
    HWND trv = W(Control::trvMenu);
    EXPECT_EQ(TreeView_GetParent(trv, FindTreeItem(trv, L"&Sobre")), FindTreeItem(trv, L"A&juda"));
}

TEST_F(FormTest, CtrlArrowsMoveBetweenLevelsAndCtrlZYUndoAndRedo) {
    const std::wstring start = Shown(),
                       moved = L"Menu Principal\n  &Arquivo\n    &Novo\n      &Sair\n  A&juda\n";
    ClickNode(L"&Sair");
    const std::pair<WORD, const std::wstring*> steps[] = {
        {VK_RIGHT, &moved}, {VK_LEFT, &start}, {'Z', &moved}, {'Z', &start},
        {'Y', &moved},      {'Z', &start},     {0, &moved}};  // 0: Ctrl+Shift+Z
    for (const auto& [key, shown] : steps) {
        key ? Key({VK_CONTROL, key}) : Key({VK_CONTROL, VK_SHIFT, 'Z'});
        EXPECT_EQ(Shown(), *shown) << "Ctrl with " << key;
    }
}

// Reads the thread's popup menu ("~" marks a grayed entry), then types `key` into it.
void ReadMenuAndChoose(wchar_t key, std::wstring* items) {
    HWND popup = nullptr;
    for (int t = 0; t < 200 && !(popup && IsWindowVisible(popup)); ++t, Sleep(25))
        popup = FindWindowW(L"#32768", nullptr);
    auto menu = reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0));
    for (UINT i = 0; menu && i < static_cast<UINT>(GetMenuItemCount(menu)); ++i) {
        wchar_t buf[64] = {};
        GetMenuStringW(menu, i, buf, 64, MF_BYPOSITION);
        const UINT state = GetMenuState(menu, i, MF_BYPOSITION);
        if (!(state & MF_SEPARATOR))
            *items += (state & MF_GRAYED ? L"~" : L"") + std::wstring(buf) + L"|";
    }
    if (menu) TypeText(std::wstring(1, key));
}

TEST_F(FormTest, ContextMenuOffersTheCommandsTheModelAllows) {
    ClickNode(L"&Novo");
    std::wstring items;
    std::thread reader(ReadMenuAndChoose, L'r', &items);  // Recuar
    Tap({VK_SHIFT, VK_F10}, true);
    Pump(300);
    reader.join();
    EXPECT_EQ(items,
              L"&Incluir\tIns|&Alterar\tCtrl+Enter|&Excluir\tDel|~&Subir|&Descer|"
              L"&Recuar\tCtrl+\u2190|~A&vançar\tCtrl+\u2192|~Des&fazer\tCtrl+Z|~Refa&zer\tCtrl+Y|");
    Pump();
    EXPECT_EQ(Shown(), L"Menu Principal\n  &Arquivo\n    &Sair\n  &Novo\n  A&juda\n");
}

TEST_F(FormTest, DragAndDropOntoAnEntryOrJustAfterIt) {
    ClickNode(L"&Sair");  // opens Arquivo
    LeftButton(Row(L"A&juda"), Row(L"&Novo"));
    Pump(300);
    EXPECT_EQ(Shown(), L"Menu Principal\n  &Arquivo\n    &Novo\n      A&juda\n    &Sair\n");
    LeftButton(Row(L"&Sair"), Row(L"&Arquivo", 1));
    Pump(300);
    EXPECT_EQ(Shown(), L"Menu Principal\n  &Arquivo\n    &Novo\n      A&juda\n  &Sair\n");
}

}  // namespace
}  // namespace tq::test
