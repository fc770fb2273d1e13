// The pages of a procedure report: the parameter values (-9) and the procedure's result fields
// (-8). Its captions (-7) and options (-6) are pages 2 and 4.

#include "frame/text_util.h"
#include "quenmark/error.h"
#include "quenmark/shared_procedures.h"
#include "quenmark/variant.h"
#include "reports/builder/builder.h"

namespace quenmark::reports::builder {
namespace {

struct ProcedureParameterItem {
  std::string name;
  std::string value;
  std::string type;
};

// The params items of exactly three "|" parts.
std::vector<ProcedureParameterItem> ParameterItems(std::string_view params) {
  std::vector<ProcedureParameterItem> items;
  for (const std::string& item : ListItems(params)) {
    const size_t first = item.find('|');
    if (first == std::string::npos) continue;
    const size_t second = item.find('|', first + 1);
    if (second == std::string::npos || item.find('|', second + 1) != std::string::npos) continue;
    items.push_back({item.substr(0, first), item.substr(first + 1, second - first - 1),
                     item.substr(second + 1)});
  }
  return items;
}

// "," and "|" separate the parameter list and ";" ends the definition text.
std::string ParameterText(std::string_view posted) {
  std::string text;
  for (char c : posted) {
    if (c != ',' && c != '|' && c != ';') text.push_back(c);
  }
  return text;
}

}  // namespace

void WriteProcedureParametersPage(BuilderRequest& b) {
  const ReportDefinition& d = b.definition;
  std::string out = "<div><b>" + Html(d.tables) +
                    "</b> - enter the parameter values<div class=main2><table width=\"100%\" "
                    "cellpadding=0 cellspacing=0><tr><td><b>Parameter Name</b></tb><td><b>"
                    "Parameter Value</b></td></tr>";
  size_t n = 0;
  for (const ProcedureParameterItem& item : ParameterItems(d.params)) {
    const std::string number = std::to_string(++n);
    out += "<tr><td class=label>" + Html(item.name) +
           "</td><td nowrap=\"true\"><input size=30 name=\"p_value" + number + "\" value=\"" +
           Html(item.value) + "\"><input type=hidden name=\"p_name" + number + "\" value=\"" +
           Html(item.name) + "\"><input type=hidden name=\"p_type" + number + "\" value=\"" +
           Html(item.type) + "\"></td></tr>";
  }
  out += "<input type=hidden name=p_count value=\"" + std::to_string(n) + "\"></table></div>";
  b.Write(out);
}

void ReadProcedureParameters(BuilderRequest& b) {
  const int count = std::atoi(b.Posted("p_count").c_str());
  std::string params;
  for (int i = 1; i <= count && i <= 1000; ++i) {
    const std::string n = std::to_string(i);
    if (!params.empty()) params.push_back(',');
    params += ParameterText(b.Posted("p_name" + n)) + "|" + ParameterText(b.Posted("p_value" + n)) +
              "|" + ParameterText(b.Posted("p_type" + n));
  }
  b.definition.params = std::move(params);
}

void WriteProcedureFieldsPage(BuilderRequest& b) {
  ManagerState& s = b.state;
  ReportDefinition& d = b.definition;
  if (const std::string refused = CheckDefinitionNames(s, d); !refused.empty()) {
    s.ShowMessage("Errors Occured", Html(refused), "red");
    s.EndResponse();
  }
  Command command(d.tables);
  for (const ProcedureParameterItem& item : ParameterItems(d.params)) {
    command.AddParameter(item.name, Variant(item.value));
  }
  auto result = s.connection->Call(command, 1);
  if (!result.ok()) {
    s.ShowError("Error #:" + std::to_string(static_cast<int>(ErrorNumber::kGeneric)) + "<br>" +
                Html(result.Description()));
  }
  const std::vector<FieldInfo>& columns = (*result)->Fields();
  if (columns.empty()) {
    s.ShowMessage("Invalid Procedure Type", "Your stored procedure does not return any fields",
                  "red");
    s.EndResponse();
  }
  std::string out =
      "<div><b>Select the fields you want to display</b><div class=main2><table border=0 "
      "cellpadding=0 cellspacing=0>";
  for (size_t i = 0; i < columns.size(); ++i) {
    const std::string n = std::to_string(i);
    const std::string& name = columns[i].name;
    out += "<tr><td nowrap=\"true\"><label for=fx" + n + ">" + Html(name) +
           "</label></td><td nowrap=\"true\" width=\"10\"><input type=checkbox name=\"fields\" "
           "value=\"" +
           Html(name) + "\" id=fx" + n;
    if (ListHasItem(d.fields, name)) out += " checked ";
    out += ">&nbsp;&nbsp;</td></tr>";
  }
  out += "</table></div>";
  // The captions page of a procedure report reads the fields' descriptors from the schema.
  std::string schema;
  for (const FieldInfo& column : columns) {
    if (!schema.empty()) schema.push_back(',');
    schema += SchemaDescriptor(column.name,
                               PreviousSchemaAttribute(d.schema, column.name, 'c', column.name),
                               PreviousSchemaAttribute(d.schema, column.name, 'f', ""),
                               PreviousSchemaAttribute(d.schema, column.name, 't',
                                                       std::to_string(ClassifyFieldType(column.type))));
  }
  d.schema = std::move(schema);
  b.Write(out);
}

}  // namespace quenmark::reports::builder
