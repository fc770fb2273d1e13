// Page 5: summaries of a plain report (field, aggregate, description; summary or report
// display; graph) or the aggregate types of a summary report (one row of check boxes per
// number or money field; totals, averages, record count, graph).

#include <array>

#include "frame/text_util.h"
#include "reports/builder/builder.h"

namespace quenmark::reports::builder {
namespace {

constexpr std::string_view kEmptyOption =
    "<option value=\"\">&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;</option>";

constexpr std::array<std::string_view, 7> kAggregates = {"SUM",   "AVG",   "MIN", "MAX",
                                                         "COUNT", "STDEV", "VAR"};

// A check box that sets a hidden number field when it changes.
std::string SwitchBox(std::string_view name, std::string_view field, bool checked,
                      std::string_view label) {
  std::string out = "<input ";
  if (checked) out += "checked ";
  out += "type=checkbox name=" + std::string(name) + " onclick='if(this.checked){this.form." +
         std::string(field) + ".value=1;}else{this.form." + std::string(field) +
         ".value=0};' id=" + std::string(name) + "><label for=" + std::string(name) + ">" +
         std::string(label) + "</label>";
  return out;
}

void WritePlainSummaries(BuilderRequest& b) {
  const ReportDefinition& d = b.definition;
  std::string out =
      "<div><b>Add summaries to your report</b></div><div class=main2><table border=0 "
      "valign=top cellpadding=3 width='100%'><tr><td nowrap=\"true\">Summary Field:</td><td "
      "width='100%'><select name=summary_field>" +
      std::string(kEmptyOption);
  bool numbers = false;
  for (const std::string& descriptor : ListItems(d.schema)) {
    const std::string id = descriptor.substr(0, descriptor.find('~'));
    if (!IsAggregatable(SchemaAttribute(d.schema, id, 't'))) continue;
    numbers = true;
    out += "<option value=\"" + Html(id) + "\">" + Html(FieldLabel(d, id)) + "</option>";
  }
  out +=
      "</select></td><td rowspan=4 valign=top nowrap=\"true\"><br><br><b>Report display "
      "options</b><br><input ";
  if (d.sonly != 2) out += "checked ";
  out +=
      "type=radio name=rx2 onclick=this.form.sonly.value=1 id=rx21><label for=rx21>show summary "
      "& report</label><br><input ";
  if (d.sonly == 2) out += "checked ";
  out +=
      "type=radio name=rx2 onclick=this.form.sonly.value=2 id=rx22><label for=rx22>show summary "
      "only</label>";
  if (numbers) {
    out += "<br><input ";
    if (d.chart == 1) out += "checked";
    out +=
        " type=checkbox name=chk2 "
        "onclick='if(this.checked){this.form.chart.value=1;}else{this.form.chart.value=0};' "
        "id=chk2><label for=chk2>Add graph</label>";
  }
  out +=
      "</td></tr><tr><td nowrap=\"true\">Summary type:</td><td><select "
      "name=summary_type><option>&nbsp;</option><option value=SUM>Sum total</option><option "
      "value=AVG>Average</option><option value=MIN>Minimum value</option><option "
      "value=MAX>Maximum value</option><option value=COUNT>Record Count</option><option "
      "value=STDEV>Standard deviation</option><option value=VAR>Variance</option></select></td>"
      "</tr><tr><td colspan=2>Summary Description:<br><input type=text name=summary_text "
      "style='width:100%;'></td></tr>";
  if (!d.summary.empty()) {
    out += "<tr><td colspan=2><b>Summary:</b>";
    size_t number = 0;
    for (const std::string& item : ListItems(d.summary)) {
      const std::string n = std::to_string(++number);
      const size_t first = item.find("__");
      const std::string field = item.substr(0, first);
      std::string aggregate;
      if (first != std::string::npos) {
        const size_t second = item.find("__", first + 2);
        aggregate = item.substr(first + 2, second == std::string::npos ? std::string::npos
                                                                       : second - first - 2);
      }
      out += "<br><input type=checkbox name=summary value=\"" + Html(item) + "\" id=\"s" + n +
             "\" checked><label for=\"s" + n + "\"><b>" + Html(aggregate) + "</b> " +
             Html(field) + "</label>";
    }
    out += "</td></tr>";
  }
  out += "</table></div>";
  b.Write(out);
}

void WriteSummaryTypes(BuilderRequest& b) {
  const ReportDefinition& d = b.definition;
  std::string out =
      "<div style=\"padding-bottom:4px;\"><b>Select summary types</b><div class=main2 "
      "style='height:170px;'><table border=0 width=100% cellpadding=0 cellspacing=0><tr><td "
      "nowrap=\"true\"><b>Field "
      "Name</b></td><td>SUM</td><td>AVG</td><td>MIN</td><td>MAX</td><td>STDEV</td><td>VAR</td>"
      "</tr>";
  const std::array<std::pair<std::string_view, const std::string*>, 6> lists = {{{"sum", &d.sum},
                                                                                 {"avg", &d.avg},
                                                                                 {"min", &d.min},
                                                                                 {"max", &d.max},
                                                                                 {"stdev", &d.stdev},
                                                                                 {"var", &d.var}}};
  for (const std::string& id : ListItems(d.fields)) {
    if (!IsAggregatable(SchemaAttribute(d.schema, id, 't'))) continue;
    out += "<tr><td nowrap=\"true\">" + Html(FieldLabel(d, id)) + "&nbsp;</td>";
    for (const auto& [name, list] : lists) {
      out += "<td><input ";
      if (ListHasItem(*list, id)) out += "checked";
      out += " type=checkbox name=" + std::string(name) + " value=\"" + Html(id) + "\"></td>";
    }
    out += "</tr>";
  }
  out +=
      "</table></div><div class=main2 style='border-top:0px;height:60px;'><table><tr><td>"
      "&nbsp;&nbsp;" +
      SwitchBox("chk11", "coltotal", d.coltotal == 1, "Show column total") +
      "</td><td>&nbsp;&nbsp;" + SwitchBox("chk12", "colavg", d.colavg == 1, "Show column average") +
      "</td></tr><tr><td>&nbsp;&nbsp;" +
      SwitchBox("chk21", "rowtotal", d.rowtotal == 1, "Show row total") + "</td><td>&nbsp;&nbsp;" +
      SwitchBox("chk22", "rowavg", d.rowavg == 1, "Show row average") +
      "</td></tr></table></div>&nbsp;&nbsp;" +
      SwitchBox("chk1", "count", d.count == 1, "Add record count") + "&nbsp;&nbsp;" +
      SwitchBox("chk2", "chart", d.chart == 1, "Add graph") + "</div>";
  b.Write(out);
}

}  // namespace

void WriteSummariesPage(BuilderRequest& b) {
  if (b.definition.grpby == 1) {
    WriteSummaryTypes(b);
  } else {
    WritePlainSummaries(b);
  }
}

void AddSummary(BuilderRequest& b) {
  ReportDefinition& d = b.definition;
  const std::string field(Trim(b.Posted("summary_field")));
  if (field.empty()) return;
  const std::string type(Trim(b.Posted("summary_type")));
  bool known = false;
  for (std::string_view aggregate : kAggregates) known = known || aggregate == type;
  // Only the offered aggregates of an offered field reach the report's SQL.
  if (known && !SchemaAttribute(d.schema, field, 't').empty()) {
    std::string description;
    for (char c : b.Posted("summary_text")) {
      if (c != ',' && c != ';') description.push_back(c);
    }
    d.summary += "," + field + "__" + type + "__" + description;
  }
  if (d.summary == ",") d.summary.clear();
}

}  // namespace quenmark::reports::builder
