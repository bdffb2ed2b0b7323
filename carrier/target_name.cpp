#include "carrier/target_name.h"

#include "util/codepage.h"
#include "util/os_files.h"
#include "util/os_text.h"
#include "util/text.h"
#include "util/utf8.h"

namespace pt {

namespace {

constexpr std::size_t kStoredNameMax = 255;

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
  std::string name = PlatformNameBytes(base + "." + ext);
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
    // Both separators everywhere, and whatever else ends a folder here.
    if (c == '/' || c == '\\' || EndsDirectory(c)) start = i + 1;
  }
  std::string name(storedName.substr(start));
  if (name.empty() || name == "." || name == "..") return std::nullopt;
  for (char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) return std::nullopt;
  }
  // "README." is how a name without extension is stored; Windows itself
  // writes it as "README", which is the name it is then given.
  return CreatedFileName(std::move(name));
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
