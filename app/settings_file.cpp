#include "app/settings_file.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <optional>
#include <vector>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "util/text.h"

namespace pt {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Reads values the way a formatted text stream does: each read skips white
// space, a number stops at its first non-digit (the rest stays for the next
// read), and after the first failure every later read fails too.
class ValueReader {
 public:
  explicit ValueReader(std::string_view text) : text_(text) {}

  std::optional<std::int32_t> Int() {
    if (failed_) return std::nullopt;
    SkipBlanks();
    std::size_t i = pos_;
    bool negative = false;
    if (i < text_.size() && (text_[i] == '-' || text_[i] == '+')) {
      negative = text_[i] == '-';
      ++i;
    }
    const std::size_t digitsStart = i;
    // Accumulate with a bound so that any number of digits is safe.
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    bool tooLarge = false;
    while (i < text_.size() && text_[i] >= '0' && text_[i] <= '9') {
      if (!tooLarge) {
        magnitude = magnitude * 10 + (text_[i] - '0');
        if (magnitude > kLimit) tooLarge = true;
      }
      ++i;
    }
    if (i == digitsStart) return Fail();
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (tooLarge || value > std::numeric_limits<std::int32_t>::max() ||
        value < std::numeric_limits<std::int32_t>::min()) {
      return Fail();
    }
    pos_ = i;
    return static_cast<std::int32_t>(value);
  }

  std::optional<bool> Bool() {
    const auto v = Int();
    if (!v) return std::nullopt;
    if (*v != 0 && *v != 1) {
      failed_ = true;
      return std::nullopt;
    }
    return *v == 1;
  }

  std::optional<std::string> Word() {
    if (failed_) return std::nullopt;
    SkipBlanks();
    const std::size_t start = pos_;
    while (pos_ < text_.size() && !IsBlank(text_[pos_])) ++pos_;
    if (pos_ == start) return Fail();
    return std::string(text_.substr(start, pos_ - start));
  }

 private:
  std::nullopt_t Fail() {
    failed_ = true;
    return std::nullopt;
  }
  void SkipBlanks() {
    while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  bool failed_ = false;
};

void ReadInRange(ValueReader& in, std::int32_t& field, std::int32_t lo, std::int32_t hi) {
  if (const auto v = in.Int(); v && *v >= lo && *v <= hi) field = *v;
}

void ReadInto(ValueReader& in, std::int32_t& field) {
  if (const auto v = in.Int()) field = *v;
}

void ReadInto(ValueReader& in, bool& field) {
  if (const auto v = in.Bool()) field = *v;
}

const char* Flag(bool b) { return b ? "1" : "0"; }

}  // namespace

std::string ConfigurationFileFor(const std::string& exePath) {
  if (exePath.empty()) return {};
  std::size_t nameStart = 0;
  for (std::size_t i = exePath.size(); i > 0; --i) {
    if (IsPathSeparator(exePath[i - 1])) {
      nameStart = i;
      break;
    }
  }
  const std::size_t nameLength = exePath.size() - nameStart;
  if (nameLength >= 4 && exePath[exePath.size() - 4] == '.') {
    return exePath.substr(0, exePath.size() - 3) + "cfg";
  }
  return exePath + ".cfg";
}

std::string ExecutablePath() {
#ifdef _WIN32
  std::vector<char> buf(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameA(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return {};
    if (n < buf.size()) return std::string(buf.data(), n);
    if (buf.size() >= 32768) return {};
    buf.resize(buf.size() * 2);
  }
#elif defined(__linux__)
  std::vector<char> buf(256);
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < buf.size()) {
      return std::string(buf.data(), static_cast<std::size_t>(n));
    }
    if (buf.size() >= 65536) return {};
    buf.resize(buf.size() * 2);
  }
#else
  return {};
#endif
}

std::string SettingsToText(const Settings& s) {
  std::string out;
  out += std::to_string(s.startupCipher) + " ";
  out += std::to_string(s.compressionMode) + " ";
  out += std::to_string(s.compressionLevel) + " ";
  out += Flag(s.showBitmap) + std::string(" ");
  out += Flag(s.exitAfterConversion) + std::string(" ");
  out += Flag(s.copyLog) + std::string(" ");
  out += std::to_string(s.keyMode) + " ";
  out += Flag(s.hidePassword) + std::string(" ");
  out += Flag(s.disclaimerAccepted) + std::string(" ");
  out += s.compressedExtensions + " ";
  out += std::to_string(s.targetNameRule);
  return out;
}

void LoadSettingsFromText(Settings& s, std::string_view text) {
  ValueReader in(text);
  ReadInRange(in, s.startupCipher, 0, 3);
  ReadInRange(in, s.compressionMode, 0, 3);
  ReadInRange(in, s.compressionLevel, -9, 9);
  ReadInto(in, s.showBitmap);
  ReadInto(in, s.exitAfterConversion);
  ReadInto(in, s.copyLog);
  ReadInto(in, s.keyMode);
  ReadInto(in, s.hidePassword);
  ReadInto(in, s.disclaimerAccepted);
  if (s.keyMode < 1 || s.keyMode > 3) s.keyMode = 1;
  if (const auto w = in.Word()) s.compressedExtensions = *w;
  ReadInto(in, s.targetNameRule);
  if (s.targetNameRule < 1 || s.targetNameRule > 3) s.targetNameRule = 1;
}

bool LoadSettings(Settings& s, const std::string& path) {
  std::error_code ec;
  const std::filesystem::path p(path);
  if (path.empty() || !std::filesystem::is_regular_file(p, ec)) return false;
  const auto size = std::filesystem::file_size(p, ec);
  if (ec || size == 0) return false;

  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  // The file is one short line; a bound keeps a huge or hostile file from
  // being read whole.
  std::string text(kMaxSettingsFileBytes, '\0');
  const std::size_t n = std::fread(text.data(), 1, text.size(), f);
  std::fclose(f);
  text.resize(n);
  LoadSettingsFromText(s, text);
  return true;
}

bool SaveSettings(const Settings& s, const std::string& path) {
  if (path.empty()) return false;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const std::string text = SettingsToText(s);
  const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  const bool closed = std::fclose(f) == 0;
  return written && closed;
}

std::string SaveSettingsFailedMessage(const std::string& path) {
  return "Configuration file : <" + path + ">\ncould not be written !!!";
}

}  // namespace pt
