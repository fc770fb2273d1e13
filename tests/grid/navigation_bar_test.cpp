#include "grid/navigation_bar.h"

#include <gtest/gtest.h>

#include <string>

#include "quenmark/shared_procedures.h"

namespace quenmark {
namespace {

std::string Bar(const NavigationBarInput& input) {
  std::string out;
  AppendNavigationBar(input, out);
  return out;
}

// The paging cell in a compact form: each postback link becomes "{text>row}" (the 1-based row of
// a "2start:" argument, otherwise the decoded argument), "&nbsp;" is dropped.
std::string PagingSkeleton(const std::string& bar) {
  const std::string open = "<td width=\"99%\">";
  const std::size_t from = bar.find(open) + open.size();
  const std::string cell = bar.substr(from, bar.find("</td>", from) - from);
  const std::string href = "<a  href=\"javascript:__doPostBack('";
  std::string out;
  std::size_t pos = 0;
  while (pos < cell.size()) {
    if (cell.compare(pos, 6, "&nbsp;") == 0) {
      pos += 6;
    } else if (cell.compare(pos, href.size(), href) == 0) {
      const std::size_t arg_from = pos + href.size();
      const std::size_t arg_end = cell.find('\'', arg_from);
      std::string argument = DecodeBase64(cell.substr(arg_from, arg_end - arg_from));
      while (!argument.empty() && argument.back() == ' ') argument.pop_back();
      if (argument.starts_with("2start:") && argument.ends_with(";")) {
        argument = argument.substr(7, argument.size() - 8);
      }
      const std::size_t text_from = cell.find('>', arg_end) + 1;
      const std::size_t text_end = cell.find("</a>", text_from);
      out += "{" + cell.substr(text_from, text_end - text_from) + ">" + argument + "}";
      pos = text_end + 4;
    } else {
      out += cell[pos++];
    }
  }
  return out;
}

TEST(NavigationBarTest, FirstPageOfTwentyFiveRowsExactly) {
  const DisplayTexts texts;
  EXPECT_EQ(Bar({.texts = texts, .start = 0, .page_size = 10, .last = 24}),
            "<table cellpadding=4 width=\"100%\"><tr><td width=\"99%\">"
            "Page 1 of 3 (25 recs)"
            "&nbsp;[1]&nbsp;"
            "&nbsp;<a  href=\"javascript:__doPostBack('MnN0YXJ0OjExOyAg')\">2</a>&nbsp;"
            "&nbsp;<a  href=\"javascript:__doPostBack('MnN0YXJ0OjIxOyAg')\">3</a>&nbsp;"
            "&nbsp;<a  href=\"javascript:__doPostBack('MnN0YXJ0OjExOyAg')\">&raquo;</a>&nbsp;"
            "..."
            "&nbsp;<a  href=\"javascript:__doPostBack('MnN0YXJ0OjIxOyAg')\">Last &raquo;</a>&nbsp;"
            "&nbsp;</td>"
            "<td nowrap>&nbsp;<a  href=\"javascript:__doPostBack('M3N0YXJ0OjE7')\">Reset</a>&nbsp;"
            "Page Size:&nbsp;<input size=2 name=npagesize value=\"10\">"
            "&nbsp;<a  href=\"javascript:__doPostBack('MnN0YXJ0OjE7')\">Reload</a>&nbsp;"
            "</td></tr></table>");
}

TEST(NavigationBarTest, PagingLinks) {
  const struct {
    const char* name;
    int start, page_size, rows;
    bool page_numbers;
    std::string expected;
  } cases[] = {
      {"page 5 of 9", 40, 10, 85, true,
       "Page 5 of 9 (85 recs){&laquo; First>1}...{&laquo;>31}{2>11}{3>21}{4>31}[5]{6>51}{7>61}"
       "{8>71}{&raquo;>51}...{Last &raquo;>81}"},
      {"page 5 of 9 without numbers", 40, 10, 85, false,
       "Page 5 of 9 (85 recs){&laquo; First>1}{&laquo;>31}{&raquo;>51}{Last &raquo;>81}"},
      {"last page, partly filled", 20, 10, 25, true,
       "Page 3 of 3 (25 recs){&laquo;>11}{1>1}{2>11}[3]"},
      {"page 4 enables First", 30, 10, 100, true,
       "Page 4 of 10 (100 recs){&laquo; First>1}...{&laquo;>21}{1>1}{2>11}{3>21}[4]{5>41}{6>51}"
       "{7>61}{&raquo;>41}...{Last &raquo;>91}"},
      {"single page", 0, 10, 7, true, "Page 1 of 1 (7 recs)[1]"},
      // Offsets between pages round to the nearest page, halves to the even one.
      {"start 6 is page 1", 5, 10, 25, true,
       "Page 1 of 3 (25 recs){&laquo;>1}[1]{2>11}{3>21}{&raquo;>16}...{Last &raquo;>21}"},
      {"start 16 is page 3", 15, 10, 25, true, "Page 3 of 3 (25 recs){&laquo;>6}{1>1}{2>11}[3]"},
      {"start 26 is page 3", 25, 10, 40, true,
       "Page 3 of 4 (40 recs){&laquo;>16}{1>1}{2>11}[3]{4>31}{&raquo;>36}...{Last &raquo;>31}"},
      {"start beyond the rows", 40, 10, 25, true,
       "Page 5 of 3 (25 recs){&laquo; First>1}...{&laquo;>31}{2>11}{3>21}"},
      // A posted start at the largest 32-bit row: the page arithmetic does not wrap around.
      {"start at the largest row", 2147483646, 10, 77, true,
       "Page 214748366 of 8 (77 recs){&laquo; First>1}...{&laquo;>2147483637}"},
      {"largest row, largest page size", 2147483646, 32767, 77, true,
       "Page 65539 of 1 (77 recs){&laquo; First>1}...{&laquo;>2147450880}"},
      {"largest row, page size 1", 2147483646, 1, 77, true,
       "Page 2147483647 of 77 (77 recs){&laquo; First>1}...{&laquo;>2147483646}"},
  };
  for (const auto& c : cases) {
    DisplayTexts texts;
    texts.SetShowPageNumbers(c.page_numbers);
    const std::string bar =
        Bar({.texts = texts, .start = c.start, .page_size = c.page_size, .last = c.rows - 1});
    EXPECT_EQ(PagingSkeleton(bar), c.expected) << c.name;
  }
}

TEST(NavigationBarTest, PageCountTemplate) {
  const struct {
    std::string pattern;
    std::string expected;
  } cases[] = {
      {"@NumOfRecs rows; @CurrentPage/@NumOfPages", "85 rows; 5/9"},
      {"@CurrentPage @CurrentPage @Other @", "5 5 @Other @"},
      {"", ""},
  };
  for (const auto& c : cases) {
    DisplayTexts texts;
    texts.Set(DisplayText::kPageCountText, c.pattern);
    texts.SetShowPageNumbers(false);
    const std::string skeleton =
        PagingSkeleton(Bar({.texts = texts, .start = 40, .page_size = 10, .last = 84}));
    EXPECT_EQ(skeleton.substr(0, skeleton.find('{')), c.expected) << c.pattern;
  }
}

TEST(NavigationBarTest, WithoutPagingOnlyTheSecondCellHasLinks) {
  const DisplayTexts texts;
  const struct {
    const char* name;
    bool paging;
    int page_size;
  } cases[] = {{"paging off", false, 10}, {"page size 0", true, 0}, {"negative size", true, -5}};
  for (const auto& c : cases) {
    const std::string bar =
        Bar({.texts = texts, .start = 0, .page_size = c.page_size, .last = 24, .paging = c.paging});
    EXPECT_TRUE(
        bar.starts_with("<table cellpadding=4 width=\"100%\"><tr><td width=\"99%\">&nbsp;"
                        "</td><td nowrap>&nbsp;<a  href="))
        << c.name << ": " << bar;
    EXPECT_NE(
        bar.find("<input size=2 name=npagesize value=\"" + std::to_string(c.page_size) + "\">"),
        std::string::npos)
        << c.name;
  }
}

TEST(NavigationBarTest, FragmentsTitlesAndStyledBox) {
  DisplayTexts texts;
  texts.SetDisplayText("resettitle", "Start over");
  texts.SetDisplayText("reloadtitle", "Apply");
  texts.SetDisplayText("pagesizetext", "Rows:");
  EXPECT_EQ(Bar({.texts = texts,
                 .start = 10,
                 .page_size = 10,
                 .last = 11,
                 .paging = false,
                 .table_width = "600",
                 .footer_class = " class=\"foot\"",
                 .footer_style = " style=\"color:red\"",
                 .paging_link_class = " class=\"pg\"",
                 .paging_link_style = " style=\"font-weight:bold\"",
                 .text_box_style = " style=\"width:2em\""}),
            "<table cellpadding=4 width=\"600\"><tr class=\"foot\" style=\"color:red\">"
            "<td width=\"99%\">&nbsp;</td>"
            "<td nowrap>&nbsp;<a  href=\"javascript:__doPostBack('M3N0YXJ0OjE7')\" class=\"pg\""
            " title=\"Start over\" style=\"font-weight:bold\">Reset</a>&nbsp;"
            "Rows:&nbsp;<input size=2 name=npagesize value=\"10\" style=\"width:2em\">"
            "&nbsp;<a  href=\"javascript:__doPostBack('MnN0YXJ0OjExOyAg')\" class=\"pg\""
            " title=\"Apply\" style=\"font-weight:bold\">Reload</a>&nbsp;"
            "</td></tr></table>");
}

TEST(NavigationBarTest, PrintModeShowsTheCloseLinkAndKeepsThePageSize) {
  const DisplayTexts texts;
  EXPECT_EQ(Bar({.texts = texts,
                 .start = 20,
                 .page_size = 10,
                 .last = 24,
                 .paging = false,
                 .print_mode = true}),
            "<table cellpadding=4 width=\"100%\"><tr><td width=\"99%\">&nbsp;</td>"
            "&nbsp;<a  href=\"javascript:__doPostBack('MnN0YXJ0OjIxOyAg')\" title=\"Reset grid\">"
            "<font color=gray>Close</font></a>&nbsp;"
            "<input type=hidden name=npagesize value=\"10\">"
            "</td></tr></table>");
}

TEST(NavigationBarTest, DisabledLinksShowOnlyNumbers) {
  const struct {
    std::string text;
    std::string expected;
  } cases[] = {{"12", "&nbsp;[12]&nbsp;"}, {"&laquo;", ""}, {"", ""}, {"7a", ""}};
  for (const auto& c : cases) {
    std::string out;
    AppendNavLink(c.text, 0, false, "title", " class=\"x\"", "", out);
    EXPECT_EQ(out, c.expected) << c.text;
  }
}

}  // namespace
}  // namespace quenmark
