#pragma once
/// The host page context: request, response, server utilities, session and application state of
/// the page that is running on this thread.
///
/// The host (HTTP server or offline runner) fills a `Request`, runs the page inside a
/// `PageContextScope`, and sends the `Response` afterwards. Library objects obtain the context
/// with `CurrentPageContext()` when they are created. Other frameworks can drive the library the
/// same way: fill a Request, bind a scope, read the Response.
///
/// Threading: a context belongs to one request on one thread. `Application` and the session store
/// are shared between threads and lock internally.

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "quenmark/variant.h"

namespace quenmark {

/// Ordered name/value pairs of a form, query string or cookie header. Names match ignoring case.
class FieldCollection {
 public:
  void Add(std::string name, std::string value);
  /// The value; repeated fields give their values joined by ", "; a missing field gives "".
  std::string Get(std::string_view name) const;
  bool Has(std::string_view name) const;
  /// Number of distinct names.
  int Count() const;
  /// Distinct names in the order they were first posted.
  std::vector<std::string> Names() const;
  const std::vector<std::pair<std::string, std::string>>& Entries() const { return entries_; }

  /// Parses "a=1&b=x%20y" (also '+' for blank) and adds the pairs in order.
  void AddUrlEncoded(std::string_view text);
  /// Parses a Cookie header ("a=1; b=2").
  void AddCookieHeader(std::string_view header);

 private:
  std::vector<std::pair<std::string, std::string>> entries_;
};

class Request {
 public:
  FieldCollection& Form() { return form_; }
  const FieldCollection& Form() const { return form_; }
  FieldCollection& QueryString() { return query_string_; }
  const FieldCollection& QueryString() const { return query_string_; }
  FieldCollection& Cookies() { return cookies_; }
  const FieldCollection& Cookies() const { return cookies_; }

  /// "URL", "QUERY_STRING", "HTTP_USER_AGENT", "REQUEST_METHOD", ... ; missing gives "".
  std::string ServerVariable(std::string_view name) const;
  void SetServerVariable(std::string name, std::string value);
  /// Request(name): query string, then form, then cookies, then server variables.
  std::string Item(std::string_view name) const;

 private:
  FieldCollection form_;
  FieldCollection query_string_;
  FieldCollection cookies_;
  std::map<std::string, std::string, std::less<>> server_variables_;  // upper-case keys
};

/// Receives the bytes of a streamed body as they are produced; returns false when they can no
/// longer be delivered (the client has gone), and the producer then stops.
using BodySink = std::function<bool(std::string_view bytes)>;
/// Produces the rest of a body while it is being sent (see Response::StreamBody). It may throw to
/// abort the transfer; the host then cuts the reply short instead of completing it.
using BodyStream = std::function<void(const BodySink& sink)>;

/// The reply being built. What the page writes is buffered; the host sends it when the page ends.
/// A page that produces a large document (an export) hands the host a body stream instead, which
/// the host runs after the page while it sends the reply (chunked over HTTP, straight to stdout
/// offline), so the document never has to be held in memory.
class Response {
 public:
  /// Appends text to the body, in call order. Error when the body would outgrow its limit.
  void Write(std::string_view text) {
    if (text.size() > body_limit_ - body_.size()) FailTooLarge();
    body_.append(text);
  }
  /// Appends raw bytes to the body.
  void BinaryWrite(std::string_view bytes) { Write(bytes); }
  /// The largest body this response may hold (the host sets it; no limit by default).
  void SetBodyLimit(size_t bytes) { body_limit_ = bytes; }
  /// Stops the page: throws ResponseEnded; nothing written afterwards is sent.
  [[noreturn]] void End();
  /// Discards the body written so far and any body stream (headers stay).
  void Clear() {
    body_.clear();
    stream_ = nullptr;
  }
  /// Sends the browser elsewhere (status 302 and Location) and stops the page.
  [[noreturn]] void Redirect(const std::string& url);
  void AddHeader(std::string name, std::string value);

