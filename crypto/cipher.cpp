#include "crypto/cipher.h"

#include <algorithm>
#include <cstring>

#include "crypto/xor_method.h"
#include "util/carrier_rows.h"
#include "util/parallel.h"

namespace pt {

CipherId CipherAtListPosition(int listIndex) {
  switch (listIndex) {
    case 1: return CipherId::Blowfish;
    case 2: return CipherId::Twofish;
    case 3: return CipherId::Rijndael;
    default: return CipherId::None;
  }
}

namespace {

int ListPosition(CipherId cipher) {
  switch (cipher) {
    case CipherId::Blowfish: return 1;
    case CipherId::Twofish: return 2;
    case CipherId::Rijndael: return 3;
    case CipherId::None: break;
  }
  return 0;
}

}  // namespace

std::string MethodLogName(CipherId cipher) {
  const std::string_view listText = kCipherListItems[static_cast<std::size_t>(ListPosition(cipher))];
  const auto blank = listText.find(' ');
  // A blank at the third character or later cuts the text ("Rijndael (AES)").
  if (blank != std::string_view::npos && blank >= 2) {
    return std::string(listText.substr(0, blank));
  }
  return std::string(listText);
}

std::uint16_t KeyCrc16(std::string_view key) {
  std::uint32_t crc = 0;
  for (char ch : key) {
    crc ^= static_cast<std::uint32_t>(static_cast<std::uint8_t>(ch)) << 8;
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 0x8000u) != 0 ? (crc << 1) ^ 0x1021u : crc << 1;
    }
    crc &= 0xFFFFu;
  }
  return static_cast<std::uint16_t>(crc);
}

KeyText ExtendKey(std::string_view key) {
  const std::size_t len = key.size();
  if (len < 8 || len > 32) return {};
  const std::size_t target = len <= 16 ? 16 : (len <= 24 ? 24 : 32);
  KeyText out(key);
  for (std::size_t c = 0; out.size() < target; ++c) out.Append(key[c % len]);
  return out;
}

std::array<std::uint8_t, kKeyMixSize> MixBlowfishKey(
    std::string_view key, const std::uint8_t (&area)[kKeyMixSize]) {
  std::array<std::uint8_t, kKeyMixSize> out{};
  const std::size_t used = key.size() < kKeyMixSize ? key.size() : kKeyMixSize;
  if (used == 0) return out;
  std::size_t j = 0;
  for (std::size_t k = 0; k < kKeyMixSize; ++k) {
    // Odd k fill the even positions from the front, even k the odd ones from
    // the back: 55, 0, 53, 2, ..., 1, 54.
    const std::size_t p = (k % 2 == 1) ? k - 1 : kKeyMixSize - 1 - k;
    const auto keyByte = static_cast<std::uint8_t>(key[j]);
    out[p] = static_cast<std::uint8_t>(static_cast<std::uint8_t>(keyByte + 100u) ^ area[k]);
    if (++j >= used) j = 0;
  }
  return out;
}

KeyStrength StrengthOf(unsigned keyBits) {
  switch (keyBits) {
    case 128: return KeyStrength::Low;
    case 192: return KeyStrength::Medium;
    case 256: return KeyStrength::High;
    default: return KeyStrength::Unnamed;
  }
}

namespace {

// The engine selection of a decoder whose cipher id names no engine.
constexpr std::uint8_t kXorMethod = 0xFF;

// Blowfish's 64-bit blocks count as low strength whatever its key.
constexpr Keying kBlowfishKeying{true, false, 64, KeyStrength::Low};

Keying Block128Keying(bool keyed, unsigned keyBits) {
  return Keying{keyed, false, keyBits, StrengthOf(keyBits)};
}

const std::uint8_t* Bytes(std::string_view s) {
  return reinterpret_cast<const std::uint8_t*>(s.data());
}

}  // namespace


