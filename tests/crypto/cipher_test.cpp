#include "crypto/cipher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <tuple>
#include <vector>

#include "crypto/xor_method.h"
#include "util/carrier_rows.h"
#include "util/parallel.h"

namespace pt {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(CipherSelection, ListPositionsAndLogNames) {
  EXPECT_EQ(CipherAtListPosition(0), CipherId::None);
  EXPECT_EQ(CipherAtListPosition(1), CipherId::Blowfish);
  EXPECT_EQ(CipherAtListPosition(2), CipherId::Twofish);
  EXPECT_EQ(CipherAtListPosition(3), CipherId::Rijndael);
  EXPECT_EQ(CipherAtListPosition(4), CipherId::None);
  EXPECT_EQ(CipherAtListPosition(-1), CipherId::None);
  EXPECT_EQ(static_cast<int>(CipherId::Twofish), 'T');  // the id stored in carriers
  EXPECT_EQ(MethodLogName(CipherId::Rijndael), "Rijndael");
  EXPECT_EQ(MethodLogName(CipherId::Blowfish), "BlowFish");
  EXPECT_EQ(MethodLogName(CipherId::Twofish), "TwoFish");
}

TEST(KeyCrc16, PublishedCheckValueAndEdges) {
  EXPECT_EQ(KeyCrc16("123456789"), 0x31C3);  // CRC-16/XMODEM check value
  EXPECT_EQ(KeyCrc16(""), 0);
  EXPECT_EQ(KeyCrc16(std::string("\0", 1)), 0);
  EXPECT_NE(KeyCrc16("12345678"), KeyCrc16("12345679"));
}

TEST(ExtendKey, RepeatsTheKeyCyclicallyToTheNextSize) {
  EXPECT_EQ(ExtendKey("ABCDEFGH").View(), "ABCDEFGHABCDEFGH");
  EXPECT_EQ(ExtendKey("0123456789ABCDEFGHIJ").View(), "0123456789ABCDEFGHIJ0123");
  EXPECT_EQ(ExtendKey("0123456789ABCDEFG").View(), "0123456789ABCDEFG0123456");
  for (std::size_t len : {16u, 24u, 32u}) EXPECT_EQ(ExtendKey(std::string(len, 'k')).size(), len);
  EXPECT_EQ(ExtendKey(std::string(25, 'k')).size(), 32u);
  EXPECT_TRUE(ExtendKey("1234567").empty());
  EXPECT_TRUE(ExtendKey(std::string(33, 'k')).empty());
}

TEST(MixBlowfishKey, FillsEveryPositionOnceInTheDocumentedOrder) {
  // With a zero area each position holds key byte j + 100, so the fill
  // order can be read back from a key of distinct bytes.
  std::string key;
  for (int i = 0; i < 56; ++i) key.push_back(static_cast<char>(i));
  const std::uint8_t zero[56] = {};
  const auto mixed = MixBlowfishKey(key, zero);
  const std::size_t order[] = {55, 0, 53, 2, 51, 4};
  for (std::size_t k = 0; k < 6; ++k) EXPECT_EQ(mixed[order[k]], k + 100) << k;
  EXPECT_EQ(mixed[1], 54 + 100);   // k = 54 fills position 1
  EXPECT_EQ(mixed[54], 55 + 100);  // k = 55 fills position 54
  std::set<std::uint8_t> seen(mixed.begin(), mixed.end());
  EXPECT_EQ(seen.size(), 56u);
}

TEST(MixBlowfishKey, ShortKeyWrapsAndAreaIsXored) {
  const std::string key = "\x01\x02\x03\x04\x05\x06\x07\x08";
  std::uint8_t area[56];
  for (int i = 0; i < 56; ++i) area[i] = static_cast<std::uint8_t>(0xF0 + i);
  const auto mixed = MixBlowfishKey(key, area);
  // k = 0 -> p 55, key[0]; k = 9 -> p 8, key[1]; k = 10 -> p 45, key[2].
  EXPECT_EQ(mixed[55], static_cast<std::uint8_t>((1 + 100) ^ area[0]));
  EXPECT_EQ(mixed[8], static_cast<std::uint8_t>((2 + 100) ^ area[9]));
  EXPECT_EQ(mixed[45], static_cast<std::uint8_t>((3 + 100) ^ area[10]));
  // Key byte 156 wraps to 0 before the XOR.
  const std::uint8_t zero[56] = {};
  EXPECT_EQ(MixBlowfishKey(std::string(8, static_cast<char>(156)), zero)[0], 0);
}

TEST(XorMethod, KeyBytesPlus100RepeatAcrossRows) {
  const std::string key = "ABCDEFGH";
  Bytes data(1000, 0);
  std::size_t pos = 0;
  XorTransform(data.data(), data.size(), key, &pos);
  EXPECT_EQ(data[0], ('A' + 100) & 0xFF);
  EXPECT_EQ(data[8], data[0]);
  EXPECT_EQ(data[13], ('F' + 100) & 0xFF);
  // Cut into chunks: same bytes.
  Bytes pieces(1000, 0);
  std::size_t p2 = 0;
  for (std::size_t off = 0; off < pieces.size(); off += 333) {
    XorTransform(pieces.data() + off, std::min<std::size_t>(333, pieces.size() - off), key, &p2);
  }
  EXPECT_EQ(pieces, data);
  // Twice gives back the start.
  pos = 0;
  XorTransform(data.data(), data.size(), key, &pos);
  EXPECT_EQ(data, Bytes(1000, 0));
  // Key byte 156 leaves its positions unchanged.
  Bytes same = {1, 2, 3, 4};
  pos = 0;
  XorTransform(same.data(), same.size(), std::string(4, static_cast<char>(156)), &pos);
  EXPECT_EQ(same, (Bytes{1, 2, 3, 4}));
}

// --------------------------------------------------------- chunk rules

class ChunkRules : public ::testing::TestWithParam<std::uint8_t> {};

TEST_P(ChunkRules, HundredBytePayloadPaddingAndLength) {
  const std::uint8_t id = GetParam();
  const std::string key = "0123456789abcdef";
  ChunkCipher enc;
  ASSERT_TRUE(enc.KeyForEncode(id, key).keyed);
  Bytes plain(kRowBytes, 0);
  for (std::size_t i = 0; i < 100; ++i) plain[i] = static_cast<std::uint8_t>(i + 1);
  Bytes row = plain;
  const std::size_t stored = enc.EncryptChunk(row.data(), 100);
  EXPECT_EQ(stored, id == 'B' ? 104u : 112u);
  EXPECT_NE(std::memcmp(row.data(), plain.data(), 100), 0);

  const std::uint8_t noMix[56] = {};
  ChunkCipher dec;
  dec.KeyForDecode(id, key, noMix);
  if (id == 'B') {
    ASSERT_TRUE(dec.DecryptChunk(row.data(), kRowBytes, 100));
    EXPECT_EQ(Bytes(row.begin(), row.begin() + 104), Bytes(plain.begin(), plain.begin() + 104));
  } else {
    // Decipher the stored 112 bytes whole to see the padding.
    ASSERT_TRUE(dec.DecryptChunk(row.data(), 112, 100));
    EXPECT_EQ(Bytes(row.begin(), row.begin() + 100), Bytes(plain.begin(), plain.begin() + 100));
    EXPECT_EQ(Bytes(row.begin() + 100, row.begin() + 112), Bytes(12, 0xFF));
  }
}

TEST_P(ChunkRules, AlignedLengthsGainNoPaddingAndIdenticalBlocksMatch) {
  const std::uint8_t id = GetParam();
  ChunkCipher enc;
  ASSERT_TRUE(enc.KeyForEncode(id, "another key, 24 bytes!!!").keyed);
  Bytes row(kRowBytes, 0x5A);
  EXPECT_EQ(enc.EncryptChunk(row.data(), kRowBytes), kRowBytes);
  EXPECT_EQ(enc.EncryptChunk(row.data(), 64), 64u);
  Bytes same(kRowBytes, 0x33);
  enc.EncryptChunk(same.data(), kRowBytes);
  const std::size_t block = id == 'B' ? 8 : 16;
  EXPECT_EQ(Bytes(same.begin(), same.begin() + static_cast<long>(block)),
            Bytes(same.end() - static_cast<long>(block), same.end()));  // no chaining
}

INSTANTIATE_TEST_SUITE_P(Ciphers, ChunkRules, ::testing::Values('B', 'T', 'R'));

TEST(ChunkCipher, KeyingTellsTheModeTheJobsLog) {
  using enum KeyStrength;
  const struct {
    const char* name;
    bool decode;
    std::uint8_t id;
    std::string key;
    Keying want;
  } rows[] = {
      {"Twofish8Bytes", false, 'T', "12345678", {true, false, 128, Low}},
      {"Rijndael17Bytes", false, 'R', "12345678901234567", {true, false, 192, Medium}},
      {"Rijndael32Bytes", false, 'R', std::string(32, 'x'), {true, false, 256, High}},
      {"BlowfishAnyKeyIsLow", false, 'B', std::string(32, 'x'), {true, false, 64, Low}},
      {"NoEngine", false, 0, "12345678", {}},
      {"NeverKeyedWithAnEmptyKey", false, 'T', "short", {}},
      {"DecodeBlowfish", true, 'B', "12345678", {true, false, 64, Low}},
      {"DecodeTwofish25Bytes", true, 'T', std::string(25, 'x'), {true, false, 256, High}},
      {"DecodeRijndael", true, 'R', "12345678", {true, false, 128, Low}},
      {"DecodeShortKeyStillReportsItsMode", true, 'R', "short", {false, false, 0, Unnamed}},
      {"DecodeOtherIdIsXor", true, 0, "12345678", {true, true, 0, Unnamed}},
  };
  const std::uint8_t noMix[56] = {};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    ChunkCipher c;
    const Keying got = r.decode ? c.KeyForDecode(r.id, r.key, noMix) : c.KeyForEncode(r.id, r.key);
    EXPECT_EQ(got, r.want) << "keyed " << got.keyed << ", XOR " << got.xorMethod << ", "
                           << got.modeBits << " bit";
  }
}

