#include "app/cli/cli_args.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <new>
#include <string_view>
#include <utility>

#include "app/cli/cli_ui.h"
#include "app/cli/wildcards.h"
#include "app/command_line.h"
#include "app/version.h"
#include "carrier/carrier_format.h"
#include "carrier/file_io.h"
#include "carrier/job.h"
#include "carrier/target_name.h"
#include "crypto/cipher.h"
#include "crypto/key_rules.h"
#include "util/parallel.h"
#include "util/key_text.h"
#include "util/os_process.h"
#include "util/os_text.h"
#include "util/text.h"
#include "util/utf8.h"

namespace pt {

namespace {

std::string Escaped(const std::string& text) { return EscapeControls(text, false); }

enum class TextEncoding { Utf8, Utf16Le, Utf16Be, Utf32, Unknown16 };

TextEncoding EncodingOf(std::string_view raw) {
  const auto starts = [&](std::string_view mark) { return raw.substr(0, mark.size()) == mark; };
  if (starts(std::string_view("\xFF\xFE\0\0", 4)) || starts(std::string_view("\0\0\xFE\xFF", 4))) {
    return TextEncoding::Utf32;
  }
  if (starts("\xFF\xFE")) return TextEncoding::Utf16Le;
  if (starts("\xFE\xFF")) return TextEncoding::Utf16Be;
  const std::string_view firstLine = raw.substr(0, raw.find('\n'));
  if (firstLine.find('\0') != std::string_view::npos) return TextEncoding::Unknown16;
  return TextEncoding::Utf8;
}

// A line end in the bytes read so far, as the text's encoding has it.
bool HasWholeLine(std::string_view raw) {
  const TextEncoding enc = EncodingOf(raw);
  if (enc != TextEncoding::Utf16Le && enc != TextEncoding::Utf16Be) {
    return raw.find('\n') != std::string_view::npos;
  }
  for (std::size_t k = 2; k + 1 < raw.size(); k += 2) {
    const char lo = enc == TextEncoding::Utf16Le ? raw[k] : raw[k + 1];
    const char hi = enc == TextEncoding::Utf16Le ? raw[k + 1] : raw[k];
    if (lo == '\n' && hi == '\0') return true;
  }
  return false;
}

// The first line of a key file as UTF-8 text, from UTF-8 (a byte order
// mark skipped) or UTF-16 with a byte order mark; false with the reason
// for other encodings.
bool FirstLineAsUtf8(std::string_view raw, std::string& line, std::string& error,
                     const std::string& name) {
  line.reserve(raw.size() + 1);
  switch (EncodingOf(raw)) {
    case TextEncoding::Utf32:
      error = name + " is UTF-32 text, which is not understood: save it as UTF-8 or ASCII";
      return false;
    case TextEncoding::Unknown16:
      error = name + " holds zero bytes: UTF-16 text needs a byte order mark (or save it as "
                     "UTF-8 or ASCII)";
      return false;
    case TextEncoding::Utf8: {
      if (raw.substr(0, 3) == "\xEF\xBB\xBF") raw.remove_prefix(3);
      line.append(raw.substr(0, raw.find('\n')));
      return true;
    }
    case TextEncoding::Utf16Le:
    case TextEncoding::Utf16Be: {
      const bool le = EncodingOf(raw) == TextEncoding::Utf16Le;
      std::uint32_t high = 0;
      for (std::size_t k = 2; k + 1 < raw.size(); k += 2) {
        const auto b0 = static_cast<unsigned char>(raw[k]);
        const auto b1 = static_cast<unsigned char>(raw[k + 1]);
        const std::uint32_t unit = le ? (b0 | (b1 << 8)) : ((b0 << 8) | b1);
        if (unit == '\n') break;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
          high = unit;
          continue;
        }
        if (unit >= 0xDC00 && unit <= 0xDFFF && high != 0) {
          AppendUtf8(line, 0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00));
        } else {
          AppendUtf8(line, unit);
        }
        high = 0;
      }
      return true;
    }
  }
  return false;
}

