// Twofish engine: the authors' cipher, byte order included.
#include "crypto/twofish.h"

#include <array>
#include <cstddef>
#include <cstring>

#include "util/byte_order.h"
#include "util/key_text.h"

namespace pt {

namespace {

// ---------------------------------------------------------------------------
// Fixed tables

// The permutations q0 and q1 of the Twofish paper (Schneier et al., 1998).
constexpr std::uint8_t kQ0[256] = {
    0xA9, 0x67, 0xB3, 0xE8, 0x04, 0xFD, 0xA3, 0x76, 0x9A, 0x92, 0x80, 0x78, 0xE4, 0xDD, 0xD1, 0x38,
    0x0D, 0xC6, 0x35, 0x98, 0x18, 0xF7, 0xEC, 0x6C, 0x43, 0x75, 0x37, 0x26, 0xFA, 0x13, 0x94, 0x48,
    0xF2, 0xD0, 0x8B, 0x30, 0x84, 0x54, 0xDF, 0x23, 0x19, 0x5B, 0x3D, 0x59, 0xF3, 0xAE, 0xA2, 0x82,
    0x63, 0x01, 0x83, 0x2E, 0xD9, 0x51, 0x9B, 0x7C, 0xA6, 0xEB, 0xA5, 0xBE, 0x16, 0x0C, 0xE3, 0x61,
    0xC0, 0x8C, 0x3A, 0xF5, 0x73, 0x2C, 0x25, 0x0B, 0xBB, 0x4E, 0x89, 0x6B, 0x53, 0x6A, 0xB4, 0xF1,
    0xE1, 0xE6, 0xBD, 0x45, 0xE2, 0xF4, 0xB6, 0x66, 0xCC, 0x95, 0x03, 0x56, 0xD4, 0x1C, 0x1E, 0xD7,
    0xFB, 0xC3, 0x8E, 0xB5, 0xE9, 0xCF, 0xBF, 0xBA, 0xEA, 0x77, 0x39, 0xAF, 0x33, 0xC9, 0x62, 0x71,
    0x81, 0x79, 0x09, 0xAD, 0x24, 0xCD, 0xF9, 0xD8, 0xE5, 0xC5, 0xB9, 0x4D, 0x44, 0x08, 0x86, 0xE7,
    0xA1, 0x1D, 0xAA, 0xED, 0x06, 0x70, 0xB2, 0xD2, 0x41, 0x7B, 0xA0, 0x11, 0x31, 0xC2, 0x27, 0x90,
    0x20, 0xF6, 0x60, 0xFF, 0x96, 0x5C, 0xB1, 0xAB, 0x9E, 0x9C, 0x52, 0x1B, 0x5F, 0x93, 0x0A, 0xEF,
    0x91, 0x85, 0x49, 0xEE, 0x2D, 0x4F, 0x8F, 0x3B, 0x47, 0x87, 0x6D, 0x46, 0xD6, 0x3E, 0x69, 0x64,
    0x2A, 0xCE, 0xCB, 0x2F, 0xFC, 0x97, 0x05, 0x7A, 0xAC, 0x7F, 0xD5, 0x1A, 0x4B, 0x0E, 0xA7, 0x5A,
    0x28, 0x14, 0x3F, 0x29, 0x88, 0x3C, 0x4C, 0x02, 0xB8, 0xDA, 0xB0, 0x17, 0x55, 0x1F, 0x8A, 0x7D,
    0x57, 0xC7, 0x8D, 0x74, 0xB7, 0xC4, 0x9F, 0x72, 0x7E, 0x15, 0x22, 0x12, 0x58, 0x07, 0x99, 0x34,
    0x6E, 0x50, 0xDE, 0x68, 0x65, 0xBC, 0xDB, 0xF8, 0xC8, 0xA8, 0x2B, 0x40, 0xDC, 0xFE, 0x32, 0xA4,
    0xCA, 0x10, 0x21, 0xF0, 0xD3, 0x5D, 0x0F, 0x00, 0x6F, 0x9D, 0x36, 0x42, 0x4A, 0x5E, 0xC1, 0xE0,
};

constexpr std::uint8_t kQ1[256] = {
    0x75, 0xF3, 0xC6, 0xF4, 0xDB, 0x7B, 0xFB, 0xC8, 0x4A, 0xD3, 0xE6, 0x6B, 0x45, 0x7D, 0xE8, 0x4B,
    0xD6, 0x32, 0xD8, 0xFD, 0x37, 0x71, 0xF1, 0xE1, 0x30, 0x0F, 0xF8, 0x1B, 0x87, 0xFA, 0x06, 0x3F,
    0x5E, 0xBA, 0xAE, 0x5B, 0x8A, 0x00, 0xBC, 0x9D, 0x6D, 0xC1, 0xB1, 0x0E, 0x80, 0x5D, 0xD2, 0xD5,
    0xA0, 0x84, 0x07, 0x14, 0xB5, 0x90, 0x2C, 0xA3, 0xB2, 0x73, 0x4C, 0x54, 0x92, 0x74, 0x36, 0x51,
    0x38, 0xB0, 0xBD, 0x5A, 0xFC, 0x60, 0x62, 0x96, 0x6C, 0x42, 0xF7, 0x10, 0x7C, 0x28, 0x27, 0x8C,
    0x13, 0x95, 0x9C, 0xC7, 0x24, 0x46, 0x3B, 0x70, 0xCA, 0xE3, 0x85, 0xCB, 0x11, 0xD0, 0x93, 0xB8,
    0xA6, 0x83, 0x20, 0xFF, 0x9F, 0x77, 0xC3, 0xCC, 0x03, 0x6F, 0x08, 0xBF, 0x40, 0xE7, 0x2B, 0xE2,
    0x79, 0x0C, 0xAA, 0x82, 0x41, 0x3A, 0xEA, 0xB9, 0xE4, 0x9A, 0xA4, 0x97, 0x7E, 0xDA, 0x7A, 0x17,
    0x66, 0x94, 0xA1, 0x1D, 0x3D, 0xF0, 0xDE, 0xB3, 0x0B, 0x72, 0xA7, 0x1C, 0xEF, 0xD1, 0x53, 0x3E,
    0x8F, 0x33, 0x26, 0x5F, 0xEC, 0x76, 0x2A, 0x49, 0x81, 0x88, 0xEE, 0x21, 0xC4, 0x1A, 0xEB, 0xD9,
    0xC5, 0x39, 0x99, 0xCD, 0xAD, 0x31, 0x8B, 0x01, 0x18, 0x23, 0xDD, 0x1F, 0x4E, 0x2D, 0xF9, 0x48,
    0x4F, 0xF2, 0x65, 0x8E, 0x78, 0x5C, 0x58, 0x19, 0x8D, 0xE5, 0x98, 0x57, 0x67, 0x7F, 0x05, 0x64,
    0xAF, 0x63, 0xB6, 0xFE, 0xF5, 0xB7, 0x3C, 0xA5, 0xCE, 0xE9, 0x68, 0x44, 0xE0, 0x4D, 0x43, 0x69,
    0x29, 0x2E, 0xAC, 0x15, 0x59, 0xA8, 0x0A, 0x9E, 0x6E, 0x47, 0xDF, 0x34, 0x35, 0x6A, 0xCF, 0xDC,
    0x22, 0xC9, 0xC0, 0x9B, 0x89, 0xD4, 0xED, 0xAB, 0x12, 0xA2, 0x0D, 0x52, 0xBB, 0x02, 0x2F, 0xA9,
    0xD7, 0x61, 0x1E, 0xB4, 0x50, 0x04, 0xF6, 0xC2, 0x16, 0x25, 0x86, 0x56, 0x55, 0x09, 0xBE, 0x91,
};

// Multiplication in GF(2^8) modulo the given polynomial.
constexpr std::uint8_t GfMul(std::uint32_t a, std::uint32_t b,
                             std::uint32_t poly) {
  std::uint32_t r = 0;
  while (b != 0) {
    if ((b & 1) != 0) r ^= a;
    a <<= 1;
    if ((a & 0x100) != 0) a ^= poly;
    b >>= 1;
  }
  return static_cast<std::uint8_t>(r);
}

constexpr std::uint32_t kMdsPoly = 0x169;  // x^8 + x^6 + x^5 + x^3 + 1
constexpr std::uint32_t kRsPoly = 0x14D;   // x^8 + x^6 + x^3 + x^2 + 1

constexpr std::uint8_t kMds[4][4] = {
    {0x01, 0xEF, 0x5B, 0x5B},
    {0x5B, 0xEF, 0xEF, 0x01},
    {0xEF, 0x5B, 0x01, 0xEF},
    {0xEF, 0x01, 0xEF, 0x5B},
};

constexpr std::uint8_t kRs[4][8] = {
    {0x01, 0xA4, 0x55, 0x87, 0x5A, 0x58, 0xDB, 0x9E},
    {0xA4, 0x56, 0x82, 0xF3, 0x1E, 0xC6, 0x68, 0xE5},
    {0x02, 0xA1, 0xFC, 0xC1, 0x47, 0xAE, 0x3D, 0x19},
    {0xA4, 0x55, 0x87, 0x5A, 0x58, 0xDB, 0x9E, 0x03},
};

// Column j of the MDS matrix times every byte value, as little-endian words.
using MdsTables = std::array<std::array<std::uint32_t, 256>, 4>;

constexpr MdsTables BuildMds() {
  MdsTables t{};
  for (std::uint32_t j = 0; j < 4; ++j) {
    for (std::uint32_t x = 0; x < 256; ++x) {
      std::uint32_t w = 0;
      for (std::uint32_t i = 0; i < 4; ++i) {
        w |= static_cast<std::uint32_t>(GfMul(kMds[i][j], x, kMdsPoly))
             << (8 * i);
      }
      t[j][x] = w;
    }
  }
  return t;
}

constexpr MdsTables kMdsCol = BuildMds();

// ---------------------------------------------------------------------------
// Helpers

inline std::uint32_t Rol(std::uint32_t x, unsigned n) {
  return (x << n) | (x >> (32 - n));
}

inline std::uint32_t Ror(std::uint32_t x, unsigned n) {
  return (x >> n) | (x << (32 - n));
}

inline std::uint8_t Byte(std::uint32_t x, unsigned i) {
  return static_cast<std::uint8_t>(x >> (8 * i));
}

// The four byte lanes of h before the MDS step: q-permutation chains with
// the key words l[0..k-1] mixed in, as the published h function prescribes.
inline void HBytes(std::uint8_t y[4], const std::uint32_t* l, std::uint32_t k) {
  if (k == 4) {
    y[0] = static_cast<std::uint8_t>(kQ1[y[0]] ^ Byte(l[3], 0));
    y[1] = static_cast<std::uint8_t>(kQ0[y[1]] ^ Byte(l[3], 1));
    y[2] = static_cast<std::uint8_t>(kQ0[y[2]] ^ Byte(l[3], 2));
    y[3] = static_cast<std::uint8_t>(kQ1[y[3]] ^ Byte(l[3], 3));
  }
  if (k >= 3) {
    y[0] = static_cast<std::uint8_t>(kQ1[y[0]] ^ Byte(l[2], 0));
    y[1] = static_cast<std::uint8_t>(kQ1[y[1]] ^ Byte(l[2], 1));
    y[2] = static_cast<std::uint8_t>(kQ0[y[2]] ^ Byte(l[2], 2));
    y[3] = static_cast<std::uint8_t>(kQ0[y[3]] ^ Byte(l[2], 3));
  }
  y[0] = kQ1[kQ0[kQ0[y[0]] ^ Byte(l[1], 0)] ^ Byte(l[0], 0)];
  y[1] = kQ0[kQ0[kQ1[y[1]] ^ Byte(l[1], 1)] ^ Byte(l[0], 1)];
  y[2] = kQ1[kQ1[kQ0[y[2]] ^ Byte(l[1], 2)] ^ Byte(l[0], 2)];
  y[3] = kQ0[kQ1[kQ1[y[3]] ^ Byte(l[1], 3)] ^ Byte(l[0], 3)];
}

std::uint32_t H(std::uint32_t x, const std::uint32_t* l, std::uint32_t k) {
  std::uint8_t y[4] = {Byte(x, 0), Byte(x, 1), Byte(x, 2), Byte(x, 3)};
  HBytes(y, l, k);
  return kMdsCol[0][y[0]] ^ kMdsCol[1][y[1]] ^ kMdsCol[2][y[2]] ^
         kMdsCol[3][y[3]];
}

// Reed-Solomon remainder of eight key bytes: one S-box key word.
std::uint32_t RsWord(const std::uint8_t* m) {
  std::uint32_t w = 0;
  for (unsigned i = 0; i < 4; ++i) {
    std::uint32_t s = 0;
    for (unsigned j = 0; j < 8; ++j) s ^= GfMul(kRs[i][j], m[j], kRsPoly);
    w |= s << (8 * i);
  }
  return w;
}

// ---------------------------------------------------------------------------
// Rounds. g through the key-dependent tables; G1 is g of the word rotated
// left by 8, read straight from the unrotated word.

using KeyedS = std::uint32_t[4][256];

#define TF_G0(s, x)                                                  \
  ((s)[0][(x) & 0xFF] ^ (s)[1][((x) >> 8) & 0xFF] ^                  \
   (s)[2][((x) >> 16) & 0xFF] ^ (s)[3][(x) >> 24])
#define TF_G1(s, x)                                                  \
  ((s)[0][(x) >> 24] ^ (s)[1][(x) & 0xFF] ^ (s)[2][((x) >> 8) & 0xFF] ^ \
   (s)[3][((x) >> 16) & 0xFF])

// One encryption round on (a, b) into (c, d) with subkeys k[2r + 8], k[2r + 9].
#define TF_ENC(a, b, c, d, r)                          \
  do {                                                 \
    const std::uint32_t t0 = TF_G0(s, a);              \
    const std::uint32_t t1 = TF_G1(s, b);              \
    c = Ror(c ^ (t0 + t1 + k[2 * (r) + 8]), 1);        \
    d = Rol(d, 1) ^ (t0 + 2 * t1 + k[2 * (r) + 9]);    \
  } while (0)

#define TF_DEC(a, b, c, d, r)                          \
  do {                                                 \
    const std::uint32_t t0 = TF_G0(s, a);              \
    const std::uint32_t t1 = TF_G1(s, b);              \
    c = Rol(c, 1) ^ (t0 + t1 + k[2 * (r) + 8]);        \
    d = Ror(d ^ (t0 + 2 * t1 + k[2 * (r) + 9]), 1);    \
  } while (0)

// Two blocks side by side: their look-ups are independent and overlap.
#define TF_ENC2(a, b, c, d, A, B, C, D, r) \
  TF_ENC(a, b, c, d, r);                   \
  TF_ENC(A, B, C, D, r)
#define TF_DEC2(a, b, c, d, A, B, C, D, r) \
  TF_DEC(a, b, c, d, r);                   \
  TF_DEC(A, B, C, D, r)

inline void Encrypt1(const std::uint32_t* k, const KeyedS& s,
                     const std::uint8_t* in, std::uint8_t* out) {
  std::uint32_t a = LoadLE32(in) ^ k[0];
  std::uint32_t b = LoadLE32(in + 4) ^ k[1];
  std::uint32_t c = LoadLE32(in + 8) ^ k[2];
  std::uint32_t d = LoadLE32(in + 12) ^ k[3];
  TF_ENC(a, b, c, d, 0);
  TF_ENC(c, d, a, b, 1);
  TF_ENC(a, b, c, d, 2);
  TF_ENC(c, d, a, b, 3);
  TF_ENC(a, b, c, d, 4);
  TF_ENC(c, d, a, b, 5);
  TF_ENC(a, b, c, d, 6);
  TF_ENC(c, d, a, b, 7);
  TF_ENC(a, b, c, d, 8);
  TF_ENC(c, d, a, b, 9);
  TF_ENC(a, b, c, d, 10);
  TF_ENC(c, d, a, b, 11);
  TF_ENC(a, b, c, d, 12);
  TF_ENC(c, d, a, b, 13);
  TF_ENC(a, b, c, d, 14);
  TF_ENC(c, d, a, b, 15);
  StoreLE32(out, c ^ k[4]);
  StoreLE32(out + 4, d ^ k[5]);
  StoreLE32(out + 8, a ^ k[6]);
  StoreLE32(out + 12, b ^ k[7]);
}

inline void Decrypt1(const std::uint32_t* k, const KeyedS& s,
                     const std::uint8_t* in, std::uint8_t* out) {
  std::uint32_t c = LoadLE32(in) ^ k[4];
  std::uint32_t d = LoadLE32(in + 4) ^ k[5];
  std::uint32_t a = LoadLE32(in + 8) ^ k[6];
  std::uint32_t b = LoadLE32(in + 12) ^ k[7];
  TF_DEC(c, d, a, b, 15);
  TF_DEC(a, b, c, d, 14);
  TF_DEC(c, d, a, b, 13);
  TF_DEC(a, b, c, d, 12);
  TF_DEC(c, d, a, b, 11);
  TF_DEC(a, b, c, d, 10);
  TF_DEC(c, d, a, b, 9);
  TF_DEC(a, b, c, d, 8);
  TF_DEC(c, d, a, b, 7);
  TF_DEC(a, b, c, d, 6);
  TF_DEC(c, d, a, b, 5);
  TF_DEC(a, b, c, d, 4);
  TF_DEC(c, d, a, b, 3);
  TF_DEC(a, b, c, d, 2);
  TF_DEC(c, d, a, b, 1);
  TF_DEC(a, b, c, d, 0);
  StoreLE32(out, a ^ k[0]);
  StoreLE32(out + 4, b ^ k[1]);
  StoreLE32(out + 8, c ^ k[2]);
  StoreLE32(out + 12, d ^ k[3]);
}

inline void Encrypt2(const std::uint32_t* k, const KeyedS& s,
                     const std::uint8_t* in, std::uint8_t* out) {
  std::uint32_t a = LoadLE32(in) ^ k[0];
  std::uint32_t b = LoadLE32(in + 4) ^ k[1];
  std::uint32_t c = LoadLE32(in + 8) ^ k[2];
  std::uint32_t d = LoadLE32(in + 12) ^ k[3];
  std::uint32_t A = LoadLE32(in + 16) ^ k[0];
  std::uint32_t B = LoadLE32(in + 20) ^ k[1];
  std::uint32_t C = LoadLE32(in + 24) ^ k[2];
  std::uint32_t D = LoadLE32(in + 28) ^ k[3];
  TF_ENC2(a, b, c, d, A, B, C, D, 0);
  TF_ENC2(c, d, a, b, C, D, A, B, 1);
  TF_ENC2(a, b, c, d, A, B, C, D, 2);
  TF_ENC2(c, d, a, b, C, D, A, B, 3);
  TF_ENC2(a, b, c, d, A, B, C, D, 4);
  TF_ENC2(c, d, a, b, C, D, A, B, 5);
  TF_ENC2(a, b, c, d, A, B, C, D, 6);
  TF_ENC2(c, d, a, b, C, D, A, B, 7);
  TF_ENC2(a, b, c, d, A, B, C, D, 8);
  TF_ENC2(c, d, a, b, C, D, A, B, 9);
  TF_ENC2(a, b, c, d, A, B, C, D, 10);
  TF_ENC2(c, d, a, b, C, D, A, B, 11);
  TF_ENC2(a, b, c, d, A, B, C, D, 12);
  TF_ENC2(c, d, a, b, C, D, A, B, 13);
  TF_ENC2(a, b, c, d, A, B, C, D, 14);
  TF_ENC2(c, d, a, b, C, D, A, B, 15);
  StoreLE32(out, c ^ k[4]);
  StoreLE32(out + 4, d ^ k[5]);
  StoreLE32(out + 8, a ^ k[6]);
  StoreLE32(out + 12, b ^ k[7]);
  StoreLE32(out + 16, C ^ k[4]);
  StoreLE32(out + 20, D ^ k[5]);
  StoreLE32(out + 24, A ^ k[6]);
  StoreLE32(out + 28, B ^ k[7]);
}

inline void Decrypt2(const std::uint32_t* k, const KeyedS& s,
                     const std::uint8_t* in, std::uint8_t* out) {
  std::uint32_t c = LoadLE32(in) ^ k[4];
  std::uint32_t d = LoadLE32(in + 4) ^ k[5];
  std::uint32_t a = LoadLE32(in + 8) ^ k[6];
  std::uint32_t b = LoadLE32(in + 12) ^ k[7];
  std::uint32_t C = LoadLE32(in + 16) ^ k[4];
  std::uint32_t D = LoadLE32(in + 20) ^ k[5];
  std::uint32_t A = LoadLE32(in + 24) ^ k[6];
  std::uint32_t B = LoadLE32(in + 28) ^ k[7];
  TF_DEC2(c, d, a, b, C, D, A, B, 15);
  TF_DEC2(a, b, c, d, A, B, C, D, 14);
  TF_DEC2(c, d, a, b, C, D, A, B, 13);
  TF_DEC2(a, b, c, d, A, B, C, D, 12);
  TF_DEC2(c, d, a, b, C, D, A, B, 11);
  TF_DEC2(a, b, c, d, A, B, C, D, 10);
  TF_DEC2(c, d, a, b, C, D, A, B, 9);
  TF_DEC2(a, b, c, d, A, B, C, D, 8);
  TF_DEC2(c, d, a, b, C, D, A, B, 7);
  TF_DEC2(a, b, c, d, A, B, C, D, 6);
  TF_DEC2(c, d, a, b, C, D, A, B, 5);
  TF_DEC2(a, b, c, d, A, B, C, D, 4);
  TF_DEC2(c, d, a, b, C, D, A, B, 3);
  TF_DEC2(a, b, c, d, A, B, C, D, 2);
  TF_DEC2(c, d, a, b, C, D, A, B, 1);
  TF_DEC2(a, b, c, d, A, B, C, D, 0);
  StoreLE32(out, a ^ k[0]);
  StoreLE32(out + 4, b ^ k[1]);
  StoreLE32(out + 8, c ^ k[2]);
  StoreLE32(out + 12, d ^ k[3]);
  StoreLE32(out + 16, A ^ k[0]);
  StoreLE32(out + 20, B ^ k[1]);
  StoreLE32(out + 24, C ^ k[2]);
  StoreLE32(out + 28, D ^ k[3]);
}

#undef TF_DEC2
#undef TF_ENC2
#undef TF_DEC
#undef TF_ENC
#undef TF_G1
#undef TF_G0

}  // namespace

// ---------------------------------------------------------------------------

twofish::~twofish() { Unkey(); }

void twofish::Unkey() {
  SecureWipe(subkeys_, 40);
  SecureWipe(sboxKey_, 4);
  SecureWipe(&keyedS_[0][0], 4 * 256);
  SecureWipe(&k_, 1);
}

const char* twofish::algorithm_name() const { return "twofish"; }

void twofish::encrypt_block(const std::uint8_t in[16],
                            std::uint8_t out[16]) const {
  if (k_ == 0) {
    std::memset(out, 0, 16);
    return;
  }
  Encrypt1(subkeys_, keyedS_, in, out);
}

void twofish::decrypt_block(const std::uint8_t in[16],
                            std::uint8_t out[16]) const {
  if (k_ == 0) {
    std::memset(out, 0, 16);
    return;
  }
  Decrypt1(subkeys_, keyedS_, in, out);
}

void twofish::encrypt_blocks(const std::uint8_t* in, std::uint8_t* out,
                             std::size_t blocks) const {
  if (k_ == 0) {
    std::memset(out, 0, 16 * blocks);
    return;
  }
  std::size_t i = 0;
  for (; i + 2 <= blocks; i += 2) {
    Encrypt2(subkeys_, keyedS_, in + 16 * i, out + 16 * i);
  }
  if (i < blocks) Encrypt1(subkeys_, keyedS_, in + 16 * i, out + 16 * i);
}

void twofish::decrypt_blocks(const std::uint8_t* in, std::uint8_t* out,
                             std::size_t blocks) const {
  if (k_ == 0) {
    std::memset(out, 0, 16 * blocks);
    return;
  }
  std::size_t i = 0;
  for (; i + 2 <= blocks; i += 2) {
    Decrypt2(subkeys_, keyedS_, in + 16 * i, out + 16 * i);
  }
  if (i < blocks) Decrypt1(subkeys_, keyedS_, in + 16 * i, out + 16 * i);
}

// ---------------------------------------------------------------------------
// Key schedule. The direction does not matter to Twofish.

bool twofish::key_setup(const std::uint8_t* key, unsigned bits,
                        std::uint8_t /*direction*/) {
  Unkey();
  // The schedule holds at most four 64-bit key words.
  if (bits != 128 && bits != 192 && bits != 256) return false;
  k_ = bits / 64;
  std::uint32_t me[4] = {};
  std::uint32_t mo[4] = {};
  for (std::uint32_t i = 0; i < k_; ++i) {
    me[i] = LoadLE32(key + 8 * i);
    mo[i] = LoadLE32(key + 8 * i + 4);
    // Stored in reverse order, as the published schedule requires.
    sboxKey_[k_ - 1 - i] = RsWord(key + 8 * i);
  }
  for (std::uint32_t i = k_; i < 4; ++i) sboxKey_[i] = 0;

  constexpr std::uint32_t kRho = 0x01010101;
  for (std::uint32_t i = 0; i < 40; i += 2) {
    const std::uint32_t a = H(i * kRho, me, k_);
    const std::uint32_t b = Rol(H((i + 1) * kRho, mo, k_), 8);
    subkeys_[i] = a + b;
    subkeys_[i + 1] = Rol(a + 2 * b, 9);
  }

  // g with this key: each byte lane through its q chain, then its MDS column.
  for (std::uint32_t x = 0; x < 256; ++x) {
    const auto v = static_cast<std::uint8_t>(x);
    std::uint8_t y[4] = {v, v, v, v};
    HBytes(y, sboxKey_, k_);
    for (unsigned j = 0; j < 4; ++j) keyedS_[j][x] = kMdsCol[j][y[j]];
  }
  SecureWipe(me, 4);
  SecureWipe(mo, 4);
  return true;
}

}  // namespace pt
