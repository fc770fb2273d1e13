#include "reports/request_origin.h"

#include "frame/text_util.h"

namespace quenmark::reports {
namespace {

// "host[:port]" of an absolute URL; "" when it has none.
std::string_view HostOf(std::string_view url) {
  size_t scheme = url.find("://");
  if (scheme == std::string_view::npos) return std::string_view();
  std::string_view rest = url.substr(scheme + 3);
  rest = rest.substr(0, rest.find_first_of("/?#"));
  // Credentials ("user@host") are not part of the host.
  if (size_t at = rest.rfind('@'); at != std::string_view::npos) rest = rest.substr(at + 1);
  return rest;
}

std::string OwnHost(const Request& request) {
  std::string host = request.ServerVariable("HTTP_HOST");
  if (!host.empty()) return host;
  host = request.ServerVariable("SERVER_NAME");
  const std::string port = request.ServerVariable("SERVER_PORT");
  if (!port.empty() && port != "80" && port != "443") host += ":" + port;
  return host;
}

bool SameHost(std::string_view url_host, std::string_view own) {
  if (EqualsIgnoreCase(url_host, own)) return true;
  // The default ports may be written or left out on either side.
  auto without_default_port = [](std::string_view host) {
    for (std::string_view port : {":80", ":443"}) {
      if (host.ends_with(port)) return host.substr(0, host.size() - port.size());
    }
    return host;
  };
  return EqualsIgnoreCase(without_default_port(url_host), without_default_port(own));
}

}  // namespace

bool IsCrossSiteRequest(const Request& request) {
  const std::string own = OwnHost(request);
  for (const char* header : {"HTTP_ORIGIN", "HTTP_REFERER"}) {
    const std::string value(Trim(request.ServerVariable(header)));
    if (value.empty()) continue;
    if (value == "null") return true;
    std::string_view host = HostOf(value);
    if (host.empty() || !SameHost(host, own)) return true;
  }
  return false;
}

}  // namespace quenmark::reports
