// The tree's own commands on the real page, with real input: moving an entry to another level,
// undo and redo from the keyboard, the context menu, and drag and drop with the mouse.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "page_win_util.h"

namespace tq::test {
namespace {

const wchar_t kStart[] = L"Menu Principal\n  &Arquivo\n    &Novo\n    &Sair\n  A&juda\n";
const wchar_t kUnderSair[] = L"Menu Principal\n  &Arquivo\n    &Novo\n    &Sair\n      A&juda\n";

class FeaturesTest : public PageTest {
  protected:
    void SetUp() override {
        PageTest::SetUp();
        Open(TwoMenus());
        ClickNode(L"&Sair");  // opens Arquivo
    }
    std::wstring Shown() { return TreeShown(W(Control::trvMenu)); }
    POINT Row(const std::wstring& text, int where = 0) {
        return TreeItemPoint(W(Control::trvMenu), FindTreeItem(W(Control::trvMenu), text), where);
    }
};

TEST_F(FeaturesTest, CtrlArrowsMoveBetweenLevelsAndCtrlZYUndoAndRedo) {
    ClickNode(L"A&juda");
    Key(VK_RIGHT, true);
    Key(VK_RIGHT, true);
    EXPECT_EQ(Shown(), kUnderSair);
    Key(VK_LEFT, true);
    Key(VK_LEFT, true);
    EXPECT_EQ(Shown(), kStart);
    Key('Z', true);
    Key('Z', true);
    EXPECT_EQ(Shown(), kUnderSair);
    Key('Z', true);
    Key('Z', true);
    EXPECT_EQ(Shown(), kStart);
    EXPECT_EQ(page->IsPageDirty(), S_FALSE) << "back to the tree loaded";
    Key('Y', true);
    Key('Z', true, true);  // Ctrl+Shift+Z redoes too
    EXPECT_EQ(Shown(), kUnderSair);
    EXPECT_EQ(page->IsPageDirty(), S_OK);
}

// Reads the popup menu of the UI thread (entries and grayed state), then types `key` into it.
std::vector<std::pair<std::wstring, bool>> ReadMenuAndChoose(wchar_t key) {
    HWND popup = nullptr;
    for (int t = 0; t < 200 && !popup; ++t) {
        popup = FindWindowW(L"#32768", nullptr);
        if (!popup || !IsWindowVisible(popup)) popup = nullptr, Sleep(25);
    }
    std::vector<std::pair<std::wstring, bool>> items;
    auto menu = popup ? reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0)) : nullptr;
    for (int i = 0; menu && i < GetMenuItemCount(menu); ++i) {
        wchar_t buf[64] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), buf, 64, MF_BYPOSITION);
        const UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
        if (!(state & MF_SEPARATOR)) items.push_back({buf, (state & MF_GRAYED) != 0});
    }
    if (popup) TypeText(std::wstring(1, key));
    return items;
}

TEST_F(FeaturesTest, ContextMenuOffersTheCommandsTheModelAllows) {
    ClickNode(L"&Novo");
    std::vector<std::pair<std::wstring, bool>> items;
    std::thread reader([&] { items = ReadMenuAndChoose(L'r'); });  // Outdent
    PressKey(VK_F10, false, true);
    Pump(300);
    reader.join();
    // Novo, a first child: no up, no level down; nothing to undo yet.
    EXPECT_EQ(items, (std::vector<std::pair<std::wstring, bool>>{{L"&Incluir\tIns", false},
                                                                 {L"&Alterar\tCtrl+Enter", false},
                                                                 {L"&Excluir\tDel", false},
                                                                 {L"&Subir", true},
                                                                 {L"&Descer", false},
                                                                 {L"&Recuar\tCtrl+\u2190", false},
                                                                 {L"A&vançar\tCtrl+\u2192", true},
                                                                 {L"Des&fazer\tCtrl+Z", true},
                                                                 {L"Refa&zer\tCtrl+Y", true}}));
    Pump();
    EXPECT_EQ(Shown(), L"Menu Principal\n  &Arquivo\n    &Sair\n  &Novo\n  A&juda\n");
}

TEST_F(FeaturesTest, DragAndDropWithTheMouse) {
    const wchar_t kUnderNovo[] =
        L"Menu Principal\n  &Arquivo\n    &Novo\n      A&juda\n    &Sair\n";
    DragMouse(Row(L"A&juda"), Row(L"&Novo"));  // onto an entry: its last child
    Pump(300);
    EXPECT_EQ(Shown(), kUnderNovo);
    DragMouse(Row(L"&Sair"), Row(L"&Arquivo", 1));  // the bottom of a row: just after it
    Pump(300);
    const std::wstring after = L"Menu Principal\n  &Arquivo\n    &Novo\n      A&juda\n  &Sair\n";
    EXPECT_EQ(Shown(), after);
    DragMouse(Row(L"&Arquivo"), Row(L"A&juda"));  // into its own subtree: refused
    Pump(300);
    EXPECT_EQ(Shown(), after);
    Key('Z', true);  // one drop, one undo step
    EXPECT_EQ(Shown(), kUnderNovo);
    Key('Z', true);
    EXPECT_EQ(Shown(), kStart);
}

}  // namespace
}  // namespace tq::test
