#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <iostream>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/cli/cli_args.h"
#include "app/cli/cli_ui.h"
#include "app/cli/wildcards.h"
#include "app/settings_file.h"
#include "app/version.h"
#include "carrier/carrier_format.h"
#include "tests/app/temp_dir.h"
#include "tests/support/named_case.h"

namespace pt {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

// A terminal whose lines are given in advance; nothing in the queue (or a
// nullopt entry) is the end of input.
class FakeTerminal : public Terminal {
 public:
  explicit FakeTerminal(bool interactive, std::deque<std::optional<std::string>> lines = {})
      : interactive_(interactive), lines_(std::move(lines)) {}
  bool InputIsTerminal() const override { return interactive_; }
  bool ErrorIsTerminal() const override { return errorTerminal; }
  std::optional<std::string> ReadLine(const std::string& prompt, bool hidden) override {
    prompts.push_back(prompt);
    hiddenReads.push_back(hidden);
    if (lines_.empty()) return std::nullopt;
    auto line = lines_.front();
    lines_.pop_front();
    return line;
  }

  bool errorTerminal = false;
  std::vector<std::string> prompts;
  std::vector<bool> hiddenReads;
  std::size_t Unread() const { return lines_.size(); }

 private:
  bool interactive_;
  std::deque<std::optional<std::string>> lines_;
};

const std::string kKeyInvalid = "Key given by command line is not valid !!!";

// ---------------------------------------------------------------------------
// Arguments

class CliArgsTest : public test::TempDirTest {
 protected:
  CliArgs ParseArgs(const std::vector<std::string>& args, const Settings& s = Settings{}) {
    return ParseCliArgs(args, s);
  }
};

TEST_F(CliArgsTest, HelpWinsAnywhere) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"-h"}, {"--help"}, {"-qh"}, {"-N", "--help", "missing"}, {"--bogus", "-h"}}) {
    EXPECT_EQ(ParseArgs(args).action, CliAction::Help) << args.front();
  }
}

struct BadArgsCase : test::NamedCase {
  std::vector<std::string> args;
  std::string error;  // start of the message
};

class CliBadArgsTest : public test::TempDirTest,
                       public ::testing::WithParamInterface<BadArgsCase> {};

TEST_P(CliBadArgsTest, AreRefusedWithAReason) {
  std::vector<std::string> args;
  const std::string file = Write("file.txt", "content");
  Write("empty.txt", "");
  fs::create_directory(dir_ / "folder");
  // "@name" stands for a file in the test folder.
  for (const std::string& a : GetParam().args) args.push_back(a[0] == '@' ? PathOf(a.substr(1)) : a);
  const CliArgs got = ParseCliArgs(args, Settings{});
  EXPECT_EQ(got.action, CliAction::Fail);
  EXPECT_EQ(got.error.rfind(GetParam().error, 0), 0U) << got.error;
}

INSTANTIATE_TEST_SUITE_P(
    Args, CliBadArgsTest,
    ::testing::Values(
        BadArgsCase{"Nothing", {}, "No file given"},
        BadArgsCase{"OnlySwitches", {"-N", "-S", "-qf", "--"}, "No file given"},
        BadArgsCase{"ShortKey", {"-K:123456789012345", "@file.txt"}, kKeyInvalid},
        BadArgsCase{"OddKey", {"@file.txt", "-K:12345678901234567"}, kKeyInvalid},
        BadArgsCase{"NonHexKey", {"-k:0123456789abcdeZ", "@file.txt"}, kKeyInvalid},
        BadArgsCase{"ValidThenInvalidKey",
                    {"-K:0123456789abcdef", "-K:1", "@file.txt"}, kKeyInvalid},
        BadArgsCase{"KeyFileWithoutName", {"@file.txt", "--key-file"}, "--key-file needs"},
        BadArgsCase{"KeyFileEmptyName", {"--key-file=", "@file.txt"}, "--key-file needs"},
        BadArgsCase{"TwoKeys", {"-K:0123456789abcdef", "--key-file", "k", "@file.txt"},
                    "Give one key only"},
        BadArgsCase{"KeyAndPassphraseFile", {"--passphrase-file", "p", "--key", "0123456789abcdef", "@file.txt"},
                    "Give one key only"},
        // Switches are case-sensitive: -b and -d were BlowFish and debug.
        BadArgsCase{"LowerCaseCipher", {"-b", "@file.txt"}, "unknown switch -b"},
        BadArgsCase{"LowerCaseDebug", {"-d", "@file.txt"}, "unknown switch -d"},
        BadArgsCase{"UnknownInJoined", {"-qfx", "@file.txt"}, "unknown switch -x (in -qfx)"},
        BadArgsCase{"UnknownLong", {"--verbose", "@file.txt"}, "unknown switch --verbose"},
        BadArgsCase{"FlagWithValue", {"--force=yes", "@file.txt"}, "unknown switch --force=yes"},
        BadArgsCase{"CipherName", {"--cipher", "des", "@file.txt"}, "--cipher takes"},
        BadArgsCase{"CompressWord", {"--compress=smaller", "@file.txt"}, "--compress takes"},
        BadArgsCase{"LevelTen", {"--level", "10", "@file.txt"}, "--level takes"},
        BadArgsCase{"ZeroThreads", {"--threads", "0", "@file.txt"}, "--threads takes"},
        BadArgsCase{"ValueMissing", {"@file.txt", "--level"}, "--level needs a value"},
        BadArgsCase{"TwoModes", {"-t", "-c", "@file.txt"}, "-t (--test), -l (--list) and -c"},
        BadArgsCase{"KeyWithCipherNone", {"-N", "-K:0123456789abcdef", "@file.txt"},
                    "A key was given but the cipher is None"},
        BadArgsCase{"StandardInputWithoutName", {"-N", "-"}, "- (standard input) is packed only"},
        BadArgsCase{"StandardInputToTest", {"-t", "--name", "a.txt", "-"}, "- (standard input) is packed only"},
        BadArgsCase{"NameWithoutStandardInput", {"--name", "x.txt", "@file.txt"}, "--name is for"},
        BadArgsCase{"NameWithFolder", {"--name", "../x.txt", "-"}, "--name takes a file name"},
        BadArgsCase{"KeyFileWithCipherNone", {"--cipher=none", "--key-file", "k", "@file.txt"},
                    "A key was given but the cipher is None"}),
    test::CaseName());

