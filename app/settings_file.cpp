#include "app/settings_file.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <optional>
#include <type_traits>
#include <vector>

#include "carrier/file_io.h"
#include "carrier/target_name.h"
#include "util/os_files.h"
#include "util/os_process.h"
#include "util/os_text.h"
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

// ------------------------------------------------------- the file's fields
//
// Each field is written and read by its row of kFileFields, in the order of
// the file. A member is a number (std::int32_t or one of the settings'
// enums), a flag (bool, written 0 or 1) or a word (the extension list).

template <auto Member>
std::string WriteField(const Settings& s) {
  const auto& value = s.*Member;
  using T = std::remove_cvref_t<decltype(value)>;
  if constexpr (std::is_same_v<T, bool>) {
    return value ? "1" : "0";
  } else if constexpr (std::is_same_v<T, std::string>) {
    return value;
  } else {
    return std::to_string(static_cast<std::int32_t>(value));
  }
}

template <auto Member>
void SetNumber(Settings& s, std::int32_t value) {
  using T = std::remove_cvref_t<decltype(s.*Member)>;
  s.*Member = static_cast<T>(value);
}

// A number outside lo..hi is skipped: the field keeps its value.
template <auto Member, std::int32_t Lo, std::int32_t Hi>
void ReadInRange(ValueReader& in, Settings& s) {
  if (const auto v = in.Int(); v && *v >= Lo && *v <= Hi) SetNumber<Member>(s, *v);
}

// A number is taken as it is, and then a field outside lo..hi becomes lo,
// also one that kept its value because nothing could be read.
template <auto Member, std::int32_t Lo, std::int32_t Hi>
void ReadCorrected(ValueReader& in, Settings& s) {
  if (const auto v = in.Int()) SetNumber<Member>(s, *v);
  const auto now = static_cast<std::int32_t>(s.*Member);
  if (now < Lo || now > Hi) SetNumber<Member>(s, Lo);
}

template <auto Member>
void ReadFlag(ValueReader& in, Settings& s) {
  if (const auto v = in.Bool()) s.*Member = *v;
}

// An empty word cannot be read: the list keeps its value.
template <auto Member>
void ReadWord(ValueReader& in, Settings& s) {
  if (const auto w = in.Word()) s.*Member = *w;
}

struct FileField {
  std::string (*write)(const Settings&);
  void (*read)(ValueReader&, Settings&);
};

constexpr FileField kFileFields[] = {
    {WriteField<&Settings::startupCipher>, ReadInRange<&Settings::startupCipher, 0, 3>},
    {WriteField<&Settings::compressionMode>, ReadInRange<&Settings::compressionMode, 0, 3>},
    {WriteField<&Settings::compressionLevel>, ReadInRange<&Settings::compressionLevel, -9, 9>},
    {WriteField<&Settings::showBitmap>, ReadFlag<&Settings::showBitmap>},
    {WriteField<&Settings::exitAfterConversion>, ReadFlag<&Settings::exitAfterConversion>},
    {WriteField<&Settings::copyLog>, ReadFlag<&Settings::copyLog>},
    {WriteField<&Settings::keyMode>, ReadCorrected<&Settings::keyMode, 1, 3>},
    {WriteField<&Settings::hidePassword>, ReadFlag<&Settings::hidePassword>},
    {WriteField<&Settings::disclaimerAccepted>, ReadFlag<&Settings::disclaimerAccepted>},
    {WriteField<&Settings::compressedExtensions>, ReadWord<&Settings::compressedExtensions>},
    {WriteField<&Settings::targetNameRule>, ReadCorrected<&Settings::targetNameRule, 1, 3>},
};

namespace fs = std::filesystem;

// Paths are UTF-8 text inside the program (FsPath and Utf8Path convert).
std::string PathText(const fs::path& p) { return Utf8Path(p); }

// The file a path finally names: links are followed (a relative link target
// counts from the link's folder). Nothing for a loop of links.
std::optional<fs::path> FollowLinks(fs::path p) {
  for (int hops = 0; hops < 40; ++hops) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(p, ec))) return p;
    const fs::path target = fs::read_symlink(p, ec);
    if (ec) return std::nullopt;
    p = target.is_absolute() ? target : p.parent_path() / target;
  }
  return std::nullopt;
}

// Up to kMaxSettingsFileBytes of a regular, non-empty file. The type is
// checked on the opened file, not on the name, and opening does not wait
// for a writer, so a pipe put in the file's place cannot hang the program.
std::optional<std::string> ReadSettingsText(const std::string& path) {
  InputFile in;
  if (!in.Open(path) || in.Size() == 0) return std::nullopt;
  std::string text(kMaxSettingsFileBytes, '\0');
  text.resize(in.Read(text.data(), text.size()));
  return text;
}

