#include "app/command_line.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "tests/app/temp_dir.h"
#include "tests/support/named_case.h"

namespace pt {
namespace {

namespace fs = std::filesystem;

struct Parsed {
  RunState state;
  CommandLineEffects fx;
  int messages = 0;
};

// A state in which an earlier argument named a file: a later file argument,
// even a missing one, replaces it; switches and keys leave it.
RunState Earlier() {
  RunState s;
  s.commandLineFile = "earlier.txt";
  return s;
}

// start: the state before the arguments are read (copied, key included).
Parsed Parse(const std::vector<std::string>& args, const RunState& start = {}) {
  Parsed r;
  r.state.commandLineFile = start.commandLineFile;
  r.state.commandLineKey = start.commandLineKey.Copy();
  r.state.deleteTempFile = start.deleteTempFile;
  r.state.debugDump = start.debugDump;
  ParseCommandLine(args, r.state, r.fx, [&r] { ++r.messages; });
  return r;
}

// Runs each test inside its own temporary folder, so that relative names
// such as "-BB" can be created and found.
class CommandLineTest : public test::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    oldCwd_ = fs::current_path();
    fs::current_path(dir_);
  }
  void TearDown() override {
    fs::current_path(oldCwd_);
    TempDirTest::TearDown();
  }
  fs::path oldCwd_;
};

// ---------------------------------------------------------------------------
// Switches

struct SwitchCase {
  std::vector<std::string> args;
  int cipherIndex;
  bool checkShow;
};

void PrintTo(const SwitchCase& c, std::ostream* os) {
  for (const std::string& a : c.args) *os << a << ' ';
  *os << "-> cipher " << c.cipherIndex << (c.checkShow ? ", show" : "");
}

class SwitchTest : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(SwitchTest, SelectsCipherAndShow) {
  const Parsed r = Parse(GetParam().args, Earlier());
  EXPECT_EQ(r.fx.cipherIndex, GetParam().cipherIndex);
  EXPECT_EQ(r.fx.checkShow, GetParam().checkShow);
  EXPECT_EQ(r.messages, 0);
  EXPECT_EQ(r.state.commandLineFile, Earlier().commandLineFile);  // no file argument
}

INSTANTIATE_TEST_SUITE_P(
    Args, SwitchTest,
    ::testing::Values(SwitchCase{{}, -1, false}, SwitchCase{{"-N"}, 0, false},
                      SwitchCase{{"-b"}, 1, false}, SwitchCase{{"-T"}, 2, false},
                      SwitchCase{{"-t"}, 2, false}, SwitchCase{{"-R"}, 3, false},
                      SwitchCase{{"-r"}, 3, false}, SwitchCase{{"-S"}, -1, true},
                      SwitchCase{{"-s"}, -1, true},
                      // Of several cipher switches the last wins.
                      SwitchCase{{"-R", "-n", "-B"}, 1, false},
                      SwitchCase{{"-N", "-S", "-T"}, 2, true},
                      // Other letters are ignored and are no file names.
                      SwitchCase{{"-x"}, -1, false}, SwitchCase{{"-K"}, -1, false},
                      SwitchCase{{"--"}, -1, false}, SwitchCase{{"-1"}, -1, false}));

TEST(CommandLine, DebugSwitchSetsDumpAndKeepsTempFile) {
  for (const char* arg : {"-D", "-d"}) {
    const Parsed r = Parse({arg});
    EXPECT_TRUE(r.state.debugDump) << arg;
    EXPECT_FALSE(r.state.deleteTempFile) << arg;
  }
  const Parsed none = Parse({"-x"});
  EXPECT_FALSE(none.state.debugDump);
  EXPECT_TRUE(none.state.deleteTempFile);
  EXPECT_EQ(none.state.commandLineKey.View(), "");
}

// ---------------------------------------------------------------------------
// Keys

struct KeyCase : test::NamedCase {
  std::string arg;
  std::string key;  // empty: rejected
};

class KeyArgumentTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(KeyArgumentTest, AcceptsOrReportsOnce) {
  RunState start = Earlier();
  start.commandLineKey = KeyText("00112233445566778899");
  const Parsed r = Parse({GetParam().arg}, start);
  if (GetParam().key.empty()) {
    EXPECT_EQ(r.messages, 1);
    EXPECT_EQ(r.state.commandLineKey.View(), start.commandLineKey.View());
  } else {
    EXPECT_EQ(r.messages, 0);
    EXPECT_EQ(r.state.commandLineKey.View(), GetParam().key);
  }
  EXPECT_EQ(r.state.commandLineFile, start.commandLineFile);  // no file argument
}

INSTANTIATE_TEST_SUITE_P(
    Args, KeyArgumentTest,
    ::testing::Values(
        KeyCase{"Fifteen", "-K:" + std::string(15, 'a'), ""},
        KeyCase{"Sixteen", "-K:0123456789abcdef", "0123456789ABCDEF"},
        KeyCase{"SixteenLowerSwitch", "-k:cdefcdefcdefcdef", "CDEFCDEFCDEFCDEF"},
        KeyCase{"Seventeen", "-K:" + std::string(17, '1'), ""},
        KeyCase{"SixtyFour", "-K:" + std::string(64, 'f'), std::string(64, 'F')},
        KeyCase{"SixtySix", "-K:" + std::string(66, '1'), ""},
        KeyCase{"NonHex", "-K:0123456789abcdeg", ""},
        KeyCase{"Nothing", "-K:", ""},
        KeyCase{"BlankInside", "-K:01234567 89abcdef0", ""}),
    test::CaseName());

TEST(CommandLine, ValidThenInvalidKeyKeepsFirstAndReportsOnce) {
  const Parsed r = Parse({"-K:00112233445566aa", "-K:123"});
  EXPECT_EQ(r.state.commandLineKey.View(), "00112233445566AA");
  EXPECT_EQ(r.messages, 1);
}

TEST(CommandLine, LaterValidKeyReplacesEarlier) {
  const Parsed r = Parse({"-K:0000000000000000", "-k:1111111111111111"});
  EXPECT_EQ(r.state.commandLineKey.View(), "1111111111111111");
}

TEST(CommandLine, InvalidKeyWithoutCallbackIsIgnored) {
  RunState state = Earlier();
  CommandLineEffects fx;
  ParseCommandLine({"-K:zz"}, state, fx);
  EXPECT_EQ(state.commandLineKey.View(), "");
  EXPECT_EQ(state.commandLineFile, Earlier().commandLineFile);
}

// ---------------------------------------------------------------------------
// File arguments

TEST_F(CommandLineTest, SwitchesAndFileStartJob) {
  const std::string file = Write("report.doc", "content");
  const Parsed r = Parse({"-t", "-S", file});
  EXPECT_EQ(r.fx.cipherIndex, 2);
  EXPECT_TRUE(r.fx.checkShow);
  EXPECT_EQ(r.state.commandLineFile, file);
}

TEST_F(CommandLineTest, RelativeFileName) {
  Write("data.bin", "x");
  EXPECT_EQ(Parse({"data.bin"}).state.commandLineFile, "data.bin");
}

TEST_F(CommandLineTest, SlashAndLongSwitchesAreFileNames) {
  // Taken as missing files, they replace the earlier file with none.
  Parsed r = Parse({"-BB"}, Earlier());
  EXPECT_EQ(r.fx.cipherIndex, -1);
  EXPECT_EQ(r.state.commandLineFile, "");

  r = Parse({"/B"}, Earlier());
  EXPECT_EQ(r.fx.cipherIndex, -1);
  EXPECT_EQ(r.state.commandLineFile, "");

  Write("-BB", "exists");
  r = Parse({"-BB"});
  EXPECT_EQ(r.state.commandLineFile, "-BB");
  EXPECT_EQ(r.fx.cipherIndex, -1);
}

TEST_F(CommandLineTest, EmptyFileOrDirectoryGivesNoFile) {
  const std::string empty = Write("empty.txt", "");
  fs::create_directory(dir_ / "folder");
  for (const std::string& arg : {empty, PathOf("folder"), PathOf("missing.txt"), std::string()}) {
    EXPECT_EQ(Parse({arg}, Earlier()).state.commandLineFile, "") << arg;
  }
}

