#include "crypto/xor_method.h"

namespace pt {

void XorTransform(std::uint8_t* buf, std::size_t n, std::string_view key,
                  std::size_t* pos) {
  if (key.empty()) return;
  std::size_t j = *pos;
  for (std::size_t i = 0; i < n; ++i) {
    if (j >= key.size()) j = 0;
    const auto k = static_cast<std::uint8_t>(static_cast<std::uint8_t>(key[j]) + 100u);
    buf[i] = static_cast<std::uint8_t>(buf[i] ^ k);
    ++j;
  }
  *pos = j;
}

}  // namespace pt
