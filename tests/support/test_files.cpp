#include "tests/support/test_files.h"

#include <algorithm>
#include <fstream>
#include <random>

#include "carrier/crc32.h"

namespace pt::test {

TempDir::TempDir() {
  std::random_device rd;
  root_ = std::filesystem::temp_directory_path() /
          ("pixeltuck-test-" + std::to_string(rd()) + std::to_string(rd()));
  std::filesystem::create_directories(root_);
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(root_, ec);
}

std::string TempDir::Path(const std::string& name) const { return (root_ / name).string(); }

std::vector<std::string> TempDir::Files() const {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(root_)) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

void WriteBytes(const std::string& path, const Bytes& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

Bytes ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

Bytes MixedData(std::size_t n, std::uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out;
  out.reserve(n);
  static const std::string text = "The quick brown fox packs a file into a picture. ";
  while (out.size() < n) {
    const std::size_t run = 1 + rng() % 300;
    const unsigned kind = rng() % 3;
    for (std::size_t i = 0; i < run && out.size() < n; ++i) {
      if (kind == 0) out.push_back(static_cast<std::uint8_t>(text[(out.size() + i) % text.size()]));
      if (kind == 1) out.push_back(0);
      if (kind == 2) out.push_back(static_cast<std::uint8_t>(rng()));
    }
  }
  return out;
}

Bytes NoiseData(std::size_t n, std::uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out(n);
  for (auto& b : out) b = static_cast<std::uint8_t>(rng());
  return out;
}

std::uint32_t Le32(const Bytes& b, std::size_t off) {
  return static_cast<std::uint32_t>(b[off]) | (static_cast<std::uint32_t>(b[off + 1]) << 8) |
         (static_cast<std::uint32_t>(b[off + 2]) << 16) | (static_cast<std::uint32_t>(b[off + 3]) << 24);
}

std::uint16_t Le16(const Bytes& b, std::size_t off) {
  return static_cast<std::uint16_t>(b[off] | (b[off + 1] << 8));
}

std::uint32_t CrcOf(const Bytes& b) { return Crc32(0, b.data(), b.size()); }

Bytes HandMadeCarrier(const CarrierHeader& h, const Bytes& payload, std::int32_t width) {
  std::uint8_t lead[kLeadingBytes];
  BuildLeadingBytes(h, static_cast<std::int64_t>(payload.size()), lead);
  const auto w = static_cast<std::uint32_t>(width);
  for (int i = 0; i < 4; ++i) lead[18 + i] = static_cast<std::uint8_t>(w >> (8 * i));
  const bool usable = width == kOldCarrierWidth || width == kCarrierWidth;
  const std::size_t row = usable ? static_cast<std::size_t>(width) * 3 : kRowBytes;
  Bytes out(lead, lead + kBmpHeadersSize + row);
  Bytes body = payload;
  body.resize((payload.size() + row - 1) / row * row, 0);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

CarrierHeader PlainHeader(const std::string& name, const Bytes& data) {
  CarrierHeader h;
  SetFieldText(h.Magic, sizeof h.Magic, kMagic);
  SetFieldText(h.Version, sizeof h.Version, kFormatVersion);
  SetFieldText(h.FileName, sizeof h.FileName, name);
  h.FileSize = static_cast<std::int32_t>(data.size());
  h.SourceCrc = CrcOf(data);
  return h;
}

}  // namespace pt::test
