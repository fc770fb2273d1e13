// Reading the current definition from its encoded arguments, and the builder's save step.

#include "frame/text_util.h"
#include "quenmark/shared_procedures.h"
#include "reports/manager_state.h"
#include "reports/report_password.h"
#include "reports/report_sql.h"
#include "reports/reports_file.h"

namespace quenmark::reports {
namespace {

// Report ids travel in links and in the listing's scripts; they are kept to characters that
// need no escaping anywhere.
bool IsPlainId(std::string_view id) {
  if (id.empty()) return false;
  for (char c : id) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '_' || c == '.';
    if (!plain) return false;
  }
  return true;
}

}  // namespace

void ManagerState::LoadDefinition(std::string_view encoded) {
  encoded_arguments = std::string(encoded);
  ReadDefinitionText(DecodeBase64(encoded), definition);
}

bool ManagerState::SaveDefinition() {
  if (!can_add) {
    ShowAccessDenied("You are not allowed to build reports.");
    return false;
  }
  if (RefuseCrossSite()) return false;
  ReportDefinition& d = definition;
  if (!IsPlainId(Trim(d.rid))) {
    ShowMessage("Errors Occured",
                "A report id may hold only letters, digits, \"-\", \"_\" and \".\"", "red");
    return false;
  }
  d.rdesc = UnescapeDescriptionQuotes(d.rdesc);
  // The password is kept only as a salted hash; a definition that already holds one keeps it.
  if (!d.rpwd.empty() && !IsHashedReportPassword(d.rpwd)) d.rpwd = HashReportPassword(d.rpwd);
  encoded_arguments = EncodeBase64(DefinitionText(d));
  const int16_t kind = connected ? database_kind : DetectDatabaseKind(connection_string);
  const ReportEntry entry{d.rid,    d.rgroup, encoded_arguments,
                          d.rtitle, d.rdesc,  EncodeBase64(BuildReportQuery(d, kind))};
  const RequestAudit audit{ServerVariable("REMOTE_ADDR"), ServerVariable("REMOTE_USER")};
  const ReportsFile file(reports_file);
  if (!file.SaveReport(entry, audit).ok() && !file.SaveReport(entry, audit).ok()) {
    ShowMessage("Errors Occured", "Could not save report", "red");
    return false;
  }
  Write("<script language=\"javascript\">window.opener.location.replace('" + page_url +
        "?rid=" + Server::URLEncode(d.rid) + "');window.close();</script>");
  return true;
}

}  // namespace quenmark::reports
