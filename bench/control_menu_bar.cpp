// The menu bar of a three-level tree built by the tqMenu control (ReExibirMenu, hosted by
// Wine's ATL host on a real form) against the same bar built by a plain CreateMenu /
// InsertMenuItemA loop over an ordinary C++ tree, in one run.  Goal: control / raw <= 1.3.
//
//   tools/wine-run.sh --prefix build/win64/wineprefix build/win64/bench/bench_control_menu_bar.exe
// (tqBiblioteca.dll and tqMenuCtl.ocx registered in that prefix, as the Wine tests leave it).
#include <windows.h>
#include <ocidl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "tqMenuCtl.h"
#include "tq/com/com_ptr.h"
#include "tq/com/late_bind.h"
#include "tq/com/strings.h"
#include "tq/com/variant.h"
#include "ctl_test.h"

using tq::com::Bstr;
using tq::com::ComPtr;
using tq::com::Variant;

namespace {

struct Node {
    std::string text;
    std::vector<Node> children;
};

struct Shape {
    int top, mid, leaves;
    int Total() const { return top + top * mid + top * mid * leaves; }
};

// About `n` entries on three levels.
Shape ShapeFor(int n) {
    const int top = n >= 5000 ? 10 : 5;
    const int mid = top;
    const int leaves = std::max(1, (n - top - top * mid) / (top * mid));
    return {top, mid, leaves};
}

void Add(MenuTree* level, const std::wstring& caption, const std::wstring& nome) {
    tq::test::AddEntry(level, caption, nome);
}
ComPtr<MenuTree> Sub(MenuTree* level, short i) {
    return tq::test::SubOf(tq::test::ItemAt(level, i).get());
}

// The same entries as a COM tree and as a plain tree.
void MakeTrees(Shape s, MenuTree* tree, std::vector<Node>& plain) {
    for (int t = 0; t < s.top; ++t) {
        const std::wstring tt = L"Menu " + std::to_wstring(t);
        Add(tree, tt, L"m" + std::to_wstring(t));
        ComPtr<MenuTree> l1 = Sub(tree, static_cast<short>(t + 1));
        Node top{tq::com::ToAnsi(tt), {}};
        for (int m = 0; m < s.mid; ++m) {
            const std::wstring mt = L"Submenu " + std::to_wstring(t) + L"." + std::to_wstring(m);
            Add(l1.get(), mt, L"m" + std::to_wstring(t) + L"_" + std::to_wstring(m));
            ComPtr<MenuTree> l2 = Sub(l1.get(), static_cast<short>(m + 1));
            Node mid{tq::com::ToAnsi(mt), {}};
            for (int l = 0; l < s.leaves; ++l) {
                const std::wstring lt = L"Comando " + std::to_wstring(l);
                Add(l2.get(), lt,
                    L"c" + std::to_wstring(t) + L"_" + std::to_wstring(m) + L"_" +
                        std::to_wstring(l));
                mid.children.push_back({tq::com::ToAnsi(lt), {}});
            }
            top.children.push_back(std::move(mid));
        }
        plain.push_back(std::move(top));
    }
}

UINT g_raw_id = 1000;

void RawLevel(HMENU parent, const std::vector<Node>& level) {
    for (const Node& n : level) {
        MENUITEMINFOA mii{};
        mii.cbSize = sizeof(mii);
        mii.fMask = MIIM_STATE | MIIM_ID | MIIM_TYPE | MIIM_DATA;
        mii.fType = MFT_STRING;
        mii.wID = g_raw_id++;
        if (!n.children.empty()) {
            mii.fMask |= MIIM_SUBMENU;
            mii.hSubMenu = CreatePopupMenu();
        }
        mii.dwTypeData = const_cast<char*>(n.text.c_str());
        InsertMenuItemA(parent, mii.wID, FALSE, &mii);
        if (mii.hSubMenu) RawLevel(mii.hSubMenu, n.children);
    }
}

void RawBar(HWND form, const std::vector<Node>& tree) {
    if (HMENU old = GetMenu(form)) DestroyMenu(old);
    HMENU bar = CreateMenu();
    SetMenu(form, bar);
    RawLevel(bar, tree);
    DrawMenuBar(form);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

template <class F>
double Ms(F&& f) {
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

LRESULT CALLBACK FormProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    return DefWindowProcW(h, m, w, l);
}

}  // namespace

int main() {
    if (FAILED(OleInitialize(nullptr))) return 1;
    HMODULE atl = LoadLibraryW(L"atl100.dll");
    auto init = reinterpret_cast<BOOL(WINAPI*)()>(
        reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxWinInit")));
    auto get_control = reinterpret_cast<HRESULT(WINAPI*)(HWND, IUnknown**)>(
        reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxGetControl")));
    if (!init || !get_control || !init()) {
        std::printf("atl100.dll's AtlAxWin100 host is not available\n");
        return 1;
    }
    WNDCLASSW wc{};
    wc.lpfnWndProc = FormProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"tqBenchForm";
    RegisterClassW(&wc);

    std::printf(
        "tqMenu menu bar (ReExibirMenu through the ATL host) vs raw InsertMenuItemA loop\n");
    std::printf("%8s %12s %12s %8s\n", "entries", "control ms", "raw ms", "ratio");
    double control_500 = 0, control_5000 = 0;
    for (int n : {500, 5000}) {
        const Shape shape = ShapeFor(n);
        HWND form = CreateWindowExW(0, L"tqBenchForm", L"bench", WS_OVERLAPPEDWINDOW, 0, 0, 400,
                                    300, nullptr, nullptr, wc.hInstance, nullptr);
        HWND ax = CreateWindowExW(0, L"AtlAxWin100", L"tqMenuCtl.tqMenu", WS_CHILD, 0, 0, 50, 50,
                                  form, nullptr, wc.hInstance, nullptr);
        ComPtr<IUnknown> unk;
        ComPtr<_tqMenu> ctl;
        if (FAILED(get_control(ax, unk.put())) || FAILED(unk.As(IID__tqMenu, &ctl))) {
            std::printf("tqMenuCtl.tqMenu is not registered\n");
            return 1;
        }
        ComPtr<MenuTree> tree;
        ctl->get_MenuTree(tree.put());
        std::vector<Node> plain;
        MakeTrees(shape, tree.get(), plain);
        VARIANT_BOOL on = VARIANT_TRUE;
        ctl->put_ExibirMenu(&on);

        const int runs = n >= 5000 ? 15 : 41;
        // Interleaved warm-up of both, then each measured.
        VARIANT r;
        ctl->ReExibirMenu(&r);
        RawBar(form, plain);
        // The two alternate, so both see the same machine load.
        std::vector<double> control_runs, raw_runs;
        for (int i = 0; i < runs; ++i) {
            control_runs.push_back(Ms([&] {
                VARIANT result;
                if (FAILED(ctl->ReExibirMenu(&result))) std::printf("ReExibirMenu failed\n");
            }));
            raw_runs.push_back(Ms([&] { RawBar(form, plain); }));
        }
        const double control_ms = Median(control_runs);
        const double raw_ms = Median(raw_runs);
        std::printf("%8d %12.2f %12.2f %7.2fx\n", shape.Total(), control_ms, raw_ms,
                    control_ms / raw_ms);
        (n == 500 ? control_500 : control_5000) = control_ms;

        ctl = nullptr;
        tree = nullptr;
        unk = nullptr;
        DestroyWindow(ax);
        DestroyWindow(form);
    }
    std::printf("scaling of the control, ~500 -> ~5000 entries: %.1fx time for %.1fx entries\n",
                control_5000 / control_500,
                static_cast<double>(ShapeFor(5000).Total()) / ShapeFor(500).Total());
    OleUninitialize();
    return 0;
}
