#include "grid/query_composer.h"

#include <algorithm>
#include <cctype>

#include "frame/text_util.h"
#include "quenmark/conversions.h"
#include "quenmark/shared_procedures.h"

namespace quenmark {

namespace {

constexpr std::string_view kDesc = " desc";

size_t FindNoCase(std::string_view text, std::string_view needle) {
  const auto it = std::search(text.begin(), text.end(), needle.begin(), needle.end(),
                              [](char a, char b) { return LowerAscii(a) == LowerAscii(b); });
  return it == text.end() ? std::string_view::npos : static_cast<size_t>(it - text.begin());
}

bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// True when `word` occurs in `text` as a whole word, in any case.
bool HasWord(std::string_view text, std::string_view word) {
  size_t from = 0;
  while (from < text.size()) {
    const size_t found = FindNoCase(text.substr(from), word);
    if (found == std::string_view::npos) return false;
    const size_t at = from + found;
    const size_t end = at + word.size();
    if ((at == 0 || !IsWordChar(text[at - 1])) && (end == text.size() || !IsWordChar(text[end]))) {
      return true;
    }
    from = at + 1;
  }
  return false;
}

void AppendDoubledApostrophes(std::string& out, std::string_view text) {
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
}

}  // namespace

std::string FilterFieldName(int16_t kind, std::string_view name) {
  // The filter language reads "..." as a text value, so PostgreSQL names take brackets there.
  return QuoteName(kind == DbPostgres ? static_cast<int16_t>(DbSqlite) : kind, name);
}

std::string QuoteFilterText(std::string_view text) {
  std::string out = "'";
  AppendDoubledApostrophes(out, text);
  out += '\'';
  return out;
}

void ExtendFilterText(std::string& filter_text, int16_t kind, std::string_view field,
                      std::string_view condition, std::string_view value) {
  if (field.empty() || condition.empty()) return;
  const std::string name = FilterFieldName(kind, field);
  // Every condition after the first is joined, however short the filter before it.
  if (!filter_text.empty()) filter_text += " AND ";
  filter_text += name;
  if (condition.find('%') != std::string_view::npos) {
    // " LIKE '%v%'": the value goes inside the operator's own quotes.
    for (char c : condition) {
      if (c == 'v') {
        AppendDoubledApostrophes(filter_text, value);
      } else {
        filter_text += c;
      }
    }
    return;
  }
  filter_text += ' ';
  filter_text += condition;
  filter_text += ' ';
  if (IsNumericText(value)) {
    filter_text += value;
  } else if (kind == DbAccess && IsDateText(value)) {
    filter_text += '#';
    filter_text += value;
    filter_text += '#';
  } else {
    filter_text += QuoteFilterText(value);
  }
}

std::string OrderedStatement(std::string_view command, std::string_view order_list) {
  std::string statement(command);
  if (!Trim(order_list).empty()) {
    statement += " ORDER BY ";
    statement += order_list;
  }
  return statement;
}

std::string TopStatement(std::string_view command, int32_t max_records) {
  const size_t select = FindNoCase(command, "SELECT ");
  if (select == std::string_view::npos) return std::string(command);
  std::string limited = "SELECT TOP " + std::to_string(max_records) + " ";
  limited += command.substr(select + 7);
  return limited;
}

bool CanPageInDatabase(std::string_view command) {
  const std::string_view text = Trim(command);
  if (!StartsWithIgnoreCase(text, "SELECT") && !StartsWithIgnoreCase(text, "WITH")) return false;
  if (text.find(';') != std::string_view::npos || text.find("--") != std::string_view::npos ||
      text.find("/*") != std::string_view::npos) {
    return false;
  }
  // A word anywhere, in a literal too: a statement that merely mentions one is read the slow way.
  return !HasWord(text, "LIMIT") && !HasWord(text, "OFFSET") && !HasWord(text, "FETCH");
}

std::string CountStatement(std::string_view command) {
  std::string statement = "SELECT COUNT(*) FROM (";
  statement += Trim(command);
  statement += ") AS quenmark_rows";
  return statement;
}

std::string PageStatement(std::string_view ordered_command, size_t count, size_t first) {
  std::string statement(ordered_command);
  statement += " LIMIT ";
  statement += std::to_string(count);
  statement += " OFFSET ";
  statement += std::to_string(first);
  return statement;
}

std::string BareProcedureName(std::string_view name) {
  std::string_view bare = Trim(name);
  if (bare.size() >= 2 && ((bare.front() == '[' && bare.back() == ']') ||
                           (bare.front() == '`' && bare.back() == '`'))) {
    bare = bare.substr(1, bare.size() - 2);
  }
  return std::string(bare);
}

Command ProcedureCommand(std::string_view name, std::string_view parameter_list) {
  Command command{std::string(name)};
  size_t start = 0;
  while (start < parameter_list.size()) {
    size_t end = parameter_list.find("|||", start);
    if (end == std::string_view::npos) end = parameter_list.size();
    const std::string_view item = parameter_list.substr(start, end - start);
    start = end + 3;
    if (item.empty()) continue;
    const size_t separator = item.find("|=|");
    const std::string_view parameter = Trim(item.substr(0, separator));
    const std::string_view value =
        separator == std::string_view::npos ? std::string_view() : item.substr(separator + 3);
    command.AddParameter(std::string(parameter), Variant(std::string(value)));
  }
  return command;
}

std::string ProcedureSortText(std::string_view order_list, const std::vector<FieldInfo>& fields) {
  std::string sort;
  size_t start = 0;
  while (start <= order_list.size()) {
    size_t comma = order_list.find(',', start);
    if (comma == std::string_view::npos) comma = order_list.size();
    std::string_view item = Trim(order_list.substr(start, comma - start));
    start = comma + 1;
    const size_t desc = item.find("desc");
    const bool descending = desc != std::string_view::npos;
    if (descending) item = Trim(item.substr(0, desc));
    const std::optional<double> position = ParseNumber(item);
    if (!position || *position < 1 || *position > static_cast<double>(fields.size())) continue;
    if (!sort.empty()) sort += ',';
    sort += fields[static_cast<size_t>(*position) - 1].name;
    if (descending) sort += kDesc;
  }
  return sort;
}

}  // namespace quenmark