// The first line of a file or of standard input ("-"), as raw bytes: at
// most a few times kMaxInputLine, enough for a line of UTF-16. False with a
// reason when it cannot be read.
bool ReadLeadingBytes(const std::string& path, KeyText& raw, std::string& error) {
  const bool standardInput = path == "-";
  const std::string name = standardInput ? "standard input" : Escaped(path);
  // A pipe is read too: a key may come from another program.
  InputFile in;
  const bool opened = standardInput ? in.OpenStandardInput() : in.OpenStream(path);
  if (in.IsFolder()) {
    error = "The key file " + name + " is a folder";
    return false;
  }
  if (!opened) {
    error = "Cannot open the key file " + name + ": " + std::strerror(in.SystemError());
    return false;
  }
  const std::size_t limit = 4 * kMaxInputLine;
  char buf[256];
  while (raw.size() < limit && !HasWholeLine(raw.View())) {
    // Piece by piece, so that standard input is not read past the line.
    const std::size_t got = in.ReadSome(buf, std::min(sizeof buf, limit - raw.size()));
    if (got == 0) break;
    raw.Append(std::string_view(buf, got));
  }
  SecureWipe(buf, sizeof buf);
  if (in.Failed()) {
    error = "Cannot read the key file " + name + ": " + std::strerror(in.SystemError());
    return false;
  }
  return true;
}

// The text without the blanks around it.
std::string_view TrimmedBlanks(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  std::size_t end = s.size();
  while (end > 0 && blank(s[end - 1])) --end;
  std::size_t start = 0;
  while (start < end && blank(s[start])) ++start;
  return s.substr(start, end - start);
}

int JobStatus(const JobOutcome& outcome) {
  if (outcome.end == JobEnd::Completed && !outcome.checksumError) return kExitDone;
  return kExitJobStopped;
}


// Short switches that take no value; several may be joined ("-qf").
constexpr const char* kShortFlags = "NBTRSDfqhtlc";

struct CipherName {
  const char* name;
  int index;
};
constexpr CipherName kCipherNames[] = {
    {"none", 0}, {"blowfish", 1}, {"twofish", 2}, {"rijndael", 3}, {"aes", 3}};

struct CompressName {
  const char* name;
  CompressionMode mode;
};
constexpr CompressName kCompressNames[] = {{"never", CompressionMode::Never},
                                           {"sensibly", CompressionMode::IfSmaller},
                                           {"unless-listed", CompressionMode::UnlessListed},
                                           {"always", CompressionMode::Always}};

// Long switches that take a value, as "--name value" or "--name=value".
constexpr const char* kLongWithValue[] = {"--cipher",  "--key",    "--key-file", "--passphrase-file",
                                          "--compress", "--level", "--threads",  "--output-dir",
                                          "--name"};

bool TakesValue(std::string_view name) {
  return std::find(std::begin(kLongWithValue), std::end(kLongWithValue), name) !=
         std::end(kLongWithValue);
}

std::optional<long> SmallNumber(const std::string& text, long lo, long hi) {
  if (text.empty() || text.size() > 6) return std::nullopt;
  long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < lo || value > hi) return std::nullopt;
  return value;
}

class Parser {
 public:
  Parser(const std::vector<std::string>& args, CliArgs& out) : args_(args), out_(out) {}

  // False once the arguments are known to be unusable (the first reason is
  // kept); help and --version are still noted to the end.
  void Run() {
    bool switchesEnded = false;
    for (i_ = 0; i_ < args_.size(); ++i_) {
      const std::string& arg = args_[i_];
      if (switchesEnded || arg == "-" || arg.size() < 2 || arg[0] != '-') {
        out_.files.push_back(arg);
      } else if (arg == "--") {
        switchesEnded = true;
      } else if (arg.rfind("--", 0) == 0) {
        Long(arg);
      } else if (IsKeyArgument(arg)) {
        Key(std::string_view(arg).substr(3));
      } else {
        Short(arg);
      }
    }
  }

  bool help = false;
  bool version = false;
  int cipherIndex = -1;
  bool keyGiven = false;

 private:
  void Error(const std::string& text) {
    if (out_.error.empty()) out_.error = text;
  }

  void Key(std::string_view digits) {
    std::optional<KeyText> key = ParseCommandLineKey(digits);
    if (!key) {
      // The window's own message, without its trailing line break.
      std::string message = kCommandLineKeyInvalid;
      while (!message.empty() && message.back() == '\n') message.pop_back();
      Error(message);
      return;
    }
    if (keyGiven) Error("Give one key only (-K:, --key, --key-file or --passphrase-file)");
    keyGiven = true;
    out_.state.commandLineKey = std::move(*key);
  }

