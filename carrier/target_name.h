// How the jobs name the files they write.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pt {

// The carrier's name from the source's base name and last extension:
// rule 2 the base name up to its first "." + ".bmp"; rule 3 base + "." +
// extension + ".bmp"; any other rule base + ".bmp".
std::string TargetName(const std::string& base, const std::string& ext, int rule);

// The name stored in a carrier, from the source's base name and extension
// (always with the dot), cut to 255 characters.
std::string StoredFileName(const std::string& base, const std::string& ext);

// The name an unpacked file may be written under: the part after the last
// '/' or '\' (and ':' on Windows). Nothing when that leaves an empty name,
// "." or "..", or the name holds control characters; such a carrier is
// refused, so nothing is ever written outside the carrier's folder.
std::optional<std::string> SafeOutputName(std::string_view storedName);

// dir + separator (unless dir is empty or ends in one) + name.
std::string JoinPath(const std::string& dir, const std::string& name);

}  // namespace pt
