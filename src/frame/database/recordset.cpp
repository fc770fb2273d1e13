// Read-only recordsets over a driver cursor, with client-side Sort and Filter.
//
// Rows are fetched from the cursor only as far as they are walked, into blocks of rows (no
// allocation per row, and no copying of the stored rows as the result grows). Sort, Filter and
// GetRows fetch the rest first and then walk a view: the indices of the rows that pass the
// filter, in sort order.
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

// Fetched rows, each one contiguous run of values, in blocks of a fixed number of rows. Stored
// rows never move: growing the store allocates one more block instead of copying all it holds.
class RowStore {
 public:
  explicit RowStore(size_t width = 0) : width_(width) {}

  size_t size() const { return rows_; }
  const Variant* Row(size_t row) const {
    return blocks_[row >> kBlockShift].get() + (row & kBlockMask) * width_;
  }
  Variant* Row(size_t row) {
    return blocks_[row >> kBlockShift].get() + (row & kBlockMask) * width_;
  }

  // Moves the first `width` values of `row` in as the next row.
  void Append(std::vector<Variant>& row) {
    if ((rows_ >> kBlockShift) == blocks_.size()) {
      blocks_.push_back(std::make_unique<Variant[]>(kBlockRows * width_));
    }
    Variant* out = Row(rows_);
    for (size_t f = 0; f < width_; ++f) out[f] = std::move(row[f]);
    ++rows_;
  }

  void Clear() {
    blocks_.clear();
    blocks_.shrink_to_fit();
    rows_ = 0;
  }

 private:
  static constexpr size_t kBlockShift = 8;
  static constexpr size_t kBlockRows = size_t{1} << kBlockShift;
  static constexpr size_t kBlockMask = kBlockRows - 1;

  size_t width_;
  size_t rows_ = 0;
  std::vector<std::unique_ptr<Variant[]>> blocks_;
};

// One sort key's values for the rows being sorted, laid out compactly so that the comparisons of
// a large sort stay in cache instead of reaching into the whole row store: a number for numeric,
// date and boolean fields, a collation key for text. A value with neither (text in a numeric
// column, a text without a key) is compared by CompareValues itself, so the order stays exactly
// that of CompareValues.
class SortColumn {
 public:
  SortColumn(const RowStore& store, const std::vector<size_t>& rows, int field, int type_code)
      : store_(store),
        rows_(rows),
        field_(static_cast<size_t>(field)),
        type_code_(type_code),
        value_class_(db::ClassOfType(type_code)) {
    const size_t count = rows.size();
    slots_.resize(count, Slot::kGeneral);
    text_ = value_class_ == db::ValueClass::kText;
    if (text_) {
      key_ends_.resize(count, 0);
    } else {
      numbers_.resize(count, 0);
    }
    std::string buffer;
    for (size_t i = 0; i < count; ++i) {
      const Variant& value = Value(i);
      if (value.IsMissing()) {
        slots_[i] = Slot::kMissing;
      } else if (text_) {
        std::string_view text;
        if (value.kind() == Variant::Kind::kText) {
          text = value.AsText();
        } else {
          buffer = value.ToText();
          text = buffer;
        }
        if (db::AppendCollationKey(text, keys_)) slots_[i] = Slot::kReady;
      } else if (db::OrderingNumber(value, value_class_, numbers_[i])) {
        slots_[i] = Slot::kReady;
      }
      if (text_) key_ends_[i] = keys_.size();
    }
  }

  // Orders the rows at positions a and b of the sorted rows: <0, 0 or >0.
  int Compare(size_t a, size_t b) const {
    const Slot x = slots_[a], y = slots_[b];
    if (x == Slot::kMissing || y == Slot::kMissing) {
      return x == y ? 0 : (x == Slot::kMissing ? -1 : 1);
    }
    if (x == Slot::kReady && y == Slot::kReady) {
      if (text_) return Key(a).compare(Key(b));
      return numbers_[a] < numbers_[b] ? -1 : (numbers_[a] > numbers_[b] ? 1 : 0);
    }
    return db::CompareValues(Value(a), Value(b), type_code_);
  }

 private:
  enum class Slot : uint8_t { kMissing, kReady, kGeneral };

  const Variant& Value(size_t position) const { return store_.Row(rows_[position])[field_]; }
  std::string_view Key(size_t position) const {
    const size_t begin = position == 0 ? 0 : key_ends_[position - 1];
    return std::string_view(keys_).substr(begin, key_ends_[position] - begin);
  }

  const RowStore& store_;
  const std::vector<size_t>& rows_;
  size_t field_;
  int type_code_;
  db::ValueClass value_class_;
  bool text_ = false;
  std::vector<Slot> slots_;
  std::vector<double> numbers_;
  std::string keys_;
  std::vector<size_t> key_ends_;
};

}  // namespace

struct Recordset::State {
  std::unique_ptr<Cursor> cursor;
  std::vector<FieldInfo> fields;
  int64_t max_records = 0;
  bool exhausted = false;
  bool closed = false;
  Status fetch_status = Status::Ok();

  RowStore rows;
  std::vector<Variant> scratch;

  bool has_view = false;
  std::vector<size_t> view;
  std::optional<db::FilterExpression> filter;
  std::vector<SortKey> sort;
  size_t position = 0;  // into the view, or the row number when there is none
  size_t streamed = 0;  // rows handed out by ReadNext/SkipNext without being stored

