// Arguments, settings and exit status of the console program. main() only
// hands its arguments to CliMain.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/cli/terminal.h"
#include "app/settings_file.h"
#include "carrier/settings.h"

namespace pt {

// Exit status of the console program; of several files the worst counts.
inline constexpr int kExitDone = 0;        // the job ran to its end, checks passed
inline constexpr int kExitJobStopped = 1;  // ended early, or a check failed
inline constexpr int kExitBadArguments = 2;

enum class CliAction { Run, Help, Version, Fail };

struct CliArgs {
  CliAction action = CliAction::Fail;
  std::string error;                  // for Fail: what was wrong
  std::vector<std::string> warnings;  // switches that were ignored
  int cipherIndex = 0;                // list position: a switch, else the start-up cipher
  RunState state;                     // -K: key and -D flags
  std::vector<std::string> files;     // in the order given; each is one job
  bool quiet = false;                 // -q / --quiet
  bool force = false;                 // -f / --force
  std::optional<std::string> keyFile; // --key-file FILE ("-": standard input)
};

// The window's grammar (switches, -K:) plus the console's own switches:
// -h/--help, --version, -q/--quiet, -f/--force, --key-file FILE, and "--",
// after which every argument is a file name. Every file name counts. An
// unknown switch is ignored with a warning; an invalid key or no file at
// all makes the arguments unusable.
CliArgs ParseCliArgs(const std::vector<std::string>& args, const Settings& settings);

std::string CliUsage();
std::string CliVersion();

// The window program's configuration file beside this program
// ("" when this program's path is unknown).
std::string WindowConfigurationFile(const std::string& exePath);

// The key of --key-file: the file's first line (at most kMaxInputLine
// bytes, blanks around it ignored) by the -K: rules, upper-cased. "-" reads
// standard input, without echo when that is a terminal. Folders are
// refused; a pipe is read (a key may come from another program).
struct KeyFileResult {
  std::optional<std::string> key;
  std::string error;
};
KeyFileResult ReadKeyFile(const std::string& path, Terminal& terminal);

struct CliEnvironment {
  std::ostream& out;
  std::ostream& err;
  Terminal& terminal;
  SettingsLocation settings;  // read, never written; "" for the defaults
};

// Parses, loads the settings, runs one job per file; returns the exit
// status. Key arguments are wiped once parsed.
int RunCli(std::vector<std::string> args, CliEnvironment& env);

// The program: console terminal, standard streams, the settings the window
// program would read. Wipes -K: keys in argv, so that they stop showing in
// the process list.
int CliMain(int argc, char** argv);

}  // namespace pt
