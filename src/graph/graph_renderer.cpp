#include "graph/graph_renderer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <vector>

#include "frame/utf8.h"
#include "quenmark/conversions.h"
#include "quenmark/error.h"

namespace quenmark::graph {

namespace {

constexpr std::string_view kRowSeparator = "|||";
constexpr std::string_view kTinyFont = "<font style='font-size:1px;'>&nbsp;</font>";
constexpr std::string_view kSpacerFont = "<font style='font-size:3px;'>&nbsp;</font>";

// Pixel and value arithmetic rounds halves to the even neighbour; a value that does not fit
// raises an overflow error instead of wrapping.
int64_t Nearest(double value) { return ToInt64(value); }

int64_t Abs(int64_t value) { return value < 0 ? -value : value; }

// 1 followed by (number of decimal digits of abs(value)) - 1 zeros.
int64_t LeadingPowerOfTen(int64_t value) {
  int64_t magnitude = Abs(value);
  int64_t base = 1;
  while (magnitude >= 10) {
    magnitude /= 10;
    base *= 10;
  }
  return base;
}

template <class Fn>
void ForEachPiece(std::string_view text, std::string_view separator, Fn&& fn) {
  size_t start = 0;
  while (true) {
    size_t found = text.find(separator, start);
    if (found == std::string_view::npos) {
      fn(text.substr(start));
      return;
    }
    fn(text.substr(start, found - start));
    start = found + separator.size();
  }
}

std::vector<std::string> SplitText(std::string_view text, std::string_view separator) {
  std::vector<std::string> pieces;
  ForEachPiece(text, separator, [&](std::string_view piece) { pieces.emplace_back(piece); });
  return pieces;
}

// The values of one rendering, row-major. `texts` views the row data (or "0" for values that
// are not numbers and for missing ones), so building the matrix allocates per graph, not per row.
struct Matrix {
  size_t rows = 0;
  size_t columns = 0;
  std::vector<double> values;
  std::vector<std::string_view> texts;

  double& Value(size_t row, size_t column) { return values[row * columns + column]; }
  double Value(size_t row, size_t column) const { return values[row * columns + column]; }
  std::string_view Text(size_t row, size_t column) const { return texts[row * columns + column]; }
};

Matrix BuildMatrix(std::string_view row_data) {
  Matrix matrix;
  std::string_view data = row_data.substr(0, row_data.size() - kRowSeparator.size());
  ForEachPiece(data, kRowSeparator, [&](std::string_view) { ++matrix.rows; });
  std::string_view first_row = data.substr(0, data.find(kRowSeparator));
  matrix.columns = static_cast<size_t>(std::count(first_row.begin(), first_row.end(), ',')) + 1;
  matrix.values.assign(matrix.rows * matrix.columns, 0.0);
  matrix.texts.assign(matrix.rows * matrix.columns, std::string_view("0"));
  size_t row = 0;
  ForEachPiece(data, kRowSeparator, [&](std::string_view row_text) {
    size_t column = 0;
    ForEachPiece(row_text, ",", [&](std::string_view value_text) {
      if (column >= matrix.columns) return;
      if (std::optional<double> number = ParseNumber(value_text)) {
        matrix.Value(row, column) = *number;
        matrix.texts[row * matrix.columns + column] = value_text;
      }
      ++column;
    });
    ++row;
  });
  return matrix;
}

void AppendInteger(std::string& target, int64_t number) {
  char digits[24];
  auto result = std::to_chars(digits, digits + sizeof digits, number);
  target.append(digits, result.ptr);
}

// Appends text; with `strip_tags`, "<" ... ">" runs are dropped (an unclosed "<" drops the rest);
// with `escape_quotes`, double quotes become &quot; for a double-quoted attribute.
void AppendText(std::string& target, std::string_view text, bool strip_tags, bool escape_quotes) {
  bool in_tag = false;
  for (char c : text) {
    if (strip_tags) {
      if (in_tag) {
        if (c == '>') in_tag = false;
        continue;
      }
      if (c == '<') {
        in_tag = true;
        continue;
      }
      if (c == '>') continue;
    }
    if (escape_quotes && c == '"') {
      target += "&quot;";
    } else {
      target += c;
    }
  }
}

// Everything the document writer needs besides the object's fields.
struct Layout {
  int64_t top = 0;
  int64_t bottom = 0;
  double ratio = 0;
  int64_t step = 0;
  int64_t negative_height = 0;
  int64_t group_width = 0;
  int64_t slot_count = 0;
  std::vector<double> column_totals;
};

class DocumentWriter {
 public:
  DocumentWriter(GraphState& state, const Matrix& matrix, const Layout& layout)
      : s_(state),
        m_(matrix),
        l_(layout),
        out_(state.output),
        scale_{state.scale_size, state.scale_color, state.relative} {}

