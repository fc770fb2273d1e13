// A report on screen: the definition mapped onto a DataGrid (classes, captions, column formats,
// aggregate captions, chart, summaries, procedure, master table, layout, hidden fields), and the
// report page around it with its links and the signed fields its postbacks bring back.

#include "frame/text_util.h"
#include "quenmark/data_grid.h"
#include "quenmark/error.h"
#include "quenmark/shared_procedures.h"
#include "quenmark/shared_settings.h"
#include "reports/manager_state.h"
#include "reports/report_columns.h"

namespace quenmark::reports {
namespace {

std::vector<std::string_view> SplitTrimmed(std::string_view text, std::string_view separator) {
  std::vector<std::string_view> items = Split(text, separator);
  for (std::string_view& item : items) item = Trim(item);
  return items;
}

bool ContainsIgnoringCase(std::string_view text, std::string_view part) {
  return ToUpperAscii(text).find(ToUpperAscii(part)) != std::string::npos;
}

bool ReadsAsTrue(std::string_view value) {
  const std::string upper = ToUpperAscii(Trim(value));
  return upper == "1" || upper == "-1" || upper == "TRUE" || upper == "YES" || upper == "ON";
}

std::string ReplaceAll(std::string text, std::string_view from, std::string_view to) {
  std::string out;
  out.reserve(text.size());
  size_t at = 0;
  for (size_t found; (found = text.find(from, at)) != std::string::npos; at = found + from.size()) {
    out.append(text, at, found - at);
    out.append(to);
  }
  out.append(text, at);
  return out;
}

// Gives the grid the procedure and its parameters from a call text
// (name "|=|" @a='x' "|||" @b=5), and the command the grid shows for it.
void ApplyProcedureCall(DataGrid& grid, const std::string& call) {
  const size_t separator = call.find("|=|");
  std::string_view name = std::string_view(call).substr(0, separator);
  // The name as quoted for its database: [name], `name` or "name".
  if (name.size() >= 2 &&
      ((name.front() == '[' && name.back() == ']') || (name.front() == '`' && name.back() == '`') ||
       (name.front() == '"' && name.back() == '"'))) {
    name = name.substr(1, name.size() - 2);
  }
  grid.SetProcedure(Variant(std::string(name)));
  if (separator != std::string::npos) {
    for (std::string_view item :
         SplitTrimmed(std::string_view(call).substr(separator + 3), "|||")) {
      const size_t equals = item.find('=');
      std::string_view pname = Trim(item.substr(0, equals));
      std::string_view pvalue =
          equals == std::string_view::npos ? "" : Trim(item.substr(equals + 1));
      if (pvalue.size() >= 2 && pvalue.front() == pvalue.back() &&
          (pvalue.front() == '\'' || pvalue.front() == '#')) {
        pvalue = pvalue.substr(1, pvalue.size() - 2);
      }
      if (pname.starts_with('@')) pname.remove_prefix(1);
      grid.AddParameter(Variant(std::string(pname)), Variant(std::string(pvalue)));
    }
  }
  grid.Command(ReplaceAll(ReplaceAll(call, "|=|", " "), "|||", ","));
}

}  // namespace

void ManagerState::DisplaySql(const std::string& sql, bool exporting) {
  int step = 1;
  try {
    if (!connected) OpenConnection();
    DataGrid grid;
    step = 2;
    if (definition.summary.size() > 3) grid.SummaryText(definition.summary);
    step = 3;
    grid.GridClassName(grid_classes[0]);
    grid.HeaderClassName(grid_classes[1]);
    grid.HeaderLinkClass(grid_classes[2]);
    grid.ItemClassName(grid_classes[3]);
    grid.AltItemClassName(grid_classes[4]);
    grid.FooterClassName(grid_classes[5]);
    grid.PagingLinkClass(grid_classes[6]);
    grid.LinkClassName(grid_classes[7]);
    step = 4;
    const ColumnFormatContext format_context{page_url, ThreadSettings().images_url, definition.rid};
    if (definition.fields.size() > 3) {
      for (std::string_view item : SplitTrimmed(definition.fields, ",")) {
        if (item.empty()) continue;
        const std::string caption = SchemaAttribute(definition.schema, item, 'c');
        if (!caption.empty()) grid.ColumnCaption(item, caption);
        const std::string format = SchemaAttribute(definition.schema, item, 'f');
        if (!format.empty()) ApplyColumnFormat(grid, item, format, format_context);
      }
    }
    step = 5;
    if (definition.grpby != 0) {
      if (sql.find("COUNT_1") != std::string::npos) grid.ColumnCaption("COUNT_1", "Count");
      const std::pair<std::string_view, std::string_view> kAggregates[] = {
          {"SUM", "Sum"}, {"AVG", "Avg"},     {"MIN", "Min"},
          {"MAX", "Max"}, {"STDEV", "StDev"}, {"VAR", "Var"}};
      const std::string* lists[] = {&definition.sum, &definition.avg,   &definition.min,
                                    &definition.max, &definition.stdev, &definition.var};
      for (size_t i = 0; i < std::size(kAggregates); ++i) {
        if (lists[i]->empty()) continue;
        AddAggregateCaptions(grid, kAggregates[i].first, *lists[i], kAggregates[i].second,
                             definition.schema, format_context);
      }
    }
    step = 6;
    if (definition.chart != 0) {
      grid.GraphType(definition.graph);
      if (definition.conly == 2) grid.GraphOnly(true);
      grid.GraphLegendColumn(definition.legend);
      grid.SetGraphLabels(definition.gtitle, definition.ylabel, definition.xlabel);
    }
    step = 7;
    grid.NoForm(true);
    step = 8;
    if (exporting && sql.find("|=|", 1) != std::string::npos) definition.isproc = 1;
    step = 9;
    if (definition.isproc == 1) {
      ApplyProcedureCall(grid, sql);
      if (definition.fields.size() > 1) {
        for (std::string_view item : SplitTrimmed(definition.schema, ",")) {
          const std::string name(Trim(item.substr(0, item.find("~c"))));
          if (!name.empty() && !ContainsIgnoringCase(definition.fields, name)) {
            grid.HiddenColumn(name);
          }
        }
      }
    } else {
      step = 10;
      grid.Command(sql);
    }
    step = 11;
    for (std::string_view item : SplitTrimmed(hidden_fields, ",")) {
      if (!item.empty()) grid.HiddenColumn(item);
    }
    step = 12;
    // On postbacks the grid keeps the page size the user chose.
    if (!HasPostedFields()) grid.PageSize(definition.pagesize);
    step = 13;
    if (definition.rtype == 2) grid.MasterTable(definition.mtbl);
    if (definition.rfmt == 2) grid.IsColumnar(true);
    step = 14;
    grid.ShowColumnTotal(definition.coltotal != 0);
    grid.ShowColumnAverage(definition.colavg != 0);
    grid.ShowRowTotal(definition.rowtotal != 0);
    grid.ShowRowAverage(definition.rowavg != 0);
    grid.Connection(*connection);
    step = 15;
    if (exporting) {
      // The grid read the export request from the posted fields; a lent connection does not
      // start it on its own (only CreateConnection does), so it is handed over here.
      if (grid.ExportRequested()) grid.RunExport();
      grid.Display();
      return;
    }
    step = 16;
    grid.Title(definition.rtitle);
    if (!locale_file.empty()) ApplyLocaleToGrid(grid);
    step = 17;
    WriteStyleSheetLink();
    WriteScriptBlock();
    WriteFormStart();
    step = 18;
    std::string out = "<title>" + title + "</title><table width=\"" + width +
                      "\"><tr><td><table width='100%' cellspacing=0 cellpadding=0><tr><td "
                      "class='report_title' nowrap width='100%' >" +
                      definition.rtitle + "</td><td width='200' nowrap align=right class=footer>";
    step = 19;
    if (ReadsAsTrue(Query("closewin")) || ReadsAsTrue(Posted("__cls"))) {
      out += "<input type=hidden name=__cls value=1>";
      out += MakeLink(close_text, close_title, "javascript:window.close()", "link_button", "", "");
    } else {
      if (can_add) {
        out += MakeLink(build_text, build_title,
                        "javascript:___doPostBack('" + encoded_arguments.substr(0, 500) + "')",
                        "link_button", "", "");
        out += " <small>&nbsp;&nbsp;</small> ";
      }
      out += MakeLink(home_text, home_title, home_url, "link_button", "", "");
    }
    step = 20;
    out += "</td></tr></table><hr size='1' noshade style='page-break-after:always;'/>";
    Write(out);
    grid.Display();
    Write("</td></tr></table><input type=hidden name=__SQL value=\"" +
          SignedValue("report-sql", EncodeBase64(sql)) + "\">");
    WriteFormEnd();
  } catch (const Error& error) {
    throw Error(error.Number(), error.Description() + "<br> DisplaySQL: " + std::to_string(step),
                error.Source());
  }
}

}  // namespace quenmark::reports
