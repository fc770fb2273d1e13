// Checks on what the builder receives from the browser before it reaches SQL or the reports
// file: report ids, tables against the catalogue, field ids against the tables' own fields,
// and the join condition rewritten with quoted names.

#include <array>
#include <set>

#include "frame/text_util.h"
#include "quenmark/shared_procedures.h"
#include "reports/builder/builder.h"
#include "reports/report_sql.h"

namespace quenmark::reports::builder {
namespace {

bool NameListHolds(std::string_view list, std::string_view name, char separator) {
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(separator, start);
    if (end == std::string_view::npos) end = list.size();
    std::string_view item = list.substr(start, end - start);
    // Allowed lists may give a caption after "=" (and procedures their parameters after ",").
    item = Trim(item.substr(0, std::min(item.find('='), item.find(','))));
    if (EqualsIgnoreCase(item, Trim(name))) return true;
    start = end + 1;
  }
  return false;
}

// Field ids of the tables, lower-cased, mapped to their exact spelling.
using KnownFields = std::set<std::string, std::less<>>;

std::string Lower(std::string_view text) { return ToLowerAscii(Trim(text)); }

// "[Orders].[ID]", "\"Orders\".\"ID\"" or "`Orders`.`ID`" as the plain "Orders.ID".
std::string Unquoted(std::string_view name) {
  std::string plain;
  for (char c : Trim(name)) {
    if (c != '[' && c != ']' && c != '"' && c != '`') plain.push_back(c);
  }
  return plain;
}

// The join condition as terms "field op field" joined by " AND ", with every name checked and
// quoted; nullopt when it is anything else.
std::optional<std::string> RewriteRelations(std::string_view relations, const KnownFields& known,
                                            int16_t kind) {
  static constexpr std::array<std::string_view, 6> kOperators = {"<>", "<=", ">=", "=", "<", ">"};
  std::string out;
  const std::string lower = ToLowerAscii(relations);
  size_t start = 0;
  while (start <= relations.size()) {
    size_t end = lower.find(" and ", start);
    if (end == std::string::npos) end = relations.size();
    const std::string_view term = relations.substr(start, end - start);
    bool matched = false;
    for (std::string_view op : kOperators) {
      const size_t at = term.find(op);
      if (at == std::string_view::npos) continue;
      const std::string left = Unquoted(term.substr(0, at));
      const std::string right = Unquoted(term.substr(at + op.size()));
      if (!known.contains(ToLowerAscii(left)) || !known.contains(ToLowerAscii(right))) {
        return std::nullopt;
      }
      if (!out.empty()) out += " AND ";
      out += QuoteName(kind, left) + std::string(op) + QuoteName(kind, right);
      matched = true;
      break;
    }
    if (!matched) return std::nullopt;
    start = end + 5;
  }
  return out;
}

}  // namespace

bool IsValidReportId(std::string_view id) {
  if (id.empty() || id.size() > 64) return false;
  for (char c : id) {
    const bool allowed = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                         (c >= '0' && c <= '9') || c == '_' || c == '-';
    if (!allowed) return false;
  }
  return true;
}

std::string InvalidReportIdMessage() {
  return "A report id may hold only letters, digits, \"_\" and \"-\".";
}

bool TableAllowed(ManagerState& s, std::string_view table) {
  if (Contains(ToLowerAscii(s.hidden_tables), "," + Lower(table) + ",")) return false;
  if (!s.use_tables.empty()) return NameListHolds(s.use_tables, table, ',');
  if (!s.connected) s.OpenConnection();
  auto holds = [&](auto list) {
    auto entries = (s.connection.get()->*list)();
    if (!entries.ok()) return false;
    for (const CatalogEntry& entry : *entries) {
      if (ToUpperAscii(entry.type) != "SYSTEM TABLE" && EqualsIgnoreCase(entry.name, Trim(table)))
        return true;
    }
    return false;
  };
  return (!s.hide_tables && holds(&Connection::Tables)) ||
         (!s.hide_views && holds(&Connection::Views));
}

