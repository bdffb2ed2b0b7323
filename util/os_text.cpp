#include "util/os_text.h"

#include <utility>

#include "util/codepage.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

namespace pt {

#ifdef _WIN32

namespace {

constexpr std::wstring_view kLongPrefix = L"\\\\?\\";
constexpr std::wstring_view kLongUncPrefix = L"\\\\?\\UNC\\";
// Folders are limited to MAX_PATH - 12 characters (room for an 8.3 name).
constexpr std::size_t kShortPathLimit = MAX_PATH - 12;

int ToInt(std::size_t n) { return n > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(n); }

std::wstring WideFromCodePage(std::string_view bytes, UINT codePage) {
  if (bytes.empty()) return {};
  const int n = MultiByteToWideChar(codePage, 0, bytes.data(), ToInt(bytes.size()), nullptr, 0);
  if (n <= 0) return {};
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(codePage, 0, bytes.data(), ToInt(bytes.size()), out.data(), n);
  return out;
}

}  // namespace

std::wstring WideText(std::string_view utf8) { return WideFromCodePage(utf8, CP_UTF8); }

std::string Utf8Text(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), ToInt(wide.size()), nullptr, 0,
                                    nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), ToInt(wide.size()), out.data(), n, nullptr,
                      nullptr);
  return out;
}

std::string Utf8FromCodePage(std::string_view bytes, unsigned codePage) {
  return Utf8Text(WideFromCodePage(bytes, codePage));
}

std::wstring WidePath(std::string_view utf8) {
  std::wstring w = WideText(utf8);
  if (w.size() < kShortPathLimit || w.starts_with(kLongPrefix)) return w;
  // The prefix needs a full path with backslashes only and without "." or
  // ".." parts; the wide GetFullPathNameW makes one at any length.
  DWORD n = GetFullPathNameW(w.c_str(), 0, nullptr, nullptr);
  if (n == 0) return w;
  std::wstring full(n, L'\0');
  n = GetFullPathNameW(w.c_str(), n, full.data(), nullptr);
  if (n == 0 || n >= full.size()) return w;
  full.resize(n);
  if (full.starts_with(kLongPrefix) || full.starts_with(L"\\\\.\\")) return full;
  if (full.starts_with(L"\\\\")) return std::wstring(kLongUncPrefix) + full.substr(2);
  return std::wstring(kLongPrefix) + full;
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  std::vector<std::string> args;
  int n = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &n);
  // The wide command line is taken when argv is its ANSI form (the process's
  // own arguments, not a list a caller made up).
  bool same = wide != nullptr && n == argc;
  for (int i = 1; same && i < argc; ++i) {
    const int len = WideCharToMultiByte(CP_ACP, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
    std::string ansi(len > 0 ? static_cast<std::size_t>(len) : 0, '\0');
    if (len > 0) WideCharToMultiByte(CP_ACP, 0, wide[i], -1, ansi.data(), len, nullptr, nullptr);
    same = len > 0 && ansi.c_str() == std::string_view(argv[i]);
  }
  for (int i = 1; i < argc; ++i) {
    args.push_back(same ? Utf8Text(wide[i]) : Utf8FromCodePage(argv[i], CP_ACP));
  }
  if (wide != nullptr) LocalFree(wide);
  return args;
}

std::filesystem::path FsPath(std::string_view utf8) { return std::filesystem::path(WidePath(utf8)); }

std::string PlatformNameBytes(std::string utf8) {
  if (auto ansi = Utf8ToWindows1252(utf8)) return std::move(*ansi);
  return utf8;
}

std::string Utf8Path(const std::filesystem::path& p) {
  std::wstring_view w = p.native();
  if (w.starts_with(kLongUncPrefix)) return "\\\\" + Utf8Text(w.substr(kLongUncPrefix.size()));
  if (w.starts_with(kLongPrefix)) w.remove_prefix(kLongPrefix.size());
  return Utf8Text(w);
}

#else

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  return args;
}

std::filesystem::path FsPath(std::string_view utf8) { return std::filesystem::path(utf8); }

std::string Utf8Path(const std::filesystem::path& p) { return p.native(); }

std::string PlatformNameBytes(std::string utf8) { return utf8; }

#endif

}  // namespace pt
