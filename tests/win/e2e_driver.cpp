// End-to-end cases of the Windows window program: each case starts
// pixeltuck.exe in a folder of its own and works it through its windows as a
// person would, then checks the files and the settings file it leaves.
//
//   e2e_driver --program PIXELTUCK.EXE --work FOLDER [--reference FOLDER]
//              [--only TEXT]... [--long-mb N] [--retries N] [--trace]
//   e2e_driver --list
//   e2e_driver --reference-plan FOLDER
//   e2e_driver --program PIXELTUCK.EXE --work FOLDER --screenshots FOLDER
//
// --reference names a folder prepared by the console program from the plan
// that --reference-plan writes (sample.dat, pixeltuck.cfg and one line per
// carrier: tag, cipher switch, key); the "same carrier" cases compare with
// it. --screenshots opens every window and dialog in turn; for each it
// writes NAME.rect ("x y width height" on the screen) and waits until
// NAME.png appears beside it, taken by whoever runs the driver.
#include "tests/win/driver.h"

#include <commctrl.h>

#include <cstdint>
#include <cstdio>

#include "app/win/control_ids.h"

namespace pt::e2e {
namespace {

namespace id = pt::win::id;

// ---------------------------------------------------------------------------
// Inputs

struct Env {
  fs::path exe;
  fs::path work;
  fs::path reference;
  int longMb = 96;
};

// One line of the settings file.
struct Config {
  int startupCipher = 2;
  int compressionMode = 1;
  int compressionLevel = -1;
  bool showBitmap = false;
  bool exitAfterConversion = false;
  bool copyLog = false;
  int keyMode = 1;
  bool hidePassword = false;
  bool disclaimerAccepted = true;
  std::string extensions = "zip,gz,arj,rar,lzh,cab,z,bz2,msi";
  int targetNameRule = 1;

  std::string Line() const {
    return std::to_string(startupCipher) + " " + std::to_string(compressionMode) + " " +
           std::to_string(compressionLevel) + " " + (showBitmap ? "1 " : "0 ") +
           (exitAfterConversion ? "1 " : "0 ") + (copyLog ? "1 " : "0 ") +
           std::to_string(keyMode) + " " + (hidePassword ? "1 " : "0 ") +
           (disclaimerAccepted ? "1 " : "0 ") + extensions + " " + std::to_string(targetNameRule);
  }
};

struct Cipher {
  int index;           // position in cbEncMethod
  char tag;            // the command-line switch letter
  const char* method;  // the method name of the job's log
};
constexpr Cipher kNone{0, 'N', ""};
constexpr Cipher kBlowfish{1, 'B', "BlowFish"};
constexpr Cipher kTwofish{2, 'T', "TwoFish"};
constexpr Cipher kRijndael{3, 'R', "Rijndael"};

enum class KeyMode { None, Ascii, Hex };
struct Key {
  KeyMode mode = KeyMode::None;
  const char* text = "";

