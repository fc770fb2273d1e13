// The catalogue block of the home page: the database's tables, views and procedures (or the
// ones the page allows), each a link that shows its rows, tables and views with a check box
// that selects them for a new report.

#include <vector>

#include "frame/text_util.h"
#include "quenmark/conversions.h"
#include "quenmark/shared_procedures.h"
#include "reports/manager_state.h"

namespace quenmark::reports {
namespace {

constexpr std::string_view kSqlServerTables =
    "SELECT NAME FROM SYSOBJECTS WHERE XTYPE='U' AND STATUS>0 ORDER BY 1";
constexpr std::string_view kSqlServerViews =
    "SELECT NAME FROM SYSOBJECTS WHERE XTYPE='V' AND STATUS>0 ORDER BY 1";
constexpr std::string_view kSqlServerProcedures =
    "SELECT NAME FROM SYSOBJECTS WHERE XTYPE='P' AND STATUS>0 ORDER BY 1";
constexpr std::string_view kSybaseTables =
    "SELECT [Name] From SysObjects where [TYPE]='U' AND [UID] = 1 ORDER BY 1";
constexpr std::string_view kSybaseViews =
    "SELECT [Name] From SysObjects where [TYPE]='V' AND [UID] = 1 ORDER BY 1";
constexpr std::string_view kSybaseProcedures =
    "SELECT [Name] From SysObjects where [TYPE]='P' AND [UID] = 1 ORDER BY 1";

// A name inside an SQL text literal: apostrophes doubled.
std::string SqlText(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\'') out.push_back('\'');
    out.push_back(c);
  }
  return out;
}

bool ListHolds(const std::string& normalised_list, std::string_view name) {
  const std::string needle = "," + ToLowerAscii(name) + ",";
  return Contains(ToLowerAscii(normalised_list), needle);
}

// A procedure entry of UseProcedures ("usp_top,@n=10,@since=#2004-01-01#") as the
// procedure's name and its parameter list ("n|10|131,since|2004-01-01|7").
std::pair<std::string, std::string> ParseProcedureEntry(std::string_view entry) {
  std::vector<std::string_view> parts = Split(entry, ",");
  std::string name(Trim(parts[0]));
  std::string parameters;
  for (size_t i = 1; i < parts.size(); ++i) {
    std::string_view assignment = Trim(parts[i]);
    size_t equals = assignment.find('=');
    if (equals == std::string_view::npos) continue;
    std::string_view parameter = Trim(assignment.substr(0, equals));
    if (!parameter.empty() && parameter.front() == '@') parameter.remove_prefix(1);
    std::string_view value = Trim(assignment.substr(equals + 1));
    std::string type = "200";
    if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'') {
      value = value.substr(1, value.size() - 2);
    } else if (value.size() >= 2 && value.front() == '#' && value.back() == '#') {
      value = value.substr(1, value.size() - 2);
      type = "7";
    } else if (IsNumericText(value)) {
      type = "131";
    }
    if (!parameters.empty()) parameters.push_back(',');
    parameters.append(parameter);
    parameters.push_back('|');
    parameters.append(value);
    parameters.push_back('|');
    parameters.append(type);
  }
  return {name, parameters};
}

}  // namespace

// Writes one catalogue row: a link (or plain text) and, for tables and views, the check box.
static void WriteItemRow(const ManagerState& s, std::string_view item, bool procedure,
                         std::string_view parameters) {
  const size_t equals = item.find('=');
  std::string name(equals == std::string_view::npos ? item : item.substr(0, equals));
  const std::string caption(equals == std::string_view::npos ? item : item.substr(equals + 1));
  if (ListHolds(s.hidden_tables, name)) return;
  bool link = procedure;
  if (!procedure) {
    link = s.turn_off_table_links ? ListHolds(s.turn_on_table_links_for, name)
                                  : !ListHolds(s.turn_off_table_links_for, name);
  }
  if (s.catalogue_links != nullptr) {
    // Listing only: the names that a "t" link of this row would show.
    if (link && parameters.empty()) {
      if (s.database_kind == DbText) {
        for (char& c : name) c = c == '#' ? '.' : c;
      }
      s.catalogue_links->push_back(procedure ? "-" + name : name);
    }
    return;
  }
  std::string out = "<tr><td>";
  out += link ? "<a class=link_button href=\" " : "<span class=link_button_text>";
  if (link) {
    if (!parameters.empty()) {
      const std::string tail = name == caption ? "" : "|+|" + caption + " Report";
      out += "javascript:___ESPN('" + EncodeBase64(name + "=" + std::string(parameters) + tail) +
             "')\">";
    } else {
      if (s.database_kind == DbText) {
        for (char& c : name) c = c == '#' ? '.' : c;
      }
      // The address is URL-encoded so that "+" and "/" of the encoded name survive.
      out += s.page_url + "?t=" +
             Server::URLEncode(RandomText(8) + EncodeBase64(procedure ? "-" + name : name)) + "\">";
    }
  }
  out += Server::HTMLEncode(caption);
  out += link ? "</a>" : "</span>";
  out += "</td>";
  if (!procedure) {
    out += "<td><input type=checkbox name=check1 value=\"" + Server::HTMLEncode(name) + "\"></td>";
  }
  out += "</tr>";
  s.Write(out);
}

namespace {

struct Section {
  const ManagerState& state;
  void Start(std::string_view heading) const {
    state.Write(
        "<td valign=\"top\"><table width=\"100%\"><tr><th class=\"header_cell\"  "
        "align=\"left\">" +
        std::string(heading) + "</th></tr>");
  }
  void End() const { state.Write("</table></td>"); }
};

}  // namespace