  void KeyFrom(std::optional<std::string>& slot, const std::string& file, const char* name) {
    if (file.empty()) Error(std::string(name) + " needs a file name (- for standard input)");
    if (keyGiven) Error("Give one key only (-K:, --key, --key-file or --passphrase-file)");
    keyGiven = true;
    slot = file;
  }

  void SetMode(CliMode mode) {
    if (out_.mode != CliMode::Convert && out_.mode != mode) {
      Error("-t (--test), -l (--list) and -c (--stdout) exclude each other");
    }
    out_.mode = mode;
  }

  void Flag(char c) {
    switch (c) {
      case 'N': cipherIndex = 0; break;
      case 'B': cipherIndex = 1; break;
      case 'T': cipherIndex = 2; break;
      case 'R': cipherIndex = 3; break;
      case 'S': break;  // the window's "Show Bitmap": nothing to show here
      case 'D':
        out_.state.debugDump = true;
        out_.state.deleteTempFile = false;
        break;
      case 'f': out_.force = true; break;
      case 'q': out_.quiet = true; break;
      case 'h': help = true; break;
      case 't': SetMode(CliMode::Test); break;
      case 'l': SetMode(CliMode::List); break;
      case 'c': SetMode(CliMode::Stdout); break;
      default: break;
    }
  }

  void Short(const std::string& arg) {
    for (std::size_t k = 1; k < arg.size(); ++k) {
      const char c = arg[k];
      if (c == 'o') {
        // The rest of the argument, or the next one, is the folder.
        std::string dir = arg.substr(k + 1);
        if (dir.empty() && i_ + 1 < args_.size()) dir = args_[++i_];
        Value("-o", dir);
        return;
      }
      if (std::strchr(kShortFlags, c) == nullptr || c == '\0') {
        Error("unknown switch -" + Escaped(std::string(1, c)) +
              (arg.size() > 2 ? " (in " + Escaped(arg) + ")" : ""));
        return;
      }
      Flag(c);
    }
  }

  void Long(const std::string& arg) {
    const std::size_t eq = arg.find('=');
    const std::string name = arg.substr(0, eq);
    if (TakesValue(name)) {
      std::string value;
      if (eq != std::string::npos) {
        value = arg.substr(eq + 1);
      } else if (i_ + 1 < args_.size()) {
        value = args_[++i_];
      } else {
        Error(name + " needs a value");
        return;
      }
      Value(name, value);
      return;
    }
    if (eq != std::string::npos) {
      Error("unknown switch " + Escaped(arg));
      return;
    }
    static const std::pair<const char*, char> flags[] = {
        {"--help", 'h'},  {"--quiet", 'q'}, {"--force", 'f'},  {"--debug", 'D'},
        {"--show", 'S'},  {"--test", 't'},  {"--list", 'l'},   {"--stdout", 'c'}};
    for (const auto& [longName, c] : flags) {
      if (name == longName) {
        Flag(c);
        return;
      }
    }
    if (name == "--version") {
      version = true;
      return;
    }
    Error("unknown switch " + Escaped(arg));
  }

