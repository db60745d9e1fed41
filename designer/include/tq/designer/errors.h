// HRESULTs the designer model raises, as a Windows page raising the same failure would: the
// tree view's collection errors and the Automation run-time errors the page's code can hit.
#pragma once

#include <cstdint>

#include "tq/error.h"

namespace tq::designer::hr {

inline constexpr int32_t kIndexOutOfBounds = static_cast<int32_t>(0x800A8B10);     // 35600
inline constexpr int32_t kElementNotFound = static_cast<int32_t>(0x800A8B11);      // 35601
inline constexpr int32_t kKeyNotUnique = static_cast<int32_t>(0x800A8B12);         // 35602
inline constexpr int32_t kInvalidRelationship = static_cast<int32_t>(0x800A8B15);  // 35605
inline constexpr int32_t kInvalidCall = static_cast<int32_t>(0x800A0005);          // 5
using tq::hr::kObjectNotSet;
inline constexpr int32_t kInvalidPropertyValue = static_cast<int32_t>(0x800A017C);  // 380

}  // namespace tq::designer::hr