TEST_F(CliArgsTest, ConsoleSwitchesAndEveryFileInOrder) {
  const CliArgs got = ParseArgs({"-qf", "b.txt", "--key-file", "k.txt", "-o", "out", "--compress",
                                 "always", "--level=0", "--threads", "3", "a.txt", "--", "-N",
                                 "-K:0123456789abcdef", "--help"});
  ASSERT_EQ(got.action, CliAction::Run) << got.error;
  EXPECT_TRUE(got.quiet);
  EXPECT_TRUE(got.force);
  EXPECT_EQ(got.keyFile, "k.txt");
  EXPECT_EQ(got.outputDir, "out");
  EXPECT_EQ(got.compressionMode, CompressionMode::Always);
  EXPECT_EQ(got.compressionLevel, 0);
  EXPECT_EQ(got.threads, 3U);
  // After "--" switches, keys and --help are file names.
  EXPECT_EQ(got.files,
            (std::vector<std::string>{"b.txt", "a.txt", "-N", "-K:0123456789abcdef", "--help"}));
  EXPECT_EQ(got.state.commandLineKey.View(), "");
  EXPECT_EQ(got.cipherIndex, 2);

  const CliArgs other = ParseArgs({"--quiet", "--force", "--passphrase-file=-", "--cipher",
                                   "Rijndael", "--stdout", "-oout", "f.bmp"});
  EXPECT_TRUE(other.quiet && other.force);
  EXPECT_EQ(other.passphraseFile, "-");
  EXPECT_EQ(other.cipherIndex, 3);
  EXPECT_EQ(other.mode, CliMode::Stdout);
  EXPECT_EQ(other.outputDir, "out");
  EXPECT_EQ(ParseArgs({"--key=0123456789abcdef", "-R", "f"}).state.commandLineKey.View(),
            "0123456789ABCDEF");
  // A key with cipher None is fine for unpacking: the carrier says its cipher.
  EXPECT_EQ(ParseArgs({"-N", "-K:0123456789abcdef", "f.BMP"}).action, CliAction::Run);
}

TEST_F(CliArgsTest, VersionUnlessHelp) {
  EXPECT_EQ(ParseArgs({"--version", "-K:1"}).action, CliAction::Version);
  EXPECT_EQ(ParseArgs({"--version", "-h"}).action, CliAction::Help);
  EXPECT_EQ(CliVersion().rfind(std::string("pixeltuck-cli (pixelTuck) ") + kProgramVersion + "\n", 0),
            0U);
}

TEST_F(CliArgsTest, CipherFromSettingsUnlessSwitched) {
  const std::string file = Write("f.txt", "x");
  Settings s;
  s.startupCipher = StartupCipher::Rijndael;
  EXPECT_EQ(ParseArgs({file}, s).cipherIndex, 3);
  EXPECT_EQ(ParseArgs({"-B", file}, s).cipherIndex, 1);
  EXPECT_EQ(ParseArgs({"-N", file, "-T"}, s).cipherIndex, 2);
  s.startupCipher = StartupCipher::None;
  EXPECT_EQ(ParseArgs({file}, s).cipherIndex, 0);
  EXPECT_EQ(ParseArgs({file}, Settings{}).cipherIndex, 2);
}

TEST_F(CliArgsTest, RunStateFromArguments) {
  const CliArgs got = ParseArgs({"-SD", "-k:abcdef0123456789", "a.txt", "b.txt"});
  ASSERT_EQ(got.action, CliAction::Run);
  EXPECT_EQ(got.files, (std::vector<std::string>{"a.txt", "b.txt"}));
  EXPECT_EQ(got.state.commandLineKey.View(), "ABCDEF0123456789");
  EXPECT_TRUE(got.state.debugDump);
  EXPECT_FALSE(got.state.deleteTempFile);
  const CliArgs longForms = ParseArgs({"--show", "--debug", "a.txt"});
  EXPECT_EQ(longForms.action, CliAction::Run);
  EXPECT_TRUE(longForms.state.debugDump);
  EXPECT_FALSE(ParseArgs({"a.txt"}).state.debugDump);
}

