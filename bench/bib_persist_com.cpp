// Benchmark of tqBiblioteca.dll's persistence through COM, run under Wine: a MenuTree of 1,000,
// 10,000 and 100,000 entries saved with IPersistStreamInit::Save into a fresh HGLOBAL stream and
// loaded back with IPersistStreamInit::Load, against the core's SaveTree/LoadTree on the same
// tree in the same run (the baseline: what the COM shell adds is the stream copy, the length
// prefix and the change stamps).  Also IsDirty (a comparison of change stamps) and
// building the tree entry by entry through MenuTree.Add against the core's Add.
//
// Prints entries/s, the ratios to the baselines, and the scaling of the time per entry from
// 1,000 to 100,000 entries (1.00 = linear).  Last, late-bound reads as a script host makes them,
// Item(i).Caption by name through IDispatch, against the same reads through the vtable.
//
// Usage: tools/wine-run.sh --prefix build/win64/wineprefix
// build/win64/bench/bench_bib_persist_com.exe [scale] The DLL is loaded from the build tree; it
// need not be registered.
#include <windows.h>
#include <ocidl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tq/bib/persist.h"
#include "tq/com/com_ptr.h"
#include "tq/com/late_bind.h"
#include "tq/com/strings.h"
#include "tq/com/variant.h"
#include "tqBiblioteca.h"

using tq::com::Bstr;
using tq::com::ComPtr;
using tq::com::Variant;

