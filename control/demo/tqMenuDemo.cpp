// tqMenuDemo: a small form that hosts the tqMenu control through the ATL control host, as a
// program built with any ActiveX container would.  The form is loaded with a sample menu; each
// MenuClick shows the chosen entry's Nome and Caption on the form; Arquivo > Sair closes it.
//
//   tqMenuDemo.exe                       the form, for a person to use
//   tqMenuDemo.exe --headless [--ready-file F --done-file G]
//                                        picks two entries by real keyboard input, prints each
//                                        MenuClick, opens a submenu and (with the two files)
//                                        writes F and waits for G so a screenshot can be taken,
//                                        then picks Sair.  Exit code 0 when all of it happened.
#include <windows.h>
#include <ocidl.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "tqMenuCtl.h"
#include "tq/com/com_ptr.h"
#include "tq/com/object.h"
#include "tq/com/strings.h"
#include "tq/com/variant.h"

using tq::com::Bstr;
using tq::com::ComPtr;
using tq::com::Variant;

namespace {

constexpr UINT kShowClick = WM_APP + 1;  // the form shows the last MenuClick (posted by the sink)
HWND g_form = nullptr;
HWND g_list = nullptr;
HWND g_last = nullptr;
HANDLE g_clicked = nullptr;  // set on every MenuClick (headless driver)
std::vector<std::wstring> g_clicks;

std::string Utf8(const std::wstring& w) {
    if (w.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr,
                        nullptr);
    return s;
}

// The form's handler of tqMenu's events (__tqMenu).
class MenuEvents final : public tq::com::ComObject<MenuEvents, IDispatch> {
  public:
    static std::span<const tq::com::QiEntry> Interfaces() {
        static const tq::com::QiEntry table[] = {TQ_QI(MenuEvents, IDispatch),
                                                 TQ_QI_IID(MenuEvents, IDispatch, DIID___tqMenu)};
        return table;
    }
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
        if (id != 1 || !params || params->cArgs != 1) return DISP_E_MEMBERNOTFOUND;
        const VARIANT& arg = params->rgvarg[0];
        IDispatch* d = V_VT(&arg) == (VT_DISPATCH | VT_BYREF) ? *V_DISPATCHREF(&arg)
                       : V_VT(&arg) == VT_DISPATCH            ? V_DISPATCH(&arg)
                                                              : nullptr;
        ComPtr<MenuItem> item;
        if (!d || FAILED(d->QueryInterface(IID_MenuItem, item.put_void()))) return E_INVALIDARG;
        MenuClick(item.get());
        return S_OK;
    }

  private:
    // Private Sub tqMenu1_MenuClick(Menu As MenuItem)
    static void MenuClick(MenuItem* menu) {
        Bstr nome, caption;
        menu->get_Nome(nome.put());
        menu->get_Caption(caption.put());
        const std::wstring line = L"MenuClick: Nome = " + std::wstring(nome.view()) +
                                  L", Caption = " + std::wstring(caption.view());
        std::printf("%s\n", Utf8(line).c_str());
        std::fflush(stdout);
        g_clicks.push_back(std::wstring(nome.view()));
        SendMessageW(g_list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
        SetWindowTextW(g_last, (L"Último: " + std::wstring(nome.view()) + L"  (" +
                                std::wstring(caption.view()) + L")")
                                   .c_str());
        if (g_clicked) SetEvent(g_clicked);
        if (nome.view() == L"mnuSair") PostMessageW(g_form, WM_CLOSE, 0, 0);
        if (nome.view() == L"mnuSobre")
            MessageBoxW(g_form, L"tqMenuDemo: o controle tqMenu num formulário.", L"Sobre",
                        MB_OK | MB_ICONINFORMATION);
    }
};

// ---- the sample menu ----

ComPtr<MenuItem> Add(MenuTree* level, const wchar_t* caption, const wchar_t* nome) {
    Bstr c{std::wstring_view(caption)}, n{std::wstring_view(nome)};
    BSTR cb = c.get(), nb = n.get();
    short count = 0;
    level->Add(&cb, &nb, &count);
    level->get_Count(&count);
    Variant index;
    V_VT(&index) = VT_I2;
    V_I2(&index) = count;
    ComPtr<MenuItem> item;
    level->get_Item(index, item.put());
    return item;
}

ComPtr<MenuTree> Sub(MenuItem* item) {
    ComPtr<MenuTree> sub;
    item->get_SubMenu(sub.put());
    return sub;
}

ComPtr<MenuTree> SampleMenu() {
    CLSID clsid{};
    ComPtr<MenuTree> tree;
    if (FAILED(CLSIDFromProgID(L"tqBiblioteca.MenuTree", &clsid)) ||
        FAILED(
            CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_MenuTree, tree.put_void())))
        return nullptr;
    ComPtr<MenuTree> arquivo = Sub(Add(tree.get(), L"&Arquivo", L"mnuArquivo").get());
    Add(arquivo.get(), L"&Novo", L"mnuNovo");
    ComPtr<MenuItem> abrir = Add(arquivo.get(), L"&Abrir", L"mnuAbrir");
    abrir->put_TeclaExtenso(Bstr(std::wstring_view(L"Ctrl+A")).get());
    abrir->put_TextoMenu(Bstr(std::wstring_view(L"&Abrir\tCtrl+A")).get());
    Add(arquivo.get(), L"-", L"mnuSeparador1");
    Add(arquivo.get(), L"Sai&r", L"mnuSair");

