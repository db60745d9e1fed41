#include "tq/com/error_info.h"

#include <cstdio>
#include <new>
#include <string>

#include "tq/com/strings.h"

namespace tq::com {

HRESULT ReportError(HRESULT hr, std::wstring_view description, REFIID iid,
                    std::wstring_view source) {
    ComPtr<ICreateErrorInfo> cei;
    if (SUCCEEDED(CreateErrorInfo(cei.put()))) {
        const std::wstring desc(description), src(source);
        cei->SetGUID(iid);
        cei->SetDescription(const_cast<LPOLESTR>(desc.c_str()));
        if (!src.empty()) cei->SetSource(const_cast<LPOLESTR>(src.c_str()));
        ComPtr<IErrorInfo> ei;
        if (SUCCEEDED(cei.As(IID_IErrorInfo, &ei))) SetErrorInfo(0, ei.get());
    }
    return hr;
}

ComFailure::ComFailure(HRESULT hr) : hr_(hr) {
    // Take the callee's error object now, before anything else can replace it.
    IErrorInfo* ei = nullptr;
    if (GetErrorInfo(0, &ei) == S_OK) info_ = ComPtr<IErrorInfo>::Attach(ei);
}

std::wstring ErrorText(IErrorInfo* info) {
    BSTR desc = nullptr;
    if (!info || FAILED(info->GetDescription(&desc))) return {};
    const Bstr owned = Bstr::Attach(desc);
    return std::wstring(owned.view());
}

std::wstring FailureText(const ComFailure& failure) {
    wchar_t code[24];
    swprintf(code, 24, L"HRESULT 0x%08lX", static_cast<unsigned long>(failure.hr()));
    std::wstring text = code;
    if (std::wstring desc = ErrorText(failure.info()); !desc.empty()) text += L" " + desc;
    return text;
}

HRESULT Check(HRESULT hr, std::wstring_view description) {
    if (FAILED(hr)) throw tq::Error(hr, tq::String(AsPortable(description)));
    return hr;
}

HRESULT HandleCurrentException(REFIID iid, std::wstring_view source) noexcept {
    try {
        throw;
    } catch (const tq::Error& e) {
        return ReportError(static_cast<HRESULT>(e.hresult()), AsWide(e.message()), iid, source);
    } catch (const ComFailure& f) {
        SetErrorInfo(0, f.info());
        return f.hr();
    } catch (const std::bad_alloc&) {
        return ReportError(E_OUTOFMEMORY, L"Memória insuficiente", iid, source);
    } catch (...) {
        return ReportError(E_UNEXPECTED, L"Erro inesperado", iid, source);
    }
}

}  // namespace tq::com