  void Value(const std::string& name, const std::string& value) {
    if (name == "--key") {
      Key(value);
    } else if (name == "--key-file") {
      KeyFrom(out_.keyFile, value, "--key-file");
    } else if (name == "--passphrase-file") {
      KeyFrom(out_.passphraseFile, value, "--passphrase-file");
    } else if (name == "--cipher") {
      const std::string lower = ToLowerAscii(value);
      const auto* found = std::find_if(std::begin(kCipherNames), std::end(kCipherNames),
                                       [&](const CipherName& c) { return lower == c.name; });
      if (found == std::end(kCipherNames)) {
        Error("--cipher takes none, blowfish, twofish or rijndael, not " + Escaped(value));
      } else {
        cipherIndex = found->index;
      }
    } else if (name == "--compress") {
      const auto* found = std::find_if(std::begin(kCompressNames), std::end(kCompressNames),
                                       [&](const CompressName& c) { return value == c.name; });
      if (found == std::end(kCompressNames)) {
        Error("--compress takes never, sensibly, unless-listed or always, not " + Escaped(value));
      } else {
        out_.compressionMode = found->mode;
      }
    } else if (name == "--level") {
      const auto level = SmallNumber(value, 0, 9);
      if (!level) Error("--level takes 0 to 9, not " + Escaped(value));
      if (level) out_.compressionLevel = static_cast<int>(*level);
    } else if (name == "--threads") {
      const auto threads = SmallNumber(value, 1, 1024);
      if (!threads) Error("--threads takes a number from 1 on, not " + Escaped(value));
      if (threads) out_.threads = static_cast<unsigned>(*threads);
    } else if (name == "--output-dir" || name == "-o") {
      if (value.empty()) Error(name + " needs a folder");
      out_.outputDir = value;
    } else if (name == "--name") {
      const auto plain = SafeOutputName(value);
      if (!plain || *plain != value) {
        Error("--name takes a file name without a folder, not " + Escaped(value));
      }
      out_.storedName = value;
    }
  }

  const std::vector<std::string>& args_;
  CliArgs& out_;
  std::size_t i_ = 0;
};

bool IsCarrierName(const std::string& file) { return ToLowerAscii(SplitPath(file).ext) == "bmp"; }

}  // namespace

CliArgs ParseCliArgs(const std::vector<std::string>& args, const Settings& settings,
                     bool expandWildcards) {
  CliArgs result;
  Parser parser(args, result);
  parser.Run();
  if (parser.help) {
    result.action = CliAction::Help;
    return result;
  }
  if (parser.version) {
    result.action = CliAction::Version;
    return result;
  }
  if (!result.error.empty()) return result;
  if (expandWildcards) {
    ExpandedFiles expanded = ExpandWildcards(result.files);
    if (!expanded.unmatched.empty()) {
      result.error = "No file matches " + Escaped(expanded.unmatched);
      return result;
    }
    result.files = std::move(expanded.files);
  }
  if (result.files.empty()) {
    result.error = "No file given";
    return result;
  }
  result.cipherIndex = parser.cipherIndex >= 0 ? parser.cipherIndex
                                                : StartupListPosition(settings.startupCipher);
  const bool packs = std::any_of(result.files.begin(), result.files.end(),
                                 [](const std::string& f) { return !IsCarrierName(f); });
  if (result.mode == CliMode::Convert && packs && parser.keyGiven && result.cipherIndex == 0) {
    // A key the cipher None would not use: the carrier would hold the file
    // in clear text while the caller believes it enciphered.
    result.error =
        "A key was given but the cipher is None: the file would be packed without "
        "encryption. Choose a cipher (-B, -T, -R or --cipher) or give no key";
    return result;
  }
  const auto standardInputs = std::count(result.files.begin(), result.files.end(), "-");
  if (standardInputs > 0 && (result.mode != CliMode::Convert || result.storedName.empty())) {
    result.error = "- (standard input) is packed only, and needs --name NAME";
    return result;
  }
  if (standardInputs > 1) {
    result.error = "- (standard input) can be given once";
    return result;
  }
  if (!result.storedName.empty() && standardInputs == 0) {
    result.error = "--name is for packing standard input (-)";
    return result;
  }
  if (standardInputs > 0 && (result.keyFile == "-" || result.passphraseFile == "-")) {
    result.error = "Standard input cannot bring both the key and the file";
    return result;
  }
  result.action = CliAction::Run;
  return result;
}

std::size_t KeyTextStart(const std::vector<std::string>& args, std::size_t i) {
  for (std::size_t k = 0; k < i && k < args.size(); ++k) {
    if (args[k] == "--") return std::string::npos;
  }
  if (i >= args.size()) return std::string::npos;
  const std::string& arg = args[i];
  if (IsKeyArgument(arg)) return 3;
  if (arg.rfind("--key=", 0) == 0) return 6;
  if (i > 0 && args[i - 1] == "--key") return 0;
  return std::string::npos;
}

