// Recordset walking, client-side Filter and Sort, over a small in-memory SQLite table whose
// values were chosen so that text order and typed order disagree.
#include <gtest/gtest.h>

#include "quenmark/database.h"

namespace quenmark {
namespace {

constexpr const char* kItems = R"SQL(
CREATE TABLE items (Name VARCHAR(20), Qty INTEGER, Price MONEY, Born DATETIME, Active BIT, Note TEXT);
INSERT INTO items VALUES ('Smith', 5, 10.5, '2004-01-02', 1, NULL);
INSERT INTO items VALUES ('smithers', 12, 3.25, '2004-03-01 15:05:09', 0, 'it''s');
INSERT INTO items VALUES ('Jones', 7, 100, '2003-12-31', 1, 'x');
INSERT INTO items VALUES ('Ødegård', NULL, 7, NULL, 0, 'ü');
INSERT INTO items VALUES ('Adams', 20, 0.5, '2005-06-30', 1, NULL);
SELECT * FROM items;
)SQL";

class RecordsetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto opened = Connection::Open("Provider=SQLite;Data Source=:memory:;Mode=ReadWrite");
    ASSERT_TRUE(opened.ok()) << opened.Description();
    connection_ = std::move(*opened);
    auto rs = connection_->Execute(kItems);
    ASSERT_TRUE(rs.ok()) << rs.Description();
    rs_ = std::move(*rs);
  }

  // Names of the remaining rows, joined by ",".
  std::string Names() {
    std::string names;
    for (; !rs_->Eof(); rs_->MoveNext()) {
      if (!names.empty()) names += ",";
      names += rs_->Value(0).ToText();
    }
    return names;
  }

  std::unique_ptr<Connection> connection_;
  std::unique_ptr<Recordset> rs_;
};

TEST_F(RecordsetTest, FiltersByTypedComparisons) {
  struct Case {
    const char* filter;
    const char* names;
  };
  const Case cases[] = {
      {"[Name] LIKE '%smi%'", "Smith,smithers"},
      {"[Name] LIKE '%smi%' AND [Qty]  >  5", "smithers"},
      {"Qty > 5 OR Name = 'adams'", "smithers,Jones,Adams"},
      {"qty >= 7 and (name like 'J*' or name like '*ers')", "smithers,Jones"},
      {"[items].[Qty] = 5", "Smith"},
      {"`Qty` <> 5", "smithers,Jones,Adams"},
      {"Qty < 10", "Smith,Jones"},             // 12 is not below 10 as a number
      {"Price > 10", "Smith,Jones"},           // 100 is above 10 as a number
      {"Price < 5", "smithers,Adams"},
      {"Qty = 5.0", "Smith"},
      {"Qty = '12'", "smithers"},
      {"Born = #1/2/2004#", "Smith"},
      {"Born < '2004-01-01'", "Jones"},
      {"Born >= #3/1/2004#", "smithers,Adams"},
      {"Born > #2004-03-01 15:00#", "smithers,Adams"},
      {"Active = True", "Smith,Jones,Adams"},
      {"Active = 0", "smithers,Ødegård"},
      {"Note = NULL", "Smith,Adams"},
      {"Note IS NOT NULL", "smithers,Jones,Ødegård"},
      {"Note = 'IT''S'", "smithers"},
      {"Note = \"x\"", "Jones"},
      {"Name = 'ØDEGÅRD'", "Ødegård"},
      {"Name LIKE 's%h'", "Smith"},
      {"Name LIKE '*m*th*'", "Smith,smithers"},
      {"Name NOT LIKE 's%'", "Jones,Ødegård,Adams"},
      {"Name < 'k'", "Jones,Adams"},
      {"Qty LIKE '1%'", "smithers"},
      {"Qty > 100", ""},
      {"  ", "Smith,smithers,Jones,Ødegård,Adams"},
  };
  for (const Case& c : cases) {
    Status s = rs_->Filter(c.filter);
    ASSERT_TRUE(s.ok()) << c.filter << ": " << s.Description();
    EXPECT_EQ(Names(), c.names) << c.filter;
  }
}

