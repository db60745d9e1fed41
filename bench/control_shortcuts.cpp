// The cost of one key press in tqMenu's shortcut handling (AtalhosAtivos): FindShortcut, the
// hook's decision, for a form whose bar has 10 and 10,000 entries, in one run, against a raw
// baseline (one GetKeyState, which the hook itself calls three times per press).  Two presses each:
// a key that is no shortcut (every typed letter: the table lookup alone) and the shortcut of the
// bar's very last leaf (the lookup plus the entry's state on the bar).  Goal: flat, the
// 10,000-entry bar costs
// <= 2x the 10-entry one, for either press.  (Under Wine the baseline is a wineserver round
// trip, so the decision itself shows as a small fraction of it.)
//
//   tools/wine-run.sh --prefix build/win64/wineprefix build/win64/bench/bench_control_shortcuts.exe
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "shortcut_keys.h"
#include "tq/shortcut.h"

namespace {

// The hundred keys a bar can carry: F1-F12 with every Ctrl/Shift, then Ctrl+A-Z, Ctrl+Shift+A-Z.
std::vector<tq::Shortcut> AllKeys() {
    std::vector<tq::Shortcut> keys;
    for (int m = 0; m < 4; ++m)
        for (uint16_t f = VK_F1; f <= VK_F12; ++f) keys.push_back({f, (m & 1) != 0, (m & 2) != 0});
    for (int shift = 0; shift < 2; ++shift)
        for (uint16_t c = 'A'; c <= 'Z'; ++c) keys.push_back({c, true, shift != 0});
    return keys;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

template <class F>
double NsPerCall(int calls, F f) {
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < calls; ++i) f();
    return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - t0).count() /
           calls;
}

volatile UINT g_sink = 0;

}  // namespace

int main() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"tqBenchShortcuts";
    RegisterClassW(&wc);
    const std::vector<tq::Shortcut> keys = AllKeys();
    struct Row {
        int n;
        double miss, hit, base;
    };
    std::vector<Row> rows;
    const int calls = 20000;
    for (int n : {10, 10000}) {
        HWND form = CreateWindowExW(0, L"tqBenchShortcuts", L"bench", WS_OVERLAPPEDWINDOW, 0, 0,
                                    300, 200, nullptr, nullptr, wc.hInstance, nullptr);
        // A bar as the control builds it: ten popups sharing the leaves (flat when n is small),
        // identifiers from 1000 in menu order; the last leaves carry the keys.
        HMENU bar = CreateMenu();
        const int tops = n >= 100 ? 10 : 1;
        const int per_menu = n / tops;
        HMENU popup = bar;
        UINT id = 1000;
        for (int t = 0; t < tops; ++t) {
            popup = n >= 100 ? CreatePopupMenu() : bar;
            for (int l = 0; l < per_menu; ++l) AppendMenuW(popup, MF_STRING, id++, L"Item");
            if (popup != bar) AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), L"M");
        }
        SetMenu(form, bar);
        tq::ctl::ShortcutTable table;
        table.SetBar(bar);
        const UINT last = id - 1;
        const size_t bound = std::min<size_t>(keys.size(), static_cast<size_t>(n));
        for (size_t k = 0; k < bound; ++k)
            table.Add(keys[k].Code(), last - static_cast<UINT>(k), popup,
                      static_cast<UINT>(per_menu - 1) - static_cast<UINT>(k));
        tq::ctl::SetFormShortcuts(form, &table, table);

        std::vector<double> miss, hit, base;
        for (int round = 0; round < 7; ++round) {
            HWND f = nullptr;
            UINT cmd = 0;
            miss.push_back(NsPerCall(
                calls, [&] { g_sink = tq::ctl::FindShortcut(form, 'X', false, false, &f, &cmd); }));
            hit.push_back(NsPerCall(calls, [&] {
                g_sink =
                    tq::ctl::FindShortcut(form, keys[0].vk, keys[0].ctrl, keys[0].shift, &f, &cmd);
            }));
            if (cmd != last) {
                std::printf("the last leaf's key did not find it\n");
                return 1;
            }
            base.push_back(NsPerCall(calls, [&] { g_sink = GetKeyState(VK_CONTROL); }));
        }
        rows.push_back({n, Median(miss), Median(hit), Median(base)});
        tq::ctl::RemoveFormShortcuts(form, nullptr);
        DestroyWindow(form);
    }
    std::printf("tqMenu shortcut handling per key press, ns (median of 7 x %d)\n", calls);
    std::printf("%8s %14s %14s %12s %12s %12s\n", "entries", "no shortcut", "last leaf",
                "GetKeyState", "x baseline", "x baseline");
    for (const Row& r : rows)
        std::printf("%8d %14.0f %14.0f %12.0f %12.2f %12.2f\n", r.n, r.miss, r.hit, r.base,
                    r.miss / r.base, r.hit / r.base);
    std::printf("10,000 entries vs 10: no shortcut %.2fx, last leaf %.2fx (goal <= 2x)\n",
                (rows[1].miss / rows[1].base) / (rows[0].miss / rows[0].base),
                (rows[1].hit / rows[1].base) / (rows[0].hit / rows[0].base));
    std::printf("hook left installed: %s\n", tq::ctl::ShortcutHookInstalled() ? "yes" : "no");
    return 0;
}
