// The shared exports of the project's COM servers (linked into each DLL as an object file).
#include "tq/com/server.h"

#include <olectl.h>

#include <algorithm>

#include "tq/com/error_info.h"
#include "tq/com/module.h"

namespace tq::com {
namespace {

// The keys unregistering deletes for `values`, in order of first appearance.
std::vector<std::wstring> TopKeys(std::span<const RegValue> values) {
    std::vector<std::wstring> keys;
    for (const RegValue& v : values) {
        // CLSID\{clsid} for a class's keys; the first component for anything else.
        size_t end = v.key.find(L'\\');
        if (end != std::wstring::npos && v.key.compare(0, end, L"CLSID") == 0)
            end = v.key.find(L'\\', end + 1);
        std::wstring top = v.key.substr(0, end);
        if (std::find(keys.begin(), keys.end(), top) == keys.end()) keys.push_back(std::move(top));
    }
    return keys;
}

}  // namespace

HRESULT UnregisterServer(RegScope scope) noexcept {
    return Guard(GUID_NULL, {}, [&] {
        const Registrar reg(scope);
        const std::wstring path = Module::Path();
        HRESULT result = S_OK;
        auto keep_first = [&](HRESULT hr) {
            if (FAILED(hr) && SUCCEEDED(result)) result = hr;
        };
        for (const std::wstring& key : TopKeys(ThisServer().values(path)))
            keep_first(reg.DeleteTree(key));
        keep_first(reg.UnregisterTypeLib(path));
        return result;
    });
}

HRESULT RegisterServer(RegScope scope) noexcept {
    const HRESULT hr = Guard(GUID_NULL, {}, [&] {
        const std::wstring path = Module::Path();
        if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
        const Registrar reg(scope);
        const HRESULT written = reg.SetAll(ThisServer().values(path));
        return FAILED(written) ? written : reg.RegisterTypeLib(path);
    });
    if (SUCCEEDED(hr)) return S_OK;
    UnregisterServer(scope);  // nothing half-registered stays behind
    return hr == E_ACCESSDENIED || hr == HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED) ? SELFREG_E_CLASS
                                                                                 : hr;
}

}  // namespace tq::com

extern "C" {

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    return tq::com::GetClassObject(tq::com::ThisServer().classes, clsid, iid, out);
}

STDAPI DllCanUnloadNow() {
    return tq::com::Module::CanUnloadNow();
}

STDAPI DllRegisterServer() {
    return tq::com::RegisterServer(tq::com::RegScope::Machine);
}

STDAPI DllUnregisterServer() {
    return tq::com::UnregisterServer(tq::com::RegScope::Machine);
}

// regsvr32 /i[:cmdline] calls DllInstall(TRUE, cmdline), regsvr32 /u /i[:cmdline]
// DllInstall(FALSE, cmdline); "user" selects HKEY_CURRENT_USER\Software\Classes.
STDAPI DllInstall(BOOL install, LPCWSTR cmdline) {
    const tq::com::RegScope scope = tq::com::ScopeFromCommandLine(cmdline);
    return install ? tq::com::RegisterServer(scope) : tq::com::UnregisterServer(scope);
}

}  // extern "C"
