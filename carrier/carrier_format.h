// Byte layout of a carrier: a 24-bit BMP, 608 pixels wide, whose first row
// holds the 1800-byte header block and whose following rows hold the
// payload. All multi-byte integers are little-endian; texts are
// zero-terminated inside fixed-size fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "util/carrier_rows.h"

namespace pt {

class InputFile;
class OutputFile;

inline constexpr std::size_t kBmpHeadersSize = 54;    // file + info header
inline constexpr std::size_t kHeaderBlockSize = 1800;
inline constexpr std::size_t kLeadingBytes = kBmpHeadersSize + kRowBytes;  // 1878
inline constexpr std::size_t kHeaderReadSize = kBmpHeadersSize + kHeaderBlockSize;  // 1854
inline constexpr const char* kMagic = "pixeltuck";
inline constexpr const char* kFormatVersion = " 0.4";
inline constexpr std::uint8_t kCompressedMark = 'Z';

struct CarrierHeader {
  char Magic[10] = {};
  char Version[5] = {};
  char FileName[256] = {};
  std::int32_t FileSize = 0;
  std::int32_t Encrypted = 0;
  std::uint16_t KeyCrc = 0;
  std::uint8_t CipherId = 0;
  std::uint8_t KeyMix[56] = {};
  std::uint32_t SourceCrc = 0;
  std::int32_t CompressedSize = 0;
  std::uint32_t CompressedCrc = 0;
  std::uint8_t Compressed = 0;
  std::uint8_t Reserved[1445] = {};
};

// Field offsets inside the 1800-byte block (natural 4-byte alignment).
namespace header_offset {
inline constexpr std::size_t Magic = 0, Version = 10, FileName = 15,
                             FileSize = 272, Encrypted = 276, KeyCrc = 280,
                             CipherId = 282, KeyMix = 283, SourceCrc = 340,
                             CompressedSize = 344, CompressedCrc = 348,
                             Compressed = 352, Reserved = 353;
}

void EncodeHeaderBlock(const CarrierHeader& h, std::uint8_t (&out)[kHeaderBlockSize]);
CarrierHeader DecodeHeaderBlock(const std::uint8_t* in);

// Zero-terminated text of a fixed field (the whole field when unterminated).
std::string FieldText(const char* field, std::size_t size);
// Stores text zero-terminated, cut to size - 1 characters, rest zero.
void SetFieldText(char* field, std::size_t size, std::string_view text);

// 1 + ceil(payload / 1824).
std::int64_t CarrierHeight(std::int64_t payloadLength);

// The 1878 leading bytes: both BMP headers, the header block, 24 zero bytes.
void BuildLeadingBytes(const CarrierHeader& h, std::int64_t payloadLength,
                       std::uint8_t (&out)[kLeadingBytes]);
// overwrite: over the first bytes of a file already written (a carrier
// written in one pass gets its header row last).
bool WriteCarrierHeaders(OutputFile& out, const CarrierHeader& h,
                         std::int64_t payloadLength, bool overwrite = false);

struct CarrierInfo {
  CarrierHeader header;
  std::size_t rowLength = 0;  // S: 1824, or 1800 for 600-pixel carriers
};

// Checks the first 1854 bytes of a file: a carrier when the magic text is
// "pixeltuck" and the width is 600 or 608. Nothing else of the BMP headers
// is checked.
std::optional<CarrierInfo> ParseCarrierStart(const std::uint8_t* data, std::size_t n);
// Reads and checks the leading bytes and skips the filler so that the next
// read starts at the first payload row.
std::optional<CarrierInfo> ReadCarrierHeader(InputFile& in);

// Leading blanks skipped, the longest decimal prefix ("." as the point);
// no number reads as 0.
double ParseVersionNumber(std::string_view text);

// The payload is gzip data only with the mark and both sizes non-zero.
bool IsCompressedPayload(const CarrierHeader& h);

}  // namespace pt
