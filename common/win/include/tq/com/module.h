// Per-DLL module state: the instance handle, the count of live objects and server locks that
// DllCanUnloadNow answers from, and the module's own embedded type library.
#pragma once

#include <objbase.h>
#include <oaidl.h>

#include <string>

namespace tq::com {

class Module {
  public:
    static void SetInstance(HINSTANCE h) noexcept;
    static HINSTANCE Instance() noexcept;
    // Full path of this DLL (not of the host executable).
    static std::wstring Path();

    static void Lock() noexcept;
    static void Unlock() noexcept;
    static LONG LockCount() noexcept;
    static HRESULT CanUnloadNow() noexcept { return LockCount() == 0 ? S_OK : S_FALSE; }

    // The type library embedded as resource 1 of this module (loaded once, kept until unload).
    static HRESULT TypeLib(ITypeLib** out) noexcept;
    // The type information of one interface or class of that library: loaded once, then
    // handed out without taking a lock (IDispatch calls it on every GetIDsOfNames and Invoke).
    static HRESULT TypeInfo(REFGUID guid, ITypeInfo** out) noexcept;
    // Drops cached type information (called from DLL_PROCESS_DETACH).
    static void ReleaseCaches() noexcept;
};

// Keeps the module loaded for as long as it lives (for objects that are not ComObjects).
class ModuleLock {
  public:
    ModuleLock() noexcept { Module::Lock(); }
    ModuleLock(const ModuleLock&) noexcept { Module::Lock(); }
    ModuleLock& operator=(const ModuleLock&) noexcept = default;
    ~ModuleLock() { Module::Unlock(); }
};

}  // namespace tq::com
