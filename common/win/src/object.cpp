#include "tq/com/class_factory.h"
#include "tq/com/object.h"

namespace tq::com {

HRESULT TableQueryInterface(void* self, std::span<const QiEntry> table, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (table.empty()) return E_NOINTERFACE;
    void* found = nullptr;
    if (IsEqualIID(iid, IID_IUnknown)) {
        found = table[0].cast(self);
    } else {
        for (const QiEntry& e : table) {
            if (IsEqualIID(iid, *e.iid)) {
                found = e.cast(self);
                break;
            }
        }
    }
    if (!found) return E_NOINTERFACE;
    static_cast<IUnknown*>(found)->AddRef();
    *out = found;
    return S_OK;
}

std::span<const QiEntry> ClassFactory::Interfaces() {
    static const QiEntry table[] = {TQ_QI(ClassFactory, IClassFactory)};
    return table;
}

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    // A creation function that throws fails the call; nothing escapes the factory.
    return Guard(IID_IClassFactory, {}, [&] { return create_(iid, out); });
}

HRESULT ClassFactory::LockServer(BOOL lock) {
    if (lock)
        Module::Lock();
    else
        Module::Unlock();
    return S_OK;
}

HRESULT GetClassObject(std::span<const ClassEntry> classes, REFCLSID clsid, REFIID iid,
                       void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    for (const ClassEntry& c : classes) {
        if (IsEqualCLSID(clsid, *c.clsid)) return ClassFactory::NewInstance(iid, out, c.create);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

}  // namespace tq::com
