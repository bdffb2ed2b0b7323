#include "util/text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <locale>
#include <string>
#include <vector>

#include "tests/support/portable.h"
#include "util/os_text.h"

namespace fs = std::filesystem;

namespace pt {
namespace {

// ---------------------------------------------------------------------------
// Hex text

struct HexTextCase {
  const char* text;
  bool hex;
};

void PrintTo(const HexTextCase& c, std::ostream* os) {
  *os << '"' << c.text << (c.hex ? "\" is hex" : "\" is not hex");
}

class IsHexTextTest : public ::testing::TestWithParam<HexTextCase> {};

TEST_P(IsHexTextTest, ClassifiesText) {
  EXPECT_EQ(IsHexText(GetParam().text), GetParam().hex) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IsHexTextTest,
    ::testing::Values(HexTextCase{"0a1B", true}, HexTextCase{"0a1", false},
                      HexTextCase{"0g", false}, HexTextCase{"", true},
                      HexTextCase{"0123456789abcdefABCDEF", true},
                      HexTextCase{"G0", false}, HexTextCase{"0 ", false},
                      HexTextCase{"-1", false}, HexTextCase{"0x12", false},
                      HexTextCase{"@`", false}, HexTextCase{"gG", false}));

struct HexBytesCase {
  const char* text;
  std::vector<std::uint8_t> bytes;
};

void PrintTo(const HexBytesCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class HexToBytesTest : public ::testing::TestWithParam<HexBytesCase> {};

TEST_P(HexToBytesTest, ConvertsPairsAsTyped) {
  const std::string out = HexToBytes(GetParam().text);
  const std::vector<std::uint8_t> got(out.begin(), out.end());
  EXPECT_EQ(got, GetParam().bytes) << GetParam().text;
}

// A lower-case second digit sets bit 0x20; a lower-case first digit does not
// change the byte. Carriers written with such keys depend on it.
INSTANTIATE_TEST_SUITE_P(
    Cases, HexToBytesTest,
    ::testing::Values(HexBytesCase{"00ff7F", {0x00, 0xFF, 0x7F}},
                      HexBytesCase{"1a1b", {0x3A, 0x3B}},
                      HexBytesCase{"1A1B", {0x1A, 0x1B}},
                      HexBytesCase{"ab", {0xAB}}, HexBytesCase{"ff", {0xFF}},
                      HexBytesCase{"cd", {0xED}}, HexBytesCase{"CD", {0xCD}},
                      HexBytesCase{"ef", {0xEF}}, HexBytesCase{"a0", {0xA0}},
                      HexBytesCase{"", {}},
                      HexBytesCase{"0000000000000000",
                                   {0, 0, 0, 0, 0, 0, 0, 0}}));

TEST(HexToBytes, IgnoresUnpairedLastCharacter) {
  EXPECT_EQ(HexToBytes("123"), std::string("\x12", 1));
}

TEST(CaseConversion, ChangesOnlyAsciiLetters) {
  EXPECT_EQ(ToUpperAscii("abz-AZ 09\xe4"), "ABZ-AZ 09\xe4");
  EXPECT_EQ(ToLowerAscii("ABZ-az 09\xc4"), "abz-az 09\xc4");
}

// ---------------------------------------------------------------------------
// Numbers as text

TEST(ByteToHex, UpperCaseHighNibbleFirst) {
  EXPECT_EQ(ByteToHex(0x00), "00");
  EXPECT_EQ(ByteToHex(0x0F), "0F");
  EXPECT_EQ(ByteToHex(0xA5), "A5");
  EXPECT_EQ(ByteToHex(0xFF), "FF");
}

struct ValueHexCase {
  std::uint32_t value;
  int bytes;
  const char* text;
};

void PrintTo(const ValueHexCase& c, std::ostream* os) {
  *os << c.value << " in " << c.bytes << " bytes -> " << c.text;
}

class ValueToHexTest : public ::testing::TestWithParam<ValueHexCase> {};

TEST_P(ValueToHexTest, ShowsLowBytes) {
  EXPECT_EQ(ValueToHex(GetParam().value, GetParam().bytes), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ValueToHexTest,
    ::testing::Values(ValueHexCase{305419896U, 2, "5678"},
                      ValueHexCase{305419896U, 7, "12345678"},
                      ValueHexCase{305419896U, 0, "12345678"},
                      ValueHexCase{305419896U, -1, "12345678"},
                      ValueHexCase{305419896U, 1, "78"},
                      ValueHexCase{305419896U, 3, "345678"},
                      ValueHexCase{0x1A2BU, 4, "00001A2B"},
                      ValueHexCase{0xFFFFFFFFU, 4, "FFFFFFFF"}));

TEST(IntToStrPadded, FillsOnTheLeftButNeverCuts) {
  EXPECT_EQ(IntToStrPadded(5, 2, '0'), "05");
  EXPECT_EQ(IntToStrPadded(5, 4, ' '), "   5");
  EXPECT_EQ(IntToStrPadded(123, 2, '0'), "123");
  EXPECT_EQ(IntToStrPadded(0, 0, '0'), "0");
  EXPECT_EQ(IntToStrPadded(-7, 3, '0'), "0-7");
}

struct GroupCase {
  long long value;
  const char* text;
};

void PrintTo(const GroupCase& c, std::ostream* os) { *os << c.value << " -> " << c.text; }

class GroupThousandsTest : public ::testing::TestWithParam<GroupCase> {};

TEST_P(GroupThousandsTest, DotsBetweenGroupsOfThree) {
  EXPECT_EQ(GroupThousands(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GroupThousandsTest,
    ::testing::Values(GroupCase{0, "0"}, GroupCase{999, "999"},
                      GroupCase{1000, "1.000"}, GroupCase{1234567, "1.234.567"},
                      GroupCase{1000000, "1.000.000"},
                      GroupCase{4294967296LL, "4.294.967.296"},
                      GroupCase{-1234, "-1.234"}, GroupCase{-999, "-999"}));

TEST(ElapsedText, FormatsSpans) {
  EXPECT_EQ(ElapsedText(1000, 1000 + 3725), "01:02:05");
  EXPECT_EQ(ElapsedText(1000, 1000 + 100 * 3600), "100:00:00");
  EXPECT_EQ(ElapsedText(1000, 1000), "00:00:00");
  EXPECT_EQ(ElapsedText(1000, 1059), "00:00:59");
}

TEST(ElapsedText, EndBeforeStartIsMarked) {
  EXPECT_EQ(ElapsedText(2000, 1999), "<start>stop>");
}

TEST(ElapsedText, EndZeroMeansNow) {
  const std::int64_t now = NowSeconds();
  const std::string text = ElapsedText(now - 3725, 0);
  // The clock may tick between the two readings.
  EXPECT_TRUE(text == "01:02:05" || text == "01:02:06") << text;
}

// A locale with a comma decimal point and apostrophe grouping: number texts
// must not follow it.
struct CommaPunct : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
  char do_thousands_sep() const override { return '\''; }
  std::string do_grouping() const override { return "\3"; }
};

class ForeignLocale : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = std::locale::global(std::locale(std::locale::classic(), new CommaPunct));
  }
  void TearDown() override { std::locale::global(saved_); }
  std::locale saved_;
};

TEST_F(ForeignLocale, NumberTextsIgnoreLocale) {
  EXPECT_EQ(GroupThousands(1234567), "1.234.567");
  EXPECT_EQ(FormatFixed(1.5, 2), "1.50");
  EXPECT_EQ(IntToStrPadded(12345, 7, '0'), "0012345");
}

TEST(FormatFixed, RoundsToDecimals) {
  EXPECT_EQ(FormatFixed(0.0, 0), "0");
  EXPECT_EQ(FormatFixed(2.25, 1), "2.2");  // 2.25 is exact: round half even
  EXPECT_EQ(FormatFixed(12.3456, 2), "12.35");
  EXPECT_EQ(FormatFixed(-3.5, 3), "-3.500");
  EXPECT_EQ(FormatFixed(7.0, -2), "7");
}

// ---------------------------------------------------------------------------
// Paths

std::string Sep() { return std::string(1, kPathSeparator); }

TEST(WithTrailingSeparator, AppendsOnlyWhenNeeded) {
  EXPECT_EQ(WithTrailingSeparator(""), "");
  EXPECT_EQ(WithTrailingSeparator("dir"), "dir" + Sep());
  EXPECT_EQ(WithTrailingSeparator("dir" + Sep()), "dir" + Sep());
  EXPECT_EQ(WithTrailingSeparator(Sep()), Sep());
}

TEST(LastCharPos, ScansFromTheEnd) {
  EXPECT_EQ(LastCharPos("a.b.c", '.', false), 4);
  EXPECT_EQ(LastCharPos("abc", '.', false), 0);
  EXPECT_EQ(LastCharPos("", '.', true), 0);
  EXPECT_EQ(LastCharPos(".x", '.', true), 1);
  // The stop character met first gives 0.
  EXPECT_EQ(LastCharPos("dir.x" + Sep() + "file", '.', true), 0);
  EXPECT_EQ(LastCharPos("dir.x" + Sep() + "file", '.', false), 4);
  EXPECT_EQ(LastCharPos("a" + Sep() + "b" + Sep() + "c", kPathSeparator, false), 4);
}

struct SplitCase {
  std::string path;
  PathParts parts;
};

void PrintTo(const SplitCase& c, std::ostream* os) { *os << '"' << c.path << '"'; }

class SplitPathTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitPathTest, SplitsIntoDirNameExt) {
  const PathParts got = SplitPath(GetParam().path);
  EXPECT_EQ(got.dir, GetParam().parts.dir) << GetParam().path;
  EXPECT_EQ(got.name, GetParam().parts.name) << GetParam().path;
  EXPECT_EQ(got.ext, GetParam().parts.ext) << GetParam().path;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitPathTest,
    ::testing::Values(
        SplitCase{"top" + Sep() + "dir.x" + Sep() + "file",
                  {"top" + Sep() + "dir.x", "file", ""}},
        SplitCase{"archive.tar.gz", {"", "archive.tar", "gz"}},
        SplitCase{"file", {"", "file", ""}},
        SplitCase{"", {"", "", ""}},
        SplitCase{"d" + Sep() + "report.doc", {"d", "report", "doc"}},
        // A root keeps its separator, so that joining a name stays at the root.
        SplitCase{Sep() + "report.doc", {Sep(), "report", "doc"}},
        SplitCase{"name.", {"", "name", ""}},
        SplitCase{".hidden", {"", "", "hidden"}},
        SplitCase{"d" + Sep(), {"d", "", ""}}));

#ifdef _WIN32
TEST(SplitPath, WindowsSeparatorsAndDrive) {
  PathParts p = SplitPath("C:\\dir.x\\file");
  EXPECT_EQ(p.dir, "C:\\dir.x");
  EXPECT_EQ(p.name, "file");
  EXPECT_EQ(p.ext, "");
  p = SplitPath("C:/a\\b.txt");
  EXPECT_EQ(p.dir, "C:/a");
  // "C:b.txt" is relative to the current folder of drive C:, "Y:\\root.txt"
  // lies in the root of drive Y:; each keeps its meaning after a join.
  p = SplitPath("C:b.txt");
  EXPECT_EQ(p.dir, "C:");
  EXPECT_EQ(p.name, "b");
  EXPECT_EQ(WithTrailingSeparator(p.dir) + "b.bmp", "C:b.bmp");
  p = SplitPath("Y:\\root.txt");
  EXPECT_EQ(p.dir, "Y:\\");
  EXPECT_EQ(WithTrailingSeparator(p.dir) + "root.bmp", "Y:\\root.bmp");
}
#else
TEST(SplitPath, BackslashIsAnOrdinaryCharacterHere) {
  const PathParts p = SplitPath("C:\\dir.x\\file");
  EXPECT_EQ(p.dir, "");
  EXPECT_EQ(p.name, "C:\\dir");
  EXPECT_EQ(p.ext, "x\\file");
}
#endif

// ---------------------------------------------------------------------------
// Files

class TempDir : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = test::MakeTempFolder("pt_util_");
    ASSERT_FALSE(dir_.empty());
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }
  std::string Write(const std::string& name, const std::string& bytes) const {
    const std::string p = PathOf(name);
    std::ofstream(p, std::ios::binary) << bytes;
    return p;
  }
  fs::path dir_;
};

