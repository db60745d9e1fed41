// End to end: tqMenu on a form in Wine's ATL host; its property page designs a menu and is
// applied; ReExibirMenu puts the menu on the form; a real pick of the new entry raises
// MenuClick; the page's "Gera Script" has the control write the script of the applied tree.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialog_driver.h"
#include "page_win_fixture.h"
#include "tq/com/late_bind.h"
#include "tq/com/variant.h"
#include "tqMenuCtl.h"

namespace tq::test {
namespace {

using designer::Control;

using AtlAxWinInitFn = BOOL(WINAPI*)();
using AtlAxGetControlFn = HRESULT(WINAPI*)(HWND, IUnknown**);
using AtlAxCreateControlExFn = HRESULT(WINAPI*)(LPCOLESTR, HWND, IStream*, IUnknown**, IUnknown**,
                                                REFIID, IUnknown*);

// Receives __tqMenu: the Nome of every MenuClick's entry.
class ClickSink final : public IDispatch {
  public:
    std::vector<std::wstring> clicks;

    IFACEMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
            IsEqualIID(iid, DIID___tqMenu)) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    IFACEMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
    IFACEMETHODIMP_(ULONG) Release() override { return InterlockedDecrement(&refs_); }
    IFACEMETHODIMP GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    IFACEMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    IFACEMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    IFACEMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                          UINT*) override {
        if (id != 1 || !params || params->cArgs != 1) return S_OK;
        VARIANT* a = &params->rgvarg[0];
        IDispatch* item = V_VT(a) == VT_DISPATCH                ? V_DISPATCH(a)
                          : V_VT(a) == (VT_DISPATCH | VT_BYREF) ? *V_DISPATCHREF(a)
                                                                : nullptr;
        com::Variant nome;
        if (item && SUCCEEDED(com::GetProperty(item, L"Nome", &nome)) && V_VT(&nome) == VT_BSTR)
            clicks.emplace_back(V_BSTR(&nome));
        else
            clicks.emplace_back(L"?");
        return S_OK;
    }

  private:
    LONG refs_ = 1;  // lives on the test's stack
};

LRESULT CALLBACK FormProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    return DefWindowProcW(h, m, w, l);
}

using AtlEndToEndTest = PageTest;

std::string ReadFileBytes(const std::wstring& path) {
    std::string content;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return content;
    char buf[512];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got) content.append(buf, got);
    CloseHandle(h);
    return content;
}

TEST_F(AtlEndToEndTest, DesignApplyShowPickAndScript) {
    HMODULE atl = LoadLibraryW(L"atl100.dll");
    ASSERT_NE(atl, nullptr);
    auto init = reinterpret_cast<AtlAxWinInitFn>(
        reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxWinInit")));
    auto get_control = reinterpret_cast<AtlAxGetControlFn>(
        reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxGetControl")));
    auto create = reinterpret_cast<AtlAxCreateControlExFn>(
        reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxCreateControlEx")));
    ASSERT_TRUE(init && get_control && create && init());

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
    Add(L"&Arquivo");
    ClickNode(L"&Arquivo");
    Add(L"&Novo");
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

    // The form is saved and run: the control comes back from the stream on a new form, shows
    // its menu and takes the form's commands.
    ComPtr<IPersistStreamInit> persist;
    ASSERT_HRESULT_SUCCEEDED(unk.As(IID_IPersistStreamInit, &persist));
    ComPtr<IStream> stream;
    ASSERT_HRESULT_SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()));
    ASSERT_HRESULT_SUCCEEDED(persist->Save(stream.get(), TRUE));
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    HWND run = CreateWindowW(L"tqTestForm", L"Programa", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 600, 300,
                             380, 200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(run, nullptr);
    HWND run_ax = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 10, 10, 40, 40, run,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    ComPtr<IUnknown> container, run_unk;
    ASSERT_HRESULT_SUCCEEDED(create(L"tqMenuCtl.tqMenu", run_ax, stream.get(), container.put(),
                                    run_unk.put(), IID_NULL, nullptr));
    ASSERT_TRUE(run_unk);
    ComPtr<IDispatch> run_ctl;
    ASSERT_HRESULT_SUCCEEDED(run_unk.As(IID_IDispatch, &run_ctl));
    ClickSink sink;
    ComPtr<IConnectionPointContainer> cpc;
    ASSERT_HRESULT_SUCCEEDED(run_unk.As(IID_IConnectionPointContainer, &cpc));
    ComPtr<IConnectionPoint> cp;
    ASSERT_HRESULT_SUCCEEDED(cpc->FindConnectionPoint(DIID___tqMenu, cp.put()));
    DWORD cookie = 0;
    ASSERT_HRESULT_SUCCEEDED(cp->Advise(&sink, &cookie));
    Pump(300);
    HMENU run_bar = GetMenu(run);
    ASSERT_NE(run_bar, nullptr) << "the control builds the bar when it shows";
    EXPECT_EQ(GetMenuItemCount(run_bar), 1);

    // A real pick: Alt, Down, Enter on the running form.
    SetForegroundWindow(run);
    SetFocus(run);
    Pump(200);
    PressKey(VK_MENU);
    PressKey(VK_DOWN);
    PressKey(VK_RETURN);
    for (int i = 0; i < 30 && sink.clicks.empty(); ++i) Pump(100);
    EXPECT_EQ(sink.clicks, (std::vector<std::wstring>{L"ArqNov"}));

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
    SetShownControl(run_ctl.get());
    {
        DialogDriver driver({Answer(L"Informe o Nome do Script SEM a Extensão", L"MenuDaPagina")});
        Click(Control::btnScript);
        driver.Finish();
        EXPECT_TRUE(driver.ok()) << driver.Report();
    }
    SetShownControl(nullptr);
    EXPECT_EQ(ReadFileBytes(file), "Arquivo*Arq^A\r\n   Novo*ArqNov^Arq\r\n");
    DeleteFileW(file.c_str());
    if (made_folder) RemoveDirectoryW(folder.c_str());
    if (made_rudadod) RemoveDirectoryW(rudadod.c_str());

    cp->Unadvise(cookie);
    cp = nullptr;
    cpc = nullptr;
    page->Show(SW_HIDE);
    page->Deactivate();
    host.reset();
    page->SetObjects(0, nullptr);
    run_ctl = nullptr;
    run_unk = nullptr;
    container = nullptr;
    DestroyWindow(run);
    persist = nullptr;
    spp = nullptr;
    ctl = nullptr;
    unk = nullptr;
    DestroyWindow(form);
}

}  // namespace
}  // namespace tq::test
