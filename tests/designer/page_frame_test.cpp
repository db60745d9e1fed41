// The page inside a property frame written by others (Wine's OleCreatePropertyFrame, driven
// from a second thread because the frame is modal), tabbed through with the real keyboard.
#include <gtest/gtest.h>
#include <olectl.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "page_win_util.h"
#include "tq/com/class_factory.h"
#include "tq/designer/win/page_window.h"
#include "tqMenuCtl.h"

namespace tq::test {
namespace {

// The first descendant of `top` of class `cls` (visible, for top-level windows of a thread).
BOOL CALLBACK MatchClass(HWND w, LPARAM lp) {
    auto* s = reinterpret_cast<std::pair<const wchar_t*, HWND>*>(lp);
    if (ClassName(w) == s->first && (GetParent(w) || IsWindowVisible(w))) s->second = w;
    return s->second == nullptr;
}

HWND FindDescendant(HWND top, const wchar_t* cls) {
    std::pair<const wchar_t*, HWND> s{cls, nullptr};
    EnumChildWindows(top, MatchClass, reinterpret_cast<LPARAM>(&s));
    return s.second;
}

BOOL CALLBACK CountShown(HWND w, LPARAM lp) {
    if (IsWindowVisible(w) && GetDlgCtrlID(w) > 1000) ++*reinterpret_cast<int*>(lp);
    return TRUE;
}

// What the driver thread saw of the frame.
struct FrameSeen {
    bool found = false;
    bool page_visible = false;
    RECT page_rect{};
    std::wstring tab;
    int controls = 0;                // page controls that are visible windows
    std::vector<int> forward, back;  // control ids focused after each Tab / Shift+Tab
    std::vector<std::string> errors;
};

HWND WaitFrame(DWORD thread, int ms) {
    for (int waited = 0; waited < ms; waited += 50, Sleep(50)) {
        std::pair<const wchar_t*, HWND> s{L"#32770", nullptr};
        EnumThreadWindows(thread, MatchClass, reinterpret_cast<LPARAM>(&s));
        if (s.second && FindDescendant(s.second, designer::win::kPageWindowClass)) return s.second;
    }
    return nullptr;
}

HWND FocusedWindow(DWORD thread) {
    GUITHREADINFO gi{};
    gi.cbSize = sizeof gi;
    return GetGUIThreadInfo(thread, &gi) ? gi.hwndFocus : nullptr;
}

void DriveFrame(DWORD thread, FrameSeen* seen) {
    HWND frame = WaitFrame(thread, 15000);
    if (!frame) {
        seen->errors.push_back("the property frame never showed the page");
        return;
    }
    seen->found = true;
    HWND page = FindDescendant(frame, designer::win::kPageWindowClass);
    seen->page_visible = IsWindowVisible(page) != FALSE;
    GetClientRect(page, &seen->page_rect);
    if (HWND tabs = FindDescendant(frame, L"SysTabControl32")) {
        wchar_t buf[64] = {};
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = buf;
        item.cchTextMax = 64;
        SendMessageW(tabs, TCM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        seen->tab = buf;
    }
    EnumChildWindows(page, CountShown, reinterpret_cast<LPARAM>(&seen->controls));

    // Tab through the frame from the tree with the real keyboard.
    SetForegroundWindow(frame);
    HWND trv = FindDescendant(page, L"SysTreeView32");
    ClickWindow(trv);  // the tree's empty area: focus, no node
    for (int t = 0; t < 40 && FocusedWindow(thread) != trv; ++t) Sleep(50);
    for (bool back : {false, true}) {
        for (int i = 0; i < 12; ++i) {
            // One key at a time: wait until the frame's thread has moved the focus.
            const HWND before = FocusedWindow(thread);
            PressKey(VK_TAB, false, back);
            for (int t = 0; t < 40 && FocusedWindow(thread) == before; ++t) Sleep(50);
            const HWND now = FocusedWindow(thread);  // -1: a control of the frame
            (back ? seen->back : seen->forward)
                .push_back(IsChild(page, now) ? GetDlgCtrlID(now) : -1);
        }
    }
    // Close with the frame's Cancel (WM_CLOSE if it has none).
    if (HWND cancel = GetDlgItem(frame, IDCANCEL))
        PostMessageW(cancel, BM_CLICK, 0, 0);
    else
        PostMessageW(frame, WM_CLOSE, 0, 0);
    for (int i = 0; i < 100 && IsWindow(frame); ++i) Sleep(50);
    if (IsWindow(frame)) {
        seen->errors.push_back("the frame did not close");
        PostMessageW(frame, WM_CLOSE, 0, 0);
    }
}

// Whether `ids` holds `want` in this order, one after another.
::testing::AssertionResult Contains(const std::vector<int>& ids, const std::vector<int>& want) {
    if (std::search(ids.begin(), ids.end(), want.begin(), want.end()) != ids.end())
        return ::testing::AssertionSuccess();
    std::string s;
    for (int i : ids) s += std::to_string(i) + " ";
    return ::testing::AssertionFailure() << s;
}

TEST(FrameTest, ShowsAndActivatesInOleCreatePropertyFrameAndTabsInTheFormsOrder) {
    OleThread ole;
    ComPtr<tq::com::ClassFactory> factory =
        tq::com::ClassFactory::Make(&designer::CreateMenuPropertyPage);
    DWORD cookie = 0;
    ASSERT_HRESULT_SUCCEEDED(
        CoRegisterClassObject(CLSID_tqMenuProperty, static_cast<IClassFactory*>(factory.get()),
                              CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie));
    ComPtr<::MenuTree> tree = TwoMenus();
    ComPtr<FakeControl> control = FakeControl::Make(tree);
    IUnknown* objects[] = {static_cast<IDispatch*>(control.get())};
    CLSID pages[] = {CLSID_tqMenuProperty};

    FrameSeen seen;
    std::thread driver(DriveFrame, GetCurrentThreadId(), &seen);
    const HRESULT hr = OleCreatePropertyFrame(nullptr, 10, 10, L"tqMenu", 1, objects, 1, pages,
                                              LOCALE_USER_DEFAULT, 0, nullptr);
    driver.join();
    CoRevokeClassObject(cookie);

    ASSERT_HRESULT_SUCCEEDED(hr);
    for (const auto& e : seen.errors) ADD_FAILURE() << e;
    ASSERT_TRUE(seen.found);
    EXPECT_TRUE(seen.page_visible);
    EXPECT_EQ(seen.tab, L"Principal");
    EXPECT_EQ(seen.controls, 23) << "every control of the form shows";
    EXPECT_GE(seen.page_rect.right, designer::win::PageSizePixels().cx - 2);
    EXPECT_EQ(control->gets, 1) << "SetObjects read the control's MenuTree";
    EXPECT_EQ(control->putrefs, 0) << "this frame never applies";

    // Browsing at the root: the page's stops in order, then out to the frame and back in.
    auto id = [](Control c) { return designer::win::ControlId(c); };
    const std::vector<int> order = {id(Control::btnIncluir), id(Control::btnSobe),
                                    id(Control::btnDesce),   id(Control::btnScript),
                                    id(Control::trvMenu),    id(Control::lstMenu)};
    EXPECT_TRUE(Contains(seen.forward, {id(Control::lstMenu), -1}));
    EXPECT_TRUE(Contains(seen.forward, order));
    const std::vector<int> reversed(order.rbegin(), order.rend());
    EXPECT_TRUE(Contains(seen.back, reversed));
}

}  // namespace
}  // namespace tq::test
