// Errors at the COM boundary: IErrorInfo text for hosts, ISupportErrorInfo, and the conversion
// of C++ exceptions (tq::Error from the portable cores, ComFailure from failed COM calls) into
// HRESULTs.
#pragma once

#include <oaidl.h>

#include <span>
#include <string>
#include <string_view>

#include "tq/com/com_ptr.h"
#include "tq/error.h"

namespace tq::com {

// Sets the thread's error object (description, source, interface) and returns hr, so that
//   return ReportError(E_INVALIDARG, L"...", IID_IFoo);
// both fails the call and explains it.
HRESULT ReportError(HRESULT hr, std::wstring_view description, REFIID iid = GUID_NULL,
                    std::wstring_view source = {});

// A failed COM call, thrown by Check().  It carries the error object the callee left (if any)
// so the boundary hands the callee's own text on to our caller.
class ComFailure {
  public:
    explicit ComFailure(HRESULT hr);
    HRESULT hr() const noexcept { return hr_; }
    IErrorInfo* info() const noexcept { return info_.get(); }

  private:
    HRESULT hr_;
    ComPtr<IErrorInfo> info_;
};

// The description an error object carries; empty for none.
std::wstring ErrorText(IErrorInfo* info);
// A failure as one line for a log: "HRESULT 0x80004005" and the callee's description, if any.
std::wstring FailureText(const ComFailure& failure);

// Throws ComFailure when hr failed; returns hr otherwise (S_OK or S_FALSE).
inline HRESULT Check(HRESULT hr) {
    if (FAILED(hr)) throw ComFailure(hr);
    return hr;
}
// Throws tq::Error with our own text when hr failed.
HRESULT Check(HRESULT hr, std::wstring_view description);

// Runs f() (which returns HRESULT) and turns any exception into an HRESULT with error info:
// tq::Error -> its HRESULT and message; ComFailure -> its HRESULT and the callee's error object;
// std::bad_alloc -> E_OUTOFMEMORY.  Used at the top of every interface method that can throw.
template <class F>
HRESULT Guard(REFIID iid, std::wstring_view source, F&& f) noexcept;

// The HRESULT of the exception being handled (inside a catch block).
HRESULT HandleCurrentException(REFIID iid, std::wstring_view source) noexcept;

template <class F>
HRESULT Guard(REFIID iid, std::wstring_view source, F&& f) noexcept {
    try {
        return f();
    } catch (...) {
        return HandleCurrentException(iid, source);
    }
}

// ISupportErrorInfo::InterfaceSupportsErrorInfo over a list of interfaces.
inline HRESULT SupportsErrorInfo(std::span<const IID* const> iids, REFIID riid) {
    for (const IID* iid : iids)
        if (IsEqualGUID(*iid, riid)) return S_OK;
    return S_FALSE;
}

}  // namespace tq::com