    ComPtr<MenuTree> editar = Sub(Add(tree.get(), L"&Editar", L"mnuEditar").get());
    Add(editar.get(), L"&Copiar", L"mnuCopiar");
    ComPtr<MenuItem> colar = Add(editar.get(), L"C&olar", L"mnuColar");
    colar->put_Habilitado(VARIANT_FALSE);
    colar->put_HabilitadoDefault(VARIANT_FALSE);
    ComPtr<MenuTree> formatar = Sub(Add(editar.get(), L"&Formatar", L"mnuFormatar").get());
    Add(formatar.get(), L"&Negrito", L"mnuNegrito");
    Add(formatar.get(), L"&Itálico", L"mnuItalico");

    ComPtr<MenuTree> ajuda = Sub(Add(tree.get(), L"Aj&uda", L"mnuAjuda").get());
    Add(ajuda.get(), L"&Sobre", L"mnuSobre");
    return tree;
}

// The control as the form file holds it: the sample menu and ExibirMenu True.
ComPtr<IStream> SavedControl(MenuTree* tree) {
    ComPtr<_tqMenu> ctl;
    if (FAILED(CoCreateInstance(CLSID_tqMenu, nullptr, CLSCTX_INPROC_SERVER, IID__tqMenu,
                                ctl.put_void())))
        return nullptr;
    MenuTree* t = tree;
    ctl->putref_MenuTree(&t);
    VARIANT_BOOL on = VARIANT_TRUE;
    ctl->put_ExibirMenu(&on);
    ComPtr<IPersistStreamInit> persist;
    ComPtr<IStream> stream;
    if (FAILED(ctl.As(IID_IPersistStreamInit, &persist)) ||
        FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.put())) ||
        FAILED(persist->Save(stream.get(), TRUE)))
        return nullptr;
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    return stream;
}

// The command identifier the control gave the entry named `nome` (0 when none).
LONG HndOf(MenuTree* tree, const wchar_t* nome) {
    short n = 0;
    tree->get_Count(&n);
    for (short i = 1; i <= n; ++i) {
        Variant index;
        V_VT(&index) = VT_I2;
        V_I2(&index) = i;
        ComPtr<MenuItem> item;
        tree->get_Item(index, item.put());
        Bstr name;
        item->get_Nome(name.put());
        LONG hnd = 0;
        item->get_HndMenu(&hnd);
        if (name.view() == nome) return hnd;
        if (LONG inner = HndOf(Sub(item.get()).get(), nome)) return inner;
    }
    return 0;
}

// ---- the form ----

LRESULT CALLBACK FormProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_SIZE: {
            const int w = LOWORD(lp), h = HIWORD(lp);
            MoveWindow(g_last, 12, 10, w - 24, 22, TRUE);
            MoveWindow(g_list, 12, 40, w - 24, h - 52, TRUE);
            return 0;
        }
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// ---- headless driver: real keyboard input from a second thread ----

struct Script {
    std::wstring ready_file, done_file;
    bool ok = false;
};

void Tap(std::initializer_list<WORD> vks) {
    for (WORD vk : vks) {
        INPUT in[2] = {};
        in[0].type = in[1].type = INPUT_KEYBOARD;
        in[0].ki.wVk = in[1].ki.wVk = vk;
        in[1].ki.dwFlags = KEYEVENTF_KEYUP;
        SendInput(2, in, sizeof(INPUT));
        Sleep(60);  // a person's pace: each key reaches the menu loop in turn
    }
}

