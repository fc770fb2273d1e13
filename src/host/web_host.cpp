// The HTTP server: static files, page scripts, C++ handlers, sessions and the access log, on
// libmicrohttpd. A few threads multiplex every socket (epoll); pages run on a pool of their own
// while their connection is suspended, so neither slow clients nor slow pages hold up others.

#include <arpa/inet.h>
#include <fcntl.h>
#include <microhttpd.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>
#include <unordered_map>

#include "frame/text_util.h"
#include "host/connection_watch.h"
#include "host/error_pages.h"
#include "host/page_engine.h"
#include "host/request_runner.h"
#include "host/request_target.h"
#include "host/session_store.h"
#include "host/static_file_cache.h"
#include "host/streamed_body.h"
#include "host/worker_pool.h"
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

MHD_Response* ResponseFromText(std::string text) {
  auto* owned = new std::string(std::move(text));
  MHD_Response* response = MHD_create_response_from_buffer_with_free_callback_cls(
      owned->size(), owned->data(), [](void* cls) { delete static_cast<std::string*>(cls); },
      owned);
  if (!response) delete owned;
  return response;
}

std::string AddressText(const sockaddr* address) {
  char text[INET6_ADDRSTRLEN] = "";
  if (!address) return "";
  if (address->sa_family == AF_INET) {
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text, sizeof text);
  } else if (address->sa_family == AF_INET6) {
    inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr, text,
              sizeof text);
  }
  return text;
}

int AddressPort(const sockaddr* address) {
  if (!address) return 0;
  if (address->sa_family == AF_INET) {
    return ntohs(reinterpret_cast<const sockaddr_in*>(address)->sin_port);
  }
  if (address->sa_family == AF_INET6) {
    return ntohs(reinterpret_cast<const sockaddr_in6*>(address)->sin6_port);
  }
  return 0;
}

// One request on a connection, from its request line to its completion.
struct Exchange {
  std::string target;  // raw, as the client sent it
  std::string method;
  std::string version;
  std::string remote;
  bool started = false;
  bool too_large = false;
  std::string body;
  // Set by the page thread before it resumes the connection.
  std::atomic<bool> answered{false};
  int status = 0;
  MHD_Response* response = nullptr;
  size_t bytes = 0;
  // A body the page thread goes on producing after the answer is queued (an export).
  std::shared_ptr<host::StreamedBody> stream;
  ~Exchange() {
    if (response) MHD_destroy_response(response);
  }
};

}  // namespace

struct WebHost::Impl {
  explicit Impl(HostOptions host_options)
      : options(std::move(host_options)),
        engine(host::PageLimits{options.page_time_limit, size_t{512} << 20}),
        sessions(options.session_timeout) {
    std::error_code ec;
    root = fs::weakly_canonical(fs::absolute(options.root, ec), ec);
  }

  static MHD_Result Access(void* cls, MHD_Connection* connection, const char* url,
                           const char* method, const char* version, const char* upload_data,
                           size_t* upload_data_size, void** request_state);
  MHD_Result Route(MHD_Connection* connection, Exchange& exchange);
  MHD_Result Queue(MHD_Connection* connection, Exchange& exchange, int status,
                   MHD_Response* response, size_t bytes);
  MHD_Result Simple(MHD_Connection* connection, Exchange& exchange, int status,
                    const std::string& detail);
  MHD_Result Dispatch(MHD_Connection* connection, Exchange& exchange, const std::string& path,
                      const std::string& query, const std::string& physical,
                      const PageHandler* handler);
  void FillRequest(MHD_Connection* connection, const Exchange& exchange, const std::string& path,
                   const std::string& query, Request& request, const std::string& physical);
  void RunPage(Request& request, Exchange& exchange, const std::string& path,
               const std::string& physical, const PageHandler* handler);
  void Log(const Exchange& exchange, int status, size_t bytes);
  bool MapPathCached(const std::string& path, std::string& physical);

  HostOptions options;
  fs::path root;
  host::PageEngine engine;
  host::SessionStore sessions;
  Application application;
  std::map<std::string, PageHandler, std::less<>> handlers;
  host::StaticFileCache files;
  std::unique_ptr<host::ConnectionWatch> watch;
  std::unique_ptr<host::WorkerPool> workers;
  MHD_Daemon* daemon = nullptr;
  int listen_fd = -1;
  int port = 0;
  std::mutex log_mutex;
  // Where URL paths lead, resolved through links at most a second ago (resolving costs a
  // readlink per folder, more than sending a small file).
  struct Mapped {
    std::string physical;  // empty: outside the root
    std::chrono::steady_clock::time_point at;
  };
  std::mutex map_mutex;
  std::unordered_map<std::string, Mapped> mapped;
  std::mutex stop_mutex;
  std::condition_variable stop_signal;
  bool stop_requested = false;
};

