// File arguments with wildcards. A POSIX shell expands "*.bmp" before the
// program starts; the Windows command prompt hands it over as typed, so the
// console program expands it itself there, each match a job of its own.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pt {

// True when the last component of arg (after its folder part) holds '*' or
// '?'. Wildcards in the folder part are not expanded ("\\?\C:\..." is a
// plain long path).
bool HasWildcards(std::string_view arg);

// '*' stands for any run of characters (also none), '?' for exactly one
// character, not one byte ("caf?.txt" matches "café.txt"). Letters compare
// without regard to case, as Windows compares file names. As in the command
// prompt, a pattern ending in ".*" also matches names without that dot:
// "*.*" matches every name, "notes.*" matches "notes".
bool WildcardMatch(std::string_view pattern, std::string_view name);

// True where the program itself expands wildcards: on Windows, where the
// command prompt hands "*.bmp" over as typed.
bool ProgramExpandsWildcards();

struct ExpandedFiles {
  std::vector<std::string> files;
  std::string unmatched;  // the first pattern that matched no file; "" when all did
};

// Each argument with wildcards becomes the files of its folder that match it,
// sorted without regard to case, written with the argument's own folder part
// ("photos\*.bmp" gives "photos\a.bmp", "photos\b.bmp"). Folders and hidden
// files (a leading dot, as the jobs' own partial files have; on Windows also
// the hidden and system attributes, as desktop.ini) are not matched. An
// argument that names an existing file as written, "-" and arguments
// without wildcards stay as they are. Windows lists the folder with
// FindFirstFileW/FindNextFileW.
ExpandedFiles ExpandWildcards(const std::vector<std::string>& args);

}  // namespace pt
