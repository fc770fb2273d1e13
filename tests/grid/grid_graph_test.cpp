#include "grid/grid_graph.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graph/golden.h"
#include "quenmark/error.h"
#include "quenmark/shared_procedures.h"

namespace quenmark {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr std::string_view kRowsNotAdded =
    "<font color=navy><b>Rows not added!</b><br>You must first add rows to the graph before "
    "create graphs.</font><br>";
constexpr std::string_view kPageBreak = "<div style='page-break-after:always;'></div>";

// A small result: region (text), units (number), revenue (money), shipped (date as text).
struct SmallResult {
  std::vector<std::vector<Variant>> columns = {
      {Variant("North"), Variant("South"), Variant("East")},
      {Variant(int64_t{12}), Variant(int64_t{30}), Variant(int64_t{18})},
      {Variant(150.5), Variant("99 approx"), Variant::Null()},
      {Variant("2004-01-01"), Variant("2004-02-01"), Variant("2004-03-01")},
  };
  std::vector<std::string> names = {"Region", "Units", "Revenue", "Shipped"};
  std::vector<std::string> captions = {"Region", "Units sold", "Revenue ($)", "Shipped"};
  std::vector<int> categories = {FieldText, FieldNumber, FieldMoney, FieldDate};
};

std::string Draw(const SmallResult& result, std::string legend, int type = 1) {
  GridGraphInput input{result.columns,    result.names,      result.captions,
                       result.categories, std::move(legend), type,
                       "Sales",           "Amount",          "Region"};
  std::string html;
  DrawGridGraph(input, [&](std::string_view piece) { html += piece; });
  return html;
}

TEST(GridGraphTest, GraphOfSmallResultMatchesGoldenFiles) {
  SmallResult result;
  graph_test::ExpectGolden("grid_graph_legend.html", Draw(result, "Region"));
  graph_test::ExpectGolden("grid_graph_no_legend.html", Draw(result, ""));
}

TEST(GridGraphTest, LegendColumnByPositionOrName) {
  SmallResult result;
  const std::string by_name = Draw(result, "Region");
  EXPECT_EQ(Draw(result, "0"), by_name);
  EXPECT_EQ(Draw(result, "[Sales].[REGION]"), by_name);
  EXPECT_THAT(by_name, HasSubstr("title=\"North: 12, Units sold\""));
  // No legend column, or one that names nothing: rows without names and no legend.
  for (const std::string legend : {"", "Nowhere", "9", "-1"}) {
    const std::string html = Draw(result, legend);
    EXPECT_THAT(html, Not(HasSubstr("rowspan=3"))) << legend;
    EXPECT_THAT(html, HasSubstr("title=\"12, Units sold\"")) << legend;
  }
  // A numeric legend column is not drawn as a value.
  const std::string units_named = Draw(result, "Units");
  EXPECT_THAT(units_named, HasSubstr("title=\"12: 150.5\""));
}

TEST(GridGraphTest, GraphTypesAndSingleValueColumn) {
  SmallResult result;
  EXPECT_THAT(Draw(result, "Region", 2), HasSubstr("<td nowrap width='100' valign=bottom>"));
  const std::string relative = Draw(result, "Region", 3);
  EXPECT_THAT(relative, HasSubstr("<i>100%</td>"));
  EXPECT_THAT(relative, HasSubstr(", Units sold\""));

  result.categories[2] = FieldText;  // only Units is a value column now
  const std::string single = Draw(result, "Region");
  EXPECT_THAT(single, Not(HasSubstr("Units sold")));           // no x labels
  EXPECT_THAT(single, HasSubstr(">North <i>(12 - 20%)</i>"));  // 12 of 60
}

TEST(GridGraphTest, NothingToDrawWritesTheNavyMessage) {
  SmallResult no_values;
  no_values.categories = {FieldText, FieldText, FieldText, FieldDate};
  EXPECT_EQ(Draw(no_values, ""), kRowsNotAdded);

  SmallResult only_legend_numeric;
  only_legend_numeric.categories = {FieldText, FieldNumber, FieldText, FieldDate};
  EXPECT_EQ(Draw(only_legend_numeric, "Units"), kRowsNotAdded);

  SmallResult no_records;
  for (auto& column : no_records.columns) column.clear();
  EXPECT_EQ(Draw(no_records, "Region"), kRowsNotAdded);
}

TEST(GridGraphTest, EmptyNamesKeepLegendAligned) {
  SmallResult result;
  result.columns[0][1] = Variant::Null();
  const std::string html = Draw(result, "Region");
  EXPECT_THAT(html, HasSubstr("title=\"North: 12, Units sold\""));
  EXPECT_THAT(html, HasSubstr("title=\"East: 18, Units sold\""));
}

TEST(GridGraphTest, FailuresNameTheStep) {
  SmallResult result;
  result.columns[1][0] = Variant(1e300);  // too large for the scale arithmetic
  try {
    Draw(result, "Region");
    FAIL() << "expected an error";
  } catch (const Error& error) {
    EXPECT_EQ(error.Number(), static_cast<int>(ErrorNumber::kOverflow));
    EXPECT_THAT(error.Source(), EndsWith("<br> DrawGraph Line: 11"));
  }
}

}  // namespace
}  // namespace quenmark