bool WebHost::Impl::MapPathCached(const std::string& path, std::string& physical) {
  auto now = std::chrono::steady_clock::now();
  {
    std::lock_guard lock(map_mutex);
    auto it = mapped.find(path);
    if (it != mapped.end() && now - it->second.at < std::chrono::seconds(1)) {
      physical = it->second.physical;
      return !physical.empty();
    }
  }
  try {
    physical = Server(root.string(), root.string()).MapPath(path);
  } catch (const Error&) {
    physical.clear();
  }
  std::lock_guard lock(map_mutex);
  if (mapped.size() >= 4096) mapped.clear();
  mapped[path] = Mapped{physical, now};
  return !physical.empty();
}

MHD_Result WebHost::Impl::Queue(MHD_Connection* connection, Exchange& exchange, int status,
                                MHD_Response* response, size_t bytes) {
  if (!response) return MHD_NO;
  MHD_Result queued = MHD_queue_response(connection, static_cast<unsigned>(status), response);
  Log(exchange, status, bytes);
  return queued;
}

MHD_Result WebHost::Impl::Simple(MHD_Connection* connection, Exchange& exchange, int status,
                                 const std::string& detail) {
  std::string page = host::ErrorPageHtml(status, detail);
  size_t bytes = page.size();
  MHD_Response* response = ResponseFromText(std::move(page));
  if (!response) return MHD_NO;
  MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, "text/html; charset=utf-8");
  if (status == 405) MHD_add_response_header(response, MHD_HTTP_HEADER_ALLOW, "GET, HEAD, POST");
  MHD_Result queued = Queue(connection, exchange, status, response, bytes);
  MHD_destroy_response(response);
  return queued;
}

MHD_Result WebHost::Impl::Access(void* cls, MHD_Connection* connection, const char* /*url*/,
                                 const char* method, const char* version,
                                 const char* upload_data, size_t* upload_data_size,
                                 void** request_state) {
  Impl& impl = *static_cast<Impl*>(cls);
  auto* exchange = static_cast<Exchange*>(*request_state);
  if (!exchange) return MHD_NO;
  if (exchange->answered) {
    MHD_Result queued = impl.Queue(connection, *exchange, exchange->status, exchange->response,
                                   exchange->bytes);
    return queued;
  }
  const MHD_ConnectionInfo* socket_info =
      MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
  auto* watched =
      socket_info ? static_cast<host::ConnectionWatch::Entry*>(socket_info->socket_context)
                  : nullptr;
  if (!exchange->started) {
    exchange->started = true;
    exchange->method = method;
    exchange->version = version;
    const MHD_ConnectionInfo* client =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    exchange->remote = AddressText(client ? client->client_addr : nullptr);
    const char* length =
        MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
    if (length && std::strtoull(length, nullptr, 10) > impl.options.max_request_bytes) {
      exchange->too_large = true;
    }
    host::ConnectionWatch::Enter(watched, host::ConnectionWatch::Phase::kReceivingBody);
    return MHD_YES;
  }
  if (*upload_data_size != 0) {
    // A body over the limit is read and dropped, so that the client reads the 413 answer
    // instead of a reset connection.
    if (!exchange->too_large &&
        exchange->body.size() + *upload_data_size > impl.options.max_request_bytes) {
      exchange->too_large = true;
      std::string().swap(exchange->body);
    }
    if (!exchange->too_large) exchange->body.append(upload_data, *upload_data_size);
    *upload_data_size = 0;
    return MHD_YES;
  }
  host::ConnectionWatch::Enter(watched, host::ConnectionWatch::Phase::kBusy);
  if (exchange->too_large) {
    return impl.Simple(connection, *exchange, 413, "The request body is larger than this server accepts.");
  }
  return impl.Route(connection, *exchange);
}

