#include "app/settings_file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "carrier/file_io.h"
#include "tests/app/temp_dir.h"
#include "tests/support/failing_files.h"
#include "tests/support/named_case.h"

namespace pt {
namespace {

namespace fs = std::filesystem;
using test::TempDirTest;

const char* const kDefaultList = "zip,gz,arj,rar,lzh,cab,z,bz2,msi";

// ---------------------------------------------------------------------------
// File name

struct CfgNameCase {
  std::string exe;
  std::string cfg;
};

void PrintTo(const CfgNameCase& c, std::ostream* os) { *os << '"' << c.exe << "\" -> \"" << c.cfg << '"'; }

class ConfigurationFileForTest : public ::testing::TestWithParam<CfgNameCase> {};

TEST_P(ConfigurationFileForTest, ReplacesThreeLetterExtensionOrAppends) {
  EXPECT_EQ(ConfigurationFileFor(GetParam().exe), GetParam().cfg);
}

INSTANTIATE_TEST_SUITE_P(
    Names, ConfigurationFileForTest,
    ::testing::Values(CfgNameCase{"/opt/pt/pixeltuck", "/opt/pt/pixeltuck.cfg"},
                      CfgNameCase{"/opt/pt/pixeltuck.exe", "/opt/pt/pixeltuck.cfg"},
                      CfgNameCase{"/opt/pt/pixeltuck.EXE", "/opt/pt/pixeltuck.cfg"},
                      CfgNameCase{"/opt/pt/pixeltuck.cfg", "/opt/pt/pixeltuck.cfg"},
                      CfgNameCase{"/opt/v1.2/pixeltuck", "/opt/v1.2/pixeltuck.cfg"},
                      CfgNameCase{"/opt/a.bc/pixeltuck", "/opt/a.bc/pixeltuck.cfg"},
                      CfgNameCase{"/bin/run.sh", "/bin/run.sh.cfg"},
                      CfgNameCase{"/bin/tool.app.x", "/bin/tool.app.x.cfg"},
                      CfgNameCase{"pixeltuck", "pixeltuck.cfg"},
                      CfgNameCase{"a.b.exe", "a.b.cfg"},
                      CfgNameCase{"", ""}));

TEST(ExecutablePath, NamesThisTestProgram) {
  const std::string exe = ExecutablePath();
  ASSERT_FALSE(exe.empty());
  EXPECT_TRUE(fs::is_regular_file(exe)) << exe;
  EXPECT_EQ(fs::path(exe).filename().string().rfind("app_tests", 0), 0U) << exe;
}

// ---------------------------------------------------------------------------
// Text form

TEST(SettingsToText, DefaultsWithAcceptedDisclaimer) {
  Settings s;
  s.disclaimerAccepted = true;
  EXPECT_EQ(SettingsToText(s), "2 1 -1 0 0 0 1 0 1 zip,gz,arj,rar,lzh,cab,z,bz2,msi 0");
}

TEST(SettingsToText, EveryFieldInOrder) {
  Settings s;
  s.startupCipher = StartupCipher::Rijndael;
  s.compressionMode = CompressionMode::Never;
  s.compressionLevel = -9;
  s.showBitmap = true;
  s.exitAfterConversion = false;
  s.copyLog = true;
  s.keyMode = KeyMode::Hex;
  s.hidePassword = true;
  s.disclaimerAccepted = false;
  s.compressedExtensions = "7z";
  s.targetNameRule = TargetNameRule::Append;
  EXPECT_EQ(SettingsToText(s), "3 0 -9 1 0 1 2 1 0 7z 3");
}

struct LoadCase : test::NamedCase {
  std::string text;
  std::function<void(Settings&)> expect;  // changes from the defaults
};

class LoadSettingsFromTextTest : public ::testing::TestWithParam<LoadCase> {};

TEST_P(LoadSettingsFromTextTest, LoadsOverDefaults) {
  Settings got;
  LoadSettingsFromText(got, GetParam().text);
  Settings want;
  GetParam().expect(want);
  EXPECT_EQ(got, want) << "text: " << GetParam().text << "\nloaded: " << SettingsToText(got)
                       << "\nwanted: " << SettingsToText(want);
}

INSTANTIATE_TEST_SUITE_P(
    Files, LoadSettingsFromTextTest,
    ::testing::Values(
        LoadCase{"AllFields", "3 2 7 1 1 1 2 1 1 arc 2",
                 [](Settings& s) {
                   s.startupCipher = StartupCipher::Rijndael;
                   s.compressionMode = CompressionMode::UnlessListed;
                   s.compressionLevel = 7;
                   s.showBitmap = s.exitAfterConversion = s.copyLog = true;
                   s.keyMode = KeyMode::Hex;
                   s.hidePassword = s.disclaimerAccepted = true;
                   s.compressedExtensions = "arc";
                   s.targetNameRule = TargetNameRule::ReplaceAll;
                 }},
        LoadCase{"OnlyFirstValue", "3",
                 [](Settings& s) {
                   s.startupCipher = StartupCipher::Rijndael;
                   s.targetNameRule = TargetNameRule::ReplaceLast;
                 }},
        LoadCase{"FirstValueFourIgnored", "4 2",
                 [](Settings& s) {
                   s.compressionMode = CompressionMode::UnlessListed;
                   s.targetNameRule = TargetNameRule::ReplaceLast;
                 }},
        LoadCase{"FirstValueMinusOneIgnored", "-1 3",
                 [](Settings& s) {
                   s.compressionMode = CompressionMode::Always;
                   s.targetNameRule = TargetNameRule::ReplaceLast;
                 }},
        LoadCase{"ShowBitmapTwoStopsLoad", "0 2 5 2 1 1 3 1 1 rar 2",
                 [](Settings& s) {
                   s.startupCipher = StartupCipher::None;
                   s.compressionMode = CompressionMode::UnlessListed;
                   s.compressionLevel = 5;
                   s.targetNameRule = TargetNameRule::ReplaceLast;
                 }},
        LoadCase{"LevelMinusNine", "2 1 -9", [](Settings& s) {
                   s.compressionLevel = -9;
                   s.targetNameRule = TargetNameRule::ReplaceLast;
                 }},
        LoadCase{"LevelTenIgnored", "2 1 10 1", [](Settings& s) {
                   s.showBitmap = true;
                   s.targetNameRule = TargetNameRule::ReplaceLast;
                 }},
        LoadCase{"LevelMinusTenIgnored", "2 1 -10 1", [](Settings& s) {
                   s.showBitmap = true;
                   s.targetNameRule = TargetNameRule::ReplaceLast;
                 }},
        LoadCase{"BlankInExtensionList", "2 1 -1 0 0 0 1 0 1 zip, gz 2",
                 [](Settings& s) {
                   s.disclaimerAccepted = true;
                   s.compressedExtensions = "zip,";
                   s.targetNameRule = TargetNameRule::ReplaceLast;
                 }},
        LoadCase{"EmptyExtensionList", "2 1 -1 0 0 0 1 0 1  2",
                 [](Settings& s) {
                   s.disclaimerAccepted = true;
                   s.compressedExtensions = "2";
                   s.targetNameRule = TargetNameRule::ReplaceLast;
                 }},
        LoadCase{"LineEndsTabsAndRuns", "\r\n 1\r\n2\t\t-3   1\n0\n1 3 0 1\r\nz\r\n3\r\n",
                 [](Settings& s) {
                   s.startupCipher = StartupCipher::Blowfish;
                   s.compressionMode = CompressionMode::UnlessListed;
                   s.compressionLevel = -3;
                   s.showBitmap = true;
                   s.copyLog = true;
                   s.keyMode = KeyMode::Neither;
                   s.disclaimerAccepted = true;
                   s.compressedExtensions = "z";
                   s.targetNameRule = TargetNameRule::Append;
                 }},
        // keyMode and targetNameRule are stored first and then corrected.
        LoadCase{"KeyModeOutOfRange", "2 1 -1 0 0 0 7 0 0 zip 5",
                 [](Settings& s) {
                   s.compressedExtensions = "zip";
                   s.targetNameRule = TargetNameRule::ReplaceLast;
                 }},
        LoadCase{"KeyModeZero", "2 1 -1 0 0 0 0 1 0 zip 3",
                 [](Settings& s) {
                   s.hidePassword = true;
                   s.compressedExtensions = "zip";
                   s.targetNameRule = TargetNameRule::Append;
                 }},
        LoadCase{"Empty", "", [](Settings& s) { s.targetNameRule = TargetNameRule::ReplaceLast; }},
        LoadCase{"OnlyBlanks", " \r\n\t ", [](Settings& s) { s.targetNameRule = TargetNameRule::ReplaceLast; }},
        LoadCase{"Garbage", "hello world 1 2 3", [](Settings& s) { s.targetNameRule = TargetNameRule::ReplaceLast; }},
        LoadCase{"NumberFollowedByLetters", "1x 3", [](Settings& s) {
                   s.startupCipher = StartupCipher::Blowfish;
                   s.targetNameRule = TargetNameRule::ReplaceLast;
                 }},
        LoadCase{"SignWithoutDigits", "- 3", [](Settings& s) { s.targetNameRule = TargetNameRule::ReplaceLast; }},
        LoadCase{"PlusSign", "+3 +0", [](Settings& s) {
                   s.startupCipher = StartupCipher::Rijndael;
                   s.compressionMode = CompressionMode::Never;
                   s.targetNameRule = TargetNameRule::ReplaceLast;
                 }},
        LoadCase{"NulByteStopsLoad", std::string("1 2\0 3 1", 8), [](Settings& s) {
                   s.startupCipher = StartupCipher::Blowfish;
                   s.compressionMode = CompressionMode::UnlessListed;
                   s.targetNameRule = TargetNameRule::ReplaceLast;
                 }},
        LoadCase{"NulByteInsideWordKept", std::string("2 1 -1 0 0 0 1 0 0 a\0b 2", 24),
                 [](Settings& s) {
                   s.compressedExtensions = std::string("a\0b", 3);
                   s.targetNameRule = TargetNameRule::ReplaceAll;
                 }},
        // Outside the 32-bit range: a failed read, not a wrapped value.
        LoadCase{"Int32Overflow", "4294967297 1", [](Settings& s) { s.targetNameRule = TargetNameRule::ReplaceLast; }},
        LoadCase{"Int32MinimumStillReads", "-2147483648 3", [](Settings& s) {
                   s.compressionMode = CompressionMode::Always;
                   s.targetNameRule = TargetNameRule::ReplaceLast;
                 }},
        LoadCase{"BelowInt32Minimum", "-2147483649 3", [](Settings& s) { s.targetNameRule = TargetNameRule::ReplaceLast; }},
        LoadCase{"HugeTargetNameRule",
                 "2 1 -1 0 0 0 1 0 0 zip 99999999999999999999999999999999999999",
                 [](Settings& s) {
                   s.compressedExtensions = "zip";
                   s.targetNameRule = TargetNameRule::ReplaceLast;
                 }},
        LoadCase{"TargetNameRuleKeepsFollowingText", "2 1 -1 0 0 0 1 0 0 zip 2junk",
                 [](Settings& s) {
                   s.compressedExtensions = "zip";
                   s.targetNameRule = TargetNameRule::ReplaceAll;
                 }}),
    test::CaseName());

// ---------------------------------------------------------------------------
// Files

using SettingsFileTest = TempDirTest;

TEST_F(SettingsFileTest, NoFileKeepsDefaults) {
  Settings s;
  EXPECT_FALSE(LoadSettings(s, PathOf("pixeltuck.cfg")));
  EXPECT_EQ(s, Settings{});
  EXPECT_EQ(s.startupCipher, StartupCipher::Twofish);
  EXPECT_EQ(s.compressionMode, CompressionMode::IfSmaller);
  EXPECT_EQ(s.compressionLevel, -1);
  EXPECT_FALSE(s.showBitmap || s.exitAfterConversion || s.copyLog || s.hidePassword ||
               s.disclaimerAccepted);
  EXPECT_EQ(s.keyMode, KeyMode::Ascii);
  EXPECT_EQ(s.compressedExtensions, kDefaultList);
  EXPECT_EQ(s.targetNameRule, TargetNameRule::Unset);
}

TEST_F(SettingsFileTest, EmptyFileOrDirectoryIsNoFile) {
  Settings s;
  EXPECT_FALSE(LoadSettings(s, Write("empty.cfg", "")));
  fs::create_directory(dir_ / "dir.cfg");
  EXPECT_FALSE(LoadSettings(s, PathOf("dir.cfg")));
  EXPECT_FALSE(LoadSettings(s, ""));
  EXPECT_EQ(s, Settings{});
}

TEST_F(SettingsFileTest, OnlyFirstValue) {
  Settings s;
  EXPECT_TRUE(LoadSettings(s, Write("p.cfg", "3")));
  Settings want;
  want.startupCipher = StartupCipher::Rijndael;
  want.targetNameRule = TargetNameRule::ReplaceLast;
  EXPECT_EQ(s, want);
}

TEST_F(SettingsFileTest, SavedValuesLoadBack) {
  Settings saved;
  saved.compressionMode = CompressionMode::Always;
  saved.compressionLevel = -9;
  saved.showBitmap = true;
  saved.keyMode = KeyMode::Hex;
  saved.compressedExtensions = "zip;7z";
  saved.targetNameRule = TargetNameRule::ReplaceAll;
  const std::string path = PathOf("p.cfg");
  ASSERT_TRUE(SaveSettings(saved, path));
  Settings loaded;
  ASSERT_TRUE(LoadSettings(loaded, path));
  EXPECT_EQ(loaded, saved);
  EXPECT_EQ(loaded.compressionMode, CompressionMode::Always);
  EXPECT_EQ(loaded.compressionLevel, -9);
}

TEST_F(SettingsFileTest, FileIsExactlyOneLineWithoutLineEnd) {
  Settings s;
  s.disclaimerAccepted = true;
  const std::string path = PathOf("p.cfg");
  ASSERT_TRUE(SaveSettings(s, path));
  EXPECT_EQ(Read(path), "2 1 -1 0 0 0 1 0 1 zip,gz,arj,rar,lzh,cab,z,bz2,msi 0");
}

TEST_F(SettingsFileTest, SaveReplacesAnyOldContent) {
  const std::string path = Write("p.cfg", std::string(5000, 'x') + "\r\n");
  Settings s;
  ASSERT_TRUE(SaveSettings(s, path));
  EXPECT_EQ(Read(path), SettingsToText(s));
  // Rewritten also when nothing changed.
  Write("p.cfg", "junk");
  ASSERT_TRUE(SaveSettings(s, path));
  EXPECT_EQ(Read(path), SettingsToText(s));
}

TEST_F(SettingsFileTest, BlankInExtensionListRoundTrip) {
  Settings s;
  s.compressedExtensions = "zip, gz";
  s.targetNameRule = TargetNameRule::ReplaceAll;
  const std::string path = PathOf("p.cfg");
  ASSERT_TRUE(SaveSettings(s, path));
  Settings loaded;
  ASSERT_TRUE(LoadSettings(loaded, path));
  EXPECT_EQ(loaded.compressedExtensions, "zip,");
  EXPECT_EQ(loaded.targetNameRule, TargetNameRule::ReplaceLast);
}

TEST_F(SettingsFileTest, EmptyExtensionListRoundTrip) {
  Settings s;
  s.compressedExtensions = "";
  s.targetNameRule = TargetNameRule::Append;
  const std::string path = PathOf("p.cfg");
  ASSERT_TRUE(SaveSettings(s, path));
  EXPECT_EQ(Read(path), "2 1 -1 0 0 0 1 0 0  3");
  Settings loaded;
  ASSERT_TRUE(LoadSettings(loaded, path));
  EXPECT_EQ(loaded.compressedExtensions, "3");
  EXPECT_EQ(loaded.targetNameRule, TargetNameRule::ReplaceLast);
}

TEST_F(SettingsFileTest, CrLfFileReadWithoutTranslation) {
  Settings s;
  ASSERT_TRUE(LoadSettings(s, Write("p.cfg", "1\r\n0\r\n-1\r\n0 0 0 2 0 1 gz\r\n2\r\n")));
  EXPECT_EQ(s.startupCipher, StartupCipher::Blowfish);
  EXPECT_EQ(s.compressionMode, CompressionMode::Never);
  EXPECT_EQ(s.keyMode, KeyMode::Hex);
  EXPECT_EQ(s.compressedExtensions, "gz");
  EXPECT_EQ(s.targetNameRule, TargetNameRule::ReplaceAll);
}

TEST_F(SettingsFileTest, OnlyTheFirstPartOfAHugeFileIsRead) {
  // The value after the bound is never reached.
  const std::string text = std::string(kMaxSettingsFileBytes, ' ') + "3 0";
  Settings s;
  EXPECT_TRUE(LoadSettings(s, Write("big.cfg", text)));
  Settings want;
  want.targetNameRule = TargetNameRule::ReplaceLast;
  EXPECT_EQ(s, want);
}

TEST_F(SettingsFileTest, BinaryGarbageLoadsWithoutHarm) {
  std::string bytes;
  for (int i = 0; i < 4096; ++i) bytes.push_back(static_cast<char>((i * 131 + 7) & 0xFF));
  Settings s;
  EXPECT_TRUE(LoadSettings(s, Write("garbage.cfg", bytes)));
  EXPECT_GE(static_cast<int>(s.keyMode), 1);
  EXPECT_LE(static_cast<int>(s.keyMode), 3);
  EXPECT_GE(static_cast<int>(s.targetNameRule), 1);
  EXPECT_LE(static_cast<int>(s.targetNameRule), 3);
}

TEST_F(SettingsFileTest, SaveFailuresReturnFalse) {
  const Settings s;
  EXPECT_FALSE(SaveSettings(s, PathOf("missing-folder/p.cfg")));
  fs::create_directory(dir_ / "taken.cfg");
  EXPECT_FALSE(SaveSettings(s, PathOf("taken.cfg")));
  EXPECT_FALSE(SaveSettings(s, ""));
}

TEST(SaveSettings, FullDiskReturnsFalse) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  EXPECT_FALSE(SaveSettings(Settings{}, "/dev/full"));
}

// ---------------------------------------------------------------------------
// Safe saving

// Names in the folder besides the ones a test made: leftovers of a save.
std::vector<std::string> OtherNames(const fs::path& dir, const std::vector<std::string>& known) {
  std::vector<std::string> other;
  for (const auto& e : fs::directory_iterator(dir)) {
    const std::string name = e.path().filename().string();
    if (std::find(known.begin(), known.end(), name) == known.end()) other.push_back(name);
  }
  return other;
}

TEST_F(SettingsFileTest, PipesAndLinksToThemAreNeitherReadNorWritten) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows has no named pipes in folders, and " << test::kNoSymlinks;
#else
  // Opening a pipe without a writer would block: these calls must return.
  ASSERT_EQ(::mkfifo(PathOf("fifo.cfg").c_str(), 0600), 0);
  fs::create_symlink(PathOf("fifo.cfg"), PathOf("link.cfg"));
  for (const char* name : {"fifo.cfg", "link.cfg"}) {
    SCOPED_TRACE(name);
    Settings s;
    EXPECT_FALSE(LoadSettings(s, PathOf(name)));
    EXPECT_FALSE(SaveSettings(s, PathOf(name)));
    EXPECT_EQ(s, Settings{});
  }
  EXPECT_TRUE(fs::is_fifo(PathOf("fifo.cfg")));
  EXPECT_TRUE(fs::is_symlink(PathOf("link.cfg")));
  EXPECT_EQ(OtherNames(dir_, {"fifo.cfg", "link.cfg"}), std::vector<std::string>{});
#endif
}

