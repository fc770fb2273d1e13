#pragma once
// Turns one value of a result into the HTML of its cell, as the grid's column formats say.
//
// The format of each column is decided once, when the formatter is made; the first of these
// that has an entry for the column's key decides: date format, number format (number, percent,
// currency), template (link or replacement), boolean texts, regular expression. A column with
// none shows its value as it is, formatted with the default date format when that is set and
// the value is a date, broken once with "<br>" when it is longer than 100 characters, or with
// each CR LF turned into "<br>" in the columnar layout. An empty or null value writes nothing.
//
// Escaping: with `encode_values` (the default), every database value that reaches the cell is
// HTML-escaped: the value itself, the other columns a template pulls in, and the results of
// number, date and regular-expression formats. What the page author wrote (templates, boolean
// texts, replacement texts, date patterns) and the "<br>" the grid inserts stay markup. Template
// codes ([b], [eval], #TEMP#, {{column}}, #MONEY# ...) are read from the author's template only,
// so a value can never bring in markup or script through them.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "grid/column_descriptors.h"
#include "quenmark/variant.h"

namespace quenmark {

class ColumnFormats;

/// The values of one result row, by column position: a row stored as one run of values (as the
/// grid keeps its rows), or a row of values stored column by column.
class RowView {
 public:
  RowView(const Variant* values, size_t count) : values_(values), size_(count) {}
  RowView(const std::vector<std::vector<Variant>>& columns, size_t row)
      : columns_(&columns), row_(row), size_(columns.size()) {}
  const Variant& operator[](size_t column) const {
    return values_ != nullptr ? values_[column] : (*columns_)[column][row_];
  }
  size_t size() const { return size_; }

 private:
  const Variant* values_ = nullptr;
  const std::vector<std::vector<Variant>>* columns_ = nullptr;
  size_t row_ = 0;
  size_t size_ = 0;
};

struct CellFormatterOptions {
  bool encode_values = true;
  bool columnar = false;
  /// The report manager's default date format (host date patterns); empty for none.
  std::string default_date_format;
};

class CellFormatter {
 public:
  /// Decides the format of every column. Raises Error when a regular expression of the page
  /// does not compile (the page author's mistake, reported with the column's key).
  CellFormatter(const ColumnFormats& formats, const std::vector<ColumnDescriptor>& columns,
                CellFormatterOptions options);
  ~CellFormatter();
  CellFormatter(const CellFormatter&) = delete;
  CellFormatter& operator=(const CellFormatter&) = delete;

  /// Appends the cell of `column` in `row`.
  void AppendCell(std::string& out, const RowView& row, size_t column) const {
    AppendValue(out, row[column], column, row);
  }
  /// Appends `value` formatted with the format of column `format_column`; templates pull other
  /// columns from `row` (summary columns use their source column's format this way).
  void AppendValue(std::string& out, const Variant& value, size_t format_column,
                   const RowView& row) const;

 private:
  struct ColumnFormat;
  void AppendEscaped(std::string& out, std::string_view text) const;
  void AppendNumber(std::string& out, std::string_view text, const Variant& value, char style,
                    int decimals) const;
  void AppendPlain(std::string& out, std::string_view text, const Variant& value) const;

  std::vector<ColumnFormat> formats_;
  CellFormatterOptions options_;
};

}  // namespace quenmark
