// A class factory for any ComObject class that has a static
//   HRESULT Create(REFIID, void**)
// Aggregation is not supported (CLASS_E_NOAGGREGATION).
#pragma once

#include <objbase.h>

#include <span>

#include "tq/com/object.h"

namespace tq::com {

using CreateFn = HRESULT (*)(REFIID iid, void** out);

class ClassFactory final : public ComObject<ClassFactory, IClassFactory> {
  public:
    explicit ClassFactory(CreateFn create) noexcept : create_(create) {}
    static std::span<const QiEntry> Interfaces();

    IFACEMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
    IFACEMETHODIMP LockServer(BOOL lock) override;

  private:
    CreateFn create_;
};

struct ClassEntry {
    const CLSID* clsid;
    CreateFn create;
};

// DllGetClassObject over a table of the module's creatable classes.
HRESULT GetClassObject(std::span<const ClassEntry> classes, REFCLSID clsid, REFIID iid, void** out);

}  // namespace tq::com