Keying ChunkCipher::KeyForEncode(std::uint8_t cipherId, std::string_view key) {
  id_ = kCipherNone;
  if (key.empty()) return {};
  switch (cipherId) {
    case kCipherBlowfish:
      blowfish_.SetKey(Bytes(key), key.size());
      id_ = cipherId;
      return kBlowfishKeying;
    case kCipherTwofish:
    case kCipherRijndael: {
      const KeyText extended = ExtendKey(key);
      if (extended.empty()) return {};  // never keyed with an empty key
      const auto bits = static_cast<unsigned>(extended.size() * 8);
      BlockCipher128& engine = cipherId == kCipherTwofish ? static_cast<BlockCipher128&>(twofish_)
                                               : static_cast<BlockCipher128&>(rijndael_);
      if (!engine.key_setup(extended.Bytes(), bits, 3)) return {};
      id_ = cipherId;
      return Block128Keying(true, bits);
    }
    default:
      return {};
  }
}

Keying ChunkCipher::KeyForDecode(std::uint8_t cipherId, std::string_view key,
                                 const std::uint8_t (&keyMix)[kKeyMixSize]) {
  const std::size_t used = key.size() < kKeyMixSize ? key.size() : kKeyMixSize;
  xorKey_.Clear();
  xorPos_ = 0;
  switch (cipherId) {
    case kCipherBlowfish: {
      id_ = cipherId;
      bool mixed = false;
      for (std::uint8_t b : keyMix) mixed = mixed || b != 0;
      if (mixed) {
        auto mixedKey = MixBlowfishKey(key, keyMix);
        blowfish_.SetKey(mixedKey.data(), mixedKey.size());
        SecureWipe(mixedKey.data(), mixedKey.size());
      } else if (used > 0) {
        blowfish_.SetKey(Bytes(key), used);
      }
      Keying keying = kBlowfishKeying;
      keying.keyed = mixed || used > 0;
      return keying;
    }
    case kCipherTwofish:
    case kCipherRijndael: {
      id_ = cipherId;
      const KeyText extended = ExtendKey(key);
      const auto bits = static_cast<unsigned>(extended.size() * 8);
      BlockCipher128& engine = cipherId == kCipherTwofish ? static_cast<BlockCipher128&>(twofish_)
                                               : static_cast<BlockCipher128&>(rijndael_);
      const bool keyed = !extended.empty() && engine.key_setup(extended.Bytes(), bits, 3);
      return Block128Keying(keyed, bits);
    }
    default:
      // Any other id with a key selects the XOR method.
      id_ = kXorMethod;
      xorKey_ = KeyText(key.substr(0, used));
      return Keying{used > 0, true, 0, KeyStrength::Unnamed};
  }
}

std::size_t ChunkCipher::EncryptChunk(std::uint8_t* buf, std::size_t n) {
  switch (id_) {
    case kCipherBlowfish:
      return blowfish_.EncryptBuffer(buf, buf, n);
    case kCipherTwofish:
    case kCipherRijndael: {
      const BlockCipher128& engine = Engine128();
      const std::size_t whole = n / 16;
      engine.encrypt_blocks(buf, buf, whole);
      const std::size_t rest = n % 16;
      if (rest == 0) return n;
      // The last partial block is filled up with 0xFF bytes.
      std::uint8_t in[16];
      std::uint8_t out[16];
      std::memset(in, 0xFF, sizeof in);
      std::memcpy(in, buf + whole * 16, rest);
      engine.encrypt_block(in, out);
      std::memcpy(buf + whole * 16, out, sizeof out);
      return n + 16 - rest;
    }
    default:
      return n;
  }
}

bool ChunkCipher::DecryptChunk(std::uint8_t* buf, std::size_t m, std::size_t n) {
  switch (id_) {
    case kCipherBlowfish:
      // A final partial block is deciphered whole from the bytes present.
      blowfish_.DecryptBuffer(buf, buf, n);
      return true;
    case kCipherTwofish:
    case kCipherRijndael: {
      const BlockCipher128& engine = Engine128();
      engine.decrypt_blocks(buf, buf, m / 16);
      return m % 16 == 0;
    }
    case kCipherNone:
      return true;
    default:
      if (!xorKey_.empty()) XorTransform(buf, n, xorKey_.View(), &xorPos_);
      return true;
  }
}