std::string CliUsage() {
  return
      "Usage: pixeltuck-cli [switches] [--] <file>...\n"
      "\n"
      "Packs each <file> into a carrier picture beside it, or unpacks it when\n"
      "it is a .bmp carrier (the stored file is written beside the carrier).\n"
      "Several files are handled one after the other, each as its own job;\n"
      "no call writes the same output twice. Files of 2 GiB (2,147,483,648\n"
      "bytes) or more cannot be packed.\n"
      "\n"
      "Cipher and key:\n"
      "  -N, -B, -T, -R         cipher None, BlowFish, TwoFish, Rijndael (AES)\n"
      "  --cipher NAME          the same: none, blowfish, twofish or rijndael\n"
      "                         (default: the start-up cipher of the settings)\n"
      "  -K:HEX, --key HEX      key of 16 to 64 hexadecimal digits (visible to\n"
      "                         other users in the process list: prefer a file)\n"
      "  --key-file FILE        the hexadecimal key from the first line of FILE\n"
      "  --passphrase-file FILE an ASCII key of 8 to 32 characters from the first\n"
      "                         line of FILE; for both, - reads standard input\n"
      "                         (without a key the terminal asks for one, twice\n"
      "                         when packing; a key with cipher None is an error)\n"
      "What to do:\n"
      "  -t, --test             check carriers, write nothing; one line each\n"
      "  -l, --list             show carriers' headers (no key needed)\n"
      "  -c, --stdout           unpack to standard output; the log goes to\n"
      "                         standard error\n"
      "  - --name NAME          pack standard input, stored as NAME\n"
      "Where and how:\n"
      "  -o, --output-dir DIR   write carriers, restored and temporary files in DIR\n"
      "  -f, --force            replace existing files without asking\n"
      "  --compress WHEN        never, sensibly, unless-listed or always\n"
      "  --level N              gzip level 0 to 9 (both override the settings)\n"
      "  --threads N            worker threads (default: the CPUs this process\n"
      "                         may use, at most 8)\n"
      "  -q, --quiet            no job log and no progress, messages only\n"
      "  -D, --debug            packing: also write <carrier>.debug (the payload as\n"
      "                         stored); unpacking: keep the gzip form\n"
      "                         <name>.pixeltuck of a compressed payload\n"
      "  -S, --show             accepted, does nothing here\n"
      "  --                     every later argument is a file name\n"
      "  -h, --help             this text\n"
      "  --version              the program's version\n"
      "\n"
      "Short switches are case-sensitive and may be joined (-qf). Settings are\n"
      "read from the window program's configuration file and never written.\n"
      "\n"
      "On Windows the program expands * and ? in file names itself; a pattern\n"
      "that matches no file is an unusable argument.\n"
      "\n"
      "Exit status (the worst of all files): 0 done, 1 a job stopped early or\n"
      "a check failed, 2 unusable arguments, or a file that is missing, empty\n"
      "or a folder; 130 interrupted (Ctrl+C).\n";
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

KeyFileResult ReadKeyFile(const std::string& path, Terminal& terminal, bool passphrase) {
  KeyFileResult result;
  const std::string name = path == "-" ? "standard input" : "the key file " + Escaped(path);
  KeyText line;
  if (path == "-" && terminal.StandardInputIsTerminal()) {
    std::optional<std::string> typed = terminal.ReadLine(
        passphrase ? "Key (8 to 32 characters): " : "Key (16 to 64 hex digits): ", /*hidden=*/true);
    if (!typed) {
      result.error = "No key on standard input";
      return result;
    }
    line = KeyText::Take(*typed);
  } else {
    KeyText raw;
    if (!ReadLeadingBytes(path, raw, result.error)) return result;
    std::string upper = name;
    upper[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(upper[0])));
    // Reserved by FirstLineAsUtf8 at once, so its buffer never moves.
    std::string first;
    const bool read = FirstLineAsUtf8(raw.View(), first, result.error, upper);
    line = KeyText::Take(first);
    if (!read) return result;
  }
  const std::string_view trimmed = TrimmedBlanks(line.View());
  if (passphrase) {
    KeyCheck check = CheckDialogKey(/*hexMode=*/false, /*reenterShown=*/false, trimmed, {});
    if (!check.accepted) {
      std::string why = check.message;
      const std::size_t cut = why.find("\nPlease try again");
      if (cut != std::string::npos) why.erase(cut);
      std::replace(why.begin(), why.end(), '\n', ' ');
      result.error = "No valid key in " + name + ": " + why;
      return result;
    }
    // The key bytes as hex digits: they travel as a -K: key does.
    KeyText hex;
    for (unsigned char c : check.text.View()) {
      hex.Append("0123456789ABCDEF"[c >> 4]);
      hex.Append("0123456789ABCDEF"[c & 0x0F]);
    }
    result.key = std::move(hex);
    return result;
  }
  if (auto key = ParseCommandLineKey(trimmed)) {
    result.key = std::move(*key);
  } else {
    result.error = "No valid key in " + name +
                   ": its first line must hold 16 to 64 hexadecimal digits, an even count";
  }
  return result;
}

