// The builder's flow: the page frame, the first request (tables ticked on the home page, a
// table list, a procedure, or a saved report to edit), reading a posted page, applying its
// edits and choosing the next page.

#include <cmath>

#include "frame/text_util.h"
#include "quenmark/conversions.h"
#include "quenmark/shared_procedures.h"
#include "reports/builder/builder.h"
#include "reports/reports_file.h"

namespace quenmark::reports {
namespace {

using builder::BuilderRequest;

// A posted number as a 16-bit integer: `fallback` when it is not a number or does not fit.
int16_t PostedInt16(std::string_view value, int16_t fallback) {
  const std::optional<double> number = ParseNumber(value);
  if (!number || !std::isfinite(*number) || std::fabs(*number) > 32767) return fallback;
  return ToInt16(*number);
}

// The leading number of a posted flag (0 when it has none).
int16_t PostedFlag(std::string_view value) {
  const double number = LeadingNumber(value);
  if (!std::isfinite(number) || std::fabs(number) > 32767) return 0;
  return ToInt16(number);
}

// Procedure reports start at the parameter page when there are parameters to ask for.
int16_t FirstProcedurePage(const ManagerState& s, const ReportDefinition& d) {
  return d.params.empty() || s.use_procedures_set ? -8 : -9;
}

void WriteFrameStart(const ManagerState& s) {
  s.Write("<title>" + s.title +
          "</title><style>a{color:blue;}body{background-color:#cccccc;margin:0px;}"
          "div{padding:2px;}div.main{background-color:#dcdcdc;height:180px;overflow:auto;"
          "border:1px solid gray;}"
          "div.main2{background-color:#dcdcdc;border:1px solid gray;height:250px;overflow:auto;"
          "padding-left:10px;}td,input{font-family:tahoma,verdana,arial;font-size:9pt;"
          "padding-left:2px;}select{width:100%;}</style>");
  s.Write("<body scroll=\"auto\"><center>");
  s.Write("<form method=\"post\" action=\"" + s.page_url +
          "\"><table cellpadding=0 cellspacing=0 border=0 width=\"450\"><tr><td>");
}

void WriteFrameEnd(const ManagerState& s) { s.Write("</td></tr></table></form>"); }

// The first request: what the builder was opened for. False after refusing it.
bool ReadOpening(BuilderRequest& b) {
  ManagerState& s = b.state;
  ReportDefinition& d = b.definition;
  auto argument = [&](std::string_view name) {
    std::string value = s.Query(name);
    return value.empty() ? s.Posted(name) : value;
  };
  if (const std::string t(Trim(argument("t"))); !t.empty()) {
    d.tables = t.starts_with(',') ? t.substr(1) : t;
  } else if (const std::string et = argument("et"); !et.empty()) {
    // Encoded texts are blank-filled to whole groups.
    d.tables = std::string(Trim(DecodeBase64(et)));
  } else if (const std::string sp = argument("sp"); !sp.empty()) {
    std::string call(Trim(DecodeBase64(sp)));
    if (const size_t title = call.find("|+|"); title != std::string::npos) {
      d.rtitle = call.substr(title + 3);
      call.erase(title);
    }
    if (const size_t equals = call.find('='); equals != std::string::npos) {
      d.tables = call.substr(0, equals);
      d.params = call.substr(equals + 1);
    } else {
      d.tables = call;
      d.params.clear();
    }
    d.isproc = 1;
  } else if (argument("erid").empty()) {
    s.ShowMessage("Nothing to Build",
                  "Choose the tables or the procedure of the new report on the home page first.",
                  "navy");
    return false;
  } else {
    const std::string id(Trim(DecodeBase64(argument("erid"))));
    if (!builder::IsValidReportId(id)) {
      s.ShowMessage("Invalid Report ID", builder::InvalidReportIdMessage(), "red");
      return false;
    }
    const std::string args = ReportsFile(s.reports_file).LoadReportArgs(id);
    if (args.empty()) {
      s.ShowMessage("Report Not Found",
                    "The report (" + builder::Html(id) + ") has not been found", "red");
      return false;
    }
    s.LoadDefinition(args);
    b.original_id = ToUpperAscii(id);
    if (d.rid.empty()) d.rid = b.original_id;
    // The stored password (a hash) never leaves the server; saving keeps it.
    d.rpwd.clear();
  }
  return true;
}

// Reads every member from the posted form.
void ReadPostedPage(BuilderRequest& b) {
  ManagerState& s = b.state;
  ReportDefinition& d = b.definition;
  // A form sent without a button (Enter in a text input) shows the same page again.
  b.index = PostedInt16(s.Posted("index"), b.src == 0 ? int16_t{1} : b.src);
  b.from_graph = s.Posted("from_graph") == "1";
  b.chart_page_shown = false;
  d.tables = s.Posted("tables");
  // Ticked boxes arrive joined by ", "; the definition keeps its field ids joined by ",".
  d.fields.clear();
  for (const std::string& id : builder::ListItems(s.Posted("fields"))) {
    if (!d.fields.empty()) d.fields.push_back(',');
    d.fields += id;
  }
  d.filters = s.Posted("filters");
  d.relations = s.Posted("relations");
  d.schema = s.Posted("schema");
  d.rdesc = s.Posted("rdesc");
  d.rgroup = s.Posted("rgroup");
  d.rid = std::string(Trim(s.Posted("rid")));
  if (d.rid.empty()) d.rid = GenerateId();
  d.rtitle = s.Posted("rtitle");
  if (d.rtitle.empty()) {
    std::string title = d.tables;
    for (char& c : title) {
      if (c == ',') c = ' ';
    }
    d.rtitle = std::string(Trim(title + " Report"));
  }
  d.summary = s.Posted("summary");
  d.rpwd = s.Posted("rpwd");
  b.remove_password = s.Posted("rpwd_remove") == "1";
  b.original_id = ToUpperAscii(Trim(s.Posted("orid")));
  if (!builder::IsValidReportId(b.original_id)) b.original_id.clear();
  d.dbt = PostedInt16(s.Posted("dbt"), 0);
  d.rfmt = PostedInt16(s.Posted("rfmt"), 0);
  d.grpby = PostedInt16(s.Posted("grpby"), 0);
  d.sonly = PostedInt16(s.Posted("sonly"), 0);
  d.join = PostedInt16(s.Posted("join"), 0);
  d.distinct = PostedInt16(s.Posted("distinct"), 0);
  d.count = PostedInt16(s.Posted("count"), 0);
  d.chart = PostedInt16(s.Posted("chart"), 0);
  d.graph = PostedInt16(s.Posted("graph"), 0);
  d.conly = PostedInt16(s.Posted("conly"), 0);
  d.rtype = PostedInt16(s.Posted("rtype"), 0);
  d.pagesize = PostedInt16(s.Posted("pagesize"), 10);
  // A grid needs at least one row per page.
  if (d.pagesize < 1) d.pagesize = 10;
  d.sum = s.Posted("sum");
  d.avg = s.Posted("avg");
  d.min = s.Posted("min");
  d.max = s.Posted("max");
  d.stdev = s.Posted("stdev");
  d.var = s.Posted("var");
  d.legend = s.Posted("legend");
  d.gtitle = s.Posted("gtitle");
  d.xlabel = s.Posted("xlabel");
  d.ylabel = s.Posted("ylabel");
  d.mtbl = s.Posted("mtbl");
  d.coltotal = PostedFlag(s.Posted("coltotal"));
  d.colavg = PostedFlag(s.Posted("colavg"));
  d.rowtotal = PostedFlag(s.Posted("rowtotal"));
  d.rowavg = PostedFlag(s.Posted("rowavg"));
  d.isproc = PostedFlag(s.Posted("isproc"));
  d.params = s.Posted("params");
}

// The edits of the page that was shown.
void ApplyPostedEdits(BuilderRequest& b) {
  switch (b.src) {
    case 2:
    case -7:
      builder::ApplyCaptions(b);
      break;
    case 3:
      builder::AddFilter(b);
      break;
    case 5:
      if (b.definition.grpby != 1) builder::AddSummary(b);
      break;
    case -9:
      builder::ReadProcedureParameters(b);
      break;
    default:
      break;
  }
}

// The report id typed on the options page is checked before anything else uses it; a refused
// id brings that page back with the reason.
bool CheckPostedReportId(BuilderRequest& b) {
  if (builder::IsValidReportId(b.definition.rid)) return true;
  b.message = "<font size=1 color=red>" + builder::Html(builder::InvalidReportIdMessage()) +
              "</font>";
  b.definition.rid = GenerateId();
  b.index = b.definition.isproc == 1 ? -6 : 4;
  return false;
}

}  // namespace

void ManagerState::RunBuilder() {
  BuilderRequest b(*this);
  if (!HasPostedFields()) {
    // A refused opening shows only its message.
    if (!ReadOpening(b)) return;
    WriteFrameStart(*this);
    if (definition.isproc != 1) {
      builder::WriteFieldsPage(b);
      builder::WriteNavigation(b, 1);
    } else {
      b.first_procedure_page = FirstProcedurePage(*this, definition);
      if (b.first_procedure_page == -9) {
        builder::WriteProcedureParametersPage(b);
      } else {
        builder::WriteProcedureFieldsPage(b);
      }
      builder::WriteNavigation(b, b.first_procedure_page);
    }
    return WriteFrameEnd(*this);
  }

  WriteFrameStart(*this);
  b.src = PostedInt16(Posted("src"), 0);
  ReadPostedPage(b);
  if (definition.isproc == 1) b.first_procedure_page = FirstProcedurePage(*this, definition);
  ApplyPostedEdits(b);
  CheckPostedReportId(b);
  Write(b.message);

  const ReportDefinition& d = definition;
  switch (b.index) {
    case 0:
      builder::SaveFinishedReport(b);
      return WriteFrameEnd(*this);
    case 1:
      builder::WriteFieldsPage(b);
      break;
    case 2:
    case -7:
      builder::WriteCaptionsPage(b);
      break;
    case 3:
      builder::WriteFiltersPage(b);
      break;
    case 4:
    case -6:
      builder::WritePropertiesPage(b);
      break;
    case 5:
      // Add Summary posts page 5 to itself: it stays on the summaries page.
      if (d.chart != 0 && b.src != 4 && b.src != 5 && !b.from_graph) {
        builder::WriteChartPage(b);
      } else {
        builder::WriteSummariesPage(b);
      }
      break;
    case 6:
      if (d.chart != 0 && !b.from_graph) {
        builder::WriteChartPage(b);
      } else {
        builder::WriteOrderPage(b);
      }
      break;
    case -9:
      builder::WriteProcedureParametersPage(b);
      break;
    case -8:
      builder::WriteProcedureFieldsPage(b);
      break;
    default:
      break;
  }
  builder::WriteNavigation(b, b.chart_page_shown ? int16_t{6} : b.index);
  WriteFrameEnd(*this);
}

}  // namespace quenmark::reports
