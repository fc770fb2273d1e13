// Tabulon2: creation, configuration, the connection and the routing of a request.

#include "quenmark/tabulon2.h"

#include "frame/text_util.h"
#include "quenmark/conversions.h"
#include "quenmark/data_grid.h"
#include "quenmark/error.h"
#include "quenmark/shared_procedures.h"
#include "quenmark/shared_settings.h"
#include "reports/manager_state.h"
#include "reports/reports_file.h"

namespace quenmark {
namespace {

using reports::ManagerState;

// The request's URL as it may be written into attributes, links and script strings: characters
// that could end an attribute or a string are percent-encoded (ordinary paths are unchanged).
std::string SafePageUrl(std::string_view url) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(url.size());
  for (unsigned char c : url) {
    const bool plain =
        (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
        std::string_view("/._~%-+,;=:@!$()*").find(static_cast<char>(c)) != std::string_view::npos;
    if (plain) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    }
  }
  return out;
}

// Runs one step of a routine that goes on after failures: an error is dropped, the end of the
// response is not.
template <class Step>
void Attempt(Step step) {
  try {
    step();
  } catch (const Error&) {
  }
}

}  // namespace

namespace reports {

std::string NormaliseList(std::string_view value) {
  std::string list(Trim(value));
  auto replace_all = [&](std::string_view from) {
    size_t at = 0;
    while ((at = list.find(from, at)) != std::string::npos) list.replace(at, from.size(), ",");
  };
  replace_all(", ");
  replace_all(" ,");
  return "," + list + ",";
}

std::string ManagerState::Query(std::string_view name) const {
  return context == nullptr ? std::string() : context->request.QueryString().Get(name);
}

std::string ManagerState::Posted(std::string_view name) const {
  return context == nullptr ? std::string() : context->request.Form().Get(name);
}

bool ManagerState::HasPostedFields() const {
  return context != nullptr && context->request.Form().Count() > 0;
}

std::string ManagerState::ServerVariable(std::string_view name) const {
  return context == nullptr ? std::string() : context->request.ServerVariable(name);
}

std::string ManagerState::PhysicalPath(std::string_view path) const {
  if (context == nullptr || (!path.empty() && path.front() == '/')) return std::string(path);
  return context->server.MapPath(path);
}

void ManagerState::OpenConnection() {
  auto opened = Connection::Open(connection_string);
  if (!opened.ok()) {
    ShowError("Error #:" + std::to_string(static_cast<int>(ErrorNumber::kGeneric)) + "<br>" +
              Server::HTMLEncode(opened.Description()));
  }
  connection = std::move(*opened);
  connected = true;
  database_kind = DetectDatabaseKind(connection->ConnectionString());
}

}  // namespace reports

Tabulon2::Tabulon2() : state_(std::make_unique<ManagerState>()) {
  ManagerState& s = *state_;
  s.context = CurrentPageContext();
  Attempt([&] { s.reports_file = s.PhysicalPath("reports.xml"); });
  SharedSettings& shared = ThreadSettings();
  shared.images_url = "images/";
  shared.database_kind_override = -1;
  s.page_url = SafePageUrl(s.ServerVariable("URL"));
  s.home_url = s.page_url;
  s.browser_flag = Contains(s.ServerVariable("HTTP_USER_AGENT"), "MSIE");
  const std::string special = s.Query("a");
  // The grid pop-ups of a report page are answered by a grid of their own, which ends the page.
  if (special == "j" || special == "i") DataGrid popup;
}

Tabulon2::~Tabulon2() {
  if (state_->connection) state_->connection->Close();
}

const reports::ManagerState& Tabulon2::State() const { return *state_; }

bool Tabulon2::CanEdit() const { return state_->can_edit; }
void Tabulon2::CanEdit(bool on) { state_->can_edit = on; }
bool Tabulon2::CanDelete() const { return state_->can_delete; }
void Tabulon2::CanDelete(bool on) { state_->can_delete = on; }
bool Tabulon2::CanAdd() const { return state_->can_add; }
void Tabulon2::CanAdd(bool on) { state_->can_add = on; }
void Tabulon2::IsAdmin(bool on) { state_->can_edit = state_->can_delete = state_->can_add = on; }
const std::string& Tabulon2::UseReports() const { return state_->use_reports; }
void Tabulon2::UseReports(std::string group_ids) { state_->use_reports = std::move(group_ids); }
const std::string& Tabulon2::HiddenReports() const { return state_->hidden_reports; }
void Tabulon2::HiddenReports(std::string group_ids) {
  state_->hidden_reports = std::move(group_ids);
}

void Tabulon2::TurnOffTableLinks(bool on) { state_->turn_off_table_links = on; }
void Tabulon2::TurnOffTableLinksFor(std::string_view names) {
  state_->turn_off_table_links_for = reports::NormaliseList(names);
}
void Tabulon2::TurnOnTableLinksFor(std::string_view names) {
  state_->turn_on_table_links_for = reports::NormaliseList(names);
}
void Tabulon2::UseProcedures(std::string procedures) {
  if (procedures.empty()) return;
  state_->use_procedures = std::move(procedures);
  state_->use_procedures_set = true;
  state_->hide_procedures = true;
}
void Tabulon2::UseTables(std::string names) {
  if (names.empty()) return;
  state_->use_tables = std::move(names);
  state_->hide_tables = true;
}
void Tabulon2::HiddenTables(std::string_view names) {
  state_->hidden_tables = reports::NormaliseList(names);
}
void Tabulon2::HiddenFields(std::string_view names) {
  state_->hidden_fields = reports::NormaliseList(names);
}
void Tabulon2::HideTables(bool on) { state_->hide_tables = on; }
void Tabulon2::HideViews(bool on) { state_->hide_views = on; }
void Tabulon2::HideProcedures(bool on) { state_->hide_procedures = on; }
void Tabulon2::DatabaseTablesQuery(std::string sql) { state_->tables_query = std::move(sql); }
void Tabulon2::DatabaseViewsQuery(std::string sql) { state_->views_query = std::move(sql); }

