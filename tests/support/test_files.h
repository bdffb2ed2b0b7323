// Temporary folders, generated data and hand-made carriers for the tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "carrier/carrier_format.h"

namespace pt::test {

using Bytes = std::vector<std::uint8_t>;

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  std::string Path(const std::string& name) const;
  const std::filesystem::path& root() const { return root_; }
  // Names of the files in the folder, sorted.
  std::vector<std::string> Files() const;

 private:
  std::filesystem::path root_;
};

void WriteBytes(const std::string& path, const Bytes& data);
Bytes ReadBytes(const std::string& path);
bool Exists(const std::string& path);

// Deterministic mixed data: runs of text, zeros and noise, so that gzip
// shrinks it but not to nothing.
Bytes MixedData(std::size_t n, std::uint32_t seed = 1);
// Incompressible noise.
Bytes NoiseData(std::size_t n, std::uint32_t seed = 7);

std::uint32_t Le32(const Bytes& b, std::size_t off);
std::uint16_t Le16(const Bytes& b, std::size_t off);
std::uint32_t CrcOf(const Bytes& b);

// A carrier put together byte by byte: leading bytes built from h, the
// width field set to `width`, the payload padded to whole rows of that width
// (of 1824 bytes when the width is one no reader accepts).
Bytes HandMadeCarrier(const CarrierHeader& h, const Bytes& payload, std::int32_t width = kCarrierWidth);
// Header of a plain (not compressed, not enciphered) carrier for data.
CarrierHeader PlainHeader(const std::string& name, const Bytes& data);

}  // namespace pt::test
