#pragma once
// The grid's graph mode: feeds every record of a grid's result to a SimpleGraph and writes the
// graph (or the "Rows not added!" message) into the page.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "quenmark/variant.h"

namespace quenmark {

struct GridGraphInput {
  /// Values, column by record (GetRows shape); only the GraphColumns need to be filled.
  const std::vector<std::vector<Variant>>& columns;
  const std::vector<std::string>& names;             ///< result column names
  const std::vector<std::string>& captions;          ///< display captions of the columns
  const std::vector<int>& categories;                ///< field categories (FieldNumber, ...)
  std::string legend_column;                         ///< GraphLegendColumn: position or name
  int graph_type = 0;                                ///< GraphType: 2 stacked, 3 relative
  std::string title, y_label, x_label;               ///< SetGraphLabels
  /// EncodeValues: the legend column's database values are HTML-escaped before they become
  /// legend entries and tooltips.
  bool encode_values = true;
};

/// The columns whose values the graph draws from every record: the legend column, if any, and
/// the number and money columns.
std::vector<size_t> GraphColumns(const std::string& legend_column,
                                 const std::vector<std::string>& names,
                                 const std::vector<int>& categories);

/// Writes the graph through `write`. Failures are raised as quenmark::Error whose source ends
/// in "<br> DrawGraph Line: " and the failing step.
void DrawGridGraph(const GridGraphInput& input, const std::function<void(std::string_view)>& write);

}  // namespace quenmark