namespace {

// One line per carrier: its header, read without a key; nothing written.
int ListCarriers(const std::vector<std::string>& files, std::ostream& out, std::ostream& err) {
  int worst = kExitDone;
  out << "  original   payload  gzip  cipher    version  CRC-32 file  CRC-32 gzip  name\n";
  for (const std::string& file : files) {
    InputFile in;
    std::optional<CarrierInfo> info;
    if (IsDirectory(file)) {
      err << "pixeltuck-cli: " << Escaped(file) << " is a folder, not a file\n";
      worst = std::max(worst, kExitBadArguments);
      continue;
    }
    if (!in.Open(file)) {
      err << "pixeltuck-cli: " << Escaped(file) << ": " << OpenErrorText(in.LastOpenError()) << "\n";
      worst = std::max(worst, kExitBadArguments);
      continue;
    }
    info = ReadCarrierHeader(in);
    if (!info) {
      err << "pixeltuck-cli: " << Escaped(file) << ": not a carrier\n";
      worst = std::max(worst, kExitJobStopped);
      continue;
    }
    const CarrierHeader& h = info->header;
    const bool compressed = IsCompressedPayload(h);
    const std::int64_t payload = compressed ? h.CompressedSize : h.FileSize;
    std::string cipher = "none";
    if (h.Encrypted != 0) {
      switch (h.CipherId) {
        case kCipherBlowfish: cipher = "blowfish"; break;
        case kCipherTwofish: cipher = "twofish"; break;
        case kCipherRijndael: cipher = "rijndael"; break;
        default: cipher = "xor"; break;
      }
    }
    std::string version = FieldText(h.Version, sizeof h.Version);
    while (!version.empty() && version.front() == ' ') version.erase(0, 1);
    std::string line = IntToStrPadded(h.FileSize, 10, ' ') + IntToStrPadded(payload, 10, ' ') +
                       (compressed ? "  yes " : "  no  ") + "  ";
    cipher.resize(10, ' ');
    version = Escaped(version);
    version.resize(9, ' ');
    line += cipher + version + "0x" + ValueToHex(h.SourceCrc, 4) + "   " +
            (compressed ? "0x" + ValueToHex(h.CompressedCrc, 4) : std::string(10, '-')) + "   " +
            Escaped(StoredNameText(FieldText(h.FileName, sizeof h.FileName)));
    out << line << "\n";
  }
  out << std::flush;
  err << std::flush;
  return worst;
}

// Files larger than this cannot be stored: the header's sizes are 31 bits.
constexpr std::int64_t kLargestSource = 0x7FFFFFFF;

// Copies standard input into a new private file in `dir`, for the job to
// read like any file (twice when it compresses). Exit status and reason on
// failure; the file goes when `copy` does.
int CopyStandardInput(const std::string& dir, OutputFile& copy, std::string& error) {
  BinaryStandardInput();
  if (!copy.CreateTemp(JoinPath(dir, ".pixeltuck-stdin"))) {
    error = "cannot create a file in " + Escaped(dir) + " for standard input";
    return kExitJobStopped;
  }
  InputFile in;
  in.OpenStandardInput();
  std::vector<char> buf(std::size_t{1} << 20);
  std::int64_t total = 0;
  for (;;) {
    const std::size_t got = in.Read(buf.data(), buf.size());
    if (got > 0 && !copy.Write(buf.data(), got)) {
      error = "cannot write the copy of standard input in " + Escaped(dir);
      return kExitJobStopped;
    }
    total += static_cast<std::int64_t>(got);
    if (total > kLargestSource) {
      error = "standard input holds 2 GiB or more; a carrier stores less";
      return kExitJobStopped;
    }
    if (got < buf.size()) break;
  }
  if (!in.IsOpen() || in.Failed()) {
    error = "cannot read standard input";
    return kExitJobStopped;
  }
  if (total == 0) {
    error = "standard input is empty";
    return kExitBadArguments;
  }
  if (!copy.Flush()) {
    error = "cannot write the copy of standard input in " + Escaped(dir);
    return kExitJobStopped;
  }
  return kExitDone;
}

// Restores the process's thread count when the call ends.
struct ThreadsScope {
  explicit ThreadsScope(unsigned n) : set(n != 0) {
    if (set) SetWorkerThreads(n);
  }
  ~ThreadsScope() {
    if (set) SetWorkerThreads(0);
  }
  ThreadsScope(const ThreadsScope&) = delete;
  ThreadsScope& operator=(const ThreadsScope&) = delete;
  bool set;
};

}  // namespace

