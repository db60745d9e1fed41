// The page at the system's DPI and at 144 DPI: no overlaps beyond the form's own, no caption cut,
// pictures that grow.  Wine reads LogPixels at process start: 144 DPI runs in a new process.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "page_win_util.h"

namespace tq::test {
namespace {

// Pairs the form itself overlaps, with the overlap in twips: each label reaches into the box
// below it, the up button into the down button, the tree and the list into the edit frame.
struct Designed {
    Control a, b;
    int twips;
};
const Designed kDesigned[] = {
    {Control::lblCaption, Control::txtCaption, 45},     {Control::lblNome, Control::txtNome, 45},
    {Control::lblDescricao, Control::txtDescricao, 45}, {Control::btnSobe, Control::btnDesce, 15},
    {Control::trvMenu, Control::fraObjetos, 15},        {Control::lstMenu, Control::fraObjetos, 15},
};

bool IsLabel(Control c) {
    return c == Control::lblCaption || c == Control::lblNome || c == Control::lblDescricao;
}
bool IsCheck(Control c) {
    return c == Control::chkConsulta || c == Control::chkCtrl || c == Control::chkShift ||
           c == Control::chkVisible || c == Control::chkEnabled;
}

using LayoutTest = PageTest;

TEST_F(LayoutTest, NoControlOverlapsAnotherAndNoCaptionIsClipped) {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    if (const char* want = std::getenv("TQ_EXPECT_DPI")) {
        ASSERT_EQ(dpi, std::atoi(want));
    }
    Open(TwoMenus());
    std::vector<Control> all;
    for (int c = static_cast<int>(Control::btnIncluir); c <= static_cast<int>(Control::btnConfirma);
         ++c)
        all.push_back(static_cast<Control>(c));

    for (Control c : all) {
        SCOPED_TRACE(static_cast<int>(c));
        HWND w = W(c);
        ASSERT_NE(w, nullptr);
        RECT r, in;
        GetWindowRect(w, &r);
        GetClientRect(GetParent(w), &in);
        MapWindowPoints(GetParent(w), nullptr, reinterpret_cast<POINT*>(&in), 2);
        EXPECT_TRUE(r.left >= in.left && r.top >= in.top && r.right <= in.right &&
                    r.bottom <= in.bottom)
            << "outside its container";

        for (Control d : all) {
            if (d <= c || GetParent(W(d)) != GetParent(w)) continue;
            RECT s, x;
            GetWindowRect(W(d), &s);
            if (!IntersectRect(&x, &r, &s)) continue;
            int allowed = -1;
            for (const Designed& k : kDesigned)
                if ((k.a == c && k.b == d) || (k.a == d && k.b == c))
                    allowed = MulDiv(k.twips, dpi, 1440) + 1;
            EXPECT_LE(std::min(x.right - x.left, x.bottom - x.top), allowed)
                << "overlaps control " << static_cast<int>(d);
        }

        // The caption, measured in the control's own font, against the room it has.
        const std::wstring text = WindowText(w);
        if (!(IsLabel(c) || IsCheck(c) || c == Control::btnScript || c == Control::fraAtalho) ||
            text.empty())
            continue;
        HDC dc = GetDC(w);
        HGDIOBJ old =
            SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(w, WM_GETFONT, 0, 0)));
        SIZE size{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        TEXTMETRICW tm{};
        GetTextMetricsW(dc, &tm);
        int zero = 0;
        GetCharWidth32W(dc, L'0', L'0', &zero);
        SelectObject(dc, old);
        ReleaseDC(w, dc);
        RECT client;
        GetClientRect(w, &client);
        int room = client.right;
        if (IsCheck(c))
            // The box, half a digit of space, and the pixel a disabled (embossed) text moves.
            room -= 12 * dpi / 96 + 1 + zero / 2 + 1;
        else if (c == Control::btnScript)
            room -= 2 * MulDiv(4, dpi, 96);  // a push button's border and focus rectangle
        else if (c == Control::fraAtalho)
            room -= 2 * MulDiv(7, dpi, 96);  // a group box's margins
        EXPECT_LE(size.cx, room) << Utf8(text) << " is cut";
        if (!IsLabel(c)) continue;
        EXPECT_LE(tm.tmHeight, client.bottom) << Utf8(text);
        // A label's text ends above the box it names, which the label's window reaches into.
        const Control box = c == Control::lblCaption ? Control::txtCaption
                            : c == Control::lblNome  ? Control::txtNome
                                                     : Control::txtDescricao;
        RECT b;
        GetWindowRect(W(box), &b);
        EXPECT_LE(r.top + tm.tmHeight, b.top) << Utf8(text);
    }

