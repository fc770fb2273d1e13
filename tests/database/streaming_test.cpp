// Rows are read as a recordset walks them: a row limit stops the query early, an error on a later
// row is reported after the good rows, and a connection whose result is still being read can run
// other commands. Run against every driver, like driver_test.cpp; generated rows only, so that
// results can be large.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>

#include "frame/text_util.h"
#include "quenmark/database.h"
#include "support/fixture_db.h"

namespace quenmark {
namespace {

struct Driver {
  const char* name;
  const char* variable;  // environment variable with the connection string; null: SQLite
  bool postgres;         // the SQL dialect (and the fixture copy) of PostgreSQL
  bool native;           // our own driver, not ODBC
  const char* options;   // added to the connection string
};

void PrintTo(const Driver& driver, std::ostream* out) { *out << driver.name; }

const Driver kDrivers[] = {
    {"SQLite", nullptr, false, true, ""},
    {"PostgreSQL", "QUENMARK_TEST_PG", true, true, ""},
    {"OdbcSQLite", "QUENMARK_TEST_ODBC_SQLITE", false, false, ""},
    // The PostgreSQL ODBC driver reads whole results unless told to fetch through a cursor.
    {"OdbcPostgreSQL", "QUENMARK_TEST_ODBC_PG", true, false, "UseDeclareFetch=1;Fetch=100;"},
};

std::unique_ptr<Connection> OpenDriver(const Driver& d) {
  const std::string text = fixture::DriverConnectionString(d.variable, d.postgres);
  if (text.empty()) return nullptr;
  auto opened = Connection::Open(text + d.options);
  EXPECT_TRUE(opened.ok()) << opened.Description();
  if (!opened.ok()) return nullptr;
  if (d.postgres) {
    Status loaded = fixture::LoadFixtureIntoPostgres(**opened);
    EXPECT_TRUE(loaded.ok()) << loaded.Description();
  }
  return std::move(*opened);
}

class StreamingTest : public ::testing::TestWithParam<Driver> {
 protected:
  void SetUp() override {
    const Driver& d = GetParam();
    if (d.variable && !std::getenv(d.variable)) GTEST_SKIP() << d.variable << " is not set";
    connection_ = OpenDriver(d);
    ASSERT_TRUE(connection_);
  }

  // Column n: 1..count.
  std::string Numbers(int count) const {
    if (GetParam().postgres) {
      return "SELECT generate_series(1, " + std::to_string(count) + ") AS n";
    }
    return "WITH RECURSIVE s(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM s WHERE n < " +
           std::to_string(count) + ") SELECT n FROM s";
  }

  // Columns n and q over 1..count, where computing q fails from row `failing` on.
  std::string FailingAt(int failing, int count) const {
    std::string bad = std::to_string(failing);
    if (GetParam().postgres) {
      return "SELECT n, 10 / (" + bad + " - n) AS q FROM (SELECT generate_series(1, " +
             std::to_string(count) + ") AS n) s";
    }
    // abs() of the smallest integer overflows; written over n so that it is not computed early.
    return "WITH RECURSIVE s(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM s WHERE n < " +
           std::to_string(count) + ") SELECT n, CASE WHEN n < " + bad +
           " THEN n ELSE abs(n - n - 9223372036854775807 - 1) END AS q FROM s";
  }

  const char* FailureText() const { return GetParam().postgres ? "division by zero" : "integer overflow"; }

  // The connection still answers, with the right rows.
  void ExpectUsable() {
    auto rs = connection_->Execute(Numbers(3));
    ASSERT_TRUE(rs.ok()) << rs.Description();
    auto rows = (*rs)->GetRows();
    ASSERT_EQ(rows.size(), 1u);
    ASSERT_EQ(rows[0].size(), 3u);
    EXPECT_EQ(rows[0][2].ToInt32(), 3);
    EXPECT_TRUE((*rs)->status().ok()) << (*rs)->status().Description();
  }

