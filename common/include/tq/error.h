// Errors raised by the portable cores.
//
// Portable code throws tq::Error carrying the HRESULT a COM caller should receive and a message
// for IErrorInfo.  The COM layers catch it at the interface boundary (see tq/com/error_info.h);
// nothing below that boundary needs to know about COM.
#pragma once

#include <cstdint>
#include <stdexcept>

#include "tq/ustring.h"

namespace tq {

// HRESULT values used by portable code, spelled out so that no Windows header is needed.
namespace hr {
// A classic run-time error number as the HRESULT Automation gives it (FACILITY_CONTROL).
constexpr int32_t Classic(uint16_t number) {
    return static_cast<int32_t>(0x800A0000u | number);
}
inline constexpr int32_t kOk = 0;
inline constexpr int32_t kFail = static_cast<int32_t>(0x80004005);
inline constexpr int32_t kInvalidArg = static_cast<int32_t>(0x80070057);
inline constexpr int32_t kOutOfMemory = static_cast<int32_t>(0x8007000E);
inline constexpr int32_t kTypeMismatch = static_cast<int32_t>(0x80020005);  // DISP_E_TYPEMISMATCH
inline constexpr int32_t kBadIndex = static_cast<int32_t>(0x8002000B);      // DISP_E_BADINDEX
inline constexpr int32_t kOverflow = Classic(6);
inline constexpr int32_t kObjectNotSet = Classic(91);     // "Object variable ... not set"
inline constexpr int32_t kObjectRequired = Classic(424);  // CTL_E_OBJECTREQUIRED
inline constexpr int32_t kInvalidData = static_cast<int32_t>(0x8007000D);  // ERROR_INVALID_DATA
inline constexpr int32_t kStreamRead = static_cast<int32_t>(0x8003001E);   // STG_E_READFAULT
inline constexpr int32_t kOldFormat = static_cast<int32_t>(0x80030104);    // STG_E_OLDFORMAT
inline constexpr int32_t kKeyNotFound = static_cast<int32_t>(0x80070490);  // ERROR_NOT_FOUND
}  // namespace hr

class Error : public std::runtime_error {
  public:
    Error(int32_t hresult, String message)
        : std::runtime_error(ToUtf8(message)), hresult_(hresult), message_(std::move(message)) {}

    int32_t hresult() const noexcept { return hresult_; }
    const String& message() const noexcept { return message_; }

  private:
    int32_t hresult_;
    String message_;
};

// The classic run-time's error 91, raised where an object reference is needed and missing.
[[noreturn]] inline void ThrowObjectNotSet() {
    throw Error(hr::kObjectNotSet, u"Object variable or With block variable not set");
}

}  // namespace tq
