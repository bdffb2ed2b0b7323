#include "util/csv_parser.h"
#include "tests/support/named_case.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pt {
namespace {

struct Parsed {
  bool result = false;
  std::vector<std::string> items;
  std::vector<std::string> messages;
};

Parsed Parse(const std::string& text, int bufferSize = 100) {
  Parsed out;
  CSV_Parser p(bufferSize, [&out](const std::string& m) { out.messages.push_back(m); });
  out.result = p.parseString(text);
  for (int i = 0; i < p.getItemCount(); ++i) out.items.push_back(p.getItem(i));
  return out;
}

using Items = std::vector<std::string>;

constexpr const char* kDefaultList = "zip,gz,arj,rar,lzh,cab,z,bz2,msi";

struct SplitCase : test::NamedCase {
  std::string text;
  Items items;
};

class CsvSplitTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(CsvSplitTest, GivesItems) {
  const Parsed got = Parse(GetParam().text);
  EXPECT_TRUE(got.result);
  EXPECT_EQ(got.items, GetParam().items);
  EXPECT_TRUE(got.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CsvSplitTest,
    ::testing::Values(
        SplitCase{"CommaAndSemicolonBothSeparate", "zip,gz;rar", {"zip", "gz", "rar"}},
        SplitCase{"TrailingSeparatorGivesEmptyItem", "zip,", {"zip", ""}},
        SplitCase{"QuotedSeparatorIsKept", "\"a,b\",c", {"a,b", "c"}},
        SplitCase{"CrLfIsDropped", "zip,gz\r\n", {"zip", "gz"}},
        SplitCase{"CrLfAfterTrailingSeparator", "zip,\r\n", {"zip", ""}},
        SplitCase{"BlanksAreKept", "zip, gz", {"zip", " gz"}},
        SplitCase{"SingleItem", "zip", {"zip"}},
        SplitCase{"EmptyMiddleItem", "a,,b", {"a", "", "b"}},
        SplitCase{"LeadingSeparator", ",a", {"", "a"}},
        SplitCase{"QuotesInsideItemStay", "a\"b\"c,d", {"a\"b\"c", "d"}},
        SplitCase{"UnclosedQuoteSwallowsRest", "\"a,b", {"a,b"}},
        SplitCase{"UnclosedLeadingQuoteIsStripped", "\",x", {",x"}},
        SplitCase{"DefaultList", "zip,gz,arj,rar,lzh,cab,z,bz2,msi",
                  {"zip", "gz", "arj", "rar", "lzh", "cab", "z", "bz2", "msi"}}),
    test::CaseName());

TEST(CsvParser, CrLfEndingGivesSameItemsAsWithout) {
  EXPECT_EQ(Parse("zip,gz;rar\r\n").items, Parse("zip,gz;rar").items);
  EXPECT_EQ(Parse("a,\"b;c\"\n").items, Parse("a,\"b;c\"").items);
}

TEST(CsvParser, LongItemIsCutToBufferSizeMinusOne) {
  const std::string item(150, 'x');
  const Parsed got = Parse(item + ",y");
  ASSERT_EQ(got.items.size(), 2U);
  EXPECT_EQ(got.items[0], std::string(99, 'x'));
  EXPECT_EQ(got.items[1], "y");
}

TEST(CsvParser, SmallBufferSizeMeansTenThousand) {
  const std::string item(12000, 'q');
  for (int size : {5, 0, -3}) {
    const Parsed got = Parse(item, size);
    ASSERT_EQ(got.items.size(), 1U) << size;
    EXPECT_EQ(got.items[0], std::string(9999, 'q')) << size;
  }
  EXPECT_EQ(Parse(item, 6).items.at(0), "qqqqq");
}

// Items are filled, but the parse reports that nothing was found: the walk
// stopped in the first slot and that slot is empty.
TEST(CsvParser, OnlyASeparatorGivesTwoEmptyItemsButReportsNothingFound) {
  const Parsed got = Parse(",");
  EXPECT_FALSE(got.result);
  EXPECT_EQ(got.items, (Items{"", ""}));
  EXPECT_TRUE(got.messages.empty());
}

TEST(CsvParser, SingleEmptyQuotedItemParsesButReportsNothingFound) {
  const Parsed got = Parse("\"\"");
  EXPECT_FALSE(got.result);
  EXPECT_EQ(got.items, Items{""});
  EXPECT_TRUE(got.messages.empty());
}

struct EmptyCase : test::NamedCase {
  std::string text;
};

class CsvEmptyLineTest : public ::testing::TestWithParam<EmptyCase> {};

TEST_P(CsvEmptyLineTest, ReportsIllegalItemAccess) {
  const Parsed got = Parse(GetParam().text);
  EXPECT_FALSE(got.result);
  EXPECT_TRUE(got.items.empty());
  EXPECT_EQ(got.messages, Items{"CSV_Parser::parseString => Illegal Item Access"});
}

INSTANTIATE_TEST_SUITE_P(Lines, CsvEmptyLineTest,
                         ::testing::Values(EmptyCase{"Empty", ""},
                                           EmptyCase{"OnlyCrLf", "\r\n"},
                                           EmptyCase{"OnlyLf", "\n\n"}),
                         test::CaseName());

TEST(CsvParser, CountItemsFollowsQuotesAndSeparators) {
  CSV_Parser p(100);
  EXPECT_EQ(p.countItems(""), 0);
  EXPECT_EQ(p.countItems("\r\n"), 0);
  EXPECT_EQ(p.countItems("a"), 1);
  EXPECT_EQ(p.countItems("a,b;c"), 3);
  EXPECT_EQ(p.countItems("\"a,b\",c"), 2);
  p.quoteAware = false;
  EXPECT_EQ(p.countItems("\"a,b\",c"), 3);
}

TEST(CsvParser, QuoteUnawareSplitsInsideQuotes) {
  CSV_Parser p(100);
  p.quoteAware = false;
  ASSERT_TRUE(p.parseString("\"a,b\",c"));
  ASSERT_EQ(p.getItemCount(), 3);
  EXPECT_EQ(p.getItem(0), "a");
  EXPECT_EQ(p.getItem(1), "b");
  EXPECT_EQ(p.getItem(2), "c");
}

TEST(CsvParser, QuotesKeptWhenNotStripping) {
  CSV_Parser p(100);
  p.stripQuotes = false;
  ASSERT_TRUE(p.parseString("\"a,b\",c"));
  EXPECT_EQ(p.getItem(0), "\"a,b\"");
}

TEST(CsvParser, OtherSeparators) {
  CSV_Parser p(100);
  p.separators = "|";
  ASSERT_TRUE(p.parseString("a,b|c"));
  ASSERT_EQ(p.getItemCount(), 2);
  EXPECT_EQ(p.getItem(0), "a,b");
  EXPECT_EQ(p.getItem(1), "c");
}

TEST(CsvParser, GetItemOutsideRangeIsEmpty) {
  CSV_Parser p(100);
  EXPECT_EQ(p.getItem(0), "");  // nothing parsed yet
  ASSERT_TRUE(p.parseString("a,b"));
  EXPECT_EQ(p.getItem(-1), "");
  EXPECT_EQ(p.getItem(2), "");
  EXPECT_EQ(p.getItem(1), "b");
}

TEST(CsvParser, ItemRangeSelectsSubset) {
  CSV_Parser p(100);
  ASSERT_TRUE(p.setItemCount(4));
  ASSERT_TRUE(p.setItemRange(2, 3));
  ASSERT_TRUE(p.parseString("a,\"b,x\",c,d"));
  ASSERT_EQ(p.getItemCount(), 2);
  EXPECT_EQ(p.getItem(0), "b,x");
  EXPECT_EQ(p.getItem(1), "c");
}

TEST(CsvParser, RefusedCountsAndRanges) {
  CSV_Parser p(100);
  EXPECT_FALSE(p.setItemCount(-1));
  ASSERT_TRUE(p.setItemCount(3));
  EXPECT_FALSE(p.setItemRange(3, 2));
  EXPECT_FALSE(p.setItemRange(1, 4));
  EXPECT_FALSE(p.setItemRange(-1, 2));
  EXPECT_TRUE(p.setItemRange(0, 0));
  EXPECT_TRUE(p.setItemRange(3, 3));
  // A refused range leaves the last accepted one.
  EXPECT_FALSE(p.setItemRange(2, 9));
  ASSERT_TRUE(p.parseString("a,b,c"));
  ASSERT_EQ(p.getItemCount(), 1);
  EXPECT_EQ(p.getItem(0), "c");
}

TEST(CsvParser, FixedCountPadsMissingItems) {
  CSV_Parser p(100);
  ASSERT_TRUE(p.setItemCount(3));
  ASSERT_TRUE(p.parseString("a"));
  ASSERT_EQ(p.getItemCount(), 3);
  EXPECT_EQ(p.getItem(0), "a");
  EXPECT_EQ(p.getItem(1), "");
  EXPECT_EQ(p.getItem(2), "");
  // The count of the first parse stays for the next line.
  ASSERT_TRUE(p.parseString("x,y,z,w"));
  ASSERT_EQ(p.getItemCount(), 3);
  EXPECT_EQ(p.getItem(2), "z");
}

TEST(CsvParser, WithoutSinkMessagesAreDropped) {
  CSV_Parser p(100);
  EXPECT_FALSE(p.parseString(""));
}

// ---------------------------------------------------------------------------
// ExtensionInList

struct MembershipCase {
  const char* list;
  const char* word;
  bool member;
};

void PrintTo(const MembershipCase& c, std::ostream* os) {
  *os << '"' << c.word << (c.member ? "\" in \"" : "\" not in \"") << c.list << '"';
}

class ExtensionInListTest : public ::testing::TestWithParam<MembershipCase> {};

TEST_P(ExtensionInListTest, ComparesWholeItemsIgnoringCase) {
  EXPECT_EQ(ExtensionInList(GetParam().list, GetParam().word), GetParam().member)
      << GetParam().list << " / " << GetParam().word;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExtensionInListTest,
    ::testing::Values(MembershipCase{kDefaultList, "ZIP", true},
                      MembershipCase{kDefaultList, "zip", true},
                      MembershipCase{kDefaultList, "msi", true},
                      MembershipCase{kDefaultList, "Bz2", true},
                      MembershipCase{kDefaultList, "tar", false},
                      MembershipCase{kDefaultList, "zi", false},
                      MembershipCase{kDefaultList, "", false},
                      MembershipCase{"ZIP,GZ", "zip", true},
                      MembershipCase{"zip, gz", "gz", false},
                      MembershipCase{"zip, gz", " gz", true},
                      MembershipCase{".zip,gz", "zip", false},
                      MembershipCase{"zip;\"g,z\"", "g,z", true},
                      MembershipCase{"zip,", "", true}));

TEST(ExtensionInList, EmptyListReportsAndIsFalse) {
  std::vector<std::string> messages;
  EXPECT_FALSE(ExtensionInList("", "zip",
                               [&](const std::string& m) { messages.push_back(m); }));
  EXPECT_EQ(messages, Items{"CSV_Parser::parseString => Illegal Item Access"});
}

}  // namespace
}  // namespace pt