MHD_Result WebHost::Impl::Route(MHD_Connection* connection, Exchange& exchange) {
  std::string path, query;
  if (!host::DecodeRequestTarget(exchange.target, path, query)) {
    return Simple(connection, exchange, 400, "The address of the request is not valid here.");
  }
  const std::string& method = exchange.method;
  bool is_read = method == "GET" || method == "HEAD";
  if (!is_read && method != "POST") {
    return Simple(connection, exchange, 405, "This server answers GET, HEAD and POST requests.");
  }
  if (auto it = handlers.find(path); it != handlers.end()) {
    return Dispatch(connection, exchange, path, query, "", &it->second);
  }
  auto not_found = [&] {
    return Simple(connection, exchange, 404, "There is no page at " + path + ".");
  };
  if (HasHiddenPart(path)) return not_found();
  std::string physical;
  if (!MapPathCached(path, physical)) return not_found();
  struct stat info {};
  if (::stat(physical.c_str(), &info) != 0) return not_found();
  if (S_ISDIR(info.st_mode)) {
    if (path.back() != '/') {
      // The location is this site's own path: leading slashes are folded into one, so that it
      // can never read as another host ("//evil.example/").
      std::string location = "/" + path.substr(path.find_first_not_of('/'));
      location += "/";
      if (size_t q = exchange.target.find('?'); q != std::string::npos) {
        location += exchange.target.substr(q);
      }
      MHD_Response* response = ResponseFromText("");
      if (!response) return MHD_NO;
      MHD_add_response_header(response, MHD_HTTP_HEADER_LOCATION, location.c_str());
      MHD_Result queued = Queue(connection, exchange, 301, response, 0);
      MHD_destroy_response(response);
      return queued;
    }
    std::string index;
    std::error_code ec;
    for (const char* name : kIndexFiles) {
      fs::path candidate = fs::path(physical) / name;
      if (fs::is_regular_file(candidate, ec)) {
        index = candidate.string();
        break;
      }
    }
    if (index.empty() || ::stat(index.c_str(), &info) != 0) return not_found();
    physical = index;
  }
  if (!S_ISREG(info.st_mode)) return not_found();
  if (host::PageEngine::IsPage(physical)) {
    return Dispatch(connection, exchange, path, query, physical, nullptr);
  }
  if (!is_read) {
    return Simple(connection, exchange, 405, "Files are read with GET; only pages take a POST.");
  }
  std::shared_ptr<const host::StaticFileCache::File> file =
      files.Get(physical, info, ContentTypeOf(physical));
  if (!file) return not_found();
  return Queue(connection, exchange, 200, file->response, file->size);
}

