#include "util/os_files.h"

#include <array>
#include <filesystem>
#include <system_error>

#include "util/os_text.h"
#include "util/text.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <glob.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace pt {

namespace fs = std::filesystem;

namespace {

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
#else
bool IsRegularFile(const std::string& path, std::int64_t* size) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  if (size != nullptr) *size = static_cast<std::int64_t>(st.st_size);
  return true;
}
#endif

}  // namespace

bool IsPathSeparator(char c) {
#ifdef _WIN32
  return c == '\\' || c == '/';
#else
  return c == '/';
#endif
}

bool EndsDirectory(char c) {
#ifdef _WIN32
  return IsPathSeparator(c) || c == ':';
#else
  return IsPathSeparator(c);
#endif
}

std::size_t DirectoryPrefixLength(std::string_view p) {
  for (std::size_t i = p.size(); i > 0; --i) {
    if (EndsDirectory(p[i - 1])) return i;
  }
  return 0;
}

bool IsRootPrefix(std::string_view dir) {
#ifdef _WIN32
  if (dir.size() == 2 && dir[1] == ':') return true;
#endif
  return dir.empty();
}

std::optional<FoundFile> FindFirstFileMatch(const std::string& p) {
  if (p.empty()) return std::nullopt;
  const std::string folder = p.substr(0, DirectoryPrefixLength(p));
#ifdef _WIN32
  // The wide search: names outside the ANSI code page and paths longer than
  // MAX_PATH are found too.
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(WidePath(p).c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  std::optional<FoundFile> found;
  do {
    if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      found = FoundFile{folder + Utf8Text(fd.cFileName),
                        (static_cast<std::int64_t>(fd.nFileSizeHigh) << 32) |
                            static_cast<std::int64_t>(fd.nFileSizeLow)};
      break;
    }
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  return found;
#else
  // A name that exists as written wins, so that names containing pattern
  // characters ("a[1].txt") still find themselves.
  std::int64_t size = -1;
  if (IsRegularFile(p, &size)) return FoundFile{p, size};

  std::optional<FoundFile> found;
  glob_t g{};
  // No escape character: the pattern behaves like the Windows file search.
  if (::glob(p.c_str(), GLOB_NOESCAPE, nullptr, &g) == 0) {
    for (std::size_t i = 0; i < g.gl_pathc; ++i) {
      const std::string match = g.gl_pathv[i];
      if (IsRegularFile(match, &size)) {
        found = FoundFile{folder + match.substr(DirectoryPrefixLength(match)), size};
        break;
      }
    }
  }
  ::globfree(&g);
  return found;
#endif
}

std::optional<std::string> CreatedFileName(std::string name) {
#ifdef _WIN32
  if (name.size() > 1 && name.back() == '.' && name[name.size() - 2] != '.' &&
      name[name.size() - 2] != ' ') {
    name.pop_back();
  }
  if (WindowsRefuses(name)) return std::nullopt;
#endif
  return name;
}

bool FileWritable(const std::string& path) {
#ifdef _WIN32
  std::error_code ec;
  const auto perms = fs::status(FsPath(path), ec).permissions();
  return !ec && (perms & fs::perms::owner_write) != fs::perms::none;
#else
  return ::access(path.c_str(), W_OK) == 0;
#endif
}

bool FolderWritable(const std::string& folder) {
  const fs::path dir = folder.empty() ? fs::path(".") : FsPath(folder);
#ifdef _WIN32
  // The access rights of a folder show only by trying: a new file that is
  // gone again when its handle closes.
  const fs::path probe = dir / (L".pixeltuck-probe-" + std::to_wstring(GetCurrentProcessId()));
  const HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
#else
  return ::access(dir.c_str(), W_OK | X_OK) == 0;
#endif
}

void CreatePrivateFolders(const std::string& dir) {
  const fs::path path = FsPath(dir);
  std::error_code ec;
  if (dir.empty() || fs::is_directory(path, ec)) return;
#ifdef _WIN32
  fs::create_directories(path, ec);
#else
  fs::path partial;
  for (const fs::path& part : path) {
    partial /= part;
    if (!fs::exists(fs::symlink_status(partial, ec))) ::mkdir(partial.c_str(), 0700);
  }
#endif
}

std::vector<std::string> SystemProgramFolders() {
#ifdef _WIN32
  return {};
#else
  return {"/usr/bin", "/bin", "/usr/local/bin", "/usr/games"};
#endif
}

}  // namespace pt