using FileSizeOfTest = TempDir;

TEST_F(FileSizeOfTest, MissingEmptyAndNonEmpty) {
  std::string missing = PathOf("missing.txt");
  EXPECT_EQ(FileSizeOf(missing, false), -1);
  std::string empty = Write("empty.txt", "");
  EXPECT_EQ(FileSizeOf(empty, false), 0);
  std::string three = Write("three.txt", "abc");
  EXPECT_EQ(FileSizeOf(three, true), 3);
  EXPECT_EQ(three, PathOf("three.txt"));
  std::string none;
  EXPECT_EQ(FileSizeOf(none, true), -1);
}

TEST_F(FileSizeOfTest, DirectoryIsNotAFile) {
  fs::create_directory(dir_ / "sub");
  std::string sub = PathOf("sub");
  EXPECT_EQ(FileSizeOf(sub, true), -1);
  EXPECT_EQ(sub, PathOf("sub"));
}

TEST_F(FileSizeOfTest, PatternTakesFirstFileSkippingDirectories) {
  fs::create_directory(dir_ / "a.dat");
  Write("b.dat", "12345");
  Write("c.dat", "1");
  std::string pattern = PathOf("*.dat");
  EXPECT_EQ(FileSizeOf(pattern, false), 5);
  EXPECT_EQ(pattern, PathOf("*.dat"));  // unchanged without fix
  EXPECT_EQ(FileSizeOf(pattern, true), 5);
  EXPECT_EQ(pattern, PathOf("b.dat"));
}

