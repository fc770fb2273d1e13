#include "reports/report_sql.h"

#include <ctime>
#include <optional>
#include <vector>

#include "frame/text_util.h"
#include "quenmark/conversions.h"
#include "quenmark/locale.h"
#include "quenmark/shared_procedures.h"

namespace quenmark::reports {
namespace {

// Items of an aggregate list ("a, b"), trimmed, empty ones left out.
std::vector<std::string_view> ListItems(std::string_view list) {
  std::vector<std::string_view> items;
  if (Trim(list).empty()) return items;
  for (std::string_view item : Split(list, ",")) {
    item = Trim(item);
    if (!item.empty()) items.push_back(item);
  }
  return items;
}

// Text between apostrophes in SQL: every apostrophe doubled.
void AppendSqlText(std::string& out, std::string_view value) {
  for (char c : value) {
    if (c == '\'') out.push_back('\'');
    out.push_back(c);
  }
}

bool IsPlaceholder(std::string_view value) {
  return !value.empty() && (value.front() == '?' || value.front() == '@');
}

struct AggregateFunction {
  std::string_view name;
  std::string ReportDefinition::*list;
};

constexpr AggregateFunction kAggregates[] = {
    {"SUM", &ReportDefinition::sum},     {"AVG", &ReportDefinition::avg},
    {"MIN", &ReportDefinition::min},     {"MAX", &ReportDefinition::max},
    {"STDEV", &ReportDefinition::stdev}, {"VAR", &ReportDefinition::var},
};

// PostgreSQL names the sample deviation and variance differently; the column alias keeps the
// report's name so that captions and summaries find it.
std::string_view SqlFunctionName(std::string_view name, int16_t kind) {
  if (kind == DbPostgres) {
    if (name == "STDEV") return "STDDEV_SAMP";
    if (name == "VAR") return "VAR_SAMP";
  }
  return name;
}

bool IsAggregated(const ReportDefinition& d, std::string_view field) {
  for (const AggregateFunction& function : kAggregates) {
    for (std::string_view item : ListItems(d.*function.list)) {
      if (item == field) return true;
    }
  }
  return false;
}

std::string GroupingColumns(const ReportDefinition& d) {
  std::string columns;
  for (std::string_view field : Split(d.fields, ",")) {
    field = Trim(field);
    if (field.empty()) continue;
    const std::string category = SchemaAttribute(d.schema, field, 't');
    const bool number = category == "131" || category == "6";
    if (number && IsAggregated(d, field)) continue;
    if (!columns.empty()) columns.push_back(',');
    columns.append(field);
  }
  return columns;
}

std::string AggregateColumns(const ReportDefinition& d, bool select_list_empty) {
  std::string out;
  auto separator = [&] {
    if (!out.empty() || !select_list_empty) out.push_back(',');
  };
  if (d.count == 1) {
    separator();
    out += "COUNT(*) AS COUNT_1";
  }
  for (const AggregateFunction& function : kAggregates) {
    int n = 0;
    for (std::string_view item : ListItems(d.*function.list)) {
      ++n;
      separator();
      out += SqlFunctionName(function.name, d.dbt);
      out += '(';
      out += QuoteName(d.dbt, item);
      out += ") AS ";
      out += function.name;
      out += '_';
      out += std::to_string(n);
    }
  }
  return out;
}

std::string FilterTerm(const ReportDefinition& d, int code, std::string_view field,
                       std::string_view raw_value) {
  const std::string q = QuoteName(d.dbt, field);
  const std::string_view v = Trim(raw_value);
  const std::string category = SchemaAttribute(d.schema, Trim(field), 't');
  auto f = [&](std::string_view op) { return FormatComparisonValue(v, op, category, d.dbt); };
  auto like = [&](std::string_view before, std::string_view after, bool negate) {
    std::string term = q;
    term += negate ? " NOT LIKE '" : " LIKE '";
    term += before;
    AppendSqlText(term, v);
    term += after;
    term += '\'';
    return term;
  };
  const bool access = d.dbt == DbAccess;
  const std::string is_null = access ? "IsNull(" + q + ")" : q + " IS NULL";
  const std::string not_null = access ? "Not IsNull(" + q + ")" : q + " IS NOT NULL";
  switch (code) {
    case 1:
      return like("%", "%", false);
    case 2:
      return q + f("=");
    case 3:
      return q + f("<");
    case 4:
      return q + f(">");
    case 5:
      return like("", "%", false);
    case 6:
      return like("%", "", false);
    case 7:
      return like("%", "%", true);
    case 8:
      return " (" + q + f("=") + " OR " + q + f(">") + ") ";
    case 9:
      return " (" + q + f("=") + " OR " + q + f("<") + ") ";
    case 10:
      return "( " + is_null + " OR " + q + "='')";
    case 11:
      return "( " + not_null + " AND " + q + "<>'')";
    case 12:
      return is_null;
    case 13:
      return not_null;
    case 14:
    case 15:
      return q + " IN (SELECT " + (code == 14 ? "MAX" : "MIN") + "(" + q + ") FROM " +
             TextBefore(q, ".") + ")";
    default:
      return std::string();
  }
}

std::string TodayIso() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return DateTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, 0, 0, 0}.ToIso();
}

