#pragma once
// Turns the state of a SimpleGraph into nested HTML tables appended to its output buffer.

#include <cstdint>
#include <string>
#include <string_view>

#include "graph/graph_state.h"

namespace quenmark::graph {

/// Appends the graph to `state.output` and writes the computed values back into `state`.
/// Raises Error(kInvalidArgument) without appending anything when the graph has no rows.
void RenderGraph(GraphState& state);

/// Appends text and plain decimal integers to a StringBuffer.
class HtmlOut {
 public:
  explicit HtmlOut(StringBuffer& buffer) : buffer_(buffer) {}
  HtmlOut& operator<<(std::string_view text);
  HtmlOut& operator<<(int64_t number);

 private:
  StringBuffer& buffer_;
};

/// One bar: a filled table of `height` pixels with a tooltip; nothing when height <= 0.
void BarBlock(HtmlOut& out, int64_t height, std::string_view colour, std::string_view title);

/// A block of horizontal grid lines every `step` pixels; dotted when `colour` is the horizontal
/// line colour, else solid; lines on top of each cell when `at_top`, else at the bottom.
void GridBlock(HtmlOut& out, int64_t height, std::string_view colour, int64_t step, bool at_top,
               std::string_view h_line_color);

/// The column of scale labels left of the plot (or below the zero line when `negative`).
struct ScaleStyle {
  int64_t scale_size = 0;
  std::string_view scale_color;
  bool relative = false;
};
void ScaleLabels(HtmlOut& out, int64_t height, int64_t step, bool negative,
                 const ScaleStyle& style);

/// Removes every "<" ... ">" run (an unclosed "<" removes the rest).
std::string StripTags(std::string_view text);

/// Next multiple of the maximum's leading power of ten strictly above it (345 -> 400, 7 -> 8).
int64_t TopOf(int64_t maximum);

/// Automatic value units per scale line for a plot whose top is `top`.
int64_t AutomaticScaleSize(int64_t top, bool relative);

}  // namespace quenmark::graph
