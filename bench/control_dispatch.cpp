// The cost of one WM_COMMAND through tqMenu's WindowProc (pass-on, ItemPorHnd lookup, MenuClick
// to one connected sink) for trees of 10, 1,000 and 10,000 entries, in one run, against the same
// message sent to a form without the subclass.  Goal: the 10,000-entry tree costs <= 2x the
// 10-entry one.
//
//   tools/wine-run.sh --prefix build/win64/wineprefix build/win64/bench/bench_control_dispatch.exe
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
#include "tq/com/object.h"
#include "tq/com/strings.h"
#include "tq/com/variant.h"

using tq::com::Bstr;
using tq::com::ComPtr;
using tq::com::Variant;

namespace {

LONG g_clicks = 0;

class Sink final : public tq::com::ComObject<Sink, IDispatch> {
  public:
    static std::span<const tq::com::QiEntry> Interfaces() {
        static const tq::com::QiEntry table[] = {TQ_QI(Sink, IDispatch),
                                                 TQ_QI_IID(Sink, IDispatch, DIID___tqMenu)};
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
    IFACEMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                          UINT*) override {
        ++g_clicks;
        return S_OK;
    }
};

LRESULT CALLBACK FormProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_COMMAND) return 1;
    return DefWindowProcW(h, m, w, l);
}

ComPtr<MenuItem> Add(MenuTree* level, const std::wstring& caption, short* count) {
    Bstr c(caption), n(caption);
    BSTR cb = c.get(), nb = n.get();
    level->Add(&cb, &nb, count);
    Variant index;
    V_VT(&index) = VT_I2;
    V_I2(&index) = *count;
    ComPtr<MenuItem> item;
    level->get_Item(index, item.put());
    return item;
}

// `n` entries: ten top-level popups sharing the leaves (a flat level when n is small).
ComPtr<MenuTree> Tree(int n) {
    CLSID clsid{};
    CLSIDFromProgID(L"tqBiblioteca.MenuTree", &clsid);
    ComPtr<MenuTree> tree;
    CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_MenuTree, tree.put_void());
    const int tops = n >= 100 ? 10 : n;
    short count = 0;
    for (int t = 0; t < tops; ++t) {
        ComPtr<MenuItem> top = Add(tree.get(), L"M" + std::to_wstring(t), &count);
        if (n < 100) continue;
        ComPtr<MenuTree> sub;
        top->get_SubMenu(sub.put());
        for (int l = 0; l < (n - tops) / tops; ++l)
            Add(sub.get(), L"C" + std::to_wstring(t) + L"_" + std::to_wstring(l), &count);
    }
    return tree;
}

double NsPerSend(HWND form, WPARAM id, int sends) {
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < sends; ++i) SendMessageW(form, WM_COMMAND, id, 0);
    return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - t0).count() /
           sends;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main() {
    if (FAILED(OleInitialize(nullptr))) return 1;
    HMODULE atl = LoadLibraryW(L"atl100.dll");
    auto init = reinterpret_cast<BOOL(WINAPI*)()>(
        reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxWinInit")));
    using CreateFn =
        HRESULT(WINAPI*)(LPCOLESTR, HWND, IStream*, IUnknown**, IUnknown**, REFIID, IUnknown*);
    auto create = reinterpret_cast<CreateFn>(
        reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxCreateControlEx")));
    if (!init || !create || !init()) return 1;
    WNDCLASSW wc{};
    wc.lpfnWndProc = FormProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"tqBenchForm";
    RegisterClassW(&wc);
    auto new_form = [&] {
        return CreateWindowExW(0, L"tqBenchForm", L"bench", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                               nullptr, nullptr, wc.hInstance, nullptr);
    };
    HWND bare = new_form();

    struct Row {
        int n;
        double hit, miss, bare;
    };
    std::vector<Row> rows;
    const int sends = 20000;
    for (int n : {10, 1000, 10000}) {
        HWND form = new_form();
        // The control as a loaded form holds it: the tree and ExibirMenu True.
        ComPtr<_tqMenu> saved;
        CoCreateInstance(CLSID_tqMenu, nullptr, CLSCTX_INPROC_SERVER, IID__tqMenu,
                         saved.put_void());
        ComPtr<MenuTree> tree = Tree(n);
        MenuTree* t = tree.get();
        saved->putref_MenuTree(&t);
        VARIANT_BOOL on = VARIANT_TRUE;
        saved->put_ExibirMenu(&on);
        ComPtr<IPersistStreamInit> ps;
        saved.As(IID_IPersistStreamInit, &ps);
        ComPtr<IStream> stream;
        CreateStreamOnHGlobal(nullptr, TRUE, stream.put());
        ps->Save(stream.get(), TRUE);
        LARGE_INTEGER zero{};
        stream->Seek(zero, STREAM_SEEK_SET, nullptr);
        HWND site = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 40, 40, form, nullptr,
                                    wc.hInstance, nullptr);
        ComPtr<IUnknown> container, control;
        if (FAILED(create(L"tqMenuCtl.tqMenu", site, stream.get(), container.put(), control.put(),
                          IID_NULL, nullptr))) {
            std::printf("tqMenuCtl.tqMenu is not registered\n");
            return 1;
        }
        ComPtr<Sink> sink = Sink::Make();
        ComPtr<IConnectionPointContainer> cpc;
        ComPtr<IConnectionPoint> cp;
        DWORD cookie = 0;
        control.As(IID_IConnectionPointContainer, &cpc);
        cpc->FindConnectionPoint(DIID___tqMenu, cp.put());
        cp->Advise(sink->Identity(), &cookie);
        // The last identifier handed out: the deepest, last leaf.
        const WPARAM last = static_cast<WPARAM>(1000 + n - 1);

        std::vector<double> hit, miss, base;
        for (int round = 0; round < 7; ++round) {
            hit.push_back(NsPerSend(form, last, sends));
            miss.push_back(NsPerSend(form, 65000, sends));
            base.push_back(NsPerSend(bare, last, sends));
        }
        rows.push_back({n, Median(hit), Median(miss), Median(base)});
        cp->Unadvise(cookie);
        cp = nullptr;
        cpc = nullptr;
        control = nullptr;
        container = nullptr;
        DestroyWindow(site);
        DestroyWindow(form);
    }
    std::printf("WM_COMMAND through tqMenu's WindowProc, ns per message (median of 7 x %d)\n",
                sends);
    std::printf("%8s %14s %14s %14s %12s\n", "entries", "MenuClick", "no entry", "no subclass",
                "added");
    for (const Row& r : rows)
        std::printf("%8d %14.0f %14.0f %14.0f %12.0f\n", r.n, r.hit, r.miss, r.bare,
                    r.hit - r.bare);
    std::printf("10,000 entries vs 10: %.2fx (goal <= 2x); MenuClick events raised: %ld\n",
                rows[2].hit / rows[0].hit, g_clicks);
    DestroyWindow(bare);
    OleUninitialize();
    return 0;
}