std::string ReadText(const std::string& path) {
  std::ifstream in(FsPath(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The long switches a text names ("--cipher", ...); the manual page writes
// its dashes as "\-".
std::set<std::string> LongSwitches(std::string text) {
  for (std::size_t at = text.find("\\-"); at != std::string::npos; at = text.find("\\-", at)) {
    text.erase(at, 1);
  }
  std::set<std::string> found;
  for (std::size_t at = text.find("--"); at != std::string::npos; at = text.find("--", at + 2)) {
    std::size_t end = at + 2;
    while (end < text.size() && (std::islower(static_cast<unsigned char>(text[end])) != 0 ||
                                 (text[end] == '-' && end > at + 2))) {
      ++end;
    }
    if (end > at + 2) found.insert(text.substr(at, end - at));
  }
  return found;
}

TEST(CliUsage, HelpCompletionAndManualPageNameTheSameSwitches) {
  const std::set<std::string> help = LongSwitches(CliUsage());
  for (const char* known : {"--cipher", "--key-file", "--passphrase-file", "--output-dir",
                            "--compress", "--level", "--threads", "--stdout", "--test", "--list"}) {
    EXPECT_EQ(help.count(known), 1U) << known;
  }
  EXPECT_EQ(LongSwitches(ReadText(PT_CLI_COMPLETION)), help);
  EXPECT_EQ(LongSwitches(ReadText(PT_CLI_MANPAGE)), help);
}

TEST(WindowConfigurationFile, WindowProgramsFileInThisFolder) {
  EXPECT_EQ(WindowConfigurationFile("/opt/pt/pixeltuck-cli"), "/opt/pt/pixeltuck.cfg");
  EXPECT_EQ(WindowConfigurationFile("/pixeltuck-cli"), "/pixeltuck.cfg");
  EXPECT_EQ(WindowConfigurationFile("pixeltuck-cli"), "pixeltuck.cfg");
  EXPECT_EQ(WindowConfigurationFile(""), "");
}

// ---------------------------------------------------------------------------
// Wildcards, which the Windows command prompt leaves to the program

struct MatchCase {
  const char* name;
  const char* pattern;
  const char* file;
  bool matches;
};

void PrintTo(const MatchCase& c, std::ostream* os) { *os << c.name; }

class WildcardMatchTest : public ::testing::TestWithParam<MatchCase> {};

TEST_P(WildcardMatchTest, AsTheCommandPromptMeansIt) {
  EXPECT_EQ(WildcardMatch(GetParam().pattern, GetParam().file), GetParam().matches)
      << GetParam().pattern << " / " << GetParam().file;
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, WildcardMatchTest,
    ::testing::Values(
        MatchCase{"StarTakesAnyRun", "*.bmp", "holiday photo.bmp", true},
        MatchCase{"StarTakesNothing", "photo*.bmp", "photo.bmp", true},
        MatchCase{"StarBacksUpWhenTheRestFails", "*.txt", "a.txt.txt", true},
        MatchCase{"ExtensionMustEndTheName", "*.bmp", "photo.bmpx", false},
        MatchCase{"QuestionMarkIsOneCharacter", "a?c", "abc", true},
        MatchCase{"QuestionMarkIsNotNothing", "a?c", "ac", false},
        MatchCase{"QuestionMarkIsACharacterNotAByte", "caf?.txt", "café.txt", true},
        MatchCase{"TwoQuestionMarksAreTwoCharacters", "caf??.txt", "café.txt", false},
        MatchCase{"CaseDoesNotCount", "*.BMP", "Photo.bmp", true},
        MatchCase{"OtherLettersCount", "report.doc", "report.dot", false},
        MatchCase{"StarDotStarTakesNamesWithoutDot", "*.*", "README", true},
        MatchCase{"NameDotStarTakesTheBareName", "notes.*", "notes", true}),
    [](const auto& c) { return std::string(c.param.name); });

struct ExpandCase {
  const char* name;
  std::vector<std::string> args;      // "@name": in the test folder
  std::vector<std::string> files;     // the same
  std::string unmatched;              // the same
};

void PrintTo(const ExpandCase& c, std::ostream* os) { *os << c.name; }

class ExpandWildcardsTest : public test::TempDirTest,
                            public ::testing::WithParamInterface<ExpandCase> {};

TEST_P(ExpandWildcardsTest, MatchesAreFilesOfTheFolderInOrder) {
  for (const char* name : {"b.bmp", "A.bmp", "c.BMP", "notes.txt", "x.bmpx", ".hidden.bmp"}) {
    Write(name, "x");
  }
  fs::create_directory(dir_ / "folder.bmp");
  const auto inFolder = [this](const std::vector<std::string>& names) {
    std::vector<std::string> paths;
    for (const std::string& n : names) paths.push_back(n[0] == '@' ? PathOf(n.substr(1)) : n);
    return paths;
  };
  const ExpandedFiles got = ExpandWildcards(inFolder(GetParam().args));
  EXPECT_EQ(got.files, inFolder(GetParam().files));
  EXPECT_EQ(got.unmatched, GetParam().unmatched.empty() ? "" : PathOf(GetParam().unmatched));
}

INSTANTIATE_TEST_SUITE_P(
    Args, ExpandWildcardsTest,
    ::testing::Values(
        // Folders, hidden names (the jobs' partial files) and "x.bmpx" are
        // not carriers of *.bmp; the order ignores case.
        ExpandCase{"EachMatchingFileSorted", {"@*.bmp"}, {"@A.bmp", "@b.bmp", "@c.BMP"}, ""},
        ExpandCase{"PatternsAndPlainNamesKeepTheirPlaces",
                   {"@notes.*", "-", "@missing.txt", "@?.bmp"},
                   {"@notes.txt", "-", "@missing.txt", "@A.bmp", "@b.bmp", "@c.BMP"}, ""},
        ExpandCase{"APatternWithoutMatchIsNamed", {"@*.txt", "@*.zip", "@*.gz"}, {"@notes.txt"},
                   "*.zip"}),
    [](const auto& c) { return std::string(c.param.name); });

#ifndef _WIN32
TEST_F(CliArgsTest, ANameThatExistsAsWrittenIsNoPattern) {
  const std::string literal = Write("what?.txt", "x");
  Write("whatx.txt", "x");
  EXPECT_EQ(ExpandWildcards({literal}).files, std::vector<std::string>{literal});
}
#endif

// ---------------------------------------------------------------------------
// The console window

TEST(CliUi, LogLinesGoToStandardOutput) {
  std::ostringstream out, err;
  FakeTerminal term(false);
  CliUi ui(out, err, term, KeyMode::Ascii);
  ui.ClearLog();
  ui.AddLogLine("Try to encode file:");
  ui.AddLogLine("");
  ui.AddLogLine("-> \"a.txt\"");
  EXPECT_EQ(out.str(), "Try to encode file:\n\n-> \"a.txt\"\n");
  EXPECT_EQ(err.str(), "");
}

struct AnswerCase : test::NamedCase {
  bool interactive;
  MsgButtons buttons;
  std::deque<std::optional<std::string>> lines;
  MsgAnswer answer;
};

class CliUiQuestionTest : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(CliUiQuestionTest, Answers) {
  std::ostringstream out, err;
  FakeTerminal term(GetParam().interactive, GetParam().lines);
  CliUi ui(out, err, term, KeyMode::Ascii);
  EXPECT_EQ(ui.ShowMessage(MsgKind::Warning, "Question text", GetParam().buttons),
            GetParam().answer);
  EXPECT_EQ(err.str().rfind("Question text\n", 0), 0U) << err.str();
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(term.Unread(), 0U);
  if (!GetParam().interactive) {
    EXPECT_TRUE(term.prompts.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, CliUiQuestionTest,
    ::testing::Values(
        AnswerCase{"OkBox", true, MsgButtons::Ok, {}, MsgAnswer::Ok},
        AnswerCase{"OkBoxNoTerminal", false, MsgButtons::Ok, {}, MsgAnswer::Ok},
        AnswerCase{"OkAbortNoTerminal", false, MsgButtons::OkAbort, {}, MsgAnswer::Abort},
        AnswerCase{"YesNoCancelNoTerminal", false, MsgButtons::YesNoCancel, {},
                   MsgAnswer::Cancel},
        AnswerCase{"OkAbortOk", true, MsgButtons::OkAbort, {"o"}, MsgAnswer::Ok},
        AnswerCase{"OkAbortAbortAfterNonsense", true, MsgButtons::OkAbort, {"x", "", "ABORT"},
                   MsgAnswer::Abort},
        AnswerCase{"OkAbortEndOfInput", true, MsgButtons::OkAbort, {}, MsgAnswer::Abort},
        AnswerCase{"Yes", true, MsgButtons::YesNoCancel, {"Y"}, MsgAnswer::Yes},
        AnswerCase{"No", true, MsgButtons::YesNoCancel, {"no"}, MsgAnswer::No},
        AnswerCase{"Cancel", true, MsgButtons::YesNoCancel, {"maybe", "c"}, MsgAnswer::Cancel},
        AnswerCase{"YesNoCancelEndOfInput", true, MsgButtons::YesNoCancel, {std::nullopt},
                   MsgAnswer::Cancel},
        // The question whether an existing file may be replaced.
        AnswerCase{"ReplaceYes", true, MsgButtons::YesNo, {"c", "yes"}, MsgAnswer::Yes},
        AnswerCase{"ReplaceNo", true, MsgButtons::YesNo, {"N"}, MsgAnswer::No},
        AnswerCase{"ReplaceEndOfInput", true, MsgButtons::YesNo, {}, MsgAnswer::No},
        AnswerCase{"ReplaceNoTerminal", false, MsgButtons::YesNo, {}, MsgAnswer::No}),
    test::CaseName());

TEST(CliUi, ReplaceWithoutTerminalNamesForce) {
  std::ostringstream out, err;
  FakeTerminal term(false);
  CliUi ui(out, err, term, KeyMode::Ascii);
  EXPECT_EQ(ui.AskReplace("Replace it?"), MsgAnswer::No);
  EXPECT_EQ(err.str(), "Replace it?\n"s + kReplaceRefusedMessage + "\n");
}

TEST(CliUi, ForceAnswersOnlyTheReplaceQuestion) {
  for (bool interactive : {false, true}) {
    std::ostringstream out, err;
    FakeTerminal term(interactive, {"n"});
    CliUi ui(out, err, term, KeyMode::Ascii, CliOptions{false, true});
    EXPECT_EQ(ui.AskReplace("Replace it?"), MsgAnswer::Yes);
    EXPECT_TRUE(term.prompts.empty());
    EXPECT_EQ(out.str(), kReplacedByForce + "\n"s);
    EXPECT_EQ(err.str(), "");
    // Any other Yes/No question is still asked.
    EXPECT_EQ(ui.ShowMessage(MsgKind::Confirmation, "Other?", MsgButtons::YesNo), MsgAnswer::No);
    EXPECT_EQ(term.prompts.size(), interactive ? 1U : 0U);
  }
}

TEST(CliUi, QuietKeepsMessagesOnly) {
  std::ostringstream out, err;
  FakeTerminal term(false);
  term.errorTerminal = true;
  CliUi ui(out, err, term, KeyMode::Ascii, CliOptions{true, false});
  ui.AddLogLine("Try to encode file:");
  ui.Working(JobPhase::Writing, 1, 2);
  ui.Progress().SetVisible(true);
  ui.Progress().SetPosition(50);
  ui.ShowMessage(MsgKind::Error, "Error while writing target file", MsgButtons::Ok);
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(err.str(), "Error while writing target file\n");
}

struct EscapeCase : test::NamedCase {
  std::string text;
  std::string logLine;  // as a log line
  std::string message;  // as a message text
};

class EscapeControlsTest : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(EscapeControlsTest, ControlsCannotReachTheTerminal) {
  EXPECT_EQ(EscapeControls(GetParam().text, false), GetParam().logLine);
  EXPECT_EQ(EscapeControls(GetParam().text, true), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, EscapeControlsTest,
    ::testing::Values(
        EscapeCase{"Plain", "-> \"caf\xc3\xa9 \xe2\x82\xac.txt\"", "-> \"caf\xc3\xa9 \xe2\x82\xac.txt\"",
                   "-> \"caf\xc3\xa9 \xe2\x82\xac.txt\""},
        EscapeCase{"TitleAndBell", "a\x1b]0;pwned\x07" "b", "a\\x1b]0;pwned\\x07b",
                   "a\\x1b]0;pwned\\x07b"},
        EscapeCase{"ClearScreen", "\x1b[2J\x1b[H\x7f\r", "\\x1b[2J\\x1b[H\\x7f\\x0d",
                   "\\x1b[2J\\x1b[H\\x7f\\x0d"},
        EscapeCase{"LayoutKeptInMessages", "Error\n\tname\0"s, "Error\\x0a\\x09name\\x00",
                   "Error\n\tname\\x00"},
        // U+009B is a control sequence introducer in UTF-8 terminals, 0x9B in
        // 8-bit ones; a byte that is no UTF-8 is shown as a number.
        EscapeCase{"C1Controls", "x\xc2\x9b" "2Jy\xc2\xa0", "x\\u009b2Jy\xc2\xa0",
                   "x\\u009b2Jy\xc2\xa0"},
        EscapeCase{"NotUtf8", "\x9b" "2J\xe9t\xe9\xed\xa0\x80\xc3",
                   "\\x9b2J\\xe9t\\xe9\\xed\\xa0\\x80\\xc3",
                   "\\x9b2J\\xe9t\\xe9\\xed\\xa0\\x80\\xc3"}),
    test::CaseName());

TEST(CliUi, LogLinesAndMessagesAreEscaped) {
  std::ostringstream out, err;
  FakeTerminal term(false);
  CliUi ui(out, err, term, KeyMode::Ascii);
  ui.AddLogLine("-> \"\x1b[2Jevil.txt\"");
  ui.ShowMessage(MsgKind::Error, "Cannot open\n\x1b]0;x\x07", MsgButtons::Ok);
  EXPECT_EQ(out.str(), "-> \"\\x1b[2Jevil.txt\"\n");
  EXPECT_EQ(err.str(), "Cannot open\n\\x1b]0;x\\x07\n");
}

TEST(CliUi, KeyWithoutTerminalIsRefusedWithAHint) {
  std::ostringstream out, err;
  FakeTerminal term(false, {"0123456789abcdef"});
  CliUi ui(out, err, term, KeyMode::Ascii);
  const KeyReply reply = ui.RequestKey(KeyRequest{false, true});
  EXPECT_FALSE(reply.ok);
  EXPECT_NE(err.str().find("-K:"), std::string::npos) << err.str();
  EXPECT_TRUE(term.prompts.empty());
}

struct KeyCase : test::NamedCase {
  KeyMode keyMode;
  bool maskInput;
  std::deque<std::optional<std::string>> lines;
  struct {
    bool ok;
    bool hexMode;
    std::string text;
  } reply;
  std::vector<std::string> errors;  // lines on standard error, in order
};

class CliUiKeyTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(CliUiKeyTest, AsksByTheKeyRules) {
  std::ostringstream out, err;
  FakeTerminal term(true, GetParam().lines);
  CliUi ui(out, err, term, GetParam().keyMode);
  const KeyReply got = ui.RequestKey(KeyRequest{GetParam().maskInput, true});
  EXPECT_EQ(got.ok, GetParam().reply.ok);
  EXPECT_EQ(got.hexMode, GetParam().reply.hexMode);
  EXPECT_EQ(got.text.View(), GetParam().reply.text);
  std::string expectedErr;
  for (const auto& e : GetParam().errors) expectedErr += e + "\n";
  EXPECT_EQ(err.str(), expectedErr);
  EXPECT_EQ(term.Unread(), 0U);
  for (bool hidden : term.hiddenReads) EXPECT_TRUE(hidden);  // keys are never echoed
}

TEST(CliUi, KeyForANewCarrierIsTypedTwiceInEitherMode) {
  for (KeyMode keyMode : {KeyMode::Ascii, KeyMode::Hex}) {
    const std::string key = keyMode == KeyMode::Hex ? "00112233445566aa" : "my secret";
    const std::string typo = keyMode == KeyMode::Hex ? "00112233445566ab" : "my secreT";
    std::ostringstream out, err;
    FakeTerminal term(true, {key, typo, key, key});
    CliUi ui(out, err, term, keyMode);
    const KeyReply reply = ui.RequestKey(KeyRequest{false, true, /*newCarrier=*/true});
    EXPECT_TRUE(reply.ok);
    EXPECT_EQ(reply.text.View(), key);
    EXPECT_EQ(term.prompts.size(), 4U);
    EXPECT_EQ(err.str(), "Passwords are not identical !!!\nPlease try again ...\n");
  }
}

TEST(CliUi, TypedKeyBecomesWindows1252Bytes) {
  std::ostringstream out, err;
  // "äöüßäöüß€" in UTF-8, then the same letters with one outside Windows-1252 (ł).
  FakeTerminal term(true, {"\xc3\xa4\xc3\xb6\xc5\x82\xc3\x9f\xc3\xa4\xc3\xb6\xc3\xbc\xc3\x9f",
                           "\xc3\xa4\xc3\xb6\xc3\xbc\xc3\x9f\xc3\xa4\xc3\xb6\xc3\xbc\xc3\x9f\xe2\x82\xac"});
  CliUi ui(out, err, term, KeyMode::Ascii);
  const KeyReply reply = ui.RequestKey(KeyRequest{false, true});
  ASSERT_TRUE(reply.ok);
  EXPECT_EQ(reply.text.View(), "\xe4\xf6\xfc\xdf\xe4\xf6\xfc\xdf\x80");
  EXPECT_NE(err.str().find("Windows-1252"), std::string::npos) << err.str();
}

const std::string kAsciiLength = "Password is smaller than 8 or larger than 32 characters (";
const std::string kRetry = ") !!!\nPlease try again ...";

// GCC 12 at -O2 wrongly reports the strings of these aggregate temporaries
// as maybe uninitialized.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
INSTANTIATE_TEST_SUITE_P(
    Keys, CliUiKeyTest,
    ::testing::Values(
        KeyCase{"Ascii", KeyMode::Ascii, false, {"my secret"}, {true, false, "my secret"}, {}},
        KeyCase{"NeitherModeMeansAscii", KeyMode::Neither, false, {"my secret"},
                {true, false, "my secret"}, {}},
        KeyCase{"AsciiTooShortThenGood", KeyMode::Ascii, false, {"short", "long enough"},
                {true, false, "long enough"}, {kAsciiLength + "5" + kRetry}},
        KeyCase{"AsciiTwiceWhenHidden", KeyMode::Ascii, true, {"password1", "password1"},
                {true, false, "password1"}, {}},
        KeyCase{"MismatchBeforeLength", KeyMode::Ascii, true, {"short", "other", "password1", "password1"},
                {true, false, "password1"},
                {"Passwords are not identical !!!\nPlease try again ..."}},
        KeyCase{"Hex", KeyMode::Hex, false, {"00112233445566aa"}, {true, true, "00112233445566aa"}, {}},
        // Hex mode never asks twice, whatever hidePassword says.
        KeyCase{"HexNeverTwice", KeyMode::Hex, true, {"00112233445566aa"}, {true, true, "00112233445566aa"},
                {}},
        KeyCase{"HexRejections", KeyMode::Hex, false,
                {"0011", "00112233445566778", "00112233445566gg", "0011223344556677"},
                {true, true, "0011223344556677"},
                {"Password is smaller than 16 or larger than 64 characters (4" + kRetry,
                 "HEX Values must be a couple of two-byte-pairs !!!\nPlease try again ...",
                 "Password contains non HEX characters"}},
        KeyCase{"EndOfInputCancels", KeyMode::Ascii, false, {}, {false, false, ""}, {}},
        KeyCase{"EndOfInputAtReentryCancels", KeyMode::Ascii, true, {"password1", std::nullopt},
                {false, false, ""}, {}},
        KeyCase{"EndOfInputAfterRejection", KeyMode::Hex, false, {"12"}, {false, false, ""},
                {"Password is smaller than 16 or larger than 64 characters (2" + kRetry}}),
    test::CaseName());
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

TEST(CliProgress, PercentOnlyOnATerminal) {
  std::ostringstream err;
  CliProgress on(err, true);
  on.SetVisible(true);
  on.SetPosition(5);
  on.SetPosition(5);  // unchanged: not shown again
  on.SetPosition(100);
  EXPECT_EQ(on.Position(), 100);
  on.SetVisible(false);
  EXPECT_EQ(err.str(), "\r  5 %\r100 %\r     \r");

  std::ostringstream quiet;
  CliProgress off(quiet, false);
  off.SetVisible(true);
  off.SetPosition(50);
  off.SetVisible(false);
  EXPECT_EQ(off.Position(), 50);
  EXPECT_EQ(quiet.str(), "");
}

TEST(CliProgress, PhaseLineWithRateAndTimeLeftClearedAtItsEnd) {
  std::ostringstream err;
  double now = 100.0;
  CliProgress p(err, true, [&now] { return now; });
  p.SetVisible(true);
  const std::int64_t mib = 1024 * 1024;
  p.Working(JobPhase::Compressing, 0, 10 * mib);
  p.SetPosition(3);  // the phase line stands for the percentage
  now += 1.0;
  p.Working(JobPhase::Compressing, 2 * mib, 10 * mib);
  now += 0.1;
  p.Working(JobPhase::Compressing, 2 * mib, 10 * mib);  // unchanged: not drawn again
  now += 1.0;
  p.Working(JobPhase::Compressing, 10 * mib, 10 * mib);  // the phase ends
  p.Working(JobPhase::Writing, 5 * mib, 20 * mib);    // too early for a rate
  p.SetVisible(false);
  const std::string first = "Compressing     0 %";
  const std::string second = "Compressing    20 %  2.0 MiB/s  00:00:04 left";
  const std::string third = "Writing        25 %";
  EXPECT_EQ(err.str(), "\r" + first + "\r" + second + "\r" + std::string(second.size(), ' ') +
                           "\r" + "\r" + third + "\r" + std::string(third.size(), ' ') + "\r");

  std::ostringstream pipe;
  CliProgress off(pipe, false, [&now] { return now; });
  off.Working(JobPhase::Writing, 1, 2);
  EXPECT_EQ(pipe.str(), "");
}

TEST(CliProgress, LineFitsTheTerminalWidth) {
  const std::int64_t mib = 1024 * 1024;
  struct Case {
    int columns;
    std::string line;
  };
  for (const Case& c : std::vector<Case>{
           {80, "Compressing    20 %  2.0 MiB/s  00:00:04 left"},
           {40, "Compressing    20 %  2.0 MiB/s"},
           {25, "Compressing    20 %"},
           {12, "Compressing"},
           {0, "Compressing    20 %  2.0 MiB/s  00:00:04 left"}}) {
    std::ostringstream err;
    double now = 0.0;
    CliProgress p(err, true, [&now] { return now; }, [&c] { return c.columns; });
    p.Working(JobPhase::Compressing, 0, 10 * mib);
    err.str("");
    now += 1.0;
    p.Working(JobPhase::Compressing, 2 * mib, 10 * mib);
    EXPECT_EQ(err.str(), "\r" + c.line) << c.columns;
  }
}

TEST(CliUi, LogLineClearsProgressFirst) {
  std::ostringstream out, err;
  FakeTerminal term(false);
  term.errorTerminal = true;
  CliUi ui(out, err, term, KeyMode::Ascii);
  ui.Progress().SetVisible(true);
  ui.Progress().SetPosition(40);
  ui.AddLogLine("line");
  EXPECT_EQ(err.str(), "\r 40 %\r     \r");
  EXPECT_EQ(out.str(), "line\n");
}

// The console terminal reads standard input; here that is a string.
class ConsoleInput : public ::testing::Test {
 protected:
  void Feed(const std::string& text) {
    input_.str(text);
    oldErr_ = std::cerr.rdbuf(prompts_.rdbuf());
  }
  void TearDown() override {
    if (oldErr_ != nullptr) std::cerr.rdbuf(oldErr_);
  }
  std::istringstream input_;
  std::ostringstream prompts_;
  std::streambuf* oldErr_ = nullptr;
};

TEST_F(ConsoleInput, ReadsLinesBoundedAndWithoutLineEnds) {
  const std::string longLine(kMaxInputLine + 500, 'x');
  Feed("first\r\nsecond\n\n" + longLine + "\nlast");
  ConsoleTerminal term(input_);
  EXPECT_EQ(term.ReadLine("P1: ", false), "first");
  EXPECT_EQ(term.ReadLine("P2: ", false), "second");
  EXPECT_EQ(term.ReadLine("P3: ", false), "");
  EXPECT_EQ(term.ReadLine("P4: ", false), std::string(kMaxInputLine, 'x'));
  EXPECT_EQ(term.ReadLine("P5: ", false), "last");  // no line end before the end
  EXPECT_EQ(term.ReadLine("P6: ", false), std::nullopt);
  EXPECT_EQ(prompts_.str(), "P1: P2: P3: P4: P5: P6: ");
}

// ---------------------------------------------------------------------------
// Key file

class KeyFileTest : public test::TempDirTest {};

// The key a key file gave, as text to compare.
std::optional<std::string> Text(const std::optional<KeyText>& key) {
  if (!key) return std::nullopt;
  return std::string(key->View());
}

TEST_F(KeyFileTest, FirstLineByTheKeyRules) {
  FakeTerminal term(false);
  struct Case {
    std::string content;
    std::optional<std::string> key;
  };
  for (const Case& c : std::vector<Case>{
           {"00112233445566778899aabbccddeeff\n", "00112233445566778899AABBCCDDEEFF"},
           {"  0011223344556677 \r\nsecond line\n", "0011223344556677"},
           {"0011223344556677", "0011223344556677"},
           {"\n0011223344556677\n", std::nullopt},  // the first line counts
           {"0011 2233 4455 6677\n", std::nullopt},
           {"001122334455667\n", std::nullopt},
           {"", std::nullopt}}) {
    const KeyFileResult r = ReadKeyFile(Write("key.txt", c.content), term);
    EXPECT_EQ(Text(r.key), c.key) << c.content;
    if (!c.key) {
      EXPECT_NE(r.error.find("16 to 64 hexadecimal digits"), std::string::npos);
    }
  }
  fs::create_directory(dir_ / "folder");
  EXPECT_EQ(ReadKeyFile(PathOf("folder"), term).error, "The key file " + PathOf("folder") + " is a folder");
  EXPECT_EQ(ReadKeyFile(PathOf("missing"), term).error.rfind("Cannot open the key file", 0), 0U);
}

struct KeyFileCase : test::NamedCase {
  std::string content;
  bool passphrase;
  std::optional<std::string> key;
  std::string error;  // part of the reason when there is no key
};

class KeyFileEncodingTest : public test::TempDirTest,
                            public ::testing::WithParamInterface<KeyFileCase> {};

TEST_P(KeyFileEncodingTest, AsEditorsWriteThem) {
  FakeTerminal term(false);
  const KeyFileResult r = ReadKeyFile(Write("key.txt", GetParam().content), term, GetParam().passphrase);
  EXPECT_EQ(Text(r.key), GetParam().key);
  EXPECT_NE(r.error.find(GetParam().error), std::string::npos) << r.error;
}

// "my secret" as key bytes in hex.
const std::string kMySecretHex = "6D7920736563726574";

INSTANTIATE_TEST_SUITE_P(
    Files, KeyFileEncodingTest,
    ::testing::Values(
        KeyFileCase{"Utf8BomAndCrLf", "\xEF\xBB\xBF" "0011223344556677\r\n", false, "0011223344556677", ""},
        KeyFileCase{"Utf16LittleEndian", "\xFF\xFE" "0\0" "0\0" "1\0" "1\0" "2\0" "2\0" "3\0" "3\0"
                    "4\0" "4\0" "5\0" "5\0" "6\0" "6\0" "7\0" "7\0" "\r\0\n\0" "x\0"s,
                    false, "0011223344556677", ""},
        KeyFileCase{"Utf16BigEndianPassphrase", "\xFE\xFF" "\0m\0y\0 \0s\0e\0c\0r\0e\0t"s, true,
                    kMySecretHex, ""},
        KeyFileCase{"Utf32", "\xFF\xFE\0\0" "0\0\0\0"s, false, std::nullopt, "UTF-32"},
        KeyFileCase{"Utf16WithoutMark", "0\0" "0\0" "1\0"s, false, std::nullopt,
                    "UTF-16 text needs a byte order mark"},
        KeyFileCase{"Passphrase", "  my secret\r\nsecond line", true, kMySecretHex, ""},
        KeyFileCase{"PassphraseWithBom", "\xEF\xBB\xBFmy secret\n", true, kMySecretHex, ""},
        // One Windows-1252 byte per character, as when it is typed.
        KeyFileCase{"PassphraseBeyondAscii", "caf\xC3\xA9 au lait\n", true, "636166E9206175206C616974", ""},
        KeyFileCase{"PassphraseTooShort", "seven77\n", true, std::nullopt, "(7)"},
        KeyFileCase{"PassphraseTooLong", std::string(33, 'p'), true, std::nullopt, "(33)"}),
    test::CaseName());

TEST_F(KeyFileTest, StandardInputOnATerminalIsReadWithoutEcho) {
  FakeTerminal term(true, {"0011223344556677"});
  EXPECT_EQ(Text(ReadKeyFile("-", term).key), "0011223344556677");
  EXPECT_EQ(term.hiddenReads, std::vector<bool>{true});
}

TEST(CliMain, KeyDigitsLeaveTheProcessList) {
  char program[] = "pixeltuck-cli";
  char key[] = "-K:00112233445566778899aabbccddeeff";
  char help[] = "--help";
  char end[] = "--";
  char longKey[] = "--key";
  char longDigits[] = "00112233445566778899";
  char joined[] = "--key=0011223344556677";
  char file[] = "-k:0011223344556677";
  char* argv[] = {program, key, longKey, longDigits, joined, help, end, file, nullptr};
  std::ostringstream quiet;
  std::streambuf* old = std::cout.rdbuf(quiet.rdbuf());
  EXPECT_EQ(CliMain(8, argv), 0);
  std::cout.rdbuf(old);
  EXPECT_EQ(std::string(key, sizeof key - 1), "-K:" + std::string(sizeof key - 4, '\0'));
  EXPECT_EQ(std::string(longDigits, sizeof longDigits - 1), std::string(sizeof longDigits - 1, '\0'));
  EXPECT_EQ(std::string(joined, sizeof joined - 1), "--key=" + std::string(sizeof joined - 7, '\0'));
  // After "--" it is a file name, left as it is.
  EXPECT_STREQ(file, "-k:0011223344556677");
}

// ---------------------------------------------------------------------------
// Whole runs through the library

class RunCliTest : public test::TempDirTest {
 protected:
  struct Result {
    int status;
    std::string out;
    std::string err;
  };
  Result RunWith(const std::vector<std::string>& args, FakeTerminal& term,
                 const std::string& configPath = "") {
    std::ostringstream out, err;
    CliEnvironment env{out, err, term, configPath, expandWildcards};
    const int status = RunCli(args, env);
    return {status, out.str(), err.str()};
  }
  Result RunWith(const std::vector<std::string>& args, const std::string& configPath = "") {
    FakeTerminal term(false);
    return RunWith(args, term, configPath);
  }

  bool expandWildcards = false;
};

TEST_F(RunCliTest, HelpPrintsUsage) {
  const Result r = RunWith({"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, CliUsage());
  EXPECT_NE(r.out.find("Usage:"), std::string::npos);
  EXPECT_EQ(r.err, "");
}

TEST_F(RunCliTest, UnusableArgumentsExitTwo) {
  const std::string file = Write("f.txt", "x");
  for (const auto& args : std::vector<std::vector<std::string>>{
           {}, {"-K:12", file}, {PathOf("none.txt")}, {"--key-file", PathOf("none"), file}}) {
    const Result r = RunWith(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("pixeltuck-cli: ", 0), 0U) << r.err;
  }
  EXPECT_EQ(Read(file), "x");
  EXPECT_FALSE(fs::exists(PathOf("f.bmp")));
}

TEST_F(RunCliTest, PackAndUnpackWithoutCipher) {
  const std::string content = "some bytes\0\r\n\xff of a file"s;
  const std::string file = Write("notes.txt", content);
  Result r = RunWith({"-N", file});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Ready in (hh:mm:ss) = "), std::string::npos) << r.out;
  ASSERT_TRUE(fs::exists(PathOf("notes.bmp")));

  fs::remove(file);
  r = RunWith({PathOf("notes.bmp")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Read(file), content);
}

struct RefusedCase : test::NamedCase {
  std::vector<std::string> args;  // "@name": a file in the test folder
  std::string error;              // part of standard error
  bool startupCipherNone = false;
};

class RunCliRefusedTest : public RunCliTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RunCliRefusedTest, ExitTwoAndNothingWritten) {
  Write("doc.txt", "edited text");
  Write("key.hex", "00112233445566778899aabbccddeeff\n");
  Write("short.txt", "seven77\n");
  fs::create_directory(dir_ / "folder");
  const std::string cfg = Write("pixeltuck.cfg", GetParam().startupCipherNone ? "0" : "2");
  std::vector<std::string> args;
  for (const std::string& a : GetParam().args) args.push_back(a[0] == '@' ? PathOf(a.substr(1)) : a);
  std::vector<fs::path> before;
  for (const auto& e : fs::recursive_directory_iterator(dir_)) before.push_back(e.path());

  const Result r = RunWith(args, cfg);
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find(GetParam().error), std::string::npos) << r.err;
  std::vector<fs::path> after;
  for (const auto& e : fs::recursive_directory_iterator(dir_)) after.push_back(e.path());
  std::sort(before.begin(), before.end());
  std::sort(after.begin(), after.end());
  EXPECT_EQ(after, before);
  EXPECT_EQ(Read(PathOf("doc.txt")), "edited text");
}

INSTANTIATE_TEST_SUITE_P(
    Args, RunCliRefusedTest,
    ::testing::Values(
        // -o was ignored once, and doc.bmp unpacked over the edited doc.txt.
        RefusedCase{"OutputFolderThatIsAFile", {"-q", "-f", "-N", "-o", "@doc.txt", "@doc.txt"},
                    "does not exist or is no folder"},
        RefusedCase{"UnknownSwitch", {"-q", "-f", "-N", "-x", "@doc.txt"}, "unknown switch -x"},
        RefusedCase{"Folder", {"-N", "@folder"}, "folder is a folder, not a file"},
        RefusedCase{"KeyFileWithStartupCipherNone", {"--key-file", "@key.hex", "@doc.txt"},
                    "the cipher is None", true},
        RefusedCase{"TestNeedsACarrier", {"-t", "@doc.txt"}, "is no .bmp carrier"},
        RefusedCase{"ShortPassphrase", {"-T", "--passphrase-file", "@short.txt", "@doc.txt"},
                    "No valid key in the key file"}),
    test::CaseName());

TEST_F(RunCliTest, NoOutputIsWrittenTwiceInOneCall) {
  const std::string doc = Write("report.doc", "the doc");
  const std::string txt = Write("report.txt", "the txt");
  ASSERT_EQ(RunWith({"-N", doc}).status, 0);
  const std::string fromDoc = Read(PathOf("report.bmp"));
  fs::remove(PathOf("report.bmp"));

  const Result r = RunWith({"-qfN", doc, txt});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(txt + ": " + PathOf("report.bmp") + " was written from " + doc),
            std::string::npos) << r.err;
  EXPECT_EQ(Read(PathOf("report.bmp")), fromDoc);
  // A later call may replace it as asked.
  EXPECT_EQ(RunWith({"-qfN", txt}).status, 0);
  EXPECT_NE(Read(PathOf("report.bmp")), fromDoc);
}

TEST_F(RunCliTest, CompressionSwitchesOverrideTheSettings) {
  const std::string cfg = Write("pixeltuck.cfg", "0 0 -1");  // never compress
  const std::string file = Write("doc.txt", std::string(20000, 'z'));
  struct Case {
    std::vector<std::string> args;
    bool compressed;
  };
  for (const Case& c : std::vector<Case>{{{}, false},
                                         {{"--compress", "always"}, true},
                                         {{"--compress=sensibly", "--level", "0"}, false},
                                         {{"--compress=sensibly", "--level", "9"}, true}}) {
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"-qf", file});
    ASSERT_EQ(RunWith(args, cfg).status, 0);
    const Result list = RunWith({"-l", PathOf("doc.bmp")});
    EXPECT_NE(list.out.find(c.compressed ? " yes " : " no "), std::string::npos)
        << c.args.size() << list.out;
  }
}

TEST_F(RunCliTest, OutputFolderTakesCarriersAndRestoredFiles) {
  const std::string file = Write("doc.txt", std::string(5000, 'o'));
  fs::create_directory(dir_ / "packed");
  fs::create_directory(dir_ / "restored");
  ASSERT_EQ(RunWith({"-N", "-o", PathOf("packed"), file}).status, 0);
  EXPECT_FALSE(fs::exists(PathOf("doc.bmp")));
  ASSERT_TRUE(fs::exists(PathOf("packed/doc.bmp")));
  const Result r = RunWith({"--output-dir=" + PathOf("restored"), PathOf("packed/doc.bmp")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Read(PathOf("restored/doc.txt")), std::string(5000, 'o'));
  EXPECT_FALSE(fs::exists(PathOf("packed/doc.txt")));
}

// A carrier of `content`, and the same carrier with one payload byte changed.
class CarrierCheckTest : public RunCliTest {
 protected:
  void SetUp() override {
    RunCliTest::SetUp();
    Write("doc.txt", content_);
    ASSERT_EQ(RunWith({"-R", kKey, "--compress=never", PathOf("doc.txt")}).status, 0);
    fs::remove(PathOf("doc.txt"));
    std::string bytes = Read(PathOf("doc.bmp"));
    bytes[kLeadingBytes + 100] = static_cast<char>(bytes[kLeadingBytes + 100] ^ 1);
    Write("bad.bmp", bytes);
  }
  const std::string content_ = std::string(3000, 'c') + "end";
  const std::string kKey = "-K:00112233445566778899aabbccddeeff";
};

TEST_F(CarrierCheckTest, TestChecksWithoutWriting) {
  const Result r = RunWith({"-t", kKey, PathOf("doc.bmp"), PathOf("bad.bmp")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, PathOf("doc.bmp") + ": OK\n" + PathOf("bad.bmp") + ": FAILED\n");
  EXPECT_FALSE(fs::exists(PathOf("doc.txt")));
  EXPECT_EQ(RunWith({"--test", kKey, PathOf("doc.bmp")}).status, 0);
}

TEST_F(CarrierCheckTest, StdoutGivesTheBytesOnlyAndFailsOnABadCheck) {
  Result r = RunWith({"-c", kKey, PathOf("doc.bmp")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, content_);
  EXPECT_NE(r.err.find("Ready in"), std::string::npos);  // the log
  EXPECT_FALSE(fs::exists(PathOf("doc.txt")));
  r = RunWith({"--stdout", kKey, PathOf("bad.bmp")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("a checksum did not match"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(PathOf("doc.txt")));
}

TEST_F(CarrierCheckTest, ListShowsHeadersWithoutAKey) {
  const Result r = RunWith({"-l", PathOf("doc.bmp"), PathOf("doc.txt")});
  EXPECT_EQ(r.status, 2);  // doc.txt is gone
  const std::string header = r.out.substr(0, r.out.find('\n'));
  EXPECT_NE(header.find("name"), std::string::npos);
  const std::string row = r.out.substr(header.size() + 1);
  for (const char* field : {"3003", "rijndael", "0.4", "doc.txt", "no"}) {
    EXPECT_NE(row.find(field), std::string::npos) << field << " in " << row;
  }
}

TEST_F(RunCliTest, EveryFileIsAJobOfItsOwnWithTheSameKey) {
  const std::string a = Write("a.txt", "first file");
  const std::string b = Write("b.txt", "second file");
  const std::string junk = Write("junk.bmp", std::string(3000, 'j'));
  const std::string key = "-K:00112233445566778899aabbccddeeff";
  Result r = RunWith({"-T", key, a, junk, PathOf("missing.txt"), b});
  EXPECT_EQ(r.status, 2);  // the worst: a file that is not there
  EXPECT_NE(r.err.find("No such file, or it is empty: " + PathOf("missing.txt")),
            std::string::npos) << r.err;
  EXPECT_NE(r.err.find(junk + ": the job stopped early"), std::string::npos) << r.err;

  fs::remove(a);
  fs::remove(b);
  r = RunWith({key, PathOf("a.bmp"), PathOf("b.bmp")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Read(a), "first file");
  EXPECT_EQ(Read(b), "second file");
  EXPECT_EQ(RunWith({PathOf("a.bmp"), junk}).status, 1);  // no key: stopped
}

TEST_F(RunCliTest, WildcardsGiveAJobPerMatchAndNoMatchIsUnusable) {
  expandWildcards = true;
  Write("a.txt", "first");
  Write("b.txt", "second");
  Result r = RunWith({"-q", "-N", PathOf("*.txt")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::exists(PathOf("a.bmp")));
  EXPECT_TRUE(fs::exists(PathOf("b.bmp")));

  // Only carriers match "*" now, so a key with the cipher None packs
  // nothing in clear text and is no mistake.
  fs::remove(PathOf("a.txt"));
  fs::remove(PathOf("b.txt"));
  r = RunWith({"-q", "-N", "-K:00112233445566778899AABBCCDDEEFF", PathOf("*")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Read(PathOf("a.txt")), "first");
  EXPECT_EQ(Read(PathOf("b.txt")), "second");

  fs::remove(PathOf("a.bmp"));
  r = RunWith({"-q", "-N", PathOf("*.doc"), PathOf("a.txt")});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("No file matches " + PathOf("*.doc")), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(PathOf("a.bmp")));
}

TEST_F(RunCliTest, KeyFileGivesTheSameCarrierAsTheKeySwitch) {
  const std::string file = Write("doc.txt", std::string(4000, 'd'));
  ASSERT_EQ(RunWith({"-R", "-K:00112233445566778899AABBCCDDEEFF", file}).status, 0);
  const std::string withSwitch = Read(PathOf("doc.bmp"));
  fs::remove(PathOf("doc.bmp"));
  const std::string keyFile = Write("key", "00112233445566778899aabbccddeeff\n");
  const Result r = RunWith({"-R", "--key-file", keyFile, file});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Read(PathOf("doc.bmp")), withSwitch);
}

TEST_F(RunCliTest, QuietPrintsNoLog) {
  const std::string file = Write("doc.txt", "text");
  const Result r = RunWith({"-q", "-N", file, PathOf("gone.txt")});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "pixeltuck-cli: No such file, or it is empty: " + PathOf("gone.txt") + "\n");
}

TEST_F(RunCliTest, DefaultCipherNeedsAKeyWithoutTerminal) {
  const std::string file = Write("doc.txt", "text");
  const Result r = RunWith({file});  // TwoFish by default, no -K:
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(kKeyNeededMessage), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(PathOf("doc.bmp")));
}

TEST_F(RunCliTest, SettingsAreReadButNeverWritten) {
  const std::string cfg = Write("pixeltuck.cfg", "0 0 -1 0 0 0 1 0 1 zip 3");
  const std::string file = Write("doc.txt", "text");
  const Result r = RunWith({file}, cfg);  // start-up cipher None: no key needed
  EXPECT_EQ(r.status, 0) << r.err;
  // targetNameRule 3 appends ".bmp".
  EXPECT_TRUE(fs::exists(PathOf("doc.txt.bmp")));
  EXPECT_EQ(Read(cfg), "0 0 -1 0 0 0 1 0 1 zip 3");

  const std::string missing = PathOf("other.cfg");
  RunWith({"-N", file}, missing);
  EXPECT_FALSE(fs::exists(missing));
}

TEST_F(RunCliTest, KeyFromTerminalPacksAndUnpacks) {
  const std::string content(5000, 'k');
  const std::string file = Write("secret.txt", content);
  // A key that makes a carrier is typed twice.
  FakeTerminal packTerm(true, {"short", "short", "a long enough key", "a long enough key"});
  Result r = RunWith({"-T", file}, packTerm);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find(kAsciiLength + "5"), std::string::npos);
  fs::remove(file);

  FakeTerminal unpackTerm(true, {"a long enough key"});
  r = RunWith({PathOf("secret.bmp")}, unpackTerm);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Read(file), content);
}

TEST_F(RunCliTest, WrongKeyFromTerminalDeclinedExitsOne) {
  const std::string file = Write("secret.txt", "payload");
  ASSERT_EQ(RunWith({"-R", "-K:00112233445566778899", file}).status, 0);
  fs::remove(file);
  FakeTerminal term(true, {"not the right key", "n"});
  const Result r = RunWith({PathOf("secret.bmp")}, term);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Password verification error !"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(file));
}

TEST_F(RunCliTest, EndOfInputAtKeyPromptStops) {
  const std::string file = Write("secret.txt", "payload");
  FakeTerminal term(true, {});
  const Result r = RunWith({"-B", file}, term);
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(fs::exists(PathOf("secret.bmp")));
}

TEST_F(RunCliTest, HexKeyModeFromSettings) {
  const std::string cfg = Write("pixeltuck.cfg", "2 1 -1 0 0 0 2 1 1 zip 1");
  const std::string file = Write("h.txt", "hex keyed");
  FakeTerminal term(true, {"00112233445566gg", "00112233445566gg", "0011223344556677",
                           "0011223344556677"});
  const Result r = RunWith({"-T", file}, term, cfg);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("Password contains non HEX characters"), std::string::npos);
  // The hex key given on the command line opens it: the same key bytes.
  fs::remove(file);
  EXPECT_EQ(RunWith({"-K:0011223344556677", PathOf("h.bmp")}).status, 0);
  EXPECT_EQ(Read(file), "hex keyed");
}

}  // namespace
}  // namespace pt
