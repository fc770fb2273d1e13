// Placeholders of saved queries: clock and user values, and open parameters written so that no
// answer can change the statement.

#include "reports/report_parameters.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

namespace {

using namespace quenmark::reports;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(ReportParameters, ClockPlaceholdersWithoutLeadingZeros) {
  const ClockParts now{2004, 3, 5, 9, 7};
  EXPECT_EQ(ReplaceClockPlaceholders("d='@DATE' AND t='@time' AND x='@DateTime'", now),
            "d='2004-3-5' AND t='9:7' AND x='2004-3-5 9:7'");
  EXPECT_EQ(ReplaceClockPlaceholders("@YEAR/@MONTH/@DAY", now), "2004/3/5");
}

TEST(ReportParameters, UserPlaceholdersAreAlwaysText) {
  struct Case {
    const char* query;
    const char* expected;
  };
  const Case cases[] = {
      {"WHERE u='@USERNAME'", "WHERE u='O''Neil; DROP'"},
      {"WHERE u=@UserName", "WHERE u='O''Neil; DROP'"},
      {"WHERE id=@USERID OR x='@userid'", "WHERE id='7''' OR x='7'''"},
      {"WHERE a='it''s' AND u=@USERNAME", "WHERE a='it''s' AND u='O''Neil; DROP'"},
      {"@USERX stays", "@USERX stays"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReplaceUserPlaceholders(c.query, "O'Neil; DROP", "7'"), c.expected) << c.query;
  }
}

TEST(ReportParameters, NamesAreAskedOnceInOrder) {
  EXPECT_THAT(ParameterNames("a=?region AND b=?REGION AND c='?code' AND d=(?n) AND e=? "),
              ElementsAre("region", "code", "n"));
}

TEST(ReportParameters, ValuesFitTheirPlaceOrAreRefused) {
  struct Case {
    const char* query;
    std::map<std::string, std::string> values;
    const char* filled;  // nullptr: refused
  };
  const Case cases[] = {
      {"id=?id", {{"id", "42"}}, "id=42"},
      {"id=?id", {{"id", "-1.5"}}, "id=-1.5"},
      {"id=?id", {{"id", "3 OR 1=1"}}, nullptr},
      {"id=?id", {{"id", "0x10"}}, nullptr},
      {"n='?name'", {{"name", "O'Brien"}}, "n='O''Brien'"},
      {"n LIKE '%?name%'", {{"name", "a' OR '1'='1"}}, "n LIKE '%a'' OR ''1''=''1%'"},
      {"d=#?day#", {{"day", "2004-03-05"}}, "d=#2004-03-05#"},
      {"d=#?day#", {{"day", "2004-03-05# OR 1=1 OR #"}}, nullptr},
      {"a=?region AND b='?REGION'", {{"region", "7"}}, "a=7 AND b='7'"},
      {"x='a?b' AND y=?b", {{"b", "1"}}, "x='a1' AND y=1"},
      {"v='?v'", {{"v", "?v"}}, "v='?v'"},
  };
  for (const Case& c : cases) {
    const ParameterAnswer answer = FillParameters(c.query, [&](const std::string& name) {
      auto it = c.values.find(name);
      return it == c.values.end() ? std::string() : it->second;
    });
    EXPECT_THAT(answer.missing, IsEmpty()) << c.query;
    if (c.filled == nullptr) {
      EXPECT_EQ(answer.refused.size(), 1u) << c.query;
    } else {
      EXPECT_THAT(answer.refused, IsEmpty()) << c.query;
      EXPECT_EQ(answer.query, c.filled) << c.query;
    }
  }
  const ParameterAnswer open =
      FillParameters("a=?x AND b=?y", [](const std::string& n) { return n == "x" ? "1" : ""; });
  EXPECT_THAT(open.missing, ElementsAre("y"));
}

}  // namespace
