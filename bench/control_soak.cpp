// Soak of the tqMenu control: for a given time (60 s unless told), again and again a form is
// made, the control is hosted on it by Wine's ATL host from a saved stream (load, in-place
// activation, the form's bar built), and then the control and the form are destroyed.  Prints
// the process's private memory after the first cycle, at half time and at the end, the menus
// left alive (every handle of each cycle's bar checked with IsMenu after the form is gone) and
// the USER and GDI object counts (GetGuiResources; Wine does not count them and says so).
//
// Run it with one command, after the Wine tests have registered tqBiblioteca.dll and
// tqMenuCtl.ocx in the prefix; the argument is the length of the run in seconds (60 if left out):
// clang-format off
//   tools/wine-run.sh --prefix build/win64/wineprefix --arch 64 build/win64/bench/bench_control_soak.exe 60
// clang-format on
#include <windows.h>
#include <ocidl.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ctl_test.h"

using namespace tq::test;

namespace {

LRESULT CALLBACK FormProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    return DefWindowProcW(h, m, w, l);
}

// Private (committed) memory.  PagefileUsage is the same figure as PrivateUsage on Windows, and
// the one Wine fills in (its PrivateUsage stays 0).
double PrivateMb() {
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof(pmc);
    if (!K32GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc))) return -1;
    return static_cast<double>(pmc.PagefileUsage) / (1024.0 * 1024.0);
}

std::string GuiObjects() {
    SetLastError(0);
    const DWORD user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    const DWORD gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (user == 0 && gdi == 0) return "not counted here";
    return "USER " + std::to_string(user) + ", GDI " + std::to_string(gdi);
}

void Pump() {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
}

// Every menu handle of `bar`, the bar first.
void CollectMenus(HMENU menu, std::vector<HMENU>& out) {
    if (!menu) return;
    out.push_back(menu);
    const int n = GetMenuItemCount(menu);
    for (int i = 0; i < n; ++i) CollectMenus(GetSubMenu(menu, i), out);
}

// A control saved with a form's worth of menu (3 menus of 8 entries, one submenu each) and
// ExibirMenu True: the bytes a form file would hold.
std::string SavedForm() {
    ComPtr<MenuTree> tree = NewTree();
    if (!tree) return {};
    for (int t = 1; t <= 3; ++t) {
        ComPtr<MenuTree> l1 = SubOf(
            AddEntry(tree.get(), L"Menu " + std::to_wstring(t), L"m" + std::to_wstring(t)).get());
        ComPtr<MenuItem> first;
        for (int e = 1; e <= 8; ++e) {
            const std::wstring nome = L"m" + std::to_wstring(t) + L"_" + std::to_wstring(e);
            ComPtr<MenuItem> item = AddEntry(l1.get(), L"Comando " + std::to_wstring(e), nome);
            if (e == 1) first = item;
        }
        AddEntry(SubOf(first.get()).get(), L"Detalhe", L"d" + std::to_wstring(t));
    }
    ComPtr<IStream> saved = SavedControl(tree.get(), true);
    return saved ? StreamBytes(saved.get()) : std::string();
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 60.0;
    if (seconds <= 0 || FAILED(OleInitialize(nullptr))) return 2;
    if (!AtlModule()) {
        std::printf("atl100.dll's control host is not available\n");
        return 1;
    }
    const std::string saved = SavedForm();
    if (saved.empty()) {
        std::printf("tqMenuCtl.tqMenu is not registered\n");
        return 1;
    }
    WNDCLASSW wc{};
    wc.lpfnWndProc = FormProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"tqSoakForm";
    RegisterClassW(&wc);

    std::printf("tqMenu soak: host, activate and destroy for %.0f s\n", seconds);
    const auto start = std::chrono::steady_clock::now();
    const auto elapsed = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    long cycles = 0, leaked = 0, failures = 0;
    bool middle_printed = false;
    do {
        HWND form = CreateWindowExW(0, L"tqSoakForm", L"soak", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300,
                                    nullptr, nullptr, wc.hInstance, nullptr);
        std::vector<HMENU> menus;
        HWND host = nullptr;
        {
            ComPtr<IUnknown> control;
            host = HostInAtl(form, StreamOf(saved).get(), &control);
            if (!control) ++failures;
            Pump();
            CollectMenus(GetMenu(form), menus);
            if (menus.empty()) ++failures;  // activation built no bar
        }
        DestroyWindow(host);  // the ATL host releases the control with its window
        Pump();
        DestroyWindow(form);  // and the bar goes with the form
        Pump();
        for (HMENU m : menus)
            if (IsMenu(m)) ++leaked;
        ++cycles;
        if (cycles == 1)
            std::printf("  start   %8.1f s  %7ld cycles  private %7.1f MB  %s\n", elapsed(), cycles,
                        PrivateMb(), GuiObjects().c_str());
        if (!middle_printed && elapsed() >= seconds / 2) {
            middle_printed = true;
            std::printf("  middle  %8.1f s  %7ld cycles  private %7.1f MB  %s\n", elapsed(), cycles,
                        PrivateMb(), GuiObjects().c_str());
        }
    } while (elapsed() < seconds);
    std::printf("  end     %8.1f s  %7ld cycles  private %7.1f MB  %s\n", elapsed(), cycles,
                PrivateMb(), GuiObjects().c_str());
    std::printf("%ld cycles (%.0f a second), %ld menus leaked, %ld failed cycles\n", cycles,
                cycles / elapsed(), leaked, failures);
    OleUninitialize();
    return leaked == 0 && failures == 0 ? 0 : 1;
}
