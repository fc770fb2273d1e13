#include "quenmark/locale.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace quenmark {
namespace {

TEST(LocaleTest, NumberCurrencyAndPercentFormats) {
  const Locale& en = Locale::Default();
  struct Case {
    std::string actual;
    const char* expected;
  };
  const Case cases[] = {{en.FormatNumber(1234.5, 2), "1,234.50"},
                        {en.FormatNumber(1234.5), "1,234.50"},
                        {en.FormatNumber(-1234.567, 1), "-1,234.6"},
                        {en.FormatNumber(0.125, 2), "0.13"},
                        {en.FormatNumber(2.5, 0), "3"},
                        {en.FormatNumber(-0.001, 2), "0.00"},
                        {en.FormatNumber(1234567.891, 0), "1,234,568"},
                        {en.FormatNumber(1.5, 12), "1.500000000000"},
                        {en.FormatCurrency(1234.5), "$1,234.50"},
                        {en.FormatCurrency(-1234.5, 2), "($1,234.50)"},
                        {en.FormatCurrency(3, 0), "$3"},
                        {en.FormatPercent(0.125, 1), "12.5%"},
                        {en.FormatPercent(0.5), "50.00%"},
                        {en.FormatPercent(-0.25, 0), "-25%"}};
  for (const Case& c : cases) EXPECT_EQ(c.actual, c.expected);
}

TEST(LocaleTest, NamesAndNamedDates) {
  const Locale& en = Locale::Default();
  EXPECT_EQ(en.MonthName(3), "March");
  EXPECT_EQ(en.MonthName(9, true), "Sep");
  EXPECT_EQ(en.MonthName(13), "");
  EXPECT_EQ(en.WeekdayName(1), "Sunday");
  EXPECT_EQ(en.WeekdayName(7, true), "Sat");
  EXPECT_EQ(en.WeekdayName(0), "");

  const DateTime when{2004, 3, 1, 15, 5, 9};
  struct Case {
    DateTime value;
    int format;
    const char* expected;
  };
  const Case cases[] = {{when, Locale::kGeneralDate, "3/1/2004 3:05:09 PM"},
                        {when, Locale::kLongDate, "Monday, March 1, 2004"},
                        {when, Locale::kShortDate, "3/1/2004"},
                        {when, Locale::kLongTime, "3:05:09 PM"},
                        {when, Locale::kShortTime, "15:05"},
                        {{2004, 3, 1}, Locale::kGeneralDate, "3/1/2004"},
                        {{1899, 12, 30, 9, 0, 0}, Locale::kGeneralDate, "9:00:00 AM"},
                        {{1850, 7, 4}, Locale::kShortDate, "7/4/1850"},
                        {when, 99, "3/1/2004 3:05:09 PM"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(en.FormatNamedDate(c.value, c.format), c.expected);
  }
}

TEST(LocaleTest, OtherLocalesUseTheirOwnConventions) {
  Locale de("de-DE");
  EXPECT_EQ(de.FormatNumber(1234.5, 2), "1.234,50");
  EXPECT_EQ(de.MonthName(3), "März");
  EXPECT_EQ(de.FormatNamedDate({2004, 3, 1}, Locale::kShortDate), "01.03.2004");
  Locale fallback("not a locale at all");
  EXPECT_FALSE(fallback.FormatNumber(1, 0).empty());
}

TEST(LocaleTest, ConcurrentUseGivesTheSameTexts) {
  const Locale& en = Locale::Default();
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) {
        if (en.FormatNamedDate({2004, 3, 1, 15, 5, 9}, Locale::kLongDate) !=
                "Monday, March 1, 2004" ||
            en.FormatCurrency(-1234.5) != "($1,234.50)") {
          ++failures[static_cast<size_t>(t)];
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int f : failures) EXPECT_EQ(f, 0);
}

}  // namespace
}  // namespace quenmark