  // The key's bytes in upper-case hexadecimal digits, as -K: takes them.
  std::string CommandLine() const {
    if (mode == KeyMode::Hex) return std::string("-K:") + text;
    static const char digits[] = "0123456789ABCDEF";
    std::string hex = "-K:";
    for (const char* c = text; *c; ++c) {
      const auto byte = static_cast<unsigned char>(*c);
      hex += digits[byte >> 4];
      hex += digits[byte & 15];
    }
    return hex;
  }
};
constexpr Key kNoKey{};

// Program texts, byte for byte.
const char* const kReadyPrefix = "Ready in (hh:mm:ss) = ";
const char* const kFileOk = "-> File should be OK :-)";
const char* const kVerifyQuestion = "Password verification error !\n\nTry again ???";
const char* const kWrongCommandLineKey =
    "Password verification error: wrong key !\nThe key does not fit this file; nothing was "
    "written.";
const char* const kChecksumWarning =
    "The restored file does not match the packed file's checksum.\nIt may be damaged: keep the "
    "carrier.";
const char* const kInterrupted = "Job interrupted: the files it had begun were removed.";
const std::vector<std::string> kDisclaimerRefusedLog = {
    "EnCode/DeCode is disabled: the disclaimer was not accepted.",
    "Help > Disclaimer ... shows it again; accept it there to", "enable EnCode/DeCode."};

// Bytes that look like a document: text that gzip shrinks, then noise that
// it does not, so that both paths of the compression stage are crossed.
std::string SampleBytes(size_t textBytes, size_t noiseBytes, uint64_t seed) {
  std::string bytes;
  for (int i = 1; bytes.size() < textBytes; ++i) {
    bytes += "line " + std::to_string(i) + " of the sample document, packed into a picture\r\n";
  }
  bytes.resize(textBytes);
  uint64_t x = seed | 1;
  for (size_t i = 0; i < noiseBytes; ++i) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    bytes += static_cast<char>(x >> 56);
  }
  return bytes;
}

// A large file of noise: one mebibyte of it repeated, farther apart than
// gzip looks back, so that it does not shrink.
void WriteNoise(const fs::path& path, int megabytes) {
  std::FILE* f = _wfopen(path.c_str(), L"wb");
  Expect(f != nullptr, "cannot create " + Utf8(path.wstring()));
  const std::string block = SampleBytes(0, 1 << 20, 7);
  bool ok = true;
  for (int i = 0; i < megabytes && ok; ++i) {
    ok = std::fwrite(block.data(), 1, block.size(), f) == block.size();
  }
  ok = std::fclose(f) == 0 && ok;
  Expect(ok, "cannot write " + Utf8(path.wstring()));
}

// ---------------------------------------------------------------------------
// Steps shared by the cases

HWND Ready(Program& program) {
  HWND main = program.MainWindow();
  WaitIdle(main);
  return main;
}

void EnterKey(Program& program, const Key& key) {
  HWND dialog = program.WaitDialog(L"", id::eEnter, "key entry dialog");
  if (key.mode == KeyMode::Hex) {
    SetChecked(dialog, id::rbKeyHex, "rbHex", true);
  } else {
    SetChecked(dialog, id::rbKeyASCII, "rbASCII", true);
  }
  SetText(dialog, id::eEnter, "eEnter", key.text);
  Press(dialog, id::bOK, "bOK");
  WaitWindowGone(dialog, "the key entry dialog");
}

// EnCode/DeCode on the file: the button, the file-open dialog, the key.
void StartJob(Program& program, const fs::path& file, const Key& key) {
  program.WaitNoJob();
  Press(program.MainWindow(), id::bbOpen, "bbOpen");
  program.OpenFile(file);
  if (key.mode != KeyMode::None) EnterKey(program, key);
}

std::vector<std::string> RunJob(Program& program, const fs::path& file, const Key& key) {
  StartJob(program, file, key);
  return program.WaitJobEnd();
}

void ExpectNames(const fs::path& folder, const std::vector<std::string>& expected,
                 const std::string& when) {
  const auto names = FolderNames(folder);
  Expect(names == expected, when + ": the folder holds [" + Joined(names, ", ") +
                                "], expected [" + Joined(expected, ", ") + "]");
}

void ExpectSameBytes(const fs::path& got, const fs::path& expected) {
  Expect(fs::exists(got), "no file " + Utf8(got.wstring()));
  const std::string a = FileBytes(got);
  const std::string b = FileBytes(expected);
  if (a == b) return;
  size_t at = 0;
  while (at < a.size() && at < b.size() && a[at] == b[at]) ++at;
  Fail(Utf8(got.filename().wstring()) + " differs from " + Utf8(expected.wstring()) +
       " at byte " + std::to_string(at) + " (sizes " + std::to_string(a.size()) + " and " +
       std::to_string(b.size()) + ")");
}

void ExpectExit(Program& program, DWORD expected, const std::string& when) {
  const DWORD status = program.Close();
  Expect(status == expected, when + ": exit status " + std::to_string(status));
}


// ---------------------------------------------------------------------------
// The disclaimer: asked on the first start, and at every start until accepted

struct DisclaimerCase {
  const char* name;
  bool accept;
};
const DisclaimerCase kDisclaimerCases[] = {
    {"disclaimer accepted on the first start: EnCode/DeCode on, not asked again", true},
    {"disclaimer refused: EnCode/DeCode off with the log lines, asked again at the next start",
     false},
};

HWND WaitDisclaimer(Program& program) {
  return program.WaitDialog(L"Disclaimer/Legalities", id::rbDisclaimerYes, "disclaimer dialog",
                            kStartLimitMs);
}

void RunDisclaimer(const Env& env, const fs::path& folder, const DisclaimerCase& c) {
  {
    Program program(env.exe, folder);
    program.Start();
    HWND dialog = WaitDisclaimer(program);
    Expect(IsChecked(dialog, id::rbDisclaimerNo, "rbNo"),
           "\"I don't accept these terms\" is not selected when the disclaimer comes up");
    if (c.accept) SetChecked(dialog, id::rbDisclaimerYes, "rbYes", true);
    Press(dialog, id::bOK, "bOK");
    WaitWindowGone(dialog, "the disclaimer");
    HWND main = Ready(program);
    const bool enabled = IsWindowEnabled(Control(main, id::bbOpen, "bbOpen")) != FALSE;
    Expect(enabled == c.accept, std::string("EnCode/DeCode is ") + (enabled ? "on" : "off"));
    const auto log = program.Log();
    const auto expectedLog = c.accept ? std::vector<std::string>{} : kDisclaimerRefusedLog;
    Expect(log == expectedLog, "log: " + LogText(log));
    ExpectExit(program, 0, "closed");
    Config written;
    written.disclaimerAccepted = c.accept;
    written.targetNameRule = 0;  // the options dialog never confirmed
    Expect(program.Config() == written.Line(),
           "settings file \"" + program.Config() + "\", expected \"" + written.Line() + "\"");
  }
  Program again(env.exe, folder);
  again.Start();
  HWND main = again.MainWindow();
  if (c.accept) {
    const WindowQuery disclaimer{again.Pid(), id::kDialogClass, L"", id::rbDisclaimerYes};
    Expect(!Poll(1500, [&] { return FindTopWindow(disclaimer) != nullptr; }),
           "the disclaimer came up again after it was accepted");
  } else {
    HWND dialog = WaitDisclaimer(again);
    SetChecked(dialog, id::rbDisclaimerYes, "rbYes", true);
    Press(dialog, id::bOK, "bOK");
    WaitWindowGone(dialog, "the disclaimer");
  }
  WaitIdle(main);
  Expect(IsWindowEnabled(Control(main, id::bbOpen, "bbOpen")) != FALSE,
         "EnCode/DeCode is off after the disclaimer was accepted");
  ExpectExit(again, 0, "closed after the second start");
}

// ---------------------------------------------------------------------------
// Packing and unpacking through the window, with each cipher and key mode

struct RoundTripCase {
  const char* name;
  Cipher cipher;
  Key key;
};
const RoundTripCase kRoundTripCases[] = {
    {"pack and unpack, None", kNone, kNoKey},
    {"pack and unpack, BlowFish, key in ASCII mode", kBlowfish, {KeyMode::Ascii, "fish & chips"}},
    {"pack and unpack, BlowFish, key in hex mode", kBlowfish,
     {KeyMode::Hex, "0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF"}},
    {"pack and unpack, TwoFish, key in ASCII mode", kTwofish,
     {KeyMode::Ascii, "a key of twenty-six chars!"}},
    {"pack and unpack, TwoFish, key in hex mode", kTwofish, {KeyMode::Hex, "FEDCBA9876543210"}},
    {"pack and unpack, Rijndael, key in ASCII mode", kRijndael,
     {KeyMode::Ascii, "Rijndael (AES) key"}},
    {"pack and unpack, Rijndael, key in hex mode with lower-case digits", kRijndael,
     {KeyMode::Hex, "0f1e2d3c4b5a69788796a5b4c3d2e1f0aabbccdd"}},
};

void RunRoundTrip(const Env& env, const fs::path& folder, const RoundTripCase& c) {
  const std::string original = SampleBytes(120000, 40000, 1);
  WriteBytes(folder / "report.txt", original);
  Program program(env.exe, folder);
  program.WriteConfig(Config{}.Line());
  program.Start();
  HWND main = Ready(program);
  Select(main, id::cbEncMethod, "cbEncMethod", c.cipher.index);

  auto log = RunJob(program, folder / "report.txt", c.key);
  if (c.key.mode != KeyMode::None) {
    const std::string method = std::string("-> ") + c.cipher.method + " encryption method";
    Expect(HasLine(log, method), "packing log without \"" + method + "\": " + LogText(log));
  }
  ExpectNames(folder, {"pixeltuck.cfg", "pixeltuck.exe", "report.bmp", "report.txt"},
              "after packing");

  fs::rename(folder / "report.txt", folder / "report.orig");
  log = RunJob(program, folder / "report.bmp", c.key);
  Expect(HasLine(log, kFileOk), "unpacking log without \"" + std::string(kFileOk) +
                                    "\": " + LogText(log));
  ExpectSameBytes(folder / "report.txt", folder / "report.orig");
  ExpectNames(folder, {"pixeltuck.cfg", "pixeltuck.exe", "report.bmp", "report.orig", "report.txt"},
              "after unpacking");
  ExpectExit(program, 0, "closed");
}

// ---------------------------------------------------------------------------
// A wrong key writes nothing

enum class KeyGiven { InDialog, OnCommandLine };
struct WrongKeyCase {
  const char* name;
  KeyGiven given;
};
const WrongKeyCase kWrongKeyCases[] = {
    {"unpack with a wrong key typed in the key dialog: the verification question, No writes "
     "nothing",
     KeyGiven::InDialog},
    {"unpack with a wrong -K: key: the wrong-key error, nothing written, the window stays open",
     KeyGiven::OnCommandLine},
};

void RunWrongKey(const Env& env, const fs::path& folder, const WrongKeyCase& c) {
  const Key right{KeyMode::Ascii, "the right key 2026"};
  const Key wrong{KeyMode::Ascii, "the wrong key 2026"};
  WriteBytes(folder / "report.txt", SampleBytes(50000, 10000, 2));
  {
    Program packer(env.exe, folder);
    Config config;
    config.exitAfterConversion = true;
    packer.WriteConfig(config.Line());
    packer.Start({"-T", right.CommandLine(), "report.txt"});
    const DWORD status = packer.WaitExit(kJobLimitMs, "after packing with Exit after Conversion");
    Expect(status == 0, "packing: exit status " + std::to_string(status));
  }
  fs::rename(folder / "report.txt", folder / "report.orig");
  const std::vector<std::string> before = FolderNames(folder);

  Program program(env.exe, folder);
  program.WriteConfig(Config{}.Line());
  std::string text;
  if (c.given == KeyGiven::InDialog) {
    program.Start();
    Ready(program);
    StartJob(program, folder / "report.bmp", wrong);
    text = program.Answer(program.WaitMessageBox("the verification question"), id::bNo);
    Expect(text == kVerifyQuestion, "question \"" + OneLine(text) + "\"");
  } else {
    program.Start({wrong.CommandLine(), "report.bmp"});
    text = program.Answer(program.WaitMessageBox("the wrong-key error"), id::bOK);
    Expect(text == kWrongCommandLineKey, "error \"" + OneLine(text) + "\"");
  }
  program.WaitNoJob();
  Expect(IsWindowVisible(program.MainWindow()) != FALSE,
         "the main window closed after the failed job");
  Expect(!HasLine(program.Log(), kFileOk), "the log says the file was restored");
  ExpectNames(folder, before, "after the wrong key");
  program.Close();
}

// ---------------------------------------------------------------------------
// Options persist across a restart

struct OptionCheck {
  int id;
  const char* name;
};
// Every control that the case turns on; each group's other buttons are off.
const OptionCheck kChangedOptions[] = {
    {id::rbRijndael, "rbRijndael"}, {id::cbExit, "cbExit"},   {id::cbShowOption, "cbShow"},
    {id::rbSmart, "rbSmart"},       {id::rbDefined, "rbDefined"}, {id::rbHex, "rbHex"},
    {id::cbHide, "cbHide"},         {id::cbLOG, "cbLOG"},     {id::rbAppend, "rbAppend"},
};
const OptionCheck kUncheckedOptions[] = {
    {id::rbNone, "rbNone"},       {id::rbBlowfish, "rbBlowfish"},
    {id::rbTwofish, "rbTwofish"}, {id::rbNever, "rbNever"},
    {id::rbSensibly, "rbSensibly"}, {id::rbEver, "rbEver"},
    {id::rbDefault, "rbDefault"}, {id::rbASCII, "rbASCII"},
    {id::rbReplaceLast, "rbReplaceLast"}, {id::rbReplaceAll, "rbReplaceAll"},
};
const char* const kExtensions = "zip,7z";
constexpr int kLevel = 7;

HWND OpenOptions(Program& program) {
  Press(program.MainWindow(), id::bbOptions, "bbOptions");
  return program.WaitDialog(L"pixelTuck Options ...", id::rbNone, "options dialog");
}

void RunOptionsPersist(const Env& env, const fs::path& folder) {
  Config changed;
  changed.startupCipher = 3;
  changed.compressionMode = 2;
  changed.compressionLevel = kLevel;
  changed.showBitmap = changed.exitAfterConversion = changed.copyLog = true;
  changed.keyMode = 2;
  changed.hidePassword = true;
  changed.extensions = kExtensions;
  changed.targetNameRule = 3;
  {
    Program program(env.exe, folder);
    program.WriteConfig(Config{}.Line());
    program.Start();
    HWND main = Ready(program);
    HWND dialog = OpenOptions(program);
    for (const auto& option : kChangedOptions) SetChecked(dialog, option.id, option.name, true);
    SetText(dialog, id::eExtensions, "eExtensions", kExtensions);
    HWND slider = Control(dialog, id::tbCompression, "tbCompression");
    Send(slider, TBM_SETPOS, TRUE, kLevel, "tbCompression");
    PostMessageW(dialog, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, kLevel),
                 reinterpret_cast<LPARAM>(slider));
    Press(dialog, id::bOK, "bOK");
    WaitWindowGone(dialog, "the options dialog");
    // The start-up cipher and "Show Bitmap" act at the next start only.
    Expect(Selected(main, id::cbEncMethod, "cbEncMethod") == 2,
           "the cipher list changed at once with the start-up cipher");
    Expect(!IsChecked(main, id::cbShow, "cbShow"), "\"Show Bitmap\" changed at once");
    ExpectExit(program, 0, "closed");
    Expect(program.Config() == changed.Line(),
           "settings file \"" + program.Config() + "\", expected \"" + changed.Line() + "\"");
  }
  Program program(env.exe, folder);
  program.Start();
  HWND main = Ready(program);
  Expect(Selected(main, id::cbEncMethod, "cbEncMethod") == 3,
         "the start-up cipher Rijndael is not selected after the restart");
  Expect(IsChecked(main, id::cbShow, "cbShow"), "\"Show Bitmap\" is off after the restart");
  HWND dialog = OpenOptions(program);
  for (const auto& option : kChangedOptions) {
    Expect(IsChecked(dialog, option.id, option.name),
           std::string(option.name) + " is not checked after the restart");
  }
  for (const auto& option : kUncheckedOptions) {
    Expect(!IsChecked(dialog, option.id, option.name),
           std::string(option.name) + " is checked after the restart");
  }
  Expect(GetText(dialog, id::eExtensions, "eExtensions") == kExtensions,
         "extensions \"" + GetText(dialog, id::eExtensions, "eExtensions") + "\"");
  const auto level = Send(Control(dialog, id::tbCompression, "tbCompression"), TBM_GETPOS, 0, 0,
                          "tbCompression");
  Expect(level == kLevel, "compression level slider at " + std::to_string(level));
  Press(dialog, id::bCancel, "bCancel");
  WaitWindowGone(dialog, "the options dialog");
  ExpectExit(program, 0, "closed after the restart");
  Expect(program.Config() == changed.Line(), "settings file after the restart \"" +
                                                 program.Config() + "\"");
}

