#pragma once
// The state of a Tabulon2 and the operations its parts share (page chrome, actions, locale,
// home page, saving definitions). One object serves one request.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "quenmark/database.h"
#include "quenmark/page_context.h"
#include "reports/report_definition.h"

namespace quenmark {
class DataGrid;
}

namespace quenmark::reports {

struct ManagerState {
  // Permissions and listing.
  bool can_edit = true;
  bool can_delete = true;
  bool can_add = true;
  std::string use_reports;
  std::string hidden_reports;

  // Catalogue.
  bool turn_off_table_links = false;
  std::string turn_off_table_links_for;  // normalised ",a,b,"
  std::string turn_on_table_links_for;   // normalised
  std::string use_procedures;
  bool use_procedures_set = false;
  std::string use_tables;
  std::string hidden_tables;  // normalised
  std::string hidden_fields;  // normalised
  bool hide_tables = false;
  bool hide_views = false;
  bool hide_procedures = false;
  std::string tables_query;
  std::string views_query;
  std::string procedures_query;

  // Connection.
  std::string connection_string;
  std::unique_ptr<Connection> connection;
  bool connected = false;
  int16_t database_kind = 0;

  // Pages.
  std::string page_url;  // the request's URL, safe to write into attributes and scripts
  std::string home_url;
  std::string style_sheet = "styles.css";
  std::string width;
  std::string title = "ASP Tabulon";
  std::string reports_title = "Reports";
  int16_t dialog_width = 500;
  int16_t dialog_height = 300;
  bool dialog_size_set = false;
  bool browser_flag = false;
  std::string close_text = "Close";
  std::string home_text = "Home";
  std::string build_text = "Build Report";
  std::string close_title = "Close window";
  std::string home_title = "Return home";
  std::string build_title = "Edit report properties";
  std::string grid_classes[8] = {"grid",     "header", "header_link", "item",
                                 "alt_item", "footer", "paging_link", "item_link"};

  // Files.
  std::string reports_file;
  std::string locale_file;
  std::string locale_folder;
  bool auto_detect_locale = false;
  // The locale file was chosen from the browser's language: it is read, never created.
  bool locale_detected = false;

  // The report being shown, built or edited.
  ReportDefinition definition;
  std::string encoded_arguments;

  PageContext* context = nullptr;
  // Set while the catalogue is only being listed (nothing is written): the names its links show.
  std::vector<std::string>* catalogue_links = nullptr;

  // --- page chrome (page_chrome.cpp) ---------------------------------------------------------
  void Write(std::string_view text) const;
  [[noreturn]] void EndResponse() const;
  [[noreturn]] void Redirect(const std::string& url) const;
  [[noreturn]] void ShowError(std::string_view text) const;
  void ShowMessage(std::string_view title, std::string_view text, std::string_view colour) const;
  /// ShowMessage("Access Denied", what, "red").
  void ShowAccessDenied(std::string_view what) const;
  /// The clear answer of a feature this build does not have yet.
  void ShowNotAvailable(std::string_view what) const;
  void WriteStyleSheetLink() const;
  void WriteScriptBlock() const;
  void WriteFormStart() const;
  void WriteFormEnd() const;
  void WriteGroupForm() const;

  // --- requests ------------------------------------------------------------------------------
  std::string Query(std::string_view name) const;
  std::string Posted(std::string_view name) const;
  bool HasPostedFields() const;
  std::string ServerVariable(std::string_view name) const;
  /// Physical path of a page-relative or absolute path.
  std::string PhysicalPath(std::string_view path) const;

  // --- connection (tabulon2.cpp) -------------------------------------------------------------
  void OpenConnection();

  // --- actions (manager_actions.cpp) ---------------------------------------------------------
  void RunAction(std::string_view action);
  /// False after writing a refusal when the request came from another site.
  bool RefuseCrossSite() const;

  // --- locale (manager_locale.cpp) -----------------------------------------------------------
  void DetectLocaleFile();
  std::string ReadLocale(std::string_view name, std::string_view fallback);
  void ApplyLocaleToGrid(DataGrid& grid);

  // --- pages (home_page.cpp, catalogue.cpp) -------------------------------------------------
  void WriteHomePage();
  /// The database's tables, views and procedures with their check boxes and links.
  void WriteCatalogue();

  // --- definitions (report_save.cpp) ---------------------------------------------------------
  /// Reads encoded arguments as the current definition.
  void LoadDefinition(std::string_view encoded);
  /// The save step of the builder: stores the current definition and its query in the reports
  /// file and closes the builder window; false after writing why it could not.
  bool SaveDefinition();
  /// The password answer of a report ("q").
  void AnswerPassword();

  // --- report builder (builder/) -------------------------------------------------------------
  /// Writes one builder page for the request, or saves the finished report.
  void RunBuilder();

  // --- signed page values (signed_values.cpp) -------------------------------------------------
  /// `text` + "." + its signature for `purpose`.
  std::string SignedValue(std::string_view purpose, std::string_view text) const;
  /// The text of a value SignedValue made for `purpose`; false when the signature fails.
  bool VerifySignedValue(std::string_view purpose, std::string_view value,
                         std::string& text) const;
  /// The `erid` that proves the password of report `id` was answered.
  std::string ReportPass(std::string_view id) const;
  bool ReportPassOpens(std::string_view erid, std::string_view id) const;
  /// The report id an `erid` names (its signature unchecked).
  static std::string ReportPassId(std::string_view erid);

  // --- showing reports (report_display.cpp, report_grid.cpp) ---------------------------------
  void DisplayReport(std::string_view report_id);
  /// `from_request`: the name came from the page's address and must be in the catalogue.
  void DisplayTable(std::string_view table_name, bool from_request);
  /// The query with its open parameters filled; "" after writing the parameter form.
  std::string AskParameters(std::string_view query);
  void DisplaySql(const std::string& sql, bool exporting);
  /// The postback of a report page: its signed __ARGS and __SQL, or a refusal.
  void DisplayPostback();
  /// The export request of a report grid.
  void ExportPostback();
  /// The names the catalogue links to ("-" before a procedure), as the page's settings allow.
  std::vector<std::string> CatalogueLinkNames();
};

/// "," + the trimmed value with ", " and " ," collapsed to "," + ",".
std::string NormaliseList(std::string_view value);

}  // namespace quenmark::reports
