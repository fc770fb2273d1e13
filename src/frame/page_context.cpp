#include "quenmark/page_context.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <unordered_set>

#include "frame/text_util.h"
#include "quenmark/dispatch.h"
#include "quenmark/error.h"

namespace quenmark {

namespace {

namespace fs = std::filesystem;

thread_local PageContext* current_context = nullptr;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Percent-decoding; a '%' not followed by two hex digits is kept as it is.
std::string Decode(std::string_view text, bool plus_is_blank) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '+' && plus_is_blank) {
      out.push_back(' ');
    } else if (c == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
               HexValue(text[i + 2]) >= 0) {
      out.push_back(static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
      i += 2;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

// The blanks allowed around cookie names and values.
constexpr std::string_view kSpaceOrTab = " \t";

bool IsHeaderNameChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

// True when `path` is `root` or lies below it (both absolute and normalised).
bool IsInside(const fs::path& path, const fs::path& root) {
  auto root_it = root.begin();
  auto path_it = path.begin();
  for (; root_it != root.end(); ++root_it, ++path_it) {
    if (root_it->empty()) continue;  // trailing separator of the root
    if (path_it == path.end() || *path_it != *root_it) return false;
  }
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// FieldCollection

void FieldCollection::Add(std::string name, std::string value) {
  entries_.emplace_back(std::move(name), std::move(value));
}

std::string FieldCollection::Get(std::string_view name) const {
  std::string joined;
  bool found = false;
  for (const auto& [key, value] : entries_) {
    if (!EqualsIgnoreCase(key, name)) continue;
    if (found) joined += ", ";
    joined += value;
    found = true;
  }
  return joined;
}

bool FieldCollection::Has(std::string_view name) const {
  return std::any_of(entries_.begin(), entries_.end(),
                     [&](const auto& entry) { return EqualsIgnoreCase(entry.first, name); });
}

int FieldCollection::Count() const { return static_cast<int>(Names().size()); }

std::vector<std::string> FieldCollection::Names() const {
  // A hash set of the lower-cased names keeps this linear: a post with a huge number of distinct
  // field names must not cost quadratic time on every Count.
  std::vector<std::string> names;
  std::unordered_set<std::string> seen;
  seen.reserve(entries_.size());
  for (const auto& entry : entries_) {
    if (seen.insert(ToLowerAscii(entry.first)).second) names.push_back(entry.first);
  }
  return names;
}

void FieldCollection::AddUrlEncoded(std::string_view text) {
  while (!text.empty()) {
    size_t amp = text.find('&');
    std::string_view pair = text.substr(0, amp);
    text = amp == std::string_view::npos ? std::string_view() : text.substr(amp + 1);
    if (pair.empty()) continue;
    size_t eq = pair.find('=');
    std::string name = Decode(pair.substr(0, eq), true);
    std::string value = eq == std::string_view::npos ? "" : Decode(pair.substr(eq + 1), true);
    if (name.empty()) continue;
    Add(std::move(name), std::move(value));
  }
}

void FieldCollection::AddCookieHeader(std::string_view header) {
  while (!header.empty()) {
    size_t semi = header.find(';');
    std::string_view pair = Trim(header.substr(0, semi), kSpaceOrTab);
    header = semi == std::string_view::npos ? std::string_view() : header.substr(semi + 1);
    size_t eq = pair.find('=');
    if (pair.empty() || eq == 0) continue;
    std::string_view name = Trim(pair.substr(0, eq), kSpaceOrTab);
    std::string_view value =
        eq == std::string_view::npos ? "" : Trim(pair.substr(eq + 1), kSpaceOrTab);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    Add(std::string(name), Decode(value, false));
  }
}

// ---------------------------------------------------------------------------------------------
// Request

std::string Request::ServerVariable(std::string_view name) const {
  auto it = server_variables_.find(ToUpperAscii(name));
  return it == server_variables_.end() ? "" : it->second;
}

void Request::SetServerVariable(std::string name, std::string value) {
  server_variables_[ToUpperAscii(name)] = std::move(value);
}

std::string Request::Item(std::string_view name) const {
  for (const FieldCollection* collection : {&query_string_, &form_, &cookies_}) {
    if (collection->Has(name)) return collection->Get(name);
  }
  return ServerVariable(name);
}

// ---------------------------------------------------------------------------------------------
// Response

void Response::End() { throw ResponseEnded{}; }

void Response::FailTooLarge() const {
  std::string limit = body_limit_ % (size_t{1} << 20) == 0
                          ? std::to_string(body_limit_ >> 20) + " MB"
                          : std::to_string(body_limit_) + " bytes";
  throw Error(ErrorNumber::kGeneric, "The response is larger than the server's limit of " + limit,
              "Response.Write");
}

void Response::Redirect(const std::string& url) {
  // Line breaks in a header value would let the URL inject headers of its own.
  std::string location;
  location.reserve(url.size());
  for (char c : url) {
    if (c != '\r' && c != '\n') location.push_back(c);
  }
  // Browsers drop leading blanks and controls and tabs inside a scheme ("java\tscript:"); a
  // redirect to script or inline data runs the sender's text in the site's name.
  std::string scheme;
  for (char c : location) {
    if (c == ':') break;
    if (static_cast<unsigned char>(c) > ' ') scheme.push_back(LowerAscii(c));
  }
  if (location.find(':') != std::string::npos &&
      (scheme == "javascript" || scheme == "vbscript" || scheme == "data")) {
    throw Error(ErrorNumber::kInvalidArgument,
                "Redirect refuses " + scheme + ": addresses", "Response.Redirect");
  }
  Clear();
  status_ = "302 Object moved";
  AddHeader("Location", location);
  body_ =
      "<head><title>Object moved</title></head>\n<body><h1>Object Moved</h1>This object may "
      "be found <a HREF=\"" +
      Server::HTMLEncode(location) + "\">here</a>.</body>\n";
  End();
}

void Response::AddHeader(std::string name, std::string value) {
  if (name.empty() || !std::all_of(name.begin(), name.end(), IsHeaderNameChar)) {
    throw Error(ErrorNumber::kInvalidArgument, "Invalid header name \"" + name + "\"",
                "Response.AddHeader");
  }
  if (value.find_first_of("\r\n") != std::string::npos) {
    throw Error(ErrorNumber::kInvalidArgument, "Header values may not contain line breaks",
                "Response.AddHeader");
  }
  // Other control characters (NUL, VT, FF, ...) would be cut or read differently by the
  // server and by browsers; a tab is ordinary white space.
  if (std::any_of(value.begin(), value.end(), [](char c) {
        auto byte = static_cast<unsigned char>(c);
        return (byte < ' ' && c != '\t') || byte == 0x7f;
      })) {
    throw Error(ErrorNumber::kInvalidArgument, "Header values may not contain control characters",
                "Response.AddHeader");
  }
  headers_.emplace_back(std::move(name), std::move(value));
}

bool Response::SendBody(const BodySink& sink) {
  if (!body_.empty() && !sink(body_)) return false;
  body_.clear();
  if (!stream_) return true;
  BodyStream stream = std::move(stream_);
  stream_ = nullptr;
  bool delivered = true;
  stream([&](std::string_view bytes) {
    if (delivered && !sink(bytes)) delivered = false;
    return delivered;
  });
  return delivered;
}

void Response::CompleteBody() {
  if (!stream_) return;
  BodyStream stream = std::move(stream_);
  stream_ = nullptr;
  stream([this](std::string_view bytes) {
    Write(bytes);
    return true;
  });
}

int Response::StatusCode() const {
  int code = 0;
  for (char c : status_) {
    if (c < '0' || c > '9') break;
    code = code * 10 + (c - '0');
    if (code > 999) break;
  }
  return code;
}

// ---------------------------------------------------------------------------------------------
// StateStore

Variant StateStore::Get(std::string_view name) const {
  std::lock_guard lock(mutex_);
  auto it = values_.find(ToLowerAscii(name));
  return it == values_.end() ? Variant() : it->second;
}

void StateStore::Set(std::string_view name, Variant value) {
  std::lock_guard lock(mutex_);
  values_[ToLowerAscii(name)] = std::move(value);
}

void StateStore::Remove(std::string_view name) {
  std::lock_guard lock(mutex_);
  auto it = values_.find(ToLowerAscii(name));
  if (it != values_.end()) values_.erase(it);
}

size_t StateStore::Count() const {
  std::lock_guard lock(mutex_);
  return values_.size();
}

std::vector<std::string> StateStore::Names() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> names;
  names.reserve(values_.size());
  for (const auto& entry : values_) names.push_back(entry.first);
  return names;
}

void StateStore::Clear() {
  std::lock_guard lock(mutex_);
  values_.clear();
}

// ---------------------------------------------------------------------------------------------
// Server

void Server::RestrictDataFiles(std::vector<std::string> folders) {
  namespace fs = std::filesystem;
  restrict_data_files_ = true;
  data_folders_.clear();
  // Resolved once here: a page may open several files.
  folders.push_back(web_root_);
  for (const std::string& folder : folders) {
    std::error_code ec;
    fs::path base = fs::weakly_canonical(fs::absolute(fs::path(folder), ec), ec);
    if (!ec && !base.empty()) data_folders_.push_back(base.string());
  }
}

bool Server::DataFileAllowed(std::string_view path) const {
  if (!restrict_data_files_) return true;
  namespace fs = std::filesystem;
  std::error_code ec;
  // Symbolic links and ".." are resolved first, so only where the file really is counts.
  fs::path file = fs::weakly_canonical(fs::absolute(fs::path(path), ec), ec);
  if (ec) return false;
  auto inside = [&](const std::string& folder) {
    fs::path relative = file.lexically_relative(folder);
    return !relative.empty() && *relative.begin() != ".." && relative != ".";
  };
  return std::any_of(data_folders_.begin(), data_folders_.end(), inside);
}

std::string Server::MapPath(std::string_view path) const {
  std::error_code ec;
  fs::path root = fs::weakly_canonical(fs::absolute(web_root_, ec), ec);
  if (ec) {
    throw Error(ErrorNumber::kPathNotFound, "Web root not found: " + web_root_, "Server.MapPath");
  }
  std::string relative(path);
  std::replace(relative.begin(), relative.end(), '\\', '/');
  fs::path base = !relative.empty() && relative.front() == '/'
                      ? root
                      : fs::weakly_canonical(fs::absolute(page_dir_, ec), ec);
  while (!relative.empty() && relative.front() == '/') relative.erase(0, 1);
  // Lexical resolution first (so "a/../.." is caught even when "a" does not exist), then
  // symbolic links of whatever part exists.
  fs::path joined = (base / relative).lexically_normal();
  fs::path resolved = fs::weakly_canonical(joined, ec);
  if (ec) resolved = joined;
  if (!IsInside(joined, root) || !IsInside(resolved, root)) {
    throw Error(ErrorNumber::kPathNotFound,
                "The path \"" + std::string(path) + "\" is outside the web root", "Server.MapPath");
  }
  std::string result = resolved.string();
  if (result.size() > 1 && result.back() == '/') result.pop_back();
  return result;
}

std::string Server::URLEncode(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size() * 3 / 2);
  for (unsigned char c : text) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '_' || c == '.' || c == '*') {
      out.push_back(static_cast<char>(c));
    } else if (c == ' ') {
      out.push_back('+');
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    }
  }
  return out;
}

std::string Server::HTMLEncode(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}

Variant Server::CreateObject(std::string_view prog_id) const {
  std::shared_ptr<Dispatchable> object = ObjectRegistry::Global().Create(prog_id);
  if (!object) {
    throw Error(ErrorNumber::kCannotCreateObject,
                "Invalid class string: no object is registered as \"" + std::string(prog_id) + "\"",
                "Server.CreateObject");
  }
  return Variant(std::move(object));
}

// ---------------------------------------------------------------------------------------------
// Current context

PageContext* CurrentPageContext() { return current_context; }

PageContextScope::PageContextScope(PageContext& context) : previous_(current_context) {
  current_context = &context;
}

PageContextScope::~PageContextScope() { current_context = previous_; }

}  // namespace quenmark