// ---------------------------------------------------------------------------
// The replace question

struct ReplaceCase {
  const char* name;
  int answer;
};
const ReplaceCase kReplaceCases[] = {
    {"packing over an existing carrier, answered No: the old carrier stays untouched", id::bNo},
    {"packing over an existing carrier, answered Yes: the carrier is replaced", id::bYes},
};

void RunReplace(const Env& env, const fs::path& folder, const ReplaceCase& c) {
  const std::string old = "an older carrier of the same name";
  WriteBytes(folder / "report.txt", SampleBytes(30000, 0, 3));
  WriteBytes(folder / "report.bmp", old);
  Program program(env.exe, folder);
  program.WriteConfig(Config{}.Line());
  program.Start();
  HWND main = Ready(program);
  Select(main, id::cbEncMethod, "cbEncMethod", kNone.index);
  StartJob(program, folder / "report.txt", kNoKey);
  const std::string text = program.Answer(program.WaitMessageBox("the replace question"), c.answer);
  const std::string tail = "report.bmp> already exists.\n\nReplace it ?";
  Expect(text.rfind("The file <", 0) == 0 && text.size() > tail.size() &&
             text.compare(text.size() - tail.size(), tail.size(), tail) == 0,
         "question \"" + OneLine(text) + "\"");
  if (c.answer == id::bYes) {
    program.WaitJobEnd();
    const std::string carrier = FileBytes(folder / "report.bmp");
    Expect(carrier.compare(0, 2, "BM") == 0 &&
               carrier.compare(54, 10, std::string("pixeltuck\0", 10)) == 0,
           "report.bmp is no carrier");
  } else {
    program.WaitNoJob();
    Expect(FileBytes(folder / "report.bmp") == old, "the old carrier was changed");
  }
  ExpectNames(folder, {"pixeltuck.cfg", "pixeltuck.exe", "report.bmp", "report.txt"},
              "after the question");
  ExpectExit(program, 0, "closed");
}