std::string DateText(std::string_view value, int16_t kind) {
  std::optional<DateTime> date = ParseDate(value);
  if (!date) date = ParseDate(TodayIso());
  // SQLite keeps dates as ISO text and PostgreSQL reads ISO whatever its DateStyle, so those
  // two get ISO dates; the other kinds get the short date they have always received.
  if (kind == DbSqlite || kind == DbPostgres) return date->ToIso();
  return Locale::Default().FormatNamedDate(*date, Locale::kShortDate);
}

}  // namespace

std::string FormatComparisonValue(std::string_view value, std::string_view op,
                                  std::string_view category, int16_t kind) {
  std::string out(op);
  const bool placeholder = IsPlaceholder(value);
  if (category == "131" || category == "11" || category == "6") {
    std::string number = std::string(value);
    if (!placeholder) {
      std::optional<double> parsed = ParseNumber(value);
      number = parsed ? FormatReal(*parsed) : "0";
    }
    // PostgreSQL's money type compares only with money: a quoted literal becomes one.
    const bool quoted = kind == DbPostgres && category == "6" && !placeholder;
    if (quoted) out.push_back('\'');
    out += number;
    if (quoted) out.push_back('\'');
    return out;
  }
  if (category == "7") {
    const std::string text = placeholder ? std::string(value) : DateText(value, kind);
    const char quote = kind == DbAccess ? '#' : '\'';
    out.push_back(quote);
    AppendSqlText(out, text);
    out.push_back(quote);
    return out;
  }
  out.push_back('\'');
  AppendSqlText(out, value);
  out.push_back('\'');
  return out;
}

std::string BuildFilterCondition(const ReportDefinition& d) {
  std::string_view filters = d.filters;
  if (!filters.empty() && filters.front() == ',') filters.remove_prefix(1);
  if (filters.empty()) return std::string();
  const std::string_view connector = d.join == 2 ? " OR " : " AND ";
  std::string condition;
  for (std::string_view item : Split(filters, ",")) {
    std::vector<std::string_view> parts = Split(item, "__");
    if (parts.size() < 3) continue;
    std::optional<double> code = ParseNumber(parts[1]);
    if (!code || *code < 1 || *code > 15 || *code != static_cast<int>(*code)) continue;
    // A value may itself hold "__": everything after the second separator is the value.
    const size_t value_at = parts[0].size() + 2 + parts[1].size() + 2;
    std::string term = FilterTerm(d, static_cast<int>(*code), parts[0], item.substr(value_at));
    if (!condition.empty()) condition += connector;
    condition += term;
  }
  return condition;
}

std::string BuildSelectStatement(const ReportDefinition& d) {
  std::string select_list;
  std::string aggregates;
  if (d.grpby == 0) {
    select_list = QuoteNameList(d.dbt, d.fields);
    if (d.distinct == 1) select_list = " DISTINCT " + select_list;
  } else {
    select_list = QuoteNameList(d.dbt, GroupingColumns(d));
    aggregates = AggregateColumns(d, select_list.empty());
  }
  std::string sql = "SELECT ";
  sql += select_list;
  sql += aggregates;
  sql += " FROM ";
  sql += QuoteNameList(d.dbt, d.tables);
  const std::string condition = BuildFilterCondition(d);
  if (!condition.empty()) {
    sql += " WHERE (";
    sql += condition;
    sql += ')';
    if (!d.relations.empty()) {
      sql += " AND ";
      sql += d.relations;
    }
  } else if (!d.relations.empty()) {
    sql += " WHERE ";
    sql += d.relations;
  }
  if (d.grpby != 0 && !select_list.empty()) {
    sql += " GROUP BY ";
    sql += select_list;
  }
  return sql;
}

std::string BuildProcedureCall(const ReportDefinition& d, ProcedureCallForm form,
                               int16_t connection_kind) {
  const bool stored = form == ProcedureCallForm::kStored;
  std::string assignments;
  if (!d.params.empty()) {
    for (std::string_view item : Split(d.params, ",")) {
      std::vector<std::string_view> parts = Split(item, "|");
      if (parts.size() != 3) continue;
      if (!assignments.empty()) assignments += stored ? "|||" : ",";
      assignments += '@';
      assignments += parts[0];
      const std::string_view value = form == ProcedureCallForm::kProbe ? "" : parts[1];
      assignments += FormatComparisonValue(value, "=", parts[2], connection_kind);
    }
  }
  std::string call = QuoteName(connection_kind, d.tables);
  call += stored ? "|=|" : " ";
  call += assignments;
  return call;
}

std::string BuildReportQuery(const ReportDefinition& d, int16_t connection_kind) {
  if (d.isproc == 1) return BuildProcedureCall(d, ProcedureCallForm::kStored, connection_kind);
  return BuildSelectStatement(d);
}

std::string StructureProbe(std::string_view table, int16_t database_kind) {
  return "SELECT * FROM " + QuoteName(database_kind, table) + " WHERE 1=0";
}

}  // namespace quenmark::reports
