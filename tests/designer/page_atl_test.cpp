// End to end: tqMenu on a form in Wine's ATL host; its property page designs a menu and is
// applied; ReExibirMenu puts the menu on the form; the page's "Gera Script" has the control
// write the script of the applied tree.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "dialog_driver.h"
#include "page_win_util.h"
#include "tq/com/late_bind.h"
#include "tq/com/variant.h"
#include "tqMenuCtl.h"

namespace tq::test {
namespace {

using AtlAxWinInitFn = BOOL(WINAPI*)();
using AtlAxGetControlFn = HRESULT(WINAPI*)(HWND, IUnknown**);

LRESULT CALLBACK FormProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    return DefWindowProcW(h, m, w, l);
}

using AtlEndToEndTest = PageTest;

TEST_F(AtlEndToEndTest, DesignApplyShowAndScript) {
    HMODULE atl = LoadLibraryW(L"atl100.dll");
    ASSERT_NE(atl, nullptr);
    auto init = reinterpret_cast<AtlAxWinInitFn>(
        reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxWinInit")));
    auto get_control = reinterpret_cast<AtlAxGetControlFn>(
        reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxGetControl")));
    ASSERT_TRUE(init && get_control && init());

    // Design time: a form with tqMenu on it.
    WNDCLASSW wc{};
    wc.lpfnWndProc = FormProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"tqTestForm";
    RegisterClassW(&wc);
    HWND form = CreateWindowW(L"tqTestForm", L"Formulário", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 600,
                              40, 380, 220, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(form, nullptr);
    HWND ax = CreateWindowExW(0, L"AtlAxWin100", L"tqMenuCtl.tqMenu", WS_CHILD | WS_VISIBLE, 10, 10,
                              40, 40, form, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(ax, nullptr);
    ComPtr<IUnknown> unk;
    ASSERT_EQ(get_control(ax, unk.put()), S_OK);
    ComPtr<IDispatch> ctl;
    ASSERT_HRESULT_SUCCEEDED(unk.As(IID_IDispatch, &ctl));
    // The control names this page.
    ComPtr<ISpecifyPropertyPages> spp;
    ASSERT_HRESULT_SUCCEEDED(unk.As(IID_ISpecifyPropertyPages, &spp));
    CAUUID pages{};
    ASSERT_HRESULT_SUCCEEDED(spp->GetPages(&pages));
    ASSERT_EQ(pages.cElems, 1u);
    EXPECT_TRUE(IsEqualCLSID(pages.pElems[0], CLSID_tqMenuProperty));
    CoTaskMemFree(pages.pElems);

    // The page on the control: Arquivo with Novo, typed; applied.
    OpenOn(unk.get());
    for (const wchar_t* caption : {L"&Arquivo", L"&Novo"}) {
        Click(Control::btnIncluir);
        Type(caption);
        Click(Control::btnConfirma);
        ClickNode(L"&Arquivo");
    }
    ASSERT_HRESULT_SUCCEEDED(page->Apply());

    // The control shows the applied tree on the form.
    ASSERT_HRESULT_SUCCEEDED(
        com::PutProperty(ctl.get(), L"ExibirMenu", com::Variant::FromBool(true)));
    com::Variant ignored;
    ASSERT_HRESULT_SUCCEEDED(com::CallMethod(ctl.get(), L"ReExibirMenu", {}, &ignored));
    HMENU bar = GetMenu(form);
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(GetMenuItemCount(bar), 1);
    wchar_t text[64] = {};
    GetMenuStringW(bar, 0, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(text, L"&Arquivo");
    HMENU arq = GetSubMenu(bar, 0);
    ASSERT_NE(arq, nullptr);
    GetMenuStringW(arq, 0, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(text, L"&Novo");

    // The developer opens the page again: it loads the applied tree, so the script button is on.
    IUnknown* objects[] = {unk.get()};
    ASSERT_HRESULT_SUCCEEDED(page->SetObjects(1, objects));
    EXPECT_TRUE(IsWindowEnabled(W(Control::btnScript)));

    // "Gera Script" on the page: the control shown last on this thread writes its tree to
    // <drive of the library>\Rudadod\Controller\ (made here when missing, removed after).
    wchar_t ocx[MAX_PATH] = {};
    HKEY key = nullptr;
    const std::wstring server = L"CLSID\\{0657B8D3-B0A4-4337-84A5-8810C5586416}\\InprocServer32";
    DWORD size = sizeof ocx;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, server.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(ocx), &size);
    RegCloseKey(key);
    const std::wstring root = std::wstring(ocx).substr(0, 3);
    const std::wstring rudadod = root + L"Rudadod", folder = rudadod + L"\\Controller\\";
    const bool made_rudadod = CreateDirectoryW(rudadod.c_str(), nullptr) != FALSE;
    const bool made_folder = CreateDirectoryW(folder.c_str(), nullptr) != FALSE;
    const std::wstring file = folder + L"MenuDaPagina.Ini";
    DeleteFileW(file.c_str());
    SetShownControl(ctl.get());
    {
        DialogDriver driver({Answer(L"Informe o Nome do Script SEM a Extensão", L"MenuDaPagina")});
        Click(Control::btnScript);
        driver.Finish();
        EXPECT_TRUE(driver.ok()) << driver.Report();
    }
    SetShownControl(nullptr);
    std::ifstream in(std::filesystem::path(file), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}),
              "Arquivo*Arq^A\r\n   Novo*ArqNov^Arq\r\n");
    in.close();
    DeleteFileW(file.c_str());
    if (made_folder) RemoveDirectoryW(folder.c_str());
    if (made_rudadod) RemoveDirectoryW(rudadod.c_str());

    page->Show(SW_HIDE);
    page->Deactivate();
    host.reset();
    page->SetObjects(0, nullptr);
    spp = nullptr;
    ctl = nullptr;
    unk = nullptr;
    DestroyWindow(form);
}

}  // namespace
}  // namespace tq::test