// ---------------------------------------------------------------------------
// Command-line jobs with "Exit after Conversion"

struct ExitCase {
  const char* name;
  bool damageCarrier;     // one payload byte changed before unpacking
  DWORD status;           // 0, or any other value for "not 0"
  const char* boxText;    // the message box answered on the way, or null
};
const ExitCase kExitCases[] = {
    {"command-line job with Exit after Conversion: the program ends by itself with status 0",
     false, 0, nullptr},
    {"command-line job on a damaged carrier with Exit after Conversion: the program ends with a "
     "non-zero status",
     true, 1, kChecksumWarning},
};

void RunExit(const Env& env, const fs::path& folder, const ExitCase& c) {
  const Key key{KeyMode::Hex, "00112233445566778899AABBCCDDEEFF"};
  Config config;
  config.exitAfterConversion = true;
  config.compressionMode = 0;  // the payload as it is, so a changed byte reaches the file
  WriteBytes(folder / "report.txt", SampleBytes(60000, 0, 4));
  std::vector<std::string> args = {"-R", key.CommandLine(), "report.txt"};
  if (c.damageCarrier) {
    Program packer(env.exe, folder);
    packer.WriteConfig(config.Line());
    packer.Start(args);
    Expect(packer.WaitExit(kJobLimitMs, "after packing") == 0, "packing failed");
    std::string carrier = FileBytes(folder / "report.bmp");
    carrier[54 + 1824 + 100] ^= 0x55;  // in the first payload row
    WriteBytes(folder / "report.bmp", carrier);
    fs::remove(folder / "report.txt");
    args = {key.CommandLine(), "report.bmp"};
  }
  Program program(env.exe, folder);
  program.WriteConfig(config.Line());
  program.Start(args);
  std::vector<std::string> boxes;
  Poll(kJobLimitMs, [&] {
    if (HWND box = program.FindMessageBox()) boxes.push_back(program.Answer(box, id::bOK));
    return !program.Running();
  });
  const DWORD status = program.WaitExit(1000, "after its command-line job");
  const std::vector<std::string> expectedBoxes =
      c.boxText ? std::vector<std::string>{c.boxText} : std::vector<std::string>{};
  Expect(boxes == expectedBoxes, "message boxes on the way: [" + OneLine(Joined(boxes, " | ")) +
                                     "]");
  Expect((status == 0) == (c.status == 0), "exit status " + std::to_string(status));
  Expect(fs::exists(folder / "report.bmp"), "no carrier: " + Joined(FolderNames(folder), ", "));
  Expect(program.Config() == config.Line(), "settings file \"" + program.Config() + "\"");
}