void WebHost::Impl::FillRequest(MHD_Connection* connection, const Exchange& exchange,
                                const std::string& path, const std::string& query,
                                Request& request, const std::string& physical) {
  request.QueryString().AddUrlEncoded(query);
  std::vector<std::pair<std::string, std::string>> headers;
  MHD_get_connection_values(
      connection, MHD_HEADER_KIND,
      [](void* cls, MHD_ValueKind, const char* key, const char* value) -> MHD_Result {
        static_cast<std::vector<std::pair<std::string, std::string>>*>(cls)->emplace_back(
            key, value ? value : "");
        return MHD_YES;
      },
      &headers);
  std::string content_type_header;
  std::string host_header;
  for (const auto& [name, value] : host::JoinRepeatedHeaders(headers)) {
    std::string lower = ToLowerAscii(name);
    if (lower == "content-type") content_type_header = value;
    if (lower == "host") host_header = value;
    request.SetServerVariable(host::HeaderVariableName(name), value);
  }
  for (const auto& [name, value] : headers) {
    if (EqualsIgnoreCase(name, "cookie")) request.Cookies().AddCookieHeader(value);
  }
  if (exchange.method == "POST") {
    std::string content_type = ToLowerAscii(content_type_header);
    if (content_type.rfind("application/x-www-form-urlencoded", 0) == 0) {
      request.Form().AddUrlEncoded(exchange.body);
    } else if (content_type.rfind("multipart/form-data", 0) == 0) {
      // Text fields become form values; uploaded files are not read by pages.
      struct Fields {
        FieldCollection* form;
        std::string key;
        std::string value;
        bool open = false;
        void Flush() {
          if (open) form->Add(std::move(key), std::move(value));
          open = false;
          key.clear();
          value.clear();
        }
      } fields{&request.Form(), {}, {}, false};
      MHD_PostProcessor* parser = MHD_create_post_processor(
          connection, 64 * 1024,
          [](void* cls, MHD_ValueKind, const char* key, const char* filename, const char*,
             const char*, const char* data, uint64_t offset, size_t size) -> MHD_Result {
            auto& fields = *static_cast<Fields*>(cls);
            if (filename) return MHD_YES;
            if (offset == 0 || !fields.open || fields.key != key) {
              fields.Flush();
              fields.key = key;
              fields.open = true;
            }
            fields.value.append(data ? data : "", size);
            return MHD_YES;
          },
          &fields);
      if (parser) {
        MHD_post_process(parser, exchange.body.data(), exchange.body.size());
        MHD_destroy_post_processor(parser);
      }
      fields.Flush();
    }
  }
  request.SetServerVariable("URL", path);
  request.SetServerVariable("PATH_INFO", path);
  request.SetServerVariable("SCRIPT_NAME", path);
  request.SetServerVariable("QUERY_STRING", query);
  request.SetServerVariable("REQUEST_METHOD", exchange.method);
  request.SetServerVariable("PATH_TRANSLATED", physical);
  request.SetServerVariable("APPL_PHYSICAL_PATH", root.string() + "/");
  const MHD_ConnectionInfo* client =
      MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
  request.SetServerVariable("REMOTE_ADDR", exchange.remote);
  request.SetServerVariable("REMOTE_HOST", exchange.remote);
  request.SetServerVariable("REMOTE_PORT",
                            std::to_string(AddressPort(client ? client->client_addr : nullptr)));
  request.SetServerVariable("REMOTE_USER", "");
  request.SetServerVariable("SERVER_NAME", host_header.empty()
                                               ? options.bind
                                               : host_header.substr(0, host_header.rfind(':')));
  request.SetServerVariable("SERVER_PORT", std::to_string(port));
  request.SetServerVariable("SERVER_PROTOCOL", exchange.version);
  request.SetServerVariable("SERVER_SOFTWARE", std::string("Quenmark/") + QUENMARK_VERSION);
  request.SetServerVariable("HTTPS", "off");
  request.SetServerVariable("CONTENT_TYPE", content_type_header);
  request.SetServerVariable("CONTENT_LENGTH", std::to_string(exchange.body.size()));
}

MHD_Result WebHost::Impl::Dispatch(MHD_Connection* connection, Exchange& exchange,
                                   const std::string& path, const std::string& query,
                                   const std::string& physical, const PageHandler* handler) {
  auto request = std::make_shared<Request>();
  FillRequest(connection, exchange, path, query, *request, physical);
  std::string().swap(exchange.body);
  // The connection waits without a thread while the page runs; the page thread resumes it
  // once the answer is ready, and Access is then called again to send it.
  MHD_suspend_connection(connection);
  workers->Post([this, connection, &exchange, request, path, physical, handler] {
    RunPage(*request, exchange, path, physical, handler);
    // Once resumed, the exchange may end at any time; only the stream is used afterwards.
    std::shared_ptr<host::StreamedBody> stream = std::move(exchange.stream);
    if (stream) stream->Attach(connection);
    exchange.answered = true;
    MHD_resume_connection(connection);
    if (stream) stream->Produce();
  });
  return MHD_YES;
}

