#include "carrier/target_name.h"

#include <gtest/gtest.h>

namespace pt {
namespace {

TEST(TargetName, TheThreeRules) {
  using enum TargetNameRule;
  EXPECT_EQ(TargetName("report.final", "doc", ReplaceLast), "report.final.bmp");
  EXPECT_EQ(TargetName("report.final", "doc", ReplaceAll), "report.bmp");
  EXPECT_EQ(TargetName("report.final", "doc", Append), "report.final.doc.bmp");
  // Unset (never set) and unknown values act as ReplaceLast.
  EXPECT_EQ(TargetName("report.final", "doc", Unset), "report.final.bmp");
  EXPECT_EQ(TargetName("report.final", "doc", static_cast<TargetNameRule>(7)), "report.final.bmp");
}

TEST(TargetName, SourceWithoutExtension) {
  using enum TargetNameRule;
  EXPECT_EQ(TargetName("README", "", ReplaceLast), "README.bmp");
  EXPECT_EQ(TargetName("README", "", ReplaceAll), "README.bmp");
  EXPECT_EQ(TargetName("README", "", Append), "README..bmp");
}

TEST(StoredFileName, AlwaysHasTheDotAndAtMost255Characters) {
  EXPECT_EQ(StoredFileName("README", ""), "README.");
  EXPECT_EQ(StoredFileName("a.tar", "gz"), "a.tar.gz");
  EXPECT_EQ(StoredFileName(std::string(300, 'n'), "txt").size(), 255u);
  // The cut never splits a character: 127 two-byte characters fit in 254 bytes.
  std::string cyrillic;
  for (int i = 0; i < 200; ++i) cyrillic += "\xD0\x9A";
  EXPECT_EQ(StoredFileName(cyrillic, "txt"), cyrillic.substr(0, 254));
}

// Windows copies store Windows-1252 bytes, Linux copies UTF-8; each reads
// both, so a name survives the trip between them.
TEST(StoredFileName, WrittenAsThisPlatformsCopiesReadIt) {
  const std::string cafe = "caf\xC3\xA9";  // UTF-8
#ifdef _WIN32
  EXPECT_EQ(StoredFileName(cafe, "txt"), "caf\xE9.txt");
#else
  EXPECT_EQ(StoredFileName(cafe, "txt"), cafe + ".txt");
#endif
  // Outside Windows-1252: UTF-8 on both platforms.
  EXPECT_EQ(StoredFileName("\xD0\x9A", "txt"), "\xD0\x9A.txt");
  for (const std::string& stored : {StoredFileName(cafe, "txt"), std::string("caf\xE9.txt"),
                                    cafe + ".txt"}) {
    EXPECT_EQ(StoredNameText(stored), cafe + ".txt");
  }
  EXPECT_EQ(StoredNameText("\x80 \xD0\x9A"), "\xE2\x82\xAC \xC3\x90\xC5\xA1");  // not UTF-8: all 1252
}

TEST(SafeOutputName, KeepsOnlyTheLastComponent) {
  struct Row { const char* stored; const char* expected; };
  const Row rows[] = {
      {"report.doc", "report.doc"},
      {"../../etc/passwd", "passwd"},
      {"/etc/passwd", "passwd"},
      {"C:\\Windows\\system.ini", "system.ini"},
      {"dir\\..\\x.txt", "x.txt"},
      {"a/b\\c", "c"},
      {"caf\xC3\xA9.txt", "caf\xC3\xA9.txt"},
#ifdef _WIN32
      {"C:report.doc", "report.doc"},
      {"README.", "README"},
      {"a.b.", "a.b"},
#else
      {"...", "..."},
      {"README.", "README."},
      {"C:report.doc", "C:report.doc"},
      {"CON", "CON"},
#endif
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.stored);
    const auto name = SafeOutputName(r.stored);
    ASSERT_TRUE(name);
    EXPECT_EQ(*name, r.expected);
  }
}

TEST(SafeOutputName, RefusesNamesThatNameNoFile) {
  for (const char* stored : {"", ".", "..", "dir/", "dir\\..", "x/.", "bad\x01name", "tab\tname",
                             "bell\x7f"}) {
    SCOPED_TRACE(stored);
    EXPECT_FALSE(SafeOutputName(stored));
  }
}

#ifdef _WIN32
// Windows would refuse these names or write another name than the one
// stored ("NUL.txt" is the device, "a.." becomes "a").
TEST(SafeOutputName, RefusesNamesWindowsRefuses) {
  for (const char* stored : {"CON", "nul", "NUL.txt", "com1.log", "Lpt9", "aux.tar.gz", "a..",
                             "...", "name ", "name .", "a<b", "a>b", "a\"b", "a|b", "a?b",
                             "a*b", "dir\\PRN"}) {
    SCOPED_TRACE(stored);
    EXPECT_FALSE(SafeOutputName(stored));
  }
  for (const char* stored : {"CONSOLE.txt", "com10", "nul_.txt", "LPT0", ".hidden"}) {
    SCOPED_TRACE(stored);
    EXPECT_TRUE(SafeOutputName(stored));
  }
}
#endif

TEST(JoinPath, AddsOneSeparator) {
  EXPECT_EQ(JoinPath("", "a.bmp"), "a.bmp");
#ifndef _WIN32
  EXPECT_EQ(JoinPath("/tmp", "a.bmp"), "/tmp/a.bmp");
  EXPECT_EQ(JoinPath("/tmp/", "a.bmp"), "/tmp/a.bmp");
#endif
}

}  // namespace
}  // namespace pt
