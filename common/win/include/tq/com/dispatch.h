// IDispatch for dual interfaces, driven by the module's own registered type library, so late
// binding by name (VBScript, VB, hosts) sees exactly what the IDL declares.
//
// By-reference arguments from scripts.  VBScript passes a variable to a by-reference parameter
// as a reference to its Variant (VT_BYREF | VT_VARIANT), whatever the parameter's type, and the
// type library's Invoke refuses that for a typed pointer (BSTR*, VARIANT_BOOL*, long*, an
// interface**): "Type mismatch".  Invoke therefore hands such an argument over as what the
// parameter expects: a reference the Variant already holds of the right type is passed on as is;
// anything else is copied in, converted to the parameter's type, and copied back into the
// caller's Variant when the call changed it.
#pragma once

#include <oaidl.h>

#include <memory>

#include "tq/com/com_ptr.h"
#include "tq/com/module.h"

namespace tq::com {

// The arguments of one Invoke with by-reference Variants adapted to the parameters' types.
class ByRefArguments {
  public:
    ByRefArguments() noexcept;
    ~ByRefArguments();
    ByRefArguments(const ByRefArguments&) = delete;
    ByRefArguments& operator=(const ByRefArguments&) = delete;

    // Adapts `params` for member `id` called with `flags`.  Fails (DISP_E_TYPEMISMATCH, with
    // *arg_err) when a Variant cannot be converted to its parameter's type.
    HRESULT Prepare(ITypeInfo* ti, DISPID id, WORD flags, DISPPARAMS* params, UINT* arg_err);
    // The parameters to call with: the adapted ones, or the caller's when nothing needed it.
    DISPPARAMS* Params(DISPPARAMS* original) noexcept;
    // Copies changed values back into the caller's Variants.
    void CopyBack() noexcept;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// Base for one dual interface I (which derives from IDispatch) whose IID is *piid.
template <class I, const IID* piid>
class DispatchImpl : public I {
  public:
    IFACEMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    IFACEMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        return Module::TypeInfo(*piid, out);
    }
    IFACEMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        ComPtr<ITypeInfo> ti;
        HRESULT hr = Module::TypeInfo(*piid, ti.put());
        if (FAILED(hr)) return hr;
        return ti->GetIDsOfNames(names, count, ids);
    }
    IFACEMETHODIMP Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                          VARIANT* result, EXCEPINFO* excep, UINT* arg_err) override {
        if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        ComPtr<ITypeInfo> ti;
        HRESULT hr = Module::TypeInfo(*piid, ti.put());
        if (FAILED(hr)) return hr;
        ByRefArguments args;
        hr = args.Prepare(ti.get(), id, flags, params, arg_err);
        if (FAILED(hr)) return hr;
        hr = ti->Invoke(static_cast<I*>(this), id, flags, args.Params(params), result, excep,
                        arg_err);
        args.CopyBack();
        return hr;
    }
};

}  // namespace tq::com