std::string CheckDefinitionNames(ManagerState& s, ReportDefinition& d) {
  if (!s.connected) s.OpenConnection();
  // Names are quoted for the connection's own kind, whatever the page sent.
  d.dbt = s.database_kind;
  if (d.isproc == 1) {
    if (s.use_procedures_set) {
      return NameListHolds(s.use_procedures, d.tables, '|')
                 ? ""
                 : "The procedure " + d.tables + " cannot be used in reports.";
    }
    auto procedures = s.connection->Procedures();
    if (procedures.ok()) {
      for (const CatalogEntry& entry : *procedures) {
        if (EqualsIgnoreCase(entry.name, Trim(d.tables))) return "";
      }
    }
    return "The procedure " + d.tables + " cannot be used in reports.";
  }

  const std::vector<std::string> tables = ListItems(d.tables);
  if (tables.empty()) return "The report names no table.";
  KnownFields known;
  for (const std::string& table : tables) {
    if (!TableAllowed(s, table)) return "The table or view " + table + " cannot be used in reports.";
    auto probe = s.connection->Execute(StructureProbe(table, d.dbt));
    if (!probe.ok()) return "The table or view " + table + " cannot be read: " + probe.Description();
    for (const FieldInfo& field : (*probe)->Fields()) {
      if (Contains(ToLowerAscii(s.hidden_fields), "," + ToLowerAscii(field.name) + ",")) continue;
      known.insert(ToLowerAscii(FieldId(d.dbt, table, field.name)));
    }
  }
  auto unknown = [&](std::string_view id) { return !known.contains(Lower(id)); };

  const std::vector<std::string> fields = ListItems(d.fields);
  if (fields.empty()) return "The report shows no field.";
  for (const std::string& id : fields) {
    if (unknown(id)) return "The field " + id + " is not a field of the report's tables.";
  }
  for (const std::string& item : ListItems(d.filters)) {
    const std::string id = item.substr(0, item.find("__"));
    const size_t code_at = item.find("__");
    const int code = code_at == std::string::npos ? 0 : std::atoi(item.c_str() + code_at + 2);
    if (unknown(id) || code < 1 || code > 15) return "The filter " + item + " cannot be used.";
  }
  for (const std::string& item : ListItems(d.summary)) {
    const size_t first = item.find("__");
    const std::string aggregate =
        first == std::string::npos ? "" : item.substr(first + 2, item.find("__", first + 2) - first - 2);
    static constexpr std::array<std::string_view, 7> kAggregates = {"SUM", "AVG", "MIN", "MAX",
                                                                    "COUNT", "STDEV", "VAR"};
    bool known_aggregate = false;
    for (std::string_view a : kAggregates) known_aggregate = known_aggregate || a == aggregate;
    if (unknown(item.substr(0, first)) || !known_aggregate) {
      return "The summary " + item + " cannot be used.";
    }
  }
  for (const std::string* list : {&d.sum, &d.avg, &d.min, &d.max, &d.stdev, &d.var}) {
    for (const std::string& id : ListItems(*list)) {
      if (unknown(id)) return "The field " + id + " is not a field of the report's tables.";
    }
  }
  if (!d.legend.empty() && unknown(d.legend)) {
    return "The legend field " + d.legend + " is not a field of the report's tables.";
  }
  if (!d.mtbl.empty() && !ListHasItem(d.tables, d.mtbl)) {
    return "The master table " + d.mtbl + " is not one of the report's tables.";
  }
  if (!Trim(d.relations).empty()) {
    std::optional<std::string> relations = RewriteRelations(d.relations, known, d.dbt);
    if (!relations) {
      return "The join condition may only compare fields of the report's tables, for example "
             "Orders.CustomerID=Customers.CustomerID.";
    }
    d.relations = std::move(*relations);
  }
  return "";
}

}  // namespace quenmark::reports::builder
