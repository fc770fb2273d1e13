#include "grid/grid_state.h"

#include <gtest/gtest.h>

#include "quenmark/page_context.h"
#include "quenmark/shared_procedures.h"

namespace quenmark {
namespace {

struct OrderCase {
  std::string sort_column;
  std::string last_sort;
  bool remove_sort;
  std::string expected;
};

TEST(GridStateTest, OrderListFollowsTheClickRules) {
  const OrderCase cases[] = {
        OrderCase{"", "", false, ""},                      // fresh grid
        OrderCase{"2", "", false, "2"},                    // first click
        OrderCase{"2", "2", false, "2 desc"},              // second click on the only column
        OrderCase{"2", "2 desc", false, "2"},              // third click
        OrderCase{"3", "2", false, "2,3"},                 // another column is appended
        OrderCase{"2", "2,3", false, "2 desc,3"},          // toggles in place
        OrderCase{"2", "2 desc,3", true, "3"},             // icon removes it
        OrderCase{"3", "2,3", true, "2"},                  // icon on the ascending item
        OrderCase{"2", "12", false, "12,2"},               // whole items only
        OrderCase{"2 desc,3", "", false, "2 desc,3"},      // paging postback keeps the list
        OrderCase{"2;DROP TABLE x", "", false, ""},        // tampered field never reaches SQL
        OrderCase{"4", "1 DESC,x,0", false, "1 desc,4"},   // bad items dropped, case folded
        OrderCase{"1) union select 1", "2", false, "2"}};
  for (const OrderCase& c : cases) {
    GridState state;
    state.sort_column = c.sort_column;
    state.last_sort = c.last_sort;
    state.remove_sort = c.remove_sort;
    EXPECT_EQ(ComputeOrderList(state), c.expected) << c.sort_column << " after " << c.last_sort;
  }
}

struct PostCase {
  std::vector<std::pair<std::string, std::string>> fields;
  int expected_start;
  int expected_page_size;
};

TEST(GridStateTest, PostedNumbersConvertOrKeepTheField) {
  const PostCase cases[] = {
      {{{"start", "11"}, {"npagesize", "-3"}, {"pagesize", "25"}}, 11, 25},
      {{{"start", "abc"}, {"npagesize", "x"}, {"pagesize", "y"}}, 1, 0},
      {{{"start", "0"}, {"pagesize", "99999"}}, 1, 0},
      {{{"start", "-20"}, {"pagesize", "5"}}, 1, 5},
      {{{"start", "40001"}, {"pagesize", "20"}}, 40001, 20}};
  for (const PostCase& c : cases) {
    FieldCollection form;
    for (const auto& [name, value] : c.fields) form.Add(name, value);
    GridState state;
    ReadPostedFields(form, state);
    EXPECT_EQ(state.start_rec, c.expected_start) << c.fields[0].second;
    EXPECT_EQ(state.page_size, c.expected_page_size) << c.fields[0].second;
  }
}

TEST(GridStateTest, ReadsBooleansAndTextsAndKeepsUnconvertible) {
  FieldCollection form;
  form.Add("showall", "True");
  form.Add("rsort", "maybe");
  form.Add("curidx", "3");
  form.Add("sort", "2 desc");
  form.Add("rsfilter", "[Name] LIKE '%a\"b%'");
  GridState state;
  ReadPostedFields(form, state);
  EXPECT_TRUE(state.show_all);
  EXPECT_FALSE(state.remove_sort);
  EXPECT_EQ(state.current_index, 3);
  EXPECT_EQ(state.sort_column, "2 desc");
  EXPECT_EQ(state.filter_text, "[Name] LIKE '%a\"b%'");
}

TEST(GridStateTest, AppliesEachAction) {
  GridState state;
  state.filter_text = "[a] = 1";
  state.start_rec = 31;
  ApplyPostbackArgument(EncodeBase64("1sort:2;lastsort:3 desc;rsort:1;"), state);
  EXPECT_EQ(state.sort_column, "2");
  EXPECT_EQ(state.last_sort, "3 desc");
  EXPECT_TRUE(state.remove_sort);

  ApplyPostbackArgument(EncodeBase64("2start:21;"), state);
  EXPECT_EQ(state.start_rec, 21);
  ApplyPostbackArgument(EncodeBase64("2start:junk;"), state);
  EXPECT_EQ(state.start_rec, 21);
  ApplyPostbackArgument(EncodeBase64("2start:-9;"), state);
  EXPECT_EQ(state.start_rec, 1);

  ApplyPostbackArgument(EncodeBase64("4fmt:CSV;sql:select 1;hdr:A,B;ttl:Sales;"), state);
  EXPECT_TRUE(state.export_requested);
  EXPECT_EQ(state.export_format, "csv");
  EXPECT_EQ(state.export_headers, "A,B");
  EXPECT_EQ(state.posted_title, "Sales");

  ApplyPostbackArgument(EncodeBase64("7"), state);
  EXPECT_TRUE(state.show_all);
  ApplyPostbackArgument(EncodeBase64("6;curidx:4;"), state);
  EXPECT_EQ(state.current_index, 4);
  EXPECT_FALSE(state.show_all);
}

TEST(GridStateTest, IgnoresArgumentsWithoutAnActionDigit) {
  for (const std::string decoded : {"xsort:2;", "8start:5;", "0start:5;"}) {
    GridState state;
    state.start_rec = 3;
    ApplyPostbackArgument(EncodeBase64(decoded), state);
    EXPECT_EQ(state.start_rec, 3) << decoded;
    EXPECT_EQ(state.sort_column, "") << decoded;
  }
}

HeaderCellLook DefaultLook() {
  HeaderCellLook look;
  look.sort_asc_icon = "+";
  look.sort_desc_icon = "-";
  look.reset_text = "Reset";
  return look;
}

std::string Href(const std::string& argument) {
  return "javascript:__doPostBack('" + EncodeBase64(argument) + "')";
}

TEST(HeaderCellTest, SortLinksIconsStylesAndResetCells) {
  HeaderCellLook look = DefaultLook();
  look.sort_asc_title = "asc";
  look.sort_desc_title = "desc";
  look.remove_sort_title = "remove";
  EXPECT_EQ(HeaderCell("Name", 2, true, "2,3", look),
            "<a  href=\"" + Href("1sort:2;lastsort:2,3;rsort:0;") + "\" title=\"desc\">Name</a>" +
                "&nbsp;<a  href=\"" + Href("1sort:2;lastsort:2,3;rsort:1;") +
                "\" title=\"remove\">+</a>");
  EXPECT_EQ(HeaderCell("Qty", 3, true, "3 desc", look),
            "<a  href=\"" + Href("1sort:3;lastsort:3 desc;rsort:0;") + "\" title=\"asc\">Qty</a>" +
                "&nbsp;<a  href=\"" + Href("1sort:3;lastsort:3 desc;rsort:1;") +
                "\" title=\"remove\">-</a>");

  HeaderCellLook styled = DefaultLook();
  styled.header_text_style = " style=\"color:red\"";
  styled.header_link_class = " class=\"h\"";
  EXPECT_EQ(HeaderCell("Name", 1, false, "1", styled),
            "<a class=\"h\"><font style=\"color:red\">Name</font></a>");

  look = DefaultLook();
  look.refresh_title = "Refresh";
  look.paging_link_class = " class=\"p\"";
  EXPECT_EQ(HeaderCell("C", 0, true, "1", look),
            "<a  href=\"" + Href("3start:1;rsort:0;") + "\" title=\"Refresh\">C</a>");
  EXPECT_EQ(HeaderCell("Reset", 0, true, "1", look),
            "<a  href=\"" + Href("3start:1;") + "\" class=\"p\">Reset</a>");
}

}  // namespace
}  // namespace quenmark
