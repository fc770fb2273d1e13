// Recordset::Sort orders through compact per-key columns (numbers, collation keys); these tests
// check that the order is exactly the one CompareValues gives pairwise, on data mixing every
// awkward case: nulls, empty texts, case and accent variants, numbers stored as text in text
// columns, and texts that do not convert in numeric, date and boolean columns. Also: moving the
// rows out with TakeRows, across the blocks the recordset stores its rows in.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <string>
#include <vector>

#include "frame/database/filter_expression.h"
#include "quenmark/database.h"

namespace quenmark {
namespace {

// Column values cycled through with different strides so that the rows combine them widely.
constexpr const char* kNumbers[] = {"5", "-2.5", "'12'", "'abc'", "NULL", "''", "100", "5.0",
                                    "'1e2'", "0", "'x9'", "7"};
constexpr const char* kTexts[] = {"'Smith'", "'smith'", "'Ødegård'", "'odegard'", "''", "NULL",
                                  "10", "9", "'Zoë'", "'zoe'", "'a b'", "'ab'", "'É'", "'e'"};
constexpr const char* kDates[] = {"'2004-03-01'", "'2004-03-01 15:05:09'", "NULL", "'junk'",
                                  "'1999-12-31'", "38000", "'March 1, 2004'"};
constexpr const char* kBooleans[] = {"1", "0", "'yes'", "'No'", "'maybe'", "NULL", "-1"};

class RecordsetSortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto opened = Connection::Open("Provider=SQLite;Data Source=:memory:;Mode=ReadWrite");
    ASSERT_TRUE(opened.ok()) << opened.Description();
    connection_ = std::move(*opened);
    std::string sql = "CREATE TABLE t (id INTEGER, n NUMERIC, s VARCHAR(20), d DATETIME, b BIT);";
    for (size_t i = 0; i < kRows; ++i) {
      sql += "INSERT INTO t VALUES (" + std::to_string(i) + "," + kNumbers[(i * 5) % 12] + "," +
             kTexts[(i * 3) % 14] + "," + kDates[(i * 2) % 7] + "," + kBooleans[i % 7] + ");";
    }
    ASSERT_TRUE(connection_->Execute(sql).ok());
  }

  std::unique_ptr<Recordset> Open() {
    auto rs = connection_->Execute("SELECT * FROM t ORDER BY id");
    EXPECT_TRUE(rs.ok()) << rs.Description();
    return rs.ok() ? std::move(*rs) : nullptr;
  }

  static constexpr size_t kRows = 240;
  std::unique_ptr<Connection> connection_;
};

TEST_F(RecordsetSortTest, OrderMatchesPairwiseComparisonsExactly) {
  struct Key {
    int field;
    bool descending;
  };
  struct Case {
    const char* keys;
    std::vector<Key> parsed;
  };
  const Case cases[] = {
      {"n", {{1, false}}},
      {"n desc", {{1, true}}},
      {"s", {{2, false}}},
      {"s desc", {{2, true}}},
      {"d", {{3, false}}},
      {"b desc", {{4, true}}},
      {"s, n desc", {{2, false}, {1, true}}},
      {"b, d, s", {{4, false}, {3, false}, {2, false}}},
  };
  auto source = Open();
  ASSERT_TRUE(source);
  const std::vector<std::vector<Variant>> columns = source->GetRows();
  const std::vector<FieldInfo> fields = source->Fields();
  ASSERT_EQ(columns[0].size(), kRows);

  for (const Case& c : cases) {
    std::vector<size_t> expected(kRows);
    std::iota(expected.begin(), expected.end(), size_t{0});
    std::stable_sort(expected.begin(), expected.end(), [&](size_t a, size_t b) {
      for (const Key& key : c.parsed) {
        const auto& column = columns[static_cast<size_t>(key.field)];
        int order = db::CompareValues(column[a], column[b],
                                      fields[static_cast<size_t>(key.field)].type);
        if (order != 0) return key.descending ? order > 0 : order < 0;
      }
      return false;
    });

    auto rs = Open();
    ASSERT_TRUE(rs);
    ASSERT_TRUE(rs->Sort(c.keys).ok()) << c.keys;
    std::vector<size_t> actual;
    for (; !rs->Eof(); rs->MoveNext()) {
      actual.push_back(static_cast<size_t>(rs->Value(0).ToInt64()));
    }
    EXPECT_EQ(actual, expected) << c.keys;
  }
}

