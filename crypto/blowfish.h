// Blowfish (64-bit block, 16 rounds, keys of 1..56 bytes) with whole-buffer
// operations. Each 4-byte half of a block is read and written little-endian:
// carriers written by every copy of the program depend on that order.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pt {

class CBlowFish {
 public:
  CBlowFish();
  ~CBlowFish();  // wipes the key schedule
  CBlowFish(const CBlowFish&) = delete;
  CBlowFish& operator=(const CBlowFish&) = delete;

  // n >= 1; the key is used as a cyclic byte stream.
  void SetKey(const std::uint8_t* key, std::size_t n);
  void EncipherBlock(std::uint32_t& left, std::uint32_t& right) const;
  void DecipherBlock(std::uint32_t& left, std::uint32_t& right) const;

  // n rounded up to a multiple of 8.
  static std::size_t PaddedLength(std::size_t n);
  // Enciphers PaddedLength(n) bytes (the bytes from n on are zeroed first);
  // in may equal out; out must hold PaddedLength(n) bytes. Returns that length.
  std::size_t EncryptBuffer(const std::uint8_t* in, std::uint8_t* out,
                            std::size_t n) const;
  // Deciphers every 8-byte block that starts below n; returns n.
  std::size_t DecryptBuffer(const std::uint8_t* in, std::uint8_t* out,
                            std::size_t n) const;

 private:
  std::uint32_t* p_;  // 18 round subkeys
  std::uint32_t* s_;  // 4 x 256 S-box words, box 0 first
};

}  // namespace pt
