// Showing a saved report (its password and open parameters first) or a table of the catalogue,
// and the postbacks and exports of a report page, whose query and definition come back signed.

#include "frame/text_util.h"
#include "quenmark/error.h"
#include "quenmark/shared_procedures.h"
#include "reports/manager_state.h"
#include "reports/report_parameters.h"
#include "reports/reports_file.h"

namespace quenmark::reports {
namespace {

std::string HiddenField(std::string_view name, std::string_view value) {
  return "<input type=hidden name=\"" + Server::HTMLEncode(name) + "\" value=\"" +
         Server::HTMLEncode(value) + "\">";
}

bool NamedIn(const std::vector<std::string>& names, std::string_view name) {
  const std::string upper = ToUpperAscii(name);
  for (const std::string& n : names) {
    if (ToUpperAscii(n) == upper) return true;
  }
  return false;
}

constexpr std::string_view kTamperedPage =
    "This report page was changed outside this site, so nothing has been run.<br>Open the "
    "report again from the reports home page.";

}  // namespace

void ManagerState::DisplayReport(std::string_view report_id) {
  const std::string id = ToUpperAscii(Trim(report_id));
  const ReportsFile file(reports_file);
  if (!file.Open().ok()) {
    ShowMessage("Reports file not found",
                "Make sure the file exists in the following location:<br><code><font "
                "color=blue>" +
                    Server::HTMLEncode(reports_file) + "</font></code>",
                "red");
    return;
  }
  Result<ReportEntry> entry = file.FindReport(id);
  if (!entry.ok()) {
    ShowMessage("REPORT NOT FOUND",
                "The report you requested has either been deleted or does not exist.<br><code>"
                "<font color=blue><b>Report ID: </b>" +
                    Server::HTMLEncode(id) + "</font></code>",
                "navy");
    return;
  }
  LoadDefinition(entry->args);
  std::string query = DecodeBase64(entry->query);

  // A password is asked until the request carries the signed proof for this very report.
  const std::string erid = context == nullptr ? "" : context->request.Item("erid");
  if (!definition.rpwd.empty() && !ReportPassOpens(erid, id)) {
    std::string out = "<blockquote><b>This report requires a password</b><form action=\"" +
                      page_url +
                      "\" method=post id=form1 name=form1>Password: <input type=password name=pwd>";
    const FieldCollection& arguments = context->request.QueryString();
    for (const std::string& name : arguments.Names()) {
      // A stale proof is left out: the answer brings a new one.
      if (EqualsIgnoreCase(name, "erid")) continue;
      out += HiddenField(name, arguments.Get(name));
    }
    if (!arguments.Has("rid")) out += HiddenField("rid", id);
    out += "<input type=hidden name=a value=q>";
    out += HiddenField("rurl2", page_url + "?" + ServerVariable("QUERY_STRING"));
    out += "<br><input type=submit id=submit1 name=submit1></form></blockquote>";
    Write(out);
    return;
  }

  query = ReplaceClockPlaceholders(query, LocalClockNow());
  if (ToUpperAscii(query).find("@USER") != std::string::npos) {
    const std::string user_name =
        context == nullptr ? "" : context->session.Get("UserName").ToText();
    const std::string user_id = context == nullptr ? "" : context->session.Get("UserId").ToText();
    query = ReplaceUserPlaceholders(query, user_name, user_id);
  }
  if (query.find('?') != std::string::npos) {
    query = AskParameters(query);
    if (query.empty()) return;
  }
  DisplaySql(query, false);
}

std::string ManagerState::AskParameters(std::string_view query) {
  ParameterAnswer answer =
      FillParameters(query, [&](const std::string& name) { return Query(name); });
  if (answer.missing.empty() && answer.refused.empty()) return std::move(answer.query);

  std::string out = "<blockquote><b>Required Parameter(s)</b>";
  for (const std::string& name : answer.refused) {
    out += "<div class=errmsg>The value given for <b>" + name +
           "</b> cannot be used: enter a number, or a date where the report compares dates.</div>";
  }
  out += "<form action=\"" + page_url + "\" method=get id=form1 name=form1>";
  const FieldCollection& arguments = context->request.QueryString();
  for (const std::string& name : arguments.Names()) {
    const std::string value = arguments.Get(name);
    if (value.empty() || NamedIn(answer.refused, name)) continue;
    out += HiddenField(name, value);
  }
  for (const std::string& name : answer.names) {
    if (NamedIn(answer.missing, name)) {
      out += name + ": <input name=\"" + name + "\"><br>";
    } else if (NamedIn(answer.refused, name)) {
      out += name + ": <input name=\"" + name + "\" value=\"" + Server::HTMLEncode(Query(name)) +
             "\"><br>";
    }
  }
  out += "<br><input type=submit></form></blockquote>";
  Write(out);
  return std::string();
}

void ManagerState::DisplayTable(std::string_view table_name, bool from_request) {
  std::string name(table_name);
  if (from_request) {
    // Browsing the catalogue is a feature of users who may build reports, and only what the
    // catalogue offers under this page's settings may be shown.
    if (!can_add) {
      ShowAccessDenied("You are not allowed to browse the database's tables.");
      return;
    }
    if (!connected) OpenConnection();
    if (!NamedIn(CatalogueLinkNames(), name)) {
      ShowAccessDenied("The table or procedure " + Server::HTMLEncode(name) +
                       " is not offered on this page.");
      return;
    }
  }
  if (!connected) OpenConnection();
  const bool procedure = name.starts_with('-');
  if (procedure) name.erase(0, 1);
  definition = ReportDefinition{};
  definition.rtitle = name + " Report";
  definition.tables = name;
  definition.pagesize = 10;
  definition.isproc = procedure ? 1 : 0;
  encoded_arguments = EncodeBase64("tables:" + name + ";pagesize:10;rtitle:" + name +
                                   " Report;isproc:" + (procedure ? "1" : "0") + ";");
  const std::string quoted = QuoteName(database_kind, name);
  DisplaySql(procedure ? quoted : "SELECT * FROM " + quoted, false);
}

void ManagerState::DisplayPostback() {
  std::string arguments, sql;
  if (!VerifySignedValue("report-args", Posted("__ARGS"), arguments) ||
      !VerifySignedValue("report-sql", Posted("__SQL"), sql)) {
    ShowAccessDenied(kTamperedPage);
    return;
  }
  LoadDefinition(arguments);
  DisplaySql(DecodeBase64(sql), false);
}

void ManagerState::ExportPostback() {
  std::string sql;
  if (!VerifySignedValue("report-sql", Posted("__SQL"), sql)) {
    ShowAccessDenied(kTamperedPage);
    return;
  }
  DisplaySql(DecodeBase64(sql), true);
}

std::vector<std::string> ManagerState::CatalogueLinkNames() {
  std::vector<std::string> names;
  catalogue_links = &names;
  try {
    WriteCatalogue();
  } catch (...) {
    catalogue_links = nullptr;
    throw;
  }
  catalogue_links = nullptr;
  return names;
}

}  // namespace quenmark::reports
