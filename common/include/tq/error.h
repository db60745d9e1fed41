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
inline constexpr int32_t kOk = 0;
inline constexpr int32_t kFail = static_cast<int32_t>(0x80004005);
inline constexpr int32_t kInvalidArg = static_cast<int32_t>(0x80070057);
inline constexpr int32_t kOutOfMemory = static_cast<int32_t>(0x8007000E);
inline constexpr int32_t kTypeMismatch = static_cast<int32_t>(0x80020005);  // DISP_E_TYPEMISMATCH
inline constexpr int32_t kBadIndex = static_cast<int32_t>(0x8002000B);      // DISP_E_BADINDEX
inline constexpr int32_t kOverflow = static_cast<int32_t>(0x800A0006);      // CTL_E_OVERFLOW
inline constexpr int32_t kInvalidData = static_cast<int32_t>(0x8007000D);   // ERROR_INVALID_DATA
inline constexpr int32_t kStreamRead = static_cast<int32_t>(0x8003001E);    // STG_E_READFAULT
inline constexpr int32_t kOldFormat = static_cast<int32_t>(0x80030104);     // STG_E_OLDFORMAT
inline constexpr int32_t kKeyNotFound = static_cast<int32_t>(0x80070490);   // ERROR_NOT_FOUND
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

}  // namespace tq