  std::unique_ptr<Connection> connection_;
};

TEST_P(StreamingTest, RowLimitReadsOnlyThoseRows) {
  // Row 1000 of 200000 fails: a driver that read past the limit would report it. Drivers that
  // fetch in batches (of 100 here) may read to the end of the batch that holds the limit.
  const int failing = GetParam().native ? 1000 : 1100;
  for (int64_t limit : {1, 10, 999}) {
    auto rs = connection_->Execute(FailingAt(failing, 200000), limit);
    ASSERT_TRUE(rs.ok()) << limit << ": " << rs.Description();
    auto rows = (*rs)->GetRows();
    ASSERT_EQ(static_cast<int64_t>(rows[0].size()), limit);
    EXPECT_EQ(rows[0].back().ToInt64(), limit);
    EXPECT_TRUE((*rs)->status().ok()) << limit << ": " << (*rs)->status().Description();
    ExpectUsable();
  }
}

TEST_P(StreamingTest, ErrorOnALaterRowFollowsTheGoodRows) {
  // kSkip steps past rows without reading them, as a grid counts the rows outside its page.
  enum class Walk { kGetRows, kMoveNext, kFilter, kSkip };
  for (Walk walk : {Walk::kGetRows, Walk::kMoveNext, Walk::kFilter, Walk::kSkip}) {
    auto rs = connection_->Execute(FailingAt(500, 1000));
    if (!rs.ok()) {
      // A driver library that reads whole results fails at once, which is also sound.
      EXPECT_FALSE(GetParam().native) << rs.Description();
      EXPECT_NE(ToLowerAscii(rs.Description()).find(FailureText()), std::string::npos) << rs.Description();
      continue;
    }
    Recordset& r = **rs;
    size_t seen = 0;
    Status reported = Status::Ok();
    switch (walk) {
      case Walk::kGetRows: seen = r.GetRows()[0].size(); break;
      case Walk::kMoveNext:
        for (; !r.Eof(); r.MoveNext()) ++seen;
        break;
      case Walk::kFilter:
        reported = r.Filter("n > 0");
        EXPECT_FALSE(reported.ok());
        seen = r.GetRows()[0].size();
        break;
      case Walk::kSkip:
        while (r.SkipNext()) ++seen;
        break;
    }
    if (GetParam().native) {
      EXPECT_EQ(seen, 499u) << static_cast<int>(walk);
    } else {
      // Drivers that fetch in batches lose the good rows of the batch that failed.
      EXPECT_LE(seen, 499u) << static_cast<int>(walk);
    }
    Status status = r.status();
    ASSERT_FALSE(status.ok()) << static_cast<int>(walk);
    EXPECT_NE(ToLowerAscii(status.Description()).find(FailureText()), std::string::npos) << status.Description();
    if (!reported.ok()) {
      EXPECT_EQ(reported.Description(), status.Description());
    }
    ExpectUsable();
  }
}

TEST_P(StreamingTest, OtherCommandsRunWhileAResultIsHalfRead) {
  struct Case {
    int rows;
    int64_t limit;
    int expected;
  };
  for (const Case& c : {Case{3000, 0, 3000}, Case{100000, 50, 50}, Case{5, 0, 5}}) {
    auto first = connection_->Execute(Numbers(c.rows), c.limit);
    ASSERT_TRUE(first.ok()) << first.Description();
    Recordset& r = **first;
    int read = 0;
    for (; read < 3; ++read, r.MoveNext()) {
      ASSERT_FALSE(r.Eof());
      EXPECT_EQ(r.Value(0).ToInt32(), read + 1);
    }
    ExpectUsable();
    auto tables = connection_->Tables();
    ASSERT_TRUE(tables.ok()) << tables.Description();
    for (; !r.Eof(); r.MoveNext()) {
      ASSERT_EQ(r.Value(0).ToInt32(), ++read);
    }
    EXPECT_EQ(read, c.expected);
    EXPECT_TRUE(r.status().ok()) << r.status().Description();
  }
}

TEST_P(StreamingTest, AbandonedResultsFreeTheConnection) {
  {
    auto rs = connection_->Execute(Numbers(200000));
    ASSERT_TRUE(rs.ok()) << rs.Description();
    (*rs)->MoveNext();
    EXPECT_EQ((*rs)->Value(0).ToInt32(), 2);
  }
  ExpectUsable();
  auto closed = connection_->Execute(Numbers(200000));
  ASSERT_TRUE(closed.ok()) << closed.Description();
  (*closed)->Close();
  ExpectUsable();
}

TEST_P(StreamingTest, EmptyResultsStillDescribeTheirColumns) {
  auto rs = connection_->Execute("SELECT productid, productname FROM products WHERE productid < 0");
  ASSERT_TRUE(rs.ok()) << rs.Description();
  ASSERT_EQ((*rs)->FieldCount(), 2);
  EXPECT_EQ((*rs)->Field(0).type, adtype::kInteger);
  EXPECT_EQ((*rs)->Field(1).type, adtype::kVarWChar);
  EXPECT_EQ((*rs)->Field(1).defined_size, 40);
  EXPECT_EQ(ToLowerAscii((*rs)->Field(1).base_table), "products");
  EXPECT_TRUE((*rs)->Eof());
  EXPECT_TRUE((*rs)->status().ok());
}

TEST_P(StreamingTest, SeveralStatementsReturnTheLastResult) {
  if (!GetParam().native) GTEST_SKIP() << "ODBC drivers return their first result";
  auto rs = connection_->Execute("SELECT 1 AS a; SELECT productname AS b FROM products WHERE productid = 1;");
  ASSERT_TRUE(rs.ok()) << rs.Description();
  ASSERT_EQ((*rs)->FieldCount(), 1);
  EXPECT_EQ((*rs)->Field(0).name, "b");
  EXPECT_EQ(ToLowerAscii((*rs)->Field(0).base_table), "products");
  ASSERT_FALSE((*rs)->Eof());
  EXPECT_FALSE((*rs)->Value(0).ToText().empty());

  struct Failing {
    const char* sql;
    const char* text;
  };
  for (const Failing& f : {Failing{"SELEC 1", "syntax error"}, Failing{"SELECT 1; SELEC 2", "syntax error"},
                           Failing{"SELECT 1; SELECT * FROM no_such_table", "no_such_table"}}) {
    auto failed = connection_->Execute(f.sql);
    ASSERT_FALSE(failed.ok()) << f.sql;
    EXPECT_NE(ToLowerAscii(failed.Description()).find(f.text), std::string::npos) << failed.Description();
  }
  ExpectUsable();
}

INSTANTIATE_TEST_SUITE_P(Drivers, StreamingTest, ::testing::ValuesIn(kDrivers),
                         [](const ::testing::TestParamInfo<Driver>& info) { return std::string(info.param.name); });

// PostgreSQL only: what the server did, seen through a sequence (sequences ignore rollback and
// cancellation, so they count the rows the server really produced).
class PostgresStreamingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("QUENMARK_TEST_PG")) GTEST_SKIP() << "QUENMARK_TEST_PG is not set";
    connection_ = OpenDriver(kDrivers[1]);
    ASSERT_TRUE(connection_);
    auto created = connection_->Execute("CREATE TEMP SEQUENCE produced");
    ASSERT_TRUE(created.ok()) << created.Description();
  }

  int64_t Produced() {
    auto rs = connection_->Execute("SELECT last_value FROM produced");
    EXPECT_TRUE(rs.ok()) << rs.Description();
    return rs.ok() && !(*rs)->Eof() ? (*rs)->Value(0).ToInt64() : -1;
  }

  std::unique_ptr<Connection> connection_;
};

