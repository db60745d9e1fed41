#include "tq/com/late_bind.h"

#include <algorithm>
#include <string>
#include <vector>

#include "tq/com/error_info.h"
#include "tq/com/strings.h"
#include "tq/error.h"

namespace tq::com {

HRESULT GetDispId(IDispatch* d, const wchar_t* name, DISPID* id) {
    if (!d) return E_POINTER;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    const HRESULT hr = d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, id);
    if (FAILED(hr))
        return ReportError(hr, std::wstring(L"O objeto não tem o membro '") + name + L"'");
    return hr;
}

InvokeOutcome Invoke(IDispatch* d, DISPID id, WORD flags, std::initializer_list<VARIANT> args,
                     VARIANT* result) {
    InvokeOutcome out;
    out.hr = E_POINTER;
    if (!d) return out;
    // DISPPARAMS takes the arguments right to left.
    std::vector<VARIANTARG> reversed(args.begin(), args.end());
    std::reverse(reversed.begin(), reversed.end());
    DISPID put_id = DISPID_PROPERTYPUT;
    DISPPARAMS params{};
    params.rgvarg = reversed.empty() ? nullptr : reversed.data();
    params.cArgs = static_cast<UINT>(reversed.size());
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        params.rgdispidNamedArgs = &put_id;
        params.cNamedArgs = 1;
    }
    EXCEPINFO excep{};
    UINT arg_err = 0;
    Variant ignored;
    out.hr = d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                       result ? result : &ignored, &excep, &arg_err);
    if (out.hr != DISP_E_EXCEPTION) return out;
    out.raised = true;
    if (excep.pfnDeferredFillIn) excep.pfnDeferredFillIn(&excep);
    const Bstr desc = Bstr::Attach(excep.bstrDescription), source = Bstr::Attach(excep.bstrSource),
               help = Bstr::Attach(excep.bstrHelpFile);
    out.hr = excep.scode   ? excep.scode
             : excep.wCode ? static_cast<HRESULT>(tq::hr::Classic(excep.wCode))
                           : E_FAIL;
    out.text = desc.view();
    out.source = source.view();
    return out;
}

HRESULT InvokeById(IDispatch* d, DISPID id, WORD flags, std::initializer_list<VARIANT> args,
                   VARIANT* result, std::wstring_view name_for_errors) {
    InvokeOutcome out = Invoke(d, id, flags, args, result);
    if (!out.raised) return out.hr;
    if (out.text.empty()) out.text = L"Falha em '" + std::wstring(name_for_errors) + L"'";
    return ReportError(out.hr, out.text, GUID_NULL, out.source);
}

namespace {

HRESULT ByName(IDispatch* d, const wchar_t* name, WORD flags, std::initializer_list<VARIANT> args,
               VARIANT* result) {
    DISPID id = 0;
    const HRESULT hr = GetDispId(d, name, &id);
    if (FAILED(hr)) return hr;
    return InvokeById(d, id, flags, args, result, name);
}

}  // namespace

HRESULT GetProperty(IDispatch* d, const wchar_t* name, VARIANT* result,
                    std::initializer_list<VARIANT> args) {
    return ByName(d, name, DISPATCH_PROPERTYGET | DISPATCH_METHOD, args, result);
}

HRESULT PutProperty(IDispatch* d, const wchar_t* name, const VARIANT& value, bool by_ref) {
    return ByName(d, name, by_ref ? DISPATCH_PROPERTYPUTREF : DISPATCH_PROPERTYPUT, {value},
                  nullptr);
}

HRESULT CallMethod(IDispatch* d, const wchar_t* name, std::initializer_list<VARIANT> args,
                   VARIANT* result) {
    return ByName(d, name, DISPATCH_METHOD, args, result);
}

}  // namespace tq::com