TEST(ChunkCipher, RowNotAMultipleOf16IsReportedAndItsTailPassesThrough) {
  ChunkCipher enc;
  enc.KeyForEncode('R', "0123456789abcdef");
  Bytes row(kRowBytes, 0);
  for (std::size_t i = 0; i < row.size(); ++i) row[i] = static_cast<std::uint8_t>(i);
  const Bytes plain = row;
  // A 600-pixel row: 112 whole blocks and 8 bytes.
  const std::size_t whole = kOldRowBytes / 16 * 16;
  enc.EncryptChunk(row.data(), whole);
  for (std::size_t i = whole; i < kOldRowBytes; ++i) row[i] = plain[i];
  const std::uint8_t noMix[56] = {};
  ChunkCipher dec;
  dec.KeyForDecode('R', "0123456789abcdef", noMix);
  EXPECT_FALSE(dec.DecryptChunk(row.data(), kOldRowBytes, kOldRowBytes));
  EXPECT_EQ(Bytes(row.begin(), row.begin() + kOldRowBytes), Bytes(plain.begin(), plain.begin() + kOldRowBytes));
}

TEST(ChunkCipher, BlowfishDecodeUsesTheMixedKeyOnlyWhenTheAreaIsSet) {
  const std::string key = "blowfish key";
  Bytes plain(64, 7);
  ChunkCipher enc;
  enc.KeyForEncode('B', key);
  Bytes row = plain;
  enc.EncryptChunk(row.data(), row.size());
  std::uint8_t area[56] = {};
  ChunkCipher same;
  same.KeyForDecode('B', key, area);
  Bytes a = row;
  same.DecryptChunk(a.data(), a.size(), a.size());
  EXPECT_EQ(a, plain);
  area[30] = 1;
  ChunkCipher mixed;
  mixed.KeyForDecode('B', key, area);
  Bytes b = row;
  mixed.DecryptChunk(b.data(), b.size(), b.size());
  EXPECT_NE(b, plain);
}

