#pragma once
/// The page host: serves a folder of page scripts (*.lua, *.qsp) and static files over HTTP, runs
/// one request offline, and lets C++ programs add their own page handlers on the same server.
///
///   quenmark::WebHost host({.root = "site", .port = 8080});
///   host.Handle("/hello", [](quenmark::PageContext& page) {
///     quenmark::DataGrid grid;   // created inside the handler, it finds this page's context
///     ...
///     page.response.Write("<p>done</p>");
///   });
///   if (auto bound = host.Bind(); !bound) return fail(bound.Description());
///   host.Serve();   // until host.Stop() from another thread
///
/// Every request, script or C++, runs with the per-thread shared settings reset and its page
/// context bound to the thread; `Response.End` ends it normally, an uncaught error becomes an
/// error page (status 500) that is also logged to stderr.

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "quenmark/error.h"
#include "quenmark/page_context.h"

namespace quenmark {

struct HostOptions {
  /// Folder served as the web root.
  std::string root = ".";
  /// Address to listen on; 127.0.0.1 keeps the server private to this machine.
  std::string bind = "127.0.0.1";
  /// Port; 0 picks a free one (see WebHost::Port()).
  int port = 8080;
  /// Largest request body accepted (bigger ones get 413).
  size_t max_request_bytes = size_t{16} << 20;
  /// Sessions unused for this long are dropped.
  std::chrono::seconds session_timeout{20 * 60};
  /// A page running longer than this is stopped with a script error (0 = no limit).
  std::chrono::milliseconds page_time_limit{60000};
  /// One line per request on stdout.
  bool access_log = true;
  /// Largest response a page may write (Response.Write counts); bigger ones fail with an error.
  size_t max_response_bytes = size_t{256} << 20;
  /// Folders besides the web root where pages may open SQLite files (`--data DIR`).
  std::vector<std::string> data_folders;
  /// Open connections one client address may hold at once (more are closed on accept).
  unsigned max_connections_per_client = 128;
  /// A client must send a request's headers within this time (idle keep-alive time included)
  /// and its body within the next; otherwise it is cut off.
  std::chrono::milliseconds header_deadline{20000};
  std::chrono::milliseconds body_deadline{120000};
  /// Threads that run pages (0: twice the processors, at least 8).
  unsigned page_threads = 0;
};

/// A C++ page. The context is bound to the thread while it runs.
using PageHandler = std::function<void(PageContext&)>;

class WebHost {
 public:
  explicit WebHost(HostOptions options);
  ~WebHost();
  WebHost(const WebHost&) = delete;
  WebHost& operator=(const WebHost&) = delete;

  /// Serves `path` (exact URL path such as "/report") with a C++ handler instead of a file.
  /// Register before Serve().
  void Handle(std::string path, PageHandler handler);
  /// Opens the listening socket.
  Status Bind();
  /// The bound port (after Bind).
  int Port() const;
  /// "http://127.0.0.1:8080/"
  std::string Url() const;
  /// Serves requests until Stop(). Requires a successful Bind().
  void Serve();
  /// Stops Serve(); callable from any thread.
  void Stop();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

/// One request run without a server (the `quenmark run` command).
struct OfflineRequest {
  /// The page file (*.lua or *.qsp).
  std::string page;
  /// Web root; empty means the page's folder.
  std::string root;
  /// URL path of the page; empty means its path below the root.
  std::string url;
  /// Raw query string ("a=1&b=x%20y").
  std::string query;
  /// Url-encoded form body; when set the request is a POST.
  std::optional<std::string> form;
  /// Request headers ("User-Agent", "Accept-Language", "Cookie", ...).
  std::vector<std::pair<std::string, std::string>> headers;
  /// Session values present before the page runs.
  std::vector<std::pair<std::string, std::string>> session;
  /// Folders besides the root where the page may open SQLite files.
  std::vector<std::string> data_folders;
  /// Largest response the page may write.
  size_t max_response_bytes = size_t{256} << 20;
};

/// Runs the page and returns what a browser would receive. Fails only when the request cannot
/// be made (missing page, page outside the root); script errors are error pages (status 500).
Result<Response> RunOffline(const OfflineRequest& request);

/// The headers a host sends for `response`: Content-Type (with the charset for text types),
/// cache headers when Expires was set, then the page's own headers in order.
std::vector<std::pair<std::string, std::string>> ResponseHeaders(const Response& response);

}  // namespace quenmark
