#include "grid/summaries.h"

#include <array>

#include "frame/text_util.h"
#include "grid/grid_state.h"
#include "quenmark/conversions.h"
#include "quenmark/database.h"
#include "quenmark/locale.h"
#include "quenmark/shared_procedures.h"
#include "quenmark/variant.h"

namespace quenmark {

namespace {

constexpr std::array<std::string_view, 7> kFunctions = {"MIN",   "MAX", "AVG",  "SUM",
                                                        "COUNT", "VAR", "STDEV"};
// Columns whose name starts so hold aggregates; the first of them with a number format lends
// it to the row total and average cells.
constexpr std::array<std::string_view, 6> kAggregatePrefixes = {"SUM_", "AVG_", "MIN_",
                                                                "MAX_", "VAR_", "STDEV_"};
constexpr std::string_view kItemSeparator = "__";

bool IsWordChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '$' || c == '#' || c == '@' || static_cast<unsigned char>(c) >= 0x80;
}

bool IsSummed(int16_t category) { return category == FieldNumber || category == FieldMoney; }

// Position of the first `word` of `sql` at or after `from` that stands as a keyword: not part of
// a longer name, not inside a quoted text or identifier and not inside parentheses opened after
// `from` (a subquery's own FROM or ORDER BY). npos when there is none.
size_t FindKeyword(std::string_view sql, std::string_view word, size_t from) {
  char closing = 0;
  int depth = 0;
  for (size_t i = from; i < sql.size(); ++i) {
    const char c = sql[i];
    if (closing != 0) {
      if (c == closing) closing = 0;
      continue;
    }
    if (c == '\'' || c == '"' || c == '`') {
      closing = c;
      continue;
    }
    if (c == '[') {
      closing = ']';
      continue;
    }
    if (c == '(') ++depth;
    if (c == ')' && depth > 0) --depth;
    if (depth > 0 || (i > 0 && IsWordChar(sql[i - 1]))) continue;
    if (i + word.size() > sql.size()) return std::string_view::npos;
    if (!EqualsIgnoreCase(sql.substr(i, word.size()), word)) continue;
    if (i + word.size() < sql.size() && IsWordChar(sql[i + word.size()])) continue;
    return i;
  }
  return std::string_view::npos;
}

// The first ORDER BY (any blanks between the two words) at or after `from`.
size_t FindOrderBy(std::string_view sql, size_t from) {
  for (size_t at = FindKeyword(sql, "ORDER", from); at != std::string_view::npos;
       at = FindKeyword(sql, "ORDER", at + 5)) {
    const size_t by = sql.find_first_not_of(kWhitespace, at + 5);
    if (by != std::string_view::npos && FindKeyword(sql, "BY", by) == by) return at;
  }
  return std::string_view::npos;
}

void AppendFooterCell(std::string& out, std::string_view value) {
  out += "<td class=col_footer>";
  out += value;
  out += "</td>";
}

void AppendRowFooterCell(std::string& out, std::string_view value) {
  out += "<td class=row_footer>";
  out += value;
  out += "</td>";
}

// The result column a summary field names: by its name, or by table + "." + name.
const ColumnDescriptor* FindColumn(const std::vector<ColumnDescriptor>& columns,
                                   std::string_view field, size_t* position) {
  for (size_t c = 0; c < columns.size(); ++c) {
    const ColumnDescriptor& column = columns[c];
    const bool qualified =
        !column.table.empty() && field.size() == column.table.size() + 1 + column.name.size() &&
        field[column.table.size()] == '.' && StartsWithIgnoreCase(field, column.table) &&
        EndsWithIgnoreCase(field, column.name);
    if (qualified || EqualsIgnoreCase(field, column.name)) {
      *position = c;
      return &column;
    }
  }
  return nullptr;
}

}  // namespace

