#include "util/text.h"

#include <charconv>
#include <cstdlib>
#include <ctime>
#include <system_error>

namespace pt {

namespace {

std::uint8_t HexDigitValue(char c) {
  const auto u = static_cast<std::uint8_t>(c);
  const auto digit = static_cast<std::uint8_t>(u - 48);
  if (digit <= 9) return digit;
  return static_cast<std::uint8_t>(u - 55);
}

}  // namespace

bool IsHexText(std::string_view s) {
  if (s.size() % 2 != 0) return false;
  for (char c : s) {
    const bool hex = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') ||
                     (c >= 'a' && c <= 'f');
    if (!hex) return false;
  }
  return true;
}

std::string HexToBytes(std::string_view s) {
  std::string out;
  out.reserve(s.size() / 2);
  for (std::size_t i = 0; i + 1 < s.size(); i += 2) {
    // Deliberately not textbook hex: keys of existing carriers were derived
    // with this arithmetic, lower-case second digits included.
    const unsigned high = HexDigitValue(s[i]);
    const unsigned low = HexDigitValue(s[i + 1]);
    out.push_back(static_cast<char>(((high * 16U) | low) & 0xFFU));
  }
  return out;
}

std::string ToUpperAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

std::string ToLowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string ByteToHex(std::uint8_t b) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out(2, '0');
  out[0] = kDigits[b >> 4];
  out[1] = kDigits[b & 0x0F];
  return out;
}

std::string ValueToHex(std::uint32_t v, int n) {
  if (n < 1 || n > 4) n = 4;
  std::string out;
  for (int i = n - 1; i >= 0; --i) {
    out += ByteToHex(static_cast<std::uint8_t>((v >> (8 * i)) & 0xFFU));
  }
  return out;
}

std::string IntToStrPadded(long long v, int w, char c) {
  std::string digits = std::to_string(v);
  if (w > 0 && digits.size() < static_cast<std::size_t>(w)) {
    digits.insert(0, static_cast<std::size_t>(w) - digits.size(), c);
  }
  return digits;
}

std::string GroupThousands(long long v) {
  // std::to_string of an integer never uses the locale's grouping.
  const std::string digits = std::to_string(v);
  const std::size_t sign = (!digits.empty() && digits[0] == '-') ? 1 : 0;
  std::string out = digits.substr(0, sign);
  const std::size_t count = digits.size() - sign;
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0 && (count - i) % 3 == 0) out += '.';
    out += digits[sign + i];
  }
  return out;
}

std::string ElapsedText(std::int64_t start, std::int64_t end) {
  if (end == 0) end = NowSeconds();
  if (end < start) return "<start>stop>";
  const std::int64_t d = end - start;
  return IntToStrPadded(d / 3600, 2, '0') + ":" +
         IntToStrPadded((d % 3600) / 60, 2, '0') + ":" +
         IntToStrPadded(d % 60, 2, '0');
}

std::int64_t NowSeconds() {
  return static_cast<std::int64_t>(std::time(nullptr));
}

std::string WithTrailingSeparator(std::string p) {
  if (!p.empty() && !EndsDirectory(p.back())) p += kPathSeparator;
  return p;
}

int LastCharPos(std::string_view s, char wanted, bool stopAtSeparator) {
  for (std::size_t i = s.size(); i > 0; --i) {
    const char c = s[i - 1];
    if (c == wanted) return static_cast<int>(i);
    if (stopAtSeparator && EndsDirectory(c)) return 0;
  }
  return 0;
}

PathParts SplitPath(std::string_view p) {
  PathParts parts;
  const int dot = LastCharPos(p, '.', true);
  if (dot > 0) {
    const auto x = static_cast<std::size_t>(dot);
    parts.ext = std::string(p.substr(x));
    p = p.substr(0, x - 1);
  }
  const std::size_t prefix = DirectoryPrefixLength(p);
  if (prefix > 0) {
    // A drive colon stays with the directory ("C:"), a separator does not,
    // except after a root ("/", "C:\"): without it the folder of a file at
    // the root would read as the current folder.
    const bool colon = p[prefix - 1] == ':';
    std::string_view dir = p.substr(0, colon ? prefix : prefix - 1);
    if (!colon && IsRootPrefix(dir)) dir = p.substr(0, prefix);
    parts.dir = std::string(dir);
    p = p.substr(prefix);
  }
  parts.name = std::string(p);
  return parts;
}

std::int64_t FileSizeOf(std::string& p, bool fix) {
  auto found = FindFirstFileMatch(p);
  if (!found) return -1;
  if (fix) p = std::move(found->path);
  return found->size;
}

std::string FormatFixed(double v, int decimals) {
  if (decimals < 0) decimals = 0;
  if (decimals > 30) decimals = 30;
  // to_chars is locale-independent; the buffer holds any double in fixed
  // notation (309 integer digits) plus sign, point and decimals.
  char buf[400];
  const auto res = std::to_chars(buf, buf + sizeof buf, v,
                                 std::chars_format::fixed, decimals);
  if (res.ec != std::errc{}) return {};
  return std::string(buf, res.ptr);
}

}  // namespace pt
