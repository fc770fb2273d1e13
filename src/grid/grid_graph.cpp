#include "grid/grid_graph.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "grid/grid_state.h"
#include "quenmark/conversions.h"
#include "quenmark/error.h"
#include "quenmark/shared_procedures.h"
#include "quenmark/simple_graph.h"

namespace quenmark {

namespace {

constexpr std::string_view kRowsNotAdded =
    "<font color=navy><b>Rows not added!</b><br>You must first add rows to the graph before "
    "create graphs.</font><br>";
constexpr std::string_view kPageBreak = "<div style='page-break-after:always;'></div>";

// A column name as a page script may write it: blanks around it, brackets or backticks, and a
// table prefix are not part of the name.
std::string_view BareName(std::string_view name) {
  const auto trim = [](std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '[' || text.front() == '`')) {
      text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == ']' || text.back() == '`')) {
      text.remove_suffix(1);
    }
    return text;
  };
  name = trim(name);
  if (size_t dot = name.rfind('.'); dot != std::string_view::npos)
    name = trim(name.substr(dot + 1));
  return name;
}

bool SameName(std::string_view a, std::string_view b) {
  a = BareName(a);
  b = BareName(b);
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// The legend column: a 0-based position written as a number, else a column name; -1 for none.
int64_t ResolveLegendColumn(const std::string& legend_column,
                            const std::vector<std::string>& names) {
  if (std::optional<double> position = ParseNumber(legend_column)) return ToInt64(*position);
  if (BareName(legend_column).empty()) return -1;
  for (size_t i = 0; i < names.size(); ++i) {
    if (SameName(names[i], legend_column)) return static_cast<int64_t>(i);
  }
  return -1;
}

}  // namespace

std::vector<size_t> GraphColumns(const std::string& legend_column,
                                 const std::vector<std::string>& names,
                                 const std::vector<int>& categories) {
  std::vector<size_t> wanted;
  const int64_t legend = ResolveLegendColumn(legend_column, names);
  for (size_t c = 0; c < names.size() && c < categories.size(); ++c) {
    if (static_cast<int64_t>(c) == legend || categories[c] == FieldNumber ||
        categories[c] == FieldMoney) {
      wanted.push_back(c);
    }
  }
  return wanted;
}

void DrawGridGraph(const GridGraphInput& input,
                   const std::function<void(std::string_view)>& write) {
  int step = 1;
  try {
    const int64_t legend = ResolveLegendColumn(input.legend_column, input.names);
    const size_t column_count = input.columns.size();
    const bool has_legend = legend >= 0 && legend < static_cast<int64_t>(column_count);

    step = 2;
    std::vector<size_t> value_columns;
    for (size_t c = 0; c < column_count && c < input.categories.size(); ++c) {
      if (static_cast<int64_t>(c) == legend) continue;
      if (input.categories[c] == FieldNumber || input.categories[c] == FieldMoney) {
        value_columns.push_back(c);
      }
    }

    step = 3;
    // A result without records has nothing to draw either; it gets the same message rather
    // than an error page (an empty filter result is an ordinary outcome).
    size_t record_count = 0;
    for (const std::vector<Variant>& column : input.columns) {
      record_count = std::max(record_count, column.size());
    }
    if (value_columns.empty() || record_count == 0) {
      write(kRowsNotAdded);
      return;
    }

    step = 5;
    SimpleGraph graph;
    std::vector<Variant> x_labels;
    std::vector<Variant> names;
    bool some_name_empty = false;
    bool some_name_given = false;
    std::string row;
    for (size_t r = 0; r < record_count; ++r) {
      step = 6;
      std::string name = has_legend ? input.columns[static_cast<size_t>(legend)][r].ToText() : "";
      if (input.encode_values) name = EscapeHtml(name);
      row.clear();
      for (size_t k = 0; k < value_columns.size(); ++k) {
        if (k > 0) row += ',';
        const size_t c = value_columns[k];
        row += FormatReal(LeadingNumber(input.columns[c][r].ToText()));
        if (r == 0) {
          step = 7;
          x_labels.emplace_back(c < input.captions.size() ? input.captions[c] : std::string());
          step = 6;
        }
      }
      step = 8;
      if (name.empty()) {
        some_name_empty = true;
        graph.AddRow(Variant(row));
      } else {
        some_name_given = true;
        graph.AddRowData(name, Variant(row));
      }
      if (has_legend) names.emplace_back(std::move(name));
    }

    step = 9;
    if (value_columns.size() >= 2) graph.XScaleValues(Variant(std::move(x_labels)));
    // Rows without a name would shift every later name onto the wrong series; with such rows
    // the legend is given entry by entry so each name stays with its record.
    if (some_name_empty && some_name_given) graph.Legend(Variant(std::move(names)));

    step = 10;
    graph.xALign("center");
    graph.TitleClassName("graph_title");
    graph.xLabelClassName("xlabel");
    graph.yLabelClassName("ylabel");
    graph.Title(input.title);
    graph.yLabel(input.y_label);
    graph.xLabel(input.x_label);
    if (input.graph_type == 2) graph.Stacked(true);
    if (input.graph_type == 3) graph.Relative(true);

    step = 11;
    write(graph.GetGraph());
    step = 12;
    write(kPageBreak);
  } catch (Error& error) {
    error.AppendSource("<br> DrawGraph Line: " + std::to_string(step));
    throw;
  } catch (const std::exception& failure) {
    Error error(ErrorNumber::kGeneric, failure.what(), "DataGrid");
    error.AppendSource("<br> DrawGraph Line: " + std::to_string(step));
    throw error;
  }
}

}  // namespace quenmark