  size_t Width() const { return fields.size(); }

  // Fetches one more row; false at the end (or at MaxRecords, or on a fetch error).
  bool FetchOne() {
    if (exhausted || !cursor) return false;
    if (max_records > 0 && rows.size() >= static_cast<size_t>(max_records)) {
      Finish();
      return false;
    }
    // The cursor overwrites every value of the row; the scratch row keeps its capacity.
    scratch.resize(Width());
    if (!cursor->Next(scratch)) {
      Finish();
      return false;
    }
    scratch.resize(Width());
    rows.Append(scratch);
    return true;
  }

  void FetchAll() {
    while (FetchOne()) {
    }
  }

  // Reads the next row straight from the cursor, past the row store: into `row`, or without
  // its values when `row` is null. False at the end (or at MaxRecords, or on a fetch error).
  bool StreamOne(std::vector<Variant>* row) {
    if (exhausted || !cursor) return false;
    if (max_records > 0 && rows.size() + streamed >= static_cast<size_t>(max_records)) {
      Finish();
      return false;
    }
    const bool more = row != nullptr ? cursor->Next(*row) : cursor->Skip();
    if (!more) {
      Finish();
      return false;
    }
    if (row != nullptr) row->resize(Width());
    ++streamed;
    return true;
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
    view.reserve(rows.size());
    for (size_t r = 0; r < rows.size(); ++r) {
      if (!filter || filter->Matches(rows.Row(r))) view.push_back(r);
    }
    if (!sort.empty()) SortView();
    position = 0;
  }

  // Stable sort of the view by the sort keys, through compact per-key columns.
  void SortView() {
    std::vector<SortColumn> columns;
    columns.reserve(sort.size());
    for (const SortKey& key : sort) {
      columns.emplace_back(rows, view, key.field, fields[static_cast<size_t>(key.field)].type);
    }
    std::vector<size_t> order(view.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
      for (size_t k = 0; k < sort.size(); ++k) {
        const int c = columns[k].Compare(a, b);
        if (c != 0) return sort[k].descending ? c > 0 : c < 0;
      }
      return false;
    });
    std::vector<size_t> sorted(view.size());
    for (size_t i = 0; i < order.size(); ++i) sorted[i] = view[order[i]];
    view = std::move(sorted);
  }

  bool AtEnd() {
    if (closed) return true;
    if (has_view) return position >= view.size();
    while (position >= rows.size()) {
      if (!FetchOne()) return true;
    }
    return false;
  }

  // Index of the current row in the row store (caller checked AtEnd).
  size_t CurrentRow() const { return has_view ? view[position] : position; }

  size_t RemainingRows() {
    if (!has_view) FetchAll();
    size_t total = has_view ? view.size() : rows.size();
    return position < total ? total - position : 0;
  }
};

Recordset::Recordset(std::unique_ptr<Cursor> cursor, int64_t max_records)
    : state_(std::make_unique<State>()) {
  state_->fields = cursor ? cursor->Fields() : std::vector<FieldInfo>{};
  state_->rows = RowStore(state_->fields.size());
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
  return state_->rows.Row(state_->CurrentRow())[index];
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
    const Variant* row = s.rows.Row(s.CurrentRow());
    for (size_t f = 0; f < s.Width(); ++f) columns[f].push_back(row[f]);
    ++s.position;
  }
  return columns;
}

std::vector<std::vector<Variant>> Recordset::TakeRows() {
  State& s = *state_;
  std::vector<std::vector<Variant>> columns(s.Width());
  if (s.closed) return columns;
  size_t remaining = s.RemainingRows();
  for (auto& column : columns) column.reserve(remaining);
  while (!s.AtEnd()) {
    Variant* row = s.rows.Row(s.CurrentRow());
    for (size_t f = 0; f < s.Width(); ++f) columns[f].push_back(std::move(row[f]));
    ++s.position;
  }
  Close();
  return columns;
}

std::string Recordset::GetString(std::string_view column_delimiter, std::string_view row_delimiter,
                                 std::string_view null_text) {
  State& s = *state_;
  std::string out;
  while (!s.AtEnd()) {
    const Variant* row = s.rows.Row(s.CurrentRow());
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

bool Recordset::ReadNext(std::vector<Variant>& row) {
  State& s = *state_;
  if (s.closed) return false;
  if (s.has_view) {
    if (s.position >= s.view.size()) return false;
    const Variant* stored = s.rows.Row(s.view[s.position++]);
    row.assign(stored, stored + s.Width());
    return true;
  }
  if (s.position < s.rows.size()) {
    Variant* stored = s.rows.Row(s.position++);
    row.resize(s.Width());
    for (size_t f = 0; f < s.Width(); ++f) row[f] = std::move(stored[f]);
    return true;
  }
  return s.StreamOne(&row);
}

bool Recordset::SkipNext() {
  State& s = *state_;
  if (s.closed) return false;
  if (s.has_view) {
    if (s.position >= s.view.size()) return false;
    ++s.position;
    return true;
  }
  if (s.position < s.rows.size()) {
    ++s.position;
    return true;
  }
  return s.StreamOne(nullptr);
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
  s.rows.Clear();
  s.view.clear();
}

}  // namespace quenmark
