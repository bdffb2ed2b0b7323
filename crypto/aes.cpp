// Default whole-buffer operations of the 128-bit-block engines.
#include "crypto/aes.h"

namespace pt {

void AES::encrypt_blocks(const std::uint8_t* in, std::uint8_t* out,
                         std::size_t blocks) const {
  for (std::size_t i = 0; i < blocks; ++i) {
    encrypt_block(in + 16 * i, out + 16 * i);
  }
}

void AES::decrypt_blocks(const std::uint8_t* in, std::uint8_t* out,
                         std::size_t blocks) const {
  for (std::size_t i = 0; i < blocks; ++i) {
    decrypt_block(in + 16 * i, out + 16 * i);
  }
}

}  // namespace pt
