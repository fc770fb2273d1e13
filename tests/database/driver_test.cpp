// One behavioural suite run against every driver: SQLite always; PostgreSQL and ODBC when the
// test script exported QUENMARK_TEST_PG, QUENMARK_TEST_ODBC_PG and QUENMARK_TEST_ODBC_SQLITE.
// Every driver reads the same fixture (the demo store; PostgreSQL gets a copy with lower-case
// names, so the SQL below uses unquoted identifiers).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ostream>

#include "frame/text_util.h"
#include "quenmark/database.h"
#include "quenmark/shared_procedures.h"
#include "support/fixture_db.h"

namespace quenmark {
namespace {

struct Driver {
  const char* name;
  const char* variable;  // environment variable with the connection string; null: SQLite
  bool procedures;       // the database has the fixture's stored functions
  bool postgres;         // the database is the PostgreSQL copy of the fixture
};

// Test output names the driver instead of dumping the struct's bytes.
void PrintTo(const Driver& driver, std::ostream* out) { *out << driver.name; }

const Driver kDrivers[] = {
    {"SQLite", nullptr, false, false},
    {"PostgreSQL", "QUENMARK_TEST_PG", true, true},
    {"OdbcSQLite", "QUENMARK_TEST_ODBC_SQLITE", false, false},
    {"OdbcPostgreSQL", "QUENMARK_TEST_ODBC_PG", true, true},
};

class DriverTest : public ::testing::TestWithParam<Driver> {
 protected:
  void SetUp() override {
    const Driver& d = GetParam();
    const std::string text = fixture::DriverConnectionString(d.variable, d.postgres);
    if (text.empty()) GTEST_SKIP() << d.variable << " is not set";
    if (d.postgres) LoadPostgresFixture();
    auto opened = Connection::Open(text);
    ASSERT_TRUE(opened.ok()) << opened.Description();
    connection_ = std::move(*opened);
    EXPECT_EQ(connection_->ConnectionString(), text);
  }

  static void LoadPostgresFixture() {
    static bool loaded = false;
    if (loaded) return;
    auto server = Connection::Open(std::getenv("QUENMARK_TEST_PG"));
    ASSERT_TRUE(server.ok()) << server.Description();
    Status s = fixture::LoadFixtureIntoPostgres(**server);
    ASSERT_TRUE(s.ok()) << s.Description();
    loaded = true;
  }

  std::unique_ptr<Recordset> Run(const std::string& sql, int64_t max_records = 0) {
    auto rs = connection_->Execute(sql, max_records);
    EXPECT_TRUE(rs.ok()) << sql << ": " << rs.Description();
    return rs.ok() ? std::move(*rs) : nullptr;
  }

  int64_t Count(const std::string& sql) {
    auto rs = Run(sql);
    return rs && !rs->Eof() ? rs->Value(0).ToInt64() : -1;
  }

