// Real grid pages run through the host executable over the fixture store.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "quenmark/shared_procedures.h"
#include "support/demo_site.h"
#include "support/page_runner.h"

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;
using quenmark::EncodeBase64;
using quenmark::test_support::PageResult;

// A web root holding a copy of the fixture store as data/demo.db and the grid demo pages.
const fs::path& SiteRoot() {
  static const fs::path root = quenmark::test_support::MakeDemoSite(
      "grid_pages", {"grid_plain.lua", "grid_styled.lua", "grid_texts.lua"});
  return root;
}

std::string WritePage(const std::string& name, const std::string& script) {
  const fs::path path = SiteRoot() / (name + ".lua");
  std::ofstream(path) << script;
  return path.string();
}

// A page that shows `command` in a grid after running `setup` (Lua statements on `grid`).
std::string GridPage(const std::string& name, const std::string& command,
                     const std::string& setup = "") {
  return quenmark::test_support::WriteGridPage(SiteRoot(), name, command, setup);
}

// Runs `page` at "/grid.lua", posting `form` (a url-encoded body) when it is not empty.
PageResult Serve(const std::string& page, const std::string& form = "") {
  std::vector<std::string> args = {"--root", SiteRoot().string(), "--url", "/grid.lua"};
  if (!form.empty()) args.insert(args.end(), {"--form", form});
  PageResult result = quenmark::test_support::RunPage(page, args);
  EXPECT_EQ(result.status, 200) << result.body << result.error_output;
  return result;
}

using quenmark::test_support::PostBackField;

std::string Href(const std::string& argument) {
  return "javascript:__doPostBack('" + EncodeBase64(argument) + "')";
}

std::string NavLink(const std::string& text, int row) {
  return "&nbsp;<a  href=\"" + Href("2start:" + std::to_string(row) + ";") + "\">" + text +
         "</a>&nbsp;";
}

std::string Products(int count) {
  return "SELECT ProductID, ProductName FROM Products WHERE ProductID <= " + std::to_string(count);
}

int Rows(const std::string& body) {
  int count = 0;
  for (size_t at = body.find("<td nowrap width=1>"); at != std::string::npos;
       at = body.find("<td nowrap width=1>", at + 1)) {
    ++count;
  }
  return count;
}

TEST(GridPageTest, FirstRequestTableHeaderAndHiddenFields) {
  const std::string body = Serve(GridPage("first", Products(77))).body;
  EXPECT_THAT(body, HasSubstr("<form name=QmkTabulon method=post action=\"/grid.lua\">"
                              "<table border=0 width=\"100%\"><tr><td><a  href=\"" +
                              Href("5") + "\">Print</a></td><td align=right nowrap>&nbsp;"
                              "<input type=hidden name=btnExpdoc value=\""));
  EXPECT_THAT(body, HasSubstr("<a  href=\"javascript:__doPostBack('_text')\">Text</a>&nbsp;"
                              "&nbsp;</td></table>"));
  EXPECT_THAT(body, HasSubstr("<table width=\"100%\" border=\"0\" cellpadding=\"2\" "
                              "cellspacing=\"1\"><tr ><th><a  href=\"" +
                              Href("3start:1;rsort:0;") + "\"><font face='MS OUTLOOK'>C</font>"
                              "</a></th><th><a  href=\"" + Href("1sort:1;lastsort:;rsort:0;") +
                              "\">ProductID</a></th>"));
  EXPECT_THAT(body, HasSubstr("<tr><td nowrap width=1>1</td><td class=\"number\">1</td>"));
  EXPECT_EQ(Rows(body), 10);
  EXPECT_THAT(body, HasSubstr("<input type=hidden name=sort value=\"\"><input type=hidden "
                              "name=rsort value=\"0\"><input type=hidden name=pagesize "
                              "value=\"10\"><input type=hidden name=curidx value=\"0\">"
                              "<input type=hidden name=showall value=\"False\"><input "
                              "type=hidden name=start value=\"1\"><input type=hidden "
                              "name=rsfilter value=\"\"><input type=hidden name=__FARGS "
                              "value=\"\"></form>"));
}

struct BarCase {
  int rows;
  std::string form;
  std::string bar;
};

