// The exports every in-process server of the project shares: DllGetClassObject, DllCanUnloadNow,
// DllRegisterServer, DllUnregisterServer and DllInstall, written once over a description of the
// module.  Each DLL defines ThisServer() (and its own DllMain); the exports come with it.
//
// Registration writes the module's values and its embedded type library.  Machine-wide
// (DllRegisterServer, DllInstall(TRUE, NULL)) it writes under HKEY_CLASSES_ROOT;
// DllInstall(TRUE, L"user") (regsvr32 /n /i:user) writes the same keys under
// HKEY_CURRENT_USER\Software\Classes, which needs no administrator rights.  A registration that
// fails removes what it wrote, and answers SELFREG_E_CLASS when it was refused access.
//
// Unregistering removes, with everything below them, the top keys the values are written under
// (CLSID\{clsid} for a class, the ProgID keys), then the type library; it goes on after a
// failure and reports the first one.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "tq/com/class_factory.h"
#include "tq/com/registry.h"

namespace tq::com {

struct Server {
    // The creatable classes, for DllGetClassObject.
    std::span<const ClassEntry> classes;
    // The registry values of those classes, for the DLL at `module_path`.
    std::vector<RegValue> (*values)(const std::wstring& module_path);
};

// Defined by each DLL.
const Server& ThisServer();

HRESULT RegisterServer(RegScope scope) noexcept;
HRESULT UnregisterServer(RegScope scope) noexcept;

}  // namespace tq::com
