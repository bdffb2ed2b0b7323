// Common interface of the two 128-bit-block engines (twofish, rijndael).
// The first four virtual operations keep this slot order. The class keeps
// its old name AES (Rijndael is only one of the two); code names it by the
// alias BlockCipher128.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pt {

class AES {
 public:
  AES() = default;
  virtual ~AES() = default;
  AES(const AES&) = delete;
  AES& operator=(const AES&) = delete;

  virtual const char* algorithm_name() const = 0;
  // bits: 128, 192 or 256. direction: 1 = encryption only, else both.
  // Any other bit count is refused: the result is false and the engine is
  // left unkeyed (its previous key wiped).
  virtual bool key_setup(const std::uint8_t* key, unsigned bits,
                         std::uint8_t direction) = 0;
  // One block each. A call the engine cannot serve with a valid key (not
  // keyed, refused key, decryption after an encryption-only key set-up)
  // writes zeros to the output: never stale keys, never the input as is.
  virtual void encrypt_block(const std::uint8_t in[16],
                             std::uint8_t out[16]) const = 0;
  virtual void decrypt_block(const std::uint8_t in[16],
                             std::uint8_t out[16]) const = 0;

  // Whole-buffer ECB over `blocks` 16-byte blocks; in may equal out. The
  // default loops over the single-block operations; engines may do better.
  virtual void encrypt_blocks(const std::uint8_t* in, std::uint8_t* out,
                              std::size_t blocks) const;
  virtual void decrypt_blocks(const std::uint8_t* in, std::uint8_t* out,
                              std::size_t blocks) const;

  std::uint8_t direction() const { return direction_; }

 protected:
  std::uint8_t direction_ = 3;
};

using BlockCipher128 = AES;

}  // namespace pt