bool WaitClick(size_t count) {
    for (int i = 0; i < 100 && g_clicks.size() < count; ++i) WaitForSingleObject(g_clicked, 50);
    return g_clicks.size() >= count;
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

DWORD WINAPI Drive(void* arg) {
    auto* script = static_cast<Script*>(arg);
    Sleep(500);
    SetForegroundWindow(g_form);
    Tap({VK_MENU, 'A', 'N'});  // Arquivo > Novo
    bool ok = WaitClick(1);
    Tap({VK_MENU, 'E', 'F', 'I'});  // Editar > Formatar > Itálico
    ok = WaitClick(2) && ok;
    Tap({VK_MENU, 'E', 'F'});  // Editar > Formatar, left open for the picture
    Sleep(300);
    if (!script->ready_file.empty()) {
        HANDLE f = CreateFileW(script->ready_file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
        for (int i = 0; i < 300 && !FileExists(script->done_file); ++i) Sleep(50);
    }
    Tap({VK_ESCAPE, VK_ESCAPE, VK_ESCAPE});
    Sleep(200);
    Tap({VK_MENU, 'A', 'R'});  // Arquivo > Sair
    ok = WaitClick(3) && ok;
    script->ok = ok;
    if (!ok) PostMessageW(g_form, WM_CLOSE, 0, 0);
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    bool headless = false;
    Script script;
    for (int i = 1; i < argc; ++i) {
        const std::wstring a = argv[i];
        if (a == L"--headless")
            headless = true;
        else if (a == L"--ready-file" && i + 1 < argc)
            script.ready_file = argv[++i];
        else if (a == L"--done-file" && i + 1 < argc)
            script.done_file = argv[++i];
    }
    LocalFree(argv);

    if (FAILED(OleInitialize(nullptr))) return 2;
    HMODULE atl = LoadLibraryW(L"atl100.dll");
    auto init = atl ? reinterpret_cast<BOOL(WINAPI*)()>(
                          reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxWinInit")))
                    : nullptr;
    using CreateFn =
        HRESULT(WINAPI*)(LPCOLESTR, HWND, IStream*, IUnknown**, IUnknown**, REFIID, IUnknown*);
    auto create = atl ? reinterpret_cast<CreateFn>(
                            reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxCreateControlEx")))
                      : nullptr;
    if (!init || !create || !init()) {
        std::printf("tqMenuDemo: o host ActiveX (atl100.dll) não está disponível\n");
        return 2;
    }

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = FormProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"tqMenuDemoForm";
    RegisterClassExW(&wc);
    g_form =
        CreateWindowExW(0, wc.lpszClassName, L"tqMenuDemo - Formulário com tqMenu",
                        WS_OVERLAPPEDWINDOW, 60, 60, 560, 360, nullptr, nullptr, instance, nullptr);
    g_last = CreateWindowExW(0, L"STATIC", L"Escolha uma entrada do menu.", WS_CHILD | WS_VISIBLE,
                             0, 0, 0, 0, g_form, nullptr, instance, nullptr);
    g_list = CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", L"",
                             WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOINTEGRALHEIGHT, 0, 0, 0, 0,
                             g_form, nullptr, instance, nullptr);
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    SendMessageW(g_last, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SendMessageW(g_list, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);

    // tqMenu1, loaded from the "form file" by the ATL host.
    ComPtr<MenuTree> sample = SampleMenu();
    ComPtr<IStream> saved = sample ? SavedControl(sample.get()) : nullptr;
    if (!saved) {
        std::printf("tqMenuDemo: tqBiblioteca.dll e tqMenuCtl.ocx precisam estar registrados\n");
        return 2;
    }
    HWND site = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 500, 4, 40, 40, g_form,
                                nullptr, instance, nullptr);
    ComPtr<IUnknown> container, control;
    ShowWindow(g_form, headless ? SW_SHOWNORMAL : show);
    UpdateWindow(g_form);
    HRESULT hr = create(L"tqMenuCtl.tqMenu", site, saved.get(), container.put(), control.put(),
                        IID_NULL, nullptr);
    ComPtr<IConnectionPointContainer> cpc;
    ComPtr<IConnectionPoint> cp;
    DWORD cookie = 0;
    ComPtr<MenuEvents> events = MenuEvents::Make();
    if (SUCCEEDED(hr) && control) hr = control.As(IID_IConnectionPointContainer, &cpc);
    if (SUCCEEDED(hr)) hr = cpc->FindConnectionPoint(DIID___tqMenu, cp.put());
    if (SUCCEEDED(hr)) hr = cp->Advise(events->Identity(), &cookie);
    if (FAILED(hr)) {
        std::printf("tqMenuDemo: o controle tqMenu não pôde ser criado (0x%08lX)\n",
                    static_cast<unsigned long>(hr));
        return 2;
    }

    // Ctrl+A: the same command as Arquivo > Abrir (an accelerator's WM_COMMAND raises MenuClick
    // like the menu's own).
    ComPtr<_tqMenu> menu;
    ComPtr<MenuTree> tree;
    control.As(IID__tqMenu, &menu);
    menu->get_MenuTree(tree.put());
    ACCEL accel{FCONTROL | FVIRTKEY, 'A', static_cast<WORD>(HndOf(tree.get(), L"mnuAbrir"))};
    HACCEL accels = CreateAcceleratorTableW(&accel, 1);
    tree = nullptr;
    menu = nullptr;

    HANDLE driver = nullptr;
    if (headless) {
        g_clicked = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        driver = CreateThread(nullptr, 0, Drive, &script, 0, nullptr);
    }
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (TranslateAcceleratorW(g_form, accels, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (driver) {
        WaitForSingleObject(driver, 10000);
        CloseHandle(driver);
    }
    cp->Unadvise(cookie);
    DestroyAcceleratorTable(accels);
    cp = nullptr;
    cpc = nullptr;
    control = nullptr;
    container = nullptr;
    OleUninitialize();
    if (headless) {
        std::printf("tqMenuDemo: %zu MenuClick recebidos; %s\n", g_clicks.size(),
                    script.ok ? "OK" : "FALHOU");
        return script.ok ? 0 : 1;
    }
    return 0;
}
