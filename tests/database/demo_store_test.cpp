// The demo store generator: requested counts, determinism, realistic gaps, atomic output.
#include "demo_store/demo_store.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "quenmark/database.h"
#include "support/fixture_db.h"

namespace quenmark {
namespace {

namespace fs = std::filesystem;

class DemoStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(QUENMARK_BINARY_DIR) / "demo_store_test" /
           ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  static std::unique_ptr<Connection> Open(const fs::path& path) {
    auto c = Connection::Open("Provider=SQLite;Data Source=" + path.string());
    EXPECT_TRUE(c.ok()) << c.Description();
    return c.ok() ? std::move(*c) : nullptr;
  }
  static int64_t Count(Connection& c, const std::string& sql) {
    auto rs = c.Execute(sql);
    EXPECT_TRUE(rs.ok()) << sql << ": " << rs.Description();
    return rs.ok() && !(*rs)->Eof() ? (*rs)->Value(0).ToInt64() : -1;
  }
  static std::string Dump(Connection& c, const std::string& table) {
    auto rs = c.Execute("SELECT * FROM " + table + " ORDER BY 1, 2");
    EXPECT_TRUE(rs.ok()) << rs.Description();
    return rs.ok() ? (*rs)->GetString("|", "\n", "<null>") : "";
  }

  fs::path dir_;
};

TEST_F(DemoStoreTest, DefaultStoreHasTheDocumentedCountsAndGaps) {
  auto c = Open(fixture::FixtureDatabasePath());
  ASSERT_TRUE(c);
  const demo::DemoStoreOptions defaults;
  struct Case {
    const char* sql;
    int64_t expected;
  };
  const Case cases[] = {
      {"SELECT COUNT(*) FROM Customers", defaults.customers},
      {"SELECT COUNT(*) FROM Employees", defaults.employees},
      {"SELECT COUNT(*) FROM Suppliers", defaults.suppliers},
      {"SELECT COUNT(*) FROM Products", defaults.products},
      {"SELECT COUNT(*) FROM Orders", defaults.orders},
      {"SELECT COUNT(*) FROM OrderDetails", defaults.order_details},
      {"SELECT COUNT(*) FROM Categories", 8},
      {"SELECT COUNT(*) FROM Shippers", 3},
      {"SELECT COUNT(*) FROM Orders o WHERE NOT EXISTS "
       "(SELECT 1 FROM OrderDetails d WHERE d.OrderID = o.OrderID)", 0},
      {"SELECT COUNT(*) FROM Employees WHERE ReportsTo IS NULL", 1},
      {"SELECT COUNT(*) FROM OrderDetails d LEFT JOIN Products p ON p.ProductID = d.ProductID "
       "WHERE p.ProductID IS NULL", 0},
      {"SELECT COUNT(*) FROM Orders o LEFT JOIN Customers c ON c.CustomerID = o.CustomerID "
       "WHERE c.CustomerID IS NULL", 0},
  };
  for (const Case& test : cases) EXPECT_EQ(Count(*c, test.sql), test.expected) << test.sql;
  EXPECT_GT(Count(*c, "SELECT COUNT(*) FROM Orders WHERE ShippedDate IS NULL"), 0);
  EXPECT_GT(Count(*c, "SELECT COUNT(*) FROM Customers WHERE Region IS NULL"), 0);
  EXPECT_GT(Count(*c, "SELECT COUNT(*) FROM Products WHERE Discontinued = 1"), 0);
  EXPECT_GT(Count(*c, "SELECT COUNT(*) FROM ProductList"), 0);
  EXPECT_EQ(Count(*c, "SELECT COUNT(*) FROM OrderSubtotals"), defaults.orders);
  EXPECT_GT(Count(*c, "SELECT COUNT(*) FROM Customers WHERE City LIKE '%ü%' OR City LIKE '%å%' "
                      "OR ContactName LIKE '%é%' OR ContactName LIKE '%ü%'"), 0);
}

TEST_F(DemoStoreTest, SameOptionsGiveTheSameDataAndCountsAreHonoured) {
  demo::DemoStoreOptions small;
  small.customers = 150;  // beyond two-digit suffixes: keys must stay unique
  small.employees = 2;
  small.suppliers = 3;
  small.products = 90;
  small.orders = 12;
  small.order_details = 40;
  const fs::path a = dir_ / "a.db", b = dir_ / "b.db", other = dir_ / "c.db";
  ASSERT_TRUE(demo::GenerateDemoStore(a.string(), small).ok());
  ASSERT_TRUE(demo::GenerateDemoStore(b.string(), small).ok());
  small.seed += 1;
  ASSERT_TRUE(demo::GenerateDemoStore(other.string(), small).ok());
  auto ca = Open(a), cb = Open(b), cc = Open(other);
  ASSERT_TRUE(ca && cb && cc);
  for (const char* table : {"Customers", "Employees", "Products", "Orders", "OrderDetails"}) {
    EXPECT_EQ(Dump(*ca, table), Dump(*cb, table)) << table;
  }
  EXPECT_NE(Dump(*ca, "Orders"), Dump(*cc, "Orders"));
  EXPECT_EQ(Count(*ca, "SELECT COUNT(*) FROM Customers"), 150);
  EXPECT_EQ(Count(*ca, "SELECT COUNT(DISTINCT CustomerID) FROM Customers"), 150);
  EXPECT_EQ(Count(*ca, "SELECT COUNT(*) FROM Products"), 90);
  EXPECT_EQ(Count(*ca, "SELECT COUNT(*) FROM OrderDetails"), 40);
  EXPECT_EQ(Count(*ca, "SELECT COUNT(DISTINCT OrderID) FROM OrderDetails"), 12);
  // Only the finished files remain: no temporary left behind.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 3);
}

TEST_F(DemoStoreTest, ReplacesAnExistingFileAndRejectsBadOptions) {
  const fs::path path = dir_ / "store.db";
  demo::DemoStoreOptions tiny;
  tiny.orders = 3;
  tiny.order_details = 2;  // fewer lines than orders: some orders stay empty
  ASSERT_TRUE(demo::GenerateDemoStore(path.string()).ok());
  ASSERT_TRUE(demo::GenerateDemoStore(path.string(), tiny).ok());
  auto c = Open(path);
  ASSERT_TRUE(c);
  EXPECT_EQ(Count(*c, "SELECT COUNT(*) FROM Orders"), 3);
  EXPECT_EQ(Count(*c, "SELECT COUNT(*) FROM OrderDetails"), 2);

  demo::DemoStoreOptions bad;
  bad.orders = -1;
  Status s = demo::GenerateDemoStore((dir_ / "bad.db").string(), bad);
  EXPECT_FALSE(s.ok());
  EXPECT_FALSE(fs::exists(dir_ / "bad.db"));
  // A path that cannot be created fails cleanly.
  EXPECT_FALSE(demo::GenerateDemoStore((path / "inside-a-file.db").string()).ok());
}

}  // namespace
}  // namespace quenmark