class NavigationPageTest : public ::testing::TestWithParam<BarCase> {};

TEST_P(NavigationPageTest, WritesTheBar) {
  const BarCase& c = GetParam();
  const std::string page = GridPage("bar" + std::to_string(c.rows), Products(c.rows));
  EXPECT_THAT(Serve(page, c.form).body, HasSubstr(c.bar));
}

INSTANTIATE_TEST_SUITE_P(
    Bars, NavigationPageTest,
    // The first page's whole bar is checked in navigation_bar_test.cpp.
    ::testing::Values(BarCase{21, "",
                              "<td width=\"99%\">Page 1 of 3 (21 recs)&nbsp;[1]&nbsp;" +
                                  NavLink("2", 11) + NavLink("3", 21) + NavLink("&raquo;", 11) +
                                  "..." + NavLink("Last &raquo;", 21) + "&nbsp;</td>"},
                      BarCase{30, "start=21&pagesize=10",
                              "Page 3 of 3 (30 recs)" + NavLink("&laquo;", 11) + NavLink("1", 1) +
                                  NavLink("2", 11) + "&nbsp;[3]&nbsp;&nbsp;</td>"},
                      BarCase{77, "start=37&pagesize=9&npagesize=9",
                              "Page 5 of 9 (77 recs)" + NavLink("&laquo; First", 1) + "..." +
                                  NavLink("&laquo;", 28) + NavLink("2", 10) + NavLink("3", 19) +
                                  NavLink("4", 28) + "&nbsp;[5]&nbsp;" + NavLink("6", 46) +
                                  NavLink("7", 55) + NavLink("8", 64) + NavLink("&raquo;", 46) +
                                  "..." + NavLink("Last &raquo;", 73) + "&nbsp;</td>"},
                      // The largest 32-bit start with a page size: no wrap-around, no data rows.
                      BarCase{77, "start=2147483647&npagesize=10",
                              "Page 214748366 of 8 (77 recs)" + NavLink("&laquo; First", 1) +
                                  "..." + NavLink("&laquo;", 2147483637) + "&nbsp;</td>"}));

TEST(GridPageTest, SortClicksToggleAndRemove) {
  const std::string page = GridPage("sort", Products(25));
  std::string body = Serve(page, "sort=&pagesize=10&" + PostBackField("1sort:2;lastsort:;rsort:0;")).body;
  EXPECT_THAT(body, HasSubstr("<input type=hidden name=sort value=\"2\">"));
  EXPECT_THAT(body, HasSubstr("\">ProductName</a>&nbsp;<a  href=\"" +
                              Href("1sort:2;lastsort:2;rsort:1;") + "\">+</a></th>"));
  body = Serve(page, "sort=2&pagesize=10&" + PostBackField("1sort:2;lastsort:2;rsort:0;")).body;
  EXPECT_THAT(body, HasSubstr("<input type=hidden name=sort value=\"2 desc\">"));
  EXPECT_THAT(body, HasSubstr("\">-</a></th>"));
  body = Serve(page, "pagesize=10&" + PostBackField("1sort:2;lastsort:2 desc;rsort:1;")).body;
  EXPECT_THAT(body, HasSubstr("<input type=hidden name=sort value=\"\">"));
  EXPECT_THAT(body, HasSubstr("<td nowrap width=1>1</td><td class=\"number\">1</td>"));
}

TEST(GridPageTest, PageSizeBoxAndReset) {
  const std::string page = GridPage("sizes", Products(40));
  for (const auto& [new_size, rows] :
       std::vector<std::pair<std::string, int>>{{"", 25}, {"-3", 25}, {"0", 40}, {"5", 5}}) {
    const PageResult result = Serve(page, "npagesize=" + new_size + "&pagesize=25&start=1");
    EXPECT_EQ(Rows(result.body), rows) << "npagesize=" << new_size;
  }
  const std::string body =
      Serve(page, "sort=2+desc&start=11&pagesize=10&rsfilter=%5BProductID%5D+%3E+5&" +
                      PostBackField("3start:1;")).body;
  EXPECT_THAT(body, HasSubstr("<input type=hidden name=sort value=\"\">"));
  EXPECT_THAT(body, HasSubstr("<input type=hidden name=start value=\"1\">"
                              "<input type=hidden name=rsfilter value=\"\">"));
  EXPECT_THAT(body, HasSubstr("Page 1 of 4 (40 recs)"));
}

