#include "tq/com/module.h"

#include "tq/com/com_ptr.h"

namespace tq::com {
namespace {

HINSTANCE g_instance = nullptr;
LONG g_locks = 0;
SRWLOCK g_typelib_lock = SRWLOCK_INIT;
ITypeLib* g_typelib = nullptr;

}  // namespace

void Module::SetInstance(HINSTANCE h) noexcept {
    g_instance = h;
}
HINSTANCE Module::Instance() noexcept {
    return g_instance;
}

std::wstring Module::Path() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n =
            GetModuleFileNameW(g_instance, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

void Module::Lock() noexcept {
    InterlockedIncrement(&g_locks);
}
void Module::Unlock() noexcept {
    InterlockedDecrement(&g_locks);
}
LONG Module::LockCount() noexcept {
    return InterlockedCompareExchange(&g_locks, 0, 0);
}

HRESULT Module::TypeLib(ITypeLib** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    AcquireSRWLockExclusive(&g_typelib_lock);
    HRESULT hr = S_OK;
    if (!g_typelib) {
        const std::wstring path = Path();
        hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &g_typelib);
    }
    if (g_typelib) {
        g_typelib->AddRef();
        *out = g_typelib;
    }
    ReleaseSRWLockExclusive(&g_typelib_lock);
    return hr;
}

HRESULT Module::TypeInfo(REFGUID guid, ITypeInfo** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    ComPtr<ITypeLib> tl;
    const HRESULT hr = TypeLib(tl.put());
    if (FAILED(hr)) return hr;
    return tl->GetTypeInfoOfGuid(guid, out);
}

void Module::ReleaseCaches() noexcept {
    AcquireSRWLockExclusive(&g_typelib_lock);
    if (g_typelib) g_typelib->Release();
    g_typelib = nullptr;
    ReleaseSRWLockExclusive(&g_typelib_lock);
}

}  // namespace tq::com
