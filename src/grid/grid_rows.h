#pragma once
// The rows a grid keeps of its result. The result is read forward once through the recordset;
// the grid keeps the rows it shows (the page, and the first PageSize + 1 rows in case the whole
// result turns out to fit on one page), the values a graph draws from every row, and whatever a
// row hook asks for; every other row is only counted, without converting its values where the
// driver allows. Memory therefore follows the page, not the result.
//
// Contract: rows are numbered by their 0-based position among the rows that pass the filter.
// `ReadGridRows` may be given a first position above 0 when the database already skipped the
// rows before it (LIMIT/OFFSET).

#include <cstddef>
#include <functional>
#include <vector>

#include "quenmark/database.h"
#include "quenmark/variant.h"

namespace quenmark {

namespace db {
class FilterExpression;
}

class GridRows {
 public:
  /// Called with every row of the result in order; returning true keeps the row as well. The
  /// seam for features that need every row (sums, groups of rows).
  using RowHook = std::function<bool(size_t row, const std::vector<Variant>& values)>;

  explicit GridRows(size_t width = 0) : width_(width) {}

  /// Forgets every row and what to keep, for a result `width` columns wide; the row hook stays.
  void Reset(size_t width);
  /// Keeps the rows at positions [first, first + count) when they are read.
  void Keep(size_t first, size_t count);
  /// Keeps every row.
  void KeepAll() { keep_all_ = true; }
  /// Keeps the values of `columns` for every row, column by column (a graph's values).
  void KeepColumnsOfEveryRow(const std::vector<size_t>& columns);
  void SetRowHook(RowHook hook) { hook_ = std::move(hook); }
  bool HasRowHook() const { return static_cast<bool>(hook_); }

  /// Whether the reader must convert the values of the row at `row`.
  bool WantsValues(size_t row) const;
  /// Takes the values of the row at `row` (moved from when kept).
  void Take(size_t row, std::vector<Variant>& values);

  /// Rows of the result.
  size_t RowCount() const { return row_count_; }
  void SetRowCount(size_t rows) { row_count_ = rows; }
  /// The values of a kept row, by column; null for a row that was not kept.
  const Variant* Row(size_t row) const;
  /// Value of `column` in a kept row; an empty value for a row that was not kept.
  const Variant& Value(size_t column, size_t row) const;
  /// The kept columns of every row as columns[column][row]; other columns are empty.
  const std::vector<std::vector<Variant>>& EveryRowColumns() const { return every_row_; }

 private:
  bool KeepsRow(size_t row) const;

  struct Range {
    size_t first = 0;
    size_t count = 0;
  };
  size_t width_;
  bool keep_all_ = false;
  std::vector<Range> ranges_;
  std::vector<size_t> every_row_columns_;
  std::vector<std::vector<Variant>> every_row_;
  RowHook hook_;
  size_t row_count_ = 0;
  // Kept rows in reading order: their positions, and their values one row after another.
  std::vector<size_t> kept_rows_;
  std::vector<Variant> kept_values_;
};

/// Reads the rest of `recordset` into `rows`, the first row read being at position `first_row`.
/// Rows that fail `filter` (when given) are left out and not numbered. At most `limit` rows are
/// read when `limit` is above 0. Returns the number of rows read that passed the filter; a fetch
/// error is left in the recordset's status().
size_t ReadGridRows(Recordset& recordset, const db::FilterExpression* filter, size_t first_row,
                    size_t limit, GridRows& rows);

}  // namespace quenmark
