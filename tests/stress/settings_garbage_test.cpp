// Hand-edited, damaged or hostile configuration files: loading never
// crashes, reads no more than its bound, and follows the load rules (the
// first unreadable value stops the load; the first three fields skip
// values out of range; keyMode and targetNameRule end in 1..3).
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "app/settings_file.h"
#include "tests/stress/stress_support.h"
#include "tests/support/portable.h"

namespace pt::stress {
namespace {

using namespace std::string_literals;

// What loading over the defaults must give: the defaults with `change`.
Settings Expect(const std::function<void(Settings&)>& change) {
  Settings s;
  s.targetNameRule = TargetNameRule::ReplaceLast;  // corrected whenever nothing valid was read for it
  change(s);
  return s;
}

// The first nine fields, defaults but for an accepted disclaimer.
const std::string kPrefix = "2 1 -1 0 0 0 1 0 1 ";
Settings ExpectAfterPrefix(const std::function<void(Settings&)>& change) {
  return Expect([&](Settings& s) {
    s.disclaimerAccepted = true;
    change(s);
  });
}
constexpr std::size_t kTenMb = 10u << 20;

struct SettingsRow {
  std::string name;
  std::string content;
  Settings expected;
};

std::vector<SettingsRow> Rows() {
  std::vector<SettingsRow> rows = {
      {"words instead of numbers", "hello world\n", Expect([](Settings&) {})},
      {"binary noise", "\xff\xfe\x80garbage\x01\x02 3 3", Expect([](Settings&) {})},
      {"NUL bytes only", std::string(100, '\0'), Expect([](Settings&) {})},
      {"NUL after the first value", "3\0 2 5 1 1 1 2 1 1 zip 3"s, Expect([](Settings& s) { s.startupCipher = StartupCipher::Rijndael; })},
      {"NUL inside the extension word", kPrefix + "zip\0gz 2"s,
       ExpectAfterPrefix([](Settings& s) {
         s.compressedExtensions = "zip\0gz"s;
         s.targetNameRule = TargetNameRule::ReplaceAll;
       })},
      {"number far beyond 32 bits", "99999999999999999999999 1 5 1 1 1 2 1 1 zip 3", Expect([](Settings&) {})},
      {"one past the largest int", "3 2147483648 5 1 1 1 2 1 1 zip 3", Expect([](Settings& s) { s.startupCipher = StartupCipher::Rijndael; })},
      {"one below the smallest int", "3 -2147483649 5 1 1 1 2 1 1 zip 3",
       Expect([](Settings& s) { s.startupCipher = StartupCipher::Rijndael; })},
      {"10000 digits as the level", "3 2 " + std::string(10000, '9') + " 1 1 1 2 1 1 zip 3",
       Expect([](Settings& s) {
         s.startupCipher = StartupCipher::Rijndael;
         s.compressionMode = CompressionMode::UnlessListed;
       })},
      {"int limits where ranges apply",
       "2147483647 -2147483648 2147483647 0 0 0 2147483647 0 0 ext -2147483648",
       Expect([](Settings& s) { s.compressedExtensions = "ext"; })},
      {"signs and leading zeros", "+3 +0 -09 00001 0 1 +2 1 1 a,b 0003",
       Expect([](Settings& s) {
         s.startupCipher = StartupCipher::Rijndael;
         s.compressionMode = CompressionMode::Never;
         s.compressionLevel = -9;
         s.showBitmap = true;
         s.copyLog = true;
         s.keyMode = KeyMode::Hex;
         s.hidePassword = true;
         s.disclaimerAccepted = true;
         s.compressedExtensions = "a,b";
         s.targetNameRule = TargetNameRule::Append;
       })},
      {"CR LF after every value", "3\r\n2\r\n5\r\n1\r\n1\r\n1\r\n2\r\n1\r\n1\r\nzip,rar\r\n3\r\n",
       Expect([](Settings& s) {
         s.startupCipher = StartupCipher::Rijndael;
         s.compressionMode = CompressionMode::UnlessListed;
         s.compressionLevel = 5;
         s.showBitmap = s.exitAfterConversion = s.copyLog = true;
         s.keyMode = KeyMode::Hex;
         s.hidePassword = s.disclaimerAccepted = true;
         s.compressedExtensions = "zip,rar";
         s.targetNameRule = TargetNameRule::Append;
       })},
      {"CR, tab, vertical tab, form feed", "1\r0\t9\v1\f0 1 3 0 1 x 2",
       Expect([](Settings& s) {
         s.startupCipher = StartupCipher::Blowfish;
         s.compressionMode = CompressionMode::Never;
         s.compressionLevel = 9;
         s.showBitmap = true;
         s.copyLog = true;
         s.keyMode = KeyMode::Neither;
         s.disclaimerAccepted = true;
         s.compressedExtensions = "x";
         s.targetNameRule = TargetNameRule::ReplaceAll;
       })},
      {"number glued to a word", "3abc 2", Expect([](Settings& s) { s.startupCipher = StartupCipher::Rijndael; })},
      {"decimal point", "1.5 2", Expect([](Settings& s) { s.startupCipher = StartupCipher::Blowfish; })},
      {"boolean 2 stops the load", "1 1 1 2 1 1 3 1 1 zip 2",
       Expect([](Settings& s) {
         s.startupCipher = StartupCipher::Blowfish;
         s.compressionMode = CompressionMode::IfSmaller;
         s.compressionLevel = 1;
       })},
      {"keyMode out of range", "0 0 0 0 0 0 -5 0 0 e 3",
       Expect([](Settings& s) {
         s.startupCipher = StartupCipher::None;
         s.compressionMode = CompressionMode::Never;
         s.compressionLevel = 0;
         s.compressedExtensions = "e";
         s.targetNameRule = TargetNameRule::Append;
       })},
      // Only the first kMaxSettingsFileBytes count.
      {"10 MB extension word", kPrefix + std::string(kTenMb, 'a') + " 3",
       ExpectAfterPrefix([](Settings& s) {
         s.compressedExtensions = std::string(kMaxSettingsFileBytes - kPrefix.size(), 'a');
       })},
      {"10 MB of blanks before the values", std::string(kTenMb, ' ') + "3 3 3 1 1 1 3 1 1 x 3",
       Expect([](Settings&) {})},
      {"10 MB of digits", std::string(kTenMb, '7'), Expect([](Settings&) {})},
      {"10 MB line after valid values", kPrefix + "zip 3 " + std::string(kTenMb, 'z'),
       ExpectAfterPrefix([](Settings& s) { s.compressedExtensions = "zip"; s.targetNameRule = TargetNameRule::Append; })},
  };
  // The last value exactly at the last byte read, and one byte beyond it.
  const std::size_t fits = kMaxSettingsFileBytes - 2 - kPrefix.size();
  rows.push_back({"last value on the last byte read", kPrefix + std::string(fits, 'w') + " 3",
                  ExpectAfterPrefix([&](Settings& s) {
                    s.compressedExtensions = std::string(fits, 'w');
                    s.targetNameRule = TargetNameRule::Append;
                  })});
  rows.push_back({"last value one byte beyond", kPrefix + std::string(fits + 1, 'w') + " 3",
                  ExpectAfterPrefix([&](Settings& s) { s.compressedExtensions = std::string(fits + 1, 'w'); })});
  return rows;
}

class SettingsGarbage : public StressTest {};

TEST_F(SettingsGarbage, LoadsByTheRulesWithinTheBound) {
  const std::string path = Box("pixeltuck.cfg");
  for (const SettingsRow& row : Rows()) {
    SCOPED_TRACE(row.name);
    {
      std::ofstream out(path, std::ios::binary | std::ios::trunc);
      out.write(row.content.data(), static_cast<std::streamsize>(row.content.size()));
    }
    ASSERT_EQ(std::filesystem::file_size(path), row.content.size());
    Settings s;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(LoadSettings(s, path));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 1.0);
    EXPECT_LE(s.compressedExtensions.size(), kMaxSettingsFileBytes);
    EXPECT_EQ(s.startupCipher, row.expected.startupCipher);
    EXPECT_EQ(s.compressionMode, row.expected.compressionMode);
    EXPECT_EQ(s.compressionLevel, row.expected.compressionLevel);
    EXPECT_EQ(s.showBitmap, row.expected.showBitmap);
    EXPECT_EQ(s.exitAfterConversion, row.expected.exitAfterConversion);
    EXPECT_EQ(s.copyLog, row.expected.copyLog);
    EXPECT_EQ(s.keyMode, row.expected.keyMode);
    EXPECT_EQ(s.hidePassword, row.expected.hidePassword);
    EXPECT_EQ(s.disclaimerAccepted, row.expected.disclaimerAccepted);
    EXPECT_EQ(s.compressedExtensions.size(), row.expected.compressedExtensions.size());
    EXPECT_TRUE(s.compressedExtensions == row.expected.compressedExtensions);
    EXPECT_EQ(s.targetNameRule, row.expected.targetNameRule);
  }
}

TEST_F(SettingsGarbage, GarbageKeepsWhatTheSettingsHeld) {
  // Loading goes over the current values, not over the defaults.
  Settings held;
  held.startupCipher = StartupCipher::None;
  held.compressionMode = CompressionMode::Always;
  held.compressionLevel = -7;
  held.showBitmap = held.exitAfterConversion = held.copyLog = true;
  held.keyMode = KeyMode::Neither;
  held.hidePassword = held.disclaimerAccepted = true;
  held.compressedExtensions = "keep";
  held.targetNameRule = TargetNameRule::ReplaceAll;
  for (const std::string& content : {"x"s, "\0\0\0"s, "\r\n\r\n"s, std::string(kTenMb, '-')}) {
    SCOPED_TRACE(testing::Message() << "file of " << content.size() << " bytes");
    WriteBytes(Box("held.cfg"), Bytes(content.begin(), content.end()));
    Settings s = held;
    EXPECT_TRUE(LoadSettings(s, Box("held.cfg")));
    EXPECT_TRUE(s == held);
  }
}

TEST_F(SettingsGarbage, NothingToLoadChangesNothing) {
  std::filesystem::create_directory(Box("folder.cfg"));
  WriteBytes(Box("empty.cfg"), {});
  std::vector<const char*> names = {"missing.cfg", "folder.cfg", "empty.cfg"};
  if (test::kCanMakeSymlinks) {  // a dangling link has no hard-link form
    std::filesystem::create_symlink(Box("missing.cfg"), Box("dangling.cfg"));
    names.push_back("dangling.cfg");
  }
  for (const char* name : names) {
    SCOPED_TRACE(name);
    Settings s;
    EXPECT_FALSE(LoadSettings(s, Box(name)));
    EXPECT_TRUE(s == Settings{});
  }
}

}  // namespace
}  // namespace pt::stress
