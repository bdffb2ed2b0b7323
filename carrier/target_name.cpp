#include "carrier/target_name.h"

#include "util/text.h"

namespace pt {

std::string TargetName(const std::string& base, const std::string& ext, int rule) {
  switch (rule) {
    case 2: return base.substr(0, base.find('.')) + ".bmp";
    case 3: return base + "." + ext + ".bmp";
    default: return base + ".bmp";
  }
}

std::string StoredFileName(const std::string& base, const std::string& ext) {
  std::string name = base + "." + ext;
  if (name.size() > 255) name.resize(255);
  return name;
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
  return name;
}

std::string JoinPath(const std::string& dir, const std::string& name) {
  return AddTrailingBackslash(dir) + name;
}

}  // namespace pt
