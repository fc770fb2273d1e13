#pragma once
// The pages the server answers with when it cannot serve a request: each says what happened
// and links to the site's home page.

#include <string>

namespace quenmark::host {

/// "Not Found", "Forbidden", ... for the status codes the server answers with itself.
std::string StatusTitle(int status);

/// A complete HTML page for `status`; `detail` is a sentence saying what happened (plain text,
/// escaped here).
std::string ErrorPageHtml(int status, const std::string& detail);

}  // namespace quenmark::host
