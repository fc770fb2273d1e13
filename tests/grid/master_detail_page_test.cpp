// Master-detail grids: groups of rows as master lines, paging by groups, opening and closing
// the details, the columnar and print variants.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "grid/in_process_grid.h"
#include "quenmark/shared_procedures.h"

namespace quenmark {
namespace {

using test_grid::CountOf;
using test_grid::GridRequest;
using testing::EndsWith;
using testing::HasSubstr;
using testing::Not;

// Customers 1 to 25 with two orders each (customer c: orders 2c - 1 and 2c, amount = order id
// + 0.5); masters m (A, and B in markup) with details d 1 to 4 of masters A, A, B, A.
std::string StoreUrl() {
  static const std::string url = [] {
    std::string sql =
        "CREATE TABLE cust (id INTEGER PRIMARY KEY, name TEXT, city TEXT);"
        "CREATE TABLE ord (id INTEGER PRIMARY KEY, cust INTEGER, amount REAL);"
        "CREATE TABLE m (id INTEGER PRIMARY KEY, grp TEXT);"
        "CREATE TABLE d (n INTEGER PRIMARY KEY, m INTEGER, note TEXT);"
        "INSERT INTO m VALUES (1, 'A'), (2, '<b>B</b>');"
        "INSERT INTO d VALUES (1, 1, 'x'), (2, 1, 'y'), (3, 2, '<i>z</i>'), (4, 1, 'w');";
    for (int c = 1; c <= 25; ++c) {
      const std::string id = std::to_string(c);
      sql += "INSERT INTO cust VALUES (" + id + ", 'Cust " + id + "', 'City');";
      for (int o = 2 * c - 1; o <= 2 * c; ++o) {
        sql += "INSERT INTO ord VALUES (" + std::to_string(o) + ", " + id + ", " +
               std::to_string(o) + ".5);";
      }
    }
    return test_grid::Database("master_detail", sql);
  }();
  return url;
}

const std::string kOrders =
    "SELECT cust.name, cust.city, ord.id, ord.amount FROM cust JOIN ord ON ord.cust = cust.id";

std::string Href(const std::string& argument) {
  return "javascript:__doPostBack('" + EncodeBase64(argument) + "')";
}

// The master line of group g (0-based) of customer g + 1.
std::string MasterLine(int g) {
  return "<td nowrap width=1><a href=\"" + Href("6;curidx:" + std::to_string(g) + ";") +
         "\" ><font >" + std::to_string(g + 1) + "</font></a></td><td class=\"text\">Cust " +
         std::to_string(g + 1) + "</td><td class=\"text\">City</td></tr>";
}

// The open details of customer c: a header without sort links, then its two orders.
std::string Details(int c) {
  auto order = [](int o) {
    return "<tr><td class=\"number\">" + std::to_string(o) + "</td><td class=\"number\">" +
           std::to_string(o) + ".5</td></tr>";
  };
  return "<tr><td align=right colspan=100 bgcolor=white><table width=\"97%\"><tr><td>"
         "<table width=\"100%\" border=\"0\" cellpadding=\"2\" cellspacing=\"1\"><tr >"
         "<th><a>id</a></th><th><a>amount</a></th></tr>" +
         order(2 * c - 1) + order(2 * c) + "</table></td></tr></table></td></tr>";
}

std::string Show(GridRequest& request, const std::string& command,
                 const std::function<void(DataGrid&)>& setup = {}) {
  return request.Run([&](DataGrid& grid) {
    grid.CreateConnection(StoreUrl());
    grid.Command(command);
    grid.MasterTable("cust");
    if (setup) setup(grid);
    grid.Display();
  });
}

// A postback of the page at `start` carrying the argument `action` (empty: none).
std::string Postback(const std::string& action, const std::string& start = "1",
                     const std::string& show_all = "False", const std::string& current = "0") {
  GridRequest request;
  request.Form("pagesize", "10").Form("start", start).Form("showall", show_all);
  request.Form("curidx", current);
  if (!action.empty()) request.Form("__FARGS", EncodeBase64(action));
  return Show(request, kOrders);
}

TEST(MasterDetailPageTest, WithoutMasterTableStopsWithTheMessage) {
  GridRequest request;
  const std::string body = request.Run([](DataGrid& grid) {
    grid.CreateConnection(StoreUrl());
    grid.Command(kOrders);
    grid.MasterTable("");
    grid.Display();
  });
  EXPECT_EQ(body,
            "<font color=red><b>Master table not selected<b><br>You must first select a master "
            "table</font>");
}

TEST(MasterDetailPageTest, FirstPageShowsTenGroupsWithTheFirstOpen) {
  GridRequest request;
  const std::string body = Show(request, kOrders);
  EXPECT_THAT(body, HasSubstr("Print</a>&nbsp;&#183;&nbsp;<a href=\"" + Href("7") +
                              "\" >Show all Details</a></td><td align=right nowrap>&nbsp;<input "
                              "type=hidden name=btnExpdoc value=\""));
  // The header holds the master columns only.
  EXPECT_THAT(body, HasSubstr("\">city</a></th></tr><tr>" + MasterLine(0) + Details(1) + "<tr>" +
                              MasterLine(1) + "<tr>" + MasterLine(2)));
  EXPECT_EQ(CountOf(body, "<font >"), 10);
  EXPECT_EQ(CountOf(body, "bgcolor=white"), 1);
  // The navigation bar counts groups.
  EXPECT_THAT(body, HasSubstr("Page 1 of 3 (25 recs)"));
}

TEST(MasterDetailPageTest, PagesByGroups) {
  const std::string body = Postback("2start:21;");
  EXPECT_THAT(body, HasSubstr("Page 3 of 3 (25 recs)"));
  EXPECT_EQ(CountOf(body, "<font >"), 5);
  // The first group of the page opens, and the state field says so.
  EXPECT_THAT(body, HasSubstr(MasterLine(20) + Details(21) + "<tr>" + MasterLine(21)));
  EXPECT_THAT(body, HasSubstr("<input type=hidden name=curidx value=\"20\">"));
}

TEST(MasterDetailPageTest, ShowAllAndCollapseDetails) {
  std::string body = Postback("7", "1", "False", "3");
  EXPECT_EQ(CountOf(body, "bgcolor=white"), 10);
  EXPECT_THAT(body, HasSubstr("Print</a>&nbsp;&nbsp;<a href=\"" + Href("6;curidx:3;") +
                              "\" >Collapse Details</a></td>"));
  // With every group open the master lines share the look of row 0.
  EXPECT_THAT(body, HasSubstr("<tr>" + MasterLine(9) + Details(10) + "</table>"));
  EXPECT_THAT(body, HasSubstr("<input type=hidden name=showall value=\"True\">"));

  body = Postback("6;curidx:3;", "1", "True", "3");
  EXPECT_EQ(CountOf(body, "bgcolor=white"), 1);
  EXPECT_THAT(body, HasSubstr(MasterLine(3) + Details(4) + "<tr>" + MasterLine(4)));
  EXPECT_THAT(body, HasSubstr(">Show all Details</a>"));
  EXPECT_THAT(body, HasSubstr("<input type=hidden name=showall value=\"False\">"));

  // On a later page the collapse link keeps a group of that page open.
  body = Postback("7", "21");
  EXPECT_EQ(CountOf(body, "bgcolor=white"), 5);
  EXPECT_THAT(body, HasSubstr(Href("6;curidx:20;") + "\" >Collapse Details</a>"));
}

TEST(MasterDetailPageTest, GroupsAreRunsOfEqualMasterValues) {
  // Group 1 (B) is open; master and detail values are escaped alike.
  GridRequest request;
  request.Form("pagesize", "10").Form("start", "1").Form("curidx", "1");
  const std::string body = request.Run([](DataGrid& grid) {
    grid.CreateConnection(StoreUrl());
    grid.Command("SELECT m.grp, d.n, d.note FROM m JOIN d ON d.m = m.id ORDER BY d.n");
    grid.MasterTable("M");
    grid.Display();
  });
  // A, A, B, A: three groups, the last A apart from the first.
  EXPECT_EQ(CountOf(body, "<font >"), 3);
  EXPECT_THAT(body, HasSubstr("<font >3</font></a></td><td class=\"text\">A</td></tr>"));
  EXPECT_THAT(body, HasSubstr("<font >2</font></a></td><td class=\"text\">&lt;b&gt;B&lt;/b&gt;"
                              "</td></tr><tr><td align=right"));
  EXPECT_THAT(body, HasSubstr("<tr><td class=\"number\">3</td><td class=\"text\">"
                              "&lt;i&gt;z&lt;/i&gt;</td></tr></table>"));
}

TEST(MasterDetailPageTest, SmallResultsShowEveryGroupOnOnePage) {
  GridRequest request;
  // 10 rows in 5 groups: at most PageSize + 1 rows switch paging off.
  const std::string body = Show(request, kOrders + " WHERE cust.id <= 5");
  EXPECT_EQ(CountOf(body, "<font >"), 5);
  EXPECT_THAT(body, Not(HasSubstr("recs)")));
}

TEST(MasterDetailPageTest, ColumnarGroupsShowTheirDetailsBeside) {
  GridRequest request;
  const std::string body =
      Show(request, kOrders + " WHERE cust.id <= 7", [](DataGrid& grid) { grid.IsColumnar(true); });
  EXPECT_THAT(body, Not(HasSubstr("Details</a>")));
  EXPECT_THAT(body, HasSubstr("<tr><td valign=top><table border=0><tr><td valign=top >name</td>"
                              "<td >Cust 2</td></tr><tr><td valign=top >city</td><td >City</td>"
                              "</tr></table></td><td valign=top><table width=\"100%\" "
                              "border=\"0\" cellpadding=\"2\" cellspacing=\"1\"><tr ><th><a>id"
                              "</a></th><th><a>amount</a></th></tr><tr><td class=\"number\">3"));
  EXPECT_EQ(CountOf(body, "<table border=0>"), 7);
}

TEST(MasterDetailPageTest, PrintModePrintsBlocksOfGroups) {
  const std::string body = Postback("5");
  // 25 groups in blocks of PageSize + 1, each followed by a page break.
  EXPECT_EQ(CountOf(body, "<font >"), 25);
  EXPECT_EQ(CountOf(body, "page-break-after:always"), 3);
  EXPECT_THAT(body, Not(HasSubstr("Details</a>")));
  EXPECT_THAT(body, EndsWith("<script>window.print();</script>"));
}

}  // namespace
}  // namespace quenmark
