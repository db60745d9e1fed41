// The tree's own commands on the real page, with real input: moving an entry to another level,
// undo and redo from the keyboard, the context menu, and drag and drop with the mouse.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "page_win_fixture.h"
#include "wine_drive.h"

namespace tq::test {
namespace {

using designer::Control;

std::wstring ItemText(HWND trv, HTREEITEM item) {
    wchar_t buf[256] = {};
    TVITEMW it{};
    it.mask = TVIF_TEXT;
    it.hItem = item;
    it.pszText = buf;
    it.cchTextMax = 256;
    SendMessageW(trv, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it));
    return buf;
}

// The tree as the control shows it: one line per item, two spaces of indent per level.
std::wstring Shown(HWND trv) {
    std::wstring out;
    struct At {
        HTREEITEM item;
        int depth;
    };
    std::vector<At> pending{{TreeView_GetRoot(trv), 0}};
    while (!pending.empty()) {
        const At a = pending.back();
        pending.pop_back();
        if (!a.item) continue;
        out += std::wstring(2 * static_cast<size_t>(a.depth), L' ') + ItemText(trv, a.item) + L"\n";
        std::vector<At> kids;
        for (HTREEITEM c = TreeView_GetChild(trv, a.item); c; c = TreeView_GetNextSibling(trv, c))
            kids.push_back({c, a.depth + 1});
        pending.insert(pending.end(), kids.rbegin(), kids.rend());
    }
    return out;
}

ComPtr<::MenuTree> Menus() {
    ComPtr<::MenuTree> tree = NewMenuTree();
    ComPtr<::MenuTree> arq = AddEntry(tree.get(), L"&Arquivo", L"Arq");
    AddEntry(arq.get(), L"&Novo", L"ArqNov");
    AddEntry(arq.get(), L"&Sair", L"ArqSai");
    AddEntry(tree.get(), L"A&juda", L"Aju");
    return tree;
}

const wchar_t kStart[] = L"Menu Principal\n  &Arquivo\n    &Novo\n    &Sair\n  A&juda\n";

// Watches for the popup menu of the UI thread, notes its entries (text and grayed state), then
// types `key` into it (0: Esc).
class MenuReader {
  public:
    explicit MenuReader(wchar_t key) : thread_([this, key] { Run(key); }) {}
    ~MenuReader() { Finish(); }
    void Finish() {
        if (thread_.joinable()) thread_.join();
    }
    struct Item {
        std::wstring text;
        bool grayed;
    };
    std::vector<Item> items;

  private:
    void Run(wchar_t key) {
        HWND popup = nullptr;
        for (int t = 0; t < 200 && !popup; ++t) {
            popup = FindWindowW(L"#32768", nullptr);
            if (!popup || !IsWindowVisible(popup)) popup = nullptr, Sleep(25);
        }
        if (!popup) return;
        auto menu = reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0));
        for (int i = 0; menu && i < GetMenuItemCount(menu); ++i) {
            wchar_t buf[64] = {};
            GetMenuStringW(menu, static_cast<UINT>(i), buf, 64, MF_BYPOSITION);
            const UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
            if (state & MF_SEPARATOR) continue;
            items.push_back({buf, (state & MF_GRAYED) != 0});
        }
        if (key)
            TypeText(std::wstring(1, key));
        else
            PressKey(VK_ESCAPE);
    }
    std::thread thread_;
};

class FeaturesTest : public PageTest {
  protected:
    HWND Tree() { return W(Control::trvMenu); }
    std::wstring Selected() { return ItemText(Tree(), TreeView_GetSelection(Tree())); }
    void Key(WORD vk, bool ctrl, bool shift = false) {
        PressKey(vk, ctrl, shift);
        Pump();
    }
    POINT Row(const std::wstring& text, int where = 0) {  // -1 top, 0 middle, 1 bottom
        HTREEITEM item = FindTreeItem(Tree(), text);
        RECT r{};
        TreeView_GetItemRect(Tree(), item, &r, TRUE);
        const int h = r.bottom - r.top;
        POINT p{(r.left + r.right) / 2, where < 0   ? r.top + 1
                                        : where > 0 ? r.bottom - 2
                                                    : r.top + h / 2};
        ClientToScreen(Tree(), &p);
        return p;
    }
};

