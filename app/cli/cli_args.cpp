#include "app/cli/cli_args.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <new>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "app/cli/cli_ui.h"
#include "app/command_line.h"
#include "app/version.h"
#include "carrier/file_io.h"
#include "carrier/job.h"
#include "crypto/cipher.h"
#include "crypto/key_rules.h"
#include "util/byte_order.h"
#include "util/os_text.h"
#include "util/text.h"

namespace pt {

namespace {

bool IsHelp(const std::string& arg) { return arg == "-h" || arg == "-H" || arg == "--help"; }

bool IsLongOption(const std::string& arg) { return arg.size() > 2 && arg.rfind("--", 0) == 0; }

// The two-character switches of the window's grammar.
bool IsWindowSwitch(char c) {
  return std::strchr("NBTRSDnbtrsd", c) != nullptr && c != '\0';
}

int ValidCipherIndex(int index) {
  return index >= 0 && index < static_cast<int>(kCipherListItems.size()) ? index : 2;
}

constexpr const char* kKeyFileSwitch = "--key-file";

std::string Escaped(const std::string& text) { return EscapeControls(text, false); }

// The first line of a file or of standard input ("-"), at most
// kMaxInputLine bytes; false with a reason when it cannot be read.
bool ReadFirstLine(const std::string& path, std::string& line, std::string& error) {
  const bool standardInput = path == "-";
  const std::string name = standardInput ? "standard input" : Escaped(path);
#ifdef _WIN32
  const int fd = standardInput ? _fileno(stdin) : _wopen(WidePath(path).c_str(), _O_RDONLY | _O_BINARY);
  struct _stat64 st {};
  // Windows opens no folder as a file: a failed open is checked for one.
  const bool folder = fd >= 0 ? _fstat64(fd, &st) == 0 && (st.st_mode & _S_IFDIR) != 0
                              : !standardInput && IsDirectory(path);
#else
  const int fd = standardInput ? STDIN_FILENO
                               : ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
  struct stat st {};
  const bool folder = fd >= 0 && ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
#endif
  if (fd < 0 && !folder) {
    error = "Cannot open the key file " + name + ": " + std::strerror(errno);
    return false;
  }
  const auto closeFile = [&] {
    if (standardInput || fd < 0) return;
#ifdef _WIN32
    _close(fd);
#else
    ::close(fd);
#endif
  };
  if (folder) {
    closeFile();
    error = "The key file " + name + " is a folder";
    return false;
  }
  // Reserved once, so the key text is never copied into a larger buffer.
  line.reserve(kMaxInputLine + 1);
  char buf[256];
  bool ended = false;
  bool failed = false;
  while (!ended && line.size() < kMaxInputLine) {
#ifdef _WIN32
    const int got = _read(fd, buf, sizeof buf);
#else
    const ssize_t got = ::read(fd, buf, sizeof buf);
    if (got < 0 && errno == EINTR) continue;
#endif
    if (got < 0) failed = true;
    if (got <= 0) break;
    for (std::size_t i = 0; i < static_cast<std::size_t>(got) && !ended; ++i) {
      if (buf[i] == '\n') {
        ended = true;
      } else if (line.size() < kMaxInputLine) {
        line.push_back(buf[i]);
      }
    }
  }
  SecureWipe(buf, sizeof buf);
  closeFile();
  if (failed) {
    error = "Cannot read the key file " + name + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

void TrimBlanks(std::string& s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  std::size_t end = s.size();
  while (end > 0 && blank(s[end - 1])) --end;
  std::size_t start = 0;
  while (start < end && blank(s[start])) ++start;
  // In place: the buffer keeps its capacity and is wiped as a whole later.
  s.erase(end);
  s.erase(0, start);
}

int JobStatus(const JobOutcome& outcome) {
  if (outcome.end == JobEnd::Completed && !outcome.checksumError) return kExitDone;
  return kExitJobStopped;
}

}  // namespace

CliArgs ParseCliArgs(const std::vector<std::string>& args, const Settings& settings) {
  CliArgs result;
  std::vector<std::string> grammar;  // switches and keys, for the window's grammar
  KeyTextScope wipeGrammar(grammar);
  bool help = false;
  bool version = false;
  bool switchesEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (switchesEnded) {
      result.files.push_back(arg);
    } else if (arg == "--") {
      switchesEnded = true;
    } else if (IsHelp(arg)) {
      help = true;
    } else if (arg == "--version") {
      version = true;
    } else if (arg == "--quiet" || arg == "-q" || arg == "-Q") {
      result.quiet = true;
    } else if (arg == "--force" || arg == "-f" || arg == "-F") {
      result.force = true;
    } else if (arg == kKeyFileSwitch || arg.rfind(std::string(kKeyFileSwitch) + "=", 0) == 0) {
      std::string file;
      if (arg == kKeyFileSwitch) {
        if (i + 1 < args.size()) file = args[++i];
      } else {
        file = arg.substr(std::strlen(kKeyFileSwitch) + 1);
      }
      if (file.empty() && result.error.empty()) {
        result.error = "--key-file needs a file name (- for standard input)";
      }
      result.keyFile = file;
    } else if (IsLongOption(arg) || (arg.size() == 2 && arg[0] == '-' && !IsWindowSwitch(arg[1]))) {
      result.warnings.push_back("unknown switch " + Escaped(arg) + " ignored");
    } else if ((arg.size() == 2 && arg[0] == '-') || IsKeyArgument(arg)) {
      grammar.push_back(arg);
    } else {
      result.files.push_back(arg);
    }
  }
  if (help) {
    result.action = CliAction::Help;
    return result;
  }
  if (version) {
    result.action = CliAction::Version;
    return result;
  }
  if (!result.error.empty()) return result;

  CommandLineEffects fx;
  ParseCommandLine(grammar, result.state, fx);
  if (fx.invalidKeys > 0) {
    // The window's own message, without its trailing line break.
    std::string message = kCommandLineKeyInvalid;
    while (!message.empty() && message.back() == '\n') message.pop_back();
    result.error = message;
    return result;
  }
  if (result.keyFile && !result.state.commandLineKey.empty()) {
    result.error = "Give the key either with -K: or with --key-file, not both";
    return result;
  }
  if (result.files.empty()) {
    result.error = "No file given";
    return result;
  }
  result.cipherIndex = fx.cipherIndex >= 0 ? fx.cipherIndex
                                           : ValidCipherIndex(settings.startupCipher);
  result.action = CliAction::Run;
  return result;
}

std::string CliUsage() {
  return
      "Usage: pixeltuck-cli [switches] [--] <file>...\n"
      "\n"
      "Packs each <file> into a carrier picture beside it, or unpacks it when\n"
      "it is a .bmp carrier (the stored file is written beside the carrier).\n"
      "Several files are handled one after the other, each as its own job.\n"
      "\n"
      "  -N, -B, -T, -R    cipher: None, BlowFish, TwoFish, Rijndael (AES);\n"
      "                    default: the start-up cipher of the settings\n"
      "  -K:<key>          key of 16 to 64 hexadecimal digits (visible to other\n"
      "                    users in the process list: prefer --key-file)\n"
      "  --key-file FILE   the key from the first line of FILE, hex digits as\n"
      "                    for -K:; - reads standard input\n"
      "                    (without a key the terminal asks for one)\n"
      "  -f, --force       replace existing files without asking\n"
      "  -q, --quiet       no job log and no progress, messages only\n"
      "  -D                debug: write <carrier>.debug, keep the temporary file\n"
      "  -S                accepted, does nothing here\n"
      "  --                every later argument is a file name\n"
      "  -h, --help        this text\n"
      "  --version         the program's version\n"
      "\n"
      "Switches may be written in either case. Settings are read from the\n"
      "window program's configuration file and never written.\n"
      "\n"
      "Exit status (the worst of all files): 0 done, 1 a job stopped early or\n"
      "a check failed, 2 unusable arguments or no such file.\n";
}

std::string CliVersion() {
  return std::string("pixeltuck-cli (pixelTuck) ") + kProgramVersion +
         "\n"
         "Copyright (c) 2026 The pixelTuck authors.\n"
         "License: MIT <https://opensource.org/licenses/MIT>.\n";
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

KeyFileResult ReadKeyFile(const std::string& path, Terminal& terminal) {
  KeyFileResult result;
  std::string line;
  KeyTextScope wipeLine(line);
  if (path == "-" && terminal.InputIsTerminal()) {
    std::optional<std::string> typed =
        terminal.ReadLine("Key (16 to 64 hex digits): ", /*hidden=*/true);
    KeyTextScope wipeTyped(typed);
    if (!typed) {
      result.error = "No key on standard input";
      return result;
    }
    std::swap(line, *typed);
  } else if (!ReadFirstLine(path, line, result.error)) {
    return result;
  }
  TrimBlanks(line);
  if (auto key = ParseCommandLineKey(line)) {
    result.key = std::move(*key);
  } else {
    const std::string name = path == "-" ? "standard input" : "the key file " + Escaped(path);
    result.error = "No valid key in " + name +
                   ": its first line must hold 16 to 64 hexadecimal digits, an even count";
  }
  return result;
}

int RunCli(std::vector<std::string> args, CliEnvironment& env) {
  Settings settings;  // the window's start-up defaults
  LoadSettings(settings, env.settings);

  CliArgs parsed = ParseCliArgs(args, settings);
  for (std::string& a : args) {
    if (IsKeyArgument(a)) WipeKeyText(a);
  }
  if (parsed.action == CliAction::Help) {
    env.out << CliUsage() << std::flush;
    return kExitDone;
  }
  if (parsed.action == CliAction::Version) {
    env.out << CliVersion() << std::flush;
    return kExitDone;
  }
  for (const std::string& warning : parsed.warnings) {
    env.err << "pixeltuck-cli: " << warning << "\n";
  }
  env.err << std::flush;
  if (parsed.action == CliAction::Fail) {
    env.err << "pixeltuck-cli: " << parsed.error << "\n"
            << "Try 'pixeltuck-cli --help'.\n"
            << std::flush;
    return kExitBadArguments;
  }

  // The key of the call, given to every job; wiped when the call ends.
  std::string key = std::move(parsed.state.commandLineKey);
  KeyTextScope wipeKey(key);
  if (parsed.keyFile) {
    KeyFileResult fromFile = ReadKeyFile(*parsed.keyFile, env.terminal);
    if (!fromFile.key) {
      env.err << "pixeltuck-cli: " << fromFile.error << "\n" << std::flush;
      return kExitBadArguments;
    }
    std::swap(key, *fromFile.key);
    WipeKeyText(fromFile.key);
  }

  CliUi ui(env.out, env.err, env.terminal, settings.keyMode,
           CliOptions{parsed.quiet, parsed.force});
  JobRequest request;
  request.cipherIndex = parsed.cipherIndex;
  request.cipherText = kCipherListItems[static_cast<std::size_t>(parsed.cipherIndex)];
  request.startedByCommandLine = true;

  const bool several = parsed.files.size() > 1;
  int worst = kExitDone;
  for (std::size_t i = 0; i < parsed.files.size(); ++i) {
    const std::string& arg = parsed.files[i];
    const std::string prefix = "pixeltuck-cli: " + (several ? Escaped(arg) + ": " : "");
    if (i > 0 && !parsed.quiet) env.out << '\n' << std::flush;
    RunState state = parsed.state;
    state.commandLineFile = LookupCommandLineFile(arg);
    if (state.commandLineFile.empty()) {
      env.err << "pixeltuck-cli: No such file, or it is empty: " << Escaped(arg) << "\n"
              << std::flush;
      worst = std::max(worst, kExitBadArguments);
      continue;
    }
    state.commandLineKey = key;
    KeyTextScope wipeJobKey(state.commandLineKey);
    Settings jobSettings = settings;
    const JobOutcome outcome = mOpenClick(ui, jobSettings, state, request);
    const int status = JobStatus(outcome);
    if (status != kExitDone) {
      env.err << prefix
              << (outcome.end == JobEnd::Completed ? "a checksum did not match"
                                                   : "the job stopped early")
              << "\n"
              << std::flush;
    }
    worst = std::max(worst, status);
  }
  return worst;
}

int CliMain(int argc, char** argv) {
  // Files a job has begun are removed when a signal ends the program.
  InstallSignalCleanup();
  std::vector<std::string> args = ProgramArguments(argc, argv);
  // The process list shows argv: the key digits go from there at once.
  WipeKeyArguments(argc, argv, /*keysEndAtDoubleDash=*/true);

  Utf8Console console;
  ConsoleTerminal terminal;
  CliEnvironment env{std::cout, std::cerr, terminal,
                     SettingsLocationFor(WindowConfigurationFile(ExecutablePath()))};
  try {
    return RunCli(std::move(args), env);
  } catch (const std::bad_alloc&) {
    std::cerr << "pixeltuck-cli: out of memory\n" << std::flush;
    return kExitJobStopped;
  }
}

}  // namespace pt
