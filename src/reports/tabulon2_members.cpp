// The members of Tabulon2 that page scripts reach, by name (ignoring case), in the order of the
// object's interface.

#include "quenmark/tabulon2.h"

namespace quenmark {
namespace {

using Manager = Tabulon2;

Variant None() { return Variant(); }

DispatchTable BuildMembers() {
  DispatchTable table;
  DispatchBuilder<Manager> members(table);
  members
      .Property(
          "CanEdit", [](Manager& m) { return Variant(m.CanEdit()); },
          [](Manager& m, const Variant& v) { m.CanEdit(v.ToBoolean()); })
      .Doc("true/false", "Kept for the page script; no manager operation reads it (default true).")
      .Property(
          "CanDelete", [](Manager& m) { return Variant(m.CanDelete()); },
          [](Manager& m, const Variant& v) { m.CanDelete(v.ToBoolean()); })
      .Doc("true/false",
           "User may delete reports and groups; checked on the server (default true).")
      .Property(
          "CanAdd", [](Manager& m) { return Variant(m.CanAdd()); },
          [](Manager& m, const Variant& v) { m.CanAdd(v.ToBoolean()); })
      .Doc("true/false",
           "User may create reports, groups and the reports file; checked on the server (default "
           "true).")
      .Property(
          "UseReports", [](Manager& m) { return Variant(m.UseReports()); },
          [](Manager& m, const Variant& v) { m.UseReports(v.ToText()); })
      .Doc("text",
           "Group ids to list on the home page (a group is listed when its id occurs in the text).")
      .Property(
          "HiddenReports", [](Manager& m) { return Variant(m.HiddenReports()); },
          [](Manager& m, const Variant& v) { m.HiddenReports(v.ToText()); })
      .Doc("text", "Group ids to hide on the home page (used when UseReports is empty).")
      .WriteOnly("TurnOffTableLinks",
                 [](Manager& m, const Variant& v) { m.TurnOffTableLinks(v.ToBoolean()); })
      .Doc("true/false",
           "Catalogue tables and views show as plain text unless TurnOnTableLinksFor names them.")
      .WriteOnly("TurnOffTableLinksFor",
                 [](Manager& m, const Variant& v) { m.TurnOffTableLinksFor(v.ToText()); })
      .Doc("list", "Tables and views shown without a link.")
      .WriteOnly("TurnOnTableLinksFor",
                 [](Manager& m, const Variant& v) { m.TurnOnTableLinksFor(v.ToText()); })
      .Doc("list", "Tables and views that keep their link when TurnOffTableLinks is set.")
      .WriteOnly("UseProcedures", [](Manager& m, const Variant& v) { m.UseProcedures(v.ToText()); })
      .Doc("text",
           "Procedures to offer, \"name,@param=value\" items separated by \"|\"; hides the "
           "database's own.")
      .WriteOnly("UseTables", [](Manager& m, const Variant& v) { m.UseTables(v.ToText()); })
      .Doc("list", "Tables to offer (\"name=caption\" items); hides the database's own table list.")
      .WriteOnly("DefaultDateFormat",
                 [](Manager& m, const Variant& v) { m.DefaultDateFormat(v.ToText()); })
      .Doc("text", "Date format given to report grids (shared setting of this request).")
      .WriteOnly("MaxRecords", [](Manager& m, const Variant& v) { m.MaxRecords(v.ToInt32()); })
      .Doc("number", "Most rows a report grid fetches; 0 for no limit (shared setting).")
      .WriteOnly("UsePopupFilters",
                 [](Manager& m, const Variant& v) { m.UsePopupFilters(v.ToBoolean()); })
      .Doc("true/false",
           "Report grids filter in a pop-up window instead of the filter row (shared setting).")
      .WriteOnly("AutoDetectLocale",
                 [](Manager& m, const Variant& v) { m.AutoDetectLocale(v.ToBoolean()); })
      .Doc("true/false", "Chooses locale_<language>.xml from the browser's language.")
      .WriteOnly("DatabaseType", [](Manager& m, const Variant& v) { m.DatabaseType(v.ToText()); })
      .Doc("text",
           "Forces the database kind: a number or a database name such as \"mysql\" (shared "
           "setting).")
      .WriteOnly("Title", [](Manager& m, const Variant& v) { m.Title(v.ToText()); })
      .Doc("text", "Page title of every manager page (default \"ASP Tabulon\").")
      .WriteOnly("ReportsTitle", [](Manager& m, const Variant& v) { m.ReportsTitle(v.ToText()); })
      .Doc("text", "Heading of the report list and of the group form (default \"Reports\").")
      .WriteOnly("Width", [](Manager& m, const Variant& v) { m.Width(v.ToText()); })
      .Doc("text", "Width attribute of the home page's outer table.")
      .WriteOnly("DialogWidth", [](Manager& m, const Variant& v) { m.DialogWidth(v.ToInt16()); })
      .Doc("number", "Width of the report builder window (default 500).")
      .WriteOnly("DialogHeight", [](Manager& m, const Variant& v) { m.DialogHeight(v.ToInt16()); })
      .Doc("number", "Height of the report builder window (default 300).")
      .WriteOnly("ImagesUrl", [](Manager& m, const Variant& v) { m.ImagesUrl(v.ToText()); })
      .Doc("text", "Prefix of image addresses; \"/\" is appended when missing (shared setting).")
      .WriteOnly("StyleSheet", [](Manager& m, const Variant& v) { m.StyleSheet(v.ToText()); })
      .Doc("text",
           "Style sheet linked from manager pages (default \"styles.css\"; empty for none).")
      .WriteOnly("LocaleFile", [](Manager& m, const Variant& v) { m.LocaleFile(v.ToText()); })
      .Doc(
          "text",
          "Locale file (absolute, or relative to the page); written from the default when missing.")
      .WriteOnly("LocaleFolder", [](Manager& m, const Variant& v) { m.LocaleFolder(v.ToText()); })
      .Doc("text", "Folder of locale_<language>.xml files; turns AutoDetectLocale on.")
      .ReadOnly("Version", [](Manager& m) { return Variant(m.Version()); })
      .Doc("text", "Version of the report manager, \"2.0.465\".")
      .WriteOnly("HiddenTables", [](Manager& m, const Variant& v) { m.HiddenTables(v.ToText()); })
      .Doc("list", "Tables and views never shown in the catalogue.")
      .WriteOnly("HiddenFields", [](Manager& m, const Variant& v) { m.HiddenFields(v.ToText()); })
      .Doc("list", "Fields never offered by the builder and hidden in saved reports.")
      .WriteOnly("ReportsFile", [](Manager& m, const Variant& v) { m.ReportsFile(v.ToText()); })
      .Doc("text", "The reports file (absolute, or relative to the page; default \"reports.xml\").")
      .WriteOnly("HideTables", [](Manager& m, const Variant& v) { m.HideTables(v.ToBoolean()); })
      .Doc("true/false", "Leaves the database's tables out of the catalogue.")
      .WriteOnly("HideViews", [](Manager& m, const Variant& v) { m.HideViews(v.ToBoolean()); })
      .Doc("true/false", "Leaves the database's views out of the catalogue.")
      .WriteOnly("HideProcedures",
                 [](Manager& m, const Variant& v) { m.HideProcedures(v.ToBoolean()); })
      .Doc("true/false", "Leaves the database's procedures out of the catalogue.")
      .WriteOnly("IsAdmin", [](Manager& m, const Variant& v) { m.IsAdmin(v.ToBoolean()); })
      .Doc("true/false", "Sets CanEdit, CanDelete and CanAdd at once.")
      .WriteOnly("HomeUrl", [](Manager& m, const Variant& v) { m.HomeUrl(v.ToText()); })
      .Doc("text", "Target of the Home link on report pages (default: this page).")
      .WriteOnly("DatabaseTablesQuery",
                 [](Manager& m, const Variant& v) { m.DatabaseTablesQuery(v.ToText()); })
      .Doc("text", "SQL listing the tables of a SQL Server or Sybase database.")
      .WriteOnly("DatabaseViewsQuery",
                 [](Manager& m, const Variant& v) { m.DatabaseViewsQuery(v.ToText()); })
      .Doc("text", "SQL listing the views of a SQL Server or Sybase database.")
      .Method("SetCSSClassNames",
              [](Manager& m, Arguments& a) {
                m.SetCSSClassNames(a.Text(0), a.Text(1), a.Text(2), a.Text(3), a.Text(4), a.Text(5),
                                   a.Text(6), a.Text(7));
                return None();
              })
      .Doc("grid, header, headerLink, item, altItem, footer, pagingLink, itemLink",
           "Class names given to every report grid.")
      .Method("Init",
              [](Manager& m, Arguments& a) {
                m.Init(a.Text(0));
                return None();
              })
      .Doc("connectionString",
           "Chooses the locale, keeps the connection string and performs a requested action (which "
           "ends the page).")
      .Method("DisplayReports",
              [](Manager& m, Arguments&) {
                m.DisplayReports();
                return None();
              })
      .Doc("",
           "Writes the page the request asks for: home page, saved report, table, password answer.")
      .Method("DisplayReport",
              [](Manager& m, Arguments& a) {
                m.DisplayReport(a.Text(0));
                return None();
              })
      .Doc("reportId", "Shows a saved report.")
      .Method("DisplayTable",
              [](Manager& m, Arguments& a) {
                m.DisplayTable(a.Text(0));
                return None();
              })
      .Doc("tableName",
           "Shows the rows of a table, or of a procedure when the name starts with \"-\".")
      .Method("ReadLocale",
              [](Manager& m, Arguments& a) { return Variant(m.ReadLocale(a.Text(0), a.Text(1))); })
      .Doc("name, default",
           "The locale text of a key, or the default (added to the locale file when missing).");
  return table;
}

}  // namespace

const DispatchTable& Tabulon2::Members() const {
  static const DispatchTable table = BuildMembers();
  return table;
}

}  // namespace quenmark
