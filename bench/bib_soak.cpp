// Soak of tqBiblioteca.dll through COM: cycles of create, fill, save, load and release, with the
// process's private memory after 10%, 50% and 100% of the cycles and DllCanUnloadNow at the end.
// Flat memory and S_OK show that nothing leaks: no object, no string, no lock on the module.
//
// Each cycle: a MenuTree from the class factory, three menus of five entries through Add (with
// a description on each), saved with IPersistStreamInit::Save into a fresh HGLOBAL stream, loaded
// into a second MenuTree, both released.
//
// Run (100,000 cycles; give a smaller count for a short run):
//   tools/wine-run.sh --prefix build/win64/wineprefix build/win64/bench/bench_bib_soak.exe 100000
// The DLL is loaded from the build tree through DllGetClassObject; it need not be registered.
#include <windows.h>
#include <ocidl.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tq/com/com_ptr.h"
#include "tq/com/strings.h"
#include "tqBiblioteca.h"

using tq::com::Bstr;
using tq::com::ComPtr;

namespace {

[[noreturn]] void Fail(const char* what, HRESULT hr) {
    std::printf("%s failed: 0x%08lx\n", what, static_cast<unsigned long>(hr));
    std::exit(1);
}

void Check(const char* what, HRESULT hr) {
    if (FAILED(hr)) Fail(what, hr);
}

double PrivateMb() {
    PROCESS_MEMORY_COUNTERS_EX pmc{};
    pmc.cb = sizeof pmc;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc),
                              sizeof pmc))
        return -1;
    // Wine leaves PrivateUsage at 0; PagefileUsage is the same commit charge there and on Windows.
    const SIZE_T bytes = pmc.PrivateUsage ? pmc.PrivateUsage : pmc.PagefileUsage;
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

void Add(MenuTree* level, const std::wstring& caption, const std::wstring& nome,
         ComPtr<MenuItem>* added) {
    Bstr c(caption), n(nome);
    BSTR cb = c.get(), nb = n.get();
    short count = 0;
    Check("Add", level->Add(&cb, &nb, &count));
    VARIANT index;
    VariantInit(&index);
    V_VT(&index) = VT_I2;
    V_I2(&index) = count;
    Check("Item", level->get_Item(index, added->put()));
    Bstr d(L"Descrição de " + caption);
    Check("Descricao", (*added)->put_Descricao(d.get()));
}

void Cycle(IClassFactory* factory) {
    ComPtr<MenuTree> tree;
    Check("CreateInstance", factory->CreateInstance(nullptr, IID_MenuTree, tree.put_void()));
    for (int m = 0; m < 3; ++m) {
        ComPtr<MenuItem> menu;
        Add(tree.get(), L"&Menu " + std::to_wstring(m), L"mnu" + std::to_wstring(m), &menu);
        ComPtr<MenuTree> sub;
        Check("SubMenu", menu->get_SubMenu(sub.put()));
        for (int i = 0; i < 5; ++i) {
            ComPtr<MenuItem> item;
            Add(sub.get(), L"Item " + std::to_wstring(i), L"mnuItem" + std::to_wstring(i), &item);
        }
    }
    ComPtr<IPersistStreamInit> saver;
    Check("QueryInterface", tree.As(IID_IPersistStreamInit, &saver));
    ComPtr<IStream> stream;
    Check("CreateStreamOnHGlobal", CreateStreamOnHGlobal(nullptr, TRUE, stream.put()));
    Check("Save", saver->Save(stream.get(), TRUE));
    const LARGE_INTEGER zero{};
    Check("Seek", stream->Seek(zero, STREAM_SEEK_SET, nullptr));
    ComPtr<IPersistStreamInit> loader;
    Check("CreateInstance",
          factory->CreateInstance(nullptr, IID_IPersistStreamInit, loader.put_void()));
    Check("Load", loader->Load(stream.get()));
}

}  // namespace

int main(int argc, char** argv) {
    const long cycles = argc > 1 ? std::atol(argv[1]) : 100'000;
    if (cycles <= 0) {
        std::printf("usage: bench_bib_soak.exe [cycles]\n");
        return 2;
    }
    Check("CoInitializeEx", CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));

    std::wstring dll = L"Z:";
    for (const char* p = TQ_BIB_DLL; *p; ++p) dll += (*p == '/') ? L'\\' : static_cast<wchar_t>(*p);
    HMODULE lib = LoadLibraryW(dll.c_str());
    if (!lib) Fail("LoadLibrary", HRESULT_FROM_WIN32(GetLastError()));
    auto get_class = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
        reinterpret_cast<void*>(GetProcAddress(lib, "DllGetClassObject")));
    auto can_unload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(lib, "DllCanUnloadNow")));
    if (!get_class || !can_unload) Fail("GetProcAddress", E_FAIL);

    std::printf("cycles  private MB\n");
    std::printf("%7d  %9.1f\n", 0, PrivateMb());
    {
        ComPtr<IClassFactory> factory;
        Check("DllGetClassObject",
              get_class(CLSID_MenuTreeClass, IID_IClassFactory, factory.put_void()));
        const long marks[] = {cycles / 10, cycles / 2, cycles};
        long done = 0;
        for (long mark : marks) {
            for (; done < mark; ++done) Cycle(factory.get());
            std::printf("%7ld  %9.1f\n", done, PrivateMb());
        }
    }
    const HRESULT unload = can_unload();
    std::printf("DllCanUnloadNow: %s (0x%08lx)\n", unload == S_OK ? "S_OK" : "S_FALSE",
                static_cast<unsigned long>(unload));
    CoUninitialize();
    return unload == S_OK ? 0 : 1;
}
