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
//   tqMenuDemo.exe --propriedades [--auto-close-ms N]
//                                        once the form is up, opens the control's property page
//                                        (tqMenuProperty) in the demo's own modal frame with OK,
//                                        Cancelar and Aplicar; OK and Aplicar apply the page and
//                                        call ReExibirMenu, so the form's bar shows the new menu.
//                                        With --auto-close-ms the frame presses its own OK after
//                                        N ms, the form checks its bar and closes: exit code 0
//                                        when the page was shown, clean, and the bar came back.
//   tqMenuDemo.exe --propriedades-ole    the same through OleCreatePropertyFrame (on Windows the
//                                        system frame applies the page; Wine's never does).
#include <windows.h>
#include <ocidl.h>
#include <commctrl.h>
#include <olectl.h>
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
        std::printf("%s\n", tq::ToUtf8(tq::com::AsPortable(line)).c_str());
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

ComPtr<MenuItem> ItemAt(MenuTree* level, LONG position) {
    ComPtr<MenuItem> item;
    level->get_Item(Variant::FromLong(position), item.put());
    return item;
}

ComPtr<MenuItem> Add(MenuTree* level, const wchar_t* caption, const wchar_t* nome) {
    Bstr c{std::wstring_view(caption)}, n{std::wstring_view(nome)};
    BSTR cb = c.get(), nb = n.get();
    short count = 0;
    level->Add(&cb, &nb, &count);
    level->get_Count(&count);
    return ItemAt(level, count);
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
        ComPtr<MenuItem> item = ItemAt(tree, i);
        Bstr name;
        item->get_Nome(name.put());
        LONG hnd = 0;
        item->get_HndMenu(&hnd);
        if (name.view() == nome) return hnd;
        if (LONG inner = HndOf(Sub(item.get()).get(), nome)) return inner;
    }
    return 0;
}

// ---- the control's property page in a frame of the demo's own ----
//
// Wine's OleCreatePropertyFrame never calls IPropertyPage::Apply (and its Aplicar button never
// enables), so the demo is the frame itself: it gives the page a site, the control as its object
// and a window, and applies the page when OK or Aplicar is pressed.

constexpr UINT kOpenProperties = WM_APP + 2;  // posted once the form is up
constexpr int kIdAplicar = 0x3021;            // the frame's buttons: IDOK, IDCANCEL, this
constexpr UINT_PTR kAutoCloseTimer = 1;

IUnknown* g_control = nullptr;  // tqMenu1 (the host's reference; valid while the form lives)
HACCEL g_accels = nullptr;

enum class PageMode { None, Frame, Ole };
PageMode g_page_mode = PageMode::None;
UINT g_auto_close_ms = 0;
bool g_page_ok = false;

struct FrameState {
    ComPtr<IPropertyPage> page;
    HWND frame = nullptr;
    HWND tab = nullptr;
    HWND ok = nullptr;
    HWND cancel = nullptr;
    HWND apply = nullptr;
    UINT auto_close_ms = 0;  // > 0: press OK after this long (the smoke test)
    bool done = false;
    // What the automatic run saw.
    bool page_seen = false;
    bool clean_at_start = false;
    bool reshown = false;
};
FrameState* g_frame = nullptr;

// Ctrl+A follows mnuAbrir's command identifier, which a new tree may change.
void RebuildAccelerators() {
    if (g_accels) DestroyAcceleratorTable(g_accels);
    g_accels = nullptr;
    ComPtr<_tqMenu> menu;
    ComPtr<MenuTree> tree;
    if (!g_control || FAILED(g_control->QueryInterface(IID__tqMenu, menu.put_void())) ||
        FAILED(menu->get_MenuTree(tree.put())) || !tree)
        return;
    if (const LONG id = HndOf(tree.get(), L"mnuAbrir")) {
        ACCEL accel{FCONTROL | FVIRTKEY, 'A', static_cast<WORD>(id)};
        g_accels = CreateAcceleratorTableW(&accel, 1);
    }
}

