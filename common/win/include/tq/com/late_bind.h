// Late binding as a script host does it: members looked up by name through IDispatch.
// A DISP_E_EXCEPTION from the callee is turned into its scode with an error object made from
// the EXCEPINFO, so the text travels on to our own caller.
#pragma once

#include <oaidl.h>

#include <initializer_list>
#include <string>
#include <string_view>

#include "tq/com/variant.h"

namespace tq::com {

// How one IDispatch::Invoke ended.  A DISP_E_EXCEPTION is unpacked: hr is the exception's scode,
// or its wCode as a classic run-time error (0x800A0000 + number), or E_FAIL for neither; text
// and source are the callee's, empty when it gave none.
struct InvokeOutcome {
    HRESULT hr = S_OK;
    bool raised = false;  // the callee raised an exception (DISP_E_EXCEPTION)
    std::wstring text;
    std::wstring source;
};

// IDispatch::Invoke with `args` in natural (left-to-right) order, the caller keeping ownership; a
// property put passes its value as DISPID_PROPERTYPUT.  Sets no error object.
InvokeOutcome Invoke(IDispatch* d, DISPID id, WORD flags, std::initializer_list<VARIANT> args,
                     VARIANT* result);

HRESULT GetDispId(IDispatch* d, const wchar_t* name, DISPID* id);

// Property get; `args` in natural (left-to-right) order.
HRESULT GetProperty(IDispatch* d, const wchar_t* name, VARIANT* result,
                    std::initializer_list<VARIANT> args = {});
// Property put (DISPATCH_PROPERTYPUT) or, with by_ref, put by reference (DISPATCH_PROPERTYPUTREF).
HRESULT PutProperty(IDispatch* d, const wchar_t* name, const VARIANT& value, bool by_ref = false);
// Method call; `args` in natural order; result may be null.
HRESULT CallMethod(IDispatch* d, const wchar_t* name, std::initializer_list<VARIANT> args = {},
                   VARIANT* result = nullptr);

// Same, by DISPID.
HRESULT InvokeById(IDispatch* d, DISPID id, WORD flags, std::initializer_list<VARIANT> args,
                   VARIANT* result, std::wstring_view name_for_errors);

}  // namespace tq::com
