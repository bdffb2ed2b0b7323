// Properties of the two 128-bit-block engines (twofish, rijndael).
#include <gtest/gtest.h>

#include <string>
#include <type_traits>

#include "crypto/rijndael.h"
#include "crypto/twofish.h"
#include "tests/engines/test_support.h"

namespace pt::test {
namespace {

Bytes Pattern(std::size_t n, unsigned seed) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 131 + seed * 7 + 1);
  return b;
}

// An engine and the Rijndael path the test runs on (Twofish has one path).
template <typename E, RijndaelPath P = RijndaelPath::kTable>
struct On {
  using Engine = E;
  static constexpr RijndaelPath kPath = P;
};

template <typename T>
class Block128 : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!path_.available()) {
      GTEST_SKIP() << "this processor lacks the Rijndael path " << RijndaelPathName(T::kPath);
    }
  }
  ScopedRijndaelPath path_{T::kPath};
};

using EngineTypes =
    ::testing::Types<On<twofish>, On<rijndael, RijndaelPath::kTable>,
                     On<rijndael, RijndaelPath::kAesNi>, On<rijndael, RijndaelPath::kVaes256>,
                     On<rijndael, RijndaelPath::kVaes512>>;

struct EngineName {
  template <typename T>
  static std::string GetName(int) {
    return std::is_same_v<typename T::Engine, twofish> ? "twofish"
                                                       : "rijndael_" + PathTestName(T::kPath);
  }
};
TYPED_TEST_SUITE(Block128, EngineTypes, EngineName);

TYPED_TEST(Block128, RoundTripForEveryKeySize) {
  for (unsigned bits : {128u, 192u, 256u}) {
    SCOPED_TRACE("bits " + std::to_string(bits));
    typename TypeParam::Engine e;
    const Bytes key = Pattern(bits / 8, bits);
    e.key_setup(key.data(), bits, 3);
    const Bytes plain = Pattern(16, 1);
    Bytes c(16);
    Bytes p(16);
    e.encrypt_block(plain.data(), c.data());
    EXPECT_NE(c, plain);
    e.decrypt_block(c.data(), p.data());
    EXPECT_EQ(p, plain);
  }
}

TYPED_TEST(Block128, RekeyingGivesTheSecondKeysResults) {
  for (unsigned bits : {128u, 192u, 256u}) {
    SCOPED_TRACE("bits " + std::to_string(bits));
    const Bytes k1 = Pattern(32, 1);
    const Bytes k2 = Pattern(bits / 8, 2);
    typename TypeParam::Engine rekeyed;
    rekeyed.key_setup(k1.data(), 256, 3);
    rekeyed.key_setup(k2.data(), bits, 3);
    typename TypeParam::Engine fresh;
    fresh.key_setup(k2.data(), bits, 3);
    typename TypeParam::Engine other;
    other.key_setup(k1.data(), 256, 3);
    const Bytes plain = Pattern(16 * 9, 3);
    Bytes a(plain.size());
    Bytes b(plain.size());
    Bytes c(plain.size());
    rekeyed.encrypt_blocks(plain.data(), a.data(), 9);
    fresh.encrypt_blocks(plain.data(), b.data(), 9);
    other.encrypt_blocks(plain.data(), c.data(), 9);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    rekeyed.decrypt_blocks(a.data(), a.data(), 9);
    EXPECT_EQ(a, plain);
  }
}

TYPED_TEST(Block128, EncryptionOnlyScheduleGivesTheSameCiphertext) {
  for (unsigned bits : {128u, 192u, 256u}) {
    SCOPED_TRACE("bits " + std::to_string(bits));
    const Bytes key = Pattern(bits / 8, 5);
    typename TypeParam::Engine encOnly;
    typename TypeParam::Engine both;
    encOnly.key_setup(key.data(), bits, 1);
    both.key_setup(key.data(), bits, 3);
    const Bytes plain = Pattern(16 * 5, 6);
    Bytes a(plain.size());
    Bytes b(plain.size());
    encOnly.encrypt_blocks(plain.data(), a.data(), 5);
    both.encrypt_blocks(plain.data(), b.data(), 5);
    EXPECT_EQ(a, b);
    Bytes single(16);
    encOnly.encrypt_block(plain.data(), single.data());
    EXPECT_EQ(single, Bytes(b.begin(), b.begin() + 16));
  }
}

// Block counts around every interleaving and vector width, and a full
// 1824-byte row.
TYPED_TEST(Block128, BulkEqualsPerBlockAndInPlaceEqualsSeparate) {
  typename TypeParam::Engine e;
  const Bytes key = Pattern(24, 9);
  e.key_setup(key.data(), 192, 3);
  for (std::size_t blocks : {0u, 1u, 2u, 3u, 4u, 5u, 8u, 9u, 16u, 17u, 33u, 114u}) {
    SCOPED_TRACE("blocks " + std::to_string(blocks));
    const Bytes plain = Pattern(16 * blocks, static_cast<unsigned>(blocks));
    Bytes perBlock(plain.size());
    for (std::size_t i = 0; i < blocks; ++i) {
      e.encrypt_block(&plain[16 * i], &perBlock[16 * i]);
    }
    Bytes separate(plain.size(), 0xEE);
    e.encrypt_blocks(plain.data(), separate.data(), blocks);
    EXPECT_EQ(separate, perBlock);
    Bytes inPlace = plain;
    e.encrypt_blocks(inPlace.data(), inPlace.data(), blocks);
    EXPECT_EQ(inPlace, perBlock);
    // The base class's loop over the single-block operations agrees.
    Bytes base(plain.size(), 0xEE);
    e.BlockCipher128::encrypt_blocks(plain.data(), base.data(), blocks);
    EXPECT_EQ(base, perBlock);

    Bytes back(plain.size(), 0xEE);
    e.decrypt_blocks(separate.data(), back.data(), blocks);
    EXPECT_EQ(back, plain);
    e.decrypt_blocks(inPlace.data(), inPlace.data(), blocks);
    EXPECT_EQ(inPlace, plain);
    Bytes baseBack(plain.size(), 0xEE);
    e.BlockCipher128::decrypt_blocks(perBlock.data(), baseBack.data(), blocks);
    EXPECT_EQ(baseBack, plain);
    for (std::size_t i = 0; i < blocks; ++i) {
      Bytes p(16);
      e.decrypt_block(&perBlock[16 * i], p.data());
      EXPECT_EQ(p, Bytes(plain.begin() + static_cast<long>(16 * i),
                         plain.begin() + static_cast<long>(16 * i + 16)));
    }
  }
}