// The form's bar shows the control's (possibly new) tree.
bool ReExibir() {
    ComPtr<_tqMenu> menu;
    if (!g_control || FAILED(g_control->QueryInterface(IID__tqMenu, menu.put_void()))) return false;
    Variant result;
    const HRESULT hr = menu->ReExibirMenu(&result);
    if (FAILED(hr)) {
        std::printf("tqMenuDemo: ReExibirMenu falhou (0x%08lX)\n", static_cast<unsigned long>(hr));
        return false;
    }
    RebuildAccelerators();
    DrawMenuBar(g_form);
    return true;
}

// The frame's side of the page: Aplicar follows the page's dirty state.
class FrameSite final : public tq::com::ComObject<FrameSite, IPropertyPageSite> {
  public:
    static std::span<const tq::com::QiEntry> Interfaces() {
        static const tq::com::QiEntry table[] = {TQ_QI(FrameSite, IPropertyPageSite)};
        return table;
    }
    IFACEMETHODIMP OnStatusChange(DWORD flags) override {
        if (g_frame && g_frame->apply && (flags & PROPPAGESTATUS_DIRTY))
            EnableWindow(g_frame->apply, TRUE);
        return S_OK;
    }
    IFACEMETHODIMP GetLocaleID(LCID* lcid) override {
        if (!lcid) return E_POINTER;
        *lcid = LOCALE_USER_DEFAULT;
        return S_OK;
    }
    IFACEMETHODIMP GetPageContainer(IUnknown** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    IFACEMETHODIMP TranslateAccelerator(MSG*) override { return S_FALSE; }
};

// Applies a changed page; false when the page refused (it has told the user why).
bool ApplyPage(FrameState& f) {
    if (f.page->IsPageDirty() == S_OK) {
        const HRESULT hr = f.page->Apply();
        if (FAILED(hr)) return false;
    }
    EnableWindow(f.apply, FALSE);
    f.reshown = ReExibir();
    return true;
}

void CloseFrame(FrameState& f) {
    if (f.done) return;
    f.done = true;
    f.page->Show(SW_HIDE);
    f.page->Deactivate();
    EnableWindow(g_form, TRUE);  // before the frame goes, so the form gets the activation back
    DestroyWindow(f.frame);
}

// The page's own window: the frame's child that is none of the frame's controls.
HWND PageWindow(const FrameState& f) {
    for (HWND w = GetWindow(f.frame, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
        if (w != f.tab && w != f.ok && w != f.cancel && w != f.apply) return w;
    return nullptr;
}

LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    FrameState* f = g_frame;
    if (!f || f->frame != hwnd) return DefWindowProcW(hwnd, msg, wp, lp);
    switch (msg) {
        case WM_COMMAND:
            switch (LOWORD(wp)) {
                case IDOK:
                    if (ApplyPage(*f)) CloseFrame(*f);
                    return 0;
                case IDCANCEL:
                    CloseFrame(*f);
                    return 0;
                case kIdAplicar:
                    ApplyPage(*f);
                    return 0;
            }
            break;
        case WM_TIMER:
            if (wp == kAutoCloseTimer) {
                KillTimer(hwnd, kAutoCloseTimer);
                const HWND page = PageWindow(*f);
                f->page_seen = page && IsWindowVisible(page);
                f->clean_at_start = !IsWindowEnabled(f->apply) && f->page->IsPageDirty() != S_OK;
                SendMessageW(f->ok, BM_CLICK, 0, 0);
                return 0;
            }
            break;
        case WM_CLOSE:
            CloseFrame(*f);
            return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// The control's first property page (its ISpecifyPropertyPages) and the pages' list.
HRESULT ControlPages(CAUUID* pages) {
    pages->cElems = 0;
    pages->pElems = nullptr;
    ComPtr<ISpecifyPropertyPages> specify;
    HRESULT hr = g_control
                     ? g_control->QueryInterface(IID_ISpecifyPropertyPages, specify.put_void())
                     : E_POINTER;
    if (SUCCEEDED(hr)) hr = specify->GetPages(pages);
    if (SUCCEEDED(hr) && pages->cElems == 0) hr = E_FAIL;
    return hr;
}

// The page over the control, with the frame's `site`; false (after saying why) when it cannot be
// made.  `info` receives the page's title and size.
bool OpenPage(FrameState& f, IPropertyPageSite* site, PROPPAGEINFO& info) {
    CAUUID pages{};
    HRESULT hr = ControlPages(&pages);
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(pages.pElems[0], nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage,
                              f.page.put_void());
    CoTaskMemFree(pages.pElems);
    info.cb = sizeof(info);
    if (SUCCEEDED(hr)) hr = f.page->SetPageSite(site);
    if (SUCCEEDED(hr)) hr = f.page->SetObjects(1, &g_control);
    if (SUCCEEDED(hr)) hr = f.page->GetPageInfo(&info);
    if (FAILED(hr)) {
        std::printf("tqMenuDemo: a página de propriedades não pôde ser aberta (0x%08lX)\n",
                    static_cast<unsigned long>(hr));
        if (f.page) f.page->SetPageSite(nullptr);
        return false;
    }
    return true;
}

constexpr DWORD kFrameStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr int kMargin = 7, kButtonW = 75, kButtonH = 23, kGap = 6;

// A top-level window class with the dialog face colour and the arrow cursor.
bool RegisterWindowClass(HINSTANCE instance, WNDPROC proc, const wchar_t* name) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = name;
    return RegisterClassExW(&wc) != 0;
}

void RegisterFrameClass(HINSTANCE instance) {
    static bool registered = false;
    if (!registered)
        registered = RegisterWindowClass(instance, FrameProc, L"tqMenuDemoPropertyFrame");
}

// OK, Cancelar and Aplicar in a row ending at the right margin, at height `y`.
void CreateFrameButtons(FrameState& f, HINSTANCE instance, int client_w, int y, HFONT font) {
    struct Button {
        HWND* hwnd;
        const wchar_t* text;
        int id;
        DWORD style;
    } buttons[] = {{&f.ok, L"OK", IDOK, BS_DEFPUSHBUTTON},
                   {&f.cancel, L"Cancelar", IDCANCEL, BS_PUSHBUTTON},
                   {&f.apply, L"Aplicar", kIdAplicar, BS_PUSHBUTTON}};
    int x = client_w - kMargin - 3 * kButtonW - 2 * kGap;
    for (Button& b : buttons) {
        *b.hwnd =
            CreateWindowExW(0, L"BUTTON", b.text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | b.style, x,
                            y, kButtonW, kButtonH, f.frame,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(b.id)), instance, nullptr);
        SendMessageW(*b.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        x += kButtonW + kGap;
    }
    EnableWindow(f.apply, FALSE);
}

// The frame window, its tab titled `title` and its buttons, laid out for a page of `page_size`
// (the tab's display area; the buttons under it on the right).  Returns the page's place.
RECT CreateFrame(FrameState& f, HINSTANCE instance, SIZE page_size, const std::wstring& title) {
    RegisterFrameClass(instance);
    g_frame = &f;
    f.frame = CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, L"tqMenuDemoPropertyFrame",
                              L"Propriedades de tqMenu1", kFrameStyle, 0, 0, 100, 100, g_form,
                              nullptr, instance, nullptr);
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    f.tab = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0,
                            100, 100, f.frame, nullptr, instance, nullptr);
    SendMessageW(f.tab, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(title.c_str());
    SendMessageW(f.tab, TCM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));

    RECT tab_rect{0, 0, page_size.cx, page_size.cy};
    TabCtrl_AdjustRect(f.tab, TRUE, &tab_rect);
    OffsetRect(&tab_rect, kMargin - tab_rect.left, kMargin - tab_rect.top);
    const int client_w = tab_rect.right + kMargin;
    const int buttons_y = tab_rect.bottom + kMargin;
    RECT frame_rect{0, 0, client_w, buttons_y + kButtonH + kMargin};
    AdjustWindowRectEx(&frame_rect, kFrameStyle, FALSE, WS_EX_DLGMODALFRAME);
    RECT form_rect{};
    GetWindowRect(g_form, &form_rect);
    SetWindowPos(f.frame, nullptr, form_rect.left + 40, form_rect.top + 40,
                 frame_rect.right - frame_rect.left, frame_rect.bottom - frame_rect.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    MoveWindow(f.tab, tab_rect.left, tab_rect.top, tab_rect.right - tab_rect.left,
               tab_rect.bottom - tab_rect.top, FALSE);
    CreateFrameButtons(f, instance, client_w, buttons_y, font);

    RECT page_rect = tab_rect;
    TabCtrl_AdjustRect(f.tab, FALSE, &page_rect);
    return page_rect;
}

// The page in `rect`, above the tab control; false (after saying why, with the frame and the
// page's objects gone) when it cannot be shown.
bool ShowPage(FrameState& f, const RECT& rect) {
    HRESULT hr = f.page->Activate(f.frame, &rect, TRUE);
    if (SUCCEEDED(hr)) hr = f.page->Show(SW_SHOW);
    if (FAILED(hr)) {
        std::printf("tqMenuDemo: a página de propriedades não pôde ser mostrada (0x%08lX)\n",
                    static_cast<unsigned long>(hr));
        f.done = true;
        f.page->Deactivate();
        DestroyWindow(f.frame);
        f.page->SetObjects(0, nullptr);
        f.page->SetPageSite(nullptr);
        g_frame = nullptr;
        return false;
    }
    if (HWND page = PageWindow(f))
        SetWindowPos(page, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return true;
}

// Shows the frame modal to the form, as a dialog box is, and runs it until OK or Cancelar.
// Returns false when a WM_QUIT ended it (left in `msg`).
bool RunFrameModal(FrameState& f, MSG& msg) {
    EnableWindow(g_form, FALSE);
    ShowWindow(f.frame, SW_SHOW);
    SetForegroundWindow(f.frame);
    if (HWND first = GetNextDlgTabItem(f.frame, nullptr, FALSE)) SetFocus(first);
    if (f.auto_close_ms) SetTimer(f.frame, kAutoCloseTimer, f.auto_close_ms, nullptr);
    while (!f.done) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) return got != 0;
        // Keys go to the page first, then to the frame's own dialog navigation.
        if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST &&
            (msg.hwnd == f.frame || IsChild(f.frame, msg.hwnd))) {
            if (f.page->TranslateAccelerator(&msg) == S_OK) continue;
            if (IsDialogMessageW(f.frame, &msg)) continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return true;
}

// What the automatic run saw, printed; true when it is everything it looks for.
bool ReportAutoRun(const FrameState& f) {
    HMENU bar = GetMenu(g_form);
    const int top = bar ? GetMenuItemCount(bar) : 0;
    std::printf("tqMenuDemo: página %s, %s ao abrir, ReExibirMenu %s, %d entradas na barra\n",
                f.page_seen ? "mostrada" : "ausente", f.clean_at_start ? "limpa" : "suja",
                f.reshown ? "chamado" : "falhou", top);
    return f.page_seen && f.clean_at_start && f.reshown && top == 3;
}

// Runs the demo's frame over the control's page until OK or Cancelar; true when the automatic
// run saw everything it looks for (always true for a person's run that opened the page).
bool RunPropertyFrame(HINSTANCE instance, UINT auto_close_ms) {
    FrameState f;
    f.auto_close_ms = auto_close_ms;
    ComPtr<FrameSite> site = FrameSite::Make();
    PROPPAGEINFO info{};
    if (!OpenPage(f, site.get(), info)) return false;
    const std::wstring title = info.pszTitle ? info.pszTitle : L"Principal";
    CoTaskMemFree(info.pszTitle);
    CoTaskMemFree(info.pszDocString);
    CoTaskMemFree(info.pszHelpFile);

    if (!ShowPage(f, CreateFrame(f, instance, info.size, title))) return false;
    MSG msg{};
    const bool quit = !RunFrameModal(f, msg);
    if (!f.done) CloseFrame(f);
    f.page->SetObjects(0, nullptr);
    f.page->SetPageSite(nullptr);
    g_frame = nullptr;
    if (quit) PostQuitMessage(static_cast<int>(msg.wParam));
    return !auto_close_ms || ReportAutoRun(f);
}

// The system's frame over the same pages; the menu bar is shown again when it returns.
bool RunOlePropertyFrame() {
    CAUUID pages{};
    HRESULT hr = ControlPages(&pages);
    if (SUCCEEDED(hr))
        hr = OleCreatePropertyFrame(g_form, 40, 40, L"tqMenu1", 1, &g_control, pages.cElems,
                                    pages.pElems, LOCALE_USER_DEFAULT, 0, nullptr);
    CoTaskMemFree(pages.pElems);
    if (FAILED(hr)) {
        std::printf("tqMenuDemo: OleCreatePropertyFrame falhou (0x%08lX)\n",
                    static_cast<unsigned long>(hr));
        return false;
    }
    return ReExibir();
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
        case kOpenProperties:
            g_page_ok =
                g_page_mode == PageMode::Ole
                    ? RunOlePropertyFrame()
                    : RunPropertyFrame(
                          reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd, GWLP_HINSTANCE)),
                          g_auto_close_ms);
            if (g_auto_close_ms) PostMessageW(hwnd, WM_CLOSE, 0, 0);
            return 0;
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

// ---- start and end ----

struct Options {
    bool headless = false;
    Script script;
};

// The command line; the page options go to g_page_mode and g_auto_close_ms.
Options ParseCommandLine() {
    Options o;
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    for (int i = 1; i < argc; ++i) {
        const std::wstring a = argv[i];
        if (a == L"--headless")
            o.headless = true;
        else if (a == L"--ready-file" && i + 1 < argc)
            o.script.ready_file = argv[++i];
        else if (a == L"--done-file" && i + 1 < argc)
            o.script.done_file = argv[++i];
        else if (a == L"--propriedades")
            g_page_mode = PageMode::Frame;
        else if (a == L"--propriedades-ole")
            g_page_mode = PageMode::Ole;
        else if (a == L"--auto-close-ms" && i + 1 < argc)
            g_auto_close_ms = static_cast<UINT>(std::wcstoul(argv[++i], nullptr, 10));
    }
    LocalFree(argv);
    if (g_page_mode != PageMode::Frame) g_auto_close_ms = 0;  // only the demo's frame presses OK
    return o;
}

using CreateControlFn = HRESULT(WINAPI*)(LPCOLESTR, HWND, IStream*, IUnknown**, IUnknown**, REFIID,
                                         IUnknown*);

// ATL's control host, loaded at run time: its AtlAxCreateControlEx once AtlAxWinInit ran, or
// null (after saying why) when there is none.
CreateControlFn LoadAtlHost() {
    HMODULE atl = LoadLibraryW(L"atl100.dll");
    auto init = atl ? reinterpret_cast<BOOL(WINAPI*)()>(
                          reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxWinInit")))
                    : nullptr;
    auto create = atl ? reinterpret_cast<CreateControlFn>(
                            reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxCreateControlEx")))
                      : nullptr;
    if (!init || !create || !init()) {
        std::printf("tqMenuDemo: o host ActiveX (atl100.dll) não está disponível\n");
        return nullptr;
    }
    return create;
}

// The property frame's tab control (comctl32 loaded at run time: the demo links no import
// library for it).
void InitTabControls() {
    if (HMODULE comctl = LoadLibraryW(L"comctl32.dll")) {
        using InitFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
        if (auto init_cc = reinterpret_cast<InitFn>(
                reinterpret_cast<void*>(GetProcAddress(comctl, "InitCommonControlsEx")))) {
            INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_TAB_CLASSES};
            init_cc(&icc);
        }
    }
}

// The form with its last-click label and its list of MenuClicks (not shown yet).
void CreateForm(HINSTANCE instance) {
    RegisterWindowClass(instance, FormProc, L"tqMenuDemoForm");
    g_form =
        CreateWindowExW(0, L"tqMenuDemoForm", L"tqMenuDemo - Formulário com tqMenu",
                        WS_OVERLAPPEDWINDOW, 60, 60, 560, 360, nullptr, nullptr, instance, nullptr);
    g_last = CreateWindowExW(0, L"STATIC", L"Escolha uma entrada do menu.", WS_CHILD | WS_VISIBLE,
                             0, 0, 0, 0, g_form, nullptr, instance, nullptr);
    g_list = CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", L"",
                             WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOINTEGRALHEIGHT, 0, 0, 0, 0,
                             g_form, nullptr, instance, nullptr);
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    SendMessageW(g_last, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SendMessageW(g_list, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

// tqMenu1 on the form, with the form's handler of its events.
struct HostedControl {
    ComPtr<IUnknown> container, control;
    ComPtr<IConnectionPoint> cp;
    DWORD cookie = 0;
};

// Shows the form (`show`) and loads tqMenu1 from the "form file" into it through the ATL host;
// false (after saying why) when it cannot.
bool HostControl(CreateControlFn create, HINSTANCE instance, int show, HostedControl& h) {
    ComPtr<MenuTree> sample = SampleMenu();
    ComPtr<IStream> saved = sample ? SavedControl(sample.get()) : nullptr;
    if (!saved) {
        std::printf("tqMenuDemo: tqBiblioteca.dll e tqMenuCtl.ocx precisam estar registrados\n");
        return false;
    }
    HWND site = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 500, 4, 40, 40, g_form,
                                nullptr, instance, nullptr);
    ShowWindow(g_form, show);
    UpdateWindow(g_form);
    HRESULT hr = create(L"tqMenuCtl.tqMenu", site, saved.get(), h.container.put(), h.control.put(),
                        IID_NULL, nullptr);
    ComPtr<IConnectionPointContainer> cpc;
    ComPtr<MenuEvents> events = MenuEvents::Make();
    if (SUCCEEDED(hr) && h.control) hr = h.control.As(IID_IConnectionPointContainer, &cpc);
    if (SUCCEEDED(hr)) hr = cpc->FindConnectionPoint(DIID___tqMenu, h.cp.put());
    if (SUCCEEDED(hr)) hr = h.cp->Advise(events->Identity(), &h.cookie);
    if (FAILED(hr)) {
        std::printf("tqMenuDemo: o controle tqMenu não pôde ser criado (0x%08lX)\n",
                    static_cast<unsigned long>(hr));
        return false;
    }
    return true;
}

// The form's message loop, with the headless driver beside it when asked for.
void RunForm(bool headless, Script& script) {
    HANDLE driver = nullptr;
    if (headless) {
        g_clicked = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        driver = CreateThread(nullptr, 0, Drive, &script, 0, nullptr);
    }
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (g_accels && TranslateAcceleratorW(g_form, g_accels, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (driver) {
        WaitForSingleObject(driver, 10000);
        CloseHandle(driver);
    }
}

void ReleaseControl(HostedControl& h) {
    h.cp->Unadvise(h.cookie);
    if (g_accels) DestroyAcceleratorTable(g_accels);
    g_accels = nullptr;
    g_control = nullptr;
    h.cp = nullptr;
    h.control = nullptr;
    h.container = nullptr;
}

// The exit code, with the automatic runs' verdict printed.
int Outcome(const Options& o) {
    if (o.headless) {
        std::printf("tqMenuDemo: %zu MenuClick recebidos; %s\n", g_clicks.size(),
                    o.script.ok ? "OK" : "FALHOU");
        return o.script.ok ? 0 : 1;
    }
    if (g_auto_close_ms) {
        std::printf("tqMenuDemo: propriedades %s\n", g_page_ok ? "OK" : "FALHOU");
        return g_page_ok ? 0 : 1;
    }
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    Options options = ParseCommandLine();
    if (FAILED(OleInitialize(nullptr))) return 2;
    const CreateControlFn create = LoadAtlHost();
    if (!create) return 2;
    InitTabControls();
    CreateForm(instance);
    HostedControl hosted;
    if (!HostControl(create, instance, options.headless || g_auto_close_ms ? SW_SHOWNORMAL : show,
                     hosted))
        return 2;

    // Ctrl+A: the same command as Arquivo > Abrir (an accelerator's WM_COMMAND raises MenuClick
    // like the menu's own).
    g_control = hosted.control.get();
    RebuildAccelerators();
    if (g_page_mode != PageMode::None) PostMessageW(g_form, kOpenProperties, 0, 0);
    RunForm(options.headless, options.script);
    ReleaseControl(hosted);
    OleUninitialize();
    return Outcome(options);
}
