#include "grid/column_descriptors.h"

#include <gtest/gtest.h>

#include "quenmark/shared_procedures.h"

namespace quenmark {
namespace {

FieldInfo Field(std::string name, int type, std::string base_table = "") {
  FieldInfo field;
  field.name = std::move(name);
  field.type = type;
  field.base_table = std::move(base_table);
  return field;
}

TEST(ColumnListTest, FirstEntryWinsIgnoringCase) {
  const std::string list = "|||Orders.Amount|=|Total|||amount|=|Amount|||AMOUNT|=|Other|||";
  bool found = false;
  EXPECT_EQ(FindListEntry(list, "orders.amount", &found), "Total");
  EXPECT_TRUE(found);
  EXPECT_EQ(FindListEntry(list, "Amo", &found), "");
  EXPECT_FALSE(found);
  // Before the list is enclosed, the first entry is found too.
  EXPECT_EQ(FindListEntry("Name|=|Customer|||", "name"), "Customer");
  EXPECT_TRUE(ListHasKey("|||Name|||Photo|||", "NAME"));
  EXPECT_FALSE(ListHasKey("|||Name|||", "FirstName"));
}

TEST(ColumnListTest, CaptionPrefersTheQualifiedEntry) {
  const std::string captions = "|||Name|=|Plain|||c.Name|=|Qualified|||";
  EXPECT_EQ(ColumnCaptionFor(captions, "c", "Name"), "Qualified");
  EXPECT_EQ(ColumnCaptionFor(captions, "x", "Name"), "Plain");
  EXPECT_EQ(ColumnCaptionFor(captions, "", "City"), "City");
}

struct TableCase {
  std::string command;
  std::string name;
  std::string expected;
};

class TableInCommandTest : public testing::TestWithParam<TableCase> {};

TEST_P(TableInCommandTest, ReadsTheQualifier) {
  EXPECT_EQ(TableInCommand(GetParam().command, GetParam().name), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Statements, TableInCommandTest,
    testing::Values(TableCase{"SELECT o.Id, c.Name FROM Orders o, Customers c", "Name", "c"},
                    TableCase{"SELECT [o].[Id] AS x FROM Orders o", "Id", "o"},
                    TableCase{"select Orders.Id from Orders", "Id", "Orders"},
                    TableCase{"SELECT Id FROM Orders", "Id", ""},
                    TableCase{"SELECT a.b FROM t", "missing", ""}));

TEST(DescribeColumnsTest, ParsesAQualifiedSelectList) {
  const std::vector<FieldInfo> fields = {Field("Id", adtype::kInteger),
                                         Field("Name", adtype::kVarWChar)};
  const auto columns = DescribeColumns("SELECT [o].[Id], c.Name FROM Orders o, Customers c", 2,
                                       fields, "|||c.Name|=|Customer|||");
  ASSERT_EQ(columns.size(), 2u);
  EXPECT_EQ(columns[0].table, "o");
  EXPECT_EQ(columns[0].name, "Id");
  EXPECT_EQ(columns[0].caption, "Id");
  EXPECT_EQ(columns[0].category, FieldNumber);
  EXPECT_EQ(columns[1].table, "c");
  EXPECT_EQ(columns[1].caption, "Customer");
  EXPECT_EQ(columns[1].category, FieldText);
}

TEST(DescribeColumnsTest, UsesTheDriverWhenTheListCannotNameTheColumns) {
  const std::vector<FieldInfo> fields = {Field("Id", adtype::kInteger, "Orders"),
                                         Field("Total", adtype::kCurrency),
                                         Field("Photo", adtype::kLongVarBinary, "Employees")};
  // An alias stops the select-list parsing; "o.*" does not match the column count either.
  for (const std::string command :
       {"SELECT o.Id, SUM(o.Amount) AS Total, e.Photo FROM Orders o, Employees e",
        "SELECT o.* FROM Orders o"}) {
    const auto columns = DescribeColumns(command, 9, fields, "");
    ASSERT_EQ(columns.size(), 3u);
    EXPECT_EQ(columns[0].name, "Id");
    EXPECT_EQ(columns[0].table, "Orders");
    EXPECT_EQ(columns[1].name, "Total");
    EXPECT_EQ(columns[1].category, FieldMoney);
    EXPECT_EQ(columns[2].table, "Employees");
    EXPECT_EQ(columns[2].category, FieldBinary);
  }
}

TEST(DescribeColumnsTest, MySqlBackticksAreRemoved) {
  const std::vector<FieldInfo> fields = {Field("Id", adtype::kInteger)};
  const auto columns = DescribeColumns("SELECT `t`.`Id` FROM t", DbMySql, fields, "");
  EXPECT_EQ(columns[0].table, "t");
  EXPECT_EQ(columns[0].name, "Id");
}

}  // namespace
}  // namespace quenmark
