// The window programs' shared rules: options dialog, key dialog layout,
// mnemonics, start-up with the disclaimer gate, geometry, exit status.
#include "app/window/window_logic.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <cctype>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "app/version.h"
#include "tests/support/portable.h"
#include "util/os_text.h"

namespace pt::window {
namespace {

template <typename T>
std::string NameOf(const ::testing::TestParamInfo<T>& info) {
  return info.param.name;
}

// ---------------------------------------------------------------------------
// Options dialog

struct EnablingCase {
  const char* name;
  int compression;
  int level;
  OptionsEnabling want;
};
void PrintTo(const EnablingCase& c, std::ostream* os) { *os << c.name; }
class EnablingTest : public ::testing::TestWithParam<EnablingCase> {};

TEST_P(EnablingTest, FollowsCompressionAndLevel) {
  OptionsControls c;
  c.compression = GetParam().compression;
  c.level = GetParam().level;
  EXPECT_EQ(EnablingOf(c), GetParam().want);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, EnablingTest,
    ::testing::Values(EnablingCase{"NeverDisablesTheLevel", 0, 1, {false, false, false}},
                      EnablingCase{"SensiblyWithDefault", 1, 0, {true, false, false}},
                      EnablingCase{"SensiblyWithUserDefined", 1, 1, {true, true, false}},
                      EnablingCase{"SmartEnablesTheList", 2, 0, {true, false, true}},
                      EnablingCase{"AlwaysWithUserDefined", 3, 1, {true, true, false}},
                      EnablingCase{"NoModeChecked", kNone, 1, {true, true, false}}),
    NameOf<EnablingCase>);

Settings Stored() {
  Settings s;
  s.startupCipher = StartupCipher::Blowfish;
  s.compressionMode = CompressionMode::UnlessListed;
  s.compressionLevel = 4;
  s.keyMode = KeyMode::Hex;
  s.targetNameRule = TargetNameRule::Append;
  s.compressedExtensions = "zip,7z";
  s.showBitmap = s.copyLog = true;
  return s;
}

struct RoundTripCase {
  const char* name;
  void (*change)(Settings&);           // the settings shown
  void (*edit)(OptionsControls&);      // what the user does
  void (*expect)(Settings&);           // from the shown settings to the result
};
void PrintTo(const RoundTripCase& c, std::ostream* os) { *os << c.name; }
class OptionsRoundTripTest : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(OptionsRoundTripTest, ShowEditCopyBack) {
  Settings shown = Stored();
  GetParam().change(shown);
  OptionsControls c;
  ShowSettings(shown, c);
  GetParam().edit(c);
  Settings got = shown;
  CopyBack(c, got);
  Settings want = shown;
  GetParam().expect(want);
  EXPECT_EQ(got, want) << SettingsToText(got);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, OptionsRoundTripTest,
    ::testing::Values(
        RoundTripCase{"UnchangedStaysUnchanged", [](Settings&) {}, [](OptionsControls&) {},
                      [](Settings&) {}},
        RoundTripCase{"RuleZeroBecomesOne", [](Settings& s) { s.targetNameRule = TargetNameRule::Unset; },
                      [](OptionsControls&) {}, [](Settings& s) { s.targetNameRule = TargetNameRule::ReplaceLast; }},
        RoundTripCase{"KeyModeNeitherTakesTheCheckedMode", [](Settings& s) { s.keyMode = KeyMode::Neither; },
                      [](OptionsControls& c) { c.keyMode = 1; },
                      [](Settings& s) { s.keyMode = KeyMode::Hex; }},
        RoundTripCase{"KeyModeNeitherWithNothingChecked", [](Settings& s) { s.keyMode = KeyMode::Neither; },
                      [](OptionsControls& c) { c.keyMode = kNone; }, [](Settings&) {}},
        RoundTripCase{"DefaultKeepsTheSliderAsMagnitude",
                      [](Settings& s) { s.compressionLevel = -3; }, [](OptionsControls&) {},
                      [](Settings&) {}},
        RoundTripCase{"UserDefinedZeroThenDefaultStoresZero", [](Settings&) {},
                      [](OptionsControls& c) {
                        c.level = static_cast<int>(LevelRadio::Defined);
                        c.slider = 0;
                        c.level = static_cast<int>(LevelRadio::Default);
                      },
                      [](Settings& s) { s.compressionLevel = 0; }},
        RoundTripCase{"OutOfRangeLeavesTheGroup",
                      [](Settings& s) {
                        s.startupCipher = static_cast<StartupCipher>(7);
                        s.compressionMode = static_cast<CompressionMode>(-2);
                      },
                      [](OptionsControls&) {},
                      // the groups keep the record's defaults: TwoFish, if sensibly
                      [](Settings& s) {
                        s.startupCipher = StartupCipher::Twofish;
                        s.compressionMode = CompressionMode::IfSmaller;
                      }},
        RoundTripCase{"ExtensionsAsTyped", [](Settings&) {},
                      [](OptionsControls& c) { c.extensions = " a, b "; },
                      [](Settings& s) { s.compressedExtensions = " a, b "; }}),
    NameOf<RoundTripCase>);

// ---------------------------------------------------------------------------
// Key dialog and captions

TEST(KeyEntryLayout, OnlyAsciiIsEverMasked) {
  EXPECT_TRUE(KeyEntryLayoutFor(true, true).masked);
  EXPECT_TRUE(KeyEntryLayoutFor(true, true).reenterShown);
  EXPECT_FALSE(KeyEntryLayoutFor(true, false).reenterShown);  // hex, whatever maskInput says
  EXPECT_FALSE(KeyEntryLayoutFor(false, true).reenterShown);
}

struct MnemonicCase {
  const char* name;
  const char* caption;
  char letter;
  const char* marked;
};
void PrintTo(const MnemonicCase& c, std::ostream* os) { *os << c.name; }
class MnemonicTest : public ::testing::TestWithParam<MnemonicCase> {};

TEST_P(MnemonicTest, MarksOneLetterAndReadsBackUnchanged) {
  const MnemonicCase c = GetParam();
  EXPECT_EQ(WithMnemonic(c.caption, c.letter), c.marked);
  EXPECT_EQ(CaptionText(c.marked), c.caption);
}

INSTANTIATE_TEST_SUITE_P(
    Captions, MnemonicTest,
    ::testing::Values(
        MnemonicCase{"FirstLetter", "OK", 'O', "&OK"},
        MnemonicCase{"WordStartBeforeEarlierLetter", "Enter Key manually (ASCII Mode)", 'A',
                     "Enter Key manually (&ASCII Mode)"},
        MnemonicCase{"InsideAWordWhenNoWordStarts", "Show Bitmap", 'i', "Show B&itmap"},
        MnemonicCase{"CaseOfCaptionKept", "I don't accept these terms", 'D',
                     "I &don't accept these terms"},
        MnemonicCase{"TrailingBlankKept", "I accept these terms ", 'A', "I &accept these terms "},
        MnemonicCase{"AmpersandInCaption", "Copy & Paste", 'P', "Copy && &Paste"},
        MnemonicCase{"LetterMissing", "Hex", 'q', "Hex"}),
    NameOf<MnemonicCase>);

struct MnemonicTableCase {
  const char* name;
  std::span<const Mnemonic> table;
};
void PrintTo(const MnemonicTableCase& c, std::ostream* os) { *os << c.name; }
class MnemonicTableTest : public ::testing::TestWithParam<MnemonicTableCase> {};

// Two controls of one dialog on the same Alt+letter would make the second
// unreachable from the keyboard.
TEST_P(MnemonicTableTest, NoLetterTwiceInADialog) {
  std::string seen;
  for (const Mnemonic& m : GetParam().table) {
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(m.letter)));
    EXPECT_EQ(seen.find(letter), std::string::npos) << m.control << " repeats " << letter;
    seen += letter;
  }
}

