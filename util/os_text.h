// Text that crosses between the program and the operating system. Inside the
// program every path, file name and argument is UTF-8. Linux hands file names
// over as bytes, so nothing changes there. Windows speaks UTF-16 in its wide
// API and the ANSI code page in its narrow one (argv, the -A functions); the
// conversions to and from it are all here, so that no narrow system text
// reaches the rest of the program and no UTF-8 text reaches a narrow call.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace pt {

// The command-line arguments after the program name, as UTF-8. On Windows
// they come from the wide command line: argv holds ANSI code-page bytes, in
// which a name outside that code page has already lost its characters. (An
// argv that is not the process's own is converted from the ANSI code page.)
std::vector<std::string> ProgramArguments(int argc, char** argv);

// A std::filesystem path for a UTF-8 path, and back. Never throw: text that
// is not valid UTF-8 gives a path that names nothing, so the call that uses
// it fails like any missing file.
std::filesystem::path FsPath(std::string_view utf8);
std::string Utf8Path(const std::filesystem::path& p);

// A file name in the 8-bit form the programs of this platform have always
// stored (in carriers): UTF-8 as it is, except on Windows, where a name that
// Windows-1252 can hold is given in its bytes.
std::string PlatformNameBytes(std::string utf8);

#ifdef _WIN32
// UTF-8 <-> UTF-16 for the wide API. Malformed input becomes U+FFFD.
std::wstring WideText(std::string_view utf8);
std::string Utf8Text(std::wstring_view wide);
// Text in a code page of the system (CP_ACP, CP_OEMCP) as UTF-8.
std::string Utf8FromCodePage(std::string_view bytes, unsigned codePage);
// A path for the wide file API. Paths of MAX_PATH characters and more are made
// absolute and given the "\\?\" prefix, which lifts that limit.
std::wstring WidePath(std::string_view utf8);
#endif

}  // namespace pt
