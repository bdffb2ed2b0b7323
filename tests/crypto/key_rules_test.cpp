#include "crypto/key_rules.h"
#include "tests/support/named_case.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace pt {
namespace {

const std::string kRetry = " !!!\nPlease try again ...";
const std::string kMismatch = "Passwords are not identical !!!\nPlease try again ...";
const std::string kPairs = "HEX Values must be a couple of two-byte-pairs !!!\nPlease try again ...";
const std::string kNonHex = "Password contains non HEX characters";

std::string AsciiLength(std::size_t n) {
  return "Password is smaller than 8 or larger than 32 characters (" + std::to_string(n) +
         ")" + kRetry;
}
std::string HexLength(std::size_t n) {
  return "Password is smaller than 16 or larger than 64 characters (" + std::to_string(n) +
         ")" + kRetry;
}

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}
std::string Unusable(const std::string& c) {
  return "Password contains a character that cannot be used in a key (\"" + c +
         "\") !!!\nKeys may use the characters of the Western European code page "
         "(Windows-1252) only.\nPlease try again ...";
}

// ---------------------------------------------------------------------------
// Dialog rules

struct DialogCase : test::NamedCase {
  bool hexMode;
  bool reenterShown;
  std::string enter;
  std::string reenter;
  std::string message;  // empty: accepted
  bool clearReenter;
};

class CheckDialogKeyTest : public ::testing::TestWithParam<DialogCase> {};

TEST_P(CheckDialogKeyTest, AppliesRulesInOrder) {
  const DialogCase& c = GetParam();
  const KeyCheck got = CheckDialogKey(c.hexMode, c.reenterShown, c.enter, c.reenter);
  EXPECT_EQ(got.accepted, c.message.empty());
  EXPECT_EQ(got.message, c.message);
  EXPECT_EQ(got.clearReenter, c.clearReenter);
}

INSTANTIATE_TEST_SUITE_P(
    Ascii, CheckDialogKeyTest,
    ::testing::Values(
        DialogCase{"Seven", false, false, "1234567", "", AsciiLength(7), false},
        DialogCase{"Eight", false, false, "12345678", "", "", false},
        DialogCase{"ThirtyTwo", false, false, std::string(32, 'k'), "", "", false},
        DialogCase{"ThirtyThree", false, false, std::string(33, 'k'), "", AsciiLength(33), false},
        DialogCase{"Empty", false, false, "", "", AsciiLength(0), false},
        DialogCase{"BlanksCount", false, false, "  a b c  ", "", "", false},
        // The re-entry field is ignored while it is hidden.
        DialogCase{"HiddenReenterIgnored", false, false, "password", "other", "", false},
        DialogCase{"MaskedSame", false, true, "password", "password", "", false},
        DialogCase{"MaskedDifferentCase", false, true, "password", "Password", kMismatch, true},
        // The mismatch comes first even when the key is also too short.
        DialogCase{"MaskedMismatchBeforeLength", false, true, "short", "shorter", kMismatch, true},
        DialogCase{"MaskedSameButShort", false, true, "short", "short", AsciiLength(5), false},
        DialogCase{"MaskedReenterEmpty", false, true, "password", "", kMismatch, true},
        // Characters are counted, not their UTF-8 bytes.
        DialogCase{"ThirtyThreeUmlauts", false, false, Repeat("\xC3\xA4", 33), "",
                   AsciiLength(33), false},
        // Eight Cyrillic letters have no Windows-1252 bytes: refused, never '?'.
        DialogCase{"Cyrillic", false, false, Repeat("\xD0\x96", 8), "",
                   Unusable("\xD0\x96"), false},
        DialogCase{"ChineseAfterLatin", false, false, "password\xE4\xB8\xAD", "",
                   Unusable("\xE4\xB8\xAD"), false},
        DialogCase{"NotUtf8", false, false, "passw\xF6rd", "",
                   "Password is no valid UTF-8 text" + kRetry, false},
        // Two masked entries that would both become "????????" differ.
        DialogCase{"MaskedDifferentNonLatin", false, true, Repeat("\xD0\x96", 8),
                   Repeat("\xD0\x94", 8), kMismatch, true}),
    test::CaseName());

INSTANTIATE_TEST_SUITE_P(
    Hex, CheckDialogKeyTest,
    ::testing::Values(
        DialogCase{"Fifteen", true, false, std::string(15, '0'), "", HexLength(15), false},
        DialogCase{"Sixteen", true, false, std::string(16, '0'), "", "", false},
        DialogCase{"Seventeen", true, false, std::string(17, '0'), "", kPairs, false},
        DialogCase{"SixtyFour", true, false, std::string(64, 'f'), "", "", false},
        DialogCase{"SixtyFive", true, false, std::string(65, 'f'), "", HexLength(65), false},
        DialogCase{"SixtySix", true, false, std::string(66, 'F'), "", HexLength(66), false},
        DialogCase{"Empty", true, false, "", "", HexLength(0), false},
        DialogCase{"LetterG", true, false, "0123456789abcdeg", "", kNonHex, false},
        DialogCase{"Blank", true, false, "0123456789abcde ", "", kNonHex, false},
        DialogCase{"OddAndNonHex", true, false, "0123456789abcdeg0", "", kPairs, false},
        DialogCase{"MixedCase", true, false, "0123456789abcdefABCDEF", "", "", false},
        DialogCase{"NonLatinCountsAsOne", true, false, Repeat("\xD0\x96", 16), "", kNonHex,
                   false},
        // Hex mode never compares a re-entry.
        DialogCase{"ReenterIgnored", true, true, std::string(16, 'a'), "x", "", false}),
    test::CaseName());

