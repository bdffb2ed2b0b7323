// Differential tests against nettle (a test-only reference): random keys of
// every length the program uses, random blocks, byte for byte.
#include <gtest/gtest.h>
#include <nettle/aes.h>
#include <nettle/blowfish.h>
#include <nettle/twofish.h>

#include <vector>

#include "crypto/blowfish.h"
#include "crypto/rijndael.h"
#include "crypto/twofish.h"
#include "tests/engines/test_support.h"

namespace pt::test {
namespace {

// Blowfish: 7 blocks, the interleaved pairs and their single-block tails.
constexpr std::size_t kBlocks = 7;
// The 128-bit-block engines get 1 to 40 blocks a call: the widest vector
// groups (32 blocks) and every tail length behind them.
constexpr std::size_t kMaxBlocks = 40;

TEST(Differential, BlowfishMatchesNettle) {
  const std::uint64_t seed = TestSeed();
  SCOPED_TRACE("PT_TEST_SEED=" + std::to_string(seed));
  std::mt19937_64 rng(seed);
  std::vector<std::size_t> lengths;
  for (std::size_t n = 8; n <= 32; ++n) lengths.push_back(n);
  lengths.push_back(56);
  std::size_t keys = 0;
  for (std::size_t len : lengths) {
    for (int rep = 0; rep < 120; ++rep, ++keys) {
      const Bytes key = RandomBytes(rng, len);
      const Bytes plain = RandomBytes(rng, 8 * kBlocks);
      CBlowFish ours;
      ours.SetKey(key.data(), key.size());
      blowfish_ctx ref;
      blowfish_set_key(&ref, key.size(), key.data());  // 0 only flags weak keys

      // nettle reads the halves big-endian, the engine little-endian.
      Bytes expected(plain.size());
      blowfish_encrypt(&ref, plain.size(), expected.data(), plain.data());
      Bytes got = SwapHalves(plain);
      ASSERT_EQ(ours.EncryptBuffer(got.data(), got.data(), got.size()), got.size());
      ASSERT_EQ(ToHex(SwapHalves(got)), ToHex(expected))
          << "key " << ToHex(key) << " plain " << ToHex(plain);
      ours.DecryptBuffer(got.data(), got.data(), got.size());
      ASSERT_EQ(SwapHalves(got), plain) << "key " << ToHex(key);

      // A random partial length: zero padding, then the same cipher.
      const std::size_t n = 1 + rng() % (8 * kBlocks - 1);
      Bytes padded(plain.begin(), plain.begin() + static_cast<long>(n));
      padded.resize(CBlowFish::PaddedLength(n), 0);
      Bytes refPadded(padded.size());
      blowfish_encrypt(&ref, padded.size(), refPadded.data(), SwapHalves(padded).data());
      Bytes out(padded.size(), 0xEE);
      const Bytes in = Bytes(plain.begin(), plain.begin() + static_cast<long>(n));
      ASSERT_EQ(ours.EncryptBuffer(in.data(), out.data(), n), padded.size());
      ASSERT_EQ(ToHex(SwapHalves(out)), ToHex(refPadded)) << "key " << ToHex(key) << " n " << n;
    }
  }
  EXPECT_EQ(keys, 26u * 120u);
}

template <typename Ours, typename RefCtx>
void CompareBlock128(std::mt19937_64& rng, std::size_t keyLen, int count,
                     void (*setKey)(RefCtx*, const Bytes&),
                     void (*encrypt)(const RefCtx*, std::size_t, std::uint8_t*,
                                     const std::uint8_t*),
                     void (*decrypt)(const RefCtx*, std::size_t, std::uint8_t*,
                                     const std::uint8_t*)) {
  SCOPED_TRACE("key length " + std::to_string(keyLen));
  const auto bits = static_cast<unsigned>(8 * keyLen);
  for (int rep = 0; rep < count; ++rep) {
    const Bytes key = RandomBytes(rng, keyLen);
    const std::size_t blocks = 1 + rng() % kMaxBlocks;
    const Bytes plain = RandomBytes(rng, 16 * blocks);
    Ours ours;
    ours.key_setup(key.data(), bits, 3);
    RefCtx ref;
    setKey(&ref, key);

    Bytes expected(plain.size());
    encrypt(&ref, plain.size(), expected.data(), plain.data());
    Bytes got(plain.size());
    ours.encrypt_blocks(plain.data(), got.data(), blocks);
    ASSERT_EQ(ToHex(got), ToHex(expected)) << "key " << ToHex(key) << " plain " << ToHex(plain);
    Bytes single(16);
    ours.encrypt_block(plain.data(), single.data());
    ASSERT_EQ(single, Bytes(expected.begin(), expected.begin() + 16)) << "key " << ToHex(key);

    // Decryption of random ciphertext against the reference.
    const Bytes cipher = RandomBytes(rng, 16 * blocks);
    Bytes refPlain(cipher.size());
    decrypt(&ref, cipher.size(), refPlain.data(), cipher.data());
    Bytes back = cipher;
    ours.decrypt_blocks(back.data(), back.data(), blocks);
    ASSERT_EQ(ToHex(back), ToHex(refPlain)) << "key " << ToHex(key);
    ours.decrypt_block(cipher.data(), single.data());
    ASSERT_EQ(single, Bytes(refPlain.begin(), refPlain.begin() + 16)) << "key " << ToHex(key);
  }
}

TEST(Differential, TwofishMatchesNettle) {
  const std::uint64_t seed = TestSeed();
  SCOPED_TRACE("PT_TEST_SEED=" + std::to_string(seed));
  std::mt19937_64 rng(seed);
  for (std::size_t len : {16u, 24u, 32u}) {
    CompareBlock128<twofish, twofish_ctx>(
        rng, len, 1000,
        [](twofish_ctx* c, const Bytes& k) { twofish_set_key(c, k.size(), k.data()); },
        [](const twofish_ctx* c, std::size_t n, std::uint8_t* d, const std::uint8_t* s) {
          twofish_encrypt(c, n, d, s);
        },
        [](const twofish_ctx* c, std::size_t n, std::uint8_t* d, const std::uint8_t* s) {
          twofish_decrypt(c, n, d, s);
        });
  }
}

// nettle keeps separate encryption and decryption contexts for AES.
template <typename Enc>
struct AesRef {
  Enc enc;
  Enc dec;
};

class RijndaelDifferential : public ::testing::TestWithParam<RijndaelPath> {};

TEST_P(RijndaelDifferential, MatchesNettle) {
  PT_USE_RIJNDAEL_PATH(GetParam());
  const std::uint64_t seed = TestSeed();
  SCOPED_TRACE("PT_TEST_SEED=" + std::to_string(seed));
  std::mt19937_64 rng(seed);
  CompareBlock128<rijndael, AesRef<aes128_ctx>>(
      rng, 16, 1000,
      [](AesRef<aes128_ctx>* c, const Bytes& k) {
        aes128_set_encrypt_key(&c->enc, k.data());
        aes128_set_decrypt_key(&c->dec, k.data());
      },
      [](const AesRef<aes128_ctx>* c, std::size_t n, std::uint8_t* d, const std::uint8_t* s) {
        aes128_encrypt(&c->enc, n, d, s);
      },
      [](const AesRef<aes128_ctx>* c, std::size_t n, std::uint8_t* d, const std::uint8_t* s) {
        aes128_decrypt(&c->dec, n, d, s);
      });
  CompareBlock128<rijndael, AesRef<aes192_ctx>>(
      rng, 24, 1000,
      [](AesRef<aes192_ctx>* c, const Bytes& k) {
        aes192_set_encrypt_key(&c->enc, k.data());
        aes192_set_decrypt_key(&c->dec, k.data());
      },
      [](const AesRef<aes192_ctx>* c, std::size_t n, std::uint8_t* d, const std::uint8_t* s) {
        aes192_encrypt(&c->enc, n, d, s);
      },
      [](const AesRef<aes192_ctx>* c, std::size_t n, std::uint8_t* d, const std::uint8_t* s) {
        aes192_decrypt(&c->dec, n, d, s);
      });
  CompareBlock128<rijndael, AesRef<aes256_ctx>>(
      rng, 32, 1000,
      [](AesRef<aes256_ctx>* c, const Bytes& k) {
        aes256_set_encrypt_key(&c->enc, k.data());
        aes256_set_decrypt_key(&c->dec, k.data());
      },
      [](const AesRef<aes256_ctx>* c, std::size_t n, std::uint8_t* d, const std::uint8_t* s) {
        aes256_encrypt(&c->enc, n, d, s);
      },
      [](const AesRef<aes256_ctx>* c, std::size_t n, std::uint8_t* d, const std::uint8_t* s) {
        aes256_decrypt(&c->dec, n, d, s);
      });
}

INSTANTIATE_TEST_SUITE_P(Paths, RijndaelDifferential, ::testing::ValuesIn(kRijndaelPaths),
                         [](const ::testing::TestParamInfo<RijndaelPath>& p) {
                           return PathTestName(p.param);
                         });

}  // namespace
}  // namespace pt::test