TEST_F(SettingsFileTest, SaveThroughALinkReplacesItsTargetAndKeepsModeBits) {
  if (!test::kCanMakeSymlinks) GTEST_SKIP() << test::kNoSymlinks;
  fs::create_directory(dir_ / "dotfiles");
  const std::string target = Write("dotfiles/pixeltuck.cfg", "0 0 0");
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
  // A relative link, as users keep them in their folders.
  fs::create_symlink("dotfiles/pixeltuck.cfg", PathOf("pixeltuck.cfg"));
  Settings s;
  s.startupCipher = StartupCipher::Rijndael;
  ASSERT_TRUE(SaveSettings(s, PathOf("pixeltuck.cfg")));
  EXPECT_TRUE(fs::is_symlink(PathOf("pixeltuck.cfg")));
  EXPECT_EQ(Read(target), SettingsToText(s));
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(OtherNames(dir_ / "dotfiles", {"pixeltuck.cfg"}), std::vector<std::string>{});
}

struct SaveFaultCase : test::NamedCase {
  std::function<void(test::FailingFiles&)> fault;
};

class SettingsSaveFaultTest : public TempDirTest,
                              public ::testing::WithParamInterface<SaveFaultCase> {};

TEST_P(SettingsSaveFaultTest, KeepsTheOldFileWhole) {
  const std::string old = "3 0 -1 0 0 0 2 0 1 zip 2";
  const std::string path = Write("pixeltuck.cfg", old);
  test::FailingFiles files;
  GetParam().fault(files);
  EXPECT_FALSE(SaveSettings(Settings{}, path, files));
  EXPECT_EQ(Read(path), old);
  EXPECT_EQ(OtherNames(dir_, {"pixeltuck.cfg"}), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SettingsSaveFaultTest,
    ::testing::Values(SaveFaultCase{"WriteFailsAtOnce", [](test::FailingFiles& f) { f.FailWritesAfter(0); }},
                      SaveFaultCase{"WriteFailsMidway", [](test::FailingFiles& f) { f.FailWritesAfter(5); }},
                      SaveFaultCase{"DiskFullAtClose", [](test::FailingFiles& f) { f.FailCommits(true); }}),
    test::CaseName());

TEST_F(SettingsFileTest, ReadOnlyFileIsNotReplaced) {
#ifndef _WIN32  // on Windows the read-only attribute binds every user
  if (::geteuid() == 0) GTEST_SKIP() << "root may write any file";
#endif
  const std::string path = Write("pixeltuck.cfg", "0 0 0");
  fs::permissions(path, fs::perms::owner_read);
  EXPECT_FALSE(SaveSettings(Settings{}, path));
  EXPECT_EQ(Read(path), "0 0 0");
}

// ---------------------------------------------------------------------------
// Location

// Sets an environment variable for one test and restores it afterwards.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr) {
      test::SetEnv(name, value);
    } else {
      test::UnsetEnv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      test::SetEnv(name_, *old_);
    } else {
      test::UnsetEnv(name_);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

#ifdef _WIN32
TEST(UserConfigurationFile, ApplicationDataFolderOnWindows) {
  ScopedEnv appData("APPDATA", "C:\\Users\\J\xC3\xBCrgen\\AppData\\Roaming");
  EXPECT_EQ(UserConfigurationFile(),
            "C:\\Users\\J\xC3\xBCrgen\\AppData\\Roaming\\pixeltuck\\pixeltuck.cfg");
}
#else
TEST(UserConfigurationFile, XdgConfigHomeWhenAbsoluteElseHome) {
  ScopedEnv home("HOME", "/home/u");
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", "/cfg");
    EXPECT_EQ(UserConfigurationFile(), "/cfg/pixeltuck/pixeltuck.cfg");
  }
  for (const char* ignored : {"relative/cfg", ""}) {
    ScopedEnv xdg("XDG_CONFIG_HOME", ignored);
    EXPECT_EQ(UserConfigurationFile(), "/home/u/.config/pixeltuck/pixeltuck.cfg") << ignored;
  }
  ScopedEnv xdg("XDG_CONFIG_HOME", nullptr);
  EXPECT_EQ(UserConfigurationFile(), "/home/u/.config/pixeltuck/pixeltuck.cfg");
}
#endif

