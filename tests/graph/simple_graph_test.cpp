#include "quenmark/simple_graph.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "golden.h"
#include "quenmark/error.h"

namespace quenmark {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

Variant List(std::vector<Variant> items) { return Variant(std::move(items)); }

std::string Bar(int height, const std::string& colour, const std::string& title) {
  return "<table height='" + std::to_string(height) +
         "' cellspacing=0 cellpadding=0 border=0 width='100%' ><tr><td width='100%' bgcolor='" +
         colour + "' style='background-color:" + colour + ";border:1px solid " + colour +
         ";' title=\"" + title + "\">";
}

std::string ScaleLabel(const std::string& text) {
  return "<font face='arial,helvetica' size='-3' color='black'><i>" + text + "</i></font>";
}

// Every scale label of a document, in order.
std::vector<std::string> ScaleLabelsOf(const std::string& html) {
  std::vector<std::string> labels;
  const std::string open = "size='-3' color='black'><i>";
  for (size_t at = html.find(open); at != std::string::npos; at = html.find(open, at + 1)) {
    size_t start = at + open.size();
    size_t end = html.find("</i></font></td></tr>", start);
    if (end != std::string::npos && html.find('<', start) == end) {
      labels.push_back(html.substr(start, end - start));
    }
  }
  return labels;
}

std::string TopLabel(const std::string& text) {
  return "<td align=right valign=bottom><font face='arial,helvetica' size='-3' "
         "color='black'><i>" +
         text + "</td>";
}

// A graph built from row texts ("Name:1,2" adds a named row) after `setup`.
using GraphSetup = std::function<void(SimpleGraph&)>;
std::string Render(const std::vector<std::string>& rows, const GraphSetup& setup = nullptr) {
  SimpleGraph graph;
  if (setup) setup(graph);
  for (const std::string& row : rows) {
    const size_t colon = row.find(':');
    if (colon == std::string::npos) {
      graph.AddRow(Variant(row));
    } else {
      graph.AddRowData(row.substr(0, colon), Variant(row.substr(colon + 1)));
    }
  }
  return graph.GetGraph();
}

TEST(SimpleGraphTest, DocumentsMatchGoldenFiles) {
  const auto relative = [](SimpleGraph& g) { g.Relative(true); };
  const std::tuple<std::string, std::vector<std::string>, GraphSetup> cases[] = {
      {"defaults_10_20_30.html", {"10,20,30"}, nullptr},
      {"relative_1_2.html", {"1", "2"}, relative},
      {"relative_1_1_1.html", {"1", "1", "1"}, relative},
      {"stacked_one_row.html", {"10,20,30"}, [](SimpleGraph& g) { g.Stacked(true); }},
      {"negative_value.html", {"10,-5,30"}, nullptr},
      {"maximum_9.html", {"3,9"}, nullptr},
      {"spacing_5_no_scale.html",
       {"4,8", "6,2"},
       [](SimpleGraph& g) {
         g.Spacing(5);
         g.AddScale(false);
         g.ShowVLines(false);
       }},
      {"one_column_legend.html", {"North:10", "South:20", "East:x"}, nullptr},
      {"labels_and_x_values.html",
       {"120,80", "60,-30"},
       [](SimpleGraph& g) {
         g.Title("Sales");
         g.yLabel("Units");
         g.xLabel("Quarter");
         g.TitleClassName("graph_title");
         g.xLabelClassName("xlabel");
         g.yLabelClassName("ylabel");
         g.BgColor("#ffffee");
         g.xALign("center");
         g.XScaleValues("Q1,<b>Q2</b>");
         g.Legend(List({"A \"quoted\"", "B"}));
         g.Spacing(5);
       }},
  };
  for (const auto& [file, rows, setup] : cases) {
    SCOPED_TRACE(file);
    graph_test::ExpectGolden(file, Render(rows, setup));
  }
}

// Fragments worked out by hand from the sizing rules, and fragments that must not appear.
struct FragmentCase {
  std::string what;
  std::vector<std::string> rows;
  GraphSetup setup;
  std::vector<std::string> present;
  std::vector<std::string> absent = {};
};

TEST(SimpleGraphTest, RenderingFollowsTheSizingRules) {
  const FragmentCase cases[] = {
      {"defaults: top 40, scale 10, ratio 5, bar width 20",
       {"10,20,30"},
       nullptr,
       {TopLabel("40"), Bar(50, "red", "10"), Bar(100, "red", "20"), Bar(150, "red", "30"),
        "<td nowrap width='20' valign=bottom>", "height='200'", "dotted gray",
        "<th colspan=3>&nbsp;</th>", "border-left:1px solid black;border-bottom:1px solid black;"}},
      {"relative 1, 2 and 1, 1, 1: the last row absorbs the rounding",
       {"1,1", "2,1", "0,1"},
       [](SimpleGraph& g) { g.Relative(true); },
       {"title=\"33%\"", "title=\"67%\"", "title=\"34%\"", TopLabel("100%")}},
      {"out-of-range setter values",
       {"10,20,30"},
       [](SimpleGraph& g) {
         g.MaxBarHeight(-1);
         g.Spacing(-5);
         g.ScaleSize(0);
       },
       {"height='200'", ScaleLabel("30"), " width='1'>", "<th colspan=6>"}},
      {"colours repeat modulo the list",
       {"1", "2", "3"},
       [](SimpleGraph& g) { g.Colors("teal,#123456"); },
       {"bgcolor='teal' style='background-color:teal;border:1px solid teal;' title=\"3\"",
        "bgcolor='#123456'"}},
      {"an empty colour list keeps the defaults",
       {"1"},
       [](SimpleGraph& g) { g.Colors(List({})); },
       {"bgcolor='red'"}},
      {"row names become the legend",
       {"North:1,2", "South:3,4"},
       nullptr,
       {"<td rowspan=3 valign=top>", "color='black'>North</font></td></tr>", "title=\"South: 4\""}},
      {"a single short name gives no legend", {"N1:1,2"}, nullptr, {}, {"rowspan=3"}},
      {"a single row has the whole share",
       {"7"},
       [](SimpleGraph& g) { g.Legend("Only"); },
       {">Only <i>(7 - 100%)</i></font>"}},
      {"a first column summing to 0 shows 0%",
       {"5", "-5"},
       [](SimpleGraph& g) { g.Legend("Up,Down"); },
       {">Up <i>(5 - 0%)</i></font>", ">Down <i>(-5 - 0%)</i></font>"}},
      {"relative legend shows the percentage",
       {"1", "3"},
       [](SimpleGraph& g) {
         g.Relative(true);
         g.Legend("P,Q");
       },
       {">Q <i>(75%)</i></font>"}},
      {"relative shares of fractions are true shares",
       {"0.2", "0.3"},
       [](SimpleGraph& g) {
         g.Relative(true);
         g.Legend("P,Q");
       },
       {">P <i>(40%)</i></font>", ">Q <i>(60%)</i></font>"}},
      {"rounding excess beyond the last row comes off the rows above, never below 0",
       {"1", "1", "1", "1", "1", "1", "0"},
       [](SimpleGraph& g) {
         g.Relative(true);
         g.Legend("a,b,c,d,e,f,g");
       },
       {">e <i>(17%)</i></font>", ">f <i>(15%)</i></font>", ">g <i>(0%)</i></font>"},
       {"<i>(-"}},
      {"a name after an unnamed row stays with its own row",
       {"1", "South:2"},
       nullptr,
       {"title=\"1\"", "title=\"South: 2\"", "color='black'> <i>(1 - 33.33%)</i></font>",
        "color='black'>South <i>(2 - 66.67%)</i></font>"},
       {"title=\"South: 1\"", "title=\": "}},
      {"an empty first name does not shift the next one",
       {":1", "South:2", "East:3"},
       nullptr,
       {"title=\"1\"", "title=\"South: 2\"", "title=\"East: 3\""}},
      {"unnamed rows give no legend", {":1", ":2", ":3", ":4"}, nullptr, {}, {"rowspan=3"}},
      {"empty texts are empty lists",
       {"1,2"},
       [](SimpleGraph& g) {
         g.Colors("");
         g.Legend("");
         g.XScaleValues("");
       },
       {"bgcolor='red'",
        "<td rowspan=3 valign=top>&nbsp;<table cellpadding=1 border=0  style='border: 1px "
        "solid gray' ></table></td>",
        "<td style='font-size:1px;'>&nbsp;</td></tr></table></td>"},
       {"align=''"}},
      {"stacked: grid above each bar up to the next scale line, first row on top",
       {"10,25", "15,5"},
       [](SimpleGraph& g) { g.Stacked(true); },
       {"<table border=0 cellSpacing=0 cellPadding=0 width='150'><tr><td height='50' "
        "width='150' nowrap>",
        "</table></td></tr><tr><td title='25' height='25' width='150' nowrap>",
        "<table border=0 cellSpacing=0 cellPadding=0 width='150'><tr><td title='50' height='50' "
        "width='150' nowrap>",
        Bar(50, "red", "10") +
            "<font style='font-size:1px;'>&nbsp;</font></td></tr></table>"
            "</td></tr><tr><td nowrap width='150' valign=bottom>" +
            Bar(75, "blue", "15"),
        Bar(125, "red", "25"), Bar(25, "blue", "5"), TopLabel("40")}},
      {"many bars get the minimum width and no horizontal grid",
       std::vector<std::string>(21, "1,2,3"),
       nullptr,
       {"<td nowrap width='2' valign=bottom>"},
       {"dotted"}},
  };
  for (const FragmentCase& c : cases) {
    const std::string html = Render(c.rows, c.setup);
    for (const std::string& piece : c.present) EXPECT_THAT(html, HasSubstr(piece)) << c.what;
    for (const std::string& piece : c.absent) EXPECT_THAT(html, Not(HasSubstr(piece))) << c.what;
  }
}

TEST(SimpleGraphTest, StackedBarWidthFollowsRowCount) {
  // Twelve or more series keep the narrowest visible width instead of 0.
  const std::pair<int, int> cases[] = {{1, 300}, {2, 150}, {5, 50}, {12, 50}, {20, 50}};
  for (const auto& [rows, width] : cases) {
    EXPECT_THAT(
        Render(std::vector<std::string>(rows, "1,2,3"), [](SimpleGraph& g) { g.Stacked(true); }),
        HasSubstr("<td nowrap width='" + std::to_string(width) + "' valign=bottom>"))
        << rows << " rows";
  }
}

TEST(SimpleGraphTest, SmallTopsStillDraw) {
  struct Case {
    std::string row;
    std::string top;
    std::vector<std::string> labels;
  };
  const Case cases[] = {
      {"3,9", "10", {"8", "6", "4", "2", "0"}},
      {"3,7", "8", {"6", "4", "2", "0"}},
      {"1,2", "3", {"2", "1"}},  // 200 / 67 pixels leaves room for two lines
      {"0,0", "1", {"0"}},
      {"-4,-2", "1", {"0"}},
  };
  for (const Case& c : cases) {
    const std::string html = Render({c.row});
    EXPECT_THAT(html, HasSubstr(TopLabel(c.top))) << c.row;
    std::vector<std::string> above = ScaleLabelsOf(html);
    std::erase_if(above, [](const std::string& label) { return label[0] == '-'; });
    EXPECT_EQ(above, c.labels) << c.row;
  }
}

TEST(SimpleGraphTest, ListRowsMatchTextRowsAndRenderingsAppend) {
  SimpleGraph graph;
  graph.AddRow(List({1, 2, 3}));
  const std::string once = graph.GetGraph();
  EXPECT_EQ(once, Render({"1,2,3"}));
  EXPECT_EQ(graph.GetGraph(), once + once);
}

TEST(SimpleGraphTest, NoRowsIsAnErrorThatAppendsNothing) {
  SimpleGraph graph;
  try {
    graph.GetGraph();
    FAIL() << "expected an error";
  } catch (const Error& error) {
    EXPECT_EQ(error.Number(), static_cast<int>(ErrorNumber::kInvalidArgument));
    EXPECT_THAT(error.Description(), HasSubstr("no rows"));
  }
  graph.AddRow("1");
  SimpleGraph fresh;
  fresh.AddRow("1");
  EXPECT_EQ(graph.GetGraph(), fresh.GetGraph());
}

TEST(SimpleGraphTest, GivenScaleSizeIsKeptOnlyWhenItFits) {
  using Labels = std::vector<std::string>;
  const Labels automatic = {"30", "20", "10", "0"};
  const std::tuple<int, Labels, std::string> cases[] = {
      {20, {"20", "0"}, "kept: 40 / 20 = 2"},
      {4, {"36", "32", "28", "24", "20", "16", "12", "8", "4", "0"}, "kept: 40 / 4 = 10"},
      {3, automatic, "replaced: 40 / 3 > 10"},
      {30, automatic, "replaced: 40 / 30 < 2"},
  };
  for (const auto& [size, labels, why] : cases) {
    SimpleGraph graph;
    graph.ScaleSize(size);
    graph.AddRow("10,20,30");
    EXPECT_EQ(ScaleLabelsOf(graph.GetGraph()), labels) << why;
  }
}

TEST(SimpleGraphTest, DispatchMembersIgnoreCase) {
  SimpleGraph graph;
  SetProperty(graph, "scalesize", Variant(10));
  SetProperty(graph, "XSCALEVALUES", Variant("a,b"));
  SetProperty(graph, "title", Variant("T"));
  SetProperty(graph, "RELATIVE", Variant(false));
  CallMember(graph, "addrowdata", {Variant("Series"), List({1, 2})});
  CallMember(graph, "ADDROW", {Variant("3,4")});
  const Variant html = CallMember(graph, "getgraph");
  EXPECT_THAT(html.AsText(), HasSubstr(">T</font></th>"));
  EXPECT_THAT(html.AsText(), HasSubstr("title=\"Series: 1, a\""));
  EXPECT_THROW(GetProperty(graph, "Title"), Error);
}

TEST(SimpleGraphTest, DrawNeedsAPage) {
  SimpleGraph graph;
  graph.AddRow("1,2");
  try {
    graph.Draw();
    FAIL() << "expected an error";
  } catch (const Error& error) {
    EXPECT_EQ(error.Number(), 2);
    EXPECT_EQ(error.Source(), "Draw Graph");
    EXPECT_EQ(error.Description(), "Response object reference not set. Use 'GetGraph'.");
  }
}

}  // namespace
}  // namespace quenmark