// ---------------------------------------------------------------------------
// Key bytes

struct TypedKeyCase : test::NamedCase {
  bool hexMode;
  std::string utf8;
  std::string text;  // what the job is handed
};

class TypedKeyTextTest : public ::testing::TestWithParam<TypedKeyCase> {};

// Typed characters become their Windows-1252 bytes, whatever the platform.
TEST_P(TypedKeyTextTest, IsWhatTheJobConverts) {
  const TypedKeyCase& c = GetParam();
  const KeyCheck check = CheckDialogKey(c.hexMode, !c.hexMode, c.utf8, c.utf8);
  ASSERT_TRUE(check.accepted) << check.message;
  EXPECT_EQ(check.text.View(), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TypedKeyTextTest,
    ::testing::Values(
        TypedKeyCase{"Ascii", false, " Pass word ", " Pass word "},
        TypedKeyCase{"Umlauts", false, "\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x84\xC3\x96\xC3\x9C\xC3\x9F\xC3\xA9",
                     "\xE4\xF6\xFC\xC4\xD6\xDC\xDF\xE9"},
        // Euro sign, single low quote, f with hook, ellipsis: the 0x80 row.
        TypedKeyCase{"WindowsOnlyCharacters", false,
                     "\xE2\x82\xAC\xE2\x80\x9A\xC6\x92\xE2\x80\xA6" "abcd",
                     "\x80\x82\x83\x85" "abcd"},
        TypedKeyCase{"HexAsTyped", true, "00112233445566778899aabbccddeeff",
                     "00112233445566778899aabbccddeeff"}),
    test::CaseName());

std::vector<std::uint8_t> Bytes(const KeyText& k) { return {k.Bytes(), k.Bytes() + k.size()}; }

TEST(KeyBytesFromDialog, AsciiKeyIsTheTextAsTyped) {
  EXPECT_EQ(KeyBytesFromDialog(false, " Pass word ").View(), " Pass word ");
  EXPECT_EQ(KeyBytesFromDialog(false, "00ff00ff00ff00ff").View(), "00ff00ff00ff00ff");
}

TEST(KeyBytesFromDialog, HexKeyKeepsCaseOfTypedDigits) {
  EXPECT_EQ(Bytes(KeyBytesFromDialog(true, std::string(16, '0'))),
            std::vector<std::uint8_t>(8, 0));
  // "cd" typed in lower case gives 0xED, "ef" gives 0xEF.
  EXPECT_EQ(Bytes(KeyBytesFromDialog(true, "cdef1a1A00000000")),
            (std::vector<std::uint8_t>{0xED, 0xEF, 0x3A, 0x1A, 0, 0, 0, 0}));
}

// ---------------------------------------------------------------------------
// Command-line key

struct CommandKeyCase : test::NamedCase {
  std::string text;
  bool accepted;
};

class ParseCommandLineKeyTest : public ::testing::TestWithParam<CommandKeyCase> {};

TEST_P(ParseCommandLineKeyTest, AcceptsSixteenToSixtyFourHexDigits) {
  const auto key = ParseCommandLineKey(GetParam().text);
  EXPECT_EQ(key.has_value(), GetParam().accepted);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseCommandLineKeyTest,
    ::testing::Values(CommandKeyCase{"Fifteen", std::string(15, '1'), false},
                      CommandKeyCase{"Sixteen", std::string(16, '1'), true},
                      CommandKeyCase{"Seventeen", std::string(17, '1'), false},
                      CommandKeyCase{"SixtyFour", std::string(64, 'a'), true},
                      CommandKeyCase{"SixtySix", std::string(66, 'a'), false},
                      CommandKeyCase{"Empty", "", false},
                      CommandKeyCase{"NonHex", "0123456789abcdeX", false},
                      CommandKeyCase{"WithColon", ":123456789abcdef", false},
                      CommandKeyCase{"Blank", "0123456789abcde ", false}),
    test::CaseName());

TEST(ParseCommandLineKey, UpperCasesBeforeConversion) {
  const auto key = ParseCommandLineKey("cdef0123456789ab");
  ASSERT_TRUE(key.has_value());
  EXPECT_EQ(key->View(), "CDEF0123456789AB");
  // Upper-cased first, so "cd" gives 0xCD here, unlike in the dialog.
  EXPECT_EQ(Bytes(KeyBytesFromDialog(true, key->View())),
            (std::vector<std::uint8_t>{0xCD, 0xEF, 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB}));
}

TEST(CommandLineKeyMessage, Text) {
  EXPECT_EQ(std::string(kCommandLineKeyInvalid), "Key given by command line is not valid !!!\n");
}

}  // namespace
}  // namespace pt
