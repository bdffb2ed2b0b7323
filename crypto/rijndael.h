// Rijndael with a 128-bit block and 128/192/256-bit keys (AES, FIPS-197),
// table-driven with the rounds written out.
#pragma once

#include <cstdint>

#include "crypto/aes.h"

namespace pt {

class rijndael final : public AES {
 public:
  rijndael() = default;
  ~rijndael() override;  // wipes both schedules

  const char* algorithm_name() const override;
  void key_setup(const std::uint8_t* key, unsigned bits,
                 std::uint8_t direction) override;
  void encrypt_block(const std::uint8_t in[16],
                     std::uint8_t out[16]) const override;
  void decrypt_block(const std::uint8_t in[16],
                     std::uint8_t out[16]) const override;
  void encrypt_blocks(const std::uint8_t* in, std::uint8_t* out,
                      std::size_t blocks) const override;
  void decrypt_blocks(const std::uint8_t* in, std::uint8_t* out,
                      std::size_t blocks) const override;

 private:
  std::uint32_t k_ = 0;  // key length in 32-bit words: 4, 6 or 8
  std::uint32_t encKey_[64] = {};
  std::uint32_t decKey_[64] = {};
};

}  // namespace pt
