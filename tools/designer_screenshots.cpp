// The pictures of the property page for the documentation, taken by designer-screenshots.sh
// (which sets the DPI and names the output folder in TQ_DOCS_SCREENSHOTS): the page with a
// three-level menu, and the page with the tree's context menu open.  Built with the designer's
// Windows tests, whose page helpers it uses; not a test.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "page_win_util.h"
#include "wine_drive.h"

namespace tq::test {
namespace {

// Captures the screen area `r` into `file` under the folder with ImageMagick's import; false
// when no file came out.  `wait` keeps the page painting while the Unix process runs.
bool Shoot(const std::string& folder, const std::string& file, RECT r,
           const std::function<void()>& wait) {
    const std::wstring unix_path =
        std::wstring(folder.begin(), folder.end()) + L"/" + std::wstring(file.begin(), file.end());
    std::wstring z = L"Z:" + unix_path;
    for (wchar_t& ch : z)
        if (ch == L'/') ch = L'\\';
    DeleteFileW(z.c_str());
    wchar_t geometry[64];
    swprintf(geometry, 64, L"%ldx%ld+%ld+%ld", r.right - r.left, r.bottom - r.top, r.left, r.top);
    if (!RunUnix(L"/usr/bin/import", L"-window root -crop " + std::wstring(geometry) +
                                         L" +repage \"" + unix_path + L"\""))
        return false;
    WIN32_FILE_ATTRIBUTE_DATA fa{};
    for (int i = 0; i < 100; ++i) {
        wait();
        if (GetFileAttributesExW(z.c_str(), GetFileExInfoStandard, &fa) &&
            (fa.nFileSizeLow > 0 || fa.nFileSizeHigh > 0)) {
            Sleep(500);  // let import finish writing
            return true;
        }
    }
    return false;
}

using ScreenshotTest = PageTest;

TEST_F(ScreenshotTest, PageAndContextMenuForTheDocs) {
    const char* folder = std::getenv("TQ_DOCS_SCREENSHOTS");
    ASSERT_NE(folder, nullptr) << "TQ_DOCS_SCREENSHOTS names no folder";
    ComPtr<MenuTree> tree = NewTree();
    // An entry with a shortcut (none: "") and its submenu.
    const auto add = [](MenuTree* level, const wchar_t* caption, const wchar_t* nome,
                        const wchar_t* tecla) {
        ComPtr<MenuItem> item = AddEntry(level, caption, nome);
        item->put_TeclaExtenso(Bstr(tecla).get());
        return SubOf(item.get());
    };
    ComPtr<MenuTree> arq = add(tree.get(), L"&Arquivo", L"Arq", L"");
    add(arq.get(), L"&Novo", L"ArqNov", L"Ctrl+N");
    add(arq.get(), L"&Abrir...", L"ArqAbr", L"Ctrl+A");
    add(add(arq.get(), L"&Exportar", L"ArqExp", L"").get(), L"&Texto", L"ArqExpTex",
        L"Ctrl+Shift+T");
    add(arq.get(), L"&Sair", L"ArqSai", L"");
    ItemAt(arq.get(), 4)->put_HabilitadoDefault(VARIANT_FALSE);
    ItemAt(arq.get(), 4)->put_Habilitado(VARIANT_FALSE);
    add(add(tree.get(), L"&Editar", L"Edi", L"").get(), L"&Copiar", L"EdiCop", L"Ctrl+C");
    add(tree.get(), L"A&juda", L"Aju", L"");
    Open(tree.get());
    ClickNode(L"&Texto");
    ClickNode(L"&Abrir...");
    HDC dc = GetDC(nullptr);
    const std::string dpi = std::to_string(GetDeviceCaps(dc, LOGPIXELSY));
    ReleaseDC(nullptr, dc);
    RECT page_rect;
    GetWindowRect(host->hwnd(), &page_rect);
    EXPECT_TRUE(Shoot(folder, "tqMenuProperty-" + dpi + "dpi.png", page_rect, [&] { Pump(100); }));

    // The context menu of Abrir, opened with the keyboard, taken while it is open.
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
        shot = Shoot(folder, "tqMenuProperty-menu-" + dpi + "dpi.png", r, [] { Sleep(100); });
        Tap({VK_ESCAPE});
    });
    Tap({VK_SHIFT, VK_F10}, true);
    Pump(300);
    t.join();
    EXPECT_TRUE(shot);
}

}  // namespace
}  // namespace tq::test