TEST_F(FileSizeOfTest, NameWithPatternCharactersFindsItself) {
  Write("a[1].txt", "xy");
  Write("a1.txt", "12345");
  std::string p = PathOf("a[1].txt");
  EXPECT_EQ(FileSizeOf(p, true), 2);
  EXPECT_EQ(p, PathOf("a[1].txt"));
}

TEST_F(FileSizeOfTest, FindsNamesOutsideAsciiAndPathsBeyond260Characters) {
  // Names are UTF-8 inside the program; Windows' narrow search loses both.
  std::string deep = Utf8Path(dir_);
  for (int i = 0; i < 4; ++i) deep += Sep() + std::string(70, 'd');
  std::error_code ec;
  fs::create_directories(FsPath(deep), ec);
  ASSERT_FALSE(ec) << ec.message();
  for (const std::string& folder : {Utf8Path(dir_), deep}) {
    for (const char* name : {"caf\xC3\xA9.txt", "\xD0\x9A\xD0\xBB.txt"}) {
      const std::string path = folder + Sep() + name;
      std::ofstream(FsPath(path), std::ios::binary) << "abcd";
      std::string p = path;
      EXPECT_EQ(FileSizeOf(p, true), 4) << path.size() << " characters";
      EXPECT_EQ(p, path);
    }
  }
}

TEST_F(FileSizeOfTest, ReportsSizesBeyond32Bits) {
  const std::string p = PathOf("big.bin");
  {
    std::ofstream f(p, std::ios::binary);
  }
  const std::uintmax_t size = (std::uintmax_t{5} << 30) + 3;  // 5 GiB + 3
  std::error_code ec;
  fs::resize_file(p, size, ec);  // sparse: no disk space used
  if (ec) GTEST_SKIP() << "cannot create a sparse file: " << ec.message();
  std::string q = p;
  EXPECT_EQ(FileSizeOf(q, false), static_cast<std::int64_t>(size));
}

}  // namespace
}  // namespace pt