TEST_F(FeaturesTest, CtrlArrowsMoveBetweenLevelsAndCtrlZYUndoAndRedo) {
    Open(Menus());
    ClickNode(L"&Novo");
    ClickNode(L"A&juda");
    Key(VK_RIGHT, true);  // the last child of Arquivo
    EXPECT_EQ(Shown(Tree()), L"Menu Principal\n  &Arquivo\n    &Novo\n    &Sair\n    A&juda\n");
    EXPECT_EQ(Selected(), L"A&juda");
    EXPECT_EQ(page->IsPageDirty(), S_OK);
    Key(VK_RIGHT, true);  // and on, under Sair
    EXPECT_EQ(Shown(Tree()), L"Menu Principal\n  &Arquivo\n    &Novo\n    &Sair\n      A&juda\n");
    Key(VK_LEFT, true);
    Key(VK_LEFT, true);  // back to the top, after Arquivo
    EXPECT_EQ(Shown(Tree()), kStart);
    EXPECT_EQ(Selected(), L"A&juda");
    Key(VK_LEFT, true);  // a top-level entry goes no further
    EXPECT_EQ(Shown(Tree()), kStart);

    Key('Z', true);
    Key('Z', true);
    EXPECT_EQ(Shown(Tree()), L"Menu Principal\n  &Arquivo\n    &Novo\n    &Sair\n      A&juda\n");
    Key('Z', true);
    Key('Z', true);
    EXPECT_EQ(Shown(Tree()), kStart);
    EXPECT_EQ(page->IsPageDirty(), S_FALSE) << "back to the tree loaded";
    Key('Y', true);
    Key('Z', true, true);  // Ctrl+Shift+Z redoes too
    EXPECT_EQ(Shown(Tree()), L"Menu Principal\n  &Arquivo\n    &Novo\n    &Sair\n      A&juda\n");
    EXPECT_EQ(Selected(), L"A&juda");
    EXPECT_EQ(page->IsPageDirty(), S_OK);

    // What the page applies is the tree shown.
    ASSERT_HRESULT_SUCCEEDED(page->Apply());
    EXPECT_EQ(DumpTree(control->tree.get()),
              (std::vector<std::string>{
                  "0 &Arquivo|Arq|&Arquivo||V11|H11|C0|", "1 &Novo|ArqNov|&Novo||V11|H11|C0|",
                  "1 &Sair|ArqSai|&Sair||V11|H11|C0|", "2 A&juda|Aju|A&juda||V11|H11|C0|"}));
}

