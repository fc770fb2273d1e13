// Page 2 (and -7): a caption and a text format for every chosen field, and the master table of
// a master-details report. Custom formats ("C" codes) ask for their parameters with prompts.

#include "frame/text_util.h"
#include "reports/builder/builder.h"

namespace quenmark::reports::builder {
namespace {

constexpr std::string_view kNumberList =
    "N1Decimal: 1,000.00|N4Number: 1,000|N3Percentage: 10%|C1Link to another report";
constexpr std::string_view kCurrencyEntry = "N2Currency: $1,000.00";
constexpr std::string_view kYesNoList =
    "B1Yes/No|B2True/False|B3On/Off|C6Images(true.gif/false.gif)|C2Other|C4Hidden";
constexpr std::string_view kDateList =
    "D1Long Date: Tuesday July 15, 1997|D2Medium Date: 15-July-97|D3Short Date (US): "
    "7/15/97|D4Short Date: 15/7/97|T1Time: 2:30 PM|T2Army Time: 14:30";
constexpr std::string_view kTextList =
    "S1Phone: (800) 555-9000|S2Phone 2: 800-555-9000|S3SSN: 123-45-6789|S4URL: Webpage "
    "link|S5Email Address|S6Image URL|C1Link to another report";
constexpr std::string_view kCommonList = "C3Insert Hyperlink|C4Hidden|C5Text Replacement";

// The format entries offered for a field category, "|"-separated.
std::string FormatEntries(std::string_view category) {
  const std::string common(kCommonList);
  if (category == "131") {
    return std::string(kNumberList) + "|" + std::string(kCurrencyEntry) + "|" + common;
  }
  if (category == "6") return std::string(kCurrencyEntry) + "|" + common;
  if (category == "11") return std::string(kYesNoList);
  if (category == "7") return std::string(kDateList) + "|" + common;
  if (category == "200") return std::string(kTextList) + "|" + std::string(kDateList) + "|" + common;
  return "";
}

std::string FormatOptions(std::string_view category, std::string_view current) {
  std::string out;
  const std::string entries = FormatEntries(category);
  size_t start = 0;
  while (start < entries.size()) {
    size_t bar = entries.find('|', start);
    if (bar == std::string::npos) bar = entries.size();
    const std::string_view entry = std::string_view(entries).substr(start, bar - start);
    out += "<option";
    if (current.size() >= 2 && entry.substr(0, 2) == current.substr(0, 2)) {
      out += " selected value=\"" + Html(current) + "\">";
    } else {
      out += " value=\"" + std::string(entry.substr(0, 2)) + "\">";
    }
    out += std::string(entry.substr(2)) + "</option>";
    start = bar + 1;
  }
  return out;
}

constexpr std::string_view kCustomFormatScript =
    "</div><script>function checkCustFormat(el){var "
    "f=el.options[el.selectedIndex].value.substring(0,2);if (f=='C3'){var "
    "id=window.prompt('Insert Hyperlink:\\nEnter {{FieldName}} for field values. e.g. "
    "index.asp?id={{ProductID}}','Enter the URL for your link here.');var "
    "p=window.prompt('Hyperlink Text \\n(Leave #TEMP# for field "
    "value):','#TEMP#');el.options[el.selectedIndex].value='C3'+id+'-?'+p;}else if "
    "(f=='C1'){var id=window.prompt('Report ID:','Enter your report id here.');var "
    "p=window.prompt('Report Parameter Name:','Enter the parameter name "
    "here.');el.options[el.selectedIndex].value='C1'+id+'?'+p;}else if(f=='C2'){var "
    "t=window.prompt('True Value:','Enter a value for TRUE.');var f=window.prompt('False "
    "Value:','Enter a value for FALSE.');el.options[el.selectedIndex].value='C2'+t+'?'+f;}else "
    "if(f=='C5'){var t=window.prompt('Enter Replacement Text: {{FieldName}} for field values and "
    "#TEMP# for current field. e.g. Dr. #TEMP# "
    "{{LastName}}','#TEMP#');el.options[el.selectedIndex].value='C5'+t;}}</script>";

// "~" and "," would split the field's descriptor and ";" would end the definition text early,
// so they are dropped from captions and formats.
std::string SchemaValue(std::string_view posted) {
  std::string value;
  for (char c : Trim(posted)) {
    if (c != '~' && c != ',' && c != ';') value.push_back(c);
  }
  return value;
}

}  // namespace

void WriteCaptionsPage(BuilderRequest& b) {
  ReportDefinition& d = b.definition;
  std::string out = "<div style=\"padding-bottom:4px;\"><b>Add captions (aliases) to field names</b>";
  out += "<div class=main2 ";
  if (d.rtype == 2) out += "style='height:220px;'";
  out +=
      "><table width=\"100%\" cellpadding=0 cellspacing=0><tr><td><b>Field Name</b></td><td "
      "nowrap=\"true\" width='100%'><b>Column Caption</b></td><td nowrap=\"true\" "
      "width=200><b>Text Format</b></td></tr>";
  for (const std::string& id : ListItems(d.fields)) {
    out += "<tr><td nowrap=\"true\">" + Html(FieldLabel(d, id)) +
           "&nbsp;</td><td><input name=captions style='width:100%;' value=\"" +
           Html(SchemaAttribute(d.schema, id, 'c')) +
           "\"></td><td><select name=formats "
           "onchange=\"if(this.options[this.selectedIndex].value.substring(0,1)=='C'){"
           "checkCustFormat(this);}\"><option></option>" +
           FormatOptions(SchemaAttribute(d.schema, id, 't'), SchemaAttribute(d.schema, id, 'f')) +
           "</select></td></tr>";
  }
  out += "</table></div>";
  if (d.rtype == 2) {
    out += "<div style='padding:4px;'><b>Master table:</b>";
    const std::vector<std::string> tables = ListItems(d.tables);
    if (d.mtbl.empty() && !tables.empty()) d.mtbl = tables.front();
    for (size_t i = 0; i < tables.size(); ++i) {
      const std::string n = std::to_string(i);
      out += "&nbsp;<input ";
      if (tables[i] == d.mtbl) out += "checked ";
      out += " type=radio name=rx1 onclick=\"this.form.mtbl.value='" +
             ScriptInAttribute(tables[i]) + "'\" id=rx1" + n + ">&nbsp;<label for=rx1" + n + ">" +
             Html(tables[i]) + "</label>";
    }
    out += "</div>";
  }
  out += kCustomFormatScript;
  b.Write(out);
}

void ApplyCaptions(BuilderRequest& b) {
  ReportDefinition& d = b.definition;
  // Each input's value on its own, so a caption holding "," stays one caption.
  const std::vector<std::string> captions = b.PostedValues("captions");
  const std::vector<std::string> formats = b.PostedValues("formats");
  const std::vector<std::string> fields = ListItems(d.fields);
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i < captions.size()) {
      d.schema = SetSchemaAttribute(d.schema, fields[i], 'c', SchemaValue(captions[i]));
    }
    if (i < formats.size()) {
      d.schema = SetSchemaAttribute(d.schema, fields[i], 'f', SchemaValue(formats[i]));
    }
  }
}

}  // namespace quenmark::reports::builder
