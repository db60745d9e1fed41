// IDispatch for dual interfaces, driven by the module's own registered type library, so late
// binding by name (VBScript, VB, hosts) sees exactly what the IDL declares.
#pragma once

#include <oaidl.h>

#include "tq/com/com_ptr.h"
#include "tq/com/module.h"

namespace tq::com {

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
        return ti->Invoke(static_cast<I*>(this), id, flags, params, result, excep, arg_err);
    }
};

}  // namespace tq::com