// ---------------------------------------------------------------------------
// Escape during a long job

void RunEscape(const Env& env, const fs::path& folder) {
  WriteNoise(folder / "big.dat", env.longMb);
  Program program(env.exe, folder);
  Config config;
  config.compressionMode = 3;  // the slow part: gzip at level 9 of noise
  config.compressionLevel = 9;
  program.WriteConfig(config.Line());
  const std::vector<std::string> before = FolderNames(folder);
  program.Start({"-T", Key{KeyMode::Hex, "00112233445566778899AABBCCDDEEFF"}.CommandLine(),
                 "big.dat"});
  HWND main = program.MainWindow();
  const bool begun = Poll(kJobLimitMs, [&] { return FolderNames(folder) != before; });
  Expect(begun, "the job began no file within " + std::to_string(kJobLimitMs / 1000) + " s");
  PressKey(main, VK_ESCAPE);
  Expect(Poll(30000, [&] { return FolderNames(folder) == before || !program.Running(); }),
         "30 s after Escape the folder still holds " + Joined(FolderNames(folder), ", "));
  Expect(program.Running(), "the program ended after Escape");
  program.WaitNoJob();
  Expect(IsWindowVisible(main) != FALSE, "the main window is gone after Escape");
  const auto log = program.Log();
  Expect(HasLine(log, kInterrupted), "log: " + LogText(log));
  Expect(log.empty() || log.back().rfind(kReadyPrefix, 0) != 0,
         "the job ran to its end: make --long-mb larger");
  ExpectNames(folder, before, "after Escape");
  ExpectExit(program, 0, "closed after Escape");
  fs::remove(folder / "big.dat");
}

