// Rijndael with a 128-bit block and 128/192/256-bit keys (AES, FIPS-197):
// table-driven code with the rounds written out, and the processor's AES
// instructions where it has them, chosen when the program runs.
#pragma once

#include <cstdint>

#include "crypto/aes.h"

namespace pt {

// The implementations of the rounds, all giving the same bytes. kTable runs
// on every processor and is the reference; kAesNi uses the AES instructions
// one block per instruction, kVaes256 and kVaes512 two and four.
enum class RijndaelPath { kTable, kAesNi, kVaes256, kVaes512 };
inline constexpr RijndaelPath kRijndaelPaths[] = {RijndaelPath::kTable, RijndaelPath::kAesNi,
                                                  RijndaelPath::kVaes256,
                                                  RijndaelPath::kVaes512};

// "table", "aes-ni", "vaes-256", "vaes-512".
const char* RijndaelPathName(RijndaelPath path);
// Whether this build and this processor can run the path (kTable: always).
bool RijndaelPathAvailable(RijndaelPath path);
// The path every rijndael object in the process uses: the fastest available
// one, or kTable when fast paths are off (PIXELTUCK_FALLBACK, util/parallel.h).
RijndaelPath RijndaelActivePath();
// For tests and benchmarks: makes the whole process use `path` from now on.
// Returns false, changing nothing, when the path is not available.
bool ForceRijndaelPath(RijndaelPath path);
// Back to the default choice.
void ResetRijndaelPath();

class rijndael final : public BlockCipher128 {
 public:
  rijndael() = default;
  ~rijndael() override;  // wipes both schedules

  const char* algorithm_name() const override;
  // Refuses bits other than 128, 192, 256. After direction 1 (encryption
  // only) there is no decryption schedule and decryption writes zeros.
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

  std::uint32_t k_ = 0;  // key length in 32-bit words: 4, 6 or 8; 0 unkeyed
  bool canDecrypt_ = false;
  std::uint32_t encKey_[64] = {};
  std::uint32_t decKey_[64] = {};
};

}  // namespace pt
