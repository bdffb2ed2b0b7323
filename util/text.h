// Small text and file-name helpers shared by the window, the settings file,
// the key rules and the conversion jobs. All texts are 8-bit (one byte per
// character); none of the helpers keeps state or throws.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "util/os_files.h"  // the path rules and the file search used below

namespace pt {

// True when the length is even and every character is 0-9, A-F or a-f.
// The empty text passes (callers check lengths themselves).
bool IsHexText(std::string_view s);

// Two characters per byte, taken as typed: v(c) = c - 48 for digits,
// c - 55 otherwise, byte = low 8 bits of (v(h) * 16) | v(l). A lower-case
// letter in the second place therefore also sets bit 0x20 ("1a" -> 0x3A).
// Stored carriers depend on exactly these bytes.
std::string HexToBytes(std::string_view s);

std::string ToUpperAscii(std::string_view s);
std::string ToLowerAscii(std::string_view s);

// Two upper-case hex digits, high nibble first.
std::string ByteToHex(std::uint8_t b);
// The low n bytes of v as 2n upper-case hex digits (n outside 1..4 means 4).
std::string ValueToHex(std::uint32_t v, int n);
// Decimal form of v, left-filled with c up to width w (never cut).
std::string IntToStrPadded(long long v, int w, char c);
// Decimal form with "." between groups of three digits: 1234567 -> 1.234.567.
std::string GroupThousands(long long v);
// "hh:mm:ss" for the span between two calendar times in whole seconds;
// end 0 means now; end before start gives "<start>stop>".
std::string ElapsedText(std::int64_t start, std::int64_t end);
// Current calendar time in whole seconds.
std::int64_t NowSeconds();

// Appends the platform separator ('/' on Linux, '\\' on Windows) unless p
// is empty or already ends in one (or in a drive colon, on Windows).
std::string WithTrailingSeparator(std::string p);
// The same under its older name, which tells only the Windows half.
inline std::string AddTrailingBackslash(std::string p) {
  return WithTrailingSeparator(std::move(p));
}

// 1-based position of the last `wanted` in s, scanning from the end; 0 when a
// path separator (if stopAtSeparator) or nothing is met first.
int LastCharPos(std::string_view s, char wanted, bool stopAtSeparator);

struct PathParts {
  std::string dir;   // without trailing separator; empty when none
  std::string name;  // base name without the last extension
  std::string ext;   // last extension without the dot; empty when none
};
// Splits at the last separator and at the last "." after it.
PathParts SplitPath(std::string_view p);

// FindFirstFileMatch in the older in/out form: the size, or -1; with fix,
// p itself becomes the found path (the letter case of the stored name).
std::int64_t FileSizeOf(std::string& p, bool fix);

// Fixed notation with `decimals` digits after ".", whatever the locale.
std::string FormatFixed(double v, int decimals);

}  // namespace pt
