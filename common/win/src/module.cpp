#include "tq/com/module.h"

#include <atomic>
#include <iterator>

#include "tq/com/com_ptr.h"

namespace tq::com {
namespace {

HINSTANCE g_instance = nullptr;
LONG g_locks = 0;
// Guards loading the type library and filling the type information cache (never its reads).
SRWLOCK g_typelib_lock = SRWLOCK_INIT;
ITypeLib* g_typelib = nullptr;

// The type information of each interface (and class) asked for, loaded once and read without a
// lock on every GetIDsOfNames and Invoke.  Slots are only appended, under the lock: a slot's
// GUID and pointer are written before g_used counts it (release), and a reader looks only at
// the slots g_used counts (acquire).
struct TypeInfoSlot {
    GUID guid;
    ITypeInfo* info;
};
TypeInfoSlot g_type_infos[16];
std::atomic<size_t> g_used{0};

ITypeInfo* FindCached(REFGUID guid) noexcept {
    const size_t used = g_used.load(std::memory_order_acquire);
    for (size_t i = 0; i < used; ++i)
        if (IsEqualGUID(g_type_infos[i].guid, guid)) return g_type_infos[i].info;
    return nullptr;
}

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
    *out = FindCached(guid);
    if (*out) {
        (*out)->AddRef();
        return S_OK;
    }
    ComPtr<ITypeLib> tl;
    HRESULT hr = TypeLib(tl.put());
    if (FAILED(hr)) return hr;
    ComPtr<ITypeInfo> ti;
    hr = tl->GetTypeInfoOfGuid(guid, ti.put());
    if (FAILED(hr)) return hr;
    AcquireSRWLockExclusive(&g_typelib_lock);
    // Another thread may have cached it meanwhile; a full cache only means no caching.
    const size_t used = g_used.load(std::memory_order_relaxed);
    if (!FindCached(guid) && used < std::size(g_type_infos)) {
        g_type_infos[used] = {guid, ti.get()};
        ti->AddRef();
        g_used.store(used + 1, std::memory_order_release);
    }
    ReleaseSRWLockExclusive(&g_typelib_lock);
    *out = ti.Detach();
    return S_OK;
}

void Module::ReleaseCaches() noexcept {
    AcquireSRWLockExclusive(&g_typelib_lock);
    const size_t used = g_used.exchange(0);
    for (size_t i = 0; i < used; ++i) g_type_infos[i].info->Release();
    if (g_typelib) g_typelib->Release();
    g_typelib = nullptr;
    ReleaseSRWLockExclusive(&g_typelib_lock);
}

}  // namespace tq::com
