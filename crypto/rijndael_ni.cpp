// Rijndael rounds on the processor's AES instructions: AES-NI on 128-bit
// vectors, and VAES on 256- and 512-bit vectors (two or four blocks per
// instruction). Each function carries its own target attribute, so the
// program is built for any x86-64 processor and these run only after the
// processor has been asked whether it has the instructions.
#include "crypto/rijndael_ni.h"

#if PT_RIJNDAEL_NI
#include <cpuid.h>
#include <immintrin.h>

namespace pt::rijndael_ni {

namespace xmm {

#define PT_AES_TARGET __attribute__((target("aes,sse4.1")))
using V = __m128i;
constexpr std::size_t kLanes = 1;
PT_AES_TARGET inline V Load(const std::uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
PT_AES_TARGET inline void Store(std::uint8_t* p, V v) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}
PT_AES_TARGET inline V Broadcast(const std::uint32_t* w) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(w));
}
PT_AES_TARGET inline V Xor(V a, V b) { return _mm_xor_si128(a, b); }
PT_AES_TARGET inline V Enc(V a, V k) { return _mm_aesenc_si128(a, k); }
PT_AES_TARGET inline V EncLast(V a, V k) { return _mm_aesenclast_si128(a, k); }
PT_AES_TARGET inline V Dec(V a, V k) { return _mm_aesdec_si128(a, k); }
PT_AES_TARGET inline V DecLast(V a, V k) { return _mm_aesdeclast_si128(a, k); }
// One lane: every block count is whole, nothing is ever left over.
inline void NarrowerEncrypt(const std::uint32_t*, unsigned, const std::uint8_t*, std::uint8_t*,
                            std::size_t) {}
inline void NarrowerDecrypt(const std::uint32_t*, unsigned, const std::uint8_t*, std::uint8_t*,
                            std::size_t) {}
#include "crypto/rijndael_ni.inc"
#undef PT_AES_TARGET

}  // namespace xmm

#if PT_RIJNDAEL_VAES
namespace ymm {

#define PT_AES_TARGET __attribute__((target("aes,vaes,avx2")))
using V = __m256i;
constexpr std::size_t kLanes = 2;
PT_AES_TARGET inline V Load(const std::uint8_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
PT_AES_TARGET inline void Store(std::uint8_t* p, V v) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}
PT_AES_TARGET inline V Broadcast(const std::uint32_t* w) {
  return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(w)));
}
PT_AES_TARGET inline V Xor(V a, V b) { return _mm256_xor_si256(a, b); }
PT_AES_TARGET inline V Enc(V a, V k) { return _mm256_aesenc_epi128(a, k); }
PT_AES_TARGET inline V EncLast(V a, V k) { return _mm256_aesenclast_epi128(a, k); }
PT_AES_TARGET inline V Dec(V a, V k) { return _mm256_aesdec_epi128(a, k); }
PT_AES_TARGET inline V DecLast(V a, V k) { return _mm256_aesdeclast_epi128(a, k); }
constexpr auto NarrowerEncrypt = xmm::EncryptBlocks;
constexpr auto NarrowerDecrypt = xmm::DecryptBlocks;
#include "crypto/rijndael_ni.inc"
#undef PT_AES_TARGET

}  // namespace ymm

namespace zmm {

#define PT_AES_TARGET __attribute__((target("aes,vaes,avx512f")))
using V = __m512i;
constexpr std::size_t kLanes = 4;
PT_AES_TARGET inline V Load(const std::uint8_t* p) { return _mm512_loadu_si512(p); }
PT_AES_TARGET inline void Store(std::uint8_t* p, V v) { _mm512_storeu_si512(p, v); }
// The masked form: GCC 12 warns about the plain one's undefined start value.
PT_AES_TARGET inline V Broadcast(const std::uint32_t* w) {
  return _mm512_maskz_broadcast_i32x4(static_cast<__mmask16>(0xFFFF),
                                      _mm_loadu_si128(reinterpret_cast<const __m128i*>(w)));
}
PT_AES_TARGET inline V Xor(V a, V b) { return _mm512_xor_si512(a, b); }
PT_AES_TARGET inline V Enc(V a, V k) { return _mm512_aesenc_epi128(a, k); }
PT_AES_TARGET inline V EncLast(V a, V k) { return _mm512_aesenclast_epi128(a, k); }
PT_AES_TARGET inline V Dec(V a, V k) { return _mm512_aesdec_epi128(a, k); }
PT_AES_TARGET inline V DecLast(V a, V k) { return _mm512_aesdeclast_epi128(a, k); }
constexpr auto NarrowerEncrypt = xmm::EncryptBlocks;
constexpr auto NarrowerDecrypt = xmm::DecryptBlocks;
#include "crypto/rijndael_ni.inc"
#undef PT_AES_TARGET

}  // namespace zmm
#endif  // PT_RIJNDAEL_VAES