TEST_F(RecordsetSortTest, SortsTheFilteredRowsAndKeepsTheSortAcrossFilters) {
  auto rs = Open();
  ASSERT_TRUE(rs);
  ASSERT_TRUE(rs->Sort("s desc, id desc").ok());
  ASSERT_TRUE(rs->Filter("s LIKE 's%' OR s LIKE 'z%'").ok());
  std::vector<std::string> names;
  for (; !rs->Eof(); rs->MoveNext()) names.push_back(rs->Value(2).ToText());
  ASSERT_FALSE(names.empty());
  for (size_t i = 1; i < names.size(); ++i) {
    EXPECT_GE(db::CompareText(names[i - 1], names[i]), 0) << names[i - 1] << " / " << names[i];
  }
  ASSERT_TRUE(rs->Filter("").ok());
  size_t count = 0;
  for (; !rs->Eof(); rs->MoveNext()) ++count;
  EXPECT_EQ(count, kRows);
}

TEST_F(RecordsetSortTest, TakeRowsMovesTheRemainingViewOutAndCloses) {
  struct Case {
    const char* sort;
    const char* filter;
    int skip;  // rows walked before taking the rest
  };
  const Case cases[] = {{"", "", 0}, {"", "", 7}, {"s desc, id", "", 3}, {"id desc", "b = 1", 1}};
  for (const Case& c : cases) {
    auto copied = Open();
    auto taken = Open();
    ASSERT_TRUE(copied && taken);
    for (Recordset* rs : {copied.get(), taken.get()}) {
      ASSERT_TRUE(rs->Sort(c.sort).ok());
      ASSERT_TRUE(rs->Filter(c.filter).ok());
      for (int i = 0; i < c.skip; ++i) rs->MoveNext();
    }
    const auto expected = copied->GetRows();
    const auto actual = taken->TakeRows();
    EXPECT_EQ(actual, expected) << c.sort << " / " << c.filter;
    EXPECT_TRUE(taken->Eof());
    EXPECT_TRUE(taken->status().ok());
    EXPECT_FALSE(taken->Sort("id").ok());  // closed
  }
}

TEST(RecordsetBlocksTest, RowsSpanningManyBlocksKeepTheirValues) {
  auto opened = Connection::Open("sqlite::memory:");
  ASSERT_TRUE(opened.ok()) << opened.Description();
  // 2,000 generated rows: several storage blocks, with the last one partly filled.
  auto rs = (*opened)->Execute(
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000) "
      "SELECT i, 'row ' || i || ' with a text longer than the short-string buffer' AS t FROM n");
  ASSERT_TRUE(rs.ok()) << rs.Description();
  Recordset& r = **rs;
  int64_t expected = 1;
  for (; !r.Eof(); r.MoveNext(), ++expected) {
    ASSERT_EQ(r.Value(0).ToInt64(), expected);
    ASSERT_EQ(r.Value(1).AsText(), "row " + std::to_string(expected) +
                                       " with a text longer than the short-string buffer");
  }
  EXPECT_EQ(expected, 2001);
  ASSERT_TRUE(r.Sort("i desc").ok());
  const auto columns = r.TakeRows();
  ASSERT_EQ(columns[0].size(), 2000u);
  EXPECT_EQ(columns[0].front().ToInt64(), 2000);
  EXPECT_EQ(columns[1].back().AsText(), "row 1 with a text longer than the short-string buffer");
}

TEST(CollationKeyTest, KeysOrderAsCompareText) {
  const std::vector<std::string> texts = {"",      "a",   "A",     "ab",    "a b",   "Äb",
                                          "Ødegård", "odegard", "Zoë", "zoe", "10",  "9",
                                          "ß",     "ss",  "日本", "\xC3\x28", "\xFF", "straße"};
  for (const std::string& a : texts) {
    for (const std::string& b : texts) {
      std::string key_a, key_b;
      ASSERT_TRUE(db::AppendCollationKey(a, key_a)) << a;
      ASSERT_TRUE(db::AppendCollationKey(b, key_b)) << b;
      const int by_key = key_a.compare(key_b);
      const int by_text = db::CompareText(a, b);
      EXPECT_EQ(by_key < 0, by_text < 0) << a << " / " << b;
      EXPECT_EQ(by_key == 0, by_text == 0) << a << " / " << b;
    }
  }
}

}  // namespace
}  // namespace quenmark
