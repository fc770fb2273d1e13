// The pieces every report-manager page shares: writing, ending, messages, the style sheet link,
// the page script block, the page form and the group entry form.

#include "frame/page_log.h"
#include "frame/text_util.h"
#include "quenmark/error.h"
#include "quenmark/shared_procedures.h"
#include "reports/manager_state.h"

namespace quenmark::reports {

void ManagerState::Write(std::string_view text) const {
  if (context != nullptr && catalogue_links == nullptr) context->response.Write(text);
}

void ManagerState::EndResponse() const {
  if (context != nullptr) context->response.End();
  throw ResponseEnded{};
}

void ManagerState::Redirect(const std::string& url) const {
  if (context != nullptr) context->response.Redirect(url);
  throw ResponseEnded{};
}

void ManagerState::ShowError(std::string_view text) const {
  LogPageFailure("report manager", text);
  std::string out = "<div class=errmsg><b>Errors Occured!</b><br>";
  out += text;
  out += "</div>";
  Write(out);
  EndResponse();
}

void ManagerState::ShowMessage(std::string_view title, std::string_view text,
                               std::string_view colour) const {
  std::string out;
  out.reserve(320 + title.size() * 2 + text.size() + page_url.size());
  out += "<title>";
  out += title;
  out +=
      "</title><table><tr><td nowrap=\"true\"><div style='background-color:lightyellow;"
      "border:1px solid #cccccc;padding:10px;'><font face=arial size=3 color=";
  out += colour;
  out += "><b>";
  out += title;
  out += "!</b><br>";
  out += text;
  out += "</font><br><div align=right><a href=\"";
  out += page_url;
  out += "\" title='Return home'><font color=blue>Return</a></div></div>";
  Write(out);
}

void ManagerState::ShowAccessDenied(std::string_view what) const {
  ShowMessage("Access Denied", what, "red");
}

void ManagerState::ShowNotAvailable(std::string_view what) const {
  ShowMessage("Not Available", std::string(what) + " is not available in this version", "navy");
}

void ManagerState::WriteStyleSheetLink() const {
  if (style_sheet.empty()) return;
  Write("<link type=\"text/css\" href=\"" + style_sheet + "\" rel=\"stylesheet\">");
}

void ManagerState::WriteScriptBlock() const {
  const std::string size =
      "var w=" + std::to_string(dialog_width) + ";var h=" + std::to_string(dialog_height);
  static constexpr std::string_view kSettings =
      ";var LeftPosition = (screen.width) ? (screen.width-w)/2 : 0;var TopPosition = "
      "(screen.height) ? (screen.height-h)/2 : 0;var settings = "
      "'height='+h+',width='+w+',top='+TopPosition+',left='+LeftPosition+',scrollbars=0,"
      "resizable=1';";
  std::string reopen;
  if (!definition.rid.empty()) {
    reopen = "erid=" + EncodeBase64(definition.rid);
  } else {
    reopen = (definition.isproc == 1 ? "sp=" : "et=") + EncodeBase64(definition.tables);
  }
  Write("<script language=\"javascript\">");
  Write(
      "function __doPostBack(args){var f=document.QmkTabulon;if(args.substring(0,1)=='_'){"
      "args=eval(\"f.btnExp\"+args.substring(1)+\".value\");};f.__ARGS.value=args;"
      "f.submit();}");
  Write("function __POPWIN(f){" + size + std::string(kSettings) +
        "var t='';for(var i=0;i<f.check1.length;i++){if(f.check1[i].checked){t += ',' + "
        "f.check1[i].value;}}if(t==''){if(f.check1.checked){t=f.check1.value}else{alert('You "
        "must select at least 1 table\\nbefore you can build a report.');return;}}" +
        "var win = window.open(\"" + page_url +
        "?args=\"+ f.__ARGS.value + \"&t=\" + t + \"&a=p\",\"wizard\",settings);}");
  Write("function ___doPostBack(erid){" + size + std::string(kSettings) +
        "var win = window.open(\"" + page_url + "?" + reopen + "&a=p\",\"wizard\",settings);}");
  Write("function ___ESPN(sp){" + size + std::string(kSettings) + "var win = window.open(\"" +
        page_url + "?sp=\"+ sp +\"&a=p\",\"wizard\",settings);}");
  Write("</script>");
}

void ManagerState::WriteFormStart() const {
  Write("<form name=\"QmkTabulon\" method=\"post\" action=\"" + page_url + "\">");
}

void ManagerState::WriteFormEnd() const {
  // A report's definition comes back signed, so a postback cannot change what it shows.
  const std::string value =
      encoded_arguments.empty() ? "" : SignedValue("report-args", encoded_arguments);
  Write("<input type=hidden name=__ARGS value=\"" + value + "\"></form>");
}

void ManagerState::WriteGroupForm() const {
  const std::string gn = Server::HTMLEncode(Query("gn"));
  const std::string gi = Server::HTMLEncode(Query("gi"));
  Write("<title>" + title + " &raquo; " + reports_title + " Group Entry</title><form action=\"" +
        page_url + "\" method=get>");
  Write("<table border=0><tr><td colspan=2><b>" + reports_title + " Group Entry</b></td></tr>");
  Write("<tr><td>Group Title <i>(Short Desc.)</i>:</td><td><input name=gn size=30 value=\"" + gn +
        "\"></td></tr>");
  Write("<tr><td>Group ID <i>(e.g. HR, MKTG)</i>:</td><td><input name=gi size=5 value=\"" + gi +
        "\"></td></tr>");
  Write(
      "<tr><td align=right colspan=2><input type=button value='Delete Group' "
      "onclick=\"if(confirm('Are you sure you want to\\ndelete this group and all of its "
      "reports?')){this.form.a.value='d2';this.form.submit();}\">&nbsp;<input type=button "
      "value=Cancel onclick='history.go(-1)'>&nbsp;<input type=submit value=Submit></td></tr>"
      "</table><input type=hidden name=a value=g><input type=hidden name=delgrp></form>");
}

}  // namespace quenmark::reports
