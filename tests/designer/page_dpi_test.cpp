// The page at the system's DPI and, in a new process (Wine reads LogPixels at start), at 144:
// its title and size, spot checks of places and captions, captions not cut, pictures that grow.
#include <cstdlib>
#include <optional>

#include "page_win_util.h"
#include "wine_drive.h"

namespace tq::test {
namespace {

using LayoutTest = PageTest;

TEST_F(LayoutTest, PlacesCaptionsAndPicturesFollowTheDpi) {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    const char* want = std::getenv("TQ_EXPECT_DPI");
    ASSERT_TRUE(!want || dpi == std::atoi(want)) << "the inner run at " << dpi << " DPI";
    const auto px = [&](int twips) { return MulDiv(twips, dpi, 1440); };
    PROPPAGEINFO info{};
    ASSERT_HRESULT_SUCCEEDED(page->GetPageInfo(&info));
    EXPECT_STREQ(info.pszTitle, L"Principal");
    CoTaskMemFree(info.pszTitle);
    EXPECT_EQ(info.size.cx, px(7875));
    EXPECT_EQ(info.size.cy, px(5850));
    Open(TwoMenus().get());
    EXPECT_EQ(SendMessageW(W(Control::txtNome), EM_GETLIMITTEXT, 0, 0), 50);
    // Each caption against the room it has: a check box loses its box and half a digit of gap,
    // a button and a frame their borders.
    const int check = -1, button = 2 * MulDiv(4, dpi, 96), frame = 2 * MulDiv(7, dpi, 96);
    const struct {
        Control control, container;
        const wchar_t* text;
        int x, y, w, margin;
    } spots[] = {{Control::btnScript, Control::None, L"Gera Script", 6660, 90, 1110, button},
                 {Control::lblDescricao, Control::fraObjetos, L"Descrição", 75, 675, 1545, 0},
                 {Control::chkConsulta, Control::fraObjetos, L"Consulta", 4275, 315, 945, check},
                 {Control::fraAtalho, Control::fraObjetos, L"Atalho", 5400, 225, 1305, frame},
                 {Control::chkShift, Control::fraAtalho, L"Shift", 660, 255, 615, check},
                 {Control::chkVisible, Control::fraObjetos, L"Visible", 6720, 300, 930, check},
                 {Control::chkEnabled, Control::fraObjetos, L"Enabled", 6720, 570, 885, check}};
    for (const auto& s : spots) {
        SCOPED_TRACE(static_cast<int>(s.control));
        HWND w = W(s.control);
        RECT r, client;
        GetWindowRect(w, &r);
        MapWindowPoints(nullptr, GetParent(w), reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(GetParent(w), s.container == Control::None ? PageWindow() : W(s.container));
        EXPECT_EQ(WindowText(w), s.text);
        EXPECT_EQ(r.left, px(s.x));
        EXPECT_EQ(r.top, px(s.y));
        EXPECT_EQ(r.right - r.left, px(s.w));
        HDC dc = GetDC(w);
        HGDIOBJ old =
            SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(w, WM_GETFONT, 0, 0)));
        SIZE size{};
        GetTextExtentPoint32W(dc, s.text, lstrlenW(s.text), &size);
        int zero = 0;
        GetCharWidth32W(dc, L'0', L'0', &zero);
        SelectObject(dc, old);
        ReleaseDC(w, dc);
        GetClientRect(w, &client);
        EXPECT_LE(size.cx,
                  client.right - (s.margin == check ? 12 * dpi / 96 + 2 + zero / 2 : s.margin))
            << "the caption is cut";
    }
    ICONINFO ii{};  // the pictures: 16x16 at 96 DPI
    ASSERT_TRUE(GetIconInfo(
        reinterpret_cast<HICON>(SendMessageW(W(Control::btnIncluir), BM_GETIMAGE, IMAGE_ICON, 0)),
        &ii));
    BITMAP bm{};
    GetObjectW(ii.hbmColor, sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, MulDiv(16, dpi, 96));
    DeleteObject(ii.hbmColor);
    DeleteObject(ii.hbmMask);
}

// Sets (or, given none, removes) the LogPixels value of `key`; answers the value it replaced.
std::optional<DWORD> SwapLogPixels(std::pair<HKEY, const wchar_t*> key, std::optional<DWORD> v) {
    DWORD old = 0, size = sizeof old;
    const LSTATUS had =
        RegGetValueW(key.first, key.second, L"LogPixels", RRF_RT_REG_DWORD, nullptr, &old, &size);
    if (v) RegSetKeyValueW(key.first, key.second, L"LogPixels", REG_DWORD, &*v, sizeof *v);
    if (!v) RegDeleteKeyValueW(key.first, key.second, L"LogPixels");
    return had == ERROR_SUCCESS ? std::optional<DWORD>(old) : std::nullopt;
}

TEST(LayoutAt144Dpi, PlacesCaptionsAndPicturesFollowTheDpi) {
    if (std::getenv("TQ_EXPECT_DPI")) GTEST_SKIP() << "already the inner run";
    // Both places Wine reads the DPI from: the desktop's (windows) and the fonts' (GDI).
    const std::pair<HKEY, const wchar_t*> keys[] = {{HKEY_CURRENT_USER, L"Control Panel\\Desktop"},
                                                    {HKEY_CURRENT_CONFIG, L"Software\\Fonts"}};
    const std::optional<DWORD> old[] = {SwapLogPixels(keys[0], 144), SwapLogPixels(keys[1], 144)};
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring cmd = L"\"" + std::wstring(exe) +
                       L"\" --gtest_filter=LayoutTest.PlacesCaptionsAndPicturesFollowTheDpi";
    SetEnvironmentVariableW(L"TQ_EXPECT_DPI", L"144");
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = GetStdHandle(STD_OUTPUT_HANDLE);
    PROCESS_INFORMATION pi{};
    CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    SetEnvironmentVariableW(L"TQ_EXPECT_DPI", nullptr);
    DWORD code = STILL_ACTIVE;
    WaitForSingleObject(pi.hProcess, 180000);
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess), CloseHandle(pi.hThread);
    EXPECT_EQ(code, 0u) << "the run at 144 DPI failed (its output is above)";
    for (int i : {0, 1}) SwapLogPixels(keys[i], old[i]);
}

}  // namespace
}  // namespace tq::test