// ---------------------------------------------------------------------------
// The same carrier as the console program makes

struct SameCarrierCase {
  const char* name;
  Cipher cipher;
  Key key;
};
const SameCarrierCase kSameCarrierCases[] = {
    {"the same carrier as the console program, None", kNone, kNoKey},
    {"the same carrier as the console program, BlowFish, ASCII key", kBlowfish,
     {KeyMode::Ascii, "pixelTuck test key"}},
    {"the same carrier as the console program, TwoFish, hex key", kTwofish,
     {KeyMode::Hex, "00112233445566778899AABBCCDDEEFF0011223344556677"}},
    {"the same carrier as the console program, Rijndael, ASCII key", kRijndael,
     {KeyMode::Ascii, "Rijndael keys reach 32 bytes"}},
};

Config SameCarrierConfig() { return Config{}; }

void RunSameCarrier(const Env& env, const fs::path& folder, const SameCarrierCase& c) {
  Expect(!env.reference.empty(), "no --reference folder given");
  const fs::path reference = env.reference / std::string(1, c.cipher.tag) / "sample.bmp";
  Expect(fs::exists(reference), "no reference carrier " + Utf8(reference.wstring()));
  fs::copy_file(env.reference / "sample.dat", folder / "sample.dat");
  Program program(env.exe, folder);
  program.WriteConfig(SameCarrierConfig().Line());
  program.Start();
  HWND main = Ready(program);
  Select(main, id::cbEncMethod, "cbEncMethod", c.cipher.index);
  RunJob(program, folder / "sample.dat", c.key);
  ExpectSameBytes(folder / "sample.bmp", reference);
  ExpectExit(program, 0, "closed");
}

void WriteReferencePlan(const fs::path& folder) {
  fs::create_directories(folder);
  WriteBytes(folder / "sample.dat", SampleBytes(200000, 100000, 5));
  WriteBytes(folder / "pixeltuck.cfg", SameCarrierConfig().Line());
  for (const auto& c : kSameCarrierCases) {
    std::printf("%c -%c %s\n", c.cipher.tag, c.cipher.tag,
                c.key.mode == KeyMode::None ? "-" : c.key.CommandLine().c_str());
  }
}

// ---------------------------------------------------------------------------
// The cases

struct Case {
  std::string name;
  std::function<void(const Env&, const fs::path&)> run;
};