INSTANTIATE_TEST_SUITE_P(Dialogs, MnemonicTableTest,
                         ::testing::Values(MnemonicTableCase{"Options", kOptionsMnemonics},
                                           MnemonicTableCase{"Key", kKeyMnemonics},
                                           MnemonicTableCase{"Disclaimer", kDisclaimerMnemonics}),
                         NameOf<MnemonicTableCase>);

TEST(MarkedCaption, TheControlsLetterOrTheCaptionAsItIs) {
  EXPECT_EQ(MarkedCaption(kKeyMnemonics, "rbHex", "Enter Key manually (Hex Mode)"),
            "Enter Key manually (&Hex Mode)");
  EXPECT_EQ(MarkedCaption(kKeyMnemonics, "lEnter", "R&D"), "R&D");
}

// ---------------------------------------------------------------------------
// Message boxes

struct BoxAnswerCase {
  const char* name;
  MsgButtons buttons;
  MsgAnswer enter;
  MsgAnswer escape;
};
void PrintTo(const BoxAnswerCase& c, std::ostream* os) { *os << c.name; }
class BoxAnswerTest : public ::testing::TestWithParam<BoxAnswerCase> {};

TEST_P(BoxAnswerTest, EnterAndEscape) {
  EXPECT_EQ(EnterAnswer(GetParam().buttons), GetParam().enter);
  EXPECT_EQ(EscapeAnswer(GetParam().buttons), GetParam().escape);
}

