// The page actions of Init ("a" in the query string) and the password answer: each checks the
// user's permission and the request's origin on the server before it changes anything.

#include "frame/text_util.h"
#include "quenmark/error.h"
#include "quenmark/shared_procedures.h"
#include "reports/manager_state.h"
#include "reports/report_password.h"
#include "reports/reports_file.h"
#include "reports/request_origin.h"

namespace quenmark::reports {
namespace {

std::string_view PermissionSentence(std::string_view action) {
  if (action == "d") return "You are not allowed to delete reports.";
  if (action == "d2") return "You are not allowed to delete report groups.";
  if (action == "c") return "You are not allowed to create the reports file.";
  if (action == "p") return "You are not allowed to build reports.";
  return "You are not allowed to add or change report groups.";
}

}  // namespace

bool ManagerState::RefuseCrossSite() const {
  if (context == nullptr || !IsCrossSiteRequest(context->request)) return false;
  ShowAccessDenied("This change was sent from another site and has not been made.");
  return true;
}

void ManagerState::RunAction(std::string_view action) {
  const bool deletes = action == "d" || action == "d2";
  const bool adds = action == "c" || action == "g" || action == "n" || action == "p";
  if (!deletes && !adds) return;
  if ((deletes && !can_delete) || (adds && !can_add)) {
    ShowAccessDenied(PermissionSentence(action));
    return;
  }
  if (action == "n") {
    WriteGroupForm();
    return;
  }
  if (action == "p") {
    RunBuilder();
    return;
  }
  if (RefuseCrossSite()) return;

  const ReportsFile file(reports_file);
  if (action == "c") {
    Result<std::string> created = file.Create();
    if (!created.ok()) {
      ShowMessage("Errors Occured!", Server::HTMLEncode(created.Description()), "red");
      return;
    }
    Redirect(page_url);
  }
  if (action == "g") {
    const std::string id(Trim(Query("gi")));
    const std::string group_title = Query("gn");
    if (id.empty() || group_title.empty()) Redirect(page_url);
    if (Status saved = file.SaveGroup(id, group_title); !saved.ok()) {
      ShowMessage("Errors Occured!", Server::HTMLEncode(saved.Description()), "red");
      return;
    }
    Redirect(page_url);
  }
  // "d" and "d2".
  const bool group = action == "d2";
  const std::string id = ToUpperAscii(Trim(Query(group ? "gi" : "id")));
  if (id.empty()) Redirect(page_url);
  switch (file.DeleteEntry(id, group)) {
    case DeleteOutcome::kDeleted:
    case DeleteOutcome::kUnusable:
      Redirect(page_url);
    case DeleteOutcome::kNotFound: {
      const std::string kind = group ? "Group" : "Report";
      ShowMessage(kind + " Not Found",
                  "The " + ToLowerAscii(kind) + " (" + Server::HTMLEncode(id) +
                      ") you are trying to delete has not been found",
                  "red");
      EndResponse();
    }
    case DeleteOutcome::kWriteFailed:
      ShowMessage("Errors Occured!", "The reports file could not be changed", "red");
      return;
  }
}

void ManagerState::AnswerPassword() {
  const std::string rid = Posted("rid");
  LoadDefinition(ReportsFile(reports_file).LoadReportArgs(rid));
  const std::string answer = Posted("pwd");
  const bool open =
      definition.rpwd.empty() ? answer.empty() : ReportPasswordMatches(definition.rpwd, answer);
  if (open) {
    std::string url = page_url + "?erid=" + Server::URLEncode(ReportPass(rid));
    for (const std::string& name : context->request.Form().Names()) {
      // Leaves out the answer's own fields (and, as always, any name inside that text).
      if (Contains("rurl2_a_pwd", name) || EqualsIgnoreCase(name, "erid")) continue;
      url += "&" + Server::URLEncode(name) + "=" +
             Server::URLEncode(context->request.Form().Get(name));
    }
    Redirect(url);
  }
  ShowMessage("Access Denied", "Your password was not correct. Please check your CAPS", "red");
  // "Try Again" leads back to this page's password form, whatever the request names.
  Write("<p style='padding-left:50px;'><a href=\"" + page_url +
        "?rid=" + Server::URLEncode(Trim(rid)) + "\">Try Again</a></p>");
}

}  // namespace quenmark::reports
