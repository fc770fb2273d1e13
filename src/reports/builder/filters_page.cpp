// Page 3: adding a filter (field, condition, value), the filters kept, AND/OR and distinct.

#include <array>

#include "frame/text_util.h"
#include "quenmark/conversions.h"
#include "reports/builder/builder.h"

namespace quenmark::reports::builder {
namespace {

struct Condition {
  int code;
  std::string_view label;
};

// In the order the condition list offers them.
constexpr std::array<Condition, 15> kConditions = {{{1, "contains"},
                                                    {7, "does not contain"},
                                                    {2, "is equal to"},
                                                    {3, "is less than"},
                                                    {4, "is greater than"},
                                                    {9, "is less than or equal to"},
                                                    {8, "is greater than or equal to"},
                                                    {5, "starts with"},
                                                    {6, "ends with"},
                                                    {10, "is empty"},
                                                    {11, "is not empty"},
                                                    {12, "IS NULL"},
                                                    {13, "IS NOT NULL"},
                                                    {14, "IS MAX"},
                                                    {15, "IS MIN"}}};

// The order in which a filter item's code is looked for when it is described.
constexpr std::array<int, 15> kDescriptionOrder = {1, 7, 2, 3, 4, 5, 6, 8, 9, 10, 11, 12, 13, 14, 15};

std::string_view ConditionLabel(int code) {
  for (const Condition& c : kConditions) {
    if (c.code == code) return c.label;
  }
  return {};
}

// The item with its "__code__" part shown as the condition's label in italics.
std::string FilterDescription(std::string_view item) {
  std::string text(item);
  for (int code : kDescriptionOrder) {
    const std::string marker = "__" + std::to_string(code) + "__";
    if (!Contains(text, marker)) continue;
    const std::string label = " <i>" + std::string(ConditionLabel(code)) + "</i> ";
    std::string out;
    size_t start = 0;
    for (size_t at; (at = text.find(marker, start)) != std::string::npos; start = at + marker.size()) {
      out += Html(text.substr(start, at - start)) + label;
    }
    return out + Html(text.substr(start));
  }
  return Html(text);
}

}  // namespace

void AddFilter(BuilderRequest& b) {
  ReportDefinition& d = b.definition;
  const std::string field(Trim(b.Posted("search_field")));
  const double code = LeadingNumber("0" + b.Posted("search_condition"));
  const std::string value = b.Posted("search_text");
  if (field.empty() || code <= 0 || code > 15) return;
  // The field must be one the fields page offered, so it names a real column.
  if (SchemaAttribute(d.schema, field, 't').empty()) return;
  const int condition = static_cast<int>(code);
  const bool placeholder = value.starts_with('?') || value.starts_with('@');
  const bool ordering = condition == 3 || condition == 4 || condition == 8 || condition == 9;
  if (!placeholder && ordering && !IsNumericText(value) && !IsDateText(value)) {
    b.message = "<font size=1 color=red>Invalid search condition</font>";
    return;
  }
  // "," separates filter items and ";" ends the definition text: neither can be stored.
  if (Contains(value, ",") || Contains(value, ";")) {
    b.message = "<font size=1 color=red>A filter value cannot hold \",\" or \";\"</font>";
    return;
  }
  d.filters += "," + field + "__" + std::to_string(condition) + "__" + value;
}

void WriteFiltersPage(BuilderRequest& b) {
  const ReportDefinition& d = b.definition;
  std::string out =
      "<div><b>Add filters to your report</b></div><div class=main2><table border=0 "
      "valign=top><tr><td>Field:</td><td><select name=search_field><option "
      "value=\"\">&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;</option>";
  for (const std::string& descriptor : ListItems(d.schema)) {
    const std::string id = descriptor.substr(0, descriptor.find('~'));
    out += "<option value=\"" + Html(id) + "\">" + Html(FieldLabel(d, id)) + "</option>";
  }
  out += "</select></td><td rowspan='4' nowrap=\"true\"><b>Connect filters using</b><br><input ";
  if (d.join != 2) out += "checked ";
  out +=
      "type=radio name=jx2 onclick=this.form.join.value=1 id=jx21><label "
      "for=jx21>AND</label>&nbsp;<input ";
  if (d.join == 2) out += "checked ";
  out +=
      "type=radio name=jx2 onclick=this.form.join.value=2 id=jx22><label "
      "for=jx22>OR</label><br><input value=1 ";
  if (d.distinct == 1) out += "checked ";
  out += "type=checkbox name=distinct id=dx1><label for=dx1>Distinct</label>&nbsp;";
  out +=
      "</td></tr><tr><td>Condition:</td><td><select name=search_condition><option "
      "value=\"\">&nbsp;</option>";
  for (const Condition& c : kConditions) {
    out += "<option value=" + std::to_string(c.code) + ">" + std::string(c.label) + "</option>";
  }
  out +=
      "</select></td></tr><tr><td>Value:</td><td width=\"100%\"><input name=search_text "
      "style=\"width:100%;\"></td></tr>";
  if (!d.filters.empty()) {
    out += "<tr><td colspan=2><b>Filter(s):</b>";
    size_t number = 0;
    for (const std::string& item : ListItems(d.filters)) {
      const std::string n = std::to_string(++number);
      out += "<br><input type=checkbox name=filters value=\"" + Html(item) + "\" id=\"filter" + n +
             "\" checked><label for=\"filter" + n + "\">" + FilterDescription(item) + "</label>";
    }
    out += "</td></tr>";
  }
  out += "</table></div>";
  b.Write(out);
}

}  // namespace quenmark::reports::builder
