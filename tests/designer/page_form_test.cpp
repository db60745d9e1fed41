// The page's form on the real windows: every control where the form puts it, in its container,
// with its caption; tab order; the control states and label colours while browsing and while
// editing; the tree's and the key list's keys; failures shown to the developer; the bounded
// message pass of confirm.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialog_driver.h"
#include "page_win_fixture.h"
#include "tq/designer/win/page_window.h"

namespace tq::test {
namespace {

using designer::Control;
using designer::win::TwipsToPixels;

ComPtr<::MenuTree> TwoMenus() {
    ComPtr<::MenuTree> tree = NewMenuTree();
    ComPtr<::MenuTree> arq = AddEntry(tree.get(), L"&Arquivo", L"Arq");
    AddEntry(arq.get(), L"&Novo", L"ArqNov", L"Ctrl+F5");
    AddEntry(tree.get(), L"A&juda", L"Aju");
    return tree;
}

struct Placement {
    Control control;
    Control container;  // None: the page
    const wchar_t* cls;
    const wchar_t* text;
    int x, y, w, h;
};

const Placement kForm[] = {
    {Control::btnIncluir, Control::None, L"Button", L"", 75, 90, 345, 345},
    {Control::btnAlterar, Control::None, L"Button", L"", 450, 90, 345, 345},
    {Control::btnExcluir, Control::None, L"Button", L"", 825, 90, 345, 345},
    {Control::btnSobe, Control::None, L"Button", nullptr, 3075, 45, 255, 210},
    {Control::btnDesce, Control::None, L"Button", nullptr, 3075, 240, 255, 210},
    {Control::btnScript, Control::None, L"Button", L"Gera Script", 6660, 90, 1110, 345},
    {Control::trvMenu, Control::None, L"SysTreeView32", L"", 75, 465, 3270, 3960},
    {Control::lstMenu, Control::None, L"SysListView32", L"", 3390, 465, 4395, 3960},
    {Control::fraObjetos, Control::None, L"Button", L"", 90, 4410, 7680, 1290},
    {Control::lblCaption, Control::fraObjetos, L"Static", L"Caption", 75, 135, 1545, 240},
    {Control::txtCaption, Control::fraObjetos, L"Edit", L"", 75, 330, 2340, 315},
    {Control::lblNome, Control::fraObjetos, L"Static", L"Nome", 2490, 135, 1545, 240},
    {Control::txtNome, Control::fraObjetos, L"Edit", L"", 2490, 330, 1650, 315},
    {Control::lblDescricao, Control::fraObjetos, L"Static", L"Descrição", 75, 675, 1545, 240},
    {Control::txtDescricao, Control::fraObjetos, L"Edit", L"", 75, 870, 4065, 315},
    {Control::chkConsulta, Control::fraObjetos, L"Button", L"Consulta", 4275, 315, 945, 225},
    {Control::fraAtalho, Control::fraObjetos, L"Button", L"Atalho", 5400, 225, 1305, 960},
    {Control::chkCtrl, Control::fraAtalho, L"Button", L"Ctrl", 60, 255, 525, 225},
    {Control::chkShift, Control::fraAtalho, L"Button", L"Shift", 660, 255, 615, 225},
    {Control::cmbTeclaAcesso, Control::fraAtalho, L"ComboBox", nullptr, 45, 585, 1215, 315},
    {Control::chkVisible, Control::fraObjetos, L"Button", L"Visible", 6720, 300, 930, 225},
    {Control::chkEnabled, Control::fraObjetos, L"Button", L"Enabled", 6720, 570, 885, 225},
    {Control::btnConfirma, Control::fraObjetos, L"Button", L"", 7215, 855, 315, 315},
};

class FormTest : public PageTest {
  protected:
    RECT InParent(HWND w) {
        RECT r;
        GetWindowRect(w, &r);
        MapWindowPoints(nullptr, GetParent(w), reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    Control Focused() {
        HWND f = GetFocus();
        for (const Placement& p : kForm)
            if (W(p.control) == f) return p.control;
        return Control::None;
    }
    std::vector<Control> Tabs(int count, bool back) {
        std::vector<Control> seen;
        for (int i = 0; i < count; ++i) {
            // Each key is seen through before the next: wait for the focus to move (a loaded
            // machine may take a while), or give up after two seconds.
            HWND before = GetFocus();
            PressKey(VK_TAB, false, back);
            for (int t = 0; t < 40 && GetFocus() == before; ++t) Pump(50);
            seen.push_back(Focused());
        }
        return seen;
    }
    bool Enabled(Control c) { return IsWindowEnabled(W(c)) != FALSE; }
};

TEST_F(FormTest, EveryControlSitsInItsContainerAtItsPlaceWithItsCaption) {
    Open(TwoMenus());
    for (const Placement& p : kForm) {
        SCOPED_TRACE(static_cast<int>(p.control));
        HWND w = W(p.control);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(GetParent(w), p.container == Control::None ? host->page() : W(p.container));
        EXPECT_EQ(ClassName(w), p.cls);
        if (p.text) {
            EXPECT_EQ(WindowText(w), p.text);
        }
        const RECT r = InParent(w);
        EXPECT_EQ(r.left, TwipsToPixels(p.x));
        EXPECT_EQ(r.top, TwipsToPixels(p.y));
        EXPECT_EQ(r.right - r.left, TwipsToPixels(p.w));
        if (p.control != Control::cmbTeclaAcesso) {  // a combo box's height is its own
            EXPECT_EQ(r.bottom - r.top, TwipsToPixels(p.h));
        }
    }
    // Frames are group boxes holding their controls; the key list takes no typing.
    EXPECT_EQ(GetWindowLongW(W(Control::fraObjetos), GWL_STYLE) & BS_TYPEMASK, BS_GROUPBOX);
    EXPECT_EQ(GetWindowLongW(W(Control::fraAtalho), GWL_STYLE) & BS_TYPEMASK, BS_GROUPBOX);
    EXPECT_EQ(GetWindowLongW(W(Control::cmbTeclaAcesso), GWL_STYLE) & 3, CBS_DROPDOWNLIST);
    EXPECT_EQ(SendMessageW(W(Control::cmbTeclaAcesso), CB_GETCOUNT, 0, 0), 38);

    // Text boxes hold what the record holds: 50 for the name and the description.
    EXPECT_EQ(SendMessageW(W(Control::txtNome), EM_GETLIMITTEXT, 0, 0), 50);
    EXPECT_EQ(SendMessageW(W(Control::txtDescricao), EM_GETLIMITTEXT, 0, 0), 50);
    EXPECT_EQ(SendMessageW(W(Control::txtCaption), EM_GETLIMITTEXT, 0, 0), 100);

    // The list: a report with the six headers and widths.
    HWND lst = W(Control::lstMenu);
    EXPECT_EQ(GetWindowLongW(lst, GWL_STYLE) & LVS_TYPEMASK, LVS_REPORT);
    const std::pair<const wchar_t*, int> cols[] = {{L"Caption", 1300}, {L"Nome", 1200},
                                                   {L"Tecla", 1100},   {L"Visible", 700},
                                                   {L"Enabled", 700},  {L"Descricao", 2000}};
    HWND header = ListView_GetHeader(lst);
    ASSERT_EQ(Header_GetItemCount(header), 6);
    for (int i = 0; i < 6; ++i) {
        wchar_t buf[32] = {};
        HDITEMW hd{};
        hd.mask = HDI_TEXT;
        hd.pszText = buf;
        hd.cchTextMax = 32;
        SendMessageW(header, HDM_GETITEMW, i, reinterpret_cast<LPARAM>(&hd));
        EXPECT_STREQ(buf, cols[i].first);
        EXPECT_EQ(ListView_GetColumnWidth(lst, i), TwipsToPixels(cols[i].second));
    }

    // The picture buttons show 16x16 icons and no text.
    for (Control c :
         {Control::btnIncluir, Control::btnAlterar, Control::btnExcluir, Control::btnConfirma}) {
        HWND b = W(c);
        EXPECT_TRUE(GetWindowLongW(b, GWL_STYLE) & BS_ICON);
        auto icon = reinterpret_cast<HICON>(SendMessageW(b, BM_GETIMAGE, IMAGE_ICON, 0));
        ASSERT_NE(icon, nullptr);
        ICONINFO ii{};
        ASSERT_TRUE(GetIconInfo(icon, &ii));
        BITMAP bm{};
        GetObjectW(ii.hbmColor, sizeof bm, &bm);
        EXPECT_EQ(bm.bmWidth, 16);
        EXPECT_EQ(bm.bmHeight, 16);
        DeleteObject(ii.hbmColor);
        DeleteObject(ii.hbmMask);
    }
}

int CALLBACK Found(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM lp) {
    *reinterpret_cast<bool*>(lp) = true;
    return 0;
}

TEST_F(FormTest, UpAndDownShowTheirArrowsInWebdingsOrDrawThem) {
    Open(TwoMenus());
    HDC screen = GetDC(nullptr);
    LOGFONTW lf{};
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpyW(lf.lfFaceName, L"Webdings");
    bool webdings = false;
    EnumFontFamiliesExW(screen, &lf, Found, reinterpret_cast<LPARAM>(&webdings), 0);
    ReleaseDC(nullptr, screen);
    for (Control c : {Control::btnSobe, Control::btnDesce}) {
        HWND b = W(c);
        const LONG type = GetWindowLongW(b, GWL_STYLE) & BS_TYPEMASK;
        if (webdings) {
            EXPECT_NE(type, BS_OWNERDRAW);
            LOGFONTW used{};
            GetObjectW(reinterpret_cast<HFONT>(SendMessageW(b, WM_GETFONT, 0, 0)), sizeof used,
                       &used);
            EXPECT_STREQ(used.lfFaceName, L"Webdings");
            continue;
        }
        // Drawn by the page: a solid triangle in the button-text colour in the middle, the
        // button face around it.
        ASSERT_EQ(type, BS_OWNERDRAW);
        RedrawWindow(b, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        Pump(100);
        RECT r;
        GetClientRect(b, &r);
        HDC dc = GetDC(b);
        const COLORREF middle = GetPixel(dc, r.right / 2, r.bottom / 2);
        const COLORREF corner = GetPixel(dc, 3, 3);
        // Up points up: its top row in the middle is face, its lower middle is arrow.
        const int tip = c == Control::btnSobe ? r.bottom / 2 - r.bottom / 4 - 1
                                              : r.bottom / 2 + r.bottom / 4 + 1;
        const COLORREF beyond_tip = GetPixel(dc, r.right / 2, tip);
        ReleaseDC(b, dc);
        EXPECT_EQ(middle, GetSysColor(COLOR_BTNTEXT));
        EXPECT_EQ(corner, GetSysColor(COLOR_BTNFACE));
        EXPECT_EQ(beyond_tip, GetSysColor(COLOR_BTNFACE));
    }
}

TEST_F(FormTest, BrowsingAndEditingStatesAndLabelColours) {
    Open(TwoMenus());
    const COLORREF gray = GetSysColor(COLOR_GRAYTEXT), menu = GetSysColor(COLOR_MENUTEXT);
    // Browsing at the root.
    EXPECT_TRUE(Enabled(Control::btnIncluir));
    EXPECT_FALSE(Enabled(Control::btnAlterar));
    EXPECT_FALSE(Enabled(Control::btnExcluir));
    EXPECT_FALSE(Enabled(Control::fraObjetos));
    for (Control c :
         {Control::cmbTeclaAcesso, Control::btnConfirma, Control::chkConsulta, Control::chkVisible,
          Control::chkEnabled, Control::chkCtrl, Control::chkShift})
        EXPECT_FALSE(Enabled(c)) << static_cast<int>(c);
    for (Control c : {Control::lblCaption, Control::lblNome, Control::lblDescricao})
        EXPECT_EQ(LabelColor(c), gray);
    EXPECT_TRUE(Enabled(Control::btnSobe));
    EXPECT_TRUE(Enabled(Control::btnScript));

    // Browsing at an entry.
    ClickNode(L"A&juda");
    EXPECT_TRUE(Enabled(Control::btnIncluir));
    EXPECT_TRUE(Enabled(Control::btnAlterar));
    EXPECT_TRUE(Enabled(Control::btnExcluir));
    EXPECT_FALSE(Enabled(Control::fraObjetos));

    // Editing: commands off, fields on, labels in the menu-text colour, the rest as it was.
    Click(Control::btnAlterar);
    EXPECT_EQ(WindowText(W(Control::txtCaption)), L"A&juda");
    EXPECT_EQ(GetFocus(), W(Control::txtCaption));
    EXPECT_FALSE(Enabled(Control::btnIncluir));
    EXPECT_FALSE(Enabled(Control::btnAlterar));
    EXPECT_FALSE(Enabled(Control::btnExcluir));
    EXPECT_TRUE(Enabled(Control::fraObjetos));
    for (Control c :
         {Control::cmbTeclaAcesso, Control::btnConfirma, Control::chkConsulta, Control::chkVisible,
          Control::chkEnabled, Control::chkCtrl, Control::chkShift})
        EXPECT_TRUE(Enabled(c)) << static_cast<int>(c);
    for (Control c : {Control::lblCaption, Control::lblNome, Control::lblDescricao})
        EXPECT_EQ(LabelColor(c), menu);
    EXPECT_TRUE(Enabled(Control::btnSobe));
    EXPECT_TRUE(Enabled(Control::btnDesce));
    EXPECT_TRUE(Enabled(Control::btnScript));

    // A node click ends the edit; what was typed stays in the fields.
    PressKey(VK_END);
    TypeText(L"x");
    Pump(100);
    ClickNode(L"&Arquivo");
    EXPECT_FALSE(Enabled(Control::fraObjetos));
    EXPECT_TRUE(Enabled(Control::btnAlterar));
    EXPECT_EQ(WindowText(W(Control::txtCaption)), L"A&judax");
    EXPECT_EQ(LabelColor(Control::lblNome), gray);
    EXPECT_EQ(ListView_GetItemCount(W(Control::lstMenu)), 1) << "Arquivo's one child";
}

TEST_F(FormTest, TabAndShiftTabFollowTheFormsOrder) {
    Open(TwoMenus());
    // Browsing: the edit frame is closed, so the page's last stop is the list.
    SetFocus(W(Control::btnSobe));
    Pump(60);
    EXPECT_EQ(Tabs(4, false), (std::vector<Control>{Control::btnDesce, Control::btnScript,
                                                    Control::trvMenu, Control::lstMenu}));
    // Editing (Insert in the tree adds): every field in the form's order.
    ClickNode(L"&Arquivo");
    PressKey(VK_INSERT);
    Pump();
    ASSERT_EQ(Focused(), Control::txtCaption);
    SetFocus(W(Control::btnSobe));
    Pump(60);
    const std::vector<Control> forward = {
        Control::btnDesce,   Control::btnScript,  Control::trvMenu,        Control::lstMenu,
        Control::txtCaption, Control::txtNome,    Control::txtDescricao,   Control::chkConsulta,
        Control::chkCtrl,    Control::chkShift,   Control::cmbTeclaAcesso, Control::chkVisible,
        Control::chkEnabled, Control::btnConfirma};
    EXPECT_EQ(Tabs(static_cast<int>(forward.size()), false), forward);
    std::vector<Control> backward(forward.rbegin() + 1, forward.rend());
    backward.push_back(Control::btnSobe);
    EXPECT_EQ(Tabs(static_cast<int>(backward.size()), true), backward);
}

TEST_F(FormTest, KeepsWsExControlParentWhenAFrameClearsIt) {
    Open(TwoMenus());
    for (HWND w : {host->page(), W(Control::fraObjetos), W(Control::fraAtalho)}) {
        const LONG_PTR ex = GetWindowLongPtrW(w, GWL_EXSTYLE);
        ASSERT_TRUE(ex & WS_EX_CONTROLPARENT);
        SetWindowLongPtrW(w, GWL_EXSTYLE, ex & ~static_cast<LONG_PTR>(WS_EX_CONTROLPARENT));
        EXPECT_TRUE(GetWindowLongPtrW(w, GWL_EXSTYLE) & WS_EX_CONTROLPARENT);
    }
}

TEST_F(FormTest, TreeKeysRunTheCommandsAndDeleteClearsTheChosenKey) {
    Open(TwoMenus());
    ClickNode(L"&Novo");
    // Enter alone does nothing; Ctrl+Enter changes the entry.
    PressKey(VK_RETURN);
    Pump();
    EXPECT_FALSE(Enabled(Control::fraObjetos));
    PressKey(VK_RETURN, /*ctrl=*/true);
    Pump();
    ASSERT_TRUE(Enabled(Control::fraObjetos));
    EXPECT_EQ(WindowText(W(Control::txtNome)), L"ArqNov");
    EXPECT_EQ(SendMessageW(W(Control::chkCtrl), BM_GETCHECK, 0, 0), BST_CHECKED);
    HWND cmb = W(Control::cmbTeclaAcesso);
    EXPECT_EQ(SendMessageW(cmb, CB_GETCURSEL, 0, 0), 4);  // F5
    // Delete in the key list takes the key back; confirm then records no shortcut.
    SetFocus(cmb);
    Pump(60);
    PressKey(VK_DELETE);
    Pump();
    EXPECT_EQ(SendMessageW(cmb, CB_GETCURSEL, 0, 0), CB_ERR);
    Click(Control::btnConfirma);
    ASSERT_HRESULT_SUCCEEDED(page->Apply());
    EXPECT_EQ(DumpTree(control->tree.get())[1], "1 &Novo|ArqNov|&Novo||V11|H11|C0|");

    // Delete in the tree asks; No keeps the entry.
    ClickNode(L"A&juda");
    DialogDriver driver({Press(L"Alerta!", IDNO)});
    PressKey(VK_DELETE);
    Pump();
    driver.Finish();
    EXPECT_TRUE(driver.ok()) << driver.Report();
    EXPECT_NE(FindTreeItem(W(Control::trvMenu), L"A&juda"), nullptr);
}

TEST_F(FormTest, ScriptButtonCallsGerarScriptOnTheThreadsControlAndShowsFailures) {
    Open(TwoMenus());
    // No control in the module state: the failure reaches the developer as a message box.
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
    EXPECT_EQ(shown->scripts, 1);
    EXPECT_EQ(control->scripts, 0) << "not the selected control";
    SetShownControl(nullptr);
}

// A window that posts itself a new message for every one it handles: an endless stream.
LRESULT CALLBACK Flood(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_APP) {
        PostMessageW(h, WM_APP, w + 1, 0);
        return 0;
    }
    return DefWindowProcW(h, m, w, l);
}

TEST_F(FormTest, ConfirmsPassOverPendingMessagesEndsUnderAnEndlessStream) {
    Open(TwoMenus());
    ClickNode(L"A&juda");
    Click(Control::btnIncluir);
    TypeText(L"&Sobre");
    Pump(100);
    WNDCLASSW wc{};
    wc.lpfnWndProc = Flood;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"tqTestFlood";
    RegisterClassW(&wc);
    HWND flood = CreateWindowW(L"tqTestFlood", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    PostMessageW(flood, WM_APP, 0, 0);
    // The click is handled inside the host's message loop; confirm's own pass must come back
    // although the stream never ends.
    Click(Control::btnConfirma);
    DestroyWindow(flood);
    Pump();
    EXPECT_FALSE(Enabled(Control::fraObjetos)) << "confirm ran to its end";
    HWND trv = W(Control::trvMenu);
    HTREEITEM sobre = FindTreeItem(trv, L"&Sobre");
    ASSERT_NE(sobre, nullptr);
    EXPECT_EQ(TreeView_GetParent(trv, sobre), FindTreeItem(trv, L"A&juda"));
}

}  // namespace
}  // namespace tq::test
