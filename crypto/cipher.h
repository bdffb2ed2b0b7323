// The contract between the conversion jobs and the cipher engines: which
// cipher a job uses, how the key bytes become each engine's key, the 16-bit
// key check value, and how one payload row is enciphered or deciphered.
// Every byte-level choice here decides the stored bytes of a carrier.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "crypto/blowfish.h"
#include "crypto/rijndael.h"
#include "crypto/twofish.h"
#include "util/key_text.h"

namespace pt {

inline constexpr std::uint8_t kCipherNone = 0;
inline constexpr std::uint8_t kCipherBlowfish = 'B';
inline constexpr std::uint8_t kCipherTwofish = 'T';
inline constexpr std::uint8_t kCipherRijndael = 'R';

// The cipher of a job; the values are the ids stored in a carrier.
enum class CipherId : std::uint8_t {
  None = kCipherNone,
  Blowfish = kCipherBlowfish,
  Twofish = kCipherTwofish,
  Rijndael = kCipherRijndael,
};

// Texts of the main window's cipher list, positions 0..3.
inline constexpr std::array<const char*, 4> kCipherListItems = {
    "None", "BlowFish", "TwoFish", "Rijndael (AES)"};

inline constexpr std::size_t kKeyMixSize = 56;

// The cipher at positions 0..3 of the cipher list (and of the settings'
// start-up cipher); None for any other position.
CipherId CipherAtListPosition(int listIndex);
// Its name in log lines: the list text cut before its first blank when that
// blank is at the third character or later ("Rijndael (AES)" -> "Rijndael").
std::string MethodLogName(CipherId cipher);

// CRC-16/XMODEM (poly 0x1021, init 0, no reflection, no final XOR) over K.
std::uint16_t KeyCrc16(std::string_view key);

// K stretched cyclically to the smallest of 16, 24, 32 bytes not below its
// length; empty for keys outside 8..32 bytes.
KeyText ExtendKey(std::string_view key);

// The 56-byte Blowfish key of the decode side when the carrier's key mixing
// area is not all zero. Positions are filled 55, 0, 53, 2, ..., 1, 54.
std::array<std::uint8_t, kKeyMixSize> MixBlowfishKey(
    std::string_view key, const std::uint8_t (&area)[kKeyMixSize]);

// How strong a key of the 128-bit-block ciphers is, by its stretched size:
// Low 128, Medium 192, High 256 bits; Unnamed for any other size.
enum class KeyStrength { Unnamed, Low, Medium, High };
KeyStrength StrengthOf(unsigned keyBits);

// What keying did: whether an engine took the key, and the block cipher
// mode the job reports (Blowfish's 64 bits, or the stretched key's size).
struct Keying {
  bool keyed = false;      // never for an id without an engine or an empty key
  bool xorMethod = false;  // unpacking: the id names no engine
  unsigned modeBits = 0;   // 0 when the key could not be stretched
  KeyStrength strength = KeyStrength::Unnamed;

  bool operator==(const Keying&) const = default;
};

// One object per job: the three engines, of which the one selected by the
// cipher id is keyed and used for every row of the payload.
class ChunkCipher {
 public:
  ChunkCipher() = default;
  ~ChunkCipher() = default;  // the XOR key and the engines wipe themselves
  ChunkCipher(const ChunkCipher&) = delete;
  ChunkCipher& operator=(const ChunkCipher&) = delete;

  // Keys the engine for packing; not keyed for an id without an engine or
  // a key the engine cannot take.
  Keying KeyForEncode(std::uint8_t cipherId, std::string_view key);

  // Keys the engine for unpacking. Any id other than 'B', 'T', 'R' selects
  // the XOR method.
  Keying KeyForDecode(
      std::uint8_t cipherId, std::string_view key,
      const std::uint8_t (&keyMix)[kKeyMixSize]);

  // Enciphers the first n bytes of buf in place (n > 0). buf must hold the
  // length rounded up to the block size. Returns the enciphered length.
  std::size_t EncryptChunk(std::uint8_t* buf, std::size_t n);

  // Deciphers one row of m bytes as read, of which the first n belong to the
  // payload. Returns false when a 16-byte-block cipher met a row length that
  // is not a multiple of 16 (the caller shows its message); the whole blocks
  // are deciphered in any case.
  bool DecryptChunk(std::uint8_t* buf, std::size_t m, std::size_t n);

  // Whole payload rows at once: len is a multiple of 16 (a row of 1824 bytes
  // is) and every byte belongs to the payload. The bytes are exactly those
  // of EncryptChunk / DecryptChunk applied row by row; the work may be
  // spread over several threads. The XOR method continues its position.
  void EncryptRows(std::uint8_t* buf, std::size_t len);
  void DecryptRows(std::uint8_t* buf, std::size_t len);

  // DecryptChunk and DecryptRows for a part whose first byte is byte
  // `offset` of the payload. The XOR method takes its key position from the
  // offset instead of carrying it from call to call, so parts may be
  // deciphered in any order and on several threads at once.
  bool DecryptChunkAt(std::uint8_t* buf, std::size_t m, std::size_t n, std::uint64_t offset);
  void DecryptRowsAt(std::uint8_t* buf, std::size_t len, std::uint64_t offset);

  std::uint8_t cipherId() const { return id_; }

 private:
  const BlockCipher128& Engine128() const;  // twofish_ or rijndael_ by id_

  std::uint8_t id_ = kCipherNone;
  CBlowFish blowfish_;
  twofish twofish_;
  rijndael rijndael_;
  KeyText xorKey_;          // the first min(L, 56) key bytes (XOR method)
  std::size_t xorPos_ = 0;  // carried from row to row
};

}  // namespace pt
