// Reading raw request targets, log escaping and header joining.

#include <gtest/gtest.h>

#include <chrono>

#include "host/request_target.h"

namespace quenmark::host {
namespace {

TEST(RequestTargetTest, DecodesOrRefusesPaths) {
  struct Case {
    const char* target;
    bool accepted;
    const char* path;
    const char* query;
  };
  const Case cases[] = {
      {"/a%20b/c.lua?x=%2F&y=1", true, "/a b/c.lua", "x=%2F&y=1"},
      {"/", true, "/", ""},
      {"/%2e%2e/x", true, "/../x", ""},  // mapping refuses it later (outside the root)
      {"/%5c.env", false, "", ""},
      {"/\\.env", false, "", ""},
      {"/%5c.git%5cconfig", false, "", ""},
      {"/sub%2findex.qsp", false, "", ""},
      {"/sub%2Findex.qsp", false, "", ""},
      {"/a%00.lua", false, "", ""},
      {"/a%0d%0aX: y", false, "", ""},
      {"/a%zz", false, "", ""},
      {"/a%4", false, "", ""},
      {"index.lua", false, "", ""},
      {"", false, "", ""},
  };
  for (const Case& c : cases) {
    std::string path, query;
    EXPECT_EQ(DecodeRequestTarget(c.target, path, query), c.accepted) << c.target;
    if (c.accepted) {
      EXPECT_EQ(path, c.path) << c.target;
      EXPECT_EQ(query, c.query) << c.target;
    }
  }
}

TEST(RequestTargetTest, LogLinesCannotBeForged) {
  EXPECT_EQ(EscapeForLog("/a\r\n1.2.3.4 - - \"GET /x\"\x1b[31m\\"),
            "/a\\x0d\\x0a1.2.3.4 - - \\x22GET /x\\x22\\x1b[31m\\x5c");
  EXPECT_EQ(EscapeForLog("/caf\xc3\xa9?q=1"), "/caf\xc3\xa9?q=1");
}

TEST(RequestTargetTest, RepeatedHeadersJoinInLinearTime) {
  std::vector<std::pair<std::string, std::string>> headers = {
      {"Accept", "a"}, {"X-Tag", "1"}, {"accept", "b"}, {"X-Tag", ""}, {"X-Tag", "3"}};
  auto joined = JoinRepeatedHeaders(headers);
  ASSERT_EQ(joined.size(), 2u);
  EXPECT_EQ(joined[0], (std::pair<std::string, std::string>{"Accept", "a, b"}));
  EXPECT_EQ(joined[1], (std::pair<std::string, std::string>{"X-Tag", "1, , 3"}));

  // 300,000 repeats of one header: joining them one by one into a new string each time took
  // minutes; appending takes milliseconds.
  std::vector<std::pair<std::string, std::string>> many(300000, {"X-Many", "abcdefgh"});
  auto start = std::chrono::steady_clock::now();
  auto one = JoinRepeatedHeaders(many);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].second.size(), 300000u * 8 + 299999u * 2);
}

}  // namespace
}  // namespace quenmark::host
