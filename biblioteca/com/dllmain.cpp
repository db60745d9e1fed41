// tqBiblioteca.dll: the module's class and the registry values its self-registration writes
// (the exports themselves are tq/com/server.h's), machine-wide or per user:
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
#include <string>
#include <vector>

#include "tq/com/module.h"
#include "tq/com/server.h"
#include "tq/version.h"
#include "tqbib_private.h"

namespace {

using tq::com::GuidString;
using tq::com::RegValue;

constexpr wchar_t kProgId[] = L"tqBiblioteca.MenuTree";
constexpr wchar_t kProgIdVersion[] = L"tqBiblioteca.MenuTree.1";
constexpr wchar_t kDescription[] = L"tqBiblioteca.MenuTree";

const tq::com::ClassEntry kClasses[] = {
    {&CLSID_MenuTreeClass, &tq::bib::com::MenuTreeObject::Create},
};

std::vector<RegValue> RegistryValues(const std::wstring& path) {
    const std::wstring clsid = GuidString(CLSID_MenuTreeClass);
    const std::wstring key = L"CLSID\\" + clsid;
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

}  // namespace

const tq::com::Server& tq::com::ThisServer() {
    static const Server server{kClasses, &RegistryValues};
    return server;
}

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

}  // extern "C"
