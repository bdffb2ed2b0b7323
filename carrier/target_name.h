// How the jobs name the files they write.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "carrier/settings.h"

namespace pt {

// The carrier's name from the source's base name and last extension:
// ReplaceAll the base name up to its first "." + ".bmp"; Append base + "." +
// extension + ".bmp"; any other rule base + ".bmp".
std::string TargetName(const std::string& base, const std::string& ext, TargetNameRule rule);

// The name stored in a carrier, from the source's base name and extension
// (always with the dot), cut to 255 bytes without splitting a character.
// Written the way this platform's copies of the program read it back: UTF-8
// here, and on Windows the Windows-1252 bytes of the Windows program (UTF-8
// only for a name that code page cannot hold).
std::string StoredFileName(const std::string& base, const std::string& ext);

// A stored name as the program's UTF-8 text, on every platform: kept when it
// is valid UTF-8 (Linux copies, and names outside Windows-1252), read as
// Windows-1252 otherwise (the Windows program).
std::string StoredNameText(std::string_view storedBytes);

// The name an unpacked file may be written under: the part after the last
// '/' or '\' (and ':' on Windows). Nothing when that leaves an empty name,
// "." or "..", or the name holds control characters, or on Windows a name
// the system refuses or changes (CON, NUL.txt, trailing dots or blanks, one
// of < > " | ? *); such a carrier is refused, so nothing is ever written
// outside the carrier's folder or under another name. On Windows the single
// dot of a name stored without extension ("README.") is dropped.
std::optional<std::string> SafeOutputName(std::string_view storedName);

// A shorter form of a name that `fits` refuses: whole characters dropped
// from the end of the part before the extension, which stays. Nothing when
// even one character before the extension does not fit.
std::optional<std::string> ShortenedName(const std::string& name,
                                         const std::function<bool(const std::string&)>& fits);

// dir + separator (unless dir is empty or ends in one) + name.
std::string JoinPath(const std::string& dir, const std::string& name);

}  // namespace pt
