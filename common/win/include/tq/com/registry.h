// Self-registration: writes and removes registry keys under HKEY_CLASSES_ROOT (machine) or
// HKEY_CURRENT_USER\Software\Classes (per user, no administrator rights needed).
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <span>
#include <string>

namespace tq::com {

enum class RegScope { Machine, User };

struct RegValue {
    std::wstring key;    // relative to the classes root, e.g. L"CLSID\\{...}\\InprocServer32"
    std::wstring name;   // empty for the default value
    std::wstring value;  // REG_SZ
};

class Registrar {
  public:
    explicit Registrar(RegScope scope) : scope_(scope) {}
    RegScope scope() const { return scope_; }

    HRESULT Set(const RegValue& v) const;
    HRESULT SetAll(std::span<const RegValue> values) const;
    // Deletes a key and everything below it, then those of its parents that are left empty
    // (below the classes root; per user, Software\Classes itself too); a missing key is not an
    // error.
    HRESULT DeleteTree(const std::wstring& key) const;
    // Whether a key exists (tests and unregistration checks).
    bool Exists(const std::wstring& key) const;

    // Registers the type library embedded in `module_path` (resource 1).  Per user, the
    // TypeLib and Interface keys are written under HKCU\Software\Classes directly.
    HRESULT RegisterTypeLib(const std::wstring& module_path) const;
    HRESULT UnregisterTypeLib(const std::wstring& module_path) const;

  private:
    HKEY Root() const;
    std::wstring Full(const std::wstring& key) const;
    RegScope scope_;
};

std::wstring GuidString(REFGUID g);

// DllInstall(bInstall, cmdline): "user" (case-insensitive) selects per-user registration;
// anything else, or no command line, selects the machine.
RegScope ScopeFromCommandLine(const wchar_t* cmdline);

}  // namespace tq::com
