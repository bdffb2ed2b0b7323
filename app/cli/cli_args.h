// Arguments, settings and exit status of the console program. main() only
// hands its arguments to CliMain.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "app/cli/terminal.h"
#include "carrier/settings.h"

namespace pt {

// Exit status of the console program.
inline constexpr int kExitDone = 0;        // the job ran to its end, checks passed
inline constexpr int kExitJobStopped = 1;  // ended early, or a check failed
inline constexpr int kExitBadArguments = 2;

enum class CliAction { Run, Help, Fail };

struct CliArgs {
  CliAction action = CliAction::Fail;
  std::string error;     // for Fail: what was wrong
  int cipherIndex = 0;   // list position: a switch, else the start-up cipher
  RunState state;        // file, key and -D flags
};

// The window's grammar (switches, -K:, file names, the last file counting)
// plus -h / --help; an unknown long option ("--x"), an invalid key or no
// usable file makes the arguments unusable.
CliArgs ParseCliArgs(const std::vector<std::string>& args, const Settings& settings);

std::string CliUsage();

// Settings of the window program: its configuration file in this program's
// folder ("" when this program's path is unknown).
std::string WindowConfigurationFile(const std::string& exePath);

struct CliEnvironment {
  std::ostream& out;
  std::ostream& err;
  Terminal& terminal;
  std::string configPath;  // read, never written; "" for the defaults
};

// Parses, loads the settings, runs one job; returns the exit status.
int RunCli(const std::vector<std::string>& args, CliEnvironment& env);

// The program: console terminal, standard streams, the settings beside it.
int CliMain(int argc, char** argv);

}  // namespace pt
