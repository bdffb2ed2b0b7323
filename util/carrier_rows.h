// The carrier's pixel rows. The jobs lay the payload out in them and the
// cipher layer hands whole rows to its threads, so both take the sizes from
// here.
#pragma once

#include <cstddef>

namespace pt {

inline constexpr int kCarrierWidth = 608;     // pixels; written and read
inline constexpr int kOldCarrierWidth = 600;  // read only: older carriers
inline constexpr std::size_t kBytesPerPixel = 3;  // 24-bit BMP
inline constexpr std::size_t kRowBytes = kCarrierWidth * kBytesPerPixel;        // 1824
inline constexpr std::size_t kOldRowBytes = kOldCarrierWidth * kBytesPerPixel;  // 1800

}  // namespace pt