TEST(ChooseSettingsLocation, BesideWhenUsableElseUserFileOverSystemFile) {
  const std::string system = "/etc/pixeltuck.cfg";
  SettingsLocation beside = ChooseSettingsLocation("/p/pixeltuck.cfg", true, "/u/p.cfg", system);
  EXPECT_EQ(beside.readPaths, std::vector<std::string>{"/p/pixeltuck.cfg"});
  EXPECT_EQ(beside.writePath, "/p/pixeltuck.cfg");
  EXPECT_FALSE(beside.createFolders);

  SettingsLocation user = ChooseSettingsLocation("/p/pixeltuck.cfg", false, "/u/p.cfg", system);
  EXPECT_EQ(user.readPaths, (std::vector<std::string>{system, "/u/p.cfg"}));
  EXPECT_EQ(user.writePath, "/u/p.cfg");
  EXPECT_TRUE(user.createFolders);

  // Without a home folder the preset is read and nothing is written.
  SettingsLocation homeless = ChooseSettingsLocation("/p/pixeltuck.cfg", false, "", system);
  EXPECT_EQ(homeless.readPaths, std::vector<std::string>{system});
  EXPECT_EQ(homeless.writePath, "");
}

#ifndef _WIN32
TEST(SettingsLocationFor, InstalledProgramReadsSystemPresetNotItsOwnFolder) {
  ScopedEnv home("HOME", "/home/u");
  ScopedEnv xdg("XDG_CONFIG_HOME", nullptr);
  const std::string system = SystemConfigurationFile("/usr/bin/pixeltuck.cfg");
  EXPECT_EQ(fs::path(system).filename(), "pixeltuck.cfg");
  EXPECT_EQ(fs::path(system).parent_path().filename(), "etc");
  const SettingsLocation location = SettingsLocationFor("/usr/bin/pixeltuck.cfg");
  EXPECT_EQ(location.readPaths,
            (std::vector<std::string>{system, "/home/u/.config/pixeltuck/pixeltuck.cfg"}));
}
#endif

