#include "grid/grid_rows.h"

#include <algorithm>

#include "frame/database/filter_expression.h"

namespace quenmark {

void GridRows::Reset(size_t width) {
  width_ = width;
  keep_all_ = false;
  ranges_.clear();
  every_row_columns_.clear();
  every_row_.clear();
  row_count_ = 0;
  kept_rows_.clear();
  kept_values_.clear();
}

void GridRows::Keep(size_t first, size_t count) {
  if (count > 0) ranges_.push_back({first, count});
}

void GridRows::KeepColumnsOfEveryRow(const std::vector<size_t>& columns) {
  every_row_columns_ = columns;
  every_row_.assign(width_, {});
}

bool GridRows::KeepsRow(size_t row) const {
  if (keep_all_) return true;
  return std::any_of(ranges_.begin(), ranges_.end(), [row](const Range& range) {
    return row >= range.first && row - range.first < range.count;
  });
}

bool GridRows::WantsValues(size_t row) const {
  return hook_ || !every_row_columns_.empty() || KeepsRow(row);
}

void GridRows::Take(size_t row, std::vector<Variant>& values) {
  for (size_t column : every_row_columns_) {
    if (column < values.size()) every_row_[column].push_back(values[column]);
  }
  bool keep = KeepsRow(row);
  if (hook_ && hook_(row, values)) keep = true;
  if (!keep) return;
  kept_rows_.push_back(row);
  for (size_t c = 0; c < width_; ++c) {
    kept_values_.push_back(c < values.size() ? std::move(values[c]) : Variant());
  }
}

const Variant* GridRows::Row(size_t row) const {
  // Rows are kept in reading order, so their positions are ascending.
  const auto it = std::lower_bound(kept_rows_.begin(), kept_rows_.end(), row);
  if (it == kept_rows_.end() || *it != row) return nullptr;
  return kept_values_.data() + static_cast<size_t>(it - kept_rows_.begin()) * width_;
}

const Variant& GridRows::Value(size_t column, size_t row) const {
  static const Variant kMissing;
  const Variant* values = Row(row);
  return values != nullptr && column < width_ ? values[column] : kMissing;
}

size_t ReadGridRows(Recordset& recordset, const db::FilterExpression* filter, size_t first_row,
                    size_t limit, GridRows& rows) {
  std::vector<Variant> values;
  size_t read = 0;
  size_t position = first_row;
  while (limit == 0 || read < limit) {
    if (filter == nullptr && !rows.WantsValues(position)) {
      // Counted, not converted.
      if (!recordset.SkipNext()) break;
    } else {
      if (!recordset.ReadNext(values)) break;
      if (filter != nullptr && !filter->Matches(values.data())) continue;
      if (rows.WantsValues(position)) rows.Take(position, values);
    }
    ++read;
    ++position;
  }
  return read;
}

}  // namespace quenmark
