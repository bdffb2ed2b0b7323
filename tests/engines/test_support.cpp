#include "tests/engines/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iostream>

namespace pt::test {

namespace {

std::string Trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  const auto last = s.find_last_not_of(" \t\r");
  return s.substr(first, last - first + 1);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::vector<Record> ReadVectorFile(const std::string& name) {
  std::vector<Record> records;
  std::ifstream file(std::string(PT_ENGINE_VECTORS_DIR) + "/" + name);
  if (!file) {
    ADD_FAILURE() << "cannot read vector file " << name;
    return records;
  }
  Record current;
  std::string line;
  while (std::getline(file, line)) {
    line = Trim(line);
    if (!line.empty() && line[0] == '#') continue;
    if (line.empty()) {
      if (!current.empty()) records.push_back(current);
      current.clear();
      continue;
    }
    const auto eq = line.find('=');
    if (eq == std::string::npos) {
      ADD_FAILURE() << name << ": line without '=': " << line;
      continue;
    }
    current[Trim(line.substr(0, eq))] = Trim(line.substr(eq + 1));
  }
  if (!current.empty()) records.push_back(current);
  return records;
}

Bytes FromHex(const std::string& hex) {
  Bytes out;
  if (hex.size() % 2 != 0) {
    ADD_FAILURE() << "odd number of hex digits: " << hex;
    return out;
  }
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int hi = HexDigit(hex[i]);
    const int lo = HexDigit(hex[i + 1]);
    if (hi < 0 || lo < 0) {
      ADD_FAILURE() << "not a hex digit in: " << hex;
      return {};
    }
    out.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
  }
  return out;
}

std::string ToHex(const Bytes& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string s;
  for (std::uint8_t b : bytes) {
    s += kDigits[b >> 4];
    s += kDigits[b & 15];
  }
  return s;
}

Bytes SwapHalves(const Bytes& bytes) {
  Bytes out(bytes);
  for (std::size_t i = 0; i + 4 <= out.size(); i += 4) {
    std::swap(out[i], out[i + 3]);
    std::swap(out[i + 1], out[i + 2]);
  }
  return out;
}

std::uint64_t TestSeed() {
  std::uint64_t seed = 0;
  if (const char* env = std::getenv("PT_TEST_SEED"); env != nullptr && *env) {
    seed = std::strtoull(env, nullptr, 0);
  } else {
    std::random_device rd;
    seed = (static_cast<std::uint64_t>(rd()) << 32) | rd();
  }
  std::cout << "[   SEED   ] replay with PT_TEST_SEED=" << seed << std::endl;
  ::testing::Test::RecordProperty("seed", std::to_string(seed));
  return seed;
}

Bytes RandomBytes(std::mt19937_64& rng, std::size_t n) {
  Bytes out(n);
  for (auto& b : out) b = static_cast<std::uint8_t>(rng());
  return out;
}

std::string PathTestName(RijndaelPath path) {
  std::string name = RijndaelPathName(path);
  name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
  return name;
}

}  // namespace pt::test
