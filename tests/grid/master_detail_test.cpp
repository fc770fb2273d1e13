// Grouping rows into master lines and paging by groups.

#include "grid/master_detail.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "quenmark/shared_procedures.h"

namespace quenmark {
namespace {

struct GroupCase {
  std::vector<std::vector<Variant>> rows;  // [row][column]
  std::vector<size_t> compared;
  std::vector<bool> starts;
};

class GroupTrackerTest : public ::testing::TestWithParam<GroupCase> {};

TEST_P(GroupTrackerTest, StartsAGroupWhereMasterValuesChange) {
  const GroupCase& c = GetParam();
  GroupTracker tracker(c.compared);
  std::vector<bool> starts;
  int64_t expected_groups = 0;
  for (const auto& row : c.rows) {
    starts.push_back(tracker.Next([&](size_t column) -> const Variant& { return row[column]; }));
  }
  for (bool start : c.starts) expected_groups += start ? 1 : 0;
  EXPECT_EQ(starts, c.starts);
  EXPECT_EQ(tracker.groups(), expected_groups);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GroupTrackerTest,
    ::testing::Values(
        // A, A, B, A: three groups, since a group is a run of equal values.
        GroupCase{{{"A", 1}, {"A", 2}, {"B", 3}, {"A", 4}}, {0}, {true, false, true, true}},
        // Any compared column that differs starts a group; other columns do not.
        GroupCase{{{"A", 1, "x"}, {"A", 1, "y"}, {"A", 2, "y"}}, {0, 1}, {true, false, true}},
        // Values compare as text: 1 and "1" are the same master value, null and "" too.
        GroupCase{{{Variant(int64_t{1})}, {Variant("1")}, {Variant::Null()}, {Variant("")}},
                  {0},
                  {true, false, true, false}},
        // Without compared columns every row belongs to one group.
        GroupCase{{{"A"}, {"B"}}, {}, {true, false}}));

TEST(MasterDetailTest, GroupIndexKeepsOnlyTheWantedGroups) {
  const std::vector<std::string> rows = {"A", "A", "B", "B", "C", "C", "D"};
  // The page holds group 2; groups starting in the first 2 rows are kept too.
  GroupIndex index({0}, GroupRange{2, 2}, 2);
  std::vector<bool> kept;
  for (size_t r = 0; r < rows.size(); ++r) {
    const Variant value(rows[r]);
    kept.push_back(index.Add(r, [&](size_t) -> const Variant& { return value; }));
  }
  index.Finish(rows.size());
  EXPECT_EQ(kept, (std::vector<bool>{true, true, false, false, true, true, false}));
  EXPECT_EQ(index.groups(), 4);
  EXPECT_EQ(index.FirstRow(0), 0u);
  EXPECT_EQ(index.EndRow(0), 2u);
  EXPECT_EQ(index.FirstRow(2), 4u);
  EXPECT_EQ(index.EndRow(2), 6u);
  EXPECT_THROW(index.FirstRow(1), std::out_of_range);
}

TEST(MasterDetailTest, SplitsColumnsByTable) {
  const std::vector<ColumnDescriptor> columns = {{"Name", "Customers", "Name", FieldText},
                                                 {"Logo", "customers", "Logo", FieldBinary},
                                                 {"OrderID", "Orders", "OrderID", FieldNumber},
                                                 {"Secret", "Customers", "Secret", FieldText}};
  const MasterDetailColumns split = SplitMasterDetail(columns, {0, 1, 2}, "CUSTOMERS");
  EXPECT_EQ(split.master, (std::vector<size_t>{0, 1}));
  EXPECT_EQ(split.detail, (std::vector<size_t>{2}));
  // Hidden master columns still group; binary ones never do.
  EXPECT_EQ(split.compared, (std::vector<size_t>{0, 3}));
}

struct PageCase {
  bool paging;
  int64_t start_rec, page_size, groups;
  int64_t first, last;
};

class PageGroupsTest : public ::testing::TestWithParam<PageCase> {};

TEST_P(PageGroupsTest, HoldsPageSizeGroups) {
  const PageCase& c = GetParam();
  const GroupRange range = PageGroups(c.paging, c.start_rec, c.page_size, c.groups);
  EXPECT_EQ(range.first, c.first);
  EXPECT_EQ(range.last, c.last);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PageGroupsTest,
    ::testing::Values(PageCase{true, 1, 10, 25, 0, 9}, PageCase{true, 21, 10, 25, 20, 24},
                      PageCase{true, 31, 10, 25, 30, 24}, PageCase{true, 0, 10, 25, 0, 9},
                      PageCase{false, 21, 10, 25, 0, 24}, PageCase{true, 1, 0, 7, 0, 6}));

TEST(MasterDetailTest, ExpandedGroupFallsBackToTheFirstOfThePage) {
  const GroupRange page{10, 19};
  EXPECT_EQ(ExpandedGroup(0, false, page), 10);
  EXPECT_EQ(ExpandedGroup(12, false, page), 12);
  EXPECT_EQ(ExpandedGroup(3, false, page), 10);
  EXPECT_EQ(ExpandedGroup(12, true, page), 12);
  EXPECT_EQ(ExpandedGroup(0, true, GroupRange{0, 9}), 0);
}

TEST(MasterDetailTest, LinksPostTheGroupActions) {
  std::string out;
  AppendDetailsLink(out, false, 4, " class=\"p\"");
  EXPECT_EQ(out, "&nbsp;&#183;&nbsp;<a class=\"p\" href=\"javascript:__doPostBack('" +
                     EncodeBase64("7") + "')\" >Show all Details</a>");
  out.clear();
  AppendDetailsLink(out, true, 4, "");
  EXPECT_EQ(out, "&nbsp;&nbsp;<a href=\"javascript:__doPostBack('" + EncodeBase64("6;curidx:4;") +
                     "')\" >Collapse Details</a>");
  out.clear();
  AppendGroupNumberCell(out, 11, " class=\"r\"");
  EXPECT_EQ(out, "<td nowrap width=1><a class=\"r\" href=\"javascript:__doPostBack('" +
                     EncodeBase64("6;curidx:11;") + "')\" ><font  class=\"r\">12</font></a></td>");
}

}  // namespace
}  // namespace quenmark
