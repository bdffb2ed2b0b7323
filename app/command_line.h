// The command-line grammar shared by the window and the console program:
// switches -N -B -T -R -S -D, a key -K:/-k: with 16..64 hex digits, and file
// names (the last one counts).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/run_state.h"

namespace pt {

struct CommandLineEffects {
  int cipherIndex = -1;  // list position of the last cipher switch, or -1
  bool checkShow = false;  // -S
};

// Reads the arguments (program name excluded) left to right into state and
// fx. onInvalidKey runs once for every rejected -K: argument, at once.
void ParseCommandLine(const std::vector<std::string>& args, RunState& state,
                      CommandLineEffects& fx,
                      const std::function<void()>& onInvalidKey = {});

// What the window program prints instead of opening its window: its usage
// for --help, its version for --version (whichever comes first); nothing
// for any other command line.
std::optional<std::string> WindowProgramInfo(const std::vector<std::string>& args);

// Looks arg up as a file-search pattern: the first matching non-directory
// file, its last component spelled as stored on disk; "" when nothing
// matches or the first match is empty.
std::string LookupCommandLineFile(const std::string& arg);

// True for "-K:..." and "-k:..." arguments.
bool IsKeyArgument(const std::string& arg);

// Overwrites the digits of every -K:/-k: argument in the process's own
// argument memory, so that a key stops showing in the process list (ps,
// /proc/PID/cmdline) once the arguments have been read. With
// keysEndAtDoubleDash, arguments after "--" are file names and kept.
void WipeKeyArguments(int argc, char** argv, bool keysEndAtDoubleDash);

// Windows keeps the command line as one text (what GetCommandLineW returns
// is what the process list shows): overwrites every character of the key
// of each -K:/-k: argument in it with '*'. Arguments are found by the
// platform's splitting rules (blanks outside quotes separate, backslashes
// count only before a quote); the program name is skipped.
void WipeKeyArgumentsInCommandLine(wchar_t* line);
void WipeKeyArgumentsInCommandLine(char* line);

}  // namespace pt
