#include "carrier/carrier_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tests/support/test_files.h"

namespace pt {
namespace {

using test::Bytes;
using test::Le16;
using test::Le32;

CarrierHeader SampleHeader() {
  CarrierHeader h;
  SetFieldText(h.Magic, sizeof h.Magic, kMagic);
  SetFieldText(h.Version, sizeof h.Version, kFormatVersion);
  SetFieldText(h.FileName, sizeof h.FileName, "report.doc");
  h.FileSize = 10000;
  h.Encrypted = 1;
  h.KeyCrc = 0xBEEF;
  h.CipherId = 'T';
  h.SourceCrc = 0x11223344;
  h.CompressedSize = 4321;
  h.CompressedCrc = 0xA1B2C3D4;
  h.Compressed = 'Z';
  return h;
}

Bytes Leading(const CarrierHeader& h, std::int64_t payload) {
  std::uint8_t out[kLeadingBytes];
  BuildLeadingBytes(h, payload, out);
  return Bytes(out, out + kLeadingBytes);
}

TEST(CarrierGeometry, HeightAndSizesFollowThePayloadLength) {
  struct Row { std::int64_t payload; std::int64_t height; std::uint32_t fileSize; };
  const Row rows[] = {{0, 1, 1878}, {1, 2, 3702}, {1824, 2, 3702}, {1825, 3, 5526},
                      {10000, 7, 12822}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.payload);
    EXPECT_EQ(CarrierHeight(r.payload), r.height);
    const Bytes b = Leading(SampleHeader(), r.payload);
    EXPECT_EQ(Le32(b, 2), r.fileSize);
    EXPECT_EQ(Le32(b, 22), static_cast<std::uint32_t>(r.height));
    EXPECT_EQ(Le32(b, 34), static_cast<std::uint32_t>(r.height * 1824));
  }
}

TEST(CarrierGeometry, BmpHeadersHoldTheFixedValues) {
  const Bytes b = Leading(SampleHeader(), 10000);
  EXPECT_EQ(b[0], 'B');
  EXPECT_EQ(b[1], 'M');
  EXPECT_EQ(Le16(b, 6), 0);
  EXPECT_EQ(Le16(b, 8), 0);
  EXPECT_EQ(Le32(b, 10), 54u);
  EXPECT_EQ(Le32(b, 14), 40u);
  EXPECT_EQ(Le32(b, 18), 608u);
  EXPECT_EQ(Le16(b, 26), 1);
  EXPECT_EQ(Le16(b, 28), 24);
  for (std::size_t off : {30u, 38u, 42u, 46u, 50u}) EXPECT_EQ(Le32(b, off), 0u) << off;
  for (std::size_t i = 54 + 1800; i < kLeadingBytes; ++i) EXPECT_EQ(b[i], 0) << i;
}

TEST(HeaderBlock, FieldsSitAtTheirOffsets) {
  const Bytes b = Leading(SampleHeader(), 4321);
  const std::size_t o = kBmpHeadersSize;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[o]), 10), std::string("pixeltuck\0", 10));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[o + 10]), 5), std::string(" 0.4\0", 5));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[o + 15])), "report.doc");
  EXPECT_EQ(b[o + 271], 0);
  EXPECT_EQ(Le32(b, o + 272), 10000u);
  EXPECT_EQ(Le32(b, o + 276), 1u);
  EXPECT_EQ(Le16(b, o + 280), 0xBEEF);
  EXPECT_EQ(b[o + 282], 'T');
  for (std::size_t i = 283; i < 340; ++i) EXPECT_EQ(b[o + i], 0) << i;
  EXPECT_EQ(Le32(b, o + 340), 0x11223344u);
  EXPECT_EQ(Le32(b, o + 344), 4321u);
  EXPECT_EQ(Le32(b, o + 348), 0xA1B2C3D4u);
  EXPECT_EQ(b[o + 352], 'Z');
  for (std::size_t i = 353; i < 1800; ++i) EXPECT_EQ(b[o + i], 0) << i;
}