void Tabulon2::DefaultDateFormat(std::string format) {
  ThreadSettings().default_date_format = std::move(format);
}
void Tabulon2::MaxRecords(int32_t records) { ThreadSettings().max_records = records; }
void Tabulon2::UsePopupFilters(bool on) { ThreadSettings().popup_filters = on; }
void Tabulon2::DatabaseType(std::string_view kind) {
  SharedSettings& shared = ThreadSettings();
  if (std::optional<double> number = ParseNumber(kind)) {
    shared.database_kind_override = ToInt16(*number);
    return;
  }
  // A name is detected like a connection string, without the override in force.
  shared.database_kind_override = -1;
  shared.database_kind_override = DetectDatabaseKind(kind);
}
void Tabulon2::ImagesUrl(std::string_view url) {
  std::string value(url);
  if (value.empty() || value.back() != '/') value.push_back('/');
  ThreadSettings().images_url = std::move(value);
}

void Tabulon2::Title(std::string title) { state_->title = std::move(title); }
void Tabulon2::ReportsTitle(std::string title) { state_->reports_title = std::move(title); }
void Tabulon2::Width(std::string width) { state_->width = std::move(width); }
void Tabulon2::DialogWidth(int16_t width) {
  state_->dialog_width = width;
  state_->dialog_size_set = true;
}
void Tabulon2::DialogHeight(int16_t height) {
  state_->dialog_height = height;
  state_->dialog_size_set = true;
}
void Tabulon2::StyleSheet(std::string url) { state_->style_sheet = std::move(url); }
void Tabulon2::HomeUrl(std::string url) { state_->home_url = std::move(url); }
void Tabulon2::SetCSSClassNames(std::string strGrid, std::string strHeader,
                                std::string strHeaderLink, std::string strItem,
                                std::string strAltItem, std::string strFooter,
                                std::string strPagingLink, std::string strItemLink) {
  std::string* classes = state_->grid_classes;
  classes[0] = std::move(strGrid);
  classes[1] = std::move(strHeader);
  classes[2] = std::move(strHeaderLink);
  classes[3] = std::move(strItem);
  classes[4] = std::move(strAltItem);
  classes[5] = std::move(strFooter);
  classes[6] = std::move(strPagingLink);
  classes[7] = std::move(strItemLink);
}
std::string Tabulon2::Version() const { return "2.0.465"; }

void Tabulon2::ReportsFile(std::string_view path) {
  state_->reports_file = state_->PhysicalPath(path);
}
void Tabulon2::LocaleFile(std::string_view path) {
  state_->locale_file = state_->PhysicalPath(path);
}
void Tabulon2::LocaleFolder(std::string_view path) {
  std::string folder = state_->PhysicalPath(path);
  if (folder.empty() || folder.back() != '/') folder.push_back('/');
  state_->locale_folder = std::move(folder);
  state_->auto_detect_locale = true;
}
void Tabulon2::AutoDetectLocale(bool on) { state_->auto_detect_locale = on; }
std::string Tabulon2::ReadLocale(std::string_view strName, std::string_view strDefault) {
  return state_->ReadLocale(strName, strDefault);
}
void Tabulon2::ApplyLocaleToGrid(DataGrid& grid) { state_->ApplyLocaleToGrid(grid); }

void Tabulon2::Init(std::string_view strConnectionString) {
  ManagerState& s = *state_;
  Attempt([&] { s.DetectLocaleFile(); });
  s.connection_string = std::string(strConnectionString);
  const std::string action = s.Query("a");
  if (action.empty()) {
    if (s.Posted("a") == "p") {
      Attempt([&] { s.RunAction("p"); });
      s.EndResponse();
    }
    // An export button of a report grid: its encoded argument starts with the action digit 4
    // and "fmt:".
    if (s.Posted("__FARGS").starts_with("NGZtd")) {
      Attempt([&] { s.ExportPostback(); });
      s.EndResponse();
    }
    return;
  }
  Attempt([&] { s.RunAction(Trim(action)); });
  s.EndResponse();
}

void Tabulon2::DisplayReports() {
  ManagerState& s = *state_;
  if (!s.HasPostedFields()) {
    const std::string rid = s.Query("rid");
    const std::string table = s.Query("t");
    if (rid.empty() && table.empty()) {
      Attempt([&] { s.WriteHomePage(); });
    } else if (!rid.empty()) {
      Attempt([&] { DisplayReport(rid); });
    } else if (const std::string erid = s.Query("erid"); !erid.empty()) {
      Attempt([&] { DisplayReport(ManagerState::ReportPassId(erid)); });
    } else {
      Attempt([&] {
        s.DisplayTable(
            Trim(DecodeBase64(std::string_view(table).substr(std::min<size_t>(8, table.size())))),
            true);
      });
    }
    return;
  }
  const std::string action = s.Posted("a");
  if (action == "p") {
    Attempt([&] { s.RunAction("p"); });
    s.EndResponse();
  }
  if (action == "q") {
    Attempt([&] { s.AnswerPassword(); });
    return;
  }
  Attempt([&] { s.DisplayPostback(); });
}

void Tabulon2::DisplayReport(std::string_view ReportId) { state_->DisplayReport(ReportId); }

void Tabulon2::DisplayTable(std::string_view sTableName) {
  state_->DisplayTable(sTableName, false);
}

}  // namespace quenmark
