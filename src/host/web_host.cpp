// The HTTP server: static files, page scripts, C++ handlers, sessions and the access log, on
// cpp-httplib.

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <system_error>
#include <thread>

#include "frame/text_util.h"
#include "host/page_engine.h"
#include "host/request_runner.h"
#include "host/session_store.h"
#include "quenmark/host.h"
#include "quenmark/version.h"

namespace quenmark {

namespace {

namespace fs = std::filesystem;

constexpr char kSessionCookie[] = "QMSESSION";
constexpr const char* kIndexFiles[] = {"index.lua", "index.qsp", "index.html", "index.htm"};

std::string ContentTypeOf(const fs::path& path) {
  static const std::map<std::string, std::string> kTypes = {
      {".html", "text/html; charset=utf-8"},
      {".htm", "text/html; charset=utf-8"},
      {".css", "text/css; charset=utf-8"},
      {".js", "text/javascript; charset=utf-8"},
      {".mjs", "text/javascript; charset=utf-8"},
      {".json", "application/json"},
      {".txt", "text/plain; charset=utf-8"},
      {".md", "text/plain; charset=utf-8"},
      {".csv", "text/csv; charset=utf-8"},
      {".xml", "application/xml"},
      {".xsl", "application/xml"},
      {".svg", "image/svg+xml"},
      {".png", "image/png"},
      {".gif", "image/gif"},
      {".jpg", "image/jpeg"},
      {".jpeg", "image/jpeg"},
      {".bmp", "image/bmp"},
      {".webp", "image/webp"},
      {".ico", "image/x-icon"},
      {".pdf", "application/pdf"},
      {".woff", "font/woff"},
      {".woff2", "font/woff2"},
      {".rtf", "application/rtf"},
      {".xls", "application/vnd.ms-excel"},
  };
  auto it = kTypes.find(ToLowerAscii(path.extension().string()));
  return it == kTypes.end() ? "application/octet-stream" : it->second;
}

// A path below the root whose part starts with "." (".git", ".env") is never served.
bool HasHiddenPart(const std::string& url_path) { return url_path.find("/.") != std::string::npos; }

void SimplePage(httplib::Response& res, int status, const std::string& title) {
  res.status = status;
  res.set_content("<!DOCTYPE html>\n<html><head><title>" + title + "</title></head><body><h1>" +
                      title + "</h1></body></html>\n",
                  "text/html; charset=utf-8");
}

}  // namespace

struct WebHost::Impl {
  explicit Impl(HostOptions host_options)
      : options(std::move(host_options)),
        engine(host::PageLimits{options.page_time_limit, size_t{512} << 20}),
        sessions(options.session_timeout) {
    std::error_code ec;
    root = fs::weakly_canonical(fs::absolute(options.root, ec), ec);
  }

  void Route(const httplib::Request& req, httplib::Response& res);
  void RunPage(const httplib::Request& req, httplib::Response& res, const std::string& physical,
               const PageHandler* handler);
  void FillRequest(const httplib::Request& req, Request& request, const std::string& physical);
  static void SendResponse(const Response& response, httplib::Response& res);
  void Log(const httplib::Request& req, const httplib::Response& res);