  void Write() {
    WriteHead();
    WritePlotRow();
    out_ << "</tr>"
         << "<tr>";
    WriteBelowZero();
    out_ << "</tr>";
    WriteXLabels();
    out_ << "</table></td>";
    WriteLegend();
    out_ << "</tr>";
    if (!s_.x_label.empty()) {
      out_ << "<tr>";
      if (s_.add_scale && !s_.y_label.empty()) out_ << "<td height=1 >&nbsp;</td>";
      out_ << "<th height=1 valign=top " << s_.x_label_class << "><font " << s_.x_label_class
           << " color='" << s_.scale_color << "'>" << s_.x_label << "</font></th></tr>";
    }
    out_ << "</table>";
  }

 private:
  const std::string& BarColor(size_t row) const { return s_.colors[row % s_.colors.size()]; }

  int64_t HeightAbove(size_t row, size_t column) const {
    return Nearest(m_.Value(row, column) * l_.ratio + 0.3);
  }
  int64_t HeightBelow(size_t row, size_t column) const {
    return Nearest(std::fabs(m_.Value(row, column) * l_.ratio) + 0.3);
  }

  // The value as shown to the reader: the text as added, or the percentage in relative mode.
  // Either is a plain number, so it holds no markup to strip.
  void AppendValueText(std::string& target, size_t row, size_t column) const {
    if (s_.relative) {
      AppendInteger(target, static_cast<int64_t>(m_.Value(row, column)));
      target += '%';
    } else {
      target += m_.Text(row, column);
    }
  }

  // Tooltip of one bar: "legend: value, x label", tags of the x label removed. Double quotes
  // become &quot; because the text sits in a title="..." attribute and legend entries may come
  // from database values. An empty legend entry (a row without a name) adds no ": " prefix.
  // Built in a reused buffer, so bars cost no allocation.
  const std::string& Tooltip(size_t row, size_t column) {
    tooltip_.clear();
    if (s_.legend && row < s_.legend->size() && !(*s_.legend)[row].empty()) {
      AppendText(tooltip_, (*s_.legend)[row], false, true);
      tooltip_ += ": ";
    }
    AppendValueText(tooltip_, row, column);
    if (s_.x_scale_values && column < s_.x_scale_values->size()) {
      tooltip_ += ", ";
      AppendText(tooltip_, (*s_.x_scale_values)[column], true, true);
    }
    return tooltip_;
  }

  void Grid(int64_t height, std::string_view colour, int64_t step, bool at_top) {
    GridBlock(out_, height, colour, step, at_top, s_.h_line_color);
  }

  // Left border of a column: the axis for the first column, else the vertical line colour.
  std::string_view LeftBorderColor(size_t column) const {
    if (s_.add_scale && column == 0) return s_.scale_color;
    if (s_.show_v_lines) return s_.v_line_color;
    return {};
  }

