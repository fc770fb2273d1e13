#pragma once
// Report passwords are kept as salted hashes inside the definition text, so neither the
// reports file nor the "__ARGS" field a page carries ever holds the password itself:
//   "pbkdf2$sha256$<iterations>$<salt hex>$<hash hex>"
// (no ";" or ",", so it fits the definition text). Definitions saved before hashing hold the
// plain password and still open with it.

#include <string>
#include <string_view>

namespace quenmark::reports {

/// A new salted hash of `password`; "" for an empty password (no password).
std::string HashReportPassword(std::string_view password);
/// True for a value HashReportPassword made.
bool IsHashedReportPassword(std::string_view stored);
/// Whether `answer` opens a report whose definition holds `stored` (hash or plain), compared
/// in constant time. An empty `stored` needs no password and matches nothing here.
bool ReportPasswordMatches(std::string_view stored, std::string_view answer);

}  // namespace quenmark::reports
