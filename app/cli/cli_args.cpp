#include "app/cli/cli_args.h"

#include <iostream>

#include "app/cli/cli_ui.h"
#include "app/command_line.h"
#include "app/settings_file.h"
#include "carrier/job.h"
#include "crypto/cipher.h"
#include "crypto/key_rules.h"
#include "util/text.h"

namespace pt {

namespace {

bool IsHelp(const std::string& arg) { return arg == "-h" || arg == "-H" || arg == "--help"; }

bool IsLongOption(const std::string& arg) { return arg.size() > 2 && arg.rfind("--", 0) == 0; }

// Same classification as the grammar: switches and keys are not file names.
bool IsFileArgument(const std::string& arg) {
  if (arg.size() == 2 && arg[0] == '-') return false;
  return !(arg.size() >= 3 && arg[0] == '-' && (arg[1] == 'K' || arg[1] == 'k') && arg[2] == ':');
}

int ValidCipherIndex(int index) {
  return index >= 0 && index < static_cast<int>(kCipherListItems.size()) ? index : 2;
}

}  // namespace

CliArgs ParseCliArgs(const std::vector<std::string>& args, const Settings& settings) {
  CliArgs result;
  for (const std::string& arg : args) {
    if (IsHelp(arg)) {
      result.action = CliAction::Help;
      return result;
    }
  }
  for (const std::string& arg : args) {
    if (IsLongOption(arg)) {
      result.error = "Unknown option: " + arg;
      return result;
    }
  }

  CommandLineEffects fx;
  ParseCommandLine(args, result.state, fx);
  if (fx.invalidKeys > 0) {
    // The window's own message, without its trailing line break.
    std::string message = kCommandLineKeyInvalid;
    while (!message.empty() && message.back() == '\n') message.pop_back();
    result.error = message;
    return result;
  }
  if (fx.fileArguments == 0) {
    result.error = "No file given";
    return result;
  }
  if (result.state.commandLineFile.empty()) {
    std::string last;
    for (const std::string& arg : args) {
      if (IsFileArgument(arg)) last = arg;
    }
    result.error = "No such file, or it is empty: " + last;
    return result;
  }
  result.cipherIndex = fx.cipherIndex >= 0 ? fx.cipherIndex
                                           : ValidCipherIndex(settings.startupCipher);
  result.action = CliAction::Run;
  return result;
}

std::string CliUsage() {
  return
      "Usage: pixeltuck-cli [switches] [-K:<key>] <file>\n"
      "\n"
      "Packs <file> into a carrier picture beside it, or unpacks it when it is\n"
      "a .bmp carrier (the stored file is written beside the carrier).\n"
      "\n"
      "  -N, -B, -T, -R  cipher: None, BlowFish, TwoFish, Rijndael (AES);\n"
      "                  default: the start-up cipher of the settings\n"
      "  -K:<key>        key of 16 to 64 hexadecimal digits; without it the key\n"
      "                  is asked for on the terminal\n"
      "  -D              debug: write <carrier>.debug, keep the temporary file\n"
      "  -S              accepted, does nothing here\n"
      "  -h, --help      this text\n"
      "\n"
      "Switches may be written in either case; of several file names the last\n"
      "counts. Settings are read from the window program's configuration file\n"
      "(pixeltuck.cfg in this program's folder) and never written.\n"
      "\n"
      "Exit status: 0 done, 1 the job stopped early or a check failed,\n"
      "2 unusable arguments.\n";
}

std::string WindowConfigurationFile(const std::string& exePath) {
  if (exePath.empty()) return {};
  std::size_t folderEnd = 0;
  for (std::size_t i = exePath.size(); i > 0; --i) {
    if (IsPathSeparator(exePath[i - 1])) {
      folderEnd = i;
      break;
    }
  }
  return ConfigurationFileFor(exePath.substr(0, folderEnd) + "pixeltuck");
}

int RunCli(const std::vector<std::string>& args, CliEnvironment& env) {
  Settings settings;  // the window's start-up defaults
  if (!env.configPath.empty()) LoadSettings(settings, env.configPath);

  CliArgs parsed = ParseCliArgs(args, settings);
  if (parsed.action == CliAction::Help) {
    env.out << CliUsage() << std::flush;
    return kExitDone;
  }
  if (parsed.action == CliAction::Fail) {
    env.err << "pixeltuck-cli: " << parsed.error << "\n"
            << "Try 'pixeltuck-cli --help'.\n"
            << std::flush;
    return kExitBadArguments;
  }

  CliUi ui(env.out, env.err, env.terminal, settings.keyMode);
  JobRequest request;
  request.cipherIndex = parsed.cipherIndex;
  request.cipherText = kCipherListItems[static_cast<std::size_t>(parsed.cipherIndex)];
  request.startedByCommandLine = true;
  const JobOutcome outcome = mOpenClick(ui, settings, parsed.state, request);

  if (outcome.end == JobEnd::Completed && !outcome.checksumError) return kExitDone;
  if (outcome.end == JobEnd::Completed) {
    env.err << "pixeltuck-cli: a checksum did not match\n" << std::flush;
  } else {
    env.err << "pixeltuck-cli: the job stopped early\n" << std::flush;
  }
  return kExitJobStopped;
}

int CliMain(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  ConsoleTerminal terminal;
  CliEnvironment env{std::cout, std::cerr, terminal, WindowConfigurationFile(ExecutablePath())};
  return RunCli(args, env);
}

}  // namespace pt