TEST_F(RecordsetTest, InvalidFiltersFailWithADescriptionAndKeepTheRows) {
  struct Case {
    std::string filter;
    const char* message;
  };
  const Case cases[] = {
      {"[Nope] = 1", "no field \"Nope\""},
      {"[Qty]]] = 5", "no field \"Qty]\""},  // a doubled closing bracket is part of the name
      {"Qty = 'abc'", "is not a number"},
      {"Born = #yesterday#", "is not a date"},
      {"Name = 'unterminated", "not closed"},
      {"(Qty > 1", "not closed"},
      {"[Name = 'x'", "not closed"},
      {"Qty >", "value"},
      {"Qty 5", "comparison operator"},
      {"Qty > 1 AND", "missing"},
      {"Qty > 1 Name = 'x'", "unexpected text"},
      {"Name < NULL", "NULL can only"},
      {"Name LIKE NULL", "NULL can only"},
      {"Qty = 1e", "not a number"},
      {"Name = 'O'Brien'", "unexpected text"},
      {std::string(5000, '(') + "Qty = 1" + std::string(5000, ')'), "nested too deeply"},
  };
  ASSERT_TRUE(rs_->Filter("Qty = 5").ok());
  for (const Case& c : cases) {
    Status s = rs_->Filter(c.filter);
    ASSERT_FALSE(s.ok()) << c.filter;
    EXPECT_NE(s.Description().find(c.message), std::string::npos) << c.filter << " gave: " << s.Description();
    EXPECT_EQ(s.Description().rfind("Invalid filter: ", 0), 0u) << s.Description();
  }
  // A failed filter leaves the earlier one in force; clearing shows every row again.
  rs_->MoveNext();
  ASSERT_TRUE(rs_->Filter("Qty = 5").ok());
  EXPECT_EQ(Names(), "Smith");
  ASSERT_TRUE(rs_->Filter("").ok());
  EXPECT_EQ(Names(), "Smith,smithers,Jones,Ødegård,Adams");
}

// Long flat chains (as a hostile "rsfilter" posts them) are parsed and evaluated without
// recursing once per term.
TEST_F(RecordsetTest, LongFlatChainsFilterWithoutDeepRecursion) {
  struct Case {
    const char* first;
    const char* joiner;
    const char* term;
    const char* names;
  };
  const Case cases[] = {
      {"Qty > 1", " AND ", "Name <> 'x'", "Smith,smithers,Jones,Adams"},
      {"Qty = 5", " OR ", "Qty = 999 AND Name = 'x'", "Smith"},
  };
  for (const Case& c : cases) {
    std::string filter = c.first;
    filter.reserve(400000 * (std::string(c.joiner).size() + std::string(c.term).size()));
    for (int i = 1; i < 400000; ++i) filter.append(c.joiner).append(c.term);
    Status s = rs_->Filter(filter);
    ASSERT_TRUE(s.ok()) << c.joiner << c.term << ": " << s.Description();
    EXPECT_EQ(Names(), c.names) << c.joiner << c.term;
  }
}

TEST_F(RecordsetTest, SortsByTypedKeysStablyWithNullsFirst) {
  struct Case {
    const char* keys;
    const char* names;
  };
  const Case cases[] = {
      {"Qty", "Ødegård,Smith,Jones,smithers,Adams"},
      {"Qty desc", "Adams,smithers,Jones,Smith,Ødegård"},
      {"[Price] DESC", "Jones,Smith,Ødegård,smithers,Adams"},
      {"Name", "Adams,Jones,Ødegård,Smith,smithers"},
      {"Active, Name desc", "smithers,Ødegård,Smith,Jones,Adams"},
      {"Active", "smithers,Ødegård,Smith,Jones,Adams"},  // stable: original order kept within
      {"Born asc", "Ødegård,Jones,Smith,smithers,Adams"},
      {"", "Smith,smithers,Jones,Ødegård,Adams"},
  };
  for (const Case& c : cases) {
    Status s = rs_->Sort(c.keys);
    ASSERT_TRUE(s.ok()) << c.keys << ": " << s.Description();
    EXPECT_EQ(Names(), c.names) << c.keys;
  }
  ASSERT_TRUE(rs_->Sort("Qty desc").ok());
  ASSERT_TRUE(rs_->Filter("Active = 1").ok());
  EXPECT_EQ(Names(), "Adams,Jones,Smith");  // the sort stays in force under a new filter
  Status bad = rs_->Sort("Missing desc");
  ASSERT_FALSE(bad.ok());
  EXPECT_NE(bad.Description().find("Missing"), std::string::npos);
}