void WebHost::Impl::RunPage(Request& request, Exchange& exchange, const std::string& path,
                            const std::string& physical, const PageHandler* handler) {
  Response response;
  response.SetBodyLimit(options.max_response_bytes);
  std::string page_dir = handler ? root.string() : fs::path(physical).parent_path().string();
  Server server(root.string(), page_dir);
  server.RestrictDataFiles(options.data_folders);

  std::string cookie_id = request.Cookies().Get(kSessionCookie);
  std::shared_ptr<Session> session = cookie_id.empty() ? nullptr : sessions.Find(cookie_id);
  bool is_new = !session;
  std::string session_id = is_new ? host::SessionStore::NewId() : cookie_id;
  if (is_new) session = std::make_shared<Session>();
  PageContext context{request, response, server, *session, application};

  host::PageOutcome outcome;
  if (handler) {
    host::RunRequest(context, path, [&] { (*handler)(context); });
  } else {
    std::string virtual_path = "/" + fs::path(physical).lexically_relative(root).generic_string();
    outcome = host::RunScriptPage(engine, physical, virtual_path, context, session_id);
  }

  std::vector<std::pair<std::string, std::string>> headers = ResponseHeaders(response);
  std::string cookie;
  if (outcome.abandoned) {
    // The old id dies with its session; values stored after Abandon live on under a new id.
    if (!is_new) sessions.Remove(cookie_id);
    if (session->Count() > 0) {
      sessions.Add(outcome.session_id, session);
      cookie = outcome.session_id + "; Path=/; HttpOnly; SameSite=Lax";
    } else if (!is_new) {
      cookie = "; Path=/; Max-Age=0; HttpOnly; SameSite=Lax";
    }
  } else if (is_new && session->Count() > 0) {
    sessions.Add(session_id, session);
    cookie = session_id + "; Path=/; HttpOnly; SameSite=Lax";
  }

  int status = response.StatusCode();
  exchange.status = (status >= 100 && status <= 599) ? status : 500;
  if (response.HasBodyStream()) {
    exchange.bytes = 0;
    exchange.stream = std::make_shared<host::StreamedBody>(std::move(response));
    exchange.response = exchange.stream->CreateResponse();
    if (!exchange.response) exchange.stream.reset();
  } else {
    exchange.bytes = response.Body().size();
    exchange.response = ResponseFromText(response.TakeBody());
  }
  if (!exchange.response) return;
  for (const auto& [name, value] : headers) {
    std::string lower = ToLowerAscii(name);
    if (lower != "content-length" && lower != "transfer-encoding" && lower != "connection") {
      MHD_add_response_header(exchange.response, name.c_str(), value.c_str());
    }
  }
  if (!cookie.empty()) {
    MHD_add_response_header(exchange.response, MHD_HTTP_HEADER_SET_COOKIE,
                            (std::string(kSessionCookie) + "=" + cookie).c_str());
  }
}

void WebHost::Impl::Log(const Exchange& exchange, int status, size_t bytes) {
  if (!options.access_log) return;
  // The time is formatted once a second, not once a request.
  thread_local std::time_t formatted_at = 0;
  thread_local char when[64] = "";
  std::time_t now = std::time(nullptr);
  if (now != formatted_at) {
    std::tm parts{};
    localtime_r(&now, &parts);
    std::strftime(when, sizeof when, "%d/%b/%Y:%H:%M:%S %z", &parts);
    formatted_at = now;
  }
  std::string line = exchange.remote + " - - [" + when + "] \"" +
                     host::EscapeForLog(exchange.method) + " " +
                     host::EscapeForLog(exchange.target) + " " +
                     host::EscapeForLog(exchange.version) + "\" " + std::to_string(status) + " " +
                     std::to_string(bytes) + "\n";
  std::lock_guard lock(log_mutex);
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
}

