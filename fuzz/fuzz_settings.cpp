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
  const auto within = [](auto value, std::int32_t lo, std::int32_t hi) {
    const auto n = static_cast<std::int32_t>(value);
    return n >= lo && n <= hi;
  };
  if (!within(s.startupCipher, 0, 3)) std::abort();
  if (!within(s.compressionMode, 0, 3)) std::abort();
  if (!within(s.compressionLevel, -9, 9)) std::abort();
  if (!within(s.keyMode, 1, 3)) std::abort();
  if (!within(s.targetNameRule, 1, 3)) std::abort();
  // What is saved loads back to the same values.
  pt::Settings back;
  pt::LoadSettingsFromText(back, pt::SettingsToText(s));
  if (s.compressedExtensions.find_first_of(" \t\r\n\v\f") == std::string::npos &&
      !s.compressedExtensions.empty() && !(back == s)) {
    std::abort();
  }
  return 0;
}
