// The SQL of a report definition: exact statements per database kind, and the statements run on
// SQLite (and PostgreSQL when the test databases are up).

#include "reports/report_sql.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "quenmark/database.h"
#include "quenmark/shared_procedures.h"
#include "support/fixture_db.h"

namespace {

using namespace quenmark::reports;
using quenmark::Connection;
using quenmark::QuoteName;

const std::string kSchema =
    "products.productname~c~f~t200~,products.unitprice~c~f~t131~,products.categoryid~c~f~t131~,"
    "categories.categoryname~c~f~t200~,categories.categoryid~c~f~t131~,"
    "orders.orderdate~c~f~t7~,products.discontinued~c~f~t11~,orders.freight~c~f~t6~";

ReportDefinition Definition(int16_t kind, std::string tables, std::string fields) {
  ReportDefinition d;
  d.dbt = kind;
  d.tables = std::move(tables);
  d.fields = std::move(fields);
  d.schema = kSchema;
  return d;
}

TEST(ReportSql, SelectStatements) {
  struct Case {
    const char* name;
    ReportDefinition definition;
    const char* expected;
  };
  ReportDefinition plain = Definition(9, "products", "products.productname,products.unitprice");

  ReportDefinition distinct = plain;
  distinct.distinct = 1;

  ReportDefinition joined =
      Definition(10, "products,categories", "products.productname,categories.categoryname");
  joined.relations = "\"products\".\"categoryid\"=\"categories\".\"categoryid\"";
  joined.filters = ",products.unitprice__8__5,categories.categoryname__1__Sea";
  joined.join = 2;

  ReportDefinition relations_only = joined;
  relations_only.filters = "";

  ReportDefinition grouped =
      Definition(9, "products,categories", "categories.categoryname,products.unitprice");
  grouped.relations = "[products].[categoryid]=[categories].[categoryid]";
  grouped.grpby = 1;
  grouped.count = 1;
  grouped.sum = "products.unitprice";

  ReportDefinition all_aggregated = Definition(2, "products", "products.unitprice");
  all_aggregated.grpby = 1;
  all_aggregated.avg = "products.unitprice";
  all_aggregated.max = "products.categoryid, products.unitprice";

  ReportDefinition deviation = Definition(10, "products", "products.unitprice");
  deviation.grpby = 1;
  deviation.stdev = "products.unitprice";
  deviation.var = "products.unitprice";

  const Case cases[] = {
      {"plain", plain, "SELECT [products].[productname],[products].[unitprice] FROM [products]"},
      {"distinct", distinct,
       "SELECT  DISTINCT [products].[productname],[products].[unitprice] FROM [products]"},
      {"OR filters inside parentheses, relations after", joined,
       "SELECT \"products\".\"productname\",\"categories\".\"categoryname\" FROM "
       "\"products\",\"categories\" WHERE ( (\"products\".\"unitprice\"=5 OR "
       "\"products\".\"unitprice\">5)  OR \"categories\".\"categoryname\" LIKE '%Sea%') AND "
       "\"products\".\"categoryid\"=\"categories\".\"categoryid\""},
      {"relations only", relations_only,
       "SELECT \"products\".\"productname\",\"categories\".\"categoryname\" FROM "
       "\"products\",\"categories\" WHERE "
       "\"products\".\"categoryid\"=\"categories\".\"categoryid\""},
      {"grouped with COUNT_1 and SUM_1", grouped,
       "SELECT [categories].[categoryname],COUNT(*) AS COUNT_1,SUM([products].[unitprice]) AS "
       "SUM_1 FROM [products],[categories] WHERE [products].[categoryid]=[categories].[categoryid]"
       " GROUP BY [categories].[categoryname]"},
      {"every field aggregated: no GROUP BY", all_aggregated,
       "SELECT AVG([products].[unitprice]) AS AVG_1,MAX([products].[categoryid]) AS MAX_1,"
       "MAX([products].[unitprice]) AS MAX_2 FROM [products]"},
      {"PostgreSQL deviation and variance", deviation,
       "SELECT STDDEV_SAMP(\"products\".\"unitprice\") AS STDEV_1,"
       "VAR_SAMP(\"products\".\"unitprice\") AS VAR_1 FROM \"products\""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BuildSelectStatement(c.definition), c.expected) << c.name;
  }
}

TEST(ReportSql, FilterTerms) {
  struct Case {
    int16_t kind;
    const char* filter;
    const char* expected;
  };
  const Case cases[] = {
      {9, "products.productname__1__Chai", "[products].[productname] LIKE '%Chai%'"},
      {9, "products.productname__1__O'Brien", "[products].[productname] LIKE '%O''Brien%'"},
      {9, "products.productname__2__O'Brien", "[products].[productname]='O''Brien'"},
      {9, "products.productname__5__Ch", "[products].[productname] LIKE 'Ch%'"},
      {9, "products.productname__6__ai", "[products].[productname] LIKE '%ai'"},
      {9, "products.productname__7__x", "[products].[productname] NOT LIKE '%x%'"},
      {9, "products.unitprice__2__abc", "[products].[unitprice]=0"},
      {9, "products.unitprice__2__1; DROP TABLE x", "[products].[unitprice]=0"},
      {9, "products.unitprice__3__ 12.50 ", "[products].[unitprice]<12.5"},
      {9, "products.unitprice__4__?min", "[products].[unitprice]>?min"},
      {9, "products.unitprice__9__5", " ([products].[unitprice]=5 OR [products].[unitprice]<5) "},
      {1, "orders.orderdate__2__2004-03-01", "[orders].[orderdate]=#3/1/2004#"},
      {2, "orders.orderdate__2__2004-03-01", "[orders].[orderdate]='3/1/2004'"},
      {9, "orders.orderdate__2__1-Mar-2004", "[orders].[orderdate]='2004-03-01'"},
      {10, "orders.orderdate__2__3/1/2004", "\"orders\".\"orderdate\"='2004-03-01'"},
      {1, "products.productname__10__",
       "( IsNull([products].[productname]) OR "
       "[products].[productname]='')"},
      {2, "products.productname__11__",
       "( [products].[productname] IS NOT NULL AND "
       "[products].[productname]<>'')"},
      {1, "products.productname__12__", "IsNull([products].[productname])"},
      {2, "products.productname__12__", "[products].[productname] IS NULL"},
      {1, "products.productname__13__", "Not IsNull([products].[productname])"},
      {9, "products.unitprice__14__",
       "[products].[unitprice] IN (SELECT MAX([products].[unitprice]) FROM [products])"},
      {10, "products.unitprice__15__",
       "\"products\".\"unitprice\" IN (SELECT MIN(\"products\".\"unitprice\") FROM "
       "\"products\")"},
      {9, "products.unitprice__16__5", ""},
      {9, "products.unitprice__2", ""},
      {9, "products.discontinued__2__1", "[products].[discontinued]=1"},
      {10, "orders.freight__4__12", "\"orders\".\"freight\">'12'"},
      {9, "orders.freight__4__12", "[orders].[freight]>12"},
      {10, "categories.categoryid__2__x", "\"categories\".\"categoryid\"=0"},
  };
  for (const Case& c : cases) {
    ReportDefinition d = Definition(c.kind, "products", "products.productname");
    d.filters = c.filter;
    EXPECT_EQ(BuildFilterCondition(d), c.expected) << c.filter;
  }
}

TEST(ReportSql, ProcedureCalls) {
  ReportDefinition d;
  d.isproc = 1;
  d.tables = "top products";
  d.params = "n|10|131,since|2004-01-01|7,name|O'Brien|200,broken|1";
  struct Case {
    ProcedureCallForm form;
    int16_t kind;
    const char* expected;
  };
  const Case cases[] = {
      {ProcedureCallForm::kStored, 2,
       "[top products]|=|@n=10|||@since='1/1/2004'|||@name='O''Brien'"},
      {ProcedureCallForm::kCall, 9, "[top products] @n=10,@since='2004-01-01',@name='O''Brien'"},
      {ProcedureCallForm::kCall, 10, "\"top products\" @n=10,@since='2004-01-01',@name='O''Brien'"},
      {ProcedureCallForm::kCall, 6, "`top products` @n=10,@since='1/1/2004',@name='O''Brien'"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BuildProcedureCall(d, c.form, c.kind), c.expected) << c.kind;
  }
  // The probe form takes every value as empty: numbers become 0, dates today.
  std::string probe = BuildProcedureCall(d, ProcedureCallForm::kProbe, 2);
  EXPECT_EQ(probe.substr(0, 22), "[top products] @n=0,@s");
  EXPECT_EQ(probe.substr(probe.size() - 8), "@name=''");
  d.params = "";
  EXPECT_EQ(BuildReportQuery(d, 2), "[top products]|=|");
  EXPECT_EQ(StructureProbe("order details", 10), "SELECT * FROM \"order details\" WHERE 1=0");
}

// The statements run on real databases and return what their filters ask for.
class ReportSqlOnDatabase : public ::testing::TestWithParam<int16_t> {
 protected:
  std::unique_ptr<Connection> Open() {
    if (GetParam() == quenmark::DbSqlite) {
      auto opened = Connection::Open(quenmark::fixture::FixtureConnectionString());
      EXPECT_TRUE(opened.ok()) << opened.Description();
      return opened.ok() ? std::move(*opened) : nullptr;
    }
    const char* url = std::getenv("QUENMARK_TEST_PG");
    if (url == nullptr) return nullptr;
    auto opened = Connection::Open(url);
    EXPECT_TRUE(opened.ok()) << opened.Description();
    if (!opened.ok()) return nullptr;
    EXPECT_TRUE(quenmark::fixture::LoadFixtureIntoPostgres(**opened).ok());
    return std::move(*opened);
  }

