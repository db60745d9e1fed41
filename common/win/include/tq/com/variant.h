// An owned VARIANT.
#pragma once

#include <ole2.h>

#include <utility>

namespace tq::com {

class Variant : public VARIANT {
  public:
    Variant() noexcept { VariantInit(this); }
    Variant(const Variant& o) : Variant() { VariantCopy(this, const_cast<Variant*>(&o)); }
    Variant(Variant&& o) noexcept : VARIANT(o) { VariantInit(&o); }
    ~Variant() { VariantClear(this); }
    Variant& operator=(Variant o) noexcept {
        std::swap(static_cast<VARIANT&>(*this), static_cast<VARIANT&>(o));
        return *this;
    }

    static Variant FromBool(bool v) {
        Variant r;
        V_VT(&r) = VT_BOOL;
        V_BOOL(&r) = v ? VARIANT_TRUE : VARIANT_FALSE;
        return r;
    }
    static Variant FromLong(LONG v) {
        Variant r;
        V_VT(&r) = VT_I4;
        V_I4(&r) = v;
        return r;
    }
    static Variant FromString(std::wstring_view s) {
        Variant r;
        V_VT(&r) = VT_BSTR;
        V_BSTR(&r) = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
        return r;
    }
    // Takes a new reference to the object.
    static Variant FromDispatch(IDispatch* d) {
        Variant r;
        V_VT(&r) = VT_DISPATCH;
        V_DISPATCH(&r) = d;
        if (d) d->AddRef();
        return r;
    }

    void Clear() noexcept { VariantClear(this); }
    // Gives the value to a VARIANT out-parameter, leaving this one Empty.
    void MoveTo(VARIANT* out) noexcept {
        *out = *this;
        VariantInit(this);
    }
    bool empty() const noexcept { return V_VT(this) == VT_EMPTY; }
};

}  // namespace tq::com
