// Arguments, settings and exit status of the console program. main() only
// hands its arguments to CliMain.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/cli/terminal.h"
#include "app/settings_file.h"
#include "app/run_state.h"
#include "carrier/settings.h"

namespace pt {

// Exit status of the console program; of several files the worst counts.
inline constexpr int kExitDone = 0;        // the job ran to its end, checks passed
inline constexpr int kExitJobStopped = 1;  // ended early, or a check failed
inline constexpr int kExitBadArguments = 2;

enum class CliAction { Run, Help, Version, Fail };

// What the call does with each carrier; packing and unpacking are Convert.
enum class CliMode { Convert, Test, List, Stdout };

struct CliArgs {
  CliAction action = CliAction::Fail;
  std::string error;                  // for Fail: what was wrong
  int cipherIndex = 0;                // list position: a switch, else the start-up cipher
  RunState state;                     // -K: key and -D flags
  std::vector<std::string> files;     // in the order given; each is one job
  bool quiet = false;                 // -q / --quiet
  bool force = false;                 // -f / --force
  CliMode mode = CliMode::Convert;    // -t, -l, -c
  std::optional<std::string> keyFile;         // --key-file FILE ("-": standard input)
  std::optional<std::string> passphraseFile;  // --passphrase-file FILE
  std::optional<CompressionMode> compressionMode;         // --compress, for this call only
  std::optional<int> compressionLevel;        // --level
  unsigned threads = 0;                       // --threads; 0: as many as the CPUs allow
  std::string outputDir;                      // -o / --output-dir
  std::string storedName;                     // --name, for "-" (standard input)
};

// The console program's own grammar, case-sensitive: the window's switches
// -N -B -T -R -S -D and -K:/-k:, the console's short switches (which may be
// joined, "-qf") and long forms for everything; "--" ends the switches. An
// unknown switch, a bad value, an invalid key, conflicting switches or no
// file at all make the arguments unusable; help wins over all of them.
// With expandWildcards (Windows, where no shell does it) file arguments with
// '*' or '?' are expanded first (ExpandWildcards), and a pattern that
// matches no file makes the arguments unusable too.
CliArgs ParseCliArgs(const std::vector<std::string>& args, const Settings& settings,
                     bool expandWildcards = false);

// Where key digits stand in the arguments (program name excluded): their
// offset in args[i], or std::string::npos. For -K:/-k: and --key, so that
// they can be wiped.
std::size_t KeyTextStart(const std::vector<std::string>& args, std::size_t i);

std::string CliUsage();
std::string CliVersion();

// The window program's configuration file beside this program
// ("" when this program's path is unknown).
std::string WindowConfigurationFile(const std::string& exePath);

// The key of --key-file: the file's first line (blanks around it ignored)
// by the -K: rules, upper-cased. "-" reads standard input, without echo
// when that is a terminal. Folders are refused; a pipe is read (a key may
// come from another program). UTF-8 with or without a byte order mark,
// UTF-16 with one, and CR LF line ends are understood. With passphrase the
// line is an ASCII key of 8 to 32 characters instead (--passphrase-file),
// returned as the hex digits of its key bytes, so that it travels as a -K:
// key does.
struct KeyFileResult {
  std::optional<KeyText> key;
  std::string error;
};
KeyFileResult ReadKeyFile(const std::string& path, Terminal& terminal, bool passphrase = false);

struct CliEnvironment {
  std::ostream& out;
  std::ostream& err;
  Terminal& terminal;
  SettingsLocation settings;  // read, never written; "" for the defaults
  bool expandWildcards = false;  // see ParseCliArgs
};

// Parses, loads the settings, runs one job per file; returns the exit
// status. Key arguments are wiped once parsed.
int RunCli(std::vector<std::string> args, CliEnvironment& env);

// The program: console terminal, standard streams, the settings the window
// program would read. Wipes -K: keys in argv, so that they stop showing in
// the process list.
int CliMain(int argc, char** argv);

}  // namespace pt