TEST_F(FeaturesTest, ContextMenuOffersTheCommandsTheModelAllows) {
    Open(Menus());
    ClickNode(L"&Sair");  // opens Arquivo
    {
        MenuReader reader(L'r');  // Recuar
        RightClickAt(Row(L"&Novo"));
        Pump(300);
        reader.Finish();
        // Novo, the first child: no up, no level down; nothing to undo yet.
        const std::vector<std::pair<std::wstring, bool>> expected = {
            {L"&Incluir\tIns", false},
            {L"&Alterar\tCtrl+Enter", false},
            {L"&Excluir\tDel", false},
            {L"&Subir", true},
            {L"&Descer", false},
            {L"&Recuar\tCtrl+\u2190", false},
            {L"A&vançar\tCtrl+\u2192", true},
            {L"Des&fazer\tCtrl+Z", true},
            {L"Refa&zer\tCtrl+Y", true}};
        ASSERT_EQ(reader.items.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(reader.items[i].text, expected[i].first);
            EXPECT_EQ(reader.items[i].grayed, expected[i].second) << Utf8(expected[i].first);
        }
    }
    EXPECT_EQ(Shown(Tree()), L"Menu Principal\n  &Arquivo\n    &Sair\n  &Novo\n  A&juda\n");
    EXPECT_EQ(Selected(), L"&Novo");

    {
        MenuReader reader(L'f');  // Desfazer, from Shift+F10
        PressKey(VK_F10, false, true);
        Pump(300);
        reader.Finish();
        ASSERT_EQ(reader.items.size(), 9u);
        EXPECT_FALSE(reader.items[7].grayed);
        EXPECT_TRUE(reader.items[8].grayed);
    }
    EXPECT_EQ(Shown(Tree()), kStart);
    EXPECT_EQ(Selected(), L"&Novo");

    {
        MenuReader reader(0);  // the menu key; Esc closes the menu and nothing happens
        PressKey(VK_APPS);
        Pump(300);
        reader.Finish();
        ASSERT_EQ(reader.items.size(), 9u);
        EXPECT_FALSE(reader.items[8].grayed) << "Refazer, after the undo";
    }
    EXPECT_EQ(Shown(Tree()), kStart);
    ClickNode(L"Menu Principal");
    {
        MenuReader reader(0);  // on the root: only Incluir and the history
        PressKey(VK_F10, false, true);
        Pump(300);
        reader.Finish();
        ASSERT_EQ(reader.items.size(), 9u);
        for (size_t i = 1; i < 7; ++i) EXPECT_TRUE(reader.items[i].grayed) << i;
        EXPECT_FALSE(reader.items[0].grayed);
    }
}

TEST_F(FeaturesTest, DragAndDropWithTheMouse) {
    Open(Menus());
    ClickNode(L"&Sair");
    // Onto an entry: its last child.
    DragMouse(Row(L"A&juda"), Row(L"&Novo"));
    Pump(300);
    EXPECT_EQ(Shown(Tree()), L"Menu Principal\n  &Arquivo\n    &Novo\n      A&juda\n    &Sair\n");
    EXPECT_EQ(Selected(), L"A&juda");
    // The bottom third of a row: just after it.
    DragMouse(Row(L"&Sair"), Row(L"&Arquivo", 1));
    Pump(300);
    EXPECT_EQ(Shown(Tree()), L"Menu Principal\n  &Arquivo\n    &Novo\n      A&juda\n  &Sair\n");
    // Into its own subtree: refused.
    DragMouse(Row(L"&Arquivo"), Row(L"A&juda"));
    Pump(300);
    EXPECT_EQ(Shown(Tree()), L"Menu Principal\n  &Arquivo\n    &Novo\n      A&juda\n  &Sair\n");
    // Esc cancels a drag under way.
    DragMouse(Row(L"&Sair"), Row(L"&Novo"), false);
    Pump(200);
    PressKey(VK_ESCAPE);
    Pump(200);
    MouseUpAt(Row(L"&Novo"));
    Pump(300);
    EXPECT_EQ(Shown(Tree()), L"Menu Principal\n  &Arquivo\n    &Novo\n      A&juda\n  &Sair\n");
    // One drop, one undo step.
    Key('Z', true);
    EXPECT_EQ(Shown(Tree()), L"Menu Principal\n  &Arquivo\n    &Novo\n      A&juda\n    &Sair\n");
    Key('Z', true);
    EXPECT_EQ(Shown(Tree()), kStart);
}

