// Shared helpers of the engine tests: vector files, hex, replayable seeds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "crypto/rijndael.h"

namespace pt {
// Test parameters print as the path's name.
inline void PrintTo(RijndaelPath path, std::ostream* os) { *os << RijndaelPathName(path); }
}  // namespace pt

namespace pt::test {

using Bytes = std::vector<std::uint8_t>;

// One record of a vector file: the "Name = value" lines between blank lines.
using Record = std::map<std::string, std::string>;

// Reads PT_ENGINE_VECTORS_DIR/<name>. Lines starting with '#' are comments.
// Returns no records when the file cannot be read.
std::vector<Record> ReadVectorFile(const std::string& name);

// Hex digits to bytes; an odd count or a non-hex character gives an empty
// result plus a test failure.
Bytes FromHex(const std::string& hex);
std::string ToHex(const Bytes& bytes);

// Reverses every 4-byte group (the published Blowfish vectors have
// big-endian halves, the engine reads its halves little-endian).
Bytes SwapHalves(const Bytes& bytes);

// Seed for a random test: PT_TEST_SEED when set, otherwise a fresh one. The
// seed is printed so that a failing run can be replayed.
std::uint64_t TestSeed();

Bytes RandomBytes(std::mt19937_64& rng, std::size_t n);

// Makes the whole process use one Rijndael path while it lives, so that a
// test runs once per path. available() is false when the processor lacks it.
class ScopedRijndaelPath {
 public:
  explicit ScopedRijndaelPath(RijndaelPath path) : available_(ForceRijndaelPath(path)) {}
  ~ScopedRijndaelPath() { ResetRijndaelPath(); }
  ScopedRijndaelPath(const ScopedRijndaelPath&) = delete;
  ScopedRijndaelPath& operator=(const ScopedRijndaelPath&) = delete;
  bool available() const { return available_; }

 private:
  bool available_;
};

// The path's name usable in a test name: "table", "aesni", "vaes256", ...
std::string PathTestName(RijndaelPath path);

// In a test body: runs the rest of the test on `path`, or skips it, saying
// which path this processor lacks.
#define PT_USE_RIJNDAEL_PATH(path)                                             \
  ::pt::test::ScopedRijndaelPath scopedRijndaelPath(path);                     \
  if (!scopedRijndaelPath.available())                                         \
  GTEST_SKIP() << "this processor lacks the Rijndael path " << ::pt::RijndaelPathName(path)

}  // namespace pt::test
