#pragma once
// The fields of a SimpleGraph: what the setters store and what a rendering reads and writes back.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "quenmark/string_buffer.h"

namespace quenmark::graph {

/// Bar colours used when the caller sets none; row i takes entry i modulo the list length.
const std::vector<std::string>& DefaultColors();

struct GraphState {
  /// Every added row as its values joined by ",", each row followed by "|||".
  std::string row_data;
  /// Names given to AddRowData, joined by "|||" (no trailing separator).
  std::string row_names;
  /// Rows added so far, and how many entries `row_names` joins (empty names before the first
  /// named row are only counted once a later name needs them).
  size_t row_count = 0;
  size_t row_name_count = 0;

  int32_t scale_size = 0;
  bool scale_size_given = false;
  int32_t spacing = 0;
  int32_t bar_width = 0;
  bool bar_width_given = false;
  int32_t max_bar_height = 200;

  /// Unset lists mean "none" (no x labels, no legend); a set list may be empty.
  std::optional<std::vector<std::string>> x_scale_values;
  std::optional<std::vector<std::string>> legend;
  std::vector<std::string> colors = DefaultColors();

  std::string x_align;
  /// Ready-made attribute texts (" class=\"x\"", " bgcolor=\"x\""); empty when never set.
  std::string title_class;
  std::string x_label_class;
  std::string y_label_class;
  std::string background;

  std::string title;
  std::string x_label;
  std::string y_label;
  std::string v_line_color = "gray";
  std::string h_line_color = "gray";
  std::string scale_color = "black";

  bool show_v_lines = true;
  bool show_h_lines = true;
  bool add_scale = true;
  bool stacked = false;
  bool relative = false;

  /// Receives the HTML of every rendering; never emptied.
  StringBuffer output;
};

}  // namespace quenmark::graph
