// Row and column summaries and the summary block of a grid, switched on from C++.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "grid/in_process_grid.h"

namespace quenmark {
namespace {

using test_grid::CountOf;
using test_grid::GridRequest;
using testing::HasSubstr;
using testing::Not;

// Lines 1 to 25: quantity i, price i + 0.25; line 3's name holds markup.
std::string LinesUrl() {
  static const std::string url = [] {
    std::string sql =
        "CREATE TABLE lines (id INTEGER PRIMARY KEY, name TEXT, day DATE, qty INTEGER, "
        "price MONEY);";
    for (int i = 1; i <= 25; ++i) {
      const std::string n = std::to_string(i);
      sql += "INSERT INTO lines VALUES (" + n + ", '" + (i == 3 ? "<b>Item 3</b>" : "Item " + n) +
             "', '2004-03-01', " + n + ", " + n + ".25);";
    }
    return test_grid::Database("summaries", sql);
  }();
  return url;
}

const std::string kLines = "SELECT id, name, day, qty, price FROM lines";

std::string Show(GridRequest& request, const std::string& command,
                 const std::function<void(DataGrid&)>& setup) {
  return request.Run([&](DataGrid& grid) {
    grid.CreateConnection(LinesUrl());
    grid.Command(command);
    setup(grid);
    grid.Display();
  });
}

std::string Show(const std::string& command, const std::function<void(DataGrid&)>& setup) {
  GridRequest request;
  return Show(request, command, setup);
}

TEST(SummariesPageTest, RowTotalAndAverageAddNumberAndMoneyColumnsAfterTheFirst) {
  const std::string body = Show(kLines, [](DataGrid& grid) {
    grid.ShowRowTotal(true);
    grid.ShowRowAverage(true);
    grid.StartRec(11);
  });
  EXPECT_THAT(body, HasSubstr("<th><span>Average</span></th><th><span>Total</span></th></tr>"));
  // Line 11: 11 + 11.25 (the id, the name and the date are not added); the average of the two
  // columns, 11.125, rounds to the even neighbour.
  EXPECT_THAT(body, HasSubstr("<td class=\"number\">11</td><td class=\"money\">11.25</td>"
                              "<td class=row_footer>11.12</td><td class=row_footer>22.25</td>"
                              "</tr>"));
  EXPECT_EQ(CountOf(body, "<td class=row_footer>"), 20);
}

TEST(SummariesPageTest, RowCellsTakeTheFirstAggregateColumnsNumberFormat) {
  // SUM_1 lends its format to the row cells; hidden, it is neither shown nor added.
  const std::string body =
      Show("SELECT id, name, day, qty, price, qty * 2 AS SUM_1 FROM lines", [](DataGrid& grid) {
        grid.ShowRowTotal(true);
        grid.ShowRowAverage(true);
        grid.HiddenColumn("sum_1");
        grid.NumberColumn(".SUM_1", 3);
        grid.StartRec(11);
      });
  EXPECT_THAT(body, HasSubstr("<td class=\"money\">11.25</td><td class=row_footer>11.120</td>"
                              "<td class=row_footer>22.250</td></tr>"));
}

TEST(SummariesPageTest, AverageAndTotalLinesCoverThePageRowsOnly) {
  const std::string body = Show(kLines, [](DataGrid& grid) {
    grid.ShowColumnAverage(true);
    grid.ShowColumnTotal(true);
    grid.StartRec(11);
  });
  // Rows 11 to 20: the label spans the row number and the id; text and date get empty cells.
  EXPECT_THAT(body, HasSubstr("<tr ><td colspan=2 class=col_footerLabel>Average</td>"
                              "<td class=col_footer></td><td class=col_footer></td>"
                              "<td class=col_footer>15.5</td><td class=col_footer>15.75</td></tr>"
                              "<tr ><td colspan=2 class=col_footerLabel>Total</td>"
                              "<td class=col_footer></td><td class=col_footer></td>"
                              "<td class=col_footer>155</td><td class=col_footer>157.5</td></tr>"
                              "</table>"));
}

TEST(SummariesPageTest, FooterCellsTakeTheColumnFormatsAndSkipHiddenColumns) {
  const std::string body = Show(kLines, [](DataGrid& grid) {
    grid.ShowColumnAverage(true);
    grid.ShowColumnTotal(true);
    grid.HiddenColumn("day");
    grid.NumberColumn("lines.qty", 1);
    grid.CurrencyColumn("lines.price", 2);
    grid.StartRec(11);
  });
  EXPECT_THAT(body,
              HasSubstr("Average</td><td class=col_footer></td>"
                        "<td class=col_footer>15.5</td><td class=col_footer>$15.75</td></tr>"));
  EXPECT_THAT(body, HasSubstr("Total</td><td class=col_footer></td>"
                              "<td class=col_footer>155.0</td><td class=col_footer>$157.50</td>"
                              "</tr>"));
}

TEST(SummariesPageTest, FooterUnderRowSummariesAndWithoutRowNumbers) {
  const std::string body = Show(kLines + " WHERE id <= 2", [](DataGrid& grid) {
    grid.ShowColumnTotal(true);
    grid.ShowColumnAverage(true);
    grid.ShowRowTotal(true);
    grid.ShowRowAverage(true);
    grid.AddRowNumbers(false);
  });
  EXPECT_THAT(body, HasSubstr("<td colspan=1 class=col_footerLabel>Average</td>"
                              "<td class=col_footer></td><td class=col_footer></td>"
                              "<td class=col_footer>1.5</td><td class=col_footer>1.75</td>"
                              "<td class=col_footer colspan=2>&nbsp;</td></tr>"));
  // Under the row total: the sum of the page's row totals, 1 + 1.25 + 2 + 2.25.
  EXPECT_THAT(body, HasSubstr("<td class=col_footer>3</td><td class=col_footer>3.5</td>"
                              "<td class=col_footer>&nbsp;</td><td class=col_footer>6.5</td>"
                              "</tr>"));
}

TEST(SummariesPageTest, APageWithoutRowsHasEmptyAverages) {
  const std::string body = Show(kLines, [](DataGrid& grid) {
    grid.ShowColumnAverage(true);
    grid.ShowColumnTotal(true);
    grid.StartRec(100);
  });
  EXPECT_THAT(body, HasSubstr("Average</td><td class=col_footer></td><td class=col_footer></td>"
                              "<td class=col_footer></td><td class=col_footer></td></tr>"));
  EXPECT_THAT(body, HasSubstr("Total</td><td class=col_footer></td><td class=col_footer></td>"
                              "<td class=col_footer>0</td><td class=col_footer>0</td></tr>"));
  EXPECT_THAT(body, Not(HasSubstr("NaN")));
}

TEST(SummariesPageTest, SummaryBlockAggregatesTheWholeStatement) {
  GridRequest request;
  // The sort order of the page makes the statement end in " ORDER BY 2", which the aggregates
  // leave out (SQLite rejects that ORDER BY on a one-column result).
  request.Form("pagesize", "10").Form("start", "1").Form("sort", "2");
  const std::string body = Show(request, kLines + " WHERE id <= 20", [](DataGrid& grid) {
    grid.SummaryText(
        "qty__SUM__, price__AVG__Mean price,id__COUNT__Lines,name__MIN__,NAME__max__,"
        "missing__SUM__,qty__IN__,qty__X_AVG__,qty) FROM lines; --__SUM__");
  });
  // Unknown fields and functions are skipped; MIN and MAX of a text stay text, escaped.
  EXPECT_THAT(body, HasSubstr("<table cellpadding=4 width=\"100%\"><tr><td><b>Summary:</b><br>"
                              "SUM qty <i>210</i><br>Mean price <i>10.75</i><br>"
                              "Lines <i>20</i><br>MIN name <i>&lt;b&gt;Item 3&lt;/b&gt;</i><br>"
                              "max NAME <i>Item 9</i><br></td></tr></table></form>"));
}

TEST(SummariesPageTest, SummaryValuesTakeTheFieldsNumberFormat) {
  const std::string body = Show(kLines + " WHERE id <= 20", [](DataGrid& grid) {
    grid.NumberColumn("lines.qty", 1);
    grid.CurrencyColumn("lines.price", 2);
    grid.SummaryText("lines.qty__SUM__Quantity,price__AVG__Mean price,price__MAX__");
  });
  EXPECT_THAT(body, HasSubstr("<br>Quantity <i>210.0</i><br>Mean price <i>$10.75</i><br>"
                              "MAX price <i>$20.25</i><br></td>"));
}

TEST(SummariesPageTest, SummaryBlockNeedsThreeCharacters) {
  const std::string body = Show(kLines, [](DataGrid& grid) { grid.SummaryText("ab"); });
  EXPECT_THAT(body, Not(HasSubstr("Summary:")));
}

}  // namespace
}  // namespace quenmark
