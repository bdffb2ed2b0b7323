// Shared helpers of the engine tests: vector files, hex, replayable seeds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

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

}  // namespace pt::test
