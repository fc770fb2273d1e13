// Page 1: the fields of every chosen table as check boxes, the report type and the join
// condition between the tables (proposed from key-like fields of the same name).

#include "frame/text_util.h"
#include "quenmark/error.h"
#include "quenmark/shared_procedures.h"
#include "reports/builder/builder.h"
#include "reports/report_sql.h"

namespace quenmark::reports::builder {
namespace {

// Key-like fields (short integers and short texts) of the same name in two tables propose a
// join term. `earlier` holds ",id" for each key-like field seen so far.
void ProposeRelation(int16_t kind, const FieldInfo& field, const std::string& field_id,
                     std::string& earlier, std::string& proposal) {
  if (!Contains("3,202", std::to_string(field.type)) || field.defined_size >= 10) return;
  const std::string list = ToLowerAscii(earlier) + ",";
  const size_t match = list.find(ToLowerAscii("." + field.name + ","));
  if (match == std::string::npos) {
    earlier += "," + field_id;
    return;
  }
  const size_t start = list.rfind(',', match) + 1;
  const std::string earlier_id = earlier.substr(start, match + 1 + field.name.size() - start);
  if (!proposal.empty()) proposal += " AND ";
  proposal += QuoteName(kind, earlier_id) + "=" + QuoteName(kind, field_id);
}

}  // namespace

void WriteFieldsPage(BuilderRequest& b) {
  ManagerState& s = b.state;
  ReportDefinition& d = b.definition;
  if (!s.connected) s.OpenConnection();
  d.dbt = s.database_kind;
  const std::string previous_schema = d.schema;
  const std::vector<std::string> tables = ListItems(d.tables);

  std::string out =
      "<div><b>Select the fields you wish to display</b><div class=main><table width=\"100%\" "
      "cellpadding=0 cellspacing=0>";
  std::string schema;
  std::string key_fields;
  std::string proposal;
  bool wide = false;
  for (const std::string& table : tables) {
    if (!TableAllowed(s, table)) {
      s.ShowError("The table or view (" + Html(table) + ") cannot be used in reports.");
    }
  }
  for (size_t t = 0; t < tables.size(); ++t) {
    const std::string& table = tables[t];
    auto probe = s.connection->Execute(StructureProbe(table, d.dbt));
    if (!probe.ok()) {
      s.Write(out);
      s.ShowError("Error #:" + std::to_string(static_cast<int>(ErrorNumber::kGeneric)) + "<br>" +
                  Html(probe.Description()));
    }
    Recordset& fields = **probe;
    out += "<tr><td colspan=4>&nbsp;<b>" + Html(table) + "</b></td></tr>";
    size_t row_length = 0;
    const int count = fields.FieldCount();
    for (int i = 0; i < count; ++i) {
      const FieldInfo& field = fields.Field(i);
      if (i % 4 == 0) row_length = 0;
      const bool hidden = Contains(ToLowerAscii(s.hidden_fields), ToLowerAscii("," + field.name + ","));
      if (!hidden) {
        const std::string id = FieldId(d.dbt, table, field.name);
        ProposeRelation(d.dbt, field, id, key_fields, proposal);
        if (i % 4 == 0) out += "<tr>";
        const std::string box = std::to_string(t) + std::to_string(i);
        out += "<td><input name=fields type=checkbox value=\"" + Html(id) + "\" id=chk" + box;
        if (ListHasItem(d.fields, id)) out += " checked ";
        out += "><label for=chk" + box + ">" + Html(field.name) + "</label></td>";
        if (!schema.empty()) schema.push_back(',');
        schema += SchemaDescriptor(
            id, PreviousSchemaAttribute(previous_schema, id, 'c', field.name),
            PreviousSchemaAttribute(previous_schema, id, 'f', ""),
            PreviousSchemaAttribute(previous_schema, id, 't',
                                    std::to_string(ClassifyFieldType(field.type))));
        row_length += field.name.size();
        if (row_length > 60) wide = true;
      }
      if (i % 4 == 3) out += "</tr>";
    }
  }
  d.schema = std::move(schema);
  out += "</table></div><table width='100%'><tr style='font-size:8pt;'><td nowrap=\"true\">";
  if (tables.size() > 1) {
    out += "<b>Report type:</b>&nbsp;<input ";
    if (d.rtype != 2) out += "checked ";
    out +=
        " type=radio name=rx1 onclick=this.form.rtype.value=1 id=rx11>&nbsp;<label "
        "for=rx11>Basic</label>&nbsp;<input ";
    if (d.rtype == 2) out += "checked ";
    out +=
        " type=radio name=rx1 onclick=this.form.rtype.value=2 id=rx12>&nbsp;<label "
        "for=rx12>Master-Details</label>";
  }
  out +=
      "</td><td nowrap=\"true\" align=\"right\"><a href=\"javascript:checkAll();\">Check "
      "All</a>&nbsp;-&nbsp;<a href=\"javascript:clearAll();\">Clear "
      "All</a>&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;</td></tr></table></div>"
      "<script>function checkAll(){__XLR(true);}function clearAll(){__XLR(false);}function "
      "__XLR(check){var f=document.forms[0]; for(var "
      "i=0;i<f.elements.length;i++){if(f.elements[i].name=='fields'){f.elements[i].checked="
      "check;}}}</script>";
  if (tables.size() > 1) {
    out +=
        "<div><table><tr><td><b>Enter your tables' relationship (Join fields)</b><br><input "
        "name=relations value=\"" +
        Html(d.relations.empty() ? proposal : d.relations) +
        "\" size=60 style=\"width:470px;\"></td></tr></table></div>";
  }
  out += "<input type=hidden name=schema value=\"" + Html(d.schema) +
         "\"><input type=hidden name=tables value=\"" + Html(d.tables) + "\">";
  if (wide && !s.dialog_size_set) {
    out +=
        "<script>function resizeOuterTo(w,h) {if (parseInt(navigator.appVersion)>3){if "
        "(navigator.appName==\"Netscape\") {top.outerWidth=w;top.outerHeight=h;}else "
        "top.resizeTo(w,h);}}resizeOuterTo(600,340);</script>";
  }
  s.Write(out);
}

}  // namespace quenmark::reports::builder