INSTANTIATE_TEST_SUITE_P(
    ButtonSets, BoxAnswerTest,
    ::testing::Values(
        BoxAnswerCase{"Ok", MsgButtons::Ok, MsgAnswer::Ok, MsgAnswer::Ok},
        BoxAnswerCase{"OkAbort", MsgButtons::OkAbort, MsgAnswer::Ok, MsgAnswer::Abort},
        BoxAnswerCase{"YesNoCancel", MsgButtons::YesNoCancel, MsgAnswer::Yes, MsgAnswer::Cancel},
        BoxAnswerCase{"ReplaceIsNeverTheDefault", MsgButtons::YesNo, MsgAnswer::No,
                      MsgAnswer::No}),
    NameOf<BoxAnswerCase>);

// ---------------------------------------------------------------------------
// Start-up and the disclaimer

class Host : public StartupHost {
 public:
  explicit Host(bool accept) : accept_(accept) {}
  bool AskDisclaimer() override {
    ++asked;
    return accept_;
  }
  void InvalidCommandLineKey() override { ++invalidKeys; }
  int asked = 0;
  int invalidKeys = 0;

 private:
  bool accept_;
};

struct StartupCase {
  const char* name;
  const char* config;  // nullptr: no file
  std::vector<std::string> args;
  bool accept;
  // expected
  bool asked;
  bool commandEnabled;
  int cipherIndex;
  bool showBitmap;
  KeyMode keyModePreset;
  int invalidKeys;
};
void PrintTo(const StartupCase& c, std::ostream* os) { *os << c.name; }
class StartupTest : public ::testing::TestWithParam<StartupCase> {
 protected:
  void SetUp() override { dir_ = test::MakeTempFolder("pt_window_"); }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::filesystem::path dir_;
};

