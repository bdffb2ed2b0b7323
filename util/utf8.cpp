#include "util/utf8.h"

#include <cstdint>

namespace pt {

std::optional<char32_t> DecodeUtf8(std::string_view s, std::size_t& i) {
  if (i >= s.size()) return std::nullopt;
  const auto b0 = static_cast<std::uint8_t>(s[i]);
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  std::size_t len = 0;
  char32_t cp = 0;
  char32_t min = 0;
  if ((b0 & 0xE0) == 0xC0) {
    len = 2, cp = b0 & 0x1Fu, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3, cp = b0 & 0x0Fu, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4, cp = b0 & 0x07u, min = 0x10000;
  } else {
    return std::nullopt;
  }
  if (s.size() - i < len) return std::nullopt;
  for (std::size_t k = 1; k < len; ++k) {
    if (!IsUtf8Continuation(s[i + k])) return std::nullopt;
    cp = (cp << 6) | (static_cast<std::uint8_t>(s[i + k]) & 0x3Fu);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
  i += len;
  return cp;
}

std::size_t Utf8SequenceLength(std::string_view s, std::size_t i) {
  const std::size_t start = i;
  return DecodeUtf8(s, i) ? i - start : 0;
}

bool IsValidUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    if (!DecodeUtf8(s, i)) return false;
  }
  return true;
}

bool IsUtf8Continuation(char c) { return (static_cast<std::uint8_t>(c) & 0xC0u) == 0x80u; }

void AppendUtf8(std::string& out, char32_t cp) {
  const auto byte = [&](char32_t b) { out += static_cast<char>(b); };
  if (cp < 0x80) {
    byte(cp);
  } else if (cp < 0x800) {
    byte(0xC0 | (cp >> 6));
    byte(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    byte(0xE0 | (cp >> 12));
    byte(0x80 | ((cp >> 6) & 0x3F));
    byte(0x80 | (cp & 0x3F));
  } else {
    byte(0xF0 | (cp >> 18));
    byte(0x80 | ((cp >> 12) & 0x3F));
    byte(0x80 | ((cp >> 6) & 0x3F));
    byte(0x80 | (cp & 0x3F));
  }
}

}  // namespace pt
