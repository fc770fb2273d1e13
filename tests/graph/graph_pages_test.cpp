// The graph demo pages run through the host executable, as a browser would get them.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/demo_site.h"
#include "support/page_runner.h"

namespace {

namespace fs = std::filesystem;
using quenmark::test_support::PageResult;
using quenmark::test_support::RunPage;
using quenmark::test_support::SourcePath;
using ::testing::HasSubstr;
using ::testing::Not;

// A web root with the demo pages and a copy of the fixture store as data/demo.db.
const fs::path& SiteRoot() {
  static const fs::path root = quenmark::test_support::MakeDemoSite(
      "graph_pages", {"graph_plain.lua", "graph_stacked.lua", "graph_relative.lua",
                      "graph_negative.lua", "grid_graph.lua"});
  return root;
}

PageResult RunSitePage(const std::string& page, std::vector<std::string> args = {}) {
  args.insert(args.end(), {"--root", SiteRoot().string()});
  return RunPage((SiteRoot() / page).string(), args);
}

struct PageCase {
  std::string page;
  std::vector<std::string> fragments;
};

TEST(GraphPagesTest, DemoPagesDrawTheirGraphs) {
  const PageCase cases[] = {
      {"graph_plain.lua",
       {"<th  class=\"graph_title\"><font  class=\"graph_title\" color='black'>Units sold per "
        "region",
        "title=\"North: 120, Q1\"", "U<br>n<br>i<br>t<br>s<br>", "<th colspan=8>"}},
      {"graph_stacked.lua",
       {"<td nowrap width='100' valign=bottom>", "title=\"Federal Shipping: 10, Jan\"",
        "bgcolor='#5f9ea0'"}},
      {"graph_relative.lua", {"<i>100%</td>", " bgcolor=\"#f8f8f0\"", ": 44%, 2002\""}},
      {"graph_negative.lua",
       {"title=\"Stores: -35, Q2\"", "<i>-50</i>", ">Beverages <i>(559 - 38.5%)</i>"}},
  };
  for (const PageCase& c : cases) {
    const PageResult result = RunSitePage(c.page);
    ASSERT_EQ(result.status, 200) << c.page << "\n" << result.body << result.error_output;
    for (const std::string& fragment : c.fragments) {
      EXPECT_THAT(result.body, HasSubstr(fragment)) << c.page;
    }
    EXPECT_THAT(result.body, HasSubstr("</main>\n</body>\n</html>\n")) << c.page;
  }
}

// Database values naming the graph's rows are escaped in the legend and the tooltips, unless
// the page turns EncodeValues off.
TEST(GraphPagesTest, GridGraphEscapesDatabaseValues) {
  const std::string script =
      "local grid = Server.CreateObject(\"Quenmark.DataGrid\")\n"
      "grid:CreateConnection(\"Provider=SQLite;Data Source=\" .. "
      "Server.MapPath(\"data/demo.db\"))\n"
      "grid.Command = [[SELECT '<b>\"Tea\" & Co</b>' AS Name, 5 AS Qty, 7 AS Stock]]\n"
      "grid.GraphType = 1\ngrid.GraphOnly = true\ngrid.GraphLegendColumn = \"Name\"\n"
      "grid.EncodeValues = (Request(\"raw\") ~= \"1\")\ngrid:Display()\n";
  const fs::path page = SiteRoot() / "escaped_graph.lua";
  std::ofstream(page) << script;
  const PageResult escaped = RunSitePage("escaped_graph.lua");
  ASSERT_EQ(escaped.status, 200) << escaped.body << escaped.error_output;
  const std::string name = "&lt;b&gt;&quot;Tea&quot; &amp; Co&lt;/b&gt;";
  EXPECT_THAT(escaped.body, HasSubstr("title=\"" + name + ": 5, Qty\""));
  EXPECT_THAT(escaped.body, HasSubstr("color='black'>" + name + "</font>"));
  EXPECT_THAT(escaped.body, Not(HasSubstr("<b>")));

  const PageResult raw = RunSitePage("escaped_graph.lua", {"--query", "raw=1"});
  EXPECT_THAT(raw.body, HasSubstr("color='black'><b>\"Tea\" & Co</b></font>"));
  EXPECT_THAT(raw.body, HasSubstr("title=\"<b>&quot;Tea&quot; & Co</b>: 5, Qty\""));
}

TEST(GraphPagesTest, GridDrawsItsGraphBelowOrInstead) {
  const PageResult below = RunSitePage("grid_graph.lua", {"--query", "type=2"});
  ASSERT_EQ(below.status, 200) << below.body << below.error_output;
  EXPECT_THAT(below.body, HasSubstr("class=\"graph_title\" color='black'>Units per category"));
  EXPECT_THAT(below.body, HasSubstr("color='black'>Beverages</font>"));
  EXPECT_THAT(below.body, HasSubstr("<div style='page-break-after:always;'></div>"));
  EXPECT_LT(below.body.find("</form>"), below.body.find("graph_title"));

  const PageResult only = RunSitePage("grid_graph.lua", {"--query", "type=1&only=1"});
  ASSERT_EQ(only.status, 200) << only.body << only.error_output;
  EXPECT_THAT(only.body, HasSubstr("graph_title"));
  EXPECT_THAT(only.body, Not(HasSubstr("Seafood</td>")));  // no grid cells

  // A postback (sorting, paging) has no query string: the kind chosen last stays.
  const PageResult postback = RunSitePage(
      "grid_graph.lua", {"--session", "grid_graph_type=3", "--form", "sort=2&start=1"});
  ASSERT_EQ(postback.status, 200) << postback.body << postback.error_output;
  EXPECT_THAT(postback.body, HasSubstr("<i>100%</td>"));
  EXPECT_THAT(postback.body, HasSubstr("Seafood</td>"));
}

}  // namespace
