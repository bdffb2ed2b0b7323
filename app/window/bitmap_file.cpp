#include "app/window/bitmap_file.h"

#include <cstdint>

#include "util/byte_order.h"

namespace pt::window {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;  // BITMAPINFOHEADER; later versions are longer
constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kBitFields = 3;
// Larger pictures are no carriers of a size the preview shows.
constexpr std::int64_t kMaxSide = 1 << 20;

}  // namespace

std::optional<BitmapLayout> CheckBitmapFile(const std::uint8_t* data, std::size_t n) {
  if (data == nullptr || n < kFileHeaderSize + kInfoHeaderSize) return std::nullopt;
  if (data[0] != 'B' || data[1] != 'M') return std::nullopt;
  const std::uint64_t bitsOffset = LoadLE32(data + 10);
  const std::uint8_t* info = data + kFileHeaderSize;
  const std::uint32_t infoSize = LoadLE32(info);
  if (infoSize < kInfoHeaderSize || infoSize > n - kFileHeaderSize) return std::nullopt;
  const std::int64_t width = static_cast<std::int32_t>(LoadLE32(info + 4));
  std::int64_t height = static_cast<std::int32_t>(LoadLE32(info + 8));
  const unsigned planes = LoadLE16(info + 12);
  const unsigned bits = LoadLE16(info + 14);
  const std::uint32_t compression = LoadLE32(info + 16);
  const std::uint64_t colorsUsed = LoadLE32(info + 32);
  if (height < 0) height = -height;  // rows from the top
  if (planes != 1 || width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide)
    return std::nullopt;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
    return std::nullopt;
  if (compression != kRgb && !(compression == kBitFields && (bits == 16 || bits == 32)))
    return std::nullopt;

  // The colour table (and the masks after a plain BITMAPINFOHEADER) lie
  // between the header and the rows.
  std::uint64_t tableBytes = 0;
  if (bits <= 8) {
    const std::uint64_t most = std::uint64_t{1} << bits;
    if (colorsUsed > most) return std::nullopt;
    tableBytes = 4 * (colorsUsed == 0 ? most : colorsUsed);
  }
  if (compression == kBitFields && infoSize == kInfoHeaderSize) tableBytes += 12;
  if (bitsOffset < kFileHeaderSize + infoSize + tableBytes) return std::nullopt;

  const std::uint64_t stride = (static_cast<std::uint64_t>(width) * bits + 31) / 32 * 4;
  const std::uint64_t rows = stride * static_cast<std::uint64_t>(height);
  if (bitsOffset > n || rows > n - bitsOffset) return std::nullopt;

  BitmapLayout layout;
  layout.infoOffset = kFileHeaderSize;
  layout.bitsOffset = static_cast<std::size_t>(bitsOffset);
  layout.width = static_cast<int>(width);
  layout.height = static_cast<int>(height);
  return layout;
}

}  // namespace pt::window