TYPED_TEST(Block128, NoChainingBetweenBlocks) {
  typename TypeParam::Engine e;
  const Bytes key = Pattern(16, 4);
  e.key_setup(key.data(), 128, 3);
  Bytes buf = Pattern(16, 8);
  buf.insert(buf.end(), buf.begin(), buf.end());
  buf.insert(buf.end(), buf.begin(), buf.begin() + 16);  // three equal blocks
  e.encrypt_blocks(buf.data(), buf.data(), 3);
  EXPECT_EQ(Bytes(buf.begin(), buf.begin() + 16), Bytes(buf.begin() + 16, buf.begin() + 32));
  EXPECT_EQ(Bytes(buf.begin(), buf.begin() + 16), Bytes(buf.begin() + 32, buf.end()));
}

// Calls outside the contract: no overflow, no stale key, and never the
// input passed through as if it had been enciphered.
TYPED_TEST(Block128, KeySizeOutsideTheContractIsRefusedAndUnkeys) {
  const Bytes key = Pattern(64, 7);  // room for every bit count tried
  for (unsigned bits : {0u, 64u, 100u, 129u, 320u, 512u}) {
    SCOPED_TRACE("bits " + std::to_string(bits));
    typename TypeParam::Engine e;
    ASSERT_TRUE(e.key_setup(key.data(), 128, 3));
    EXPECT_FALSE(e.key_setup(key.data(), bits, 3));
    const Bytes zeros(48, 0);
    Bytes buf = Pattern(48, 1);
    e.encrypt_blocks(buf.data(), buf.data(), 3);
    EXPECT_EQ(buf, zeros);
    buf = Pattern(48, 2);
    e.decrypt_blocks(buf.data(), buf.data(), 3);
    EXPECT_EQ(buf, zeros);
    Bytes one = Pattern(16, 3);
    e.encrypt_block(one.data(), one.data());
    EXPECT_EQ(one, Bytes(16, 0));
  }
}

TEST(Rijndael, DecryptionAfterAnEncryptionOnlyKeySetupIsRefused) {
  const Bytes first = Pattern(16, 1);
  const Bytes second = Pattern(16, 2);
  rijndael e;
  ASSERT_TRUE(e.key_setup(first.data(), 128, 3));
  ASSERT_TRUE(e.key_setup(second.data(), 128, 1));
  Bytes buf = Pattern(32, 4);
  e.decrypt_blocks(buf.data(), buf.data(), 2);
  EXPECT_EQ(buf, Bytes(32, 0));  // not deciphered with the first key's schedule
  Bytes one = Pattern(16, 5);
  e.decrypt_block(one.data(), one.data());
  EXPECT_EQ(one, Bytes(16, 0));
}

TEST(Twofish, NameAndDirection) {
  twofish e;
  EXPECT_STREQ(e.algorithm_name(), "twofish");
  EXPECT_EQ(e.direction(), 3);
  const Bytes key(16, 1);
  e.key_setup(key.data(), 128, 1);
  EXPECT_EQ(e.direction(), 3);  // Twofish ignores the direction
}

TEST(Rijndael, NameAndDirection) {
  rijndael e;
  EXPECT_STREQ(e.algorithm_name(), "rijndael");
  EXPECT_EQ(e.direction(), 3);
  const Bytes key(16, 1);
  e.key_setup(key.data(), 128, 1);
  EXPECT_EQ(e.direction(), 1);
  e.key_setup(key.data(), 128, 3);
  EXPECT_EQ(e.direction(), 3);
  e.key_setup(key.data(), 128, 0);
  EXPECT_EQ(e.direction(), 0);
}

// Through the base interface, as the cipher layer uses the engines.
TEST(Block128Interface, VirtualDispatchReachesEachEngine) {
  twofish tf;
  rijndael rj;
  BlockCipher128* engines[] = {&tf, &rj};
  const Bytes key(32, 0x42);
  const Bytes plain = Pattern(16, 2);
  Bytes out[2] = {Bytes(16), Bytes(16)};
  for (int i = 0; i < 2; ++i) {
    engines[i]->key_setup(key.data(), 256, 3);
    engines[i]->encrypt_block(plain.data(), out[i].data());
    Bytes back(16);
    engines[i]->decrypt_block(out[i].data(), back.data());
    EXPECT_EQ(back, plain);
  }
  EXPECT_NE(out[0], out[1]);
}

}  // namespace
}  // namespace pt::test