TEST(HeaderBlock, DecodeUndoesEncode) {
  CarrierHeader h = SampleHeader();
  h.KeyMix[0] = 7;
  h.KeyMix[55] = 9;
  h.FileSize = -5;
  std::uint8_t block[kHeaderBlockSize];
  EncodeHeaderBlock(h, block);
  const CarrierHeader back = DecodeHeaderBlock(block);
  std::uint8_t again[kHeaderBlockSize];
  EncodeHeaderBlock(back, again);
  EXPECT_EQ(std::memcmp(block, again, sizeof block), 0);
  EXPECT_EQ(back.FileSize, -5);
  EXPECT_EQ(back.KeyMix[55], 9);
}

TEST(HeaderBlock, FileNameIsCutTo255Characters) {
  CarrierHeader h;
  SetFieldText(h.FileName, sizeof h.FileName, std::string(300, 'x'));
  EXPECT_EQ(FieldText(h.FileName, sizeof h.FileName), std::string(255, 'x'));
  EXPECT_EQ(h.FileName[255], '\0');
}

class CarrierStart : public ::testing::Test {
 protected:
  Bytes Start(std::int32_t width, const char* magic = "pixeltuck") {
    CarrierHeader h = SampleHeader();
    SetFieldText(h.Magic, sizeof h.Magic, magic);
    Bytes b = Leading(h, 100);
    b[18] = static_cast<std::uint8_t>(width);
    b[19] = static_cast<std::uint8_t>(width >> 8);
    b.resize(kHeaderReadSize);
    return b;
  }
};

TEST_F(CarrierStart, AcceptsWidths600And608Only) {
  for (std::int32_t w : {600, 608}) {
    const Bytes b = Start(w);
    const auto info = ParseCarrierStart(b.data(), b.size());
    ASSERT_TRUE(info) << w;
    EXPECT_EQ(info->rowLength, static_cast<std::size_t>(w) * 3);
  }
  for (std::int32_t w : {607, 0, 1, 609, 1216}) {
    const Bytes b = Start(w);
    EXPECT_FALSE(ParseCarrierStart(b.data(), b.size())) << w;
  }
}

TEST_F(CarrierStart, RejectsOtherMagicAndShortInput) {
  const Bytes other = Start(608, "pixeltucK");
  EXPECT_FALSE(ParseCarrierStart(other.data(), other.size()));
  Bytes unterminated = Start(608);
  std::memcpy(&unterminated[54], "pixeltuckX", 10);
  EXPECT_FALSE(ParseCarrierStart(unterminated.data(), unterminated.size()));
  const Bytes good = Start(608);
  EXPECT_FALSE(ParseCarrierStart(good.data(), kHeaderReadSize - 1));
}

TEST_F(CarrierStart, IgnoresTheRestOfTheBmpHeaders) {
  Bytes b = Start(608);
  b[0] = 'X';   // not "BM"
  b[10] = 99;   // pixel offset
  b[28] = 8;    // bit depth
  EXPECT_TRUE(ParseCarrierStart(b.data(), b.size()));
}

TEST(Version, ReadsTheLeadingDecimalNumber) {
  EXPECT_DOUBLE_EQ(ParseVersionNumber(" 0.4"), 0.4);
  EXPECT_DOUBLE_EQ(ParseVersionNumber("0.5"), 0.5);
  EXPECT_DOUBLE_EQ(ParseVersionNumber("  1.25x"), 1.25);
  EXPECT_DOUBLE_EQ(ParseVersionNumber("abc"), 0.0);
  EXPECT_DOUBLE_EQ(ParseVersionNumber(""), 0.0);
  EXPECT_DOUBLE_EQ(ParseVersionNumber("."), 0.0);
  EXPECT_GT(ParseVersionNumber("0.41"), ParseVersionNumber(kFormatVersion));
  EXPECT_FALSE(ParseVersionNumber("0.40") > ParseVersionNumber(kFormatVersion));
}

TEST(CompressedPayload, NeedsTheMarkAndBothValues) {
  CarrierHeader h = SampleHeader();
  EXPECT_TRUE(IsCompressedPayload(h));
  h.CompressedCrc = 0;
  EXPECT_FALSE(IsCompressedPayload(h));
  h = SampleHeader();
  h.CompressedSize = 0;
  EXPECT_FALSE(IsCompressedPayload(h));
  h = SampleHeader();
  h.Compressed = 'z';
  EXPECT_FALSE(IsCompressedPayload(h));
}

}  // namespace
}  // namespace pt
