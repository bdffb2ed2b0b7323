#include "carrier/target_name.h"

#include <array>

#include "util/codepage.h"
#include "util/text.h"
#include "util/utf8.h"

namespace pt {

namespace {

constexpr std::size_t kStoredNameMax = 255;

#ifdef _WIN32
// Names Windows gives to devices, with any extension ("nul.txt" is NUL too).
bool IsDeviceName(std::string_view name) {
  const std::string stem = ToUpperAscii(name.substr(0, name.find('.')));
  static constexpr std::array<const char*, 4> kDevices = {"CON", "PRN", "AUX", "NUL"};
  for (const char* d : kDevices) {
    if (stem == d) return true;
  }
  return stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) &&
         stem[3] >= '1' && stem[3] <= '9';
}

// Windows would refuse the name, or create a file under another name.
bool WindowsRefuses(std::string_view name) {
  if (name.back() == '.' || name.back() == ' ') return true;
  if (name.find_first_of("<>\"|?*") != std::string_view::npos) return true;
  return IsDeviceName(name);
}
#endif

}  // namespace

std::string TargetName(const std::string& base, const std::string& ext, TargetNameRule rule) {
  switch (rule) {
    case TargetNameRule::ReplaceAll:
      return base.substr(0, base.find('.')) + ".bmp";
    case TargetNameRule::Append:
      return base + "." + ext + ".bmp";
    case TargetNameRule::Unset:
    case TargetNameRule::ReplaceLast:
      break;
  }
  return base + ".bmp";
}

std::string StoredFileName(const std::string& base, const std::string& ext) {
  std::string name = base + "." + ext;
#ifdef _WIN32
  if (auto ansi = Utf8ToWindows1252(name)) name = std::move(*ansi);
#endif
  if (name.size() > kStoredNameMax) {
    std::size_t cut = kStoredNameMax;
    if (IsValidUtf8(name)) {
      // Back to the first byte of the character that does not fit.
      while (cut > 0 && IsUtf8Continuation(name[cut])) --cut;
    }
    name.resize(cut);
  }
  return name;
}

std::string StoredNameText(std::string_view storedBytes) {
  if (IsValidUtf8(storedBytes)) return std::string(storedBytes);
  return Windows1252ToUtf8(storedBytes);
}

std::optional<std::string> SafeOutputName(std::string_view storedName) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < storedName.size(); ++i) {
    const char c = storedName[i];
    bool cut = c == '/' || c == '\\';
#ifdef _WIN32
    cut = cut || c == ':';
#endif
    if (cut) start = i + 1;
  }
  std::string name(storedName.substr(start));
  if (name.empty() || name == "." || name == "..") return std::nullopt;
  for (char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) return std::nullopt;
  }
#ifdef _WIN32
  // "README." is how a name without extension is stored; Windows itself
  // writes it as "README". Any other trailing dot or blank is refused.
  if (name.size() > 1 && name.back() == '.' && name[name.size() - 2] != '.' &&
      name[name.size() - 2] != ' ') {
    name.pop_back();
  }
  if (WindowsRefuses(name)) return std::nullopt;
#endif
  return name;
}

std::optional<std::string> ShortenedName(const std::string& name,
                                         const std::function<bool(const std::string&)>& fits) {
  // An extension is the part from the last dot on, when it is short and
  // not the whole name.
  const std::size_t dot = name.rfind('.');
  const bool hasExt = dot != std::string::npos && dot > 0 && name.size() - dot <= 16;
  const std::string ext = hasExt ? name.substr(dot) : std::string();
  std::string base = name.substr(0, hasExt ? dot : name.size());
  while (!base.empty()) {
    // One character off the end (UTF-8: its continuation bytes first).
    while (!base.empty() && IsUtf8Continuation(base.back())) base.pop_back();
    if (!base.empty()) base.pop_back();
    if (!base.empty() && fits(base + ext)) return base + ext;
  }
  return std::nullopt;
}

std::string JoinPath(const std::string& dir, const std::string& name) {
  return WithTrailingSeparator(dir) + name;
}

}  // namespace pt
