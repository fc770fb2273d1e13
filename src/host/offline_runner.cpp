// One request through a page without a server, and the headers every host sends.

#include <ctime>
#include <filesystem>
#include <system_error>

#include "frame/text_util.h"
#include "host/page_engine.h"
#include "host/request_runner.h"
#include "host/request_target.h"
#include "quenmark/host.h"

namespace quenmark {

namespace {

namespace fs = std::filesystem;

std::string HttpDate(std::time_t when) {
  std::tm parts{};
  gmtime_r(&when, &parts);
  char text[64];
  std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &parts);
  return text;
}

bool IsTextType(const std::string& type) {
  return type.rfind("text/", 0) == 0 || type.find("xml") != std::string::npos ||
         type.find("json") != std::string::npos || type.find("javascript") != std::string::npos;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> ResponseHeaders(const Response& response) {
  std::vector<std::pair<std::string, std::string>> headers;
  std::string type = response.ContentType();
  if (!response.Charset().empty() && IsTextType(type) &&
      type.find("charset=") == std::string::npos) {
    type += "; charset=" + response.Charset();
  }
  headers.emplace_back("Content-Type", type);
  if (response.ExpiresSet()) {
    if (response.Expires() <= 0) {
      headers.emplace_back("Cache-Control", "no-cache");
      headers.emplace_back("Expires", HttpDate(0));
    } else {
      headers.emplace_back("Cache-Control",
                           "private, max-age=" + std::to_string(response.Expires() * 60));
      headers.emplace_back("Expires", HttpDate(std::time(nullptr) + response.Expires() * 60));
    }
  }
  headers.insert(headers.end(), response.Headers().begin(), response.Headers().end());
  return headers;
}

Result<Response> RunOffline(const OfflineRequest& offline) {
  std::error_code ec;
  fs::path page = fs::weakly_canonical(fs::absolute(offline.page, ec), ec);
  if (ec || !fs::is_regular_file(page, ec)) {
    return Status::Failure("page not found: " + offline.page);
  }
  if (!host::PageEngine::IsPage(page)) {
    return Status::Failure("not a page script (*.lua or *.qsp): " + offline.page);
  }
  fs::path root = offline.root.empty() ? page.parent_path()
                                       : fs::weakly_canonical(fs::absolute(offline.root, ec), ec);
  if (ec || !fs::is_directory(root, ec)) return Status::Failure("root not found: " + offline.root);
  fs::path relative = page.lexically_relative(root);
  if (relative.empty() || *relative.begin() == "..") {
    return Status::Failure("the page " + page.string() + " is outside the root " + root.string());
  }
  std::string virtual_path = "/" + relative.generic_string();

  Request request;
  request.QueryString().AddUrlEncoded(offline.query);
  if (offline.form) request.Form().AddUrlEncoded(*offline.form);
  std::string url = offline.url.empty() ? virtual_path : offline.url;
  request.SetServerVariable("URL", url);
  request.SetServerVariable("PATH_INFO", url);
  request.SetServerVariable("SCRIPT_NAME", url);
  request.SetServerVariable("QUERY_STRING", offline.query);
  request.SetServerVariable("REQUEST_METHOD", offline.form ? "POST" : "GET");
  request.SetServerVariable("PATH_TRANSLATED", page.string());
  request.SetServerVariable("APPL_PHYSICAL_PATH", root.string() + "/");
  request.SetServerVariable("REMOTE_ADDR", "127.0.0.1");
  request.SetServerVariable("REMOTE_HOST", "127.0.0.1");
  request.SetServerVariable("SERVER_NAME", "localhost");
  request.SetServerVariable("SERVER_PORT", "80");
  request.SetServerVariable("SERVER_PROTOCOL", "HTTP/1.1");
  request.SetServerVariable("HTTPS", "off");
  if (offline.form) {
    request.SetServerVariable("CONTENT_TYPE", "application/x-www-form-urlencoded");
    request.SetServerVariable("CONTENT_LENGTH", std::to_string(offline.form->size()));
  }
  // A repeated header reads as its values joined by ", ", as the server gives it.
  for (const auto& [name, value] : host::JoinRepeatedHeaders(offline.headers)) {
    request.SetServerVariable(host::HeaderVariableName(name), value);
  }
  for (const auto& [name, value] : offline.headers) {
    if (EqualsIgnoreCase(name, "cookie")) request.Cookies().AddCookieHeader(value);
  }

  Response response;
  Server server(root.string(), page.parent_path().string());
  server.RestrictDataFiles(offline.data_folders);
  response.SetBodyLimit(offline.max_response_bytes);
  Session session;
  for (const auto& [name, value] : offline.session) session.Set(name, Variant(value));
  Application application;
  PageContext context{request, response, server, session, application};
  host::PageEngine engine;
  host::RunScriptPage(engine, page.string(), virtual_path, context, "offline");
  return response;
}

}  // namespace quenmark
