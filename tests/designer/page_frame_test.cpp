// The page in Wine's OleCreatePropertyFrame (modal: driven from a second thread), tabbed
// through with the real keyboard.
#include <olectl.h>

#include <thread>

#include "page_win_util.h"
#include "tq/com/class_factory.h"

namespace tq::test {
namespace {

HWND FocusOf(DWORD thread) {
    GUITHREADINFO gi{};
    gi.cbSize = sizeof gi;
    return GetGUIThreadInfo(thread, &gi) ? gi.hwndFocus : nullptr;
}

using FrameTest = PageTest;

TEST_F(FrameTest, ShowsInOleCreatePropertyFrameAndTabsInTheFormsOrder) {
    auto factory = com::ClassFactory::Make(&designer::CreateMenuPropertyPage);
    DWORD cookie = 0;
    ASSERT_HRESULT_SUCCEEDED(CoRegisterClassObject(
        CLSID_tqMenuProperty, factory.get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie));
    control = ControlWith(TwoMenus().get());
    IUnknown* objects[] = {control->Identity()};
    CLSID pages[] = {CLSID_tqMenuProperty};
    wchar_t tab[64] = {};
    bool shown = false, closed = false;
    std::string forward, back;  // "<id> " focused after each Tab / Shift+Tab; -1: the frame's
    std::thread driver([&, thread = GetCurrentThreadId()] {
        HWND frame = nullptr, page = nullptr;
        for (int t = 0; t < 300 && !IsWindowVisible(page); ++t, Sleep(50))
            if ((frame = FindWindowW(L"#32770", nullptr)))
                page = FindWindowExW(FindWindowExW(frame, nullptr, L"#32770", nullptr), nullptr,
                                     designer::win::kPageWindowClass, nullptr);
        if (!(shown = IsWindowVisible(page))) return;
        TCITEMW item{TCIF_TEXT, 0, 0, tab, 64, 0, 0};
        SendMessageW(FindWindowExW(frame, nullptr, WC_TABCONTROLW, nullptr), TCM_GETITEMW, 0,
                     reinterpret_cast<LPARAM>(&item));
        SetForegroundWindow(frame);
        HWND trv = GetDlgItem(page, ControlId(Control::trvMenu));
        LeftButton(Middle(trv));  // the tree's empty area: focus, no node
        for (int t = 0; t < 40 && FocusOf(thread) != trv; ++t) Sleep(50);
        for (int i = 0; i < 32; ++i) {
            const HWND before = FocusOf(thread);
            i < 16 ? Tap({VK_TAB}) : Tap({VK_SHIFT, VK_TAB}, true);
            for (int t = 0; t < 40 && FocusOf(thread) == before; ++t) Sleep(50);
            const HWND now = FocusOf(thread);
            (i < 16 ? forward : back) +=
                std::to_string(IsChild(page, now) ? GetDlgCtrlID(now) : -1) + " ";
        }
        PostMessageW(frame, WM_CLOSE, 0, 0);
        for (int i = 0; i < 100 && IsWindow(frame); ++i) Sleep(50);
        closed = !IsWindow(frame);
    });
    const HRESULT hr = OleCreatePropertyFrame(nullptr, 10, 10, L"tqMenu", 1, objects, 1, pages,
                                              LOCALE_USER_DEFAULT, 0, nullptr);
    driver.join();
    CoRevokeClassObject(cookie);
    ASSERT_HRESULT_SUCCEEDED(hr);
    EXPECT_TRUE(shown);
    EXPECT_TRUE(closed);
    EXPECT_STREQ(tab, L"Principal");
    EXPECT_EQ(control->puts, 0) << "this frame never applies";
    // At the root: the page's stops in order, then out to the frame and back in.
    std::string order, reversed;
    for (Control c : {Control::btnIncluir, Control::btnSobe, Control::btnDesce, Control::btnScript,
                      Control::trvMenu, Control::lstMenu}) {
        order += std::to_string(ControlId(c)) + " ";
        reversed.insert(0, std::to_string(ControlId(c)) + " ");
    }
    EXPECT_NE(forward.find(order + "-1 "), std::string::npos) << forward;
    EXPECT_NE(back.find(reversed), std::string::npos) << back;
}

}  // namespace
}  // namespace tq::test