WebHost::WebHost(HostOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {}

WebHost::~WebHost() {
  Stop();
  if (impl_->listen_fd >= 0 && !impl_->daemon) ::close(impl_->listen_fd);
}

void WebHost::Handle(std::string path, PageHandler handler) {
  impl_->handlers[std::move(path)] = std::move(handler);
}

Status WebHost::Bind() {
  std::error_code ec;
  if (!fs::is_directory(impl_->root, ec)) {
    return Status::Failure("web root not found: " + impl_->options.root);
  }
  const std::string& bind = impl_->options.bind;
  std::string where = bind + ":" + std::to_string(impl_->options.port);
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE;
  addrinfo* found = nullptr;
  std::string service = std::to_string(impl_->options.port);
  if (getaddrinfo(bind.empty() ? nullptr : bind.c_str(), service.c_str(), &hints, &found) != 0 ||
      !found) {
    return Status::Failure("cannot listen on " + where + ": not an address of this machine");
  }
  int fd = ::socket(found->ai_family, found->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK,
                    found->ai_protocol);
  // SO_REUSEADDR only lets a restarted server bind while old connections linger in TIME_WAIT;
  // no second server can listen on the same port (there is no SO_REUSEPORT).
  int on = 1;
  if (fd >= 0) ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  int bound = fd >= 0 ? ::bind(fd, found->ai_addr, found->ai_addrlen) : -1;
  int error = errno;
  freeaddrinfo(found);
  if (bound != 0 || ::listen(fd, SOMAXCONN) != 0) {
    if (bound == 0) error = errno;
    if (fd >= 0) ::close(fd);
    if (error == EADDRINUSE) {
      return Status::Failure("cannot listen on " + where +
                             ": the port is already in use by another program (choose another "
                             "with --port)");
    }
    return Status::Failure("cannot listen on " + where + ": " + std::strerror(error));
  }
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  impl_->port = AddressPort(reinterpret_cast<sockaddr*>(&address));
  impl_->listen_fd = fd;
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
  Impl& impl = *impl_;
  {
    std::lock_guard lock(impl.stop_mutex);
    if (impl.stop_requested || impl.listen_fd < 0 || impl.daemon) return;
  }
  unsigned processors = std::max(1u, std::thread::hardware_concurrency());
  unsigned page_threads =
      impl.options.page_threads ? impl.options.page_threads : std::max(8u, 2 * processors);
  impl.workers = std::make_unique<host::WorkerPool>(page_threads);
  impl.watch = std::make_unique<host::ConnectionWatch>(impl.options.header_deadline,
                                                       impl.options.body_deadline);

  auto on_request = [](void* cls, const char* uri, MHD_Connection*) -> void* {
    (void)cls;
    auto* exchange = new Exchange;
    exchange->target = uri ? uri : "";
    return exchange;
  };
  auto on_completed = [](void* cls, MHD_Connection* connection, void** request_state,
                         MHD_RequestTerminationCode) {
    delete static_cast<Exchange*>(*request_state);
    *request_state = nullptr;
    (void)cls;
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
    if (info) {
      host::ConnectionWatch::Enter(static_cast<host::ConnectionWatch::Entry*>(info->socket_context),
                                   host::ConnectionWatch::Phase::kAwaitingHeaders);
    }
  };
  auto on_connection = [](void* cls, MHD_Connection* connection, void** socket_context,
                          MHD_ConnectionNotificationCode code) {
    auto& watch = *static_cast<host::ConnectionWatch*>(cls);
    if (code == MHD_CONNECTION_NOTIFY_STARTED) {
      const MHD_ConnectionInfo* info =
          MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
      if (!info) return;
      int fd = info->connect_fd;
      // Headers and body leave at once; without this each keep-alive answer would wait for
      // the client's delayed acknowledgement.
      int on = 1;
      ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
      *socket_context = watch.Add(fd);
    } else if (*socket_context) {
      watch.Remove(static_cast<host::ConnectionWatch::Entry*>(*socket_context));
      *socket_context = nullptr;
    }
  };
  unsigned polling_threads = std::min(4u, processors);
  impl.daemon = MHD_start_daemon(
      // TURBO: read and write sockets as soon as they are ready instead of after another poll.
      MHD_USE_EPOLL_INTERNAL_THREAD | MHD_ALLOW_SUSPEND_RESUME | MHD_USE_TURBO, 0, nullptr,
      nullptr,
      &Impl::Access, &impl, MHD_OPTION_LISTEN_SOCKET, static_cast<MHD_socket>(impl.listen_fd),
      MHD_OPTION_THREAD_POOL_SIZE, polling_threads, MHD_OPTION_CONNECTION_TIMEOUT,
      static_cast<unsigned>(60), MHD_OPTION_PER_IP_CONNECTION_LIMIT,
      impl.options.max_connections_per_client, MHD_OPTION_CONNECTION_MEMORY_LIMIT,
      static_cast<size_t>(64 * 1024), MHD_OPTION_URI_LOG_CALLBACK,
      static_cast<void* (*)(void*, const char*, MHD_Connection*)>(on_request), &impl,
      MHD_OPTION_NOTIFY_COMPLETED, static_cast<MHD_RequestCompletedCallback>(on_completed),
      &impl, MHD_OPTION_NOTIFY_CONNECTION,
      static_cast<MHD_NotifyConnectionCallback>(on_connection), impl.watch.get(),
      MHD_OPTION_END);
  if (!impl.daemon) {
    std::fprintf(stderr, "quenmark: the HTTP server could not start\n");
    impl.workers.reset();
    impl.watch.reset();
    return;
  }
  {
    std::unique_lock lock(impl.stop_mutex);
    impl.stop_signal.wait(lock, [&] { return impl.stop_requested; });
  }
  // No new connections; pages that run finish and resume their connections before the
  // daemon, which owns them, goes away.
  int quiesced = MHD_quiesce_daemon(impl.daemon);
  impl.workers.reset();
  MHD_stop_daemon(impl.daemon);
  impl.daemon = nullptr;
  if (quiesced >= 0) ::close(quiesced);
  impl.listen_fd = -1;
  impl.watch.reset();
}

void WebHost::Stop() {
  {
    std::lock_guard lock(impl_->stop_mutex);
    impl_->stop_requested = true;
  }
  impl_->stop_signal.notify_all();
}

}  // namespace quenmark
