// Twofish (128-bit block, 16 rounds, 128/192/256-bit keys) as published by
// its authors, byte order included.
#pragma once

#include <cstdint>

#include "crypto/aes.h"

namespace pt {

class twofish final : public BlockCipher128 {
 public:
  twofish() = default;
  ~twofish() override;  // wipes the key schedule and key-dependent tables

  const char* algorithm_name() const override;
  // Refuses bits other than 128, 192, 256 (see BlockCipher128); the direction is
  // ignored.
  bool key_setup(const std::uint8_t* key, unsigned bits,
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
  void Unkey();

  std::uint32_t k_ = 0;           // 64-bit key words: 2, 3 or 4; 0 unkeyed
  std::uint32_t subkeys_[40] = {};
  std::uint32_t sboxKey_[4] = {};
  std::uint32_t keyedS_[4][256] = {};  // key-dependent S-boxes with MDS
};

}  // namespace pt
