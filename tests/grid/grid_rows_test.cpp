// Reading a result forward into the rows a grid page keeps.

#include "grid/grid_rows.h"

#include <gtest/gtest.h>

#include "frame/database/filter_expression.h"

namespace quenmark {
namespace {

// Rows 1..n of (id, name) from SQLite.
std::unique_ptr<Recordset> Numbers(Connection& connection, int n) {
  auto rs = connection.Execute(
      "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < " +
      std::to_string(n) + ") SELECT x AS id, 'n' || x AS name FROM c");
  EXPECT_TRUE(rs.ok()) << rs.Description();
  return std::move(*rs);
}

class GridRowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto opened = Connection::Open("Provider=SQLite;Data Source=:memory:");
    ASSERT_TRUE(opened.ok()) << opened.Description();
    connection_ = std::move(*opened);
  }
  std::unique_ptr<Connection> connection_;
};

TEST_F(GridRowsTest, KeepsTheWindowsAndCountsTheRest) {
  auto rs = Numbers(*connection_, 100);
  GridRows rows(2);
  rows.Keep(0, 11);
  rows.Keep(40, 10);
  EXPECT_EQ(ReadGridRows(*rs, nullptr, 0, 0, rows), 100u);
  EXPECT_EQ(rows.Value(0, 0).ToInt32(), 1);
  EXPECT_EQ(rows.Value(1, 10).ToText(), "n11");
  EXPECT_EQ(rows.Row(11), nullptr);
  EXPECT_EQ(rows.Value(0, 49).ToInt32(), 50);
  EXPECT_EQ(rows.Row(50), nullptr);
  EXPECT_TRUE(rows.Value(0, 60).IsEmpty());
}

TEST_F(GridRowsTest, FilterNumbersOnlyMatchingRowsAndHooksSeeEveryRow) {
  auto rs = Numbers(*connection_, 30);
  auto filter = db::FilterExpression::Parse("id > 20 OR id = 3", rs->Fields());
  ASSERT_TRUE(filter.ok());
  GridRows rows(2);
  rows.Keep(1, 2);
  rows.KeepColumnsOfEveryRow({0});
  std::vector<int> seen;
  rows.SetRowHook([&](size_t row, const std::vector<Variant>& values) {
    seen.push_back(values[0].ToInt32());
    return row == 9;
  });
  EXPECT_EQ(ReadGridRows(*rs, &*filter, 0, 0, rows), 11u);
  EXPECT_EQ(rows.Value(0, 1).ToInt32(), 21);  // row 0 is id 3
  EXPECT_EQ(rows.Value(0, 2).ToInt32(), 22);
  EXPECT_EQ(rows.Value(0, 9).ToInt32(), 29);  // kept by the hook
  EXPECT_EQ(rows.Row(3), nullptr);
  EXPECT_EQ(seen.size(), 11u);
  ASSERT_EQ(rows.EveryRowColumns().size(), 2u);
  EXPECT_EQ(rows.EveryRowColumns()[0].size(), 11u);
  EXPECT_TRUE(rows.EveryRowColumns()[1].empty());
}

TEST_F(GridRowsTest, ARowsPositionsStartWhereTheDatabaseSkippedToAndLimitsStop) {
  auto rs = Numbers(*connection_, 10);
  GridRows rows(2);
  rows.Keep(50, 3);
  EXPECT_EQ(ReadGridRows(*rs, nullptr, 50, 4, rows), 4u);
  EXPECT_EQ(rows.Value(0, 52).ToInt32(), 3);
  EXPECT_EQ(rows.Row(53), nullptr);
  // The recordset goes on where the limit stopped.
  std::vector<Variant> next;
  ASSERT_TRUE(rs->ReadNext(next));
  EXPECT_EQ(next[0].ToInt32(), 5);
  EXPECT_TRUE(rs->SkipNext());
  ASSERT_TRUE(rs->ReadNext(next));
  EXPECT_EQ(next[1].ToText(), "n7");
}

TEST_F(GridRowsTest, StreamingHonoursTheMaximumAndTheRowsAlreadyWalked) {
  auto rs = connection_->Execute("SELECT 1 UNION ALL SELECT 2 UNION ALL SELECT 3", 2);
  ASSERT_TRUE(rs.ok());
  ASSERT_FALSE((*rs)->Eof());  // fetches the first row into the recordset
  std::vector<Variant> row;
  ASSERT_TRUE((*rs)->ReadNext(row));
  EXPECT_EQ(row[0].ToInt32(), 1);
  EXPECT_TRUE((*rs)->SkipNext());
  EXPECT_FALSE((*rs)->ReadNext(row));
  EXPECT_TRUE((*rs)->status().ok());
}

}  // namespace
}  // namespace quenmark
