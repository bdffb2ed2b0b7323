#include "carrier/target_name.h"

#include <gtest/gtest.h>

namespace pt {
namespace {

TEST(TargetName, TheThreeRules) {
  EXPECT_EQ(TargetName("report.final", "doc", 1), "report.final.bmp");
  EXPECT_EQ(TargetName("report.final", "doc", 2), "report.bmp");
  EXPECT_EQ(TargetName("report.final", "doc", 3), "report.final.doc.bmp");
  // Rule 0 (never set) and unknown values act as rule 1.
  EXPECT_EQ(TargetName("report.final", "doc", 0), "report.final.bmp");
  EXPECT_EQ(TargetName("report.final", "doc", 7), "report.final.bmp");
}

TEST(TargetName, SourceWithoutExtension) {
  EXPECT_EQ(TargetName("README", "", 1), "README.bmp");
  EXPECT_EQ(TargetName("README", "", 2), "README.bmp");
  EXPECT_EQ(TargetName("README", "", 3), "README..bmp");
}

TEST(StoredFileName, AlwaysHasTheDotAndAtMost255Characters) {
  EXPECT_EQ(StoredFileName("README", ""), "README.");
  EXPECT_EQ(StoredFileName("a.tar", "gz"), "a.tar.gz");
  EXPECT_EQ(StoredFileName(std::string(300, 'n'), "txt").size(), 255u);
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
      {"...", "..."},
      {"README.", "README."},
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

TEST(JoinPath, AddsOneSeparator) {
  EXPECT_EQ(JoinPath("", "a.bmp"), "a.bmp");
#ifndef _WIN32
  EXPECT_EQ(JoinPath("/tmp", "a.bmp"), "/tmp/a.bmp");
  EXPECT_EQ(JoinPath("/tmp/", "a.bmp"), "/tmp/a.bmp");
#endif
}

}  // namespace
}  // namespace pt
