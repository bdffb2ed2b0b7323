// The file system's rules (separators, drives, the names it refuses) and the
// by-name operations of the helpers above the jobs' streams: the file
// search, writability, private folders. The streams themselves are
// carrier/file_io. Paths are UTF-8 (see util/os_text.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pt {

// Path separators of the platform. Windows accepts both '\' and '/', and a
// drive colon ends the directory part of a name; elsewhere only '/'.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif
bool IsPathSeparator(char c);
// A separator, or on Windows a drive colon ("C:name"): the end of a
// directory part.
bool EndsDirectory(char c);
// 0-based index just past the directory part of p (its last separator or
// drive colon), 0 when p has no directory part.
std::size_t DirectoryPrefixLength(std::string_view p);
// The text before the separator of a root folder: nothing, or on Windows a
// drive ("C:").
bool IsRootPrefix(std::string_view dir);

struct FoundFile {
  std::string path;  // the pattern's folder part + the name as stored on disk
  std::int64_t size = -1;
};
// The first non-directory file that p names, or that matches p as a search
// pattern ('*', '?'); nothing when there is none.
std::optional<FoundFile> FindFirstFileMatch(const std::string& p);

// The name (one component) a file created under `name` gets, or nothing
// when the system refuses it or would create the file under another name.
// Windows drops one trailing dot ("README." becomes "README") and refuses
// device names (CON, NUL.txt, COM1), other trailing dots or blanks and any
// of < > " | ? *; elsewhere a name stays as it is.
std::optional<std::string> CreatedFileName(std::string name);

// An existing file this process may write to (on Windows: not read-only).
bool FileWritable(const std::string& path);
// A folder ("" the current one) this process may create files in.
bool FolderWritable(const std::string& folder);
// Creates the missing folders of dir, each private to the user (mode 0700;
// on Windows they take the rights of the folder they are made in).
void CreatePrivateFolders(const std::string& dir);
// The folders the system keeps installed programs in (/usr/bin and the
// like); none on Windows.
std::vector<std::string> SystemProgramFolders();

}  // namespace pt