TEST_F(RecordsetTest, FieldsValuesAndSizes) {
  ASSERT_EQ(rs_->FieldCount(), 6);
  EXPECT_EQ(rs_->FieldIndex("NOTE"), 5);
  EXPECT_EQ(rs_->FieldIndex("nothing"), -1);
  const int expected_types[] = {202, 3, 6, 135, 11, 202};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(rs_->Field(i).type, expected_types[i]) << i;
  EXPECT_EQ(rs_->Field(0).defined_size, 20);
  EXPECT_EQ(rs_->Field(0).base_table, "items");
  EXPECT_EQ(rs_->Value(3).kind(), Variant::Kind::kDate);
  EXPECT_EQ(rs_->Value(3).AsDate(), (DateTime{2004, 1, 2, 0, 0, 0}));
  EXPECT_EQ(rs_->Value(4).kind(), Variant::Kind::kBoolean);
  EXPECT_TRUE(rs_->Value(5).IsNull());
  EXPECT_EQ(rs_->ActualSize(5), 0);
  ASSERT_TRUE(rs_->Filter("Qty = NULL").ok());
  EXPECT_EQ(rs_->ActualSize(0), 7);  // characters, not bytes
  EXPECT_THROW(rs_->Field(6), Error);
  rs_->MoveNext();
  EXPECT_TRUE(rs_->Eof());
  EXPECT_THROW(rs_->Value(0), Error);
}

TEST_F(RecordsetTest, GetRowsAndGetStringReadTheRemainingRows) {
  rs_->MoveNext();
  rs_->MoveNext();
  auto columns = rs_->GetRows();
  ASSERT_EQ(columns.size(), 6u);
  ASSERT_EQ(columns[0].size(), 3u);
  EXPECT_EQ(columns[0][0].ToText(), "Jones");
  EXPECT_EQ(columns[1][2].ToInt32(), 20);
  EXPECT_TRUE(rs_->Eof());
  EXPECT_EQ(rs_->GetRows()[0].size(), 0u);

  ASSERT_TRUE(rs_->Filter("Qty < 10").ok());
  EXPECT_EQ(rs_->GetString("|", ";\n", "(null)"),
            "Smith|5|10.5|1/2/2004|True|(null);\n"
            "Jones|7|100|12/31/2003|True|x;\n");
}

TEST_F(RecordsetTest, StatementsWithoutRowsRunExactlyOnce) {
  for (int i = 0; i < 2; ++i) {
    auto insert = connection_->Execute("INSERT INTO items (Name) VALUES ('Zed')");
    ASSERT_TRUE(insert.ok()) << insert.Description();
    EXPECT_EQ((*insert)->FieldCount(), 0);
    EXPECT_TRUE((*insert)->Eof());
    EXPECT_TRUE((*insert)->GetRows().empty());
  }
  auto count = connection_->Execute("SELECT COUNT(*) FROM items WHERE Name = 'Zed'");
  ASSERT_TRUE(count.ok());
  EXPECT_EQ((*count)->Value(0).ToInt32(), 2);
}

TEST(RecordsetLimits, MaxRecordsStopsFetching) {
  auto c = Connection::Open("sqlite::memory:?mode=rw");
  ASSERT_TRUE(c.ok()) << c.Description();
  const char* sql = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100) SELECT i FROM n";
  for (int64_t max : {int64_t{0}, int64_t{1}, int64_t{7}, int64_t{100}, int64_t{500}}) {
    auto rs = (*c)->Execute(sql, max);
    ASSERT_TRUE(rs.ok()) << rs.Description();
    ASSERT_TRUE((*rs)->Sort("i desc").ok());
    auto rows = (*rs)->GetRows();
    size_t expected = max == 0 ? 100 : static_cast<size_t>(std::min<int64_t>(max, 100));
    ASSERT_EQ(rows[0].size(), expected) << max;
    EXPECT_EQ(rows[0][0].ToInt32(), static_cast<int>(expected));
  }
}

// A fetch error on a later row: streaming_test.cpp, for every driver.

TEST(RecordsetLimits, ARecordsetOutlivesItsConnection) {
  auto c = Connection::Open("sqlite::memory:?mode=rw");
  ASSERT_TRUE(c.ok());
  auto rs = (*c)->Execute("SELECT 1 AS a UNION ALL SELECT 2 UNION ALL SELECT 3");
  ASSERT_TRUE(rs.ok());
  (*c)->Close();
  c->reset();
  EXPECT_EQ((*rs)->GetString(",", ";"), "1;2;3;");
}

}  // namespace
}  // namespace quenmark
