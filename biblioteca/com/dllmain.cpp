// tqBiblioteca.dll: the exports of an in-process COM server and its self-registration.
//
// Registration (DllRegisterServer, or DllInstall(TRUE, NULL)) writes under HKEY_CLASSES_ROOT;
// DllInstall(TRUE, L"user") (regsvr32 /n /i:user) writes the same keys under
// HKEY_CURRENT_USER\Software\Classes, which needs no administrator rights:
//
//   CLSID\{MenuTreeClass}                        "tqBiblioteca.MenuTree"
//       InprocServer32                           path of this DLL; ThreadingModel = Apartment
//       ProgID                                   "tqBiblioteca.MenuTree.1"
//       VersionIndependentProgID                 "tqBiblioteca.MenuTree"
//       TypeLib                                  {LIBID_tqBiblioteca}
//       Version                                  "1.0"
//   tqBiblioteca.MenuTree                        CLSID, CurVer = "tqBiblioteca.MenuTree.1"
//   tqBiblioteca.MenuTree.1                      CLSID
//   TypeLib\{LIBID} and Interface\{IID} keys     the embedded type library
//
// Unregistering removes each of those keys with everything below it.
#include <new>
#include <string>
#include <vector>

#include "tq/com/class_factory.h"
#include "tq/com/registry.h"
#include "tq/version.h"
#include "tqbib_private.h"

namespace {

using tq::com::GuidString;
using tq::com::Registrar;
using tq::com::RegScope;
using tq::com::RegValue;

constexpr wchar_t kProgId[] = L"tqBiblioteca.MenuTree";
constexpr wchar_t kProgIdVersion[] = L"tqBiblioteca.MenuTree.1";
constexpr wchar_t kDescription[] = L"tqBiblioteca.MenuTree";

const tq::com::ClassEntry kClasses[] = {
    {&CLSID_MenuTreeClass, &tqbib::MenuTreeObject::Create},
};

std::wstring ClsidKey() {
    return L"CLSID\\" + GuidString(CLSID_MenuTreeClass);
}

std::vector<RegValue> ClassValues(const std::wstring& path) {
    const std::wstring clsid = GuidString(CLSID_MenuTreeClass);
    const std::wstring key = ClsidKey();
    return {
        {key, L"", kDescription},
        {key + L"\\InprocServer32", L"", path},
        {key + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {key + L"\\ProgID", L"", kProgIdVersion},
        {key + L"\\VersionIndependentProgID", L"", kProgId},
        {key + L"\\TypeLib", L"", GuidString(LIBID_tqBiblioteca)},
        {key + L"\\Version", L"", TQ_TYPELIB_VERSION_W},
        {kProgId, L"", kDescription},
        {std::wstring(kProgId) + L"\\CLSID", L"", clsid},
        {std::wstring(kProgId) + L"\\CurVer", L"", kProgIdVersion},
        {kProgIdVersion, L"", kDescription},
        {std::wstring(kProgIdVersion) + L"\\CLSID", L"", clsid},
    };
}

HRESULT Unregister(RegScope scope) noexcept try {
    const Registrar reg(scope);
    HRESULT result = S_OK;
    // Go on after a failure so that as much as possible is removed; report the first failure.
    auto keep_first = [&](HRESULT hr) {
        if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    };
    keep_first(reg.DeleteTree(ClsidKey()));
    keep_first(reg.DeleteTree(kProgId));
    keep_first(reg.DeleteTree(kProgIdVersion));
    keep_first(reg.UnregisterTypeLib(tq::com::Module::Path()));
    return result;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT Register(RegScope scope) noexcept try {
    const Registrar reg(scope);
    const std::wstring path = tq::com::Module::Path();
    if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
    HRESULT hr = reg.SetAll(ClassValues(path));
    if (SUCCEEDED(hr)) hr = reg.RegisterTypeLib(path);
    if (FAILED(hr)) Unregister(scope);  // leave nothing half-written
    return hr;
} catch (const std::bad_alloc&) {
    Unregister(scope);
    return E_OUTOFMEMORY;
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    switch (reason) {
        case DLL_PROCESS_ATTACH:
            tq::com::Module::SetInstance(instance);
            DisableThreadLibraryCalls(instance);
            break;
        case DLL_PROCESS_DETACH:
            // On FreeLibrary only: at process exit other DLLs may already be gone.
            if (!reserved) tq::com::Module::ReleaseCaches();
            break;
        default:
            break;
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    return tq::com::GetClassObject(kClasses, clsid, iid, out);
}

STDAPI DllCanUnloadNow() {
    return tq::com::Module::CanUnloadNow();
}

STDAPI DllRegisterServer() {
    return Register(RegScope::Machine);
}

STDAPI DllUnregisterServer() {
    return Unregister(RegScope::Machine);
}

// regsvr32 /i[:cmdline] calls DllInstall(TRUE, cmdline), regsvr32 /u /i[:cmdline]
// DllInstall(FALSE, cmdline); "user" selects HKEY_CURRENT_USER\Software\Classes.
STDAPI DllInstall(BOOL install, LPCWSTR cmdline) {
    const RegScope scope = tq::com::ScopeFromCommandLine(cmdline);
    return install ? Register(scope) : Unregister(scope);
}

}  // extern "C"