int RunCli(std::vector<std::string> args, CliEnvironment& env) {
  Settings settings;  // the window's start-up defaults
  LoadSettings(settings, env.settings);

  CliArgs parsed = ParseCliArgs(args, settings, env.expandWildcards);
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (KeyTextStart(args, i) != std::string::npos) SecureWipe(args[i].data(), args[i].size());
  }
  if (parsed.action == CliAction::Help) {
    env.out << CliUsage() << std::flush;
    return kExitDone;
  }
  if (parsed.action == CliAction::Version) {
    env.out << CliVersion() << std::flush;
    return kExitDone;
  }
  if (parsed.action == CliAction::Fail) {
    env.err << "pixeltuck-cli: " << parsed.error << "\n"
            << "Try 'pixeltuck-cli --help'.\n"
            << std::flush;
    return kExitBadArguments;
  }
  if (parsed.mode == CliMode::List) return ListCarriers(parsed.files, env.out, env.err);
  if (!parsed.outputDir.empty() && !IsDirectory(parsed.outputDir)) {
    env.err << "pixeltuck-cli: the output folder " << Escaped(parsed.outputDir)
            << " does not exist or is no folder\n"
            << std::flush;
    return kExitBadArguments;
  }
  if (parsed.compressionMode) settings.compressionMode = *parsed.compressionMode;
  if (parsed.compressionLevel) settings.compressionLevel = *parsed.compressionLevel;
  ThreadsScope threads(parsed.threads);

  // The key of the call, given to every job; wiped when the call ends.
  KeyText key = std::move(parsed.state.commandLineKey);
  const std::optional<std::string>& keySource = parsed.keyFile ? parsed.keyFile : parsed.passphraseFile;
  if (keySource) {
    KeyFileResult fromFile = ReadKeyFile(*keySource, env.terminal, !parsed.keyFile);
    if (!fromFile.key) {
      env.err << "pixeltuck-cli: " << fromFile.error << "\n" << std::flush;
      return kExitBadArguments;
    }
    key = std::move(*fromFile.key);
  }

  const bool test = parsed.mode == CliMode::Test;
  const bool toStdout = parsed.mode == CliMode::Stdout;
  // The log goes where the file's bytes do not.
  std::ostream& log = toStdout ? env.err : env.out;
  CliUi ui(log, env.err, env.terminal, settings.keyMode,
           CliOptions{parsed.quiet || test, parsed.force});
  JobRequest request;
  request.cipher = CipherAtListPosition(parsed.cipherIndex);
  request.startedByCommandLine = true;
  request.settings = settings;
  request.deleteTempFile = parsed.state.deleteTempFile;
  request.debugDump = parsed.state.debugDump;
  request.outputDir = parsed.outputDir;
  if (test) {
    request.restoreTo = [](const std::uint8_t*, std::size_t) { return true; };
  } else if (toStdout) {
    BinaryStandardOutput();
    request.restoreTo = [&env](const std::uint8_t* data, std::size_t n) {
      env.out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(n));
      return env.out.good();
    };
  }
  // Which argument wrote each output, for the error of a second one.
  std::vector<std::pair<std::string, std::string>> written;

  const bool several = parsed.files.size() > 1;
  int worst = kExitDone;
  for (std::size_t i = 0; i < parsed.files.size(); ++i) {
    const std::string& arg = parsed.files[i];
    const std::string prefix = "pixeltuck-cli: " + (several || test ? Escaped(arg) + ": " : "");
    if (i > 0 && !parsed.quiet && !test) log << '\n' << std::flush;
    JobRequest fileRequest = request;
    OutputFile standardInput;
    if (arg == "-") {
      fileRequest.outputDir = parsed.outputDir.empty() ? "." : parsed.outputDir;
      fileRequest.sourceName = parsed.storedName;
      std::string error;
      const int copied = CopyStandardInput(fileRequest.outputDir, standardInput, error);
      if (copied != kExitDone) {
        env.err << "pixeltuck-cli: " << error << "\n" << std::flush;
        worst = std::max(worst, copied);
        continue;
      }
    } else if (IsDirectory(arg)) {
      env.err << "pixeltuck-cli: " << Escaped(arg) << " is a folder, not a file\n" << std::flush;
      worst = std::max(worst, kExitBadArguments);
      continue;
    }
    fileRequest.file = arg == "-" ? standardInput.Path() : LookupCommandLineFile(arg);
    if (fileRequest.file.empty()) {
      env.err << "pixeltuck-cli: No such file, or it is empty: " << Escaped(arg) << "\n"
              << std::flush;
      worst = std::max(worst, kExitBadArguments);
      continue;
    }
    if ((test || toStdout) && !IsCarrierName(arg)) {
      env.err << "pixeltuck-cli: " << Escaped(arg) << " is no .bmp carrier: "
              << (test ? "-t" : "-c") << " checks and unpacks carriers only\n"
              << std::flush;
      worst = std::max(worst, kExitBadArguments);
      continue;
    }
    fileRequest.commandLineKey = &key;
    const JobOutcome outcome = RunJob(fileRequest, ui);
    const int status = JobStatus(outcome);
    if (test) {
      env.out << Escaped(arg) << (status == kExitDone ? ": OK" : ": FAILED") << "\n" << std::flush;
    } else if (!outcome.keptOutput.empty()) {
      std::string first;
      for (const auto& [path, from] : written) {
        if (path == outcome.keptOutput) first = from;
      }
      env.err << prefix << Escaped(outcome.keptOutput) << " was written from " << Escaped(first)
              << " in this call and is not replaced\n"
              << std::flush;
    } else if (status != kExitDone) {
      env.err << prefix
              << (outcome.end == JobEnd::Completed ? "a checksum did not match"
                                                   : "the job stopped early")
              << "\n"
              << std::flush;
    }
    if (outcome.end == JobEnd::Completed && !outcome.outputPath.empty()) {
      written.emplace_back(outcome.outputPath, arg);
      request.keepOutputs.push_back(outcome.outputPath);
    }
    worst = std::max(worst, status);
  }
  if (toStdout) {
    env.out.flush();
    if (!env.out.good()) {
      env.err << "pixeltuck-cli: writing to standard output failed\n" << std::flush;
      worst = std::max(worst, kExitJobStopped);
    }
  }
  return worst;
}

int CliMain(int argc, char** argv) {
  // Files a job has begun are removed when a signal ends the program.
  InstallSignalCleanup();
  InstallConsoleInterrupts();
  std::vector<std::string> args = ProgramArguments(argc, argv);
  // The process list shows argv: the key digits go from there at once.
  // (-K:/-k: as the window wipes them, and --key.)
  std::vector<std::string> plain;
  for (int i = 1; i < argc; ++i) plain.emplace_back(argv[i]);
  for (std::size_t i = 0; i < plain.size(); ++i) {
    const std::size_t at = KeyTextStart(plain, i);
    if (at != std::string::npos) SecureWipe(argv[i + 1] + at, plain[i].size() - at);
  }
  for (std::string& arg : plain) SecureWipe(arg.data(), arg.size());

  Utf8Console console;
  ConsoleTerminal terminal;
  CliEnvironment env{std::cout, std::cerr, terminal,
                     SettingsLocationFor(WindowConfigurationFile(ExecutablePath())),
                     ProgramExpandsWildcards()};
  try {
    return RunCli(std::move(args), env);
  } catch (const std::bad_alloc&) {
    std::cerr << "pixeltuck-cli: out of memory\n" << std::flush;
    return kExitJobStopped;
  }
}

}  // namespace pt
