#include "app/command_line.h"

#include "app/version.h"

#include "crypto/key_rules.h"
#include "util/key_text.h"
#include "util/text.h"

namespace pt {

bool IsKeyArgument(const std::string& arg) {
  return arg.size() >= 3 && arg[0] == '-' && (arg[1] == 'K' || arg[1] == 'k') &&
         arg[2] == ':';
}

void WipeKeyArguments(int argc, char** argv, bool keysEndAtDoubleDash) {
  for (int i = 1; i < argc && argv[i] != nullptr; ++i) {
    const std::string arg = argv[i];
    if (keysEndAtDoubleDash && arg == "--") break;
    if (IsKeyArgument(arg)) SecureWipe(argv[i] + 3, arg.size() - 3);
  }
}

namespace {

template <typename Char>
void WipeKeysInLine(Char* line) {
  if (line == nullptr) return;
  const auto blank = [](Char c) { return c == Char(' ') || c == Char('\t'); };
  Char* p = line;
  // The program name ends at the first blank, or at its closing quote.
  if (*p == Char('"')) {
    ++p;
    while (*p != Char(0) && *p != Char('"')) ++p;
    if (*p != Char(0)) ++p;
  } else {
    while (*p != Char(0) && !blank(*p)) ++p;
  }
  std::vector<Char*> chars;  // where each character of the argument stands
  while (true) {
    while (blank(*p)) ++p;
    if (*p == Char(0)) break;
    chars.clear();
    bool quoted = false;
    while (*p != Char(0) && (quoted || !blank(*p))) {
      if (*p == Char('\\')) {
        Char* run = p;
        while (*p == Char('\\')) ++p;
        const std::size_t n = static_cast<std::size_t>(p - run);
        if (*p == Char('"')) {
          // 2n backslashes and a quote: n backslashes, the quote toggles;
          // 2n+1: n backslashes and a literal quote.
          for (std::size_t i = 0; i < n / 2; ++i) chars.push_back(run + 2 * i + 1);
          if (n % 2 == 1) chars.push_back(p);
          else quoted = !quoted;
          ++p;
        } else {
          for (Char* b = run; b < p; ++b) chars.push_back(b);
        }
      } else if (*p == Char('"')) {
        if (quoted && p[1] == Char('"')) {  // "" inside quotes is one quote
          ++p;
          chars.push_back(p);
        } else {
          quoted = !quoted;
        }
        ++p;
      } else {
        chars.push_back(p++);
      }
    }
    const bool key = chars.size() >= 3 && *chars[0] == Char('-') &&
                     (*chars[1] == Char('K') || *chars[1] == Char('k')) && *chars[2] == Char(':');
    if (key) {
      for (std::size_t i = 3; i < chars.size(); ++i) *chars[i] = Char('*');
    }
  }
}

}  // namespace

void WipeKeyArgumentsInCommandLine(wchar_t* line) { WipeKeysInLine(line); }
void WipeKeyArgumentsInCommandLine(char* line) { WipeKeysInLine(line); }

void ParseCommandLine(const std::vector<std::string>& args, RunState& state,
                      CommandLineEffects& fx, const std::function<void()>& onInvalidKey) {
  for (const std::string& arg : args) {
    if (arg.size() == 2 && arg[0] == '-') {
      switch (arg[1]) {
        case 'N': case 'n': fx.cipherIndex = 0; break;
        case 'B': case 'b': fx.cipherIndex = 1; break;
        case 'T': case 't': fx.cipherIndex = 2; break;
        case 'R': case 'r': fx.cipherIndex = 3; break;
        case 'S': case 's': fx.checkShow = true; break;
        case 'D': case 'd':
          state.debugDump = true;
          state.deleteTempFile = false;
          break;
        default: break;  // other letters are ignored, and are no file names
      }
      continue;
    }
    if (IsKeyArgument(arg)) {
      if (auto key = ParseCommandLineKey(std::string_view(arg).substr(3))) {
        state.commandLineKey = std::move(*key);
      } else {
        if (onInvalidKey) onInvalidKey();
      }
      continue;
    }
    state.commandLineFile = LookupCommandLineFile(arg);
  }
}

std::string LookupCommandLineFile(const std::string& arg) {
  const auto found = FindFirstFileMatch(arg);
  if (found && found->size > 0) return found->path;
  return {};
}

std::optional<std::string> WindowProgramInfo(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (arg == "--version") return std::string("pixeltuck (pixelTuck) ") + kProgramVersion + "\n";
    if (arg == "--help") {
      return "Usage: pixeltuck [-N|-B|-T|-R] [-S] [-D] [-K:<key>] [file]\n"
             "\n"
             "Opens the window. With a file it starts at once: a .bmp carrier is\n"
             "unpacked (the stored file is written beside it), any other file is\n"
             "packed into a carrier picture beside it.\n"
             "\n"
             "  -N, -B, -T, -R    cipher for this run: None, BlowFish, TwoFish,\n"
             "                    Rijndael (AES); the last one wins\n"
             "  -S                check \"Show Bitmap\": show the carrier after the job\n"
             "  -D                debug: write <carrier>.debug, keep the temporary file\n"
             "  -K:<key>          key of 16 to 64 hexadecimal digits for the next job\n"
             "                    (-k: too; visible to other users in the process list)\n"
             "  --help            this text\n"
             "  --version         the program's version\n"
             "\n"
             "Switches may be written in either case; other switches are ignored.\n"
             "The console program pixeltuck-cli works without a window.\n";
    }
  }
  return std::nullopt;
}

}  // namespace pt