namespace {

using Clock = std::chrono::steady_clock;

tq::String Num(size_t i) {
    return tq::FromUtf8(std::to_string(i));
}

// Three levels as a designer builds them: 10 menus of 10 submenus, the other entries spread over
// the submenus; some entries put TextoMenu, a description, a shortcut, or clear a flag.
std::shared_ptr<tq::bib::MenuTree> BuildCoreTree(size_t n) {
    auto root = tq::bib::MenuTree::Create();
    size_t count = 0;
    auto fill = [&](const std::shared_ptr<tq::bib::MenuItem>& e) {
        const size_t i = ++count;
        if (i % 3 == 0) e->SetTextoMenu(e->Caption() + u"\tCtrl+" + Num(i % 10));
        if (i % 2 == 0) e->SetDescricao(u"Abre o cadastro número " + Num(i));
        if (i % 5 == 0) e->SetTeclaExtenso(u"Ctrl+Shift+F" + Num(i % 12));
        if (i % 7 == 0) e->SetHabilitado(false);
    };
    const size_t leaves = n - 10 - 100;
    for (size_t a = 0; a < 10; ++a) {
        auto top = root->Add(u"&Menu " + Num(a), u"mnuMenu" + Num(a));
        fill(top);
        for (size_t b = 0; b < 10; ++b) {
            auto mid =
                top->SubMenu()->Add(u"Submenu " + Num(b), u"mnuSub" + Num(a) + u"_" + Num(b));
            fill(mid);
            const size_t k = a * 10 + b;
            const size_t here = leaves * (k + 1) / 100 - leaves * k / 100;
            for (size_t c = 0; c < here; ++c)
                fill(mid->SubMenu()->Add(u"Item de menu " + Num(count), u"mnuItem" + Num(count)));
        }
    }
    return root;
}

// The stream layout of the COM object: a little-endian byte count, then the core's format.
std::vector<uint8_t> Framed(const std::vector<uint8_t>& data) {
    std::vector<uint8_t> out(4);
    const uint32_t n = static_cast<uint32_t>(data.size());
    std::memcpy(out.data(), &n, 4);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

ComPtr<IStream> StreamOver(const std::vector<uint8_t>& bytes) {
    ComPtr<IStream> s;
    CreateStreamOnHGlobal(nullptr, TRUE, s.put());
    s->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
    LARGE_INTEGER zero{};
    s->Seek(zero, STREAM_SEEK_SET, nullptr);
    return s;
}

const void* volatile g_escape;

template <class F>
double Time(F&& f) {
    const auto t0 = Clock::now();
    auto result = f();
    const double s = std::chrono::duration<double>(Clock::now() - t0).count();
    g_escape = &result;
    return s;
}

void Fail(const char* what, HRESULT hr) {
    std::fprintf(stderr, "%s failed: 0x%08lx\n", what, static_cast<unsigned long>(hr));
    std::exit(1);
}

// Builds the same shape entry by entry through the COM interface.
ComPtr<MenuTree> BuildThroughCom(IClassFactory* factory, size_t n) {
    ComPtr<MenuTree> root;
    HRESULT hr = factory->CreateInstance(nullptr, IID_MenuTree, root.put_void());
    if (FAILED(hr)) Fail("CreateInstance", hr);
    short ignored = 0;
    auto add = [&](MenuTree* level, const tq::String& caption, const tq::String& nome) {
        Bstr c(caption), nm(nome);
        BSTR cb = c.get(), nb = nm.get();
        level->Add(&cb, &nb, &ignored);
        ComPtr<MenuItem> item;
        level->get_Item(Variant::FromString(tq::com::AsWide(nome)), item.put());
        ComPtr<MenuTree> sub;
        item->get_SubMenu(sub.put());
        return sub;
    };
    size_t count = 0;
    const size_t leaves = n - 10 - 100;
    for (size_t a = 0; a < 10; ++a, ++count) {
        ComPtr<MenuTree> top = add(root.get(), u"&Menu " + Num(a), u"mnuMenu" + Num(a));
        for (size_t b = 0; b < 10; ++b, ++count) {
            ComPtr<MenuTree> mid =
                add(top.get(), u"Submenu " + Num(b), u"mnuSub" + Num(a) + u"_" + Num(b));
            const size_t k = a * 10 + b;
            const size_t here = leaves * (k + 1) / 100 - leaves * k / 100;
            for (size_t c = 0; c < here; ++c, ++count) {
                Bstr cap(u"Item de menu " + Num(count)), nome(u"mnuItem" + Num(count));
                BSTR cb = cap.get(), nb = nome.get();
                mid->Add(&cb, &nb, &ignored);
            }
        }
    }
    return root;
}

std::shared_ptr<tq::bib::MenuTree> BuildThroughCore(size_t n) {
    auto root = tq::bib::MenuTree::Create();
    size_t count = 0;
    const size_t leaves = n - 10 - 100;
    for (size_t a = 0; a < 10; ++a, ++count) {
        auto top = root->Add(u"&Menu " + Num(a), u"mnuMenu" + Num(a));
        for (size_t b = 0; b < 10; ++b, ++count) {
            auto mid =
                top->SubMenu()->Add(u"Submenu " + Num(b), u"mnuSub" + Num(a) + u"_" + Num(b));
            const size_t k = a * 10 + b;
            const size_t here = leaves * (k + 1) / 100 - leaves * k / 100;
            for (size_t c = 0; c < here; ++c, ++count)
                mid->SubMenu()->Add(u"Item de menu " + Num(count), u"mnuItem" + Num(count));
        }
    }
    return root;
}

struct Row {
    double com_save, com_load, core_save, core_load, dirty, com_build, core_build;
};

// Item(i).Caption for every entry of a 100-entry level: by name through IDispatch (GetIDsOfNames
// and Invoke for each member, as VBScript does) against get_Item/get_Caption through the vtable.
void LateBoundReads(IClassFactory* factory, double scale) {
    ComPtr<MenuTree> tree;
    HRESULT hr = factory->CreateInstance(nullptr, IID_MenuTree, tree.put_void());
    if (FAILED(hr)) Fail("CreateInstance", hr);
    constexpr LONG kEntries = 100;
    short ignored = 0;
    for (LONG i = 0; i < kEntries; ++i) {
        Bstr c(u"Item " + Num(static_cast<size_t>(i))),
            nm(u"mnuItem" + Num(static_cast<size_t>(i)));
        BSTR cb = c.get(), nb = nm.get();
        tree->Add(&cb, &nb, &ignored);
    }
    ComPtr<IDispatch> disp;
    tree.As(IID_IDispatch, &disp);
    auto late = [&] {
        size_t chars = 0;
        for (LONG i = 1; i <= kEntries; ++i) {
            Variant item, caption;
            HRESULT h = tq::com::GetProperty(disp.get(), L"Item", &item, {Variant::FromLong(i)});
            if (SUCCEEDED(h)) h = tq::com::GetProperty(V_DISPATCH(&item), L"Caption", &caption);
            if (FAILED(h)) Fail("Item(i).Caption", h);
            chars += SysStringLen(V_BSTR(&caption));
        }
        return chars;
    };
    auto raw = [&] {
        size_t chars = 0;
        for (LONG i = 1; i <= kEntries; ++i) {
            ComPtr<MenuItem> item;
            Bstr caption;
            HRESULT h = tree->get_Item(Variant::FromLong(i), item.put());
            if (SUCCEEDED(h)) h = item->get_Caption(caption.put());
            if (FAILED(h)) Fail("get_Item/get_Caption", h);
            chars += caption.size();
        }
        return chars;
    };
    const int reps = std::max(3, static_cast<int>(scale * 2'000));
    double best_late = 1e30, best_raw = 1e30;
    for (int r = 0; r < reps; ++r) {
        best_late = std::min(best_late, Time(late));
        best_raw = std::min(best_raw, Time(raw));
    }
    std::printf("\nItem(i).Caption reads/s: late bound %.0f, vtable %.0f, late/vtable time %.2f\n",
                kEntries / best_late, kEntries / best_raw, best_late / best_raw);
}

}  // namespace

int main(int argc, char** argv) {
    const double scale = argc > 1 ? std::atof(argv[1]) : 1.0;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    std::wstring dll = L"Z:";
    for (const char* p = TQ_BIB_DLL; *p; ++p) dll += (*p == '/') ? L'\\' : static_cast<wchar_t>(*p);
    HMODULE lib = LoadLibraryW(dll.c_str());
    if (!lib) Fail("LoadLibrary", HRESULT_FROM_WIN32(GetLastError()));
    auto get_class = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
        reinterpret_cast<void*>(GetProcAddress(lib, "DllGetClassObject")));
    ComPtr<IClassFactory> factory;
    HRESULT hr = get_class(CLSID_MenuTreeClass, IID_IClassFactory, factory.put_void());
    if (FAILED(hr)) Fail("DllGetClassObject", hr);

    const size_t sizes[] = {1'000, 10'000, 100'000};
    Row per_entry[3] = {};
    std::printf("%8s %9s %11s %11s %9s %9s %11s %11s %9s\n", "entries", "bytes", "COM save/s",
                "COM load/s", "save/core", "load/core", "IsDirty e/s", "COM Add e/s", "Add/core");
    for (int k = 0; k < 3; ++k) {
        const size_t n = sizes[k];
        const int reps = std::max(3, static_cast<int>(scale * 1'000'000 / static_cast<double>(n)));
        const auto core_tree = BuildCoreTree(n);
        const std::vector<uint8_t> saved = tq::bib::SaveTree(*core_tree);
        const std::vector<uint8_t> framed = Framed(saved);

        // The COM object under test holds the same tree, loaded once.
        ComPtr<MenuTree> tree;
        hr = factory->CreateInstance(nullptr, IID_MenuTree, tree.put_void());
        if (FAILED(hr)) Fail("CreateInstance", hr);
        ComPtr<IPersistStreamInit> persist;
        tree.As(IID_IPersistStreamInit, &persist);
        hr = persist->Load(StreamOver(framed).get());
        if (FAILED(hr)) Fail("Load", hr);

        // Streams are prepared outside the clock; rounds interleave the measurements and the
        // best round of each counts.
        Row best{1e30, 1e30, 1e30, 1e30, 1e30, 1e30, 1e30};
        for (int r = 0; r < reps; ++r) {
            ComPtr<IStream> out;
            CreateStreamOnHGlobal(nullptr, TRUE, out.put());
            best.com_save = std::min(best.com_save, Time([&] {
                                         const HRESULT h = persist->Save(out.get(), TRUE);
                                         if (FAILED(h)) Fail("Save", h);
                                         return h;
                                     }));
            // A fresh object each round, released outside the clock, so that freeing the tree a
            // load replaces is not counted (the core's baseline frees nothing either).
            ComPtr<IStream> in = StreamOver(framed);
            ComPtr<IPersistStreamInit> fresh;
            factory->CreateInstance(nullptr, IID_IPersistStreamInit, fresh.put_void());
            best.com_load = std::min(best.com_load, Time([&] {
                                         const HRESULT h = fresh->Load(in.get());
                                         if (FAILED(h)) Fail("Load", h);
                                         return h;
                                     }));
            fresh = nullptr;
            best.core_save =
                std::min(best.core_save, Time([&] { return tq::bib::SaveTree(*core_tree); }));
            best.core_load =
                std::min(best.core_load, Time([&] { return tq::bib::LoadTree(saved); }));
            best.dirty = std::min(best.dirty, Time([&] { return persist->IsDirty(); }));
        }
        const int build_reps = std::max(1, reps / 10);
        for (int r = 0; r < build_reps; ++r) {
            best.com_build =
                std::min(best.com_build, Time([&] { return BuildThroughCom(factory.get(), n); }));
            best.core_build = std::min(best.core_build, Time([&] { return BuildThroughCore(n); }));
        }

        const double dn = static_cast<double>(n);
        per_entry[k] = {best.com_save / dn,  best.com_load / dn, best.core_save / dn,
                        best.core_load / dn, best.dirty / dn,    best.com_build / dn,
                        best.core_build / dn};
        std::printf("%8zu %9zu %11.0f %11.0f %9.2f %9.2f %11.0f %11.0f %9.2f\n", n, framed.size(),
                    dn / best.com_save, dn / best.com_load, best.com_save / best.core_save,
                    best.com_load / best.core_load, dn / best.dirty, dn / best.com_build,
                    best.com_build / best.core_build);
    }

    std::printf("\nscaling of the time per entry (1.00 = linear):\n");
    std::printf("%12s %9s %9s %9s %9s %9s %9s %9s\n", "", "COM save", "COM load", "core save",
                "core load", "IsDirty", "COM Add", "core Add");
    for (int k = 1; k < 3; ++k) {
        const Row& a = per_entry[0];
        const Row& b = per_entry[k];
        std::printf("%5zu->%-6zu %9.2f %9.2f %9.2f %9.2f %9.2f %9.2f %9.2f\n", sizes[0], sizes[k],
                    b.com_save / a.com_save, b.com_load / a.com_load, b.core_save / a.core_save,
                    b.core_load / a.core_load, b.dirty / a.dirty, b.com_build / a.com_build,
                    b.core_build / a.core_build);
    }
    LateBoundReads(factory.get(), scale);
    factory = nullptr;
    CoUninitialize();
    return 0;
}
