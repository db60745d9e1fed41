// The page at the system's DPI and, in a new process (Wine reads LogPixels at start), at 144:
// the page's size, captions not cut, pictures that grow.
#include <cstdlib>
#include <optional>

#include "page_win_util.h"
#include "wine_drive.h"

namespace tq::test {
namespace {

using LayoutTest = PageTest;

TEST_F(LayoutTest, SizeCaptionsAndPicturesFollowTheDpi) {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    const char* want = std::getenv("TQ_EXPECT_DPI");
    ASSERT_EQ(dpi, want ? std::atoi(want) : dpi);
    PROPPAGEINFO info{};
    ASSERT_HRESULT_SUCCEEDED(page->GetPageInfo(&info));
    CoTaskMemFree(info.pszTitle);
    EXPECT_EQ(info.size.cx, MulDiv(7875, dpi, 1440));
    EXPECT_EQ(info.size.cy, MulDiv(5850, dpi, 1440));
    Open(TwoMenus().get());
    // Each caption against the room it has: a check box loses its box and a gap, a button and
    // a frame their borders.
    const int check = 12 * dpi / 96 + 2, button = 2 * MulDiv(4, dpi, 96);
    const std::pair<Control, int> captions[] = {
        {Control::lblDescricao, 0},   {Control::chkConsulta, check},
        {Control::chkVisible, check}, {Control::chkEnabled, check},
        {Control::btnScript, button}, {Control::fraAtalho, 2 * MulDiv(7, dpi, 96)}};
    for (const auto& [c, margin] : captions) {
        HWND w = W(c);
        const std::wstring text = WindowText(w);
        HDC dc = GetDC(w);
        HGDIOBJ old =
            SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(w, WM_GETFONT, 0, 0)));
        SIZE size{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        int zero = 0;  // a check box's gap is half a digit
        GetCharWidth32W(dc, L'0', L'0', &zero);
        SelectObject(dc, old);
        ReleaseDC(w, dc);
        RECT client;
        GetClientRect(w, &client);
        EXPECT_LE(size.cx, client.right - margin - (margin == check ? zero / 2 : 0))
            << static_cast<int>(c) << " is cut";
    }
    for (Control c : {Control::btnIncluir, Control::btnConfirma}) {
        ICONINFO ii{};
        ASSERT_TRUE(GetIconInfo(
            reinterpret_cast<HICON>(SendMessageW(W(c), BM_GETIMAGE, IMAGE_ICON, 0)), &ii));
        BITMAP bm{};
        GetObjectW(ii.hbmColor, sizeof bm, &bm);
        EXPECT_EQ(bm.bmWidth, MulDiv(16, dpi, 96));
        DeleteObject(ii.hbmColor);
        DeleteObject(ii.hbmMask);
    }
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

TEST(LayoutAt144Dpi, SizeCaptionsAndPicturesFollowTheDpi) {
    if (std::getenv("TQ_EXPECT_DPI")) GTEST_SKIP() << "already the inner run";
    // Both places Wine reads the DPI from: the desktop's (windows) and the fonts' (GDI).
    const std::pair<HKEY, const wchar_t*> keys[] = {{HKEY_CURRENT_USER, L"Control Panel\\Desktop"},
                                                    {HKEY_CURRENT_CONFIG, L"Software\\Fonts"}};
    const std::optional<DWORD> old[] = {SwapLogPixels(keys[0], 144), SwapLogPixels(keys[1], 144)};
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring cmd = L"\"" + std::wstring(exe) +
                       L"\" --gtest_filter=LayoutTest.SizeCaptionsAndPicturesFollowTheDpi";
    SetEnvironmentVariableW(L"TQ_EXPECT_DPI", L"144");
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = GetStdHandle(STD_OUTPUT_HANDLE);
    PROCESS_INFORMATION pi{};
    CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    SetEnvironmentVariableW(L"TQ_EXPECT_DPI", nullptr);
    EXPECT_EQ(CloseProcess(pi, 180000), 0u) << "the run at 144 DPI failed (its output is above)";
    SwapLogPixels(keys[0], old[0]);
    SwapLogPixels(keys[1], old[1]);
}

}  // namespace
}  // namespace tq::test
