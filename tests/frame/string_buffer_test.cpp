#include "quenmark/string_buffer.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace quenmark {

struct StringBufferTestPeer {
  static void SetUsed(StringBuffer& buffer, int32_t used) {
    buffer.used_ = used;
    buffer.capacity_ = int64_t{used} + StringBuffer::kGrowthStep;
  }
};

namespace {

TEST(StringBufferTest, GrowthFollowsTheFixedSteps) {
  struct Case {
    const char* what;
    std::vector<size_t> pieces;  // lengths appended to a new buffer
    int64_t capacity;
  };
  const Case cases[] = {{"nothing appended", {}, 0},
                        {"empty piece still grows", {0}, 15000},
                        {"one character", {1}, 15000},
                        {"just below the step", {14999}, 15000},
                        {"exactly the step grows twice", {15000}, 30000},
                        {"pieces reaching the capacity", {10000, 5000}, 30000},
                        {"pieces stopping short", {10000, 4999}, 15000},
                        {"one long piece", {40000}, 45000},
                        {"long piece on a boundary", {45000}, 60000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    StringBuffer buffer;
    std::string expected;
    for (size_t i = 0; i < c.pieces.size(); ++i) {
      std::string piece(c.pieces[i], static_cast<char>('a' + i));
      buffer.Append(piece);
      expected += piece;
    }
    EXPECT_EQ(buffer.Capacity(), c.capacity);
    EXPECT_EQ(buffer.ToString(), expected);
    EXPECT_EQ(buffer.Used(), static_cast<int32_t>(expected.size()));
  }
}

TEST(StringBufferTest, SetStringAppendAndReInit) {
  StringBuffer buffer;
  EXPECT_EQ(buffer.ToString(), "");
  buffer.SetString("0123456789");
  EXPECT_EQ(buffer.Capacity(), 15010);
  buffer.Append("abcde");
  EXPECT_EQ(buffer.ToString(), "0123456789abcde");

  buffer.ReInit();
  EXPECT_EQ(buffer.ToString(), "");
  EXPECT_EQ(buffer.Capacity(), 0);
  buffer.Append("x");
  EXPECT_EQ(buffer.Capacity(), 15000);
  EXPECT_EQ(buffer.ToString(), "x");
}

TEST(StringBufferTest, CountsCharactersNotBytes) {
  StringBuffer buffer;
  std::string euro = "\xE2\x82\xAC";  // one character, three bytes
  std::string piece;
  for (int i = 0; i < 14999; ++i) piece += euro;
  buffer.Append(piece);
  EXPECT_EQ(buffer.Used(), 14999);
  EXPECT_EQ(buffer.Capacity(), 15000);
  buffer.Append("\xC3\xA9");
  EXPECT_EQ(buffer.Used(), 15000);
  EXPECT_EQ(buffer.Capacity(), 30000);
  EXPECT_EQ(buffer.ToString(), piece + "\xC3\xA9");
}

TEST(StringBufferTest, OverflowLeavesTheBufferUnchanged) {
  // A real count near 2^31 needs a 2 GB text; the peer sets the count directly instead.
  StringBuffer buffer;
  buffer.SetString("abc");
  StringBufferTestPeer::SetUsed(buffer, INT32_MAX - 5);
  const int64_t capacity = buffer.Capacity();
  try {
    buffer.Append("123456");
    FAIL() << "no overflow";
  } catch (const Error& error) {
    EXPECT_EQ(error.Number(), static_cast<int>(ErrorNumber::kOverflow));
  }
  EXPECT_EQ(buffer.ToString(), "abc");
  EXPECT_EQ(buffer.Used(), INT32_MAX - 5);
  EXPECT_EQ(buffer.Capacity(), capacity);
  buffer.Append("12345");  // exactly reaching the largest count still works
  EXPECT_EQ(buffer.Used(), INT32_MAX);
  EXPECT_GT(buffer.Capacity(), int64_t{INT32_MAX});
}

TEST(StringBufferTest, ScriptAccessThroughItsMembers) {
  StringBuffer buffer;
  CallMember(buffer, "setstring", {Variant("Hello")});
  CallMember(buffer, "APPEND", {Variant(", world")});
  CallMember(buffer, "Append", {Variant(int64_t{42})});
  EXPECT_EQ(CallMember(buffer, "tostring").ToText(), "Hello, world42");
  CallMember(buffer, "ReInit");
  EXPECT_EQ(CallMember(buffer, "ToString").ToText(), "");
  EXPECT_EQ(buffer.ClassName(), "StringBuffer");
  EXPECT_THROW(CallMember(buffer, "Append"), Error);
}

}  // namespace
}  // namespace quenmark
