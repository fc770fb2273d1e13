#include "graph/graph_renderer.h"

#include <gtest/gtest.h>

#include <string>

namespace quenmark::graph {
namespace {

struct GridCase {
  int64_t height;
  std::string colour;
  int64_t step;
  bool at_top;
  std::string expected;
};

TEST(GridBlockTest, WritesLinesOrNothing) {
  const GridCase cases[] = {
      {2, "gray", 50, true, "<div style='font-size:1px;border-top:1px dotted gray;'>&nbsp;</div>"},
      {2, "black", 50, false,
       "<div style='font-size:1px;border-bottom:1px solid black;'>&nbsp;</div>"},
      {1, "gray", 50, true, "<div style='font-size:1px;'>&nbsp;</div>"},
      {0, "gray", 50, true, ""},
      {-3, "gray", 50, true, ""},
      {100, "gray", 0, true, ""},
      {202, "gray", 2, true, ""},  // more than 100 lines
      {100, "gray", 50, true,
       "<table height='100' cellspacing=0 cellpadding=0 border='0' width='100%' >"
       "<tr><td title='100' width='100%' height='50' style='font-size:1px;border-top:1px dotted "
       "gray;'>&nbsp;</td></tr>"
       "<tr><td title='100' width='100%' height='50' style='font-size:1px;border-top:1px dotted "
       "gray;'>&nbsp;</td></tr></table>"},
      {120, "black", 50, false,
       "<table height='120' cellspacing=0 cellpadding=0 border='0' width='100%' >"
       "<tr><td title='70' width='100%' height='50' style='font-size:1px;border-bottom:1px solid "
       "black;'>&nbsp;</td></tr>"
       "<tr><td title='70' width='100%' height='50' style='font-size:1px;border-bottom:1px solid "
       "black;'>&nbsp;</td></tr></table>"},
  };
  for (const GridCase& c : cases) {
    StringBuffer buffer;
    HtmlOut out(buffer);
    GridBlock(out, c.height, c.colour, c.step, c.at_top, "gray");
    EXPECT_EQ(buffer.ToString(), c.expected) << "height " << c.height << " step " << c.step;
  }
}

TEST(StripTagsTest, RemovesMarkup) {
  const std::pair<std::string, std::string> cases[] = {
      {"plain", "plain"}, {"<b>Bold</b> text", "Bold text"},
      {"a > b", "a  b"},  {"open <tag", "open "},
      {"", ""},
  };
  for (const auto& [input, expected] : cases) EXPECT_EQ(StripTags(input), expected) << input;
}

TEST(ScaleTest, TopIsNextMultipleOfLeadingPowerAboveMaximum) {
  const std::pair<int64_t, int64_t> cases[] = {
      {300, 400}, {345, 400}, {15, 20}, {30, 40}, {9, 10}, {7, 8}, {0, 1}, {99, 100}, {100, 200}};
  for (const auto& [maximum, top] : cases) EXPECT_EQ(TopOf(maximum), top) << maximum;
}

TEST(ScaleTest, AutomaticScaleSizeDividesTheTop) {
  const std::pair<int64_t, int64_t> cases[] = {
      {400, 100},
      {20, 5},
      {60, 15},
      {70, 10},
      {100, 25},
      {10, 2},
      {40, 10},
      // Tops below 10 still get a scale line every 1 or 2 units.
      {9, 1},
      {8, 2},
      {6, 2},
      {4, 1},
      {1, 1}};
  for (const auto& [top, size] : cases) EXPECT_EQ(AutomaticScaleSize(top, false), size) << top;
  EXPECT_EQ(AutomaticScaleSize(100, true), 25);
}

}  // namespace
}  // namespace quenmark::graph
