// The page's form on the real windows, driven with the real keyboard and mouse: a few spot
// checks of the layout, what the user types and clicks reaching the model, the model's state
// reaching the windows, failures shown to the developer, the bounded message pass of confirm.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialog_driver.h"
#include "page_win_util.h"
#include "tq/designer/win/page_window.h"

namespace tq::test {
namespace {

using designer::win::TwipsToPixels;

class FormTest : public PageTest {
  protected:
    // Text colour the page gives a label, asked as the label asks when it paints.
    COLORREF LabelColor(Control c) {
        HDC dc = CreateCompatibleDC(nullptr);
        SendMessageW(GetParent(W(c)), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>(W(c)));
        const COLORREF color = GetTextColor(dc);
        DeleteDC(dc);
        return color;
    }
    LRESULT Send(Control c, UINT m, WPARAM w = 0) { return SendMessageW(W(c), m, w, 0); }
};

TEST_F(FormTest, SpotChecksOfPlacesCaptionsAndTabOrder) {
    Open(TwoMenus());
    const struct {
        Control control, container;
        const wchar_t* text;
        int x, y, w;
    } spots[] = {
        {Control::btnIncluir, Control::None, L"", 75, 90, 345},
        {Control::btnScript, Control::None, L"Gera Script", 6660, 90, 1110},
        {Control::lblDescricao, Control::fraObjetos, L"Descrição", 75, 675, 1545},
        {Control::fraAtalho, Control::fraObjetos, L"Atalho", 5400, 225, 1305},
        {Control::chkShift, Control::fraAtalho, L"Shift", 660, 255, 615},
    };
    for (const auto& s : spots) {
        SCOPED_TRACE(Utf8(s.text));
        HWND w = W(s.control);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(GetParent(w), s.container == Control::None ? host->page() : W(s.container));
        EXPECT_EQ(WindowText(w), s.text);
        RECT r;
        GetWindowRect(w, &r);
        MapWindowPoints(nullptr, GetParent(w), reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(r.left, TwipsToPixels(s.x));
        EXPECT_EQ(r.top, TwipsToPixels(s.y));
        EXPECT_EQ(r.right - r.left, TwipsToPixels(s.w));
    }
    EXPECT_EQ(Send(Control::cmbTeclaAcesso, CB_GETCOUNT), 38);
    EXPECT_EQ(Send(Control::txtNome, EM_GETLIMITTEXT), 50);
    HWND header = ListView_GetHeader(W(Control::lstMenu));
    ASSERT_EQ(Header_GetItemCount(header), 6);
    EXPECT_EQ(ListView_GetColumnWidth(W(Control::lstMenu), 5), TwipsToPixels(2000));

    // Editing: Tab goes through the fields in the form's order.
    ClickNode(L"&Arquivo");
    Key(VK_INSERT);
    ASSERT_EQ(GetFocus(), W(Control::txtCaption));
    for (Control c : {Control::txtNome, Control::txtDescricao, Control::chkConsulta,
                      Control::chkCtrl, Control::chkShift, Control::cmbTeclaAcesso,
                      Control::chkVisible, Control::chkEnabled, Control::btnConfirma}) {
        HWND before = GetFocus();
        PressKey(VK_TAB);
        for (int t = 0; t < 40 && GetFocus() == before; ++t) Pump(50);
        EXPECT_EQ(GetFocus(), W(c)) << static_cast<int>(c);
    }
}

// One pass through the page's controls: each input reaches the model and each state of the
// model reaches the windows.
TEST_F(FormTest, TypingClickingAndKeysReachTheModelAndItsStateTheWindows) {
    Open(TwoMenus());
    const COLORREF gray = GetSysColor(COLOR_GRAYTEXT), menu = GetSysColor(COLOR_MENUTEXT);
    EXPECT_FALSE(Enabled(Control::btnAlterar));
    EXPECT_FALSE(Enabled(Control::fraObjetos));
    EXPECT_FALSE(Enabled(Control::chkCtrl));
    EXPECT_EQ(LabelColor(Control::lblNome), gray);

    // An add: the caption typed, Tab derives the name, the rest of the fields by keyboard.
    ClickNode(L"&Arquivo");
    EXPECT_TRUE(Enabled(Control::btnAlterar));
    Click(Control::btnIncluir);
    ASSERT_EQ(GetFocus(), W(Control::txtCaption));
    EXPECT_FALSE(Enabled(Control::btnIncluir));
    EXPECT_TRUE(Enabled(Control::chkCtrl));
    EXPECT_EQ(LabelColor(Control::lblNome), menu);
    Type(L"&Abrir");
    Key(VK_TAB);
    EXPECT_EQ(WindowText(W(Control::txtNome)), L"ArqAbr");
    Key(VK_TAB);
    Type(L"Abre um arquivo");
    Key(VK_TAB);
    Key(VK_TAB);
    Key(VK_SPACE);  // Ctrl
    Key(VK_TAB);
    Key(VK_TAB);
    ASSERT_EQ(GetFocus(), W(Control::cmbTeclaAcesso));
    Type(L"A");
    EXPECT_EQ(Send(Control::cmbTeclaAcesso, CB_GETCURSEL), 12);
    Click(Control::btnConfirma);
    EXPECT_FALSE(Enabled(Control::fraObjetos));
    EXPECT_EQ(WindowText(W(Control::txtCaption)), L"");
    HWND lst = W(Control::lstMenu);
    ASSERT_EQ(ListView_GetItemCount(lst), 3);
    EXPECT_EQ(ListCell(lst, 2, 2), L"Ctrl+A");
    EXPECT_EQ(ListCell(lst, 2, 5), L"Abre um arquivo");

    // A change from the keyboard: the fields show the entry; Delete takes the key back.
    ClickNode(L"&Novo");
    Key(VK_RETURN, /*ctrl=*/true);
    ASSERT_TRUE(Enabled(Control::fraObjetos));
    EXPECT_EQ(WindowText(W(Control::txtNome)), L"ArqNov");
    EXPECT_EQ(Send(Control::chkCtrl, BM_GETCHECK), BST_CHECKED);
    EXPECT_EQ(Send(Control::cmbTeclaAcesso, CB_GETCURSEL), 25);  // N
    SetFocus(W(Control::cmbTeclaAcesso));
    Key(VK_DELETE);
    EXPECT_EQ(Send(Control::cmbTeclaAcesso, CB_GETCURSEL), CB_ERR);
    Click(Control::chkEnabled);
    Click(Control::btnConfirma);

    // Delete in the tree asks in a message box: No keeps the entry, Yes removes it.
    ClickNode(L"A&juda");
    {
        DialogDriver driver({Press(L"Alerta!", IDNO), Press(L"Alerta!", IDYES)});
        Key(VK_DELETE);
        EXPECT_NE(FindTreeItem(W(Control::trvMenu), L"A&juda"), nullptr);
        Click(Control::btnExcluir);
        driver.Finish();
        EXPECT_TRUE(driver.ok()) << driver.Report();
    }
    ASSERT_HRESULT_SUCCEEDED(page->Apply());
    EXPECT_EQ(DumpTree(control->tree.get()),
              (std::vector<std::string>{
                  "0 &Arquivo|Arq|&Arquivo||V11|H11|C0|", "1 &Novo|ArqNov|&Novo||V11|H00|C0|",
                  "1 &Sair|ArqSai|&Sair||V11|H11|C0|",
                  "1 &Abrir|ArqAbr|&Abrir   Ctrl+A|Ctrl+A|V11|H11|C0|Abre um arquivo"}));
}

TEST_F(FormTest, ScriptButtonCallsGerarScriptOnTheThreadsControlAndShowsFailures) {
    Open(TwoMenus());
    SetShownControl(nullptr);
    {
        DialogDriver driver({Press(L"tqMenuProperty", IDOK)});
        Click(Control::btnScript);
        driver.Finish();
        ASSERT_TRUE(driver.ok()) << driver.Report();
        EXPECT_EQ(driver.seen()[0].text, L"Nenhum controle tqMenu está ativo para gerar o script.");
    }
    ComPtr<FakeControl> shown = FakeControl::Make(NewMenuTree());
    SetShownControl(shown.get());
    Click(Control::btnScript);
    SetShownControl(nullptr);
    EXPECT_EQ(shown->scripts, 1);
    EXPECT_EQ(control->scripts, 0) << "not the selected control";
}

// A window that posts itself a new message for every one it handles: an endless stream.
LRESULT CALLBACK Flood(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m != WM_APP) return DefWindowProcW(h, m, w, l);
    PostMessageW(h, WM_APP, w + 1, 0);
    return 0;
}

TEST_F(FormTest, ConfirmsPassOverPendingMessagesEndsUnderAnEndlessStream) {
    Open(TwoMenus());
    ClickNode(L"A&juda");
    Click(Control::btnIncluir);
    Type(L"&Sobre");
    WNDCLASSW wc{};
    wc.lpfnWndProc = Flood;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"tqTestFlood";
    RegisterClassW(&wc);
    HWND flood = CreateWindowW(L"tqTestFlood", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    PostMessageW(flood, WM_APP, 0, 0);
    Click(Control::btnConfirma);  // handled inside the host's loop; its own pass must end
    DestroyWindow(flood);
    Pump();
    EXPECT_FALSE(Enabled(Control::fraObjetos)) << "confirm ran to its end";
    HWND trv = W(Control::trvMenu);
    EXPECT_EQ(TreeView_GetParent(trv, FindTreeItem(trv, L"&Sobre")), FindTreeItem(trv, L"A&juda"));
}

}  // namespace
}  // namespace tq::test
