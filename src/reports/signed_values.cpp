// Values a report page hands to the browser and acts on when they come back (the query, the
// definition, the proof of an answered password) carry a signature made with the
// installation's secret; only what the server wrote itself is accepted.

#include "frame/text_util.h"
#include "quenmark/error.h"
#include "quenmark/shared_procedures.h"
#include "quenmark/signing.h"
#include "reports/manager_state.h"

namespace quenmark::reports {
namespace {

Signer SiteSigner(const PageContext* context) {
  Result<Signer> signer = Signer::ForWebRoot(context == nullptr ? "." : context->server.WebRoot());
  if (!signer.ok()) throw Error(ErrorNumber::kGeneric, signer.Description());
  return std::move(signer.value());
}

std::string Purposed(std::string_view purpose, std::string_view text) {
  std::string out(purpose);
  out += '\n';
  out += text;
  return out;
}

}  // namespace

std::string ManagerState::SignedValue(std::string_view purpose, std::string_view text) const {
  return std::string(text) + "." + SiteSigner(context).Sign(Purposed(purpose, text));
}

bool ManagerState::VerifySignedValue(std::string_view purpose, std::string_view value,
                                     std::string& text) const {
  const size_t dot = value.rfind('.');
  if (dot == std::string_view::npos) return false;
  const std::string_view body = value.substr(0, dot);
  if (!SiteSigner(context).Verify(Purposed(purpose, body), value.substr(dot + 1))) return false;
  text = std::string(body);
  return true;
}

// "erid": five random characters, EncodeBase64 of the id, "." and the signature of the id.
std::string ManagerState::ReportPass(std::string_view id) const {
  const std::string key = ToUpperAscii(Trim(id));
  return RandomText(5) + EncodeBase64(key) + "." +
         SiteSigner(context).Sign(Purposed("report-pass", key));
}

std::string ManagerState::ReportPassId(std::string_view erid) {
  std::string_view body = erid.substr(std::min<size_t>(5, erid.size()));
  body = body.substr(0, body.rfind('.'));
  return std::string(Trim(DecodeBase64(body)));
}

bool ManagerState::ReportPassOpens(std::string_view erid, std::string_view id) const {
  const size_t dot = erid.rfind('.');
  if (erid.size() < 5 || dot == std::string_view::npos || dot < 5) return false;
  const std::string key = ToUpperAscii(Trim(id));
  return ToUpperAscii(ReportPassId(erid)) == key &&
         SiteSigner(context).Verify(Purposed("report-pass", key), erid.substr(dot + 1));
}

}  // namespace quenmark::reports
