#pragma once
/// `Tabulon2`: the report manager. It keeps report definitions in an XML reports file organised
/// in report groups, lists them with the database's tables, views and procedures, and shows a
/// saved report through a `DataGrid`. Its interface texts come from XML locale files.
///
/// A page creates one per request, sets its properties, calls `Init` and then one display
/// method:
///
///   quenmark::Tabulon2 manager;
///   manager.ReportsFile("/srv/reports/reports.xml");
///   manager.CanDelete(false);
///   manager.Init("sqlite:store.db");   // performs file-changing actions and ends the page
///   manager.DisplayReports();          // home page, saved report, table view, ...
///
/// `Init` performs the actions that change the reports file (deleting, creating, saving
/// groups) or open pop-ups, and then ends the response (`ResponseEnded`). Actions are checked
/// on the server: deletions need `CanDelete`, creations need `CanAdd`, and changes coming from
/// another site (Origin or Referer naming another host) are refused.
///
/// Paths (`ReportsFile`, `LocaleFile`, `LocaleFolder`) are taken as they are when absolute and
/// mapped through `Server.MapPath` otherwise. The reports and locale files should lie outside
/// the served folder (or in a folder whose name starts with ".", which is never served).
///
/// Setting `DatabaseType`, `ImagesUrl`, `MaxRecords`, `UsePopupFilters` or `DefaultDateFormat`
/// changes the settings shared with every grid created later on the same thread. Creating a
/// `Tabulon2` resets the images URL to "images/" and the database kind override.
///
/// Threading: one object serves one request on the thread that created it.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "quenmark/dispatch.h"

namespace quenmark {

class DataGrid;

namespace reports {
struct ManagerState;
}

class Tabulon2 : public Dispatchable {
 public:
  /// Binds to the page context of this thread (if any), sets the defaults and answers the grid
  /// pop-ups ("a" = "j" or "i" in the query string).
  Tabulon2();
  /// Closes the connection it opened.
  ~Tabulon2() override;
  Tabulon2(const Tabulon2&) = delete;
  Tabulon2& operator=(const Tabulon2&) = delete;

  const DispatchTable& Members() const override;
  std::string_view ClassName() const override { return "Tabulon2"; }

  // --- permissions and listing ---------------------------------------------------------------
  bool CanEdit() const;
  void CanEdit(bool on);
  bool CanDelete() const;
  void CanDelete(bool on);
  bool CanAdd() const;
  void CanAdd(bool on);
  /// Sets CanEdit, CanDelete and CanAdd at once.
  void IsAdmin(bool on);
  const std::string& UseReports() const;
  void UseReports(std::string group_ids);
  const std::string& HiddenReports() const;
  void HiddenReports(std::string group_ids);

  // --- catalogue -----------------------------------------------------------------------------
  void TurnOffTableLinks(bool on);
  void TurnOffTableLinksFor(std::string_view names);
  void TurnOnTableLinksFor(std::string_view names);
  /// Ignored when empty; otherwise also hides the database's own procedures.
  void UseProcedures(std::string procedures);
  /// Ignored when empty; otherwise also hides the database's own tables.
  void UseTables(std::string names);
  void HiddenTables(std::string_view names);
  void HiddenFields(std::string_view names);
  void HideTables(bool on);
  void HideViews(bool on);
  void HideProcedures(bool on);
  void DatabaseTablesQuery(std::string sql);
  void DatabaseViewsQuery(std::string sql);

  // --- shared settings -----------------------------------------------------------------------
  void DefaultDateFormat(std::string format);
  void MaxRecords(int32_t records);
  void UsePopupFilters(bool on);
  /// A number, or a database name ("mysql") whose kind is detected.
  void DatabaseType(std::string_view kind);
  /// "/" is appended when missing.
  void ImagesUrl(std::string_view url);

  // --- pages ---------------------------------------------------------------------------------
  void Title(std::string title);
  void ReportsTitle(std::string title);
  void Width(std::string width);
  void DialogWidth(int16_t width);
  void DialogHeight(int16_t height);
  void StyleSheet(std::string url);
  void HomeUrl(std::string url);
  void SetCSSClassNames(std::string strGrid, std::string strHeader, std::string strHeaderLink,
                        std::string strItem, std::string strAltItem, std::string strFooter,
                        std::string strPagingLink, std::string strItemLink);
  /// "2.0.465".
  std::string Version() const;

  // --- files ---------------------------------------------------------------------------------
  void ReportsFile(std::string_view path);
  void LocaleFile(std::string_view path);
  /// Also turns AutoDetectLocale on.
  void LocaleFolder(std::string_view path);
  void AutoDetectLocale(bool on);
  /// The text of a locale key, or `strDefault` (added to the locale file when it lacks the key).
  std::string ReadLocale(std::string_view strName, std::string_view strDefault);
  /// Hands the locale file's texts to a grid (and takes the manager's six link texts).
  void ApplyLocaleToGrid(DataGrid& grid);

  // --- operations ----------------------------------------------------------------------------
  /// Chooses the locale file, keeps the connection string, performs a requested action.
  void Init(std::string_view strConnectionString);
  /// Routes the request: home page, saved report, table view, password answer, postback.
  void DisplayReports();
  void DisplayReport(std::string_view ReportId);
  void DisplayTable(std::string_view sTableName);

  /// The manager's settings and current definition (for the manager's own parts and tests).
  const reports::ManagerState& State() const;

 private:
  std::unique_ptr<reports::ManagerState> state_;
};

}  // namespace quenmark