// Creates the missing folders above a file; new ones are private to the
// user, as the base folder of user configuration should be.
void CreateFoldersFor(const std::string& file) {
  CreatePrivateFolders(PathText(FsPath(file).parent_path()));
}

// Folders that installed programs live in: no settings file belongs there.
bool IsProgramFolder(const fs::path& dir) {
  std::vector<std::string> folders = SystemProgramFolders();
#ifdef PT_INSTALL_BINDIR
  folders.emplace_back(PT_INSTALL_BINDIR);
#endif
  for (const std::string& f : folders) {
    std::error_code ec;
    if (fs::equivalent(dir, FsPath(f), ec) && !ec) return true;
  }
  return false;
}

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

std::string UserConfigurationFile() {
  const std::string base = UserConfigFolder();
  if (base.empty()) return {};
  return JoinPath(JoinPath(base, "pixeltuck"), "pixeltuck.cfg");
}

std::string SystemConfigurationFile(const std::string& besideFile) {
  const std::string folder = SystemConfigFolder();
  // Without a system folder (Windows) the preset is the file beside the
  // installed program, where only an administrator may write.
  if (folder.empty()) return besideFile;
  return JoinPath(folder, "pixeltuck.cfg");
}

SettingsLocation ChooseSettingsLocation(const std::string& besideFile, bool besideUsable,
                                        const std::string& userFile,
                                        const std::string& systemFile) {
  if (besideUsable) return SettingsLocation(besideFile);
  SettingsLocation location;
  if (!systemFile.empty()) location.readPaths.push_back(systemFile);
  // Without a home folder nothing can be saved; the window then says so.
  if (!userFile.empty()) location.readPaths.push_back(userFile);
  location.writePath = userFile;
  location.createFolders = true;
  return location;
}

bool SettingsFolderUsable(const std::string& folder) {
  const fs::path dir = folder.empty() ? fs::path(".") : FsPath(folder);
  return !IsProgramFolder(dir) && FolderWritable(folder);
}

SettingsLocation SettingsLocationFor(const std::string& besideFile) {
  if (besideFile.empty()) return SettingsLocation(UserConfigurationFile());
  const std::string folder = PathText(FsPath(besideFile).parent_path());
  return ChooseSettingsLocation(besideFile, SettingsFolderUsable(folder),
                                UserConfigurationFile(), SystemConfigurationFile(besideFile));
}

std::string SettingsToText(const Settings& s) {
  std::string out;
  for (const FileField& field : kFileFields) {
    if (&field != kFileFields) out += ' ';
    out += field.write(s);
  }
  return out;
}

void LoadSettingsFromText(Settings& s, std::string_view text) {
  ValueReader in(text);
  for (const FileField& field : kFileFields) field.read(in, s);
}

bool LoadSettings(Settings& s, const std::string& path) {
  if (path.empty()) return false;
  const auto text = ReadSettingsText(path);
  if (!text) return false;
  LoadSettingsFromText(s, *text);
  return true;
}

bool LoadSettings(Settings& s, const SettingsLocation& location) {
  bool loaded = false;
  for (const std::string& path : location.readPaths) loaded = LoadSettings(s, path) || loaded;
  return loaded;
}

bool SaveSettings(const Settings& s, const std::string& path, FileSystem& fs) {
  if (path.empty()) return false;
  const auto target = FollowLinks(FsPath(path));
  if (!target) return false;
  std::error_code ec;
  const fs::file_status old = fs::status(*target, ec);
  const bool replacing = fs::exists(old);
  if (replacing && (!fs::is_regular_file(old) || !FileWritable(PathText(*target)))) return false;

  OutputFile out;
  const std::string text = SettingsToText(s);
  // Replacing keeps the old file's permission bits and syncs the new one
  // before the rename, so an interrupted save leaves the old settings.
  return out.Create(PathText(*target), fs) && out.Write(text.data(), text.size()) &&
         out.Commit(/*replace=*/replacing, /*durable=*/true);
}

bool SaveSettings(const Settings& s, const SettingsLocation& location) {
  if (location.writePath.empty()) return false;
  if (location.createFolders) CreateFoldersFor(location.writePath);
  return SaveSettings(s, location.writePath);
}

std::string SaveSettingsFailedMessage(const std::string& path) {
  return "Configuration file : <" + path + ">\ncould not be written !!!";
}

}  // namespace pt