TEST_F(PostgresStreamingTest, ARowLimitCancelsTheRestOfTheQuery) {
  constexpr int64_t kRows = 5000000;
  auto rs = connection_->Execute(
      "SELECT nextval('produced') AS n FROM (SELECT generate_series(1, " + std::to_string(kRows) + ")) s",
      20);
  ASSERT_TRUE(rs.ok()) << rs.Description();
  auto rows = (*rs)->GetRows();
  ASSERT_EQ(rows[0].size(), 20u);
  EXPECT_EQ(rows[0][19].ToInt64(), 20);
  EXPECT_LT(Produced(), kRows);
}

TEST_F(PostgresStreamingTest, CopyFailsWithoutBlockingTheConnection) {
  ASSERT_TRUE(connection_->Execute("CREATE TEMP TABLE copied (a int)").ok());
  for (const char* sql : {"COPY (SELECT 1) TO STDOUT", "COPY copied FROM STDIN", "SELECT 1; COPY copied FROM STDIN"}) {
    auto rs = connection_->Execute(sql);
    ASSERT_FALSE(rs.ok()) << sql;
    EXPECT_NE(rs.Description().find("COPY is not supported"), std::string::npos) << rs.Description();
    auto next = connection_->Execute("SELECT count(*) FROM copied");
    ASSERT_TRUE(next.ok()) << sql << ": " << next.Description();
    EXPECT_EQ((*next)->Value(0).ToInt64(), 0);
  }
}

TEST_F(PostgresStreamingTest, StreamedRowsOutliveCloseAndProceduresStream) {
  auto rs = connection_->Execute("SELECT g FROM generate_series(1, 1000) g");
  ASSERT_TRUE(rs.ok()) << rs.Description();
  connection_->Close();
  EXPECT_EQ((*rs)->GetRows()[0].size(), 1000u);

  connection_ = OpenDriver(kDrivers[1]);
  ASSERT_TRUE(connection_);
  Command by_year("sales_by_year");
  by_year.AddParameter("from_date", Variant("2003-01-01"));
  by_year.AddParameter("to_date", Variant("2004-12-31"));
  auto years = connection_->Call(by_year, 1);
  ASSERT_TRUE(years.ok()) << years.Description();
  EXPECT_EQ((*years)->GetRows()[0].size(), 1u);
  auto again = connection_->Call(by_year);
  ASSERT_TRUE(again.ok()) << again.Description();
  EXPECT_EQ((*again)->GetRows()[0].size(), 2u);
}

}  // namespace
}  // namespace quenmark
