// Finish: the builder's checks on the finished definition, its password rules, then the save
// step of the report manager (permission, origin, locked atomic write, closing the window).

#include "quenmark/shared_procedures.h"
#include "reports/builder/builder.h"
#include "reports/reports_file.h"

namespace quenmark::reports::builder {

void SaveFinishedReport(BuilderRequest& b) {
  ManagerState& s = b.state;
  ReportDefinition& d = b.definition;
  if (!s.can_add) {
    s.ShowAccessDenied("You are not allowed to build reports.");
    return;
  }
  if (!IsValidReportId(d.rid)) {
    s.ShowMessage("Invalid Report ID", Html(InvalidReportIdMessage()), "red");
    return;
  }
  if (const std::string refused = CheckDefinitionNames(s, d); !refused.empty()) {
    s.ShowMessage("Errors Occured", Html(refused), "red");
    return;
  }
  // Pages never carry a saved password: without a new one, the edited report's (or, for a new
  // report that replaces one, that report's) password is kept unless removal was chosen.
  if (d.rpwd.empty() && !b.remove_password) {
    const std::string source = b.original_id.empty() ? d.rid : b.original_id;
    ReportDefinition stored;
    ReadDefinitionText(DecodeBase64(ReportsFile(s.reports_file).LoadReportArgs(source)), stored);
    d.rpwd = stored.rpwd;
  }
  s.SaveDefinition();
}

}  // namespace quenmark::reports::builder