  HostOptions options;
  fs::path root;
  host::PageEngine engine;
  host::SessionStore sessions;
  Application application;
  std::map<std::string, PageHandler, std::less<>> handlers;
  httplib::Server server;
  int port = 0;
  std::mutex log_mutex;
  std::atomic<bool> serving{false};
  std::atomic<bool> stop_requested{false};
};

void WebHost::Impl::Route(const httplib::Request& req, httplib::Response& res) {
  const std::string& path = req.path;
  if (auto it = handlers.find(path); it != handlers.end()) {
    RunPage(req, res, "", &it->second);
    return;
  }
  if (path.empty() || path.front() != '/' || HasHiddenPart(path) ||
      path.find('\0') != std::string::npos) {
    SimplePage(res, 404, "Not Found");
    return;
  }
  std::string physical;
  try {
    physical = Server(root.string(), root.string()).MapPath(path);
  } catch (const Error&) {
    SimplePage(res, 404, "Not Found");
    return;
  }
  std::error_code ec;
  if (fs::is_directory(physical, ec)) {
    if (path.back() != '/') {
      std::string location = path + "/";
      size_t query = req.target.find('?');
      if (query != std::string::npos) location += req.target.substr(query);
      res.status = 301;
      res.set_header("Location", location);
      return;
    }
    std::string index;
    for (const char* name : kIndexFiles) {
      fs::path candidate = fs::path(physical) / name;
      if (fs::is_regular_file(candidate, ec)) {
        index = candidate.string();
        break;
      }
    }
    if (index.empty()) {
      SimplePage(res, 404, "Not Found");
      return;
    }
    physical = index;
  }
  if (!fs::is_regular_file(physical, ec)) {
    SimplePage(res, 404, "Not Found");
    return;
  }
  if (host::PageEngine::IsPage(physical)) {
    RunPage(req, res, physical, nullptr);
    return;
  }
  if (req.method != "GET" && req.method != "HEAD") {
    SimplePage(res, 405, "Method Not Allowed");
    return;
  }
  std::ifstream in(physical, std::ios::binary);
  if (!in) {
    SimplePage(res, 404, "Not Found");
    return;
  }
  std::ostringstream content;
  content << in.rdbuf();
  res.set_content(std::move(content).str(), ContentTypeOf(physical));
}

void WebHost::Impl::FillRequest(const httplib::Request& req, Request& request,
                                const std::string& physical) {
  size_t query_start = req.target.find('?');
  std::string query = query_start == std::string::npos ? "" : req.target.substr(query_start + 1);
  request.QueryString().AddUrlEncoded(query);
  std::string content_type = ToLowerAscii(req.get_header_value("Content-Type"));
  if (req.method == "POST") {
    if (content_type.rfind("application/x-www-form-urlencoded", 0) == 0) {
      request.Form().AddUrlEncoded(req.body);
    } else if (content_type.rfind("multipart/form-data", 0) == 0) {
      for (const auto& [name, file] : req.files) {
        if (file.filename.empty()) request.Form().Add(name, file.content);
      }
    }
  }
  for (const auto& [name, value] : req.headers) {
    if (EqualsIgnoreCase(name, "cookie")) request.Cookies().AddCookieHeader(value);
    std::string variable = host::HeaderVariableName(name);
    std::string existing = request.ServerVariable(variable);
    request.SetServerVariable(variable, existing.empty() ? value : existing + ", " + value);
  }
  request.SetServerVariable("URL", req.path);
  request.SetServerVariable("PATH_INFO", req.path);
  request.SetServerVariable("SCRIPT_NAME", req.path);
  request.SetServerVariable("QUERY_STRING", query);
  request.SetServerVariable("REQUEST_METHOD", req.method);
  request.SetServerVariable("PATH_TRANSLATED", physical);
  request.SetServerVariable("APPL_PHYSICAL_PATH", root.string() + "/");
  request.SetServerVariable("REMOTE_ADDR", req.remote_addr);
  request.SetServerVariable("REMOTE_HOST", req.remote_addr);
  request.SetServerVariable("REMOTE_PORT", std::to_string(req.remote_port));
  request.SetServerVariable("REMOTE_USER", "");
  std::string host = req.get_header_value("Host");
  request.SetServerVariable("SERVER_NAME",
                            host.empty() ? options.bind : host.substr(0, host.rfind(':')));
  request.SetServerVariable("SERVER_PORT", std::to_string(port));
  request.SetServerVariable("SERVER_PROTOCOL", req.version);
  request.SetServerVariable("SERVER_SOFTWARE", std::string("Quenmark/") + QUENMARK_VERSION);
  request.SetServerVariable("HTTPS", "off");
  request.SetServerVariable("CONTENT_TYPE", req.get_header_value("Content-Type"));
  request.SetServerVariable("CONTENT_LENGTH", std::to_string(req.body.size()));
}

void WebHost::Impl::RunPage(const httplib::Request& req, httplib::Response& res,
                            const std::string& physical, const PageHandler* handler) {
  Request request;
  FillRequest(req, request, physical);
  Response response;
  std::string page_dir = handler ? root.string() : fs::path(physical).parent_path().string();
  Server server(root.string(), page_dir);

  std::string cookie_id = request.Cookies().Get(kSessionCookie);
  std::shared_ptr<Session> session = cookie_id.empty() ? nullptr : sessions.Find(cookie_id);
  bool is_new = !session;
  std::string session_id = is_new ? host::SessionStore::NewId() : cookie_id;
  if (is_new) session = std::make_shared<Session>();
  PageContext context{request, response, server, *session, application};

  bool abandoned = false;
  if (handler) {
    host::RunRequest(context, req.path, [&] { (*handler)(context); });
  } else {
    std::string virtual_path = "/" + fs::path(physical).lexically_relative(root).generic_string();
    abandoned = host::RunScriptPage(engine, physical, virtual_path, context, session_id);
  }

  SendResponse(response, res);
  if (abandoned && !is_new) {
    sessions.Remove(cookie_id);
    res.set_header("Set-Cookie",
                   std::string(kSessionCookie) + "=; Path=/; Max-Age=0; HttpOnly; SameSite=Lax");
  } else if (is_new && !abandoned && session->Count() > 0 && sessions.Add(session_id, session)) {
    res.set_header("Set-Cookie", std::string(kSessionCookie) + "=" + session_id +
                                     "; Path=/; HttpOnly; SameSite=Lax");
  }
}

void WebHost::Impl::SendResponse(const Response& response, httplib::Response& res) {
  int status = response.StatusCode();
  res.status = (status >= 100 && status <= 599) ? status : 500;
  std::string content_type;
  for (const auto& [name, value] : ResponseHeaders(response)) {
    std::string lower = ToLowerAscii(name);
    if (lower == "content-type") {
      content_type = value;
    } else if (lower != "content-length" && lower != "transfer-encoding" && lower != "connection") {
      res.set_header(name, value);
    }
  }
  res.set_content(response.Body(), content_type);
}

void WebHost::Impl::Log(const httplib::Request& req, const httplib::Response& res) {
  if (!options.access_log) return;
  std::time_t now = std::time(nullptr);
  std::tm parts{};
  localtime_r(&now, &parts);
  char when[64];
  std::strftime(when, sizeof when, "%d/%b/%Y:%H:%M:%S %z", &parts);
  std::string line = req.remote_addr + " - - [" + when + "] \"" + req.method + " " + req.target +
                     " " + req.version + "\" " + std::to_string(res.status) + " " +
                     std::to_string(res.body.size()) + "\n";
  std::lock_guard lock(log_mutex);
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
}

WebHost::WebHost(HostOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {
  Impl& impl = *impl_;
  auto route = [&impl](const httplib::Request& req, httplib::Response& res) {
    impl.Route(req, res);
  };
  impl.server.Get(".*", route);
  impl.server.Post(".*", route);
  impl.server.set_payload_max_length(impl.options.max_request_bytes);
  impl.server.set_logger(
      [&impl](const httplib::Request& req, const httplib::Response& res) { impl.Log(req, res); });
}

WebHost::~WebHost() { Stop(); }

void WebHost::Handle(std::string path, PageHandler handler) {
  impl_->handlers[std::move(path)] = std::move(handler);
}

Status WebHost::Bind() {
  std::error_code ec;
  if (!fs::is_directory(impl_->root, ec)) {
    return Status::Failure("web root not found: " + impl_->options.root);
  }
  if (impl_->options.port == 0) {
    int port = impl_->server.bind_to_any_port(impl_->options.bind);
    if (port <= 0) return Status::Failure("cannot listen on " + impl_->options.bind);
    impl_->port = port;
  } else {
    if (!impl_->server.bind_to_port(impl_->options.bind, impl_->options.port)) {
      return Status::Failure("cannot listen on " + impl_->options.bind + ":" +
                             std::to_string(impl_->options.port) +
                             " (in use, or not an address of this machine)");
    }
    impl_->port = impl_->options.port;
  }
  return Status::Ok();
}

int WebHost::Port() const { return impl_->port; }

std::string WebHost::Url() const {
  std::string host = impl_->options.bind;
  if (host == "0.0.0.0" || host.empty()) host = "127.0.0.1";
  if (host.find(':') != std::string::npos) host = "[" + host + "]";
  return "http://" + host + ":" + std::to_string(impl_->port) + "/";
}

void WebHost::Serve() {
  impl_->serving = true;
  if (!impl_->stop_requested) impl_->server.listen_after_bind();
  impl_->serving = false;
}

void WebHost::Stop() {
  impl_->stop_requested = true;
  // A stop that arrives while Serve is still starting waits for the listener to run, so that
  // it is not lost.
  for (int i = 0; i < 2000 && impl_->serving && !impl_->server.is_running(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  impl_->server.stop();
}

}  // namespace quenmark
