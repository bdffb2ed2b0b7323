// Windows-1252, the single-byte code page in which the Windows program keeps
// key text and stored file names. Keys typed as characters become one byte
// each in this code page on every platform, so the same characters give the
// same key bytes (and the same carrier) everywhere.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pt {

// One byte per character; nothing when s is not valid UTF-8 or holds a
// character that Windows-1252 cannot represent.
std::optional<std::string> Utf8ToWindows1252(std::string_view s);

// Every byte maps to one character; the five bytes the code page leaves
// unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the control characters of
// the same number, as Windows itself does.
std::string Windows1252ToUtf8(std::string_view bytes);

}  // namespace pt