  void WriteHead() {
    out_ << "<table cellSpacing=0 cellPadding=4 border=0 " << s_.background << ">";
    if (!s_.title.empty()) {
      out_ << "<tr>";
      if (!s_.y_label.empty()) out_ << "<td>&nbsp;</td>";
      out_ << "<th " << s_.title_class << "><font " << s_.title_class << " color='"
           << s_.scale_color << "'>" << s_.title << "</font></th><td>&nbsp;</td></tr>";
    }
    out_ << "<tr>";
    if (!s_.y_label.empty()) {
      out_ << "<th valign=top " << s_.y_label_class << ">&nbsp;<br><font " << s_.y_label_class
           << " color='" << s_.scale_color << "'>";
      std::string_view label = s_.y_label;
      size_t start = 0;
      while (start < label.size()) {
        size_t end = start + 1;
        while (end < label.size() && (static_cast<unsigned char>(label[end]) & 0xC0) == 0x80) {
          ++end;
        }
        out_ << label.substr(start, end - start) << "<br>";
        start = end;
      }
      out_ << "</font></th>";
    }
    out_ << "<td valign=top><table cellSpacing=0 cellPadding=0 border=0>";
    if (s_.add_scale) {
      out_ << "<tr>"
           << "<td align=right valign=bottom><font face='arial,helvetica' size='-3' color='"
           << s_.scale_color << "'><i>" << l_.top;
      if (s_.relative) out_ << "%";
      out_ << "</td><td style='font-size:1px;'>&nbsp;</td>"
           << "<th colspan=" << l_.slot_count << ">&nbsp;</th></tr>";
    }
  }

  void WritePlotRow() {
    const int64_t height = s_.max_bar_height;
    out_ << "<tr>";
    if (s_.add_scale) {
      out_ << "<td nowrap valign=bottom >";
      ScaleLabels(out_, height, l_.step, false, scale_);
      out_ << "</td>"
           << "<td nowrap valign=bottom style='border-bottom:1px solid " << s_.scale_color
           << ";' width=5>";
      Grid(height, s_.scale_color, l_.step, true);
      out_ << "</td>";
    }
    for (size_t j = 0; j < m_.columns; ++j) {
      std::string_view border = LeftBorderColor(j);
      out_ << "<td valign=bottom nowrap width='" << l_.group_width << "' height='" << height
           << "' ";
      if (!border.empty()) {
        out_ << "style='border-left:1px solid " << border << ";border-bottom:1px solid "
             << s_.scale_color << ";'";
      }
      out_ << "><table border=0 cellSpacing=0 cellPadding=0 width='" << l_.group_width << "'>";
      if (!s_.stacked) out_ << "<tr>";
      if (s_.show_h_lines && s_.stacked && !s_.relative) WriteStackedGrid(j);
      for (size_t i = 0; i < m_.rows; ++i) {
        if (s_.stacked) out_ << "<tr>";
        out_ << "<td nowrap width='" << static_cast<int64_t>(s_.bar_width) << "' valign=bottom>";
        const int64_t h = HeightAbove(i, j);
        if (s_.show_h_lines && !s_.stacked && l_.step > 0) {
          if (h < 1) {
            Grid(height, s_.h_line_color, l_.step, true);
          } else {
            const int64_t gap = l_.step - (h % l_.step);
            Grid(height - (h + gap), s_.h_line_color, l_.step, true);
            Grid(gap, s_.h_line_color, gap, true);
          }
        }
        BarBlock(out_, h, BarColor(i), Tooltip(i, j));
        out_ << "</td>";
        if (s_.stacked) out_ << "</tr>";
      }
      if (!s_.stacked) out_ << "</tr>";
      out_ << "</table></td>";
      if (s_.spacing > 0) {
        out_ << "<td valign=bottom ";
        if (s_.add_scale) out_ << "style='border-bottom:1px solid " << s_.scale_color << ";'";
        out_ << " width='" << static_cast<int64_t>(s_.spacing) << "'>";
        if (s_.show_h_lines) {
          Grid(height, s_.h_line_color, l_.step, true);
        } else {
          out_ << kSpacerFont;
        }
        out_ << "</td>";
      }
    }
  }

