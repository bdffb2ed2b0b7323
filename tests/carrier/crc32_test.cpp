#include "carrier/crc32.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include "tests/support/test_files.h"

namespace pt {
namespace {

// Bit-at-a-time reference of the same CRC, independent of zlib.
std::uint32_t ReferenceCrc(const test::Bytes& data) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::uint8_t b : data) {
    crc ^= b;
    for (int i = 0; i < 8; ++i) crc = (crc & 1u) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
  }
  return ~crc;
}

TEST(Crc32, PublishedCheckValues) {
  EXPECT_EQ(Crc32(0, "123456789", 9), 0xCBF43926u);
  EXPECT_EQ(Crc32(0, "abc", 3), 0x352441C2u);
  EXPECT_EQ(Crc32(0, nullptr, 0), 0u);
}

TEST(Crc32, PiecesGiveTheSameValueAsTheWhole) {
  const test::Bytes data = test::MixedData(10007);
  std::uint32_t crc = 0;
  for (std::size_t off = 0; off < data.size(); off += 1000) {
    crc = Crc32(crc, data.data() + off, std::min<std::size_t>(1000, data.size() - off));
  }
  EXPECT_EQ(crc, Crc32(0, data.data(), data.size()));
  EXPECT_EQ(crc, ReferenceCrc(data));
}

}  // namespace
}  // namespace pt

namespace pt {
namespace {

// The fast path (whole 16-byte groups) and the byte path must agree with
// zlib for every length, start alignment and running value.
TEST(Crc32, AgreesWithZlibForAllLengthsAndAlignments) {
  const test::Bytes data = test::NoiseData(5000, 3);
  for (std::size_t offset = 0; offset < 16; ++offset) {
    for (std::size_t len : {0u, 1u, 15u, 16u, 63u, 64u, 65u, 79u, 80u, 127u, 128u, 129u, 1824u,
                            4000u, 4984u}) {
      for (std::uint32_t start : {0u, 0xFFFFFFFFu, 0x12345678u}) {
        const auto* p = data.data() + offset;
        const auto expected = static_cast<std::uint32_t>(
            ::crc32(start, p, static_cast<uInt>(len)));
        ASSERT_EQ(Crc32(start, p, len), expected) << offset << " " << len << " " << start;
      }
    }
  }
}

}  // namespace
}  // namespace pt
