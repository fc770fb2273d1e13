#include "frame/text_util.h"

#include <gtest/gtest.h>

#include <string>

namespace quenmark {
namespace {

TEST(TextUtilTest, TrimRemovesOnlyTheGivenBlanks) {
  struct Case {
    std::string text;
    std::string blanks;
    std::string trimmed;
  };
  const Case cases[] = {
      {" \t\n\v\f\rab c\r\n", std::string(kWhitespace), "ab c"},
      {"   ", std::string(kWhitespace), ""},
      {"", std::string(kWhitespace), ""},
      {"\t a \t", " ", "\t a \t"},
      {"  a b  ", " ", "a b"},
      {"\r\n x \t", " \t", "\r\n x"},
      // Bytes of UTF-8 sequences are never blanks, whatever the locale.
      {"\xC2\xA0x\xC2\xA0", std::string(kWhitespace), "\xC2\xA0x\xC2\xA0"},
      {std::string("\0a\0", 3), std::string(kWhitespace), std::string("\0a\0", 3)}};
  for (const Case& c : cases) {
    EXPECT_EQ(Trim(c.text, c.blanks), c.trimmed) << '"' << c.text << '"';
  }
}

TEST(TextUtilTest, CaseMappingTouchesAsciiLettersOnly) {
  const std::string mixed = "aZ09_-@[`{\xC3\xA9\xC3\x89";
  EXPECT_EQ(ToUpperAscii(mixed), "AZ09_-@[`{\xC3\xA9\xC3\x89");
  EXPECT_EQ(ToLowerAscii(mixed), "az09_-@[`{\xC3\xA9\xC3\x89");
}

TEST(TextUtilTest, ComparisonsIgnoreAsciiCase) {
  struct Case {
    std::string_view a;
    std::string_view b;
    bool equal;
  };
  const Case cases[] = {{"PageSize", "pagesize", true},
                        {"", "", true},
                        {"abc", "abcd", false},
                        {"abcd", "abc", false},
                        // '@' and '`' differ from 'A' and 'a' by 32 but are not letters.
                        {"@", "`", false},
                        {"[", "{", false},
                        {"\xC3\xA9", "\xC3\x89", false}};
  for (const Case& c : cases) {
    EXPECT_EQ(EqualsIgnoreCase(c.a, c.b), c.equal) << c.a << " / " << c.b;
    EXPECT_EQ(EqualsIgnoreCase(c.b, c.a), c.equal) << c.b << " / " << c.a;
  }

  EXPECT_TRUE(StartsWithIgnoreCase("PostgreSQL://host", "postgresql://"));
  EXPECT_FALSE(StartsWithIgnoreCase("pg", "postgresql://"));
  EXPECT_TRUE(EndsWithIgnoreCase("/Index.QSP", ".qsp"));
  EXPECT_TRUE(EndsWithIgnoreCase("page.lua", ".LUA"));
  EXPECT_FALSE(EndsWithIgnoreCase("lua", ".lua"));
  EXPECT_TRUE(EndsWithIgnoreCase("", ""));
}

}  // namespace
}  // namespace quenmark
