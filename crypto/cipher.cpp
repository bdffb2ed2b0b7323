#include "crypto/cipher.h"

#include <cstring>

#include "crypto/xor_method.h"
#include "util/byte_order.h"

namespace pt {

std::uint8_t CipherIdForIndex(int listIndex) {
  switch (listIndex) {
    case 1: return kCipherBlowfish;
    case 2: return kCipherTwofish;
    case 3: return kCipherRijndael;
    default: return kCipherNone;
  }
}

std::string MethodLogName(std::string_view listText) {
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

std::string ExtendKey(std::string_view key) {
  const std::size_t len = key.size();
  if (len < 8 || len > 32) return {};
  const std::size_t target = len <= 16 ? 16 : (len <= 24 ? 24 : 32);
  std::string out(key);
  for (std::size_t c = 0; out.size() < target; ++c) out.push_back(key[c % len]);
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

const char* StrengthWord(unsigned bits) {
  switch (bits) {
    case 128: return "(low)";
    case 192: return "(medium)";
    case 256: return "(high)";
    default: return "";
  }
}

namespace {

std::string BlockModeLine(unsigned bits) {
  return "-> Block cipher mode = " + std::to_string(bits) + " bit " + StrengthWord(bits);
}

const std::uint8_t* Bytes(std::string_view s) {
  return reinterpret_cast<const std::uint8_t*>(s.data());
}

}  // namespace

KeyWiper::~KeyWiper() { SecureWipe(key_.data(), key_.size()); }

ChunkCipher::~ChunkCipher() { SecureWipe(xorKey_.data(), xorKey_.size()); }

std::string ChunkCipher::KeyForEncode(std::uint8_t cipherId, std::string_view key) {
  id_ = kCipherNone;
  if (key.empty()) return {};
  switch (cipherId) {
    case kCipherBlowfish:
      blowfish_.SetKey(Bytes(key), key.size());
      id_ = cipherId;
      return "-> Block cipher mode = 64 bit (low)";
    case kCipherTwofish:
    case kCipherRijndael: {
      std::string extended = ExtendKey(key);
      KeyWiper wipeExtended(extended);
      if (extended.empty()) return {};  // never keyed with an empty key
      const auto bits = static_cast<unsigned>(extended.size() * 8);
      AES& engine = cipherId == kCipherTwofish ? static_cast<AES&>(twofish_)
                                               : static_cast<AES&>(rijndael_);
      engine.key_setup(Bytes(extended), bits, 3);
      id_ = cipherId;
      return BlockModeLine(bits);
    }
    default:
      return {};
  }
}

std::vector<std::string> ChunkCipher::KeyForDecode(
    std::uint8_t cipherId, std::string_view key,
    const std::uint8_t (&keyMix)[kKeyMixSize]) {
  const std::size_t used = key.size() < kKeyMixSize ? key.size() : kKeyMixSize;
  xorKey_.clear();
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
      return {"-> BlowFish decryption method", "-> Block cipher mode = 64 bit (low)"};
    }
    case kCipherTwofish:
    case kCipherRijndael: {
      id_ = cipherId;
      std::string extended = ExtendKey(key);
      KeyWiper wipeExtended(extended);
      const auto bits = static_cast<unsigned>(extended.size() * 8);
      AES& engine = cipherId == kCipherTwofish ? static_cast<AES&>(twofish_)
                                               : static_cast<AES&>(rijndael_);
      if (!extended.empty()) engine.key_setup(Bytes(extended), bits, 3);
      return {cipherId == kCipherTwofish ? "-> TwoFish decryption method"
                                         : "-> Rijndael decryption method",
              BlockModeLine(bits)};
    }
    default:
      // Any other id with a key selects the XOR method.
      id_ = 0xFF;
      xorKey_.assign(key.substr(0, used));
      return {"-> XOR decryption method"};
  }
}

std::size_t ChunkCipher::EncryptChunk(std::uint8_t* buf, std::size_t n) {
  switch (id_) {
    case kCipherBlowfish:
      return blowfish_.EncryptBuffer(buf, buf, n);
    case kCipherTwofish:
    case kCipherRijndael: {
      const AES& engine = id_ == kCipherTwofish ? static_cast<const AES&>(twofish_)
                                                : static_cast<const AES&>(rijndael_);
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
      const AES& engine = id_ == kCipherTwofish ? static_cast<const AES&>(twofish_)
                                                : static_cast<const AES&>(rijndael_);
      engine.decrypt_blocks(buf, buf, m / 16);
      return m % 16 == 0;
    }
    case kCipherNone:
      return true;
    default:
      if (!xorKey_.empty()) XorTransform(buf, n, xorKey_, &xorPos_);
      return true;
  }
}

// ECB: each block stands alone, so a run of whole rows is one long chunk.
void ChunkCipher::EncryptRows(std::uint8_t* buf, std::size_t len) { EncryptChunk(buf, len); }

void ChunkCipher::DecryptRows(std::uint8_t* buf, std::size_t len) { DecryptChunk(buf, len, len); }

}  // namespace pt
