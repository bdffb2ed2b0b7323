#include "carrier/crc32.h"

#include <zlib.h>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define PT_CRC_CLMUL 1
#include <immintrin.h>
#endif

namespace pt {

namespace {

std::uint32_t ZlibCrc(std::uint32_t crc, const unsigned char* p, std::size_t n) {
  // zlib's crc32() takes at most a uInt per call.
  while (n > 0) {
    const auto step = static_cast<uInt>(n < (1u << 30) ? n : (1u << 30));
    crc = static_cast<std::uint32_t>(::crc32(crc, p, step));
    p += step;
    n -= step;
  }
  return crc;
}

#ifdef PT_CRC_CLMUL
// Carry-less multiplication folding of the reflected CRC-32 (Intel's method
// for generic polynomials): four 128-bit lanes fold 64 bytes per step, then
// Barrett reduction. Works on the raw register (no pre/post inversion) and
// on a length of at least 64 that is a multiple of 16. The constants are
// x^(4*128+32) mod P, x^(4*128-32) mod P, x^(128+32), x^(128-32), x^64 mod P,
// P itself and floor(x^64 / P), all bit-reflected.
// Folds 128 bits a into the next 128 bits b.
__attribute__((target("pclmul,sse4.1"))) inline __m128i Fold16(__m128i a, __m128i b,
                                                               __m128i k) {
  return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(a, k, 0x11), b),
                       _mm_clmulepi64_si128(a, k, 0x00));
}

__attribute__((target("pclmul,sse4.1"))) std::uint32_t FoldCrc(std::uint32_t crc,
                                                                const unsigned char* buf,
                                                                std::size_t len) {
  const __m128i k1k2 = _mm_set_epi64x(0x01c6e41596LL, 0x0154442bd4LL);
  const __m128i k3k4 = _mm_set_epi64x(0x00ccaa009eLL, 0x01751997d0LL);
  const __m128i k5k0 = _mm_set_epi64x(0, 0x0163cd6124LL);
  const __m128i poly = _mm_set_epi64x(0x01f7011641LL, 0x01db710641LL);
  const auto load = [](const unsigned char* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  };

  __m128i x1 = _mm_xor_si128(load(buf), _mm_cvtsi32_si128(static_cast<int>(crc)));
  __m128i x2 = load(buf + 16);
  __m128i x3 = load(buf + 32);
  __m128i x4 = load(buf + 48);
  buf += 64;
  len -= 64;

  while (len >= 64) {
    const __m128i x5 = _mm_clmulepi64_si128(x1, k1k2, 0x00);
    const __m128i x6 = _mm_clmulepi64_si128(x2, k1k2, 0x00);
    const __m128i x7 = _mm_clmulepi64_si128(x3, k1k2, 0x00);
    const __m128i x8 = _mm_clmulepi64_si128(x4, k1k2, 0x00);
    x1 = _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x1, k1k2, 0x11), x5), load(buf));
    x2 = _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x2, k1k2, 0x11), x6), load(buf + 16));
    x3 = _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x3, k1k2, 0x11), x7), load(buf + 32));
    x4 = _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x4, k1k2, 0x11), x8), load(buf + 48));
    buf += 64;
    len -= 64;
  }

  x1 = Fold16(x1, x2, k3k4);
  x1 = Fold16(x1, x3, k3k4);
  x1 = Fold16(x1, x4, k3k4);
  while (len >= 16) {
    x1 = Fold16(x1, load(buf), k3k4);
    buf += 16;
    len -= 16;
  }

  // 128 -> 64 bits
  const __m128i mask32 = _mm_setr_epi32(~0, 0, ~0, 0);
  x2 = _mm_clmulepi64_si128(x1, k3k4, 0x10);
  x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), x2);
  x2 = _mm_srli_si128(x1, 4);
  x1 = _mm_and_si128(x1, mask32);
  x1 = _mm_xor_si128(_mm_clmulepi64_si128(x1, k5k0, 0x00), x2);

  // Barrett reduction to 32 bits
  x2 = _mm_and_si128(x1, mask32);
  x2 = _mm_clmulepi64_si128(x2, poly, 0x10);
  x2 = _mm_and_si128(x2, mask32);
  x2 = _mm_clmulepi64_si128(x2, poly, 0x00);
  x1 = _mm_xor_si128(x1, x2);
  return static_cast<std::uint32_t>(_mm_extract_epi32(x1, 1));
}

bool HaveClmul() {
  static const bool have =
      __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
  return have;
}
#endif

}  // namespace

std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t n) {
  const auto* p = static_cast<const unsigned char*>(data);
#ifdef PT_CRC_CLMUL
  // Checksums run at memory speed, so packing costs little more than a copy.
  if (n >= 64 && HaveClmul()) {
    const std::size_t bulk = n & ~static_cast<std::size_t>(15);
    crc = ~FoldCrc(~crc, p, bulk);
    p += bulk;
    n -= bulk;
  }
#endif
  return ZlibCrc(crc, p, n);
}

}  // namespace pt
