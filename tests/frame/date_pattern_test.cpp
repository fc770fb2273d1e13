#include "frame/date_pattern.h"

#include <gtest/gtest.h>

namespace {

using quenmark::DateTime;
using quenmark::FormatDatePattern;

struct PatternCase {
  const char* pattern;
  const char* expected;
};

class DatePatternTest : public ::testing::TestWithParam<PatternCase> {};

TEST_P(DatePatternTest, Formats) {
  const DateTime value{2004, 3, 1, 15, 5, 9};
  EXPECT_EQ(FormatDatePattern(value, GetParam().pattern), GetParam().expected)
      << GetParam().pattern;
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, DatePatternTest,
    ::testing::Values(PatternCase{"mm/dd/yyyy", "03/01/2004"}, PatternCase{"d-m-yy", "1-3-04"},
                      PatternCase{"dddd, mmmm d", "Monday, March 1"},
                      PatternCase{"ddd d mmm yyyy", "Mon 1 Mar 2004"},
                      // "m" after an hour is the minute.
                      PatternCase{"hh:mm:ss", "15:05:09"}, PatternCase{"h:nn AM/PM", "3:05 PM"},
                      PatternCase{"h:nn a/p", "3:05 p"}, PatternCase{"y", "61"},
                      PatternCase{"\"day\" d \\m", "day 1 m"},
                      PatternCase{"Short Date", "3/1/2004"},
                      PatternCase{"long date", "Monday, March 1, 2004"},
                      PatternCase{"%B %d%O", "March 1<sup>st</sup>"}));

}  // namespace
