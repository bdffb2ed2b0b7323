// The settings loader on arbitrary file contents; every loaded value must be
// within its range afterwards.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "app/settings_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  pt::Settings s;
  pt::LoadSettingsFromText(s, std::string_view(reinterpret_cast<const char*>(data), size));
  if (s.startupCipher < 0 || s.startupCipher > 3) std::abort();
  if (s.compressionMode < 0 || s.compressionMode > 3) std::abort();
  if (s.compressionLevel < -9 || s.compressionLevel > 9) std::abort();
  if (s.keyMode < 1 || s.keyMode > 3) std::abort();
  if (s.targetNameRule < 1 || s.targetNameRule > 3) std::abort();
  // What is saved loads back to the same values.
  pt::Settings back;
  pt::LoadSettingsFromText(back, pt::SettingsToText(s));
  if (s.compressedExtensions.find_first_of(" \t\r\n\v\f") == std::string::npos &&
      !s.compressedExtensions.empty() && !(back == s)) {
    std::abort();
  }
  return 0;
}