namespace {

// Whole carrier rows only go to the threads: a row of 1824 bytes is 114
// blocks of every cipher. Pieces below a few rows would cost more to hand
// over than to encipher.
constexpr std::size_t kMinRowsPerPiece = 8;
constexpr std::size_t kPiecesPerThread = 4;  // evens out a busy core

// Rijndael on the AES instructions enciphers a 1 MiB block in about 50 us,
// less than handing part of it to another thread costs on a busy machine
// (measured: 2 threads 0.73x to 1.0x of one); it stays on the caller's thread.
bool WorthThreads(std::uint8_t cipherId) {
  return cipherId != kCipherRijndael || RijndaelActivePath() == RijndaelPath::kTable;
}

// Calls work(offset, length) over buf[0, len) cut at row boundaries into
// pieces for the worker threads; the bytes after the last whole row join
// the last piece.
template <typename Work>
void SplitRows(std::uint8_t cipherId, std::size_t len, const Work& work) {
  const std::size_t rows = len / kRowBytes;
  const std::size_t pieces = std::min<std::size_t>(
      std::size_t{WorkerThreads()} * kPiecesPerThread, rows / kMinRowsPerPiece);
  if (pieces <= 1 || WorkerThreads() <= 1 || !WorthThreads(cipherId)) {
    work(0, len);
    return;
  }
  ParallelFor(pieces, [&](std::size_t i) {
    const std::size_t first = rows * i / pieces;
    const std::size_t end = rows * (i + 1) / pieces;
    const std::size_t begin = first * kRowBytes;
    work(begin, i + 1 == pieces ? len - begin : (end - first) * kRowBytes);
  });
}

}  // namespace

// ECB: each block stands alone, so the rows may be enciphered in any order
// and on any thread. The XOR method carries its key position from byte to
// byte and stays on the caller's thread.
void ChunkCipher::EncryptRows(std::uint8_t* buf, std::size_t len) {
  switch (id_) {
    case kCipherBlowfish:
      SplitRows(id_, len, [&](std::size_t off, std::size_t n) {
        blowfish_.EncryptBuffer(buf + off, buf + off, n);
      });
      return;
    case kCipherTwofish:
    case kCipherRijndael: {
      const BlockCipher128& engine = Engine128();
      SplitRows(id_, len, [&](std::size_t off, std::size_t n) {
        engine.encrypt_blocks(buf + off, buf + off, n / 16);
      });
      return;
    }
    default:
      EncryptChunk(buf, len);
  }
}

void ChunkCipher::DecryptRows(std::uint8_t* buf, std::size_t len) {
  switch (id_) {
    case kCipherBlowfish:
      SplitRows(id_, len, [&](std::size_t off, std::size_t n) {
        blowfish_.DecryptBuffer(buf + off, buf + off, n);
      });
      return;
    case kCipherTwofish:
    case kCipherRijndael: {
      const BlockCipher128& engine = Engine128();
      SplitRows(id_, len, [&](std::size_t off, std::size_t n) {
        engine.decrypt_blocks(buf + off, buf + off, n / 16);
      });
      return;
    }
    default:
      DecryptChunk(buf, len, len);
  }
}

bool ChunkCipher::DecryptChunkAt(std::uint8_t* buf, std::size_t m, std::size_t n,
                                 std::uint64_t offset) {
  if (id_ != kXorMethod) return DecryptChunk(buf, m, n);
  if (!xorKey_.empty()) {
    std::size_t pos = static_cast<std::size_t>(offset % xorKey_.size());
    XorTransform(buf, n, xorKey_.View(), &pos);
  }
  return true;
}

void ChunkCipher::DecryptRowsAt(std::uint8_t* buf, std::size_t len, std::uint64_t offset) {
  if (id_ == kXorMethod) {
    DecryptChunkAt(buf, len, len, offset);
  } else {
    DecryptRows(buf, len);
  }
}

const BlockCipher128& ChunkCipher::Engine128() const {
  return id_ == kCipherTwofish ? static_cast<const BlockCipher128&>(twofish_)
                               : static_cast<const BlockCipher128&>(rijndael_);
}

}  // namespace pt
