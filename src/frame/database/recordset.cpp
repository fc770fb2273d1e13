// Read-only recordsets over a driver cursor, with client-side Sort and Filter.
//
// Rows are fetched from the cursor only as far as they are walked, into one flat vector (no
// allocation per row). Sort, Filter and GetRows fetch the rest first and then walk a view: the
// indices of the rows that pass the filter, in sort order.
#include <algorithm>
#include <cctype>
#include <numeric>
#include <optional>

#include "frame/database/drivers.h"
#include "frame/database/filter_expression.h"
#include "frame/utf8.h"
#include "quenmark/database.h"

namespace quenmark {

namespace {

struct SortKey {
  int field = 0;
  bool descending = false;
};

}  // namespace

struct Recordset::State {
  std::unique_ptr<Cursor> cursor;
  std::vector<FieldInfo> fields;
  int64_t max_records = 0;
  bool exhausted = false;
  bool closed = false;
  Status fetch_status = Status::Ok();

  std::vector<Variant> values;  // rows * fields, row-major
  size_t row_count = 0;
  std::vector<Variant> scratch;

  bool has_view = false;
  std::vector<size_t> view;
  std::optional<db::FilterExpression> filter;
  std::vector<SortKey> sort;
  size_t position = 0;  // into the view, or the row number when there is none

  size_t Width() const { return fields.size(); }

  // Fetches one more row; false at the end (or at MaxRecords, or on a fetch error).
  bool FetchOne() {
    if (exhausted || !cursor) return false;
    if (max_records > 0 && row_count >= static_cast<size_t>(max_records)) {
      Finish();
      return false;
    }
    scratch.assign(Width(), Variant());
    if (!cursor->Next(scratch)) {
      Finish();
      return false;
    }
    scratch.resize(Width());
    for (Variant& v : scratch) values.push_back(std::move(v));
    ++row_count;
    return true;
  }

  void FetchAll() {
    while (FetchOne()) {
    }
  }

  // The cursor is done: keep its status and let the driver release its statement early.
  void Finish() {
    exhausted = true;
    if (cursor) {
      fetch_status = cursor->status();
      cursor.reset();
    }
  }

  void RebuildView() {
    FetchAll();
    view.clear();
    if (!filter && sort.empty()) {
      has_view = false;
      position = 0;
      return;
    }
    has_view = true;
    view.reserve(row_count);
    for (size_t r = 0; r < row_count; ++r) {
      if (!filter || filter->Matches(&values[r * Width()])) view.push_back(r);
    }
    if (!sort.empty()) {
      std::stable_sort(view.begin(), view.end(), [this](size_t a, size_t b) {
        for (const SortKey& key : sort) {
          const Variant& x = values[a * Width() + static_cast<size_t>(key.field)];
          const Variant& y = values[b * Width() + static_cast<size_t>(key.field)];
          int c = db::CompareValues(x, y, fields[static_cast<size_t>(key.field)].type);
          if (c != 0) return key.descending ? c > 0 : c < 0;
        }
        return false;
      });
    }
    position = 0;
  }

  bool AtEnd() {
    if (closed) return true;
    if (has_view) return position >= view.size();
    while (position >= row_count) {
      if (!FetchOne()) return true;
    }
    return false;
  }

  // Index of the current row in `values` (caller checked AtEnd).
  size_t CurrentRow() const { return has_view ? view[position] : position; }