TEST_P(StartupTest, DefaultsFileDisclaimerThenCommandLine) {
  const StartupCase c = GetParam();
  const std::string config = Utf8Path(dir_ / "pixeltuck.cfg");
  if (c.config) std::ofstream(dir_ / "pixeltuck.cfg", std::ios::binary) << c.config;
  Settings s;
  s.compressedExtensions.clear();  // as the window has it before start-up
  RunState state;
  state.commandLineKey = KeyText("stale");
  Host host(c.accept);
  const StartupResult r = RunStartup(s, state, SettingsLocation(config), c.args, host);
  EXPECT_EQ(host.asked, c.asked ? 1 : 0);
  EXPECT_EQ(r.commandEnabled, c.commandEnabled);
  EXPECT_EQ(s.disclaimerAccepted, c.commandEnabled);
  EXPECT_EQ(r.cipherIndex, c.cipherIndex);
  EXPECT_EQ(r.showBitmap, c.showBitmap);
  EXPECT_EQ(r.keyModePreset, c.keyModePreset);
  EXPECT_EQ(host.invalidKeys, c.invalidKeys);
  EXPECT_EQ(s.compressedExtensions, c.config ? "zip" : kDefaultCompressedExtensions);
  EXPECT_EQ(state.commandLineKey.View(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, StartupTest,
    ::testing::Values(
        StartupCase{"FirstRunAccepted", nullptr, {}, true, true, true, 2, false, KeyMode::Ascii, 0},
        StartupCase{"FirstRunRefused", nullptr, {}, false, true, false, 2, false, KeyMode::Ascii, 0},
        StartupCase{"AcceptedBeforeIsNotAskedAgain", "3 1 -1 1 0 0 2 0 1 zip 1", {}, false,
                    false, true, 3, true, KeyMode::Hex, 0},
        StartupCase{"SwitchesOverTheFile", "3 1 -1 0 0 0 1 0 1 zip 1", {"-b", "-S"}, false,
                    false, true, 1, true, KeyMode::Ascii, 0},
        StartupCase{"InvalidKeyReportedOncePerArgument", "0 1 -1 0 0 0 1 0 1 zip 1",
                    {"-K:0011", "-k:zz", "-T"}, false, false, true, 2, false, KeyMode::Ascii, 2}),
    NameOf<StartupCase>);

TEST(Disclaimer, AcceptingFromTheHelpMenuEnablesTheCommand) {
  Settings s;
  Host refuse(false), accept(true);
  EXPECT_FALSE(AcceptDisclaimerAgain(s, refuse));
  EXPECT_FALSE(s.disclaimerAccepted);
  EXPECT_TRUE(AcceptDisclaimerAgain(s, accept));
  EXPECT_TRUE(s.disclaimerAccepted);
  // Refusing once accepted takes nothing back.
  EXPECT_TRUE(AcceptDisclaimerAgain(s, refuse));
  EXPECT_TRUE(s.disclaimerAccepted);
}

// ---------------------------------------------------------------------------
// The command and its end

struct ExitCase {
  const char* name;
  JobEnd end;
  bool checksumError;
  int status;
};
void PrintTo(const ExitCase& c, std::ostream* os) { *os << c.name; }
class ExitStatusTest : public ::testing::TestWithParam<ExitCase> {};

TEST_P(ExitStatusTest, ZeroOnlyForACleanEnd) {
  JobOutcome o;
  o.end = GetParam().end;
  o.checksumError = GetParam().checksumError;
  EXPECT_EQ(ExitStatusAfter(o), GetParam().status);
  EXPECT_EQ(WarnAfterJob(o), GetParam().checksumError);
}

INSTANTIATE_TEST_SUITE_P(Outcomes, ExitStatusTest,
                         ::testing::Values(ExitCase{"Completed", JobEnd::Completed, false, 0},
                                           ExitCase{"CompletedWithBadChecksum",
                                                    JobEnd::Completed, true, 1},
                                           ExitCase{"Failed", JobEnd::Failed, false, 1},
                                           ExitCase{"Cancelled", JobEnd::Cancelled, false, 1}),
                         NameOf<ExitCase>);

TEST(JobRequest, CipherFileAndSettings) {
  Settings settings;
  settings.compressionMode = CompressionMode::Always;
  const JobRequest r = MakeJobRequest(3, true, "report.doc", settings);
  EXPECT_EQ(r.cipher, CipherId::Rijndael);
  EXPECT_TRUE(r.startedByCommandLine);
  EXPECT_EQ(r.file, "report.doc");
  EXPECT_EQ(r.settings, settings);
  EXPECT_EQ(MakeJobRequest(-1, false, "", settings).cipher, CipherId::None);  // empty list
}

struct CloseCase {
  const char* name;
  bool byCommandLine;
  bool exitAfterConversion;
  JobEnd end;
  bool closes;
};
void PrintTo(const CloseCase& c, std::ostream* os) { *os << c.name; }
class CloseAfterJobTest : public ::testing::TestWithParam<CloseCase> {};

TEST_P(CloseAfterJobTest, OnlyACommandLineJobThatReachedItsEnd) {
  const CloseCase c = GetParam();
  Settings s;
  s.exitAfterConversion = c.exitAfterConversion;
  JobOutcome o;
  o.end = c.end;
  EXPECT_EQ(CloseAfterJob(c.byCommandLine, s, o), c.closes);
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, CloseAfterJobTest,
    ::testing::Values(CloseCase{"CommandLineCompleted", true, true, JobEnd::Completed, true},
                      CloseCase{"UserStarted", false, true, JobEnd::Completed, false},
                      CloseCase{"ExitNotSet", true, false, JobEnd::Completed, false},
                      CloseCase{"Failed", true, true, JobEnd::Failed, false},
                      CloseCase{"Stopped", true, true, JobEnd::Cancelled, false}),
    NameOf<CloseCase>);

struct AfterJobCase {
  const char* name;
  bool byCommandLine;
  bool exitAfterConversion;
  JobEnd end;
  bool checksumError;
  bool closeRequested;
  AfterJob want;
};
void PrintTo(const AfterJobCase& c, std::ostream* os) { *os << c.name; }
class AfterJobTest : public ::testing::TestWithParam<AfterJobCase> {};

TEST_P(AfterJobTest, WarningCloseAndExitStatus) {
  const AfterJobCase c = GetParam();
  Settings s;
  s.exitAfterConversion = c.exitAfterConversion;
  JobOutcome o;
  o.end = c.end;
  o.checksumError = c.checksumError;
  EXPECT_EQ(AfterJobFor(c.byCommandLine, s, o, c.closeRequested), c.want);
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, AfterJobTest,
    ::testing::Values(
        AfterJobCase{"UserJobStaysOpen", false, true, JobEnd::Completed, false, false, {}},
        AfterJobCase{"ExitAfterConversion", true, true, JobEnd::Completed, false, false,
                     {false, true, 0}},
        AfterJobCase{"ExitAfterABadChecksumWarnsFirst", true, true, JobEnd::Completed, true,
                     false, {true, true, 1}},
        // the user's close keeps the status the program had
        AfterJobCase{"ClosedByTheUserDuringTheJob", false, false, JobEnd::Cancelled, false, true,
                     {false, true, std::nullopt}},
        AfterJobCase{"FailedCommandLineJobStaysOpen", true, true, JobEnd::Failed, false, false,
                     {}}),
    NameOf<AfterJobCase>);

// ---------------------------------------------------------------------------
// The main window's commands

struct ControlsCase {
  const char* name;
  bool jobRunning;
  bool commandEnabled;
  bool openButton, openCommand, rest;
  const char* caption;
};
void PrintTo(const ControlsCase& c, std::ostream* os) { *os << c.name; }
class MainControlsTest : public ::testing::TestWithParam<ControlsCase> {};

TEST_P(MainControlsTest, OnlyStopAndCloseActDuringAJob) {
  const ControlsCase c = GetParam();
  const MainControls got = MainControlsFor(c.jobRunning, c.commandEnabled);
  EXPECT_EQ(got.openButton, c.openButton);
  EXPECT_EQ(got.openCommand, c.openCommand);
  EXPECT_EQ(got.options, c.rest);
  EXPECT_EQ(got.cipherList, c.rest);
  EXPECT_EQ(got.menu, c.rest);
  EXPECT_STREQ(got.openCaption, c.caption);
  EXPECT_STREQ(got.openTip, c.jobRunning ? kStopTip : kOpenTip);
}

INSTANTIATE_TEST_SUITE_P(
    States, MainControlsTest,
    ::testing::Values(
        ControlsCase{"Idle", false, true, true, true, true, "EnCode/DeCode"},
        ControlsCase{"IdleAfterRefusedDisclaimer", false, false, false, false, true,
                     "EnCode/DeCode"},
        ControlsCase{"Running", true, true, true, false, false, "Stop"},
        // a command-line job of a user who refused the disclaimer
        ControlsCase{"RunningAfterRefusedDisclaimer", true, false, true, false, false, "Stop"}),
    NameOf<ControlsCase>);

struct DropCase {
  const char* name;
  int files;
  bool regular, jobRunning, commandEnabled;
  bool takes;
};
void PrintTo(const DropCase& c, std::ostream* os) { *os << c.name; }
class DropTest : public ::testing::TestWithParam<DropCase> {};

TEST_P(DropTest, OneRegularFileWhileTheCommandMayRun) {
  const DropCase c = GetParam();
  EXPECT_EQ(TakesDroppedFile(c.files, c.regular, c.jobRunning, c.commandEnabled), c.takes);
}

INSTANTIATE_TEST_SUITE_P(
    Drops, DropTest,
    ::testing::Values(DropCase{"OneFile", 1, true, false, true, true},
                      DropCase{"TwoFiles", 2, true, false, true, false},
                      DropCase{"Folder", 1, false, false, true, false},
                      DropCase{"DuringAJob", 1, true, true, true, false},
                      DropCase{"DisclaimerRefused", 1, true, false, false, false}),
    NameOf<DropCase>);

TEST(MainTexts, CaptionAndAboutBoxCarryTheVersion) {
  EXPECT_EQ(MainCaption(), std::string("pixelTuck ") + kProgramVersionText);
  EXPECT_EQ(AboutText(), MainCaption() + "\n\nEnglish Homepage:\tnone published" +
                             "\nGerman Homepage:\tnone published");
}

// ---------------------------------------------------------------------------
// Geometry

TEST(MainLayout, DesignedSizeThenBothPanelsGrow) {
  const MainLayout designed = MainLayoutFor(729, 430);
  EXPECT_EQ(designed.log, (Box{10, 50, 356, 336}));
  EXPECT_EQ(designed.preview, (Box{378, 36, 349, 365}));
  EXPECT_EQ(designed.bottom, (Box{0, 401, 729, 29}));
  EXPECT_EQ(MainLayoutFor(600, 300).log, designed.log);  // never below the designed size

  const MainLayout big = MainLayoutFor(1029, 630);
  EXPECT_EQ(big.log.h, 536);
  EXPECT_EQ(big.preview.h, 565);
  EXPECT_GT(big.log.w, designed.log.w);
  EXPECT_GT(big.preview.w, designed.preview.w);
  EXPECT_EQ(big.preview.x + big.preview.w, 1029 - 2);  // right margin kept
  EXPECT_EQ(big.preview.x - (big.log.x + big.log.w), 12);  // gap kept
  EXPECT_EQ(big.bottom, (Box{0, 601, 1029, 29}));
}

TEST(LogRules, FirstVisibleLine) {
  EXPECT_EQ(FirstVisibleLogLine(0, 336), 0);
  EXPECT_EQ(FirstVisibleLogLine(22, 336), 0);
  EXPECT_EQ(FirstVisibleLogLine(23, 336), 1);
  EXPECT_EQ(FirstVisibleLogLine(30, 336), 8);
  EXPECT_EQ(FirstVisibleLogLine(30, 344), 8);  // remainder dropped
  EXPECT_EQ(FirstVisibleLogLine(30, 345), 7);
}

TEST(PreviewRules, Place) {
  EXPECT_EQ(PreviewPlace(349, 365, 1, 1), (Box{2, 10, 344, 344}));
  EXPECT_EQ(PreviewPlace(349, 365, 1000, 200), (Box{2, 148, 344, 68}));
  EXPECT_EQ(PreviewPlace(349, 365, 608, 2), (Box{2, 181, 344, 1}));
  EXPECT_EQ(PreviewPlace(349, 365, 100, 1000), (Box{156, 2, 36, 360}));
  EXPECT_EQ(PreviewPlace(649, 365, 1, 1), (Box{144, 2, 360, 360}));  // a wider panel
  EXPECT_EQ(PreviewPlace(349, 365, 0, 5), Box{});
  EXPECT_EQ(PreviewPlace(349, 365, 5, -1), Box{});
}

}  // namespace
}  // namespace pt::window
