// Blowfish buffer operations: padding, byte order, keying.
#include <gtest/gtest.h>

#include "crypto/blowfish.h"
#include "tests/engines/test_support.h"
#include "util/carrier_rows.h"

namespace pt::test {
namespace {

const Bytes kKey = FromHex("0123456789ABCDEFF0E1D2C3B4A59687");

// One block through the word interface, halves read little-endian as in a
// carrier.
Bytes EncipherLE(const CBlowFish& bf, const Bytes& block) {
  std::uint32_t l = 0;
  std::uint32_t r = 0;
  for (int i = 3; i >= 0; --i) {
    l = (l << 8) | block[static_cast<std::size_t>(i)];
    r = (r << 8) | block[static_cast<std::size_t>(i) + 4];
  }
  bf.EncipherBlock(l, r);
  Bytes out(8);
  for (std::size_t i = 0; i < 4; ++i) {
    out[i] = static_cast<std::uint8_t>(l >> (8 * i));
    out[i + 4] = static_cast<std::uint8_t>(r >> (8 * i));
  }
  return out;
}

Bytes Pattern(std::size_t n) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 37 + 11);
  return b;
}

TEST(Blowfish, PaddedLength) {
  EXPECT_EQ(CBlowFish::PaddedLength(0), 0u);
  EXPECT_EQ(CBlowFish::PaddedLength(1), 8u);
  EXPECT_EQ(CBlowFish::PaddedLength(7), 8u);
  EXPECT_EQ(CBlowFish::PaddedLength(8), 8u);
  EXPECT_EQ(CBlowFish::PaddedLength(9), 16u);
  EXPECT_EQ(CBlowFish::PaddedLength(kRowBytes), kRowBytes);  // a carrier row: 228 blocks
  EXPECT_EQ(CBlowFish::PaddedLength(kRowBytes + 1), kRowBytes + 8);
}

// Published all-zero result 4EF997456198DD78, each half byte-reversed.
TEST(Blowfish, ZeroKeyZeroBlockInCarrierByteOrder) {
  CBlowFish bf;
  const Bytes zeroKey(8, 0);
  bf.SetKey(zeroKey.data(), zeroKey.size());
  Bytes buf(8, 0);
  EXPECT_EQ(bf.EncryptBuffer(buf.data(), buf.data(), 8), 8u);
  EXPECT_EQ(ToHex(buf), "4597F94E78DD9861");
}

TEST(Blowfish, FiveBytesInPlaceArePaddedWithZeros) {
  CBlowFish bf;
  bf.SetKey(kKey.data(), kKey.size());
  Bytes buf = {1, 2, 3, 4, 5, 0xAA, 0xBB, 0xCC};  // stale bytes after n
  EXPECT_EQ(bf.EncryptBuffer(buf.data(), buf.data(), 5), 8u);
  EXPECT_EQ(buf, EncipherLE(bf, Bytes{1, 2, 3, 4, 5, 0, 0, 0}));

  EXPECT_EQ(bf.DecryptBuffer(buf.data(), buf.data(), 8), 8u);
  EXPECT_EQ(buf, (Bytes{1, 2, 3, 4, 5, 0, 0, 0}));
}

TEST(Blowfish, FiveBytesSeparateBuffersArePaddedWithZeros) {
  CBlowFish bf;
  bf.SetKey(kKey.data(), kKey.size());
  const Bytes in = {1, 2, 3, 4, 5};
  Bytes out(8, 0xEE);
  EXPECT_EQ(bf.EncryptBuffer(in.data(), out.data(), 5), 8u);
  EXPECT_EQ(out, EncipherLE(bf, Bytes{1, 2, 3, 4, 5, 0, 0, 0}));
}

TEST(Blowfish, DecryptBufferDeciphersEveryBlockStartingBelowN) {
  CBlowFish bf;
  bf.SetKey(kKey.data(), kKey.size());
  const Bytes plain = Pattern(24);
  Bytes buf = plain;
  ASSERT_EQ(bf.EncryptBuffer(buf.data(), buf.data(), 24), 24u);
  const Bytes cipher = buf;
  // n = 13: blocks at 0 and 8 are deciphered, the block at 16 is untouched.
  EXPECT_EQ(bf.DecryptBuffer(buf.data(), buf.data(), 13), 13u);
  EXPECT_EQ(Bytes(buf.begin(), buf.begin() + 16), Bytes(plain.begin(), plain.begin() + 16));
  EXPECT_EQ(Bytes(buf.begin() + 16, buf.end()), Bytes(cipher.begin() + 16, cipher.end()));

  Bytes out(24, 0xEE);
  EXPECT_EQ(bf.DecryptBuffer(cipher.data(), out.data(), 24), 24u);
  EXPECT_EQ(out, plain);
}

