#pragma once
// Whether a request was sent from a page of another site (cross-site request forgery).

#include "quenmark/page_context.h"

namespace quenmark::reports {

/// True when the Origin or the Referer header names a host other than the request's own
/// (Host header, else SERVER_NAME and SERVER_PORT). A request with neither header is not
/// cross-site; an opaque Origin ("null") is.
bool IsCrossSiteRequest(const Request& request);

}  // namespace quenmark::reports