std::vector<Case> AllCases() {
  std::vector<Case> cases;
  for (const auto& c : kDisclaimerCases) {
    cases.push_back({c.name, [c](const Env& e, const fs::path& f) { RunDisclaimer(e, f, c); }});
  }
  for (const auto& c : kRoundTripCases) {
    cases.push_back({c.name, [c](const Env& e, const fs::path& f) { RunRoundTrip(e, f, c); }});
  }
  for (const auto& c : kWrongKeyCases) {
    cases.push_back({c.name, [c](const Env& e, const fs::path& f) { RunWrongKey(e, f, c); }});
  }
  cases.push_back({"options changed in the options dialog persist across a restart",
                   RunOptionsPersist});
  for (const auto& c : kReplaceCases) {
    cases.push_back({c.name, [c](const Env& e, const fs::path& f) { RunReplace(e, f, c); }});
  }
  for (const auto& c : kExitCases) {
    cases.push_back({c.name, [c](const Env& e, const fs::path& f) { RunExit(e, f, c); }});
  }
  cases.push_back({"Escape during a long job stops it, leaves nothing behind, the window stays open",
                   RunEscape});
  for (const auto& c : kSameCarrierCases) {
    cases.push_back({c.name, [c](const Env& e, const fs::path& f) { RunSameCarrier(e, f, c); }});
  }
  return cases;
}

// A folder name for the case: its words, shortened.
std::string FolderNameOf(size_t index, const std::string& name) {
  std::string slug = std::to_string(index + 1) + "-";
  for (char ch : name) {
    if (slug.size() >= 48) break;
    if ((ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9')) {
      slug += ch;
    } else if (ch >= 'A' && ch <= 'Z') {
      slug += static_cast<char>(ch - 'A' + 'a');
    } else if (slug.back() != '-') {
      slug += '-';
    }
  }
  return slug;
}

// Runs one case in a fresh folder; the message of its failure, or empty.
std::string RunCase(const Env& env, const Case& c, const fs::path& folder) {
  std::error_code ec;
  fs::remove_all(folder, ec);
  fs::create_directories(folder, ec);
  try {
    c.run(env, folder);
    return {};
  } catch (const Failure& failure) {
    return failure.what();
  } catch (const std::exception& error) {
    return std::string("unexpected error: ") + error.what();
  }
}

int RunCases(const Env& env, const std::vector<std::string>& only, int retries) {
  const auto cases = AllCases();
  int passed = 0;
  int failed = 0;
  for (size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    bool wanted = only.empty();
    for (const auto& part : only) wanted = wanted || c.name.find(part) != std::string::npos;
    if (!wanted) continue;
    std::printf("[ RUN      ] %s\n", c.name.c_str());
    std::fflush(stdout);
    const ULONGLONG start = GetTickCount64();
    std::string failure;
    int tries = 0;
    do {
      failure = RunCase(env, c, env.work / FolderNameOf(i, c.name));
      ++tries;
      if (!failure.empty() && tries <= retries) {
        std::printf("             try %d failed: %s\n", tries, failure.c_str());
      }
    } while (!failure.empty() && tries <= retries);
    const double seconds = static_cast<double>(GetTickCount64() - start) / 1000.0;
    if (failure.empty()) {
      ++passed;
      std::printf("[       OK ] %s (%.1f s%s)\n", c.name.c_str(), seconds,
                  tries > 1 ? ", passed at a second try" : "");
    } else {
      ++failed;
      std::printf("[  FAILED  ] %s (%.1f s): %s\n", c.name.c_str(), seconds, failure.c_str());
    }
    std::fflush(stdout);
  }
  std::printf("Window program end to end: %d passed, %d failed\n", passed, failed);
  return failed == 0 && passed > 0 ? 0 : 1;
}

// ---------------------------------------------------------------------------
// Screenshots: every window and dialog once

// Hands the window's place on the screen to whoever takes the picture and
// waits for the picture.
void Shoot(const fs::path& out, const std::string& name, HWND window) {
  WaitIdle(window);
  Sleep(700);  // painting follows the messages that caused it
  RECT r{};
  GetWindowRect(window, &r);
  const fs::path png = out / (name + ".png");
  WriteBytes(out / (name + ".rect"), std::to_string(r.left) + " " + std::to_string(r.top) + " " +
                                         std::to_string(r.right - r.left) + " " +
                                         std::to_string(r.bottom - r.top) + "\n");
  Expect(Poll(60000, [&] { return fs::exists(png); }),
         "no screenshot " + name + ".png was taken within 60 s");
  std::printf("screenshot %s\n", name.c_str());
  std::fflush(stdout);
}

// Any window of the program besides the main window: the about box may be a
// system box or one of the program's own.
HWND WaitPopup(Program& program, HWND main, const std::string& what) {
  HWND found = nullptr;
  const bool shown = Poll(kWindowLimitMs, [&] {
    for (const wchar_t* cls : {L"#32770", id::kDialogClass}) {
      found = FindTopWindow({program.Pid(), cls, L"", 0});
      if (found && found != main) return true;
    }
    return false;
  });
  if (!shown) Fail("no " + what + "; open windows: " + WindowsOf(program.Pid()));
  return found;
}

void TakeScreenshots(const Env& env, const fs::path& out) {
  const fs::path folder = env.work / "screenshots";
  std::error_code ec;
  fs::remove_all(folder, ec);
  fs::create_directories(folder);
  fs::create_directories(out);
  WriteBytes(folder / "report.txt", SampleBytes(150000, 50000, 6));
  Program program(env.exe, folder);  // no settings file: the disclaimer comes up
  program.Start();
  HWND disclaimer = WaitDisclaimer(program);
  Shoot(out, "disclaimer", disclaimer);
  SetChecked(disclaimer, id::rbDisclaimerYes, "rbYes", true);
  Press(disclaimer, id::bOK, "bOK");
  WaitWindowGone(disclaimer, "the disclaimer");

  HWND main = Ready(program);
  SetChecked(main, id::cbShow, "cbShow", true);
  Select(main, id::cbEncMethod, "cbEncMethod", kTwofish.index);
  Press(main, id::bbOpen, "bbOpen");
  program.OpenFile(folder / "report.txt");
  HWND key = program.WaitDialog(L"", id::eEnter, "key entry dialog");
  SetChecked(key, id::rbKeyASCII, "rbASCII", true);
  SetText(key, id::eEnter, "eEnter", "a Twofish key");
  Shoot(out, "key-ascii", key);
  SetChecked(key, id::rbKeyHex, "rbHex", true);
  SetText(key, id::eEnter, "eEnter", "00112233445566778899AABBCCDDEEFF");
  Shoot(out, "key-hex", key);
  Press(key, id::bOK, "bOK");
  WaitWindowGone(key, "the key entry dialog");
  program.WaitJobEnd();
  Shoot(out, "main", main);

  HWND options = OpenOptions(program);
  Shoot(out, "options", options);
  Press(options, id::bCancel, "bCancel");
  WaitWindowGone(options, "the options dialog");

  Command(main, id::Info1);
  HWND about = WaitPopup(program, main, "about box");
  Shoot(out, "about", about);
  Press(about, id::bOK, "bOK");
  WaitWindowGone(about, "the about box");

  Select(main, id::cbEncMethod, "cbEncMethod", kNone.index);
  StartJob(program, folder / "report.txt", kNoKey);
  HWND question = program.WaitMessageBox("the replace question");
  Shoot(out, "replace", question);
  program.Answer(question, id::bNo);

  // A carrier of a newer format version brings the box of OK and Abort.
  std::string carrier = FileBytes(folder / "report.bmp");
  carrier.replace(54 + 10, 4, " 0.5");
  WriteBytes(folder / "newer.bmp", carrier);
  StartJob(program, folder / "newer.bmp", kNoKey);
  HWND warning = program.WaitMessageBox("the newer-version warning");
  Shoot(out, "ok-abort", warning);
  program.Answer(warning, id::bAbort);
  program.Close();
}

}  // namespace
}  // namespace pt::e2e

