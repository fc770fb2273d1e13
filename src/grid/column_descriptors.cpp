#include "grid/column_descriptors.h"

#include <cctype>

#include "frame/text_util.h"
#include "quenmark/shared_procedures.h"

namespace quenmark {

namespace {

constexpr std::string_view kEntryEnd = "|||";
constexpr std::string_view kKeyEnd = "|=|";

size_t FindNoCase(std::string_view text, std::string_view needle, size_t from = 0) {
  if (needle.empty()) return from <= text.size() ? from : std::string_view::npos;
  if (needle.size() > text.size()) return std::string_view::npos;
  for (size_t i = from; i + needle.size() <= text.size(); ++i) {
    if (EqualsIgnoreCase(text.substr(i, needle.size()), needle)) return i;
  }
  return std::string_view::npos;
}

std::string Trimmed(std::string_view text) { return std::string(Trim(text)); }

std::string WithoutChars(std::string_view text, std::string_view removed) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (removed.find(c) == std::string_view::npos) out += c;
  }
  return out;
}

std::string WithoutNoCase(std::string_view text, std::string_view removed) {
  std::string out;
  size_t pos = 0;
  while (true) {
    const size_t at = FindNoCase(text, removed, pos);
    if (at == std::string_view::npos) break;
    out.append(text.substr(pos, at - pos));
    pos = at + removed.size();
  }
  out.append(text.substr(pos));
  return out;
}

// Walks the entries of a "|||"-separated list, calling `visit(key, value)` until it returns true.
template <class Visit>
void ForEachEntry(std::string_view list, Visit visit) {
  while (list.starts_with(kEntryEnd)) list.remove_prefix(kEntryEnd.size());
  while (!list.empty()) {
    const size_t end = list.find(kEntryEnd);
    const std::string_view entry = list.substr(0, end);
    const size_t separator = entry.find(kKeyEnd);
    const std::string_view key = entry.substr(0, separator);
    const std::string_view value =
        separator == std::string_view::npos ? std::string_view() : entry.substr(separator + 3);
    if (!entry.empty() && visit(key, value)) return;
    if (end == std::string_view::npos) return;
    list.remove_prefix(end + kEntryEnd.size());
  }
}

// The select list of a statement whose columns are written table.column and carry no aliases,
// split into (table, name) pairs; empty when the statement does not have that shape.
struct QualifiedItem {
  std::string table;
  std::string name;
  bool qualified = false;
};

std::vector<QualifiedItem> ParseSelectList(std::string_view command, int16_t database_kind) {
  std::vector<QualifiedItem> items;
  const size_t select = FindNoCase(command, "SELECT ");
  const size_t from = FindNoCase(command, " FROM ");
  if (select == std::string_view::npos || from == std::string_view::npos || from < select + 7 ||
      FindNoCase(command, " AS ") != std::string_view::npos ||
      command.find('.') == std::string_view::npos) {
    return items;
  }
  const std::string list = WithoutChars(command.substr(select + 7, from - select - 7),
                                        database_kind == DbMySql ? "`" : "[]");
  size_t begin = 0;
  while (true) {
    const size_t comma = list.find(',', begin);
    const std::string_view item = std::string_view(list).substr(
        begin, comma == std::string::npos ? std::string::npos : comma - begin);
    QualifiedItem parsed;
    const size_t dot = item.find('.');
    if (dot != std::string_view::npos) {
      parsed.table = Trimmed(item.substr(0, dot));
      parsed.name = Trimmed(item.substr(dot + 1));
      parsed.qualified = true;
    }
    items.push_back(std::move(parsed));
    if (comma == std::string::npos) break;
    begin = comma + 1;
  }
  return items;
}

}  // namespace

std::string FindListEntry(std::string_view list, std::string_view key, bool* found) {
  std::string result;
  bool hit = false;
  ForEachEntry(list, [&](std::string_view entry_key, std::string_view value) {
    if (!EqualsIgnoreCase(entry_key, key)) return false;
    result.assign(value);
    hit = true;
    return true;
  });
  if (found != nullptr) *found = hit;
  return result;
}

bool ListHasKey(std::string_view list, std::string_view key) {
  bool hit = false;
  FindListEntry(list, key, &hit);
  return hit;
}

std::string ColumnCaptionFor(std::string_view captions, std::string_view table,
                             std::string_view name) {
  if (!captions.empty()) {
    bool found = false;
    std::string qualified(table);
    qualified += '.';
    qualified += name;
    std::string caption = FindListEntry(captions, qualified, &found);
    if (found) return caption;
    caption = FindListEntry(captions, name, &found);
    if (found) return caption;
  }
  return std::string(name);
}

std::string TableInCommand(std::string_view command, std::string_view name) {
  if (name.empty()) return {};
  const size_t occurrence = FindNoCase(command, name);
  if (occurrence == std::string_view::npos || occurrence == 0) return {};
  const size_t dot = command.rfind('.', occurrence - 1);
  if (dot == std::string_view::npos) return {};
  const size_t comma = dot == 0 ? std::string_view::npos : command.rfind(',', dot - 1);
  const size_t begin = comma == std::string_view::npos ? 0 : comma + 1;
  const std::string table =
      WithoutChars(WithoutNoCase(command.substr(begin, dot - begin), "SELECT "), "[]`");
  return Trimmed(table);
}

std::vector<ColumnDescriptor> DescribeColumns(std::string_view command, int16_t database_kind,
                                              const std::vector<FieldInfo>& fields,
                                              std::string_view captions) {
  // A select list with another number of items than the result has columns ("t.*") cannot
  // name them; each column is then described from the driver instead.
  std::vector<QualifiedItem> items = ParseSelectList(command, database_kind);
  if (items.size() != fields.size()) items.clear();

  std::vector<ColumnDescriptor> columns;
  columns.reserve(fields.size());
  for (size_t i = 0; i < fields.size(); ++i) {
    ColumnDescriptor column;
    if (!items.empty() && items[i].qualified) {
      column.table = std::move(items[i].table);
      column.name = std::move(items[i].name);
    } else {
      column.name = fields[i].name;
      column.table = fields[i].base_table.empty() ? TableInCommand(command, fields[i].name)
                                                  : fields[i].base_table;
    }
    column.category = ClassifyFieldType(fields[i].type);
    column.caption = ColumnCaptionFor(captions, column.table, column.name);
    columns.push_back(std::move(column));
  }
  return columns;
}

std::string_view CategoryWord(int16_t category) {
  switch (category) {
    case FieldNumber: return "number";
    case FieldMoney: return "money";
    case FieldDate: return "date";
    case FieldBoolean: return "boolean";
    default: return "text";
  }
}

}  // namespace quenmark
