// Filter texts grown from posted searches, statements, and procedure calls.

#include "grid/query_composer.h"

#include <gtest/gtest.h>

#include "quenmark/shared_procedures.h"

namespace quenmark {
namespace {

struct FilterCase {
  int16_t kind;
  std::string before;
  std::string field, condition, value;
  std::string after;
};

class ExtendFilterTest : public ::testing::TestWithParam<FilterCase> {};

TEST_P(ExtendFilterTest, AppendsTheCondition) {
  const FilterCase& c = GetParam();
  std::string filter = c.before;
  ExtendFilterText(filter, c.kind, c.field, c.condition, c.value);
  EXPECT_EQ(filter, c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Searches, ExtendFilterTest,
    ::testing::Values(
        // Each operator with text, number and date values.
        FilterCase{DbAccess, "", "Name", " LIKE '%v%'", "smi", "[Name] LIKE '%smi%'"},
        FilterCase{DbAccess, "[Name] LIKE '%smi%'", "Qty", " > ", "5",
                   "[Name] LIKE '%smi%' AND [Qty]  >  5"},
        FilterCase{DbSqlServer, "", "Qty", " < ", "2.5", "[Qty]  <  2.5"},
        FilterCase{DbSqlServer, "", "City", "=", "Bern", "[City] = 'Bern'"},
        FilterCase{DbSqlServer, "", "City", "<>", "Bern", "[City] <> 'Bern'"},
        FilterCase{DbAccess, "", "Born", "=", "1/2/2004", "[Born] = #1/2/2004#"},
        FilterCase{DbSqlServer, "", "Born", "=", "1/2/2004", "[Born] = '1/2/2004'"},
        FilterCase{DbUnknown, "", "Born", " > ", "2004-01-02", "Born  >  '2004-01-02'"},
        // Quoting per kind: backticks for MySQL, brackets where the kind's own quotes would read
        // as a value, bare names otherwise; embedded closing delimiters doubled.
        FilterCase{DbMySql, "", "Name", "=", "x", "`Name` = 'x'"},
        FilterCase{DbPostgres, "", "Name", "=", "x", "[Name] = 'x'"},
        FilterCase{DbUnknown, "", "Unit Price", " > ", "5", "[Unit Price]  >  5"},
        FilterCase{DbAccess, "", "a]b", "=", "1", "[a]]b] = 1"},
        FilterCase{DbSqlServer, "", "o.Name", "=", "x", "[o].[Name] = 'x'"},
        // Apostrophes are doubled, inside LIKE patterns too.
        FilterCase{DbAccess, "", "Name", "=", "O'Brien", "[Name] = 'O''Brien'"},
        FilterCase{DbAccess, "", "Name", " LIKE '%v%'", "O'B", "[Name] LIKE '%O''B%'"},
        // Every condition after the first is joined, however short the filter before it.
        FilterCase{DbUnknown, "id=1", "Name", "=", "x", "id=1 AND Name = 'x'"},
        // A missing field or operator adds nothing.
        FilterCase{DbAccess, "[a] = 1", "", "=", "x", "[a] = 1"},
        FilterCase{DbAccess, "[a] = 1", "Name", "", "x", "[a] = 1"}));

TEST(QueryComposerTest, Statements) {
  EXPECT_EQ(OrderedStatement("select a,b from t", "2 desc"), "select a,b from t ORDER BY 2 desc");
  EXPECT_EQ(OrderedStatement("select a from t", " "), "select a from t");
  EXPECT_EQ(TopStatement("select a from t", 100), "SELECT TOP 100 a from t");
  EXPECT_EQ(TopStatement("exec p", 100), "exec p");
}

TEST(QueryComposerTest, PagingInTheDatabase) {
  for (const char* yes : {"SELECT a FROM t", " with x AS (SELECT 1 AS a) SELECT a FROM x ",
                          "select a from t where note = 'limited'"}) {
    EXPECT_TRUE(CanPageInDatabase(yes)) << yes;
  }
  for (const char* no : {"SELECT a FROM t LIMIT 5", "select a from t offset 2",
                         "SELECT a FROM t FETCH FIRST 2 ROWS ONLY", "SELECT a FROM t; SELECT 1",
                         "SELECT a FROM t -- note", "SELECT /* x */ a FROM t", "PRAGMA table_info(t)",
                         "select a from t where b = 'no limit'"}) {
    EXPECT_FALSE(CanPageInDatabase(no)) << no;
  }
  EXPECT_EQ(CountStatement(" SELECT a FROM t "), "SELECT COUNT(*) FROM (SELECT a FROM t) AS quenmark_rows");
  EXPECT_EQ(PageStatement("SELECT a FROM t ORDER BY 1", 10, 20),
            "SELECT a FROM t ORDER BY 1 LIMIT 10 OFFSET 20");
}

TEST(QueryComposerTest, Procedures) {
  EXPECT_EQ(BareProcedureName(" [Sales By Year] "), "Sales By Year");
  EXPECT_EQ(BareProcedureName("`p`"), "p");
  EXPECT_EQ(BareProcedureName("[p"), "[p");

  const Command call = ProcedureCommand("p", "from |=|2003-01-01|||to|=|x'); drop table t; --||||||");
  ASSERT_EQ(call.Parameters().size(), 2u);
  EXPECT_EQ(call.Parameters()[0].name, "from");
  EXPECT_EQ(call.Parameters()[0].value.ToText(), "2003-01-01");
  EXPECT_EQ(call.Parameters()[1].value.ToText(), "x'); drop table t; --");

  std::vector<FieldInfo> fields(2);
  fields[0].name = "Year";
  fields[1].name = "Total";
  EXPECT_EQ(ProcedureSortText("2 desc,1", fields), "Total desc,Year");
  EXPECT_EQ(ProcedureSortText("", fields), "");
  EXPECT_EQ(ProcedureSortText("3,1", fields), "Year");
}

}  // namespace
}  // namespace quenmark
