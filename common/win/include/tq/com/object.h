// Reference counting and table-driven QueryInterface for hand-written COM classes.
//
//   class Foo final : public tq::com::ComObject<Foo, IFoo, IPersist> {
//   public:
//       static std::span<const tq::com::QiEntry> Interfaces();   // defined after the class
//       ...
//   };
//   std::span<const QiEntry> Foo::Interfaces() {
//       static const QiEntry table[] = {TQ_QI(Foo, IFoo), TQ_QI_VIA(Foo, IDispatch, IFoo),
//                                       TQ_QI(Foo, IPersist)};
//       return table;
//   }
//
// The first entry is the object's identity: QueryInterface(IID_IUnknown) always answers it.
// Every live object holds a module lock, so DllCanUnloadNow is exact.
#pragma once

#include <objbase.h>

#include <new>
#include <span>
#include <utility>

#include "tq/com/com_ptr.h"
#include "tq/com/error_info.h"
#include "tq/com/module.h"

namespace tq::com {

struct QiEntry {
    const IID* iid;
    void* (*cast)(void* self);
};

template <class C, class I>
void* CastTo(void* self) {
    return static_cast<I*>(static_cast<C*>(self));
}
template <class C, class Via, class I>
void* CastVia(void* self) {
    return static_cast<I*>(static_cast<Via*>(static_cast<C*>(self)));
}

#define TQ_QI(Class, Iface)                            \
    ::tq::com::QiEntry {                               \
        &IID_##Iface, &::tq::com::CastTo<Class, Iface> \
    }
#define TQ_QI_IID(Class, Iface, iid)             \
    ::tq::com::QiEntry {                         \
        &(iid), &::tq::com::CastTo<Class, Iface> \
    }
#define TQ_QI_VIA(Class, Iface, Via)                         \
    ::tq::com::QiEntry {                                     \
        &IID_##Iface, &::tq::com::CastVia<Class, Via, Iface> \
    }

HRESULT TableQueryInterface(void* self, std::span<const QiEntry> table, REFIID iid, void** out);

template <class Derived, class... Ifaces>
class ComObject : public Ifaces... {
  public:
    IFACEMETHODIMP QueryInterface(REFIID iid, void** out) override {
        return TableQueryInterface(static_cast<Derived*>(this), Derived::Interfaces(), iid, out);
    }
    IFACEMETHODIMP_(ULONG) AddRef() override {
        return static_cast<ULONG>(InterlockedIncrement(&refs_));
    }
    IFACEMETHODIMP_(ULONG) Release() override {
        const LONG r = InterlockedDecrement(&refs_);
        if (r == 0) delete static_cast<Derived*>(this);
        return static_cast<ULONG>(r);
    }

    // The object's identity pointer.
    IUnknown* Identity() {
        return static_cast<IUnknown*>(Derived::Interfaces()[0].cast(static_cast<Derived*>(this)));
    }

    // new + QueryInterface (for class factories); the object dies again if the interface is not
    // supported.  A constructor that throws fails the call with the exception's HRESULT.
    template <class... Args>
    static HRESULT NewInstance(REFIID iid, void** out, Args&&... args) noexcept {
        if (!out) return E_POINTER;
        *out = nullptr;
        return Guard(iid, {}, [&] {
            const ComPtr<Derived> obj(new Derived(std::forward<Args>(args)...));
            return obj->QueryInterface(iid, out);
        });
    }

    // new, as a counted pointer to the class itself (for code of the same library).
    template <class... Args>
    static ComPtr<Derived> Make(Args&&... args) {
        Derived* obj = new (std::nothrow) Derived(std::forward<Args>(args)...);
        return obj ? ComPtr<Derived>(obj) : ComPtr<Derived>();
    }

  protected:
    ComObject() noexcept { Module::Lock(); }
    ~ComObject() { Module::Unlock(); }
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    LONG RefCountForTests() const { return refs_; }

  private:
    // A new object starts at 0: Make()/CreateInstance() take the first reference.
    LONG refs_ = 0;
};

}  // namespace tq::com