    // The pictures grow with the DPI: 16x16 at 96.
    for (Control c :
         {Control::btnIncluir, Control::btnAlterar, Control::btnExcluir, Control::btnConfirma}) {
        auto icon = reinterpret_cast<HICON>(SendMessageW(W(c), BM_GETIMAGE, IMAGE_ICON, 0));
        ICONINFO ii{};
        ASSERT_TRUE(GetIconInfo(icon, &ii));
        BITMAP bm{};
        GetObjectW(ii.hbmColor, sizeof bm, &bm);
        EXPECT_EQ(bm.bmWidth, MulDiv(16, dpi, 96));
        DeleteObject(ii.hbmColor);
        DeleteObject(ii.hbmMask);
    }
}

// A registry value set for the time of a scope, and put back (or removed) after it.
struct ScopedDword {
    ScopedDword(HKEY root, const wchar_t* key, const wchar_t* name, DWORD value) : name(name) {
        DWORD size = sizeof old;
        ok = RegCreateKeyExW(root, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hkey, nullptr) ==
             ERROR_SUCCESS;
        had = ok && RegQueryValueExW(hkey, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&old),
                                     &size) == ERROR_SUCCESS;
        ok = ok && RegSetValueExW(hkey, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                  sizeof value) == ERROR_SUCCESS;
    }
    ~ScopedDword() {
        if (had)
            RegSetValueExW(hkey, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&old),
                           sizeof old);
        if (!had) RegDeleteValueW(hkey, name);
        RegCloseKey(hkey);
    }
    HKEY hkey = nullptr;
    const wchar_t* name;
    DWORD old = 0;
    bool had = false, ok = false;
};

TEST(LayoutAt144Dpi, NoControlOverlapsAnotherAndNoCaptionIsClipped) {
    if (std::getenv("TQ_EXPECT_DPI")) GTEST_SKIP() << "already the inner run";
    {
        // Both places Wine reads the DPI from: the desktop's (windows) and the fonts' (GDI).
        ScopedDword desktop(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", 144);
        ScopedDword fonts(HKEY_CURRENT_CONFIG, L"Software\\Fonts", L"LogPixels", 144);
        ASSERT_TRUE(desktop.ok && fonts.ok);
        wchar_t exe[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, exe, MAX_PATH);
        std::wstring cmd =
            L"\"" + std::wstring(exe) +
            L"\" --gtest_filter=LayoutTest.NoControlOverlapsAnotherAndNoCaptionIsClipped";
        SetEnvironmentVariableW(L"TQ_EXPECT_DPI", L"144");
        STARTUPINFOW si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
        si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        PROCESS_INFORMATION pi{};
        const BOOL started = CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                            nullptr, &si, &pi);
        SetEnvironmentVariableW(L"TQ_EXPECT_DPI", nullptr);
        ASSERT_TRUE(started) << GetLastError();
        const DWORD waited = WaitForSingleObject(pi.hProcess, 180000);
        DWORD code = 1;
        if (waited == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
        if (waited != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        EXPECT_EQ(code, 0u) << "the run at 144 DPI failed (its output is above)";
    }
}

}  // namespace
}  // namespace tq::test
