// The decode-only XOR method: carriers whose header records a key with a
// cipher id other than 'B', 'T' or 'R'. Payload byte i is XORed with
// (K[i mod U] + 100) mod 256, the key index carried from row to row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace pt {

// Transforms n bytes in place, continuing from *pos (the key index), which
// is updated. key must not be empty.
void XorTransform(std::uint8_t* buf, std::size_t n, std::string_view key,
                  std::size_t* pos);

}  // namespace pt
