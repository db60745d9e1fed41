#include "control_window.h"

#include "resource.h"
#include "tq/com/module.h"

namespace tq::ctl {

namespace {

constexpr wchar_t kClassName[] = L"tqMenuCtlWindow";
ATOM g_class = 0;

LRESULT CALLBACK ControlWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT rc;
        GetClientRect(hwnd, &rc);
        DrawToolboxPicture(dc, rc);
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

bool EnsureClass() {
    if (g_class) return true;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = ControlWindowProc;
    wc.hInstance = com::Module::Instance();
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClassName;
    g_class = RegisterClassExW(&wc);
    if (!g_class && GetLastError() == ERROR_CLASS_ALREADY_EXISTS)
        g_class = static_cast<ATOM>(GetClassInfoExW(com::Module::Instance(), kClassName, &wc));
    return g_class != 0;
}

}  // namespace

HRESULT ControlWindow::Create(HWND parent, const RECT& pos) {
    Destroy();
    if (!EnsureClass()) return HRESULT_FROM_WIN32(GetLastError());
    hwnd_ = CreateWindowExW(0, kClassName, L"tqMenu", WS_CHILD | WS_CLIPSIBLINGS, pos.left, pos.top,
                            pos.right - pos.left, pos.bottom - pos.top, parent, nullptr,
                            com::Module::Instance(), nullptr);
    return hwnd_ ? S_OK : HRESULT_FROM_WIN32(GetLastError());
}

void ControlWindow::Destroy() {
    if (hwnd_) DestroyWindow(hwnd_);
    hwnd_ = nullptr;
}

void ControlWindow::UnregisterClass() {
    if (g_class) ::UnregisterClassW(kClassName, com::Module::Instance());
    g_class = 0;
}

HRESULT DrawToolboxPicture(HDC dc, const RECT& bounds) {
    HBITMAP bmp =
        static_cast<HBITMAP>(LoadImageW(com::Module::Instance(), MAKEINTRESOURCEW(IDB_TOOLBOX),
                                        IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
    if (!bmp) return HRESULT_FROM_WIN32(GetLastError());
    BITMAP info{};
    GetObjectW(bmp, sizeof(info), &info);
    HDC mem = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(mem, bmp);
    const int mode = SetStretchBltMode(dc, COLORONCOLOR);
    const BOOL ok =
        StretchBlt(dc, bounds.left, bounds.top, bounds.right - bounds.left,
                   bounds.bottom - bounds.top, mem, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    SetStretchBltMode(dc, mode);
    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteObject(bmp);
    return ok ? S_OK : E_FAIL;
}

}  // namespace tq::ctl
