#include <atomic>
#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

#ifdef __linux__
#include <sched.h>
#endif

#include "tests/support/named_case.h"
#include "util/codepage.h"
#include "util/parallel.h"
#include "util/utf8.h"

namespace pt {
namespace {

struct CodePageCase : test::NamedCase {
  std::string utf8;
  std::string bytes;
};

class CodePageTest : public testing::TestWithParam<CodePageCase> {};

TEST_P(CodePageTest, MapsBothWays) {
  const CodePageCase& c = GetParam();
  const auto bytes = Utf8ToWindows1252(c.utf8);
  ASSERT_TRUE(bytes.has_value());
  EXPECT_EQ(*bytes, c.bytes);
  EXPECT_EQ(Windows1252ToUtf8(c.bytes), c.utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Characters, CodePageTest,
    testing::Values(CodePageCase{"Ascii", "Key 1234~", "Key 1234~"},
                    CodePageCase{"Umlauts", "\xC3\xA4\xC3\xB6\xC3\xBC", "\xE4\xF6\xFC"},
                    CodePageCase{"EuroAndQuotes", "\xE2\x82\xAC\xE2\x80\x9C\xE2\x80\x9D",
                                 "\x80\x93\x94"},
                    CodePageCase{"UnassignedByte", "\xC2\x81", "\x81"},
                    CodePageCase{"LatinCapitalYDiaeresis", "\xC5\xB8", "\x9F"}),
    test::CaseName());

TEST(CodePage, RefusesWhatItCannotHold) {
  EXPECT_FALSE(Utf8ToWindows1252("\xD0\x9A\xD0\xBB").has_value());      // Cyrillic
  EXPECT_FALSE(Utf8ToWindows1252("\xE4\xB8\xAD").has_value());          // Chinese
  EXPECT_FALSE(Utf8ToWindows1252("\xC2\x80").has_value());              // U+0080: no byte
  EXPECT_FALSE(Utf8ToWindows1252("\xE4\xF6").has_value());              // not UTF-8
  EXPECT_FALSE(Utf8ToWindows1252("\xC0\xAF").has_value());              // overlong '/'
  EXPECT_FALSE(Utf8ToWindows1252("\xED\xA0\x80").has_value());          // surrogate
}

// The one UTF-8 decoder: sequence lengths of well-formed text, 0 for every
// form that must not be read as a character, and the encoder undoes it.
struct Utf8Case : test::NamedCase {
  std::string bytes;
  std::size_t length;  // of the sequence at the start; 0: malformed
};

class Utf8SequenceTest : public testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8SequenceTest, LengthValidityAndRoundTrip) {
  const Utf8Case& c = GetParam();
  EXPECT_EQ(Utf8SequenceLength(c.bytes, 0), c.length);
  EXPECT_EQ(IsValidUtf8(c.bytes), c.length == c.bytes.size());
  std::size_t i = 0;
  const auto cp = DecodeUtf8(c.bytes, i);
  ASSERT_EQ(cp.has_value(), c.length > 0);
  EXPECT_EQ(i, c.length);
  if (!cp) return;
  std::string again;
  AppendUtf8(again, *cp);
  EXPECT_EQ(again, c.bytes.substr(0, c.length));
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, Utf8SequenceTest,
    testing::Values(Utf8Case{"Ascii", "a", 1}, Utf8Case{"TwoBytes", "\xC3\xA9", 2},
                    Utf8Case{"ThreeBytes", "\xE2\x82\xAC", 3},
                    Utf8Case{"FourBytes", "\xF0\x9F\x98\x80", 4},
                    Utf8Case{"Highest", "\xF4\x8F\xBF\xBF", 4},
                    Utf8Case{"AboveHighest", "\xF4\x90\x80\x80", 0},
                    Utf8Case{"OverlongSlash", "\xC0\xAF", 0},
                    Utf8Case{"OverlongThreeBytes", "\xE0\x9F\xBF", 0},
                    Utf8Case{"Surrogate", "\xED\xA0\x80", 0},
                    Utf8Case{"CutOff", "\xE2\x82", 0},
                    Utf8Case{"LoneContinuation", "\x80", 0},
                    Utf8Case{"Latin1Byte", "caf\xE9", 1}),
    test::CaseName());

TEST(ParallelFor, RunsEveryTaskOnceWhateverTheThreadCount) {
  for (unsigned threads : {1u, 2u, 5u}) {
    SetWorkerThreads(threads);
    std::vector<std::atomic<int>> runs(1000);
    ParallelFor(runs.size(), [&](std::size_t i) { runs[i]++; });
    for (std::size_t i = 0; i < runs.size(); ++i) ASSERT_EQ(runs[i].load(), 1) << threads;
  }
  SetWorkerThreads(0);
}

TEST(ParallelFor, RethrowsATaskErrorAndNestedCallsRunSerially) {
  SetWorkerThreads(2);
  std::atomic<int> inner{0};
  EXPECT_THROW(ParallelFor(8,
                           [&](std::size_t i) {
                             ParallelFor(3, [&](std::size_t) { inner++; });
                             if (i == 5) throw std::runtime_error("task");
                           }),
               std::runtime_error);
  EXPECT_EQ(inner.load(), 24);
  SetWorkerThreads(0);
}

}  // namespace
}  // namespace pt

#ifdef __linux__
// Threads follow the CPUs the process may use (taskset, containers), not
// the machine's count.
TEST(UsableCpus, FollowTheAffinityMask) {
  cpu_set_t saved;
  ASSERT_EQ(sched_getaffinity(0, sizeof saved, &saved), 0);
  int first = 0;
  while (!CPU_ISSET(first, &saved)) ++first;
  cpu_set_t one;
  CPU_ZERO(&one);
  CPU_SET(first, &one);
  ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
  const unsigned restricted = pt::UsableCpus();
  ASSERT_EQ(sched_setaffinity(0, sizeof saved, &saved), 0);
  EXPECT_EQ(restricted, 1U);
  EXPECT_LE(pt::UsableCpus(), static_cast<unsigned>(CPU_COUNT(&saved)));
}
#endif
