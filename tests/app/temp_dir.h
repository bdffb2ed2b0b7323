// A fresh folder per test, removed afterwards, with small file helpers.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/support/portable.h"
#include "util/os_text.h"

namespace pt::test {

class TempDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = MakeTempFolder("pt_app_");
    ASSERT_FALSE(dir_.empty());
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  // Paths are UTF-8, as everywhere in the program.
  std::string PathOf(const std::string& name) const { return Utf8Path(dir_ / FsPath(name)); }

  std::string Write(const std::string& name, const std::string& bytes) const {
    const std::string p = PathOf(name);
    std::ofstream(FsPath(p), std::ios::binary) << bytes;
    return p;
  }

  static std::string Read(const std::string& path) {
    std::ifstream in(FsPath(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  std::filesystem::path dir_;
};

}  // namespace pt::test