// The pictures of docs/images, taken by tools/designer-screenshots.sh (which sets the DPI and
// names the folder in TQ_DOCS_SCREENSHOTS); skipped in a plain test run.
class ScreenshotTest : public FeaturesTest {
  protected:
    // Captures the screen area `r` into `file` under the folder; false when no file came out.
    bool Shoot(const std::string& folder, const std::string& file, RECT r, bool pump_here) {
        const std::wstring path(folder.begin(), folder.end());
        const std::wstring unix_path = path + L"/" + std::wstring(file.begin(), file.end());
        std::wstring z = L"Z:" + unix_path;
        for (wchar_t& ch : z)
            if (ch == L'/') ch = L'\\';
        DeleteFileW(z.c_str());
        wchar_t geometry[64];
        swprintf(geometry, 64, L"%ldx%ld+%ld+%ld", r.right - r.left, r.bottom - r.top, r.left,
                 r.top);
        if (!RunUnix(L"/usr/bin/import", L"-window root -crop " + std::wstring(geometry) +
                                             L" +repage \"" + unix_path + L"\""))
            return false;
        WIN32_FILE_ATTRIBUTE_DATA fa{};
        for (int i = 0; i < 100; ++i) {
            if (pump_here)
                Pump(100);
            else
                Sleep(100);
            if (GetFileAttributesExW(z.c_str(), GetFileExInfoStandard, &fa) &&
                (fa.nFileSizeLow > 0 || fa.nFileSizeHigh > 0)) {
                Sleep(500);  // let import finish writing
                return true;
            }
        }
        return false;
    }
};

TEST_F(ScreenshotTest, PageAndContextMenuForTheDocs) {
    const char* folder = std::getenv("TQ_DOCS_SCREENSHOTS");
    if (!folder) GTEST_SKIP() << "TQ_DOCS_SCREENSHOTS names no folder";
    ComPtr<::MenuTree> tree = NewMenuTree();
    ComPtr<::MenuTree> arq = AddEntry(tree.get(), L"&Arquivo", L"Arq");
    AddEntry(arq.get(), L"&Novo", L"ArqNov", L"Ctrl+N");
    AddEntry(arq.get(), L"&Abrir...", L"ArqAbr", L"Ctrl+A");
    ComPtr<::MenuTree> exp = AddEntry(arq.get(), L"&Exportar", L"ArqExp");
    AddEntry(exp.get(), L"&Texto", L"ArqExpTex", L"Ctrl+Shift+T");
    AddEntry(arq.get(), L"&Sair", L"ArqSai", L"", true, /*habilitado=*/false);
    ComPtr<::MenuTree> edi = AddEntry(tree.get(), L"&Editar", L"Edi");
    AddEntry(edi.get(), L"&Copiar", L"EdiCop", L"Ctrl+C");
    AddEntry(tree.get(), L"A&juda", L"Aju");
    Open(tree);
    ClickNode(L"&Texto");
    ClickNode(L"&Abrir...");
    HDC dc = GetDC(nullptr);
    const std::string dpi = std::to_string(GetDeviceCaps(dc, LOGPIXELSY));
    ReleaseDC(nullptr, dc);
    RECT page;
    GetWindowRect(host->hwnd(), &page);
    EXPECT_TRUE(Shoot(folder, "tqMenuProperty-" + dpi + "dpi.png", page, true));

    // The context menu of Abrir, opened with the keyboard; the picture is taken while it is open.
    std::atomic<bool> shot{false};
    std::thread t([&] {
        HWND popup = nullptr;
        for (int i = 0; i < 200 && !popup; ++i) {
            popup = FindWindowW(L"#32768", nullptr);
            if (!popup || !IsWindowVisible(popup)) popup = nullptr, Sleep(25);
        }
        if (!popup) return;
        Sleep(300);
        RECT r, m;
        GetWindowRect(host->hwnd(), &r);
        GetWindowRect(popup, &m);
        UnionRect(&r, &r, &m);
        shot = Shoot(folder, "tqMenuProperty-menu-" + dpi + "dpi.png", r, false);
        PressKey(VK_ESCAPE);
    });
    PressKey(VK_F10, false, true);
    Pump(300);
    t.join();
    EXPECT_TRUE(shot);
}

}  // namespace
}  // namespace tq::test