namespace {

// The processor's answer, asked once through cpuid (clang's feature test
// does not know VAES). The wide paths also need the operating system to save
// the wide registers, which XCR0 tells.
struct Features {
  bool aes = false;
  bool vaes256 = false;
  bool vaes512 = false;
};

#if PT_RIJNDAEL_VAES
std::uint64_t Xcr0() {
  std::uint32_t eax = 0;
  std::uint32_t edx = 0;
  __asm__ volatile("xgetbv" : "=a"(eax), "=d"(edx) : "c"(0));
  return (std::uint64_t{edx} << 32) | eax;
}
#endif

Features Probe() {
  Features f;
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (__get_cpuid(1, &a, &b, &c, &d) == 0) return f;
  const bool sse41 = (c & (1u << 19)) != 0;
  const bool aesni = (c & (1u << 25)) != 0;
  const bool osxsave = (c & (1u << 27)) != 0;
  f.aes = aesni && sse41;
#if PT_RIJNDAEL_VAES
  if (!f.aes || !osxsave || __get_cpuid_count(7, 0, &a, &b, &c, &d) == 0) return f;
  const bool avx2 = (b & (1u << 5)) != 0;
  const bool avx512f = (b & (1u << 16)) != 0;
  const bool vaes = (c & (1u << 9)) != 0;
  const std::uint64_t xcr0 = Xcr0();
  const bool ymmSaved = (xcr0 & 0x6) == 0x6;            // SSE and AVX state
  const bool zmmSaved = ymmSaved && (xcr0 & 0xE0) == 0xE0;  // and AVX-512 state
  f.vaes256 = vaes && avx2 && ymmSaved;
  f.vaes512 = vaes && avx512f && zmmSaved;
#else
  (void)osxsave;
#endif
  return f;
}

const Features& Have() {
  static const Features features = Probe();
  return features;
}

}  // namespace

bool Available(Width width) {
  switch (width) {
    case Width::k128: return Have().aes;
    case Width::k256: return Have().vaes256;
    case Width::k512: return Have().vaes512;
  }
  return false;
}

void Encrypt(Width width, const std::uint32_t* rk, unsigned rounds, const std::uint8_t* in,
             std::uint8_t* out, std::size_t blocks) {
  switch (width) {
#if PT_RIJNDAEL_VAES
    case Width::k512: return zmm::EncryptBlocks(rk, rounds, in, out, blocks);
    case Width::k256: return ymm::EncryptBlocks(rk, rounds, in, out, blocks);
#endif
    default: return xmm::EncryptBlocks(rk, rounds, in, out, blocks);
  }
}

void Decrypt(Width width, const std::uint32_t* dk, unsigned rounds, const std::uint8_t* in,
             std::uint8_t* out, std::size_t blocks) {
  switch (width) {
#if PT_RIJNDAEL_VAES
    case Width::k512: return zmm::DecryptBlocks(dk, rounds, in, out, blocks);
    case Width::k256: return ymm::DecryptBlocks(dk, rounds, in, out, blocks);
#endif
    default: return xmm::DecryptBlocks(dk, rounds, in, out, blocks);
  }
}

}  // namespace pt::rijndael_ni

#else  // no AES instructions in this build

namespace pt::rijndael_ni {

bool Available(Width) { return false; }
void Encrypt(Width, const std::uint32_t*, unsigned, const std::uint8_t*, std::uint8_t*,
             std::size_t) {}
void Decrypt(Width, const std::uint32_t*, unsigned, const std::uint8_t*, std::uint8_t*,
             std::size_t) {}

}  // namespace pt::rijndael_ni

#endif
