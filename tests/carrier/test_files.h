// Temporary folders and file helpers for the carrier tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

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

}  // namespace pt::test