  const std::string& ContentType() const { return content_type_; }
  void SetContentType(std::string type) { content_type_ = std::move(type); }
  const std::string& Charset() const { return charset_; }
  void SetCharset(std::string charset) { charset_ = std::move(charset); }
  /// Status line text such as "200 OK" or "404 Not Found".
  const std::string& Status() const { return status_; }
  void SetStatus(std::string status) { status_ = std::move(status); }
  int StatusCode() const;
  bool Buffer() const { return buffer_; }
  void SetBuffer(bool on) { buffer_ = on; }
  /// Minutes until the page expires; when set, the host sends cache headers accordingly.
  int Expires() const { return expires_; }
  void SetExpires(int minutes) {
    expires_ = minutes;
    expires_set_ = true;
  }
  bool ExpiresSet() const { return expires_set_; }

  const std::string& Body() const { return body_; }
  /// Moves the body out (for the host, once the page has ended).
  std::string TakeBody() { return std::move(body_); }
  const std::vector<std::pair<std::string, std::string>>& Headers() const { return headers_; }

  /// Makes `stream` the rest of the body: the host calls it once after the page has ended, with a
  /// sink that sends the bytes on as they come, after the text written so far. The stream must
  /// own everything it reads (it outlives the page's objects) and runs without a page context.
  void StreamBody(BodyStream stream) { stream_ = std::move(stream); }
  bool HasBodyStream() const { return static_cast<bool>(stream_); }
  /// Sends the body through `sink`: the text written so far, then the stream's output. Returns
  /// false when the sink refused bytes. Errors of the stream propagate.
  bool SendBody(const BodySink& sink);
  /// Runs a pending body stream into Body(), for hosts and callers that want the whole body.
  void CompleteBody();

 private:
  [[noreturn]] void FailTooLarge() const;

  std::string body_;
  size_t body_limit_ = static_cast<size_t>(-1);
  BodyStream stream_;
  std::string content_type_ = "text/html";
  std::string charset_ = "utf-8";
  std::string status_ = "200 OK";
  bool buffer_ = true;
  int expires_ = 0;
  bool expires_set_ = false;
  std::vector<std::pair<std::string, std::string>> headers_;
};

/// Name/value store shared across requests (one per visitor, or one per application).
class StateStore {
 public:
  Variant Get(std::string_view name) const;
  void Set(std::string_view name, Variant value);
  void Remove(std::string_view name);
  /// Number of stored names.
  size_t Count() const;
  /// Stored names (lower case), sorted.
  std::vector<std::string> Names() const;
  void Clear();

 private:
  mutable std::mutex mutex_;
  std::map<std::string, Variant, std::less<>> values_;  // lower-case keys
};

using Session = StateStore;
using Application = StateStore;

class Server {
 public:
  /// web_root: the folder served; page_dir: folder of the running page (inside web_root).
  Server(std::string web_root, std::string page_dir)
      : web_root_(std::move(web_root)), page_dir_(std::move(page_dir)) {}
  /// Physical path of a virtual path: "/x" from the web root, "x" from the page's folder.
  /// Throws Error(kPathNotFound) for a path that would leave the web root.
  std::string MapPath(std::string_view path) const;
  static std::string URLEncode(std::string_view text);
  static std::string HTMLEncode(std::string_view text);
  /// Creates a registered object ("Quenmark.DataGrid", ...); Error(kCannotCreateObject) if unknown.
  Variant CreateObject(std::string_view prog_id) const;
  const std::string& WebRoot() const { return web_root_; }
  /// Lets pages open database files only inside the web root and `folders` (the host's
  /// `--data` folders). Without this call every file may be opened (library use).
  void RestrictDataFiles(std::vector<std::string> folders);
  /// Whether a page may open the database file at `path` (relative to the working folder).
  bool DataFileAllowed(std::string_view path) const;

 private:
  std::string web_root_;
  std::string page_dir_;
  bool restrict_data_files_ = false;
  std::vector<std::string> data_folders_;  // resolved, the web root included
};

struct PageContext {
  Request& request;
  Response& response;
  Server& server;
  Session& session;
  Application& application;
};

/// The context of the page running on this thread, or nullptr outside a page.
PageContext* CurrentPageContext();

/// Binds a context to the current thread for its lifetime (restores the previous one after).
class PageContextScope {
 public:
  explicit PageContextScope(PageContext& context);
  ~PageContextScope();
  PageContextScope(const PageContextScope&) = delete;
  PageContextScope& operator=(const PageContextScope&) = delete;

 private:
  PageContext* previous_;
};

}  // namespace quenmark
