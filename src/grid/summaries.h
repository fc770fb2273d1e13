#pragma once
// Totals and averages of a grid: the row total and average cells at the right of each row, the
// Average and Total lines below the rows of the page, and the summary block of aggregate values
// that the database computes over the whole statement. The report manager switches them on;
// page scripts cannot.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "grid/column_descriptors.h"
#include "grid/decimal_sum.h"

namespace quenmark {

class Connection;
class Variant;

/// The four summary switches of a grid (all off by default).
struct SummarySwitches {
  bool row_total = false;
  bool row_average = false;
  bool column_total = false;
  bool column_average = false;

  bool RowSummaries() const { return row_total || row_average; }
  bool ColumnSummaries() const { return column_total || column_average; }
};

/// One usable item of a summary item list.
struct SummaryItem {
  std::string field;     ///< the field as written in the item
  std::string function;  ///< upper case: MIN, MAX, AVG, SUM, COUNT, VAR or STDEV
  std::string label;     ///< the item's label, or the function as written + " " + the field
};

/// Splits a list of items field "__" function "__" label, separated by ",". Items
/// whose function is not one of the seven aggregate names (as a whole word, any case) or whose
/// field is empty are dropped. A list shorter than 3 characters has no items.
std::vector<SummaryItem> ParseSummaryItems(std::string_view items_text);

/// "SELECT " + function + "(" + quoted_field + ") " + `command` from its first FROM up to the
/// first ORDER BY after it (both as keywords, ignoring case), so the aggregate covers every row
/// of the statement in any order. Empty when `command` has no FROM.
std::string AggregateStatement(std::string_view command, std::string_view function,
                               std::string_view quoted_field);

/// A rounded plain number ("1234.5") in a number-format entry of the grid: "1" number, "2"
/// percent, "3" currency, followed by the count of decimals. An empty or unknown entry gives the
/// plain number as it is.
std::string FormatSummaryNumber(std::string_view format_entry, std::string_view plain);

/// Finds the number-format entry of a result column (empty when it has none).
using NumberFormatOf = std::function<std::string(size_t column)>;

/// The row and column summaries of one page of a grid in the row layout: call `AppendHeaderCells`
/// at the end of the header row, `AddRow` at the end of each data row of the page, then
/// `AppendFooterRows` after the last one.
class PageSummaries {
 public:
  /// `visible` are the positions of the shown columns, in order.
  PageSummaries(const SummarySwitches& switches, const std::vector<ColumnDescriptor>& columns,
                const std::vector<size_t>& visible, const NumberFormatOf& number_format);

  bool RowSummaries() const { return switches_.RowSummaries(); }
  bool ColumnSummaries() const { return switches_.ColumnSummaries(); }

  /// "<th><span" + class + style + ">Average</span></th>" and the same for "Total", as switched.
  void AppendHeaderCells(std::string& out, std::string_view header_link_class,
                         std::string_view header_text_style) const;

  /// Counts one row of the page into the column sums and appends its row average and total
  /// cells. `value_of(column)` gives the row's value of a result column.
  template <typename ValueOf>
  void AddRow(std::string& out, ValueOf&& value_of) {
    row_values_.clear();
    for (size_t column : visible_) row_values_.push_back(&value_of(column));
    AddRowValues(out);
  }

  /// The Average and Total lines, as switched. `row_class` and `row_style` are the fragments of
  /// the row index that would come next; the label spans the row-number column too when
  /// `add_row_numbers` is on.
  void AppendFooterRows(std::string& out, bool add_row_numbers, std::string_view row_class,
                        std::string_view row_style) const;

 private:
  void AddRowValues(std::string& out);

  SummarySwitches switches_;
  std::vector<size_t> visible_;
  std::vector<bool> row_summed_;  // per visible column: added into the row total
  size_t row_summed_count_ = 0;
  std::string row_format_;           // number format of the row summary cells
  std::vector<bool> footer_summed_;  // per visible column: its footer holds a value
  std::vector<std::string> footer_formats_;
  std::vector<DecimalSum> column_sums_;
  DecimalSum row_total_;   // the current row's, reused
  DecimalSum row_totals_;  // every row total of the page
  uint32_t rows_ = 0;
  std::vector<const Variant*> row_values_;  // reused for every row
};

/// What the summary block needs from the grid.
struct SummaryBlockInput {
  std::string_view items_text;
  std::string_view command;  ///< the statement the grid shows
  int16_t database_kind = 0;
  Connection& connection;
  const std::vector<ColumnDescriptor>& columns;
  const NumberFormatOf& number_format;
  std::string_view table_width;
  std::string_view footer_class;
  std::string_view footer_style;
  std::string_view summary_label;  ///< summarylabeltext
};

/// The summary block: one line per usable item with its label and the aggregate the database
/// computes. Items whose field is not a result column (nor "*" for COUNT) are skipped, and the
/// field always goes through QuoteName. Numbers are rounded to 2 decimals and take the field's
/// number format; other values (a MIN of a text column) are shown as escaped text. Writes
/// nothing when the item list is shorter than 3 characters.
void AppendSummaryBlock(const SummaryBlockInput& input, std::string& out);

}  // namespace quenmark