void ManagerState::WriteCatalogue() {
  const Section section{*this};
  Write("<table border=\"0\" cellpadding=\"3\"><tr>");

  // Names with their parameter lists (procedures), written under one heading; an empty list
  // writes nothing.
  auto write_section = [&](std::string_view heading, const std::vector<std::string>& names,
                           bool procedures) {
    if (names.empty()) return;
    section.Start(heading);
    for (const std::string& name : names) {
      std::string parameters;
      if (procedures && connection && database_kind != DbSqlite) {
        if (database_kind == DbSqlServer) {
          auto rs = connection->Execute("sp_sproc_columns @procedure_name='" + SqlText(name) + "'");
          if (rs.ok()) {
            Recordset& r = **rs;
            const int type_column = r.FieldIndex("COLUMN_TYPE");
            const int name_column = r.FieldIndex("COLUMN_NAME");
            const int type_name_column = r.FieldIndex("TYPE_NAME");
            for (; type_column >= 0 && !r.Eof(); r.MoveNext()) {
              if (r.Value(type_column).ToReal() >= 2) continue;
              std::string parameter = r.Value(name_column).ToText();
              if (!parameter.empty()) parameter.erase(0, 1);
              parameters +=
                  "," + parameter + "||" +
                  std::to_string(ClassifyFieldType(r.Value(type_name_column).ToText(), 2));
            }
            if (parameters.size() > 2) parameters.erase(0, 1);
          }
        } else if (database_kind != DbSybase) {
          auto found = connection->ProcedureParameters(name);
          if (found.ok()) {
            for (const ProcedureParameter& p : *found) {
              if (!parameters.empty()) parameters.push_back(',');
              parameters += p.name + "||" + std::to_string(ClassifyFieldType(p.type));
            }
          }
        }
      }
      WriteItemRow(*this, name, procedures, parameters);
    }
    section.End();
  };
  auto query_names = [&](std::string_view sql) {
    std::vector<std::string> names;
    if (!connection) return names;
    auto rs = connection->Execute(sql);
    if (!rs.ok()) return names;
    for (Recordset& r = **rs; !r.Eof(); r.MoveNext()) {
      names.emplace_back(Trim(r.Value(0).ToText()));
    }
    return names;
  };
  auto catalogue_names = [&](auto list, std::string_view type) {
    std::vector<std::string> names;
    if (!connection) return names;
    auto entries = (connection.get()->*list)();
    if (!entries.ok()) return names;
    for (const CatalogEntry& entry : *entries) {
      if (type.empty() || ToUpperAscii(entry.type) == type) names.push_back(entry.name);
    }
    return names;
  };

  if (!use_tables.empty()) {
    section.Start(ReadLocale("AllowedTablesText", "Allowed Tables"));
    for (std::string_view item : Split(use_tables, ",")) WriteItemRow(*this, Trim(item), false, "");
    section.End();
  } else if (database_kind == DbSqlServer || database_kind == DbSybase) {
    const bool sybase = database_kind == DbSybase;
    if (tables_query.empty()) tables_query = sybase ? kSybaseTables : kSqlServerTables;
    if (views_query.empty()) views_query = sybase ? kSybaseViews : kSqlServerViews;
    if (procedures_query.empty()) {
      procedures_query = sybase ? kSybaseProcedures : kSqlServerProcedures;
    }
    if (!hide_tables)
      write_section(ReadLocale("TablesText", "Tables"), query_names(tables_query), false);
    if (!hide_views)
      write_section(ReadLocale("ViewsText", "Views"), query_names(views_query), false);
    if (!hide_procedures) {
      write_section(ReadLocale("StoredProceduresText", "Stored Procedures"),
                    query_names(procedures_query), true);
    }
  } else if (database_kind == DbMySql) {
    if (!hide_tables)
      write_section(ReadLocale("TablesText", "Tables"), query_names("SHOW TABLES"), false);
  } else if (database_kind == DbOracle) {
    if (!hide_tables) {
      write_section(ReadLocale("TablesText", "Tables"),
                    query_names("SELECT TABLE_NAME FROM ALL_TABLES"), false);
    }
    if (!hide_views) {
      write_section(ReadLocale("ViewsText", "Views"),
                    query_names("SELECT VIEW_NAME FROM ALL_VIEWS"), false);
    }
  } else {
    // The connection's own catalogue: SQLite and PostgreSQL list their views, PostgreSQL and
    // Access their procedures too; other kinds list their tables.
    const bool views =
        database_kind == DbAccess || database_kind == DbSqlite || database_kind == DbPostgres;
    const bool procedures = database_kind == DbAccess || database_kind == DbPostgres;
    if (!hide_tables) {
      write_section(ReadLocale("TablesText", "Tables"),
                    catalogue_names(&Connection::Tables, "TABLE"), false);
    }
    if (views && !hide_views) {
      write_section(ReadLocale("ViewsText", "Views"), catalogue_names(&Connection::Views, ""),
                    false);
    }
    if (procedures && !hide_procedures) {
      write_section(ReadLocale("ProceduresText", "Procedures"),
                    catalogue_names(&Connection::Procedures, ""), true);
    }
  }

  if (!use_procedures.empty()) {
    section.Start(ReadLocale("AllowedProceduresText", "Allowed Procedures"));
    for (std::string_view entry : Split(use_procedures, "|")) {
      auto [name, parameters] = ParseProcedureEntry(entry);
      WriteItemRow(*this, name, true, parameters);
    }
    section.End();
  }

  Write("</tr></table>");
  Write(
      "<div align='right'><input type='button' value='Build Report' "
      "onclick=\"__POPWIN(this.form)\"/><input type='hidden' name='tables'/></div>");
}

}  // namespace quenmark::reports
