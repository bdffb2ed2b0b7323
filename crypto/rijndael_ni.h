// Rijndael rounds on the processor's AES instructions (inside pt_crypto
// only; the rijndael class chooses between them and its table code).
#pragma once

#include <cstddef>
#include <cstdint>

// x86-64 with GCC or clang (Linux and mingw-w64): AES-NI. VAES on 256- and
// 512-bit vectors as well, except on Windows, where GCC does not align the
// stack for vectors wider than 16 bytes.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define PT_RIJNDAEL_NI 1
#if !defined(_WIN32)
#define PT_RIJNDAEL_VAES 1
#else
#define PT_RIJNDAEL_VAES 0
#endif
#else
#define PT_RIJNDAEL_NI 0
#define PT_RIJNDAEL_VAES 0
#endif

namespace pt::rijndael_ni {

enum class Width { k128, k256, k512 };

// Whether this build and this processor can run the width.
bool Available(Width width);

// ECB over `blocks` blocks (in may equal out) with the table engine's
// schedules: rk the encryption words, dk the equivalent inverse cipher's,
// 4 (rounds + 1) words each. Only for an available width.
void Encrypt(Width width, const std::uint32_t* rk, unsigned rounds, const std::uint8_t* in,
             std::uint8_t* out, std::size_t blocks);
void Decrypt(Width width, const std::uint32_t* dk, unsigned rounds, const std::uint8_t* in,
             std::uint8_t* out, std::size_t blocks);

}  // namespace pt::rijndael_ni