TEST(Blowfish, KeyIsACyclicByteStream) {
  const Bytes block = Pattern(64);
  for (std::size_t n : {1u, 3u, 5u, 8u, 13u, 20u, 28u}) {
    SCOPED_TRACE("key length " + std::to_string(n));
    Bytes k(n);
    for (std::size_t i = 0; i < n; ++i) k[i] = static_cast<std::uint8_t>(i * 29 + 3);
    Bytes twice = k;
    twice.insert(twice.end(), k.begin(), k.end());
    CBlowFish once;
    CBlowFish doubled;
    once.SetKey(k.data(), k.size());
    doubled.SetKey(twice.data(), twice.size());
    Bytes a(64);
    Bytes b(64);
    once.EncryptBuffer(block.data(), a.data(), 64);
    doubled.EncryptBuffer(block.data(), b.data(), 64);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, block);
    std::uint32_t l1 = 1, r1 = 2, l2 = 1, r2 = 2;
    once.DecipherBlock(l1, r1);
    doubled.DecipherBlock(l2, r2);
    EXPECT_EQ(l1, l2);
    EXPECT_EQ(r1, r2);
  }
}

TEST(Blowfish, DifferentKeysGiveDifferentResults) {
  const Bytes k1 = FromHex("0001020304050607");
  const Bytes k2 = FromHex("0001020304050608");
  CBlowFish a;
  CBlowFish b;
  a.SetKey(k1.data(), k1.size());
  b.SetKey(k2.data(), k2.size());
  const Bytes block = Pattern(8);
  EXPECT_NE(EncipherLE(a, block), EncipherLE(b, block));
}

TEST(Blowfish, SameBlockTwiceGivesSameResult) {
  CBlowFish bf;
  bf.SetKey(kKey.data(), kKey.size());
  Bytes buf = Pattern(8);
  buf.insert(buf.end(), buf.begin(), buf.end());  // two equal blocks
  const Bytes plain = buf;
  bf.EncryptBuffer(buf.data(), buf.data(), 16);
  EXPECT_EQ(Bytes(buf.begin(), buf.begin() + 8), Bytes(buf.begin() + 8, buf.end()));
  Bytes again(16);
  bf.EncryptBuffer(plain.data(), again.data(), 16);
  EXPECT_EQ(again, buf);
}

TEST(Blowfish, RekeyingGivesTheSecondKeysResults) {
  const Bytes k2 = FromHex("FEDCBA9876543210AABBCCDD");
  CBlowFish rekeyed;
  rekeyed.SetKey(kKey.data(), kKey.size());
  rekeyed.SetKey(k2.data(), k2.size());
  CBlowFish fresh;
  fresh.SetKey(k2.data(), k2.size());
  const Bytes plain = Pattern(kRowBytes);
  Bytes a(kRowBytes);
  Bytes b(kRowBytes);
  rekeyed.EncryptBuffer(plain.data(), a.data(), plain.size());
  fresh.EncryptBuffer(plain.data(), b.data(), plain.size());
  EXPECT_EQ(a, b);
}

// A full row: in place equals out of place, and the interleaved buffer path
// equals block-by-block use of the word interface.
TEST(Blowfish, BufferEqualsBlockByBlockAndInPlaceEqualsSeparate) {
  CBlowFish bf;
  bf.SetKey(kKey.data(), kKey.size());
  for (std::size_t n : {1u, 8u, 15u, 24u, 40u, 1824u, 1821u}) {
    SCOPED_TRACE("n = " + std::to_string(n));
    const Bytes plain = Pattern(n);
    const std::size_t padded = CBlowFish::PaddedLength(n);
    Bytes separate(padded, 0xEE);
    EXPECT_EQ(bf.EncryptBuffer(plain.data(), separate.data(), n), padded);
    Bytes inPlace = plain;
    inPlace.resize(padded, 0x5A);
    EXPECT_EQ(bf.EncryptBuffer(inPlace.data(), inPlace.data(), n), padded);
    EXPECT_EQ(inPlace, separate);

    Bytes padPlain = plain;
    padPlain.resize(padded, 0);
    Bytes byBlock;
    for (std::size_t i = 0; i < padded; i += 8) {
      const Bytes c = EncipherLE(bf, Bytes(padPlain.begin() + static_cast<long>(i),
                                           padPlain.begin() + static_cast<long>(i + 8)));
      byBlock.insert(byBlock.end(), c.begin(), c.end());
    }
    EXPECT_EQ(separate, byBlock);

    Bytes back(padded, 0xEE);
    EXPECT_EQ(bf.DecryptBuffer(separate.data(), back.data(), n), n);
    EXPECT_EQ(back, padPlain);
    EXPECT_EQ(bf.DecryptBuffer(inPlace.data(), inPlace.data(), n), n);
    EXPECT_EQ(inPlace, padPlain);
  }
}

}  // namespace
}  // namespace pt::test
