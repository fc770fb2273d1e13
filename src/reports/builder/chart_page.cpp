// The chart options page, shown between pages 5 and 6 when a graph is chosen: graph type,
// graph-only display, the legend field and the graph's labels.

#include <array>

#include "reports/builder/builder.h"

namespace quenmark::reports::builder {
namespace {

// A small picture of three bars (red, blue, green) of the given heights in pixels; `split`
// divides each bar in three coloured parts like a stacked or relative graph.
std::string SamplePicture(const std::array<int, 3>& heights, bool split) {
  static constexpr std::array<std::string_view, 3> kColours = {"red", "blue", "green"};
  std::string out = "<table cellpadding=0 cellspacing=2 border=0><tr valign=bottom>";
  for (size_t bar = 0; bar < 3; ++bar) {
    out += "<td><table cellpadding=0 cellspacing=0 border=0 width=8>";
    if (split) {
      for (size_t part = 0; part < 3; ++part) {
        out += "<tr><td style='background-color:" + std::string(kColours[part]) +
               ";height:" + std::to_string(heights[(bar + part) % 3] / 3 + 2) +
               "px;font-size:1px;'>&nbsp;</td></tr>";
      }
    } else {
      out += "<tr><td style='background-color:" + std::string(kColours[bar]) +
             ";height:" + std::to_string(heights[bar]) + "px;font-size:1px;'>&nbsp;</td></tr>";
    }
    out += "</table></td>";
  }
  return out + "</tr></table>";
}

bool IsPlainName(std::string_view id) {
  for (char c : id) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       c == '_' || c == '.' || c == '-';
    if (!plain) return false;
  }
  return true;
}

std::string Checked(bool on) { return on ? "checked" : ""; }

}  // namespace

void WriteChartPage(BuilderRequest& b) {
  ReportDefinition& d = b.definition;
  b.chart_page_shown = true;
  if (d.graph == 0) d.graph = 1;
  constexpr std::string_view kCellBreak =
      "&nbsp;&nbsp;</td><td valign=bottom style='border:1px solid black;'>";
  std::string out =
      "<div style=\"padding-bottom:4px;\"><b>Chart Options</b><div class=main2><table border=0 "
      "cellpadding=2 cellspacing=0><tr><td colspan=7><b>Select a graph "
      "type</b></td></tr><tr><td valign=bottom style='border:1px solid black;'>";
  out += SamplePicture({30, 18, 24}, false) + "<input " + Checked(d.graph == 1) +
         " type=radio name=chk1 onclick='this.form.graph.value=1;' id=chk1><label "
         "for=chk1>Basic</label>";
  out += std::string(kCellBreak) + SamplePicture({30, 18, 24}, true) + "<input " +
         Checked(d.graph == 2) +
         " type=radio name=chk1 onclick='this.form.graph.value=2;' id=chk2><label "
         "for=chk2>Stacked</label>";
  out += std::string(kCellBreak) + SamplePicture({27, 27, 27}, true) + "<input " +
         Checked(d.graph == 3) +
         " type=radio name=chk1 onclick='this.form.graph.value=3;' id=chk3><label "
         "for=chk3>Relative</label>";
  out += "</td><td nowrap=\"true\"><input " + Checked(d.conly != 2) +
         " type=radio name=rx2 onclick=this.form.conly.value=1 id=rx21/><label for=rx21>show "
         "graph & report</label><br><input " +
         Checked(d.conly == 2) +
         " type=radio name=rx2 onclick=this.form.conly.value=2 id=rx22/><label for=rx22>show "
         "graph only</label></td></tr></table>&nbsp;<br>";
  out +=
      "<table border=0 width=\"100%\" cellpadding=2 cellspacing=0><tr><td><b>Select the Legend "
      "Field</b></td><td><b>Graph Labels</b></td></tr><tr><td valign=top>";
  // Legend candidates: the fields a summary report groups by (not aggregated).
  size_t number = 0;
  for (const std::string& id : ListItems(d.fields)) {
    ++number;
    const bool aggregated = ListHasItem(d.sum, id) || ListHasItem(d.avg, id) ||
                            ListHasItem(d.min, id) || ListHasItem(d.max, id) ||
                            ListHasItem(d.stdev, id) || ListHasItem(d.var, id);
    if (IsAggregatable(SchemaAttribute(d.schema, id, 't')) && aggregated) continue;
    if (d.legend.empty()) d.legend = id;
    const std::string n = std::to_string(number);
    // Plain ids keep the unquoted attribute; others are quoted and escaped.
    const std::string script = "this.form.legend.value='" + ScriptInAttribute(id) + "'";
    out += "<input " + Checked(id == d.legend) + " type=radio name=rxf onclick=" +
           (IsPlainName(id) ? script : "\"" + script + "\"") + " id=rxf" + n +
           "><label for=rxf" + n + ">" + Html(id) + "</label><br>";
  }
  out += "</td><td valign=top><table><tr><td>Title:</td><td><input size=30 name=gtitle value=\"" +
         Html(d.gtitle) +
         "\"></td></tr><tr><td>Y-Label:</td><td><input size=30 name=ylabel value=\"" +
         Html(d.ylabel) +
         "\"></td></tr><tr><td>X-Label:</td><td><input size=30 name=xlabel value=\"" +
         Html(d.xlabel) +
         "\"></td></tr></table></td></tr></table></div><input type=hidden name=from_graph "
         "value=1></div>";
  b.Write(out);
}

}  // namespace quenmark::reports::builder