// ---------------------------------------------------------------------------

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: e2e_driver --program PIXELTUCK.EXE --work FOLDER [--reference FOLDER]\n"
               "                  [--only TEXT]... [--long-mb N] [--retries N] [--trace]\n"
               "       e2e_driver --program PIXELTUCK.EXE --work FOLDER --screenshots FOLDER\n"
               "       e2e_driver --reference-plan FOLDER\n"
               "       e2e_driver --list\n");
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  using namespace pt::e2e;
  Env env;
  std::vector<std::string> only;
  int retries = 1;
  fs::path screenshots;
  fs::path plan;
  bool list = false;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == L"--list") {
      list = true;
    } else if (arg == L"--trace") {
      SetTrace(true);
    } else if (!hasValue) {
      return Usage();
    } else if (arg == L"--program") {
      env.exe = argv[++i];
    } else if (arg == L"--work") {
      env.work = argv[++i];
    } else if (arg == L"--reference") {
      env.reference = argv[++i];
    } else if (arg == L"--only") {
      only.push_back(Utf8(argv[++i]));
    } else if (arg == L"--long-mb") {
      env.longMb = std::stoi(argv[++i]);
    } else if (arg == L"--retries") {
      retries = std::stoi(argv[++i]);
    } else if (arg == L"--screenshots") {
      screenshots = argv[++i];
    } else if (arg == L"--reference-plan") {
      plan = argv[++i];
    } else {
      return Usage();
    }
  }
  try {
    if (list) {
      for (const auto& c : AllCases()) std::printf("%s\n", c.name.c_str());
      return 0;
    }
    if (!plan.empty()) {
      WriteReferencePlan(plan);
      return 0;
    }
    if (env.exe.empty() || env.work.empty()) return Usage();
    Expect(fs::exists(env.exe), "no program " + Utf8(env.exe.wstring()));
    fs::create_directories(env.work);
    if (!screenshots.empty()) {
      TakeScreenshots(env, screenshots);
      return 0;
    }
    return RunCases(env, only, retries);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "e2e_driver: %s\n", error.what());
    return 1;
  }
}
