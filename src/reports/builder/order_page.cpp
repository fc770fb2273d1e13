// Page 6: the display order of the chosen fields, changed with Top, Up, Down and Bottom; Back
// and Finish copy the order into the hidden field list.

#include "reports/builder/builder.h"

namespace quenmark::reports::builder {
namespace {

constexpr std::string_view kMoveScript =
    "<script>function __MF(v){var f = document.forms[0];var el=f.f1;var "
    "idx=el.selectedIndex;if (idx<0){alert('You must first select an item to "
    "reorder!');return;}else{var oldVal=el.options[idx].value;var "
    "oldText=el.options[idx].text;var "
    "max=el.options.length-1;if(v<3){if(v<2){nidx=((idx-1)<0)?0:idx-1;}else{nidx=((idx+1)>max)?"
    "max:idx+1;}el.options[idx].value=el.options[nidx].value;el.options[idx].text=el.options["
    "nidx].text;el.options[nidx].value=oldVal;el.options[nidx].text=oldText;el.selectedIndex="
    "nidx;}else if(v<4){for(i=idx;i>0;i--){el.options[i].value=el.options[i-1].value;el."
    "options[i].text=el.options[i-1].text;}el.options[0].value=oldVal;el.options[0].text="
    "oldText;el.selectedIndex=0;}else{for(i=idx;i<max;i++){el.options[i].value=el.options[i+1]."
    "value;el.options[i].text=el.options[i+1].text;}el.options[max].value=oldVal;el.options["
    "max].text=oldText;el.selectedIndex=max;}}}</script>";

}  // namespace

void WriteOrderPage(BuilderRequest& b) {
  const ReportDefinition& d = b.definition;
  std::string out =
      "<div style=\"padding-bottom:4px;\"><b>Re-Order your table fields</b><div "
      "class=main2><table border=0 width=\"100%\" cellpadding=2 cellspacing=0><tr><td "
      "colspan=2><b>Field names display order</b></td></tr><tr><td width=\"99%\"><select "
      "name=f1 size=12>";
  for (const std::string& id : ListItems(d.fields)) {
    out += "<option value=\"" + Html(id) + "\">" + Html(SchemaAttribute(d.schema, id, 'c')) +
           "</option>";
  }
  out +=
      "</select></td><td width=\"1%\" valign=top><br><br><input style='width:100%;' "
      "type=button onclick=__MF(3) value=Top><br><input style='width:100%;' type=button "
      "onclick=__MF(1) value=Up><br><input style='width:100%;' type=button onclick=__MF(2) "
      "value=Down><br><input style='width:100%;' type=button onclick=__MF(4) "
      "value=Bottom><br></td></tr></table></div></div>";
  out += kMoveScript;
  b.Write(out);
}

}  // namespace quenmark::reports::builder
