#include "util/key_text.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace pt {
namespace {

TEST(KeyText, TakeWipesEveryByteOfThePlainStringsBuffer) {
  std::string plain(64, 'k');
  plain.resize(10);  // the longer content before stays in the buffer
  const char* buffer = plain.data();
  const std::size_t capacity = plain.capacity();
  const KeyText key = KeyText::Take(plain);
  EXPECT_EQ(key.View(), std::string(10, 'k'));
  EXPECT_TRUE(plain.empty());
  ASSERT_EQ(plain.data(), buffer);
  for (std::size_t i = 0; i < capacity; ++i) ASSERT_EQ(buffer[i], '\0') << "byte " << i;
}

TEST(KeyText, GrowingMovingAndCopyingKeepTheText) {
  std::string expected;
  KeyText key;
  for (int i = 0; i < 100; ++i) {
    const char c = static_cast<char>('a' + i % 26);
    key.Append(c);
    expected += c;
  }
  EXPECT_EQ(key.View(), expected);
  KeyText moved = std::move(key);
  EXPECT_TRUE(key.empty());  // a moved-from key is emptied (and wiped)
  EXPECT_EQ(moved.View(), expected);
  KeyText assigned(std::string_view("old"));
  assigned = moved.Copy();
  EXPECT_EQ(assigned, moved);
  moved.Clear();
  EXPECT_TRUE(moved.empty());
  EXPECT_EQ(assigned.View(), expected);
}

}  // namespace
}  // namespace pt