// ------------------------------------------------ whole rows on threads

// Whole rows at once give the bytes of the row-by-row calls; the XOR method
// carries its position across calls, or takes it from the offset.
void CheckRowsAgainstRowByRow(std::uint8_t id) {
  const std::string key = "0123456789abcdef0123";
  const std::uint8_t noMix[56] = {};
  const bool xorMethod = id == 'X';  // decode only
  // One row, odd row counts, a tail of whole blocks, and about 1 MiB.
  for (std::size_t len : {kRowBytes, 17 * kRowBytes, 51 * kRowBytes + 64,
                          575 * kRowBytes}) {
    SCOPED_TRACE("length " + std::to_string(len));
    Bytes plain(len);
    for (std::size_t i = 0; i < len; ++i) plain[i] = static_cast<std::uint8_t>(i * 7 + i / kRowBytes);

    Bytes stored = plain;
    if (!xorMethod) {
      ChunkCipher byRow;
      ChunkCipher whole;
      ASSERT_TRUE(byRow.KeyForEncode(id, key).keyed);
      ASSERT_TRUE(whole.KeyForEncode(id, key).keyed);
      for (std::size_t off = 0; off < len; off += kRowBytes) {
        byRow.EncryptChunk(stored.data() + off, std::min(kRowBytes, len - off));
      }
      Bytes rows = plain;
      whole.EncryptRows(rows.data(), len);
      ASSERT_EQ(rows, stored);
    }

    ChunkCipher byRow;
    ChunkCipher whole;
    byRow.KeyForDecode(id, key, noMix);
    whole.KeyForDecode(id, key, noMix);
    Bytes expected = stored;
    for (std::size_t off = 0; off < len; off += kRowBytes) {
      const std::size_t m = std::min(kRowBytes, len - off);
      byRow.DecryptChunk(expected.data() + off, m, m);
    }
    Bytes rows = stored;
    const std::size_t firstCall = len / kRowBytes / 2 * kRowBytes;  // two calls in a row
    whole.DecryptRows(rows.data(), firstCall);
    whole.DecryptRows(rows.data() + firstCall, len - firstCall);
    ASSERT_EQ(rows, expected);
    if (!xorMethod) {
      EXPECT_EQ(rows, plain);
    }

    // Parts at their payload offsets, the last first, as threads may take
    // them: the XOR method's key position comes from the offset.
    ChunkCipher anyOrder;
    anyOrder.KeyForDecode(id, key, noMix);
    Bytes parts = stored;
    anyOrder.DecryptRowsAt(parts.data() + firstCall, len - firstCall, firstCall);
    for (std::size_t off = firstCall; off > 0; off -= kRowBytes) {
      anyOrder.DecryptChunkAt(parts.data() + off - kRowBytes, kRowBytes, kRowBytes, off - kRowBytes);
    }
    EXPECT_EQ(parts, expected);
  }
}

// ... on one and several threads.
class RowsOnThreads : public ::testing::TestWithParam<std::tuple<std::uint8_t, unsigned>> {
 protected:
  void TearDown() override {
    SetWorkerThreads(0);
    ResetRijndaelPath();
  }
};

TEST_P(RowsOnThreads, SameBytesAsRowByRow) {
  const auto [id, threads] = GetParam();
  SetWorkerThreads(threads);
  // Rijndael on the table code is spread over the threads, on the AES
  // instructions it is not: both ways.
  if (id == 'R' && ForceRijndaelPath(RijndaelPath::kTable)) {
    CheckRowsAgainstRowByRow(id);
    ResetRijndaelPath();
  }
  CheckRowsAgainstRowByRow(id);
}

INSTANTIATE_TEST_SUITE_P(
    Ciphers, RowsOnThreads,
    ::testing::Combine(::testing::Values('B', 'T', 'R', 'X'), ::testing::Values(1u, 2u, 3u)),
    [](const ::testing::TestParamInfo<std::tuple<std::uint8_t, unsigned>>& p) {
      return std::string(1, static_cast<char>(std::get<0>(p.param))) + "_threads" +
             std::to_string(std::get<1>(p.param));
    });

}  // namespace
}  // namespace pt