TEST_F(SettingsFileTest, ProgramFoldersAreNeverUsedForSettings) {
  EXPECT_TRUE(SettingsFolderUsable(dir_.string()));
#ifndef _WIN32  // the folders of installed programs on Linux
  for (const char* folder : {"/usr/bin", "/bin", "/usr/local/bin"}) {
    if (fs::is_directory(folder)) {
      EXPECT_FALSE(SettingsFolderUsable(folder)) << folder;
    }
  }
#endif
  if (test::ModeBitsBind()) {
    fs::create_directory(dir_ / "locked");
    fs::permissions(dir_ / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(SettingsFolderUsable(PathOf("locked")));
  }
}

TEST_F(SettingsFileTest, UserFileGoesOverSystemPresetAndIsCreatedPrivate) {
  const std::string beside = Write("pixeltuck.cfg", "1 2 5 0 0 0 2 0 1 zip 3");
  const std::string system = Write("system.cfg", "0 3 5 0 0 0 2 0 1 zip 3");
  const std::string user = PathOf("home/.config/pixeltuck/pixeltuck.cfg");
  const SettingsLocation location = ChooseSettingsLocation(beside, false, user, system);

  // First run: the preset is all there is; the file beside the program is
  // not read.
  Settings s;
  EXPECT_TRUE(LoadSettings(s, location));
  EXPECT_EQ(s.startupCipher, StartupCipher::None);
  EXPECT_EQ(s.compressionMode, CompressionMode::Always);
  s.startupCipher = StartupCipher::Blowfish;
  ASSERT_TRUE(SaveSettings(s, location));
  EXPECT_EQ(Read(system), "0 3 5 0 0 0 2 0 1 zip 3");
#ifndef _WIN32  // no mode bits on Windows
  EXPECT_EQ(fs::status(PathOf("home")).permissions() & fs::perms::all, fs::perms::owner_all);
#endif

  // Later runs: the user's values win.
  Settings again;
  EXPECT_TRUE(LoadSettings(again, location));
  EXPECT_EQ(again, s);
  EXPECT_EQ(SaveSettingsFailedMessage(location), SaveSettingsFailedMessage(user));
}

TEST(SaveSettingsFailedMessage, Text) {
  EXPECT_EQ(SaveSettingsFailedMessage("/x/pixeltuck.cfg"),
            "Configuration file : </x/pixeltuck.cfg>\ncould not be written !!!");
}

}  // namespace
}  // namespace pt
