// The preview's BMP check: valid pictures give their layout, every damaged
// or unsupported header gives nothing.
#include "app/window/bitmap_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "util/byte_order.h"

namespace pt::window {
namespace {

// A BMP file of w x h pixels: headers, a full colour table for up to 8 bits,
// zero rows.
std::vector<std::uint8_t> Bmp(int w, int h, unsigned bits) {
  const std::uint32_t table = bits <= 8 ? 4u << bits : 0;
  const std::uint32_t offset = 14 + 40 + table;
  const std::uint32_t stride = (static_cast<std::uint32_t>(w) * bits + 31) / 32 * 4;
  std::vector<std::uint8_t> f(offset + stride * static_cast<std::uint32_t>(h < 0 ? -h : h));
  f[0] = 'B';
  f[1] = 'M';
  StoreLE32(&f[2], static_cast<std::uint32_t>(f.size()));
  StoreLE32(&f[10], offset);
  StoreLE32(&f[14], 40);
  StoreLE32(&f[18], static_cast<std::uint32_t>(w));
  StoreLE32(&f[22], static_cast<std::uint32_t>(h));
  StoreLE16(&f[26], 1);
  StoreLE16(&f[28], static_cast<std::uint16_t>(bits));
  return f;
}

struct BitmapCase {
  const char* name;
  std::function<std::vector<std::uint8_t>()> file;
  std::optional<BitmapLayout> want;  // width, height and offsets
};
void PrintTo(const BitmapCase& c, std::ostream* os) { *os << c.name; }
class BitmapFileTest : public ::testing::TestWithParam<BitmapCase> {};

TEST_P(BitmapFileTest, LayoutOrNothing) {
  const std::vector<std::uint8_t> f = GetParam().file();
  const std::optional<BitmapLayout> got = CheckBitmapFile(f.data(), f.size());
  ASSERT_EQ(got.has_value(), GetParam().want.has_value());
  if (!got) return;
  EXPECT_EQ(got->width, GetParam().want->width);
  EXPECT_EQ(got->height, GetParam().want->height);
  EXPECT_EQ(got->infoOffset, GetParam().want->infoOffset);
  EXPECT_EQ(got->bitsOffset, GetParam().want->bitsOffset);
}

std::vector<std::uint8_t> Changed(std::vector<std::uint8_t> f,
                                  const std::function<void(std::vector<std::uint8_t>&)>& edit) {
  edit(f);
  return f;
}

INSTANTIATE_TEST_SUITE_P(
    Headers, BitmapFileTest,
    ::testing::Values(
        BitmapCase{"Carrier24Bit", [] { return Bmp(608, 3, 24); },
                   BitmapLayout{14, 54, 608, 3}},
        BitmapCase{"RowsFromTheTop", [] { return Bmp(5, -4, 24); }, BitmapLayout{14, 54, 5, 4}},
        BitmapCase{"Palette8Bit", [] { return Bmp(3, 3, 8); },
                   BitmapLayout{14, 54 + 1024, 3, 3}},
        BitmapCase{"OneBitRowsPadded", [] { return Bmp(33, 2, 1); },
                   BitmapLayout{14, 54 + 8, 33, 2}},
        BitmapCase{"BitFields32",
                   [] {
                     return Changed(Bmp(2, 2, 32), [](auto& f) {
                       StoreLE32(&f[30], 3);
                       StoreLE32(&f[10], 54 + 12);
                       f.resize(f.size() + 12);
                     });
                   },
                   BitmapLayout{14, 66, 2, 2}},
        BitmapCase{"BitFieldsWithoutRoomForMasks",
                   [] { return Changed(Bmp(2, 2, 32), [](auto& f) { StoreLE32(&f[30], 3); }); },
                   std::nullopt},
        BitmapCase{"LastRowCut", [] { return Changed(Bmp(608, 3, 24), [](auto& f) { f.pop_back(); }); },
                   std::nullopt},
        BitmapCase{"RowsOffsetPastTheEnd",
                   [] { return Changed(Bmp(1, 1, 24), [](auto& f) { StoreLE32(&f[10], 0xFFFFFFF0); }); },
                   std::nullopt},
        BitmapCase{"RowsOffsetInsideTheHeader",
                   [] { return Changed(Bmp(1, 1, 24), [](auto& f) { StoreLE32(&f[10], 20); }); },
                   std::nullopt},
        BitmapCase{"HeaderLongerThanTheFile",
                   [] { return Changed(Bmp(1, 1, 24), [](auto& f) { StoreLE32(&f[14], 0x7FFFFFFF); }); },
                   std::nullopt},
        BitmapCase{"CoreHeader", [] { return Changed(Bmp(1, 1, 24), [](auto& f) { StoreLE32(&f[14], 12); }); },
                   std::nullopt},
        BitmapCase{"NoMagic", [] { return Changed(Bmp(1, 1, 24), [](auto& f) { f[0] = 'P'; }); },
                   std::nullopt},
        BitmapCase{"ZeroWidth", [] { return Changed(Bmp(1, 1, 24), [](auto& f) { StoreLE32(&f[18], 0); }); },
                   std::nullopt},
        BitmapCase{"HugeHeight",
                   [] { return Changed(Bmp(1, 1, 24), [](auto& f) { StoreLE32(&f[22], 0x7FFFFFFF); }); },
                   std::nullopt},
        BitmapCase{"RunLengthCompressed",
                   [] { return Changed(Bmp(4, 4, 8), [](auto& f) { StoreLE32(&f[30], 1); }); },
                   std::nullopt},
        BitmapCase{"TwoPlanes", [] { return Changed(Bmp(1, 1, 24), [](auto& f) { StoreLE16(&f[26], 2); }); },
                   std::nullopt},
        BitmapCase{"TwelveBitsPerPixel",
                   [] { return Changed(Bmp(1, 1, 24), [](auto& f) { StoreLE16(&f[28], 12); }); },
                   std::nullopt},
        BitmapCase{"MoreColoursThanTheDepthHolds",
                   [] { return Changed(Bmp(2, 2, 4), [](auto& f) { StoreLE32(&f[46], 17); }); },
                   std::nullopt},
        BitmapCase{"ShorterThanTheHeaders", [] { return std::vector<std::uint8_t>{'B', 'M', 0}; },
                   std::nullopt}),
    [](const ::testing::TestParamInfo<BitmapCase>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace pt::window