  // Number of rows the statement returns, or -1 on failure.
  int Rows(Connection& connection, const std::string& sql) {
    auto rs = connection.Execute(sql);
    EXPECT_TRUE(rs.ok()) << sql << "\n" << rs.Description();
    if (!rs.ok()) return -1;
    int n = 0;
    for (; !(*rs)->Eof(); (*rs)->MoveNext()) ++n;
    return n;
  }
};

TEST_P(ReportSqlOnDatabase, StatementsRun) {
  std::unique_ptr<Connection> connection = Open();
  if (!connection) GTEST_SKIP() << "QUENMARK_TEST_PG is not set";
  const int16_t kind = GetParam();
  // unitprice is a money column in both stores.
  const std::string money_schema = SetSchemaAttribute(kSchema, "products.unitprice", 't', "6");

  ReportDefinition joined =
      Definition(kind, "products,categories", "products.productname,categories.categoryname");
  joined.relations =
      QuoteName(kind, "products.categoryid") + "=" + QuoteName(kind, "categories.categoryid");
  const int all = Rows(*connection, BuildSelectStatement(joined));
  EXPECT_GT(all, 10);

  joined.filters = ",categories.categoryname__2__Seafood,products.productname__1__'";
  EXPECT_LT(Rows(*connection, BuildSelectStatement(joined)), all);
  joined.join = 2;
  EXPECT_GT(Rows(*connection, BuildSelectStatement(joined)), 0);

  ReportDefinition grouped =
      Definition(kind, "products,categories", "categories.categoryname,products.unitprice");
  grouped.relations = joined.relations;
  grouped.schema = money_schema;
  grouped.grpby = 1;
  grouped.count = 1;
  grouped.sum = "products.unitprice";
  grouped.max = "products.unitprice";
  grouped.filters = "products.unitprice__8__10,products.unitprice__14__";
  grouped.join = 2;
  const std::string sql = BuildSelectStatement(grouped);
  const int groups = Rows(*connection, sql);
  EXPECT_GT(groups, 1) << sql;
  EXPECT_LE(groups, 8) << sql;

  ReportDefinition max_only = Definition(kind, "products", "products.productname");
  max_only.filters = "products.unitprice__14__";
  EXPECT_EQ(Rows(*connection, BuildSelectStatement(max_only)), 1);
}

INSTANTIATE_TEST_SUITE_P(Kinds, ReportSqlOnDatabase,
                         ::testing::Values(quenmark::DbSqlite, quenmark::DbPostgres),
                         [](const auto& info) {
                           return info.param == quenmark::DbSqlite ? "SQLite" : "PostgreSQL";
                         });

}  // namespace