  // The empty part of a stacked column above its bar, with grid lines up to the next scale line.
  void WriteStackedGrid(size_t column) {
    const double total = l_.column_totals[column];
    const int64_t bar_width = s_.bar_width;
    if (total > 0) {
      const int64_t scale = s_.scale_size;
      const int64_t gap = scale - (Nearest(total) % scale);
      const int64_t empty =
          Nearest((static_cast<double>(l_.top) - (total + static_cast<double>(gap))) * l_.ratio);
      if (empty > 0) {
        out_ << "<tr><td height='" << empty << "' width='" << bar_width << "' nowrap>";
        Grid(empty, s_.h_line_color, l_.step, true);
        out_ << "</td></tr>";
      }
      const int64_t gap_pixels = Nearest(static_cast<double>(gap) * l_.ratio);
      out_ << "<tr><td title='" << gap_pixels << "' height='" << gap_pixels << "' width='"
           << bar_width << "' nowrap>";
      Grid(gap_pixels, s_.h_line_color, gap_pixels, true);
    } else {
      out_ << "<tr><td height='" << static_cast<int64_t>(s_.max_bar_height) << "' width='"
           << bar_width << "' nowrap>";
      Grid(s_.max_bar_height, s_.h_line_color, l_.step, true);
    }
    out_ << "</td></tr>";
  }

  void WriteSpacerCell() {
    out_ << "<td width='" << static_cast<int64_t>(s_.spacing) << "'>" << kTinyFont << "</td>";
  }

  void WriteBelowZero() {
    const bool negative_scale = l_.bottom < 0 && !s_.stacked;
    const int64_t below = l_.negative_height - l_.step;
    if (s_.add_scale) {
      out_ << "<td nowrap valign=top>";
      if (negative_scale) {
        ScaleLabels(out_, below, l_.step, true, scale_);
      } else {
        out_ << kTinyFont;
      }
      out_ << "</td>"
           << "<td nowrap valign=top>";
      if (negative_scale) {
        Grid(below, s_.scale_color, l_.step, false);
      } else {
        out_ << kTinyFont;
      }
      out_ << "</td>";
    }
    if (l_.bottom >= 0) {
      if (!s_.add_scale) return;
      for (size_t j = 0; j < m_.columns; ++j) {
        out_ << "<td nowrap width=" << l_.group_width
             << " valign=top height=1><table cellSpacing=0 cellPadding=0 border=0 width="
             << l_.group_width << ">"
             << "<tr><td width=\"100%\" style='border-left:1px solid " << s_.scale_color << ";'>"
             << "<font style='font-size:7px;'>&nbsp;</font>"
             << "</td></tr></table></td>";
        if (s_.spacing > 0) WriteSpacerCell();
      }
      return;
    }
    for (size_t j = 0; j < m_.columns; ++j) {
      std::string_view border = s_.add_scale ? LeftBorderColor(j) : std::string_view();
      out_ << "<td nowrap width=" << l_.group_width << " valign=top height='" << below << "' ";
      if (!border.empty()) out_ << "style='border-left:1px solid " << border << ";'";
      out_ << ">"
           << "<table cellSpacing=0 cellPadding=0 border=0 width=" << l_.group_width << ">";
      if (!s_.stacked) out_ << "<tr>";
      for (size_t i = 0; i < m_.rows; ++i) {
        if (s_.stacked) out_ << "<tr>";
        out_ << "<td width='" << static_cast<int64_t>(s_.bar_width) << "' valign=top>";
        if (m_.Value(i, j) < 0) {
          const int64_t h = HeightBelow(i, j);
          BarBlock(out_, h, BarColor(i), Tooltip(i, j));
          if (s_.show_h_lines && l_.step > 0) {
            const int64_t gap = l_.step - (h % l_.step);
            Grid(gap, s_.h_line_color, gap, false);
            Grid(l_.negative_height - (h + gap) - l_.step, s_.h_line_color, l_.step, false);
          }
        } else if (s_.show_h_lines) {
          Grid(below, s_.h_line_color, l_.step, false);
        } else {
          out_ << "&nbsp;";
        }
        out_ << "</td>";
        if (s_.stacked) out_ << "</tr>";
      }
      if (!s_.stacked) out_ << "</tr>";
      out_ << "</table></td>";
      if (s_.spacing > 0) {
        out_ << "<td valign=top height='" << below << "' width='"
             << static_cast<int64_t>(s_.spacing) << "'>";
        if (s_.show_h_lines) {
          Grid(below, s_.h_line_color, l_.step, false);
        } else {
          out_ << kSpacerFont;
        }
        out_ << "</td>";
      }
    }
  }