TEST(GridPageTest, FatalMessagesAndEmptyResult) {
  const std::string no_connection = WritePage(
      "no_connection", "local g = Server.CreateObject(\"Quenmark.DataGrid\")\n"
                       "g.Command = \"SELECT 1\"\ng:Display()\nResponse.Write(\"after\")\n");
  EXPECT_EQ(Serve(no_connection).body,
            "<div><font color=red face=arial>Your Database Connection must be set before "
            "calling .Display() method</font></div>");
  EXPECT_EQ(Serve(GridPage("no_command", "")).body,
            "<div><font color=red face=arial>Your SQL Command must be set before calling "
            ".Display() method</font></div>");
  EXPECT_THAT(Serve(GridPage("bad_sql", "SELECT x FROM nowhere")).body,
              HasSubstr("<div><font color=red face=arial>no such table: nowhere"));
  EXPECT_TRUE(Serve(GridPage("empty", Products(0))).body.ends_with(
      "<form name=QmkTabulon method=post action=\"/grid.lua\">No records returned!"));
}

TEST(GridPageTest, MembersFromLuaIgnoreCase) {
  const std::string page = WritePage(
      "members",
      "local g = Server.CreateObject(\"Quenmark.DataGrid\")\n"
      "Response.Write(g.Version .. '|' .. g.title .. '|')\n"
      "g.TITLE = 'Sales'\nResponse.Write(g.Title .. '|' .. tostring(g:GetTransactionStatus()))\n"
      "local cn = Server.CreateObject(\"Quenmark.Connection\")\n"
      "cn:Open(\"Provider=SQLite;Data Source=\" .. Server.MapPath(\"data/demo.db\"))\n"
      "g.connection = cn\ng.command = \"SELECT ProductID, ProductName FROM Products\"\n"
      "g.pagesize = 3\ng.gridclassname = 'grid'\ng.AddRowNumbers = false\n"
      "g:ColumnCaption('ProductName', 'Product')\n"
      "g:SetDisplayText('printtext', 'Printable')\n"
      "g:SetNavigationText('F', 'P', 'N', 'L', 'R', 'Again', '@CurrentPage/@NumOfPages', "
      "'Size', false)\n"
      "g:display()\ng = nil\ncollectgarbage()\nResponse.Write('|state=' .. cn.State)\n");
  const std::string body = Serve(page).body;
  EXPECT_TRUE(body.starts_with("2.0|ASP Tabulon|Sales|false")) << body;
  EXPECT_THAT(body, HasSubstr("cellspacing=\"1\" class=\"grid\">"));
  EXPECT_THAT(body, HasSubstr("\">Product</a></th>"));
  EXPECT_THAT(body, HasSubstr(">Printable</a>"));
  EXPECT_THAT(body, HasSubstr("1/26" + NavLink("N", 4) + NavLink("L", 76) + "&nbsp;</td>"));
  EXPECT_EQ(Rows(body), 0);
  // The page's own connection stays open after the grid is gone.
  EXPECT_TRUE(body.ends_with("|state=1"));
}

TEST(GridPageTest, DemoPagesRender) {
  const std::string styled = Serve((SiteRoot() / "grid_styled.lua").string()).body;
  EXPECT_THAT(styled, HasSubstr("<tr class=\"grid-altitem\"><td nowrap width=1>2</td>"));
  EXPECT_THAT(styled, HasSubstr("\">Company</a></th>"));
  const std::string texts = Serve((SiteRoot() / "grid_texts.lua").string()).body;
  EXPECT_THAT(texts, HasSubstr("Seite 1 von 83 (830 Zeilen)"));
  EXPECT_THAT(texts, HasSubstr(">Druckansicht</a>"));
  EXPECT_THAT(Serve((SiteRoot() / "grid_plain.lua").string()).body,
              HasSubstr("Page 1 of 8 (77 recs)"));
}

}  // namespace
