#include "carrier/carrier_format.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "carrier/file_io.h"
#include "util/byte_order.h"

namespace pt {

namespace {

void PutS32(std::uint8_t* p, std::int32_t v) { StoreLE32(p, static_cast<std::uint32_t>(v)); }
std::int32_t GetS32(const std::uint8_t* p) { return static_cast<std::int32_t>(LoadLE32(p)); }

}  // namespace

void EncodeHeaderBlock(const CarrierHeader& h, std::uint8_t (&out)[kHeaderBlockSize]) {
  namespace o = header_offset;
  std::memset(out, 0, sizeof out);
  std::memcpy(out + o::Magic, h.Magic, sizeof h.Magic);
  std::memcpy(out + o::Version, h.Version, sizeof h.Version);
  std::memcpy(out + o::FileName, h.FileName, sizeof h.FileName);
  PutS32(out + o::FileSize, h.FileSize);
  PutS32(out + o::Encrypted, h.Encrypted);
  StoreLE16(out + o::KeyCrc, h.KeyCrc);
  out[o::CipherId] = h.CipherId;
  std::memcpy(out + o::KeyMix, h.KeyMix, sizeof h.KeyMix);
  StoreLE32(out + o::SourceCrc, h.SourceCrc);
  PutS32(out + o::CompressedSize, h.CompressedSize);
  StoreLE32(out + o::CompressedCrc, h.CompressedCrc);
  out[o::Compressed] = h.Compressed;
  std::memcpy(out + o::Reserved, h.Reserved, sizeof h.Reserved);
}

CarrierHeader DecodeHeaderBlock(const std::uint8_t* in) {
  namespace o = header_offset;
  CarrierHeader h;
  std::memcpy(h.Magic, in + o::Magic, sizeof h.Magic);
  std::memcpy(h.Version, in + o::Version, sizeof h.Version);
  std::memcpy(h.FileName, in + o::FileName, sizeof h.FileName);
  h.FileSize = GetS32(in + o::FileSize);
  h.Encrypted = GetS32(in + o::Encrypted);
  h.KeyCrc = LoadLE16(in + o::KeyCrc);
  h.CipherId = in[o::CipherId];
  std::memcpy(h.KeyMix, in + o::KeyMix, sizeof h.KeyMix);
  h.SourceCrc = LoadLE32(in + o::SourceCrc);
  h.CompressedSize = GetS32(in + o::CompressedSize);
  h.CompressedCrc = LoadLE32(in + o::CompressedCrc);
  h.Compressed = in[o::Compressed];
  std::memcpy(h.Reserved, in + o::Reserved, sizeof h.Reserved);
  return h;
}

std::string FieldText(const char* field, std::size_t size) {
  const char* end = std::find(field, field + size, '\0');
  return std::string(field, end);
}

void SetFieldText(char* field, std::size_t size, std::string_view text) {
  std::memset(field, 0, size);
  std::memcpy(field, text.data(), std::min(text.size(), size - 1));
}

std::int64_t CarrierHeight(std::int64_t payloadLength) {
  const auto row = static_cast<std::int64_t>(kRowBytes);
  return 1 + payloadLength / row + (payloadLength % row != 0 ? 1 : 0);
}

void BuildLeadingBytes(const CarrierHeader& h, std::int64_t payloadLength,
                       std::uint8_t (&out)[kLeadingBytes]) {
  std::memset(out, 0, sizeof out);
  const std::int64_t height = CarrierHeight(payloadLength);
  const auto imageSize = static_cast<std::uint32_t>(height * static_cast<std::int64_t>(kRowBytes));
  // BMP file header
  out[0] = 'B';
  out[1] = 'M';
  StoreLE32(out + 2, static_cast<std::uint32_t>(kBmpHeadersSize) + imageSize);
  StoreLE32(out + 10, static_cast<std::uint32_t>(kBmpHeadersSize));
  // BMP info header
  StoreLE32(out + 14, 40);
  PutS32(out + 18, kCarrierWidth);
  PutS32(out + 22, static_cast<std::int32_t>(height));
  StoreLE16(out + 26, 1);
  StoreLE16(out + 28, 24);
  StoreLE32(out + 34, imageSize);
  // Header row: the block, then 24 zero bytes (already zero).
  std::uint8_t block[kHeaderBlockSize];
  EncodeHeaderBlock(h, block);
  std::memcpy(out + kBmpHeadersSize, block, sizeof block);
}

bool WriteCarrierHeaders(OutputFile& out, const CarrierHeader& h, std::int64_t payloadLength,
                         bool overwrite) {
  std::uint8_t bytes[kLeadingBytes];
  BuildLeadingBytes(h, payloadLength, bytes);
  return overwrite ? out.OverwriteStart(bytes, sizeof bytes) : out.Write(bytes, sizeof bytes);
}

std::optional<CarrierInfo> ParseCarrierStart(const std::uint8_t* data, std::size_t n) {
  if (n < kHeaderReadSize) return std::nullopt;
  const std::int32_t width = GetS32(data + 18);
  if (width != kOldCarrierWidth && width != kCarrierWidth) return std::nullopt;
  CarrierInfo info;
  info.header = DecodeHeaderBlock(data + kBmpHeadersSize);
  if (FieldText(info.header.Magic, sizeof info.header.Magic) != kMagic) return std::nullopt;
  info.rowLength = static_cast<std::size_t>(width) * 3;
  return info;
}

std::optional<CarrierInfo> ReadCarrierHeader(InputFile& in) {
  std::uint8_t bytes[kHeaderReadSize];
  const std::size_t got = in.Read(bytes, sizeof bytes);
  if (in.Failed()) return std::nullopt;
  auto info = ParseCarrierStart(bytes, got);
  if (!info) return std::nullopt;
  // Skip the header row's filler so the next read starts at the payload.
  std::uint8_t filler[kRowBytes - kHeaderBlockSize];
  const std::size_t skip = info->rowLength - kHeaderBlockSize;
  if (skip > 0) {
    in.Read(filler, skip);
    if (in.Failed()) return std::nullopt;
  }
  return info;
}

double ParseVersionNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  std::string number;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-') number.push_back('-');
    ++i;
  }
  bool digits = false;
  bool point = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      digits = true;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
    number.push_back(c);
  }
  if (!digits) return 0.0;
  double value = 0.0;
  // from_chars reads "." as the decimal point whatever the locale.
  std::from_chars(number.data(), number.data() + number.size(), value);
  return value;
}

bool IsCompressedPayload(const CarrierHeader& h) {
  return h.Compressed == kCompressedMark && h.CompressedSize != 0 && h.CompressedCrc != 0;
}

}  // namespace pt