  void WriteXLabels() {
    if (!s_.x_scale_values || !s_.add_scale) return;
    out_ << "<tr><td><font face='arial,helvetica' size='-3'>&nbsp;</font></td>"
         << "<td style='font-size:1px;'>&nbsp;</td>";
    const auto& labels = *s_.x_scale_values;
    for (size_t j = 0; j < m_.columns && j < labels.size(); ++j) {
      out_ << "<td valign=top height=1><table cellSpacing=0 cellPadding=0 border=0 width="
           << l_.group_width << ">"
           << "<tr><td width=\"100%\" align='" << s_.x_align << "' valign=top >"
           << "<font face='arial,helvetica' size='-3' color='" << s_.scale_color << "'>"
           << labels[j] << "</font>"
           << "</td></tr></table></td>";
      if (s_.spacing > 0) WriteSpacerCell();
    }
    out_ << "</tr>";
  }

  void WriteLegend() {
    if (!s_.legend) return;
    double grand = 0;
    for (size_t i = 0; i < m_.rows; ++i) grand += m_.Value(i, 0);
    out_ << "<td rowspan=3 valign=top>&nbsp;<table cellpadding=1 border=0 ";
    if (s_.add_scale) out_ << " style='border: 1px solid " << s_.v_line_color << "' ";
    out_ << ">";
    const auto& entries = *s_.legend;
    for (size_t i = 0; i < m_.rows && i < entries.size(); ++i) {
      const std::string& colour = BarColor(i);
      out_ << "<tr><td>&nbsp;</td><td><span style='font-size:8pt;background-color:" << colour
           << ";border:1px solid " << s_.scale_color
           << ";'><span style='font-size:8pt;border:1px solid " << colour
           << ";height:99%;'>&nbsp;&nbsp;&nbsp;&nbsp;</span></span></td>"
           << "<td><font face='arial,helvetica' size='-3' color='" << s_.scale_color << "'>"
           << entries[i];
      if (m_.columns == 1) {
        out_ << " <i>(";
        if (s_.relative) {
          out_ << static_cast<int64_t>(m_.Value(i, 0)) << "%";
        } else {
          // A first column summing to 0 has no meaningful shares; show 0% rather than fail.
          double share = grand == 0 ? 0.0 : m_.Value(i, 0) / grand * 100.0;
          // Adding 0.0 turns a negative zero (a tiny negative share) into "0", not "-0".
          share = RoundHalfEven(share * 100.0) / 100.0 + 0.0;
          out_ << m_.Text(i, 0) << " - " << FormatReal(share) << "%";
        }
        out_ << ")</i>";
      }
      out_ << "</font></td></tr>";
    }
    out_ << "</table></td>";
  }

