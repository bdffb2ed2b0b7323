// Helpers that let one test source run on Linux and on Windows (under wine).
// Header-only, so that every suite can use them without linking anything.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#ifndef _WIN32
#include <unistd.h>
#endif

#include "util/os_text.h"

namespace pt::test {

// A new, empty folder under the system's temporary folder; empty when none
// could be made.
inline std::filesystem::path MakeTempFolder(const std::string& prefix) {
  std::random_device rd;
  std::mt19937_64 rng((static_cast<unsigned long long>(rd()) << 32) ^ rd());
  std::error_code ec;
  const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
  for (int attempt = 0; attempt < 100 && !ec; ++attempt) {
    const std::filesystem::path p = base / (prefix + std::to_string(rng() % 1000000000000ULL));
    if (std::filesystem::create_directory(p, ec)) return p;
  }
  return {};
}

// GCC's library for MinGW cannot make symbolic links (create_symlink fails),
// so tests that need one skip on Windows; where a hard link proves the same
// thing they use one there instead (SecondName).
#ifdef _WIN32
inline constexpr bool kCanMakeSymlinks = false;
#else
inline constexpr bool kCanMakeSymlinks = true;
#endif
inline constexpr const char* kNoSymlinks =
    "symbolic links cannot be made with GCC's library for MinGW";

// A second name for an existing file: a symbolic link, or a hard link where
// symbolic links cannot be made.
inline void SecondName(const std::filesystem::path& file, const std::filesystem::path& name) {
  if (kCanMakeSymlinks) {
    std::filesystem::create_symlink(file, name);
  } else {
    std::filesystem::create_hard_link(file, name);
  }
}

// Mode bits decide what this process may write: not on Windows (no such
// bits; read-only is an attribute of files only) and not for root.
inline bool ModeBitsBind() {
#ifdef _WIN32
  return false;
#else
  return ::geteuid() != 0;
#endif
}

// Values are UTF-8, as all text in the program.
inline void SetEnv(const char* name, const std::string& value) {
#ifdef _WIN32
  _wputenv_s(WideText(name).c_str(), WideText(value).c_str());
#else
  ::setenv(name, value.c_str(), 1);
#endif
}

inline void UnsetEnv(const char* name) {
#ifdef _WIN32
  _wputenv_s(WideText(name).c_str(), L"");  // an empty value removes the variable
#else
  ::unsetenv(name);
#endif
}

}  // namespace pt::test
