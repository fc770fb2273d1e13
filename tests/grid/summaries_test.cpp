// Summary item lists, aggregate statements and the row and column summary markup.

#include "grid/summaries.h"

#include <gtest/gtest.h>

#include "quenmark/shared_procedures.h"
#include "quenmark/variant.h"

namespace quenmark {
namespace {

struct ItemsCase {
  std::string items_text;
  std::vector<std::string> items;  // field|function|label
};

class SummaryItemsTest : public ::testing::TestWithParam<ItemsCase> {};

TEST_P(SummaryItemsTest, KeepsWholeAggregateNamesOnly) {
  std::vector<std::string> got;
  for (const SummaryItem& item : ParseSummaryItems(GetParam().items_text)) {
    got.push_back(item.field + "|" + item.function + "|" + item.label);
  }
  EXPECT_EQ(got, GetParam().items);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SummaryItemsTest,
    ::testing::Values(
        ItemsCase{"Qty__SUM__", {"Qty|SUM|SUM Qty"}}, ItemsCase{"Qty__sum__", {"Qty|SUM|sum Qty"}},
        ItemsCase{" t.Price__AVG__Mean price , Qty__COUNT__Lines",
                 {"t.Price|AVG|Mean price", "Qty|COUNT|Lines"}},
        // Parts of aggregate names, unknown names and items without a field are dropped.
        ItemsCase{"Qty__IN__x,Qty__X_AVG__y,Qty__MEDIAN__z,__SUM__w,Qty", {}},
        ItemsCase{"a__MIN__,b__MAX__,c__VAR__,d__STDEV__",
                 {"a|MIN|MIN a", "b|MAX|MAX b", "c|VAR|VAR c", "d|STDEV|STDEV d"}},
        ItemsCase{",,", {}}, ItemsCase{"", {}}));

struct StatementCase {
  std::string command;
  std::string expected;
};

class AggregateStatementTest : public ::testing::TestWithParam<StatementCase> {};

TEST_P(AggregateStatementTest, CutsAtFromAndOrderBy) {
  EXPECT_EQ(AggregateStatement(GetParam().command, "SUM", "[Qty]"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AggregateStatementTest,
    ::testing::Values(StatementCase{"SELECT a, Qty FROM t WHERE Qty > 1 ORDER BY 2",
                                    "SELECT SUM([Qty]) FROM t WHERE Qty > 1"},
                      StatementCase{"select a from t order  by a desc", "SELECT SUM([Qty]) from t"},
                      StatementCase{"SELECT a FROM t", "SELECT SUM([Qty]) FROM t"},
                      // Names and quoted texts that merely contain the keywords are not keywords.
                      StatementCase{
                          "SELECT FromDate, [Order By] FROM t WHERE n = 'x FROM y ORDER BY z' "
                          "ORDER BY 1",
                          "SELECT SUM([Qty]) FROM t WHERE n = 'x FROM y ORDER BY z'"},
                      StatementCase{"SELECT OrderDate, Orderly FROM t ORDER BY OrderDate",
                                    "SELECT SUM([Qty]) FROM t"},
                      // Subqueries keep their own FROM and ORDER BY.
        StatementCase{"SELECT (SELECT MAX(x) FROM u) AS m, Qty FROM (SELECT * FROM t ORDER BY a) "
                      "AS s ORDER BY 1",
                      "SELECT SUM([Qty]) FROM (SELECT * FROM t ORDER BY a) AS s"},
        StatementCase{"EXEC SalesByYear", ""}));

struct FormatCase {
  std::string entry;
  std::string plain;
  std::string expected;
};

class SummaryNumberTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(SummaryNumberTest, UsesTheNumberFormat) {
  EXPECT_EQ(FormatSummaryNumber(GetParam().entry, GetParam().plain), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, SummaryNumberTest,
                         ::testing::Values(FormatCase{"", "1234.5", "1234.5"},
                                           FormatCase{"12", "1234.5", "1,234.50"},
                                           FormatCase{"30", "-1234.5", "($1,235)"},
                                           FormatCase{"21", "0.125", "12.5%"},
                                           FormatCase{"9", "7", "7"}));

std::vector<ColumnDescriptor> Columns() {
  return {{"Name", "t", "Name", FieldText},    {"Qty", "t", "Qty", FieldNumber},
          {"Day", "t", "Day", FieldDate},      {"Isbn", "t", "Isbn", FieldText},
          {"Price", "t", "Price", FieldMoney}, {"SUM_1", "", "SUM_1", FieldNumber}};
}

std::string Format(size_t column) { return column == 4 ? "31" : column == 5 ? "12" : ""; }

std::string Page(const SummarySwitches& switches, const std::vector<std::vector<Variant>>& rows,
                 std::vector<size_t> visible = {0, 1, 2, 3, 4}) {
  const std::vector<ColumnDescriptor> columns = Columns();
  const NumberFormatOf format = Format;
  PageSummaries summaries(switches, columns, visible, format);
  std::string out;
  summaries.AppendHeaderCells(out, " class=\"h\"", "");
  out += '|';
  for (const auto& row : rows) {
    summaries.AddRow(out, [&](size_t c) -> const Variant& { return row[c]; });
    out += '|';
  }
  summaries.AppendFooterRows(out, true, "", " style=\"s\"");
  return out;
}

const std::vector<std::vector<Variant>> kRows = {
    {Variant(int64_t{7}), Variant(int64_t{2}), Variant("2004-03-01"), Variant("978-3"),
     Variant(1.5), Variant(int64_t{100})},
    {Variant("x"), Variant(0.25), Variant::Null(), Variant("1"), Variant(Variant::Null()),
     Variant(int64_t{100})},
};

TEST(PageSummariesTest, RowCellsAddOnlyNumberAndMoneyColumnsAfterTheFirst) {
  SummarySwitches switches;
  switches.row_total = switches.row_average = true;
  // Qty and Price are added (date, ISBN text and the first column are not); the format is the
  // one of SUM_1, the first aggregate column with a number format.
  EXPECT_EQ(Page(switches, kRows),
            "<th><span class=\"h\">Average</span></th><th><span class=\"h\">Total</span></th>|"
            "<td class=row_footer>1.75</td><td class=row_footer>3.50</td>|"
            "<td class=row_footer>0.12</td><td class=row_footer>0.25</td>|");
}

TEST(PageSummariesTest, FooterLinesOverThePageRows) {
  SummarySwitches switches;
  switches.column_total = switches.column_average = switches.row_total = true;
  const std::string out = Page(switches, kRows, {0, 1, 2, 4});
  EXPECT_NE(out.find("<tr  style=\"s\"><td colspan=2 class=col_footerLabel>Average</td>"
                     "<td class=col_footer>1.12</td><td class=col_footer></td>"
                     "<td class=col_footer>$0.8</td><td class=col_footer>&nbsp;</td></tr>"
                     "<tr  style=\"s\"><td colspan=2 class=col_footerLabel>Total</td>"
                     "<td class=col_footer>2.25</td><td class=col_footer></td>"
                     "<td class=col_footer>$1.5</td><td class=col_footer>3.75</td></tr>"),
            std::string::npos)
      << out;
}

TEST(PageSummariesTest, NothingToAverageLeavesTheCellEmpty) {
  SummarySwitches switches;
  switches.row_average = switches.column_average = switches.column_total = true;
  // No rows on the page: empty averages, zero totals.
  EXPECT_EQ(Page(switches, {}, {0, 1}),
            "<th><span class=\"h\">Average</span></th>|"
            "<tr  style=\"s\"><td colspan=2 class=col_footerLabel>Average</td>"
            "<td class=col_footer></td><td class=col_footer>&nbsp;</td></tr>"
            "<tr  style=\"s\"><td colspan=2 class=col_footerLabel>Total</td>"
            "<td class=col_footer>0</td><td class=col_footer>&nbsp;</td></tr>");
  // No number column after the first: the row average is empty.
  EXPECT_NE(Page(switches, {kRows[0]}, {0, 2}).find("|<td class=row_footer></td>|"),
            std::string::npos);
}

}  // namespace
}  // namespace quenmark
