// The page in Wine's OleCreatePropertyFrame (modal: driven from a second thread), tabbed
// through with the real keyboard.
#include <olectl.h>

#include <thread>

#include "page_win_util.h"
#include "tq/com/class_factory.h"

namespace tq::test {
namespace {

struct FrameSeen {
    std::wstring tab;
    bool page_visible = false, closed = false;
    std::string forward, back;  // "<id> " focused after each Tab / Shift+Tab; -1: the frame's
};

HWND FocusOf(DWORD thread) {
    GUITHREADINFO gi{};
    gi.cbSize = sizeof gi;
    return GetGUIThreadInfo(thread, &gi) ? gi.hwndFocus : nullptr;
}

void DriveFrame(DWORD thread, FrameSeen* seen) {
    HWND frame = nullptr, page = nullptr;
    for (int t = 0; t < 300 && !IsWindowVisible(page); ++t, Sleep(50))
        if ((frame = FindWindowW(L"#32770", nullptr)))
            page = FindDescendant(frame, designer::win::kPageWindowClass);
    if (!(seen->page_visible = IsWindowVisible(page))) return;
    Sleep(200);
    wchar_t buf[64] = {};
    TCITEMW item{TCIF_TEXT, 0, 0, buf, 64, 0, 0};
    SendMessageW(FindDescendant(frame, WC_TABCONTROLW), TCM_GETITEMW, 0,
                 reinterpret_cast<LPARAM>(&item));
    seen->tab = buf;
    SetForegroundWindow(frame);
    HWND trv = FindDescendant(page, WC_TREEVIEWW);
    LeftButton(Middle(trv));  // the tree's empty area: focus, no node
    for (int t = 0; t < 40 && FocusOf(thread) != trv; ++t) Sleep(50);
    for (int i = 0; i < 32; ++i) {
        const HWND before = FocusOf(thread);
        i < 16 ? Tap({VK_TAB}) : Tap({VK_SHIFT, VK_TAB}, true);
        for (int t = 0; t < 40 && FocusOf(thread) == before; ++t) Sleep(50);
        const HWND now = FocusOf(thread);
        (i < 16 ? seen->forward : seen->back) +=
            std::to_string(IsChild(page, now) ? GetDlgCtrlID(now) : -1) + " ";
    }
    PostMessageW(frame, WM_CLOSE, 0, 0);
    for (int i = 0; i < 100 && IsWindow(frame); ++i) Sleep(50);
    seen->closed = !IsWindow(frame);
}

using FrameTest = PageTest;

TEST_F(FrameTest, ShowsInOleCreatePropertyFrameAndTabsInTheFormsOrder) {
    auto factory = com::ClassFactory::Make(&designer::CreateMenuPropertyPage);
    DWORD cookie = 0;
    ASSERT_HRESULT_SUCCEEDED(CoRegisterClassObject(
        CLSID_tqMenuProperty, factory.get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie));
    control = ControlWith(TwoMenus().get());
    IUnknown* objects[] = {control.get()};
    CLSID pages[] = {CLSID_tqMenuProperty};
    FrameSeen seen;
    std::thread driver(DriveFrame, GetCurrentThreadId(), &seen);
    const HRESULT hr = OleCreatePropertyFrame(nullptr, 10, 10, L"tqMenu", 1, objects, 1, pages,
                                              LOCALE_USER_DEFAULT, 0, nullptr);
    driver.join();
    CoRevokeClassObject(cookie);
    ASSERT_HRESULT_SUCCEEDED(hr);
    EXPECT_TRUE(seen.page_visible);
    EXPECT_TRUE(seen.closed);
    EXPECT_EQ(seen.tab, L"Principal");
    EXPECT_TRUE(control->puts.empty()) << "this frame never applies";
    // At the root: the page's stops in order, then out to the frame and back in.
    std::string order, reversed;
    for (Control c : {Control::btnIncluir, Control::btnSobe, Control::btnDesce, Control::btnScript,
                      Control::trvMenu, Control::lstMenu}) {
        order += std::to_string(ControlId(c)) + " ";
        reversed.insert(0, std::to_string(ControlId(c)) + " ");
    }
    EXPECT_NE(seen.forward.find(order + "-1 "), std::string::npos) << seen.forward;
    EXPECT_NE(seen.back.find(reversed), std::string::npos) << seen.back;
}

}  // namespace
}  // namespace tq::test
