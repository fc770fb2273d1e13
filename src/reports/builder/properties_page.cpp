// Page 4 (and -6): title, id, page size, format, summary report switch, description, password
// and group.

#include "frame/text_util.h"
#include "quenmark/shared_procedures.h"
#include "reports/builder/builder.h"
#include "reports/reports_file.h"

namespace quenmark::reports::builder {
namespace {

// The report groups of the reports file as options, the report's own group selected.
std::string GroupOptions(const ManagerState& s, std::string_view selected) {
  const ReportsFile file(s.reports_file);
  Result<XmlDocument> document = file.Open();
  if (!document.ok() && file.Create().ok()) document = file.Open();
  if (!document.ok()) return "<option>ERROR! REPORTS NOT FOUND</Option>";
  std::string out;
  for (const XmlNode& group : document->ElementsByTagName("group")) {
    const std::string id = group.GetAttribute("id");
    out += "<option";
    out += id == selected ? " selected value=\"" : " value=\"";
    out += Html(id) + "\">" + Html(group.GetAttribute("title")) + "</option>";
  }
  return out;
}

// Whether the saved report the builder edits is protected by a password.
bool HasStoredPassword(const ManagerState& s, const std::string& id) {
  if (id.empty()) return false;
  ReportDefinition stored;
  ReadDefinitionText(DecodeBase64(ReportsFile(s.reports_file).LoadReportArgs(id)), stored);
  return !stored.rpwd.empty();
}

}  // namespace

void WritePropertiesPage(BuilderRequest& b) {
  const ManagerState& s = b.state;
  const ReportDefinition& d = b.definition;
  std::string out =
      "<div><b>Add a title and description to your report</b></div><div class=main2><table "
      "border=0>";
  out += "<tr><td nowrap=\"true\">Report Title:&nbsp;</td><td><input type=text size=47 "
         "name=rtitle value=\"" +
         Html(d.rtitle) + "\"></td></tr>";
  out += "<tr><td>Report ID:&nbsp;</td><td><input type=text size=12 name=rid value=\"" +
         Html(d.rid) +
         "\">&nbsp;&nbsp;&nbsp;&nbsp;Page Size:&nbsp;<input type=text size=5 name=pagesize "
         "value=\"" +
         std::to_string(d.pagesize) + "\">";
  out += "<tr><td>Report format:&nbsp;</td><td><input ";
  if (d.rfmt == 2) out += "checked ";
  out +=
      " type=radio name=rx1 onclick=this.form.rfmt.value=2 id=rx12><label for=rx12>Columnar "
      "<small>(Form)</small></label>&nbsp;<input ";
  if (d.rfmt != 2) out += "checked ";
  out +=
      " type=radio name=rx1 onclick=this.form.rfmt.value=1 id=rx11><label for=rx11>Tabular "
      "<small>(Grid)</small></label>&nbsp;";
  if (d.rtype != 2 && d.isproc != 1) {
    out += "<input ";
    if (d.grpby == 1) out += "checked ";
    out +=
        "type=checkbox name=chk2 "
        "onclick='if(this.checked){this.form.grpby.value=1;}else{this.form.grpby.value=0};' "
        "id=chk2><label for=chk2>Summary report</label>";
  }
  out += "</td></tr><tr><td colspan=2>Report Description:&nbsp;<br><textarea name=rdesc rows=5 "
         "cols=46>" +
         Html(UnescapeDescriptionQuotes(d.rdesc)) + "</textarea></td></tr>";
  // The password input shows only what was typed in this builder session; a saved report's
  // password stays on the server and is kept unless a new one is typed or removal is ticked.
  out += "<tr><td  colspan=2>Password:&nbsp;<input type=password size=10 name=rpwd value=\"" +
         Html(d.rpwd) + "\">";
  if (HasStoredPassword(s, b.original_id)) {
    out += "&nbsp;<input type=checkbox name=rpwd_remove value=1 id=rpwdx";
    if (b.remove_password) out += " checked";
    out += "><label for=rpwdx>Remove password</label>";
  }
  out += "&nbsp;&nbsp;Group:&nbsp;<select name=rgroup style='width:210px;'>" +
         GroupOptions(s, d.rgroup) + "</select></td></tr></table></div>";
  b.Write(out);
}

}  // namespace quenmark::reports::builder
