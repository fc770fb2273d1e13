#include "quenmark/regex.h"

#include <gtest/gtest.h>

namespace quenmark {
namespace {

TEST(RegexTest, ReplacesTheFirstMatchWithGroups) {
  struct Case {
    const char* subject;
    const char* pattern;
    const char* replacement;
    const char* expected;
  };
  const Case cases[] = {{"2004-03-01", "(\\d+)-(\\d+)-(\\d+)", "$2/$3/$1", "03/01/2004"},
                        {"a1b2c3", "\\d", "#", "a#b2c3"},
                        {"no digits", "\\d", "#", "no digits"},
                        {"price 5", "(\\d)", "$$$1", "price $5"},
                        {"abc", "(b)", "[${1}]", "a[b]c"},
                        {"abc", "(b)", "[$7]", "a[]c"},
                        {"abc", "(x)?b", "[$1]", "a[]c"},
                        {"abc", "b", "<$&>", "a<b>c"},
                        {"abc", "b", "$x $", "a$x $c"},
                        {"caf\xC3\xA9!", "\xC3\xA9", "e", "cafe!"},
                        {"caf\xC3\xA9", "caf.$", "ok", "ok"},
                        {"", "^$", "empty", "empty"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    auto result = ReplaceFirstMatch(c.subject, c.pattern, c.replacement);
    ASSERT_TRUE(result.ok()) << result.Description();
    EXPECT_EQ(*result, c.expected);
  }
  auto ignore_case = ReplaceFirstMatch("Hello", "hello", "bye", true);
  ASSERT_TRUE(ignore_case.ok());
  EXPECT_EQ(*ignore_case, "bye");
}

TEST(RegexTest, InvalidPatternsAreFailuresNotCrashes) {
  const char* patterns[] = {"(", "[a-", "a{2,1}", "*", "(?<", "\\"};
  for (const char* pattern : patterns) {
    SCOPED_TRACE(pattern);
    auto compiled = Regex::Compile(pattern);
    EXPECT_FALSE(compiled.ok());
    EXPECT_NE(compiled.Description().find("Invalid pattern"), std::string::npos);
    EXPECT_FALSE(ReplaceFirstMatch("text", pattern, "x").ok());
  }
}

TEST(RegexTest, LongValuesWork) {
  std::string subject(100000, 'a');
  subject += "END";
  auto regex = Regex::Compile("(a|b)*END");
  ASSERT_TRUE(regex.ok());
  EXPECT_TRUE(regex->Test(subject));
  auto replaced = regex->ReplaceFirst(subject, "done");
  ASSERT_TRUE(replaced.ok()) << replaced.Description();
  EXPECT_EQ(*replaced, "done");

  // A replacement much longer than the subject grows the output buffer.
  std::string long_replacement(50000, 'z');
  auto grown = ReplaceFirstMatch("x", "x", long_replacement);
  ASSERT_TRUE(grown.ok());
  EXPECT_EQ(grown->size(), 50000u);
}

TEST(RegexTest, InvalidUtf8SubjectsStillMatch) {
  auto result = ReplaceFirstMatch(std::string("ab\xFF") + "cd", "cd", "X");
  ASSERT_TRUE(result.ok()) << result.Description();
  EXPECT_EQ(*result, std::string("ab\xFF") + "X");
}

}  // namespace
}  // namespace quenmark

namespace {

std::string Bracketed(std::string_view text) { return "<" + std::string(text) + ">"; }

TEST(RegexEscapedReplaceTest, OnlySubjectPiecesPassThroughTheEscape) {
  auto regex = quenmark::Regex::Compile("(b+)(x)?(?<tail>c)");
  ASSERT_TRUE(regex.ok());
  struct Case {
    const char* subject;
    const char* replacement;
    const char* expected;
  };
  for (const Case& c :
       {Case{"abbcd", "[$1|$2|$&|$$|${tail}|$9|$ ]", "<a>[<bb>|<>|<bbc>|$|<c>|<>|$ ]<d>"},
        Case{"zzz", "[$1]", "<zzz>"}}) {
    auto replaced = regex->ReplaceFirst(c.subject, c.replacement, &Bracketed);
    ASSERT_TRUE(replaced.ok()) << replaced.Description();
    EXPECT_EQ(replaced.value(), c.expected) << c.subject;
  }
  EXPECT_FALSE(regex->ReplaceFirst("abc", "${nope}", &Bracketed).ok());
}

}  // namespace