  GraphState& s_;
  const Matrix& m_;
  const Layout& l_;
  HtmlOut out_;
  ScaleStyle scale_;
  std::string tooltip_;
};

void ApplyRelative(Matrix& matrix) {
  for (size_t j = 0; j < matrix.columns; ++j) {
    double total = 0;
    for (size_t i = 0; i < matrix.rows; ++i) {
      if (matrix.Value(i, j) >= 0) total += matrix.Value(i, j);
    }
    // Only a column with nothing to share needs a stand-in total; a total between 0 and 1
    // (fractions such as 0.2 and 0.3) still divides into true shares.
    if (total <= 0) total = 1;
    int64_t sum = 0;
    for (size_t i = 0; i < matrix.rows; ++i) {
      double& value = matrix.Value(i, j);
      value = value < 0 ? 0.0 : static_cast<double>(Nearest(value / total * 100.0));
      sum += static_cast<int64_t>(value);
    }
    // The last row absorbs the rounding so that every column adds up to exactly 100. When the
    // shares were rounded up by more than the last row holds, the rest comes off the rows above
    // it, last first, so that no share drops below 0.
    int64_t excess = sum - 100;
    double& last = matrix.Value(matrix.rows - 1, j);
    if (excess < 0) last -= static_cast<double>(excess);
    for (size_t i = matrix.rows; excess > 0 && i > 0; --i) {
      double& value = matrix.Value(i - 1, j);
      const int64_t taken = std::min(excess, static_cast<int64_t>(value));
      value -= static_cast<double>(taken);
      excess -= taken;
    }
  }
}

}  // namespace

HtmlOut& HtmlOut::operator<<(std::string_view text) {
  buffer_.Append(text);
  return *this;
}

HtmlOut& HtmlOut::operator<<(int64_t number) {
  char digits[24];
  auto result = std::to_chars(digits, digits + sizeof digits, number);
  buffer_.Append(std::string_view(digits, static_cast<size_t>(result.ptr - digits)));
  return *this;
}

void BarBlock(HtmlOut& out, int64_t height, std::string_view colour, std::string_view title) {
  if (height <= 0) return;
  out << "<table height='" << height << "' cellspacing=0 cellpadding=0 border=0 width='100%' >"
      << "<tr><td width='100%' bgcolor='" << colour << "' style='background-color:" << colour
      << ";border:1px solid " << colour << ";' title=\"" << title << "\">"
      << "<font style='font-size:1px;'>&nbsp;</font>"
      << "</td></tr></table>";
}

void GridBlock(HtmlOut& out, int64_t height, std::string_view colour, int64_t step, bool at_top,
               std::string_view h_line_color) {
  if (height <= 0 || step <= 0 || height / static_cast<double>(step) > 100) return;
  const std::string_view style = colour == h_line_color ? "dotted" : "solid";
  const std::string_view side = at_top ? "top" : "bottom";
  if (height < 3) {
    if (height == 2) {
      out << "<div style='font-size:1px;border-" << side << ":1px " << style << " " << colour
          << ";'>&nbsp;</div>";
    } else {
      out << "<div style='font-size:1px;'>&nbsp;</div>";
    }
    return;
  }
  const int64_t line_title = height % step == 0 ? height : height - step;
  out << "<table height='" << height << "' cellspacing=0 cellpadding=0 border='0' width='100%' >";
  for (int64_t row = height / step; row > 0; --row) {
    out << "<tr><td title='" << line_title << "' width='100%' height='" << step
        << "' style='font-size:1px;border-" << side << ":1px " << style << " " << colour << ";'>"
        << "&nbsp;"
        << "</td></tr>";
  }
  out << "</table>";
}

void ScaleLabels(HtmlOut& out, int64_t height, int64_t step, bool negative,
                 const ScaleStyle& style) {
  if (height < 1 || step < 1 || height / static_cast<double>(step) > 100) return;
  out << "<table height='" << height << "' cellspacing=0 cellpadding=0 border=0 width='100%' >";
  int64_t label = negative ? style.scale_size
                           : Nearest(static_cast<double>(height) / static_cast<double>(step) *
                                     static_cast<double>(style.scale_size)) -
                                 style.scale_size;
  for (int64_t row = height / step; row > 0; --row) {
    out << "<tr><td align=right valign=bottom width='100%' height='" << step
        << "'><font face='arial,helvetica' size='-3' color='" << style.scale_color << "'><i>";
    if (negative) out << "-";
    out << label;
    if (style.relative) out << "%";
    out << "</i></font></td></tr>";
    label += negative ? style.scale_size : -style.scale_size;
  }
  out << "</table>";
}

std::string StripTags(std::string_view text) {
  std::string result;
  AppendText(result, text, true, false);
  return result;
}

int64_t TopOf(int64_t maximum) {
  const int64_t base = LeadingPowerOfTen(maximum);
  return maximum + base - (maximum % base);
}

int64_t AutomaticScaleSize(int64_t top, bool relative) {
  if (relative) return 25;
  int64_t size = Nearest(static_cast<double>(LeadingPowerOfTen(top)) / 2.0);
  if (size == 0) {
    // A top below 10 has no half power of ten to start from: use 2 units when that still gives
    // three or more lines, else 1, so the scale always divides the top.
    return top >= 6 && top % 2 == 0 ? 2 : 1;
  }
  const auto steps = [&] { return static_cast<double>(top) / static_cast<double>(size); };
  if (steps() < 4) size = Nearest(static_cast<double>(size) / 2.0);
  if (steps() > 9 && top % 3 == 0) size *= 3;
  if (steps() > 7) size *= 2;
  return size;
}

void RenderGraph(GraphState& s) {
  if (s.row_data.empty()) {
    throw Error(ErrorNumber::kInvalidArgument,
                "The graph has no rows: add rows with AddRow or AddRowData before drawing it.",
                "SimpleGraph");
  }
  if (s.relative) s.stacked = true;
  if (!s.legend && utf8::Count(s.row_names) > 3) s.legend = SplitText(s.row_names, "|||");

  Matrix matrix = BuildMatrix(s.row_data);
  const double rows = static_cast<double>(matrix.rows);

  if (s.bar_width < 2) s.bar_width_given = false;
  if (!s.bar_width_given) {
    if (s.stacked) {
      // Twelve or more stacked series would round to a zero width; keep the narrowest
      // width the rule otherwise gives so the bars stay visible.
      s.bar_width = static_cast<int32_t>(std::max<int64_t>(Nearest(6.0 / rows) * 50, 50));
    } else {
      int64_t width = Nearest(30.0 / (rows * static_cast<double>(matrix.columns))) * 15;
      if (width < 2) {
        width = 2;
        s.show_h_lines = false;
      } else if (width > 20) {
        width = 20;
      }
      s.bar_width = static_cast<int32_t>(width);
    }
  }

  Layout layout;
  if (s.relative) {
    ApplyRelative(matrix);
    layout.top = 100;
    layout.bottom = 0;
  } else {
    int64_t maximum = Nearest(matrix.Value(0, 0));
    layout.bottom = maximum;
    if (!s.stacked) {
      for (double value : matrix.values) {
        const int64_t rounded = Nearest(value);
        maximum = std::max(maximum, rounded);
        layout.bottom = std::min(layout.bottom, rounded);
      }
    } else {
      layout.column_totals.assign(matrix.columns, 0.0);
      for (size_t i = 0; i < matrix.rows; ++i) {
        for (size_t j = 0; j < matrix.columns; ++j) {
          if (matrix.Value(i, j) > -1) layout.column_totals[j] += matrix.Value(i, j);
        }
      }
      for (double total : layout.column_totals) maximum = std::max(maximum, Nearest(total));
    }
    // Bars grow from the zero line, so the plot top is never below it (all-negative data).
    layout.top = TopOf(std::max<int64_t>(maximum, 0));
  }

  if (s.scale_size_given) {
    bool keep = s.scale_size > 0;
    if (keep && s.relative) {
      keep = s.scale_size <= 50;
    } else if (keep) {
      const double steps = static_cast<double>(layout.top) / s.scale_size;
      keep = steps >= 2 && steps <= 10;
    }
    if (!keep) s.scale_size_given = false;
  }
  if (!s.scale_size_given) {
    const int64_t size = AutomaticScaleSize(layout.top, s.relative);
    if (size > INT32_MAX) throw Error(ErrorNumber::kOverflow, "Overflow", "SimpleGraph");
    s.scale_size = static_cast<int32_t>(size);
  }

  layout.ratio = static_cast<double>(s.max_bar_height) / static_cast<double>(layout.top);
  layout.step = Nearest(s.scale_size * layout.ratio);
  const int64_t depth = Abs(layout.bottom);
  layout.negative_height = Nearest(static_cast<double>(depth + 100 - (depth % 100)) * layout.ratio);
  layout.group_width =
      s.stacked ? int64_t{s.bar_width} : int64_t{s.bar_width} * static_cast<int64_t>(matrix.rows);
  layout.slot_count = static_cast<int64_t>(matrix.columns) * (s.spacing > 0 ? 2 : 1);

  DocumentWriter(s, matrix, layout).Write();
}

}  // namespace quenmark::graph