  std::unique_ptr<Connection> connection_;
};

TEST_P(DriverTest, TypeCodesCategoriesSizesAndBaseTables) {
  auto rs = Run(
      "SELECT productid, productname, unitprice, unitsinstock, discontinued FROM products "
      "WHERE productid = 1");
  ASSERT_TRUE(rs);
  struct Expect {
    const char* name;
    int16_t category;
    int64_t size;  // 0: not checked
  };
  const Expect expected[] = {{"productid", FieldNumber, 4},
                             {"productname", FieldText, 40},
                             {"unitprice", FieldMoney, 0},
                             {"unitsinstock", FieldNumber, 2},
                             {"discontinued", FieldBoolean, 0}};
  ASSERT_EQ(rs->FieldCount(), 5);
  for (int i = 0; i < 5; ++i) {
    const FieldInfo& f = rs->Field(i);
    EXPECT_EQ(ToLowerAscii(f.name), expected[i].name);
    EXPECT_EQ(ClassifyFieldType(f.type), expected[i].category) << f.name << " type " << f.type;
    if (expected[i].size) {
      EXPECT_EQ(f.defined_size, expected[i].size) << f.name;
    }
    EXPECT_EQ(ToLowerAscii(f.base_table), "products") << f.name;
  }
  EXPECT_EQ(rs->Field(0).type, adtype::kInteger);
  EXPECT_EQ(rs->Field(1).type, adtype::kVarWChar);
  EXPECT_EQ(rs->Field(4).type, adtype::kBoolean);
  EXPECT_EQ(rs->Value(4).kind(), Variant::Kind::kBoolean);
  EXPECT_EQ(rs->ActualSize(1), static_cast<int64_t>(rs->Value(1).ToText().size()));

  auto dates = Run("SELECT orderdate, COUNT(*) AS n FROM orders GROUP BY orderdate ORDER BY orderdate");
  ASSERT_TRUE(dates);
  EXPECT_EQ(dates->Field(0).type, adtype::kDbTimeStamp);
  EXPECT_EQ(ClassifyFieldType(dates->Field(0).type), FieldDate);
  EXPECT_EQ(ToLowerAscii(dates->Field(0).base_table), "orders");
  EXPECT_EQ(dates->Field(1).base_table, "");
  EXPECT_EQ(ClassifyFieldType(dates->Field(1).type), FieldNumber);
  ASSERT_FALSE(dates->Eof());
  EXPECT_EQ(dates->Value(0).kind(), Variant::Kind::kDate);
  EXPECT_EQ(dates->Value(0).AsDate(), (DateTime{2003, 7, 1, 0, 0, 0}));
}

TEST_P(DriverTest, BinaryPhotosAndNulls) {
  auto rs = Run("SELECT employeeid, photo, reportsto FROM employees ORDER BY employeeid");
  ASSERT_TRUE(rs);
  EXPECT_EQ(ClassifyFieldType(rs->Field(1).type), FieldBinary);
  ASSERT_FALSE(rs->Eof());
  const Variant& photo = rs->Value(1);
  ASSERT_EQ(photo.kind(), Variant::Kind::kBytes);
  EXPECT_EQ(rs->ActualSize(1), 78 + 54 + 16 * 16 * 3);
  EXPECT_EQ(photo.AsBytes().data.substr(78, 2), "BM");
  EXPECT_TRUE(rs->Value(2).IsNull());  // the managing director reports to no one
  rs->MoveNext();
  EXPECT_EQ(rs->Value(2).ToInt32(), 1);

  EXPECT_GT(Count("SELECT COUNT(*) FROM customers WHERE region IS NULL"), 0);
  auto regions = Run("SELECT customerid, region FROM customers ORDER BY customerid");
  ASSERT_TRUE(regions);
  ASSERT_TRUE(regions->Filter("region = NULL").ok());
  EXPECT_EQ(static_cast<int64_t>(regions->GetRows()[0].size()),
            Count("SELECT COUNT(*) FROM customers WHERE region IS NULL"));
}

TEST_P(DriverTest, NonAsciiTextSurvivesEveryDriver) {
  auto rs = Run("SELECT customerid, city FROM customers");
  ASSERT_TRUE(rs);
  ASSERT_TRUE(rs->Filter("city = 'MÜNCHEN' OR city LIKE '*ÅRHUS*' OR city = 'são paulo'").ok());
  auto rows = rs->GetRows();
  EXPECT_EQ(static_cast<int64_t>(rows[0].size()),
            Count("SELECT COUNT(*) FROM customers WHERE city IN ('München', 'Århus', 'São Paulo')"));
  EXPECT_GT(rows[0].size(), 0u);
}

TEST_P(DriverTest, GetRowsShapeAndMaxRecords) {
  auto rs = Run("SELECT categoryid, categoryname FROM categories ORDER BY categoryid");
  ASSERT_TRUE(rs);
  auto rows = rs->GetRows();
  ASSERT_EQ(rows.size(), 2u);
  ASSERT_EQ(rows[0].size(), 8u);
  EXPECT_EQ(rows[0][7].ToInt32(), 8);
  EXPECT_EQ(rows[1][0].ToText(), "Beverages");
  EXPECT_TRUE(rs->Eof());

  auto limited = Run("SELECT orderid FROM orders ORDER BY orderid", 5);
  ASSERT_TRUE(limited);
  auto ids = limited->GetRows();
  ASSERT_EQ(ids[0].size(), 5u);
  EXPECT_EQ(ids[0][4].ToInt32(), 1005);
}

TEST_P(DriverTest, ClientSideSortAndFilterMatchTheDatabase) {
  auto rs = Run("SELECT productid, productname, unitprice, categoryid FROM products");
  ASSERT_TRUE(rs);
  ASSERT_TRUE(rs->Sort("unitprice desc, productname").ok());
  auto sorted = rs->GetRows();
  ASSERT_EQ(static_cast<int64_t>(sorted[0].size()), Count("SELECT COUNT(*) FROM products"));
  for (size_t i = 1; i < sorted[2].size(); ++i) {
    EXPECT_GE(sorted[2][i - 1].ToReal(), sorted[2][i].ToReal()) << i;
  }

  // The filter against the same condition evaluated here over every row.
  ASSERT_TRUE(rs->Sort("").ok());
  ASSERT_TRUE(rs->Filter("").ok());
  auto all = rs->GetRows();
  size_t expected = 0;
  for (size_t i = 0; i < all[0].size(); ++i) {
    if ((all[2][i].ToReal() > 100 && all[3][i].ToInt32() <= 4) || all[0][i].ToInt32() == 1) ++expected;
  }
  ASSERT_TRUE(rs->Filter("[products].[unitprice] > 100 AND categoryid <= 4 OR productid = 1").ok());
  EXPECT_EQ(rs->GetRows()[0].size(), expected);
  EXPECT_GT(expected, 1u);

  Status bad = rs->Filter("unitprice > 'cheap'");
  ASSERT_FALSE(bad.ok());
  EXPECT_NE(bad.Description().find("is not a number"), std::string::npos) << bad.Description();
  Status unknown = rs->Filter("[Nope] = 1");
  EXPECT_FALSE(unknown.ok());
}

TEST_P(DriverTest, CatalogueListsTablesViewsAndProcedures) {
  auto tables = connection_->Tables();
  ASSERT_TRUE(tables.ok()) << tables.Description();
  auto find = [](const std::vector<CatalogEntry>& list, const std::string& name) {
    auto it = std::find_if(list.begin(), list.end(), [&](const CatalogEntry& e) { return ToLowerAscii(e.name) == name; });
    return it == list.end() ? std::string("(missing)") : it->type;
  };
  for (const char* table : {"categories", "customers", "employees", "orderdetails", "orders",
                            "products", "shippers", "suppliers"}) {
    EXPECT_EQ(find(*tables, table), "TABLE") << table;
  }
  EXPECT_EQ(find(*tables, "productlist"), "VIEW");
  auto views = connection_->Views();
  ASSERT_TRUE(views.ok()) << views.Description();
  EXPECT_EQ(views->size(), 3u);
  EXPECT_EQ(find(*views, "salesbycategory"), "VIEW");

  auto procedures = connection_->Procedures();
  ASSERT_TRUE(procedures.ok()) << procedures.Description();
  if (!GetParam().procedures) {
    EXPECT_TRUE(procedures->empty());
    return;
  }
  EXPECT_EQ(find(*procedures, "customer_orders"), "FUNCTION");
  EXPECT_EQ(find(*procedures, "sales_by_year"), "FUNCTION");
  auto parameters = connection_->ProcedureParameters("sales_by_year");
  ASSERT_TRUE(parameters.ok()) << parameters.Description();
  ASSERT_EQ(parameters->size(), 2u);
  EXPECT_EQ((*parameters)[0].name, "from_date");
  EXPECT_EQ((*parameters)[1].name, "to_date");
  EXPECT_EQ(ClassifyFieldType((*parameters)[0].type), FieldDate);
  auto one = connection_->ProcedureParameters("customer_orders");
  ASSERT_TRUE(one.ok());
  ASSERT_EQ(one->size(), 1u);
  EXPECT_EQ(ClassifyFieldType((*one)[0].type), FieldText);
}

TEST_P(DriverTest, ProceduresRunWithNamedParameters) {
  Command by_customer("customer_orders");
  auto first = Run("SELECT customerid FROM customers ORDER BY customerid", 1);
  ASSERT_TRUE(first && !first->Eof());
  std::string customer = first->Value(0).ToText();
  by_customer.AddParameter("customer_id", Variant(customer));
  auto rs = connection_->Call(by_customer);
  if (!GetParam().procedures) {
    ASSERT_FALSE(rs.ok());
    EXPECT_FALSE(rs.Description().empty());
    return;
  }
  ASSERT_TRUE(rs.ok()) << rs.Description();
  EXPECT_EQ(static_cast<int64_t>((*rs)->GetRows()[0].size()),
            Count("SELECT COUNT(*) FROM orders WHERE customerid = '" + customer + "'"));

  // Parameters given in another order, with '@' names and text values, as pages add them.
  Command by_year("Sales_By_Year");
  by_year.AddParameter("@to_date", Variant("12/31/2004"));
  by_year.AddParameter("@from_date", Variant("2003-01-01"));
  auto years = connection_->Call(by_year);
  ASSERT_TRUE(years.ok()) << years.Description();
  ASSERT_TRUE((*years)->Sort("sales_year desc").ok());
  auto rows = (*years)->GetRows();
  ASSERT_EQ(rows[0].size(), 2u);
  EXPECT_EQ(rows[0][0].ToInt32(), 2004);
  EXPECT_EQ(rows[1][1].ToInt64(),
            Count("SELECT COUNT(*) FROM orders WHERE orderdate < '2004-01-01'"));

  ASSERT_TRUE(by_year.SetParameterValue(0, Variant("2003-12-31")));
  EXPECT_FALSE(by_year.SetParameterValue(2, Variant("x")));
  auto first_year = connection_->Call(by_year);
  ASSERT_TRUE(first_year.ok()) << first_year.Description();
  EXPECT_EQ((*first_year)->GetRows()[0].size(), 1u);

  Command missing("no_such_procedure");
  EXPECT_FALSE(connection_->Call(missing).ok());
}

TEST_P(DriverTest, ErrorsComeBackAsDescriptions) {
  auto rs = connection_->Execute("SELECT * FROM no_such_table");
  ASSERT_FALSE(rs.ok());
  EXPECT_NE(ToLowerAscii(rs.Description()).find("no_such_table"), std::string::npos) << rs.Description();
  connection_->Close();
  EXPECT_FALSE(connection_->IsOpen());
  EXPECT_FALSE(connection_->Execute("SELECT 1").ok());
}

INSTANTIATE_TEST_SUITE_P(Drivers, DriverTest, ::testing::ValuesIn(kDrivers),
                         [](const ::testing::TestParamInfo<Driver>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quenmark