  size_t RemainingRows() {
    if (!has_view) FetchAll();
    size_t total = has_view ? view.size() : row_count;
    return position < total ? total - position : 0;
  }
};

Recordset::Recordset(std::unique_ptr<Cursor> cursor, int64_t max_records)
    : state_(std::make_unique<State>()) {
  state_->fields = cursor ? cursor->Fields() : std::vector<FieldInfo>{};
  state_->cursor = std::move(cursor);
  state_->max_records = max_records;
  if (!state_->cursor) state_->exhausted = true;
}

Recordset::~Recordset() = default;

int Recordset::FieldCount() const { return static_cast<int>(state_->fields.size()); }

const FieldInfo& Recordset::Field(int index) const {
  if (index < 0 || index >= FieldCount()) {
    throw Error(ErrorNumber::kInvalidArgument,
                "Field index " + std::to_string(index) + " is out of range (the recordset has " +
                    std::to_string(FieldCount()) + " fields).",
                "Quenmark.Recordset");
  }
  return state_->fields[static_cast<size_t>(index)];
}

int Recordset::FieldIndex(std::string_view name) const {
  for (size_t i = 0; i < state_->fields.size(); ++i) {
    if (EqualsIgnoreCase(state_->fields[i].name, name)) return static_cast<int>(i);
  }
  return -1;
}

const std::vector<FieldInfo>& Recordset::Fields() const { return state_->fields; }

bool Recordset::Eof() { return state_->AtEnd(); }

void Recordset::MoveNext() {
  if (!state_->AtEnd()) ++state_->position;
}

const Variant& Recordset::Value(int index) {
  const FieldInfo& field = Field(index);
  (void)field;
  if (state_->AtEnd()) {
    throw Error(ErrorNumber::kGeneric,
                "There is no current record: the recordset is at its end or closed.",
                "Quenmark.Recordset");
  }
  return state_->values[state_->CurrentRow() * state_->Width() + static_cast<size_t>(index)];
}

int64_t Recordset::ActualSize(int index) {
  const Variant& value = Value(index);
  switch (value.kind()) {
    case Variant::Kind::kEmpty:
    case Variant::Kind::kNull: return 0;
    case Variant::Kind::kText: return static_cast<int64_t>(utf8::Count(value.AsText()));
    case Variant::Kind::kBytes: return static_cast<int64_t>(value.AsBytes().data.size());
    default: {
      int64_t fixed = db::FixedSizeOf(state_->fields[static_cast<size_t>(index)].type);
      return fixed > 0 ? fixed : static_cast<int64_t>(utf8::Count(value.ToText()));
    }
  }
}

std::vector<std::vector<Variant>> Recordset::GetRows() {
  State& s = *state_;
  std::vector<std::vector<Variant>> columns(s.Width());
  if (s.closed) return columns;
  size_t remaining = s.RemainingRows();
  for (auto& column : columns) column.reserve(remaining);
  while (!s.AtEnd()) {
    const Variant* row = &s.values[s.CurrentRow() * s.Width()];
    for (size_t f = 0; f < s.Width(); ++f) columns[f].push_back(row[f]);
    ++s.position;
  }
  return columns;
}

std::string Recordset::GetString(std::string_view column_delimiter, std::string_view row_delimiter,
                                 std::string_view null_text) {
  State& s = *state_;
  std::string out;
  while (!s.AtEnd()) {
    const Variant* row = &s.values[s.CurrentRow() * s.Width()];
    for (size_t f = 0; f < s.Width(); ++f) {
      if (f > 0) out.append(column_delimiter);
      if (row[f].IsMissing()) {
        out.append(null_text);
      } else if (row[f].kind() == Variant::Kind::kText) {
        out.append(row[f].AsText());
      } else {
        out.append(row[f].ToText());
      }
    }
    out.append(row_delimiter);
    ++s.position;
  }
  return out;
}

Status Recordset::Sort(std::string_view keys) {
  State& s = *state_;
  if (s.closed) return Status::Failure("The recordset is closed.");
  std::vector<SortKey> parsed;
  size_t start = 0;
  while (start <= keys.size()) {
    size_t comma = keys.find(',', start);
    if (comma == std::string_view::npos) comma = keys.size();
    std::string_view item = Trim(keys.substr(start, comma - start));
    start = comma + 1;
    if (item.empty()) continue;
    SortKey key;
    std::string upper = ToUpperAscii(item);
    auto strip_suffix = [&](std::string_view word) {
      if (upper.size() > word.size() + 1 &&
          upper.compare(upper.size() - word.size(), word.size(), word) == 0 &&
          std::isspace(static_cast<unsigned char>(upper[upper.size() - word.size() - 1]))) {
        item = Trim(item.substr(0, item.size() - word.size()));
        return true;
      }
      return false;
    };
    if (strip_suffix("DESC")) {
      key.descending = true;
    } else {
      strip_suffix("ASC");
    }
    if (item.size() >= 2 && ((item.front() == '[' && item.back() == ']') ||
                             (item.front() == '`' && item.back() == '`') ||
                             (item.front() == '"' && item.back() == '"'))) {
      item = item.substr(1, item.size() - 2);
    }
    key.field = FieldIndex(item);
    if (key.field < 0) {
      return Status::Failure("Invalid sort: the recordset has no field \"" + std::string(item) + "\".");
    }
    parsed.push_back(key);
  }
  s.sort = std::move(parsed);
  s.RebuildView();
  return s.fetch_status;
}

Status Recordset::Filter(std::string_view expression) {
  State& s = *state_;
  if (s.closed) return Status::Failure("The recordset is closed.");
  if (Trim(expression).empty()) {
    s.filter.reset();
  } else {
    auto parsed = db::FilterExpression::Parse(expression, s.fields);
    if (!parsed.ok()) return parsed.status();
    s.filter = std::move(parsed.value());
  }
  s.RebuildView();
  return s.fetch_status;
}

Status Recordset::status() const {
  if (state_->cursor) return state_->cursor->status();
  return state_->fetch_status;
}

void Recordset::Close() {
  State& s = *state_;
  s.closed = true;
  s.cursor.reset();
  s.exhausted = true;
  s.values.clear();
  s.values.shrink_to_fit();
  s.view.clear();
  s.row_count = 0;
}

}  // namespace quenmark
