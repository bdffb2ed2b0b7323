#include "app/cli/wildcards.h"

#include <algorithm>
#include <filesystem>
#include <optional>

#ifdef _WIN32
#include <windows.h>
#endif

#include "carrier/file_io.h"
#include "util/os_text.h"
#include "util/text.h"

namespace pt {

namespace {

// Length of the folder part of arg, its last separator (or, on Windows, the
// colon of "C:*.bmp") included.
std::size_t FolderPartLength(std::string_view arg) { return DirectoryPrefixLength(arg); }

// The characters of UTF-8 text, each with its continuation bytes; a stray
// byte counts as a character of its own.
std::vector<std::string_view> Characters(std::string_view text) {
  std::vector<std::string_view> chars;
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t end = i + 1;
    if (static_cast<unsigned char>(text[i]) >= 0xC0) {
      while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
    }
    chars.push_back(text.substr(i, end - i));
    i = end;
  }
  return chars;
}

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameCharacter(std::string_view a, std::string_view b) {
  if (a.size() == 1 && b.size() == 1) return AsciiUpper(a[0]) == AsciiUpper(b[0]);
  if (a == b) return true;
#ifdef _WIN32
  // The file system's own rule for the rest of Unicode.
  const std::wstring wa = WideText(a);
  const std::wstring wb = WideText(b);
  return CompareStringOrdinal(wa.data(), static_cast<int>(wa.size()), wb.data(),
                              static_cast<int>(wb.size()), TRUE) == CSTR_EQUAL;
#else
  return false;
#endif
}

bool Matches(const std::vector<std::string_view>& pattern, const std::vector<std::string_view>& name) {
  // Greedy with one back-track point: the last '*' seen takes one more
  // character whenever the rest fails.
  std::size_t p = 0;
  std::size_t n = 0;
  std::optional<std::size_t> star;
  std::size_t starName = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == "*") {
      star = p++;
      starName = n;
    } else if (p < pattern.size() && (pattern[p] == "?" || SameCharacter(pattern[p], name[n]))) {
      ++p;
      ++n;
    } else if (star) {
      p = *star + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == "*") ++p;
  return p == pattern.size();
}

struct Entry {
  std::string name;
  bool candidate;  // a file that is not hidden
};

bool HiddenName(const std::string& name) { return !name.empty() && name[0] == '.'; }

// The entries of a folder ("" the current one); nothing when it cannot be
// read.
std::optional<std::vector<Entry>> ListFolder(const std::string& folder) {
  std::vector<Entry> entries;
#ifdef _WIN32
  WIN32_FIND_DATAW fd;
  const HANDLE h = FindFirstFileW(WidePath(folder + "*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  do {
    constexpr DWORD kSkipped = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    std::string name = Utf8Text(fd.cFileName);
    const bool candidate = (fd.dwFileAttributes & kSkipped) == 0 && !HiddenName(name);
    entries.push_back({std::move(name), candidate});
  } while (FindNextFileW(h, &fd));
  FindClose(h);
#else
  std::error_code ec;
  std::filesystem::directory_iterator it(folder.empty() ? "." : FsPath(folder), ec);
  if (ec) return std::nullopt;
  for (const auto& e : it) {
    std::string name = Utf8Path(e.path().filename());
    const bool candidate = !e.is_directory(ec) && !HiddenName(name);
    entries.push_back({std::move(name), candidate});
  }
#endif
  return entries;
}

// Case-blind order, the exact bytes breaking ties, so that the order of the
// jobs does not depend on the file system's listing order.
bool ListedBefore(const std::string& a, const std::string& b) {
  const std::string ua = ToUpperAscii(a);
  const std::string ub = ToUpperAscii(b);
  return ua != ub ? ua < ub : a < b;
}

}  // namespace

bool HasWildcards(std::string_view arg) {
  return arg.find_first_of("*?", FolderPartLength(arg)) != std::string_view::npos;
}

bool WildcardMatch(std::string_view pattern, std::string_view name) {
  const std::vector<std::string_view> n = Characters(name);
  if (Matches(Characters(pattern), n)) return true;
  // "notes.*" also stands for "notes", and "*.*" for every name.
  if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*") {
    return Matches(Characters(pattern.substr(0, pattern.size() - 2)), n);
  }
  return false;
}

bool ProgramExpandsWildcards() {
#ifdef _WIN32
  return true;
#else
  return false;
#endif
}

ExpandedFiles ExpandWildcards(const std::vector<std::string>& args) {
  ExpandedFiles out;
  for (const std::string& arg : args) {
    if (arg == "-" || !HasWildcards(arg) || NameTaken(arg)) {
      out.files.push_back(arg);
      continue;
    }
    const std::string folder = arg.substr(0, FolderPartLength(arg));
    const std::string pattern = arg.substr(folder.size());
    std::vector<std::string> matches;
    if (const auto entries = ListFolder(folder)) {
      for (const Entry& e : *entries) {
        if (e.candidate && WildcardMatch(pattern, e.name)) matches.push_back(e.name);
      }
    }
    if (matches.empty()) {
      if (out.unmatched.empty()) out.unmatched = arg;
      continue;
    }
    std::sort(matches.begin(), matches.end(), ListedBefore);
    for (const std::string& m : matches) out.files.push_back(folder + m);
  }
  return out;
}

}  // namespace pt
