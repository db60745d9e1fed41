// BSTR ownership and conversions between BSTR, wide strings and the portable tq::String.
#pragma once

#include <ole2.h>

#include <string>
#include <string_view>
#include <utility>

#include "tq/ustring.h"

namespace tq::com {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide strings are UTF-16");

inline std::wstring_view AsWide(tq::StringView s) {
    return {reinterpret_cast<const wchar_t*>(s.data()), s.size()};
}
inline tq::StringView AsPortable(std::wstring_view s) {
    return {reinterpret_cast<const char16_t*>(s.data()), s.size()};
}
inline tq::String ToPortable(BSTR b) {
    return tq::String(reinterpret_cast<const char16_t*>(b ? b : L""), b ? SysStringLen(b) : 0);
}

// An owned BSTR.
class Bstr {
  public:
    Bstr() noexcept = default;
    explicit Bstr(std::wstring_view s)
        : b_(SysAllocStringLen(s.data(), static_cast<UINT>(s.size()))) {}
    explicit Bstr(tq::StringView s) : Bstr(AsWide(s)) {}
    Bstr(const Bstr& o) : b_(o.b_ ? SysAllocStringLen(o.b_, SysStringLen(o.b_)) : nullptr) {}
    Bstr(Bstr&& o) noexcept : b_(std::exchange(o.b_, nullptr)) {}
    ~Bstr() { SysFreeString(b_); }
    Bstr& operator=(Bstr o) noexcept {
        std::swap(b_, o.b_);
        return *this;
    }

    static Bstr Attach(BSTR b) noexcept {
        Bstr r;
        r.b_ = b;
        return r;
    }
    BSTR Detach() noexcept { return std::exchange(b_, nullptr); }
    BSTR get() const noexcept { return b_; }
    BSTR* put() noexcept {
        SysFreeString(std::exchange(b_, nullptr));
        return &b_;
    }
    // Whether allocation of a non-empty source succeeded (a null BSTR is a valid empty string).
    bool ok_for(size_t len) const noexcept { return b_ != nullptr || len == 0; }

    UINT size() const noexcept { return SysStringLen(b_); }
    std::wstring_view view() const noexcept { return {b_ ? b_ : L"", size()}; }
    tq::String portable() const { return tq::String(AsPortable(view())); }

  private:
    BSTR b_ = nullptr;
};

// Hands a copy of `s` to a BSTR out-parameter.
inline HRESULT ReturnBstr(tq::StringView s, BSTR* out) {
    if (!out) return E_POINTER;
    *out = SysAllocStringLen(AsWide(s).data(), static_cast<UINT>(s.size()));
    return (*out || s.empty()) ? S_OK : E_OUTOFMEMORY;
}

// ANSI (CP_ACP) <-> wide.
std::string ToAnsi(std::wstring_view s);
std::wstring FromAnsi(std::string_view s);

}  // namespace tq::com
