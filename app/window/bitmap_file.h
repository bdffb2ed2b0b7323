// The BMP files a window program draws itself (the preview of a carrier):
// where the picture's header and pixels lie in the file's bytes, checked
// so that a damaged or hostile file can never make a drawing call read
// past its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace pt::window {

struct BitmapLayout {
  std::size_t infoOffset = 0;  // BITMAPINFOHEADER (or a later version) and its colours
  std::size_t bitsOffset = 0;  // the pixel rows
  int width = 0;
  int height = 0;  // rows, whichever way they run
};

// The layout of an uncompressed BMP file of 1, 4, 8, 16, 24 or 32 bits per
// pixel (16 and 32 also with bit-field masks); nothing for anything else or
// a file too short for its header, colour table or rows.
std::optional<BitmapLayout> CheckBitmapFile(const std::uint8_t* data, std::size_t n);

}  // namespace pt::window