TEST_F(CommandLineTest, LastFileArgumentCounts) {
  const std::string a = Write("a.txt", "a");
  const std::string b = Write("b.txt", "b");
  EXPECT_EQ(Parse({a, b}).state.commandLineFile, b);
  EXPECT_EQ(Parse({b, a}).state.commandLineFile, a);
  EXPECT_EQ(Parse({a, PathOf("gone.txt")}).state.commandLineFile, "");
}

TEST_F(CommandLineTest, PatternTakesFirstNonEmptyMatchByName) {
  fs::create_directory(dir_ / "a.doc");  // directories never match
  Write("b.doc", "bb");
  Write("c.doc", "cc");
  EXPECT_EQ(Parse({PathOf("*.doc")}).state.commandLineFile, PathOf("b.doc"));
  // The first match empty: nothing, even though a later match is not.
  Write("a0.doc", "");
  Write("ab.doc", "not empty");
  EXPECT_EQ(LookupCommandLineFile(PathOf("a*.doc")), "");
  EXPECT_EQ(LookupCommandLineFile(PathOf("*.none")), "");
}

TEST_F(CommandLineTest, SwitchesDoNotTouchRunStateFile) {
  RunState start;
  start.commandLineFile = Write("keep.txt", "k");
  const Parsed r = Parse({"-N", "-x", "-K:0000000000000000"}, start);
  EXPECT_EQ(r.state.commandLineFile, start.commandLineFile);
}

// ---------------------------------------------------------------------------
// The Windows command line, wiped in place

struct WipeLineCase {
  const char* name;
  const wchar_t* line;
  const wchar_t* wiped;
};
void PrintTo(const WipeLineCase& c, std::ostream* os) { *os << c.name; }
class WipeLineTest : public ::testing::TestWithParam<WipeLineCase> {};

TEST_P(WipeLineTest, OnlyTheKeysCharactersGo) {
  std::wstring line = GetParam().line;
  WipeKeyArgumentsInCommandLine(line.data());
  EXPECT_EQ(line, GetParam().wiped);
  // The narrow copy of the same line is wiped alike.
  std::string narrow(line.begin(), line.end());
  std::wstring original = GetParam().line;
  std::string narrowOriginal(original.begin(), original.end());
  WipeKeyArgumentsInCommandLine(narrowOriginal.data());
  EXPECT_EQ(narrowOriginal, narrow);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, WipeLineTest,
    ::testing::Values(
        WipeLineCase{"PlainKey", L"pixeltuck.exe -K:00112233aabbccdd a.bmp",
                     L"pixeltuck.exe -K:**************** a.bmp"},
        WipeLineCase{"LowerCaseFormAndTabs", L"pixeltuck\t-k:0011\t-T",
                     L"pixeltuck\t-k:****\t-T"},
        WipeLineCase{"QuotedProgramNameWithBlank",
                     L"\"C:\\Program Files\\pixeltuck.exe\" -K:abcd",
                     L"\"C:\\Program Files\\pixeltuck.exe\" -K:****"},
        WipeLineCase{"ProgramNameLooksLikeAKey", L"-K:abcd -K:ef", L"-K:abcd -K:**"},
        WipeLineCase{"QuotedKeyKeepsItsQuotes", L"p \"-K:ab cd\" x", L"p \"-K:*****\" x"},
        WipeLineCase{"QuoteInsideTheKeyWord", L"p -\"K:ab\"cd", L"p -\"K:**\"**"},
        WipeLineCase{"EscapedQuoteIsPartOfTheKey", L"p -K:a\\\"b", L"p -K:*\\**"},
        WipeLineCase{"BackslashesBeforeNoQuote", L"p -K:a\\\\b", L"p -K:****"},
        WipeLineCase{"FileNamedLikeAKeyInsideAWord", L"p x-K:ab \"a -K:b\"", L"p x-K:ab \"a -K:b\""},
        WipeLineCase{"NoArguments", L"pixeltuck.exe", L"pixeltuck.exe"}),
    [](const ::testing::TestParamInfo<WipeLineCase>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace pt