std::vector<SummaryItem> ParseSummaryItems(std::string_view items_text) {
  std::vector<SummaryItem> items;
  if (items_text.size() < 3) return items;
  size_t start = 0;
  while (start <= items_text.size()) {
    const size_t comma = items_text.find(',', start);
    const std::string_view item = Trim(items_text.substr(
        start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
    start = comma == std::string_view::npos ? items_text.size() + 1 : comma + 1;

    const size_t first = item.find(kItemSeparator);
    if (first == std::string_view::npos) continue;
    const std::string_view field = Trim(item.substr(0, first));
    const std::string_view rest = item.substr(first + kItemSeparator.size());
    const size_t second = rest.find(kItemSeparator);
    const std::string_view function = Trim(rest.substr(0, second));
    const std::string_view label =
        second == std::string_view::npos ? std::string_view() : rest.substr(second + 2);
    // A whole aggregate name only: a part of one ("IN", "X_AVG") would reach the SQL.
    const std::string upper = ToUpperAscii(function);
    bool known = false;
    for (std::string_view name : kFunctions) known = known || upper == name;
    if (!known || field.empty()) continue;

    SummaryItem parsed{std::string(field), upper, std::string(label)};
    if (parsed.label.empty()) {
      parsed.label = std::string(function);
      parsed.label += ' ';
      parsed.label += field;
    }
    items.push_back(std::move(parsed));
  }
  return items;
}

std::string AggregateStatement(std::string_view command, std::string_view function,
                               std::string_view quoted_field) {
  const size_t from = FindKeyword(command, "FROM", 0);
  if (from == std::string_view::npos) return {};
  size_t end = FindOrderBy(command, from);
  if (end == std::string_view::npos) end = command.size();
  std::string sql = "SELECT ";
  sql += function;
  sql += '(';
  sql += quoted_field;
  sql += ") ";
  sql += Trim(command.substr(from, end - from));
  return sql;
}

std::string FormatSummaryNumber(std::string_view format_entry, std::string_view plain) {
  if (format_entry.empty()) return std::string(plain);
  const std::optional<double> value = ParseNumber(plain);
  if (!value) return std::string(plain);
  int decimals = -1;
  if (format_entry.size() > 1) {
    if (const std::optional<double> count = ParseNumber(format_entry.substr(1))) {
      decimals = static_cast<int>(RoundHalfEven(*count));
    }
  }
  const Locale& locale = Locale::Current();
  switch (format_entry.front()) {
    case '1':
      return locale.FormatNumber(*value, decimals);
    case '2':
      return locale.FormatPercent(*value, decimals);
    case '3':
      return locale.FormatCurrency(*value, decimals);
    default:
      return std::string(plain);
  }
}

PageSummaries::PageSummaries(const SummarySwitches& switches,
                             const std::vector<ColumnDescriptor>& columns,
                             const std::vector<size_t>& visible,
                             const NumberFormatOf& number_format)
    : switches_(switches), visible_(visible) {
  row_summed_.assign(visible.size(), false);
  footer_summed_.assign(visible.size(), false);
  footer_formats_.assign(visible.size(), std::string());
  column_sums_.assign(visible.size(), DecimalSum());
  row_values_.reserve(visible.size());
  for (size_t v = 0; v < visible.size(); ++v) {
    const ColumnDescriptor& column = columns[visible[v]];
    if (!IsSummed(column.category)) continue;
    // The first result column names the row; only the columns after it are added up.
    if (visible[v] > 0) {
      row_summed_[v] = true;
      ++row_summed_count_;
    }
    // The first shown column lies under the label cell of the footer lines.
    if (v > 0 && switches.ColumnSummaries()) {
      footer_summed_[v] = true;
      footer_formats_[v] = number_format(visible[v]);
    }
  }
  if (switches.RowSummaries()) {
    for (size_t c = 0; c < columns.size() && row_format_.empty(); ++c) {
      bool aggregate = false;
      for (std::string_view prefix : kAggregatePrefixes) {
        aggregate = aggregate || StartsWithIgnoreCase(columns[c].name, prefix);
      }
      if (aggregate) row_format_ = number_format(c);
    }
  }
}

void PageSummaries::AppendHeaderCells(std::string& out, std::string_view header_link_class,
                                      std::string_view header_text_style) const {
  auto header = [&](std::string_view caption) {
    out += "<th><span";
    out += header_link_class;
    out += header_text_style;
    out += '>';
    out += caption;
    out += "</span></th>";
  };
  if (switches_.row_average) header("Average");
  if (switches_.row_total) header("Total");
}

void PageSummaries::AddRowValues(std::string& out) {
  ++rows_;
  DecimalSum& row_total = row_total_;
  row_total.Clear();
  for (size_t v = 0; v < visible_.size(); ++v) {
    if (footer_summed_[v]) column_sums_[v].Add(*row_values_[v]);
    if (row_summed_[v]) row_total.Add(*row_values_[v]);
  }
  if (!switches_.RowSummaries()) return;
  if (switches_.row_average) {
    // No column to add up leaves the average empty rather than a division by zero.
    AppendRowFooterCell(
        out, row_summed_count_ == 0
                 ? std::string()
                 : FormatSummaryNumber(row_format_, row_total.RoundedQuotient(
                                                        static_cast<uint32_t>(row_summed_count_))));
  }
  if (switches_.row_total) {
    AppendRowFooterCell(out, FormatSummaryNumber(row_format_, row_total.Rounded()));
  }
  row_totals_.Add(row_total);
}

void PageSummaries::AppendFooterRows(std::string& out, bool add_row_numbers,
                                     std::string_view row_class, std::string_view row_style) const {
  auto line = [&](std::string_view label, bool average) {
    out += "<tr ";
    out += row_class;
    out += row_style;
    out += "><td colspan=";
    out += add_row_numbers ? '2' : '1';
    out += " class=col_footerLabel>";
    out += label;
    out += "</td>";
    for (size_t v = 1; v < visible_.size(); ++v) {
      if (!footer_summed_[v]) {
        AppendFooterCell(out, "");
      } else if (average) {
        // A page without rows has no average: the cell stays empty.
        AppendFooterCell(out, rows_ == 0
                                  ? std::string()
                                  : FormatSummaryNumber(footer_formats_[v],
                                                        column_sums_[v].RoundedQuotient(rows_)));
      } else {
        AppendFooterCell(out, FormatSummaryNumber(footer_formats_[v], column_sums_[v].Rounded()));
      }
    }
    if (average) {
      if (switches_.row_total && switches_.row_average) {
        out += "<td class=col_footer colspan=2>&nbsp;</td>";
      } else if (switches_.RowSummaries()) {
        out += "<td class=col_footer>&nbsp;</td>";
      }
    } else {
      if (switches_.row_average) out += "<td class=col_footer>&nbsp;</td>";
      if (switches_.row_total) {
        AppendFooterCell(out, FormatSummaryNumber(row_format_, row_totals_.Rounded()));
      }
    }
    out += "</tr>";
  };
  if (switches_.column_average) line("Average", true);
  if (switches_.column_total) line("Total", false);
}

void AppendSummaryBlock(const SummaryBlockInput& input, std::string& out) {
  if (input.items_text.size() < 3) return;
  out += "<table cellpadding=4 width=\"";
  out += input.table_width;
  out += "\"><tr";
  out += input.footer_class;
  out += input.footer_style;
  out += "><td>";
  out += input.summary_label;
  out += "<br>";
  for (const SummaryItem& item : ParseSummaryItems(input.items_text)) {
    size_t position = 0;
    const ColumnDescriptor* column = FindColumn(input.columns, item.field, &position);
    const bool count_all = item.function == "COUNT" && item.field == "*";
    // A field that is not a result column is never sent to the database.
    if (column == nullptr && !count_all) continue;
    const std::string sql = AggregateStatement(input.command, item.function,
                                               QuoteName(input.database_kind, item.field));
    if (sql.empty()) continue;

    std::string value;
    Result<std::unique_ptr<Recordset>> opened = input.connection.Execute(sql, 1);
    if (!opened.ok()) {
      // A failing aggregate says so in its line instead of showing an empty value.
      value = "<font color=red>" + EscapeHtml(opened.Description()) + "</font>";
    } else {
      Recordset& rows = *opened.value();
      if (!rows.Eof() && rows.FieldCount() > 0) {
        const Variant& result = rows.Value(0);
        const bool text = result.kind() == Variant::Kind::kText;
        const bool number_column = column != nullptr && IsSummed(column->category);
        const bool minmax = item.function == "MIN" || item.function == "MAX";
        // Only numbers are rounded; a MIN or MAX of a text column stays text.
        if (result.IsNumeric() ||
            (text && IsNumericText(result.AsText()) && (number_column || !minmax))) {
          DecimalSum sum;
          sum.Add(result);
          value = FormatSummaryNumber(column ? input.number_format(position) : std::string(),
                                      sum.Rounded());
        } else if (!result.IsMissing()) {
          value = EscapeHtml(result.ToText());
        }
      }
      if (!rows.status().ok()) {
        value = "<font color=red>" + EscapeHtml(rows.status().Description()) + "</font>";
      }
    }
    out += item.label;
    out += " <i>";
    out += value;
    out += "</i><br>";
  }
  out += "</td></tr></table>";
}

}  // namespace quenmark
