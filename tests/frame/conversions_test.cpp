#include "quenmark/conversions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "quenmark/error.h"

namespace quenmark {
namespace {

TEST(ConversionsTest, ParseNumberAcceptsWholeNumbersOnly) {
  struct Case {
    const char* text;
    std::optional<double> expected;
  };
  const Case cases[] = {{"12", 12},
                        {" -3.5 ", -3.5},
                        {"1,234.5", 1234.5},
                        {"+7", 7},
                        {".5", 0.5},
                        {"5.", 5},
                        {"1E+20", 1e20},
                        {"2.5e-3", 0.0025},
                        {"", std::nullopt},
                        {"   ", std::nullopt},
                        {".", std::nullopt},
                        {"1e", std::nullopt},
                        {"12abc", std::nullopt},
                        {"abc", std::nullopt},
                        {",5", std::nullopt},
                        {"1 2", std::nullopt},
                        {"--1", std::nullopt}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseNumber(c.text), c.expected);
    EXPECT_EQ(IsNumericText(c.text), c.expected.has_value());
  }
}

TEST(ConversionsTest, LeadingNumberReadsThePrefix) {
  struct Case {
    const char* text;
    double expected;
  };
  const Case cases[] = {{"12abc", 12},  {"  -4.5kg", -4.5}, {"abc", 0},    {"", 0},
                        {"1 2 3", 123}, {"1,234", 1},       {"3e2x", 300}, {"-", 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_DOUBLE_EQ(LeadingNumber(c.text), c.expected);
  }
}

TEST(ConversionsTest, RoundingGoesHalfToEven) {
  struct Case {
    double value;
    double expected;
  };
  const Case cases[] = {{0.5, 0},   {1.5, 2},   {2.5, 2},    {3.5, 4},    {-0.5, -0},
                        {-1.5, -2}, {-2.5, -2}, {2.4999, 2}, {2.5001, 3}, {-2.6, -3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(RoundHalfEven(c.value), c.expected);
  }
  EXPECT_EQ(ToInt32(2.5), 2);
  EXPECT_EQ(ToInt16(-32768.4), -32768);
  EXPECT_EQ(ToInt64(1e15 + 0.5), 1000000000000000);
}

TEST(ConversionsTest, IntegerOverflowRaisesOverflow) {
  const double too_big_16[] = {32767.5, -32768.6, 40000, std::nan(""),
                               std::numeric_limits<double>::infinity()};
  for (double value : too_big_16) {
    SCOPED_TRACE(value);
    try {
      ToInt16(value);
      FAIL() << "no overflow";
    } catch (const Error& error) {
      EXPECT_EQ(error.Number(), static_cast<int>(ErrorNumber::kOverflow));
    }
  }
  EXPECT_EQ(ToInt16(32767.4), 32767);
  EXPECT_THROW(ToInt32(2147483647.5), Error);
  EXPECT_EQ(ToInt32(-2147483648.0), INT32_MIN);
  EXPECT_THROW(ToInt64(9.3e18), Error);
}

TEST(ConversionsTest, ParseBoolean) {
  struct Case {
    const char* text;
    std::optional<bool> expected;
  };
  const Case cases[] = {{"True", true}, {"tRUE", true}, {" false ", false},    {"-1", true},
                        {"0", false},   {"2.5", true},  {"yes", std::nullopt}, {"", std::nullopt}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseBoolean(c.text), c.expected);
  }
}

TEST(ConversionsTest, ParseDateAcceptsTypedForms) {
  struct Case {
    const char* text;
    DateTime expected;
  };
  const Case cases[] = {{"2004-03-01", {2004, 3, 1}},
                        {"2004-03-01 15:05:09", {2004, 3, 1, 15, 5, 9}},
                        {"3/1/2004", {2004, 3, 1}},
                        {"2004-03-01T15:05:09.250", {2004, 3, 1, 15, 5, 9}},
                        {"3/1/04", {2004, 3, 1}},
                        {"12/31/99", {1999, 12, 31}},
                        {"1-Mar-04", {2004, 3, 1}},
                        {"1-mar-2004", {2004, 3, 1}},
                        {"March 1, 2004", {2004, 3, 1}},
                        {"Mar 1 2004 3:05 PM", {2004, 3, 1, 15, 5, 0}},
                        {"1 March 2004", {2004, 3, 1}},
                        {"Monday, March 1, 2004", {2004, 3, 1}},
                        {"2/29/2004", {2004, 2, 29}},
                        {"3/1/2004 3:05:09 PM", {2004, 3, 1, 15, 5, 9}},
                        {"3/1/2004 12:00:00 AM", {2004, 3, 1}},
                        {"3/1/2004 12:30 pm", {2004, 3, 1, 12, 30, 0}},
                        {"15:05", {1899, 12, 30, 15, 5, 0}},
                        {"3 PM", {1899, 12, 30, 15, 0, 0}},
                        {"3/1/2004 3 p.m.", {2004, 3, 1, 15, 0, 0}},
                        {"3/1/2004 3:05 p.m", {2004, 3, 1, 15, 5, 0}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    auto parsed = ParseDate(c.text);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(*parsed, c.expected);
  }
}

TEST(ConversionsTest, ParseDateRejectsNonDates) {
  const char* cases[] = {
      "",    "hello", "2004",           "12",  "2/30/2004",  "2/29/2003",      "13/1/2004",
      "3/1", "25:00", "3/1/2004 13 PM", "1.5", "3/1/2004 x", "Smarch 1, 2004", "0/1/2004",
      "3:5"};
  for (const char* text : cases) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(ParseDate(text).has_value());
    EXPECT_FALSE(IsDateText(text));
  }
}

TEST(ConversionsTest, FormatsGeneralDatesAndReals) {
  EXPECT_EQ(FormatGeneralDate({2004, 3, 1, 15, 5, 9}), "3/1/2004 3:05:09 PM");
  EXPECT_EQ(FormatGeneralDate({2004, 3, 1}), "3/1/2004");
  EXPECT_EQ(FormatGeneralDate({1899, 12, 30, 15, 5, 9}), "3:05:09 PM");
  EXPECT_EQ(FormatGeneralDate({1899, 12, 30}), "12:00:00 AM");
  EXPECT_EQ(FormatGeneralDate({2004, 3, 1, 0, 30, 0}), "3/1/2004 12:30:00 AM");

  struct Case {
    double value;
    const char* expected;
  };
  const Case cases[] = {{0.1, "0.1"},
                        {2.5, "2.5"},
                        {1e20, "1E+20"},
                        {-0.0, "0"},
                        {1e-5, "1E-05"},
                        {0.0001, "0.0001"},
                        {1.0 / 3, "0.333333333333333"},
                        {123456789012345.0, "123456789012345"},
                        {1e15, "1E+15"},
                        {0.1 + 0.2, "0.3"},
                        {-42, "-42"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(FormatReal(c.value), c.expected);
  }
}

TEST(ConversionsTest, SerialDatesRoundTrip) {
  struct Case {
    DateTime date;
    double serial;
    int weekday;
  };
  const Case cases[] = {{{1899, 12, 30}, 0, 7},
                        {{2004, 3, 1}, 38047, 2},
                        {{2004, 3, 1, 18, 0, 0}, 38047.75, 2},
                        {{1899, 12, 29, 6, 0, 0}, -1.25, 6},
                        {{1900, 1, 1}, 2, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.serial);
    EXPECT_DOUBLE_EQ(c.date.ToSerial(), c.serial);
    EXPECT_EQ(DateTime::FromSerial(c.serial), c.date);
    EXPECT_EQ(c.date.Weekday(), c.weekday);
  }
  EXPECT_EQ((DateTime{2004, 12, 31}.DayOfYear()), 366);
  EXPECT_EQ((DateTime{2004, 3, 1, 15, 5, 9}.ToIso()), "2004-03-01 15:05:09");
  // A time that rounds up to the next midnight carries into the next day.
  EXPECT_EQ(DateTime::FromSerial(38047.999999999), (DateTime{2004, 3, 2}));
}

}  // namespace
}  // namespace quenmark
