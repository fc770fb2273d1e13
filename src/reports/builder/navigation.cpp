// The navigation area under every builder page: the definition's hidden fields, the control
// fields and the Back, Next, Finish and Add buttons.

#include "reports/builder/builder.h"

namespace quenmark::reports::builder {
namespace {

std::string Hidden(std::string_view name, std::string_view value) {
  return "<input type=hidden name=" + std::string(name) + " value=\"" + Html(value) + "\">";
}

std::string HiddenNumber(std::string_view name, int16_t value) {
  return "<input type=hidden name=" + std::string(name) + " value=" + std::to_string(value) + ">";
}

// Every member the page does not carry in its own inputs.
std::string HiddenFields(const BuilderRequest& b, int16_t p) {
  const ReportDefinition& d = b.definition;
  std::string out;
  out.reserve(1024 + d.schema.size() + d.fields.size() + d.filters.size());
  if (p != 1 && p != -8) out += Hidden("fields", d.fields);
  if (p != 1) {
    out += Hidden("relations", d.relations);
    out += Hidden("schema", d.schema);
    out += Hidden("tables", d.tables);
  }
  if (d.grpby == 1 && p != 5) {
    out += Hidden("sum", d.sum);
    out += Hidden("avg", d.avg);
    out += Hidden("min", d.min);
    out += Hidden("max", d.max);
    out += Hidden("stdev", d.stdev);
    out += Hidden("var", d.var);
  }
  out += Hidden("coltotal", std::to_string(d.coltotal));
  out += Hidden("colavg", std::to_string(d.colavg));
  out += Hidden("rowtotal", std::to_string(d.rowtotal));
  out += Hidden("rowavg", std::to_string(d.rowavg));
  out += Hidden("isproc", std::to_string(d.isproc));
  out += Hidden("params", d.params);
  if (p != 3) {
    out += Hidden("filters", d.filters);
    out += Hidden("distinct", std::to_string(d.distinct));
  }
  if (p != 4 && p != -6) {
    out += Hidden("rtitle", d.rtitle);
    // Double quotes of the description travel as "_Q_"; the save step turns them back.
    out += Hidden("rdesc", EscapeDescriptionQuotes(d.rdesc));
    out += Hidden("rgroup", d.rgroup);
    out += Hidden("rid", d.rid);
    // Only a password typed in this builder session; a stored one is never sent to a page.
    out += Hidden("rpwd", d.rpwd);
    out += Hidden("rpwd_remove", b.remove_password ? "1" : "");
    out += Hidden("pagesize", std::to_string(d.pagesize));
  }
  out += Hidden("orid", b.original_id);
  out += HiddenNumber("dbt", d.dbt);
  out += Hidden("count", std::to_string(d.count));
  out += HiddenNumber("rfmt", d.rfmt);
  out += HiddenNumber("sonly", d.sonly);
  out += HiddenNumber("grpby", d.grpby);
  out += Hidden("chart", std::to_string(d.chart));
  out += HiddenNumber("graph", d.graph);
  out += HiddenNumber("conly", d.conly);
  out += Hidden("legend", d.legend);
  out += Hidden("mtbl", d.mtbl);
  out += Hidden("rtype", std::to_string(d.rtype));
  if (!b.chart_page_shown) {
    out += Hidden("gtitle", d.gtitle);
    out += Hidden("xlabel", d.xlabel);
    out += Hidden("ylabel", d.ylabel);
  }
  return out;
}

std::string GoButton(std::string_view text, int16_t index) {
  return "<input type=button value=\"" + std::string(text) + "\" onclick=\"this.form.index.value=" +
         std::to_string(index) + ";this.form.submit()\">&nbsp;";
}

// Next or Finish on the pages that choose the fields: at least one must be ticked.
std::string CheckedFieldsScript(int16_t index) {
  return "for(var i=0;i<this.form.fields.length;i++){if(this.form.fields[i].checked){this.form."
         "index.value=" +
         std::to_string(index) +
         ";this.form.submit();return;}}alert('You must select the fields to display');";
}

// Copies the order of the list "f1" into the hidden fields before posting.
std::string OrderedSubmit(int16_t index) {
  return "this.form.index.value=" + std::to_string(index) +
         ";var s='';for(var i=0;i<this.form.f1.options.length;i++){s += ',' + "
         "this.form.f1.options[i].value;};this.form.fields.value=s.substring(1);this.form."
         "submit();";
}

constexpr std::string_view kFinish =
    "<input value=\"Finish\" type=button onclick=\"this.form.index.value=0;this.form.submit();\"";

}  // namespace

void WriteNavigation(BuilderRequest& b, int16_t p) {
  const ReportDefinition& d = b.definition;
  std::string out = HiddenFields(b, p);
  const std::string page = std::to_string(p);
  out += "<input type=hidden name=a value=p><input type=hidden name=src value=" + page +
         "><input type=hidden name=index><input type=hidden name=join value=" +
         std::to_string(d.join) + ">";
  out += "<div align=right style=\"padding-right:20px\">";
  if (p != 1 && p != 6 && p != b.first_procedure_page) out += GoButton("&laquo; Back", p - 1);
  if (p == 3) {
    out +=
        "<input value=\"Add Filter\" type=button "
        "onclick=\"this.form.index.value=3;this.form.submit();\">&nbsp;";
  }
  if (p != 5) {
    out += Hidden("summary", d.summary);
  } else if (d.grpby != 1) {
    out +=
        "<input value=\"Add Summary\" type=button "
        "onclick=\"this.form.index.value=5;this.form.submit();\">&nbsp;";
  }
  if (p == 1 || p == -8) {
    out += "<input type=button value=\"Next &raquo;\" onclick=\"" + CheckedFieldsScript(p + 1) +
           "\">&nbsp;";
    out += "<input value=\"Finish\" type=button onclick=\"" + CheckedFieldsScript(0) + "\">";
  } else if (p == 6 && b.chart_page_shown) {
    out += GoButton("&laquo; Back", 5);
    out += GoButton("Next &raquo;", 6);
    out += std::string(kFinish) + " id=button1 name=button1>";
  } else if (p == 6) {
    out += "<input type=button value=\"&laquo; Back\" onclick=\"" + OrderedSubmit(5) +
           "\" id=button1 name=button1>&nbsp;";
    out += "<input value=\"Finish\" type=button onclick=\"" + OrderedSubmit(0) +
           "\" id=button1 name=button1>";
  } else {
    if (p != -6) out += GoButton("Next &raquo;", p + 1);
    if (p != -9) out += std::string(kFinish) + ">";
  }
  out += "</div>";
  b.Write(out);
}

}  // namespace quenmark::reports::builder
