#include "host/host_objects.h"
#include "host/session_store.h"
#include "quenmark/error.h"
#include "quenmark/locale.h"
#include "quenmark/shared_settings.h"

#include <utility>
#include <vector>

namespace quenmark::host {

namespace {

using Link = std::shared_ptr<HostLink>;

// Base of the host objects: holds the link to the running page.
class HostObject : public Dispatchable {
 public:
  explicit HostObject(Link link) : link_(std::move(link)) {}
  PageContext& Context() const { return link_->Context(); }
  HostLink& link() const { return *link_; }

 private:
  Link link_;
};

std::vector<Variant> NamesAsList(const std::vector<std::string>& names) {
  std::vector<Variant> list;
  list.reserve(names.size());
  for (const auto& name : names) list.emplace_back(name);
  return list;
}

// 1-based position into a list of names, or an error.
const std::string& NameAt(const std::vector<std::string>& names, const Variant& index) {
  int64_t position = index.ToInt64();
  if (position < 1 || position > static_cast<int64_t>(names.size())) {
    throw Error(ErrorNumber::kInvalidArgument,
                "Index " + std::to_string(position) + " is out of range", "Collection");
  }
  return names[static_cast<size_t>(position - 1)];
}

std::string Encoded(const FieldCollection& fields) {
  std::string text;
  for (const auto& [name, value] : fields.Entries()) {
    if (!text.empty()) text.push_back('&');
    text += Server::URLEncode(name);
    text.push_back('=');
    text += Server::URLEncode(value);
  }
  return text;
}

// Request.Form, Request.QueryString, Request.Cookies.
class FieldsObject final : public HostObject {
 public:
  enum class Which { kForm, kQueryString, kCookies };
  FieldsObject(Link link, Which which) : HostObject(std::move(link)), which_(which) {}

  const FieldCollection& Fields() const {
    Request& request = Context().request;
    switch (which_) {
      case Which::kForm:
        return request.Form();
      case Which::kQueryString:
        return request.QueryString();
      case Which::kCookies:
        break;
    }
    return request.Cookies();
  }

  std::string_view ClassName() const override { return "RequestCollection"; }
  const DispatchTable& Members() const override {
    static const DispatchTable table = [] {
      DispatchTable t;
      DispatchBuilder<FieldsObject>(t)
          .Method("Item",
                  [](FieldsObject& self, Arguments& args) -> Variant {
                    const FieldCollection& fields = self.Fields();
                    if (!args.Has(0)) return Encoded(fields);
                    if (args.Get(0).IsNumeric()) {
                      return fields.Get(NameAt(fields.Names(), args.Get(0)));
                    }
                    return fields.Get(args.Text(0));
                  })
          .Method("Key",
                  [](FieldsObject& self, Arguments& args) -> Variant {
                    return NameAt(self.Fields().Names(), args.Get(0));
                  })
          .Method("Names",
                  [](FieldsObject& self, Arguments&) -> Variant {
                    return NamesAsList(self.Fields().Names());
                  })
          .Method("Exists",
                  [](FieldsObject& self, Arguments& args) -> Variant {
                    return self.Fields().Has(args.Text(0));
                  })
          .ReadOnly("Count", [](FieldsObject& self) -> Variant { return self.Fields().Count(); });
      return t;
    }();
    return table;
  }

 private:
  Which which_;
};

class ServerVariablesObject final : public HostObject {
 public:
  using HostObject::HostObject;
  std::string_view ClassName() const override { return "ServerVariables"; }
  const DispatchTable& Members() const override {
    static const DispatchTable table = [] {
      DispatchTable t;
      DispatchBuilder<ServerVariablesObject>(t).Method(
          "Item", [](ServerVariablesObject& self, Arguments& args) -> Variant {
            return self.Context().request.ServerVariable(args.Text(0));
          });
      return t;
    }();
    return table;
  }
};

class RequestObject final : public HostObject {
 public:
  explicit RequestObject(Link link)
      : HostObject(link),
        form_(std::make_shared<FieldsObject>(link, FieldsObject::Which::kForm)),
        query_string_(std::make_shared<FieldsObject>(link, FieldsObject::Which::kQueryString)),
        cookies_(std::make_shared<FieldsObject>(link, FieldsObject::Which::kCookies)),
        server_variables_(std::make_shared<ServerVariablesObject>(link)) {}

  std::string_view ClassName() const override { return "Request"; }
  const DispatchTable& Members() const override {
    static const DispatchTable table = [] {
      DispatchTable t;
      DispatchBuilder<RequestObject>(t)
          .Method("Item",
                  [](RequestObject& self, Arguments& args) -> Variant {
                    return self.Context().request.Item(args.Text(0));
                  })
          .ReadOnly("Form", [](RequestObject& self) -> Variant { return Variant(self.form_); })
          .ReadOnly("QueryString",
                    [](RequestObject& self) -> Variant { return Variant(self.query_string_); })
          .ReadOnly("Cookies",
                    [](RequestObject& self) -> Variant { return Variant(self.cookies_); })
          .ReadOnly("ServerVariables",
                    [](RequestObject& self) -> Variant { return Variant(self.server_variables_); });
      return t;
    }();
    return table;
  }

 private:
  std::shared_ptr<Dispatchable> form_, query_string_, cookies_, server_variables_;
};

// Validates "404 Not Found" style status texts.
std::string CheckedStatus(const std::string& status) {
  bool ok = status.size() >= 3 && status[0] >= '1' && status[0] <= '5' && status[1] >= '0' &&
            status[1] <= '9' && status[2] >= '0' && status[2] <= '9' &&
            (status.size() == 3 || status[3] == ' ') &&
            status.find_first_of("\r\n") == std::string::npos;
  if (!ok) {
    throw Error(ErrorNumber::kInvalidArgument, "Invalid status \"" + status + "\"",
                "Response.Status");
  }
  return status;
}

std::string CheckedHeaderText(const std::string& text, const char* what) {
  if (text.find_first_of("\r\n") != std::string::npos) {
    throw Error(ErrorNumber::kInvalidArgument, std::string(what) + " may not contain line breaks",
                "Response");
  }
  return text;
}

class ResponseObject final : public HostObject {
 public:
  using HostObject::HostObject;
  Response& Out() const { return Context().response; }
  std::string_view ClassName() const override { return "Response"; }
  const DispatchTable& Members() const override {
    static const DispatchTable table = [] {
      DispatchTable t;
      DispatchBuilder<ResponseObject>(t)
          .Method("Write",
                  [](ResponseObject& self, Arguments& args) -> Variant {
                    const Variant& value = args.Get(0);
                    if (value.kind() == Variant::Kind::kText) {
                      self.Out().Write(value.AsText());
                    } else {
                      self.Out().Write(value.ToText());
                    }
                    return {};
                  })
          .Method("BinaryWrite",
                  [](ResponseObject& self, Arguments& args) -> Variant {
                    const Variant& value = args.Get(0);
                    if (value.kind() == Variant::Kind::kBytes) {
                      self.Out().BinaryWrite(value.AsBytes().data);
                    } else {
                      self.Out().BinaryWrite(value.ToText());
                    }
                    return {};
                  })
          .Method("End", [](ResponseObject& self, Arguments&) -> Variant { self.Out().End(); })
          .Method("Clear",
                  [](ResponseObject& self, Arguments&) -> Variant {
                    self.Out().Clear();
                    return {};
                  })
          .Method("Flush", [](ResponseObject&, Arguments&) -> Variant { return {}; })
          .Method("Redirect",
                  [](ResponseObject& self, Arguments& args) -> Variant {
                    self.Out().Redirect(args.Text(0));
                  })
          .Method("AddHeader",
                  [](ResponseObject& self, Arguments& args) -> Variant {
                    self.Out().AddHeader(args.Text(0), args.Text(1));
                    return {};
                  })
          .Property(
              "ContentType",
              [](ResponseObject& self) -> Variant { return self.Out().ContentType(); },
              [](ResponseObject& self, const Variant& v) {
                self.Out().SetContentType(CheckedHeaderText(v.ToText(), "ContentType"));
              })
          .Property(
              "Charset", [](ResponseObject& self) -> Variant { return self.Out().Charset(); },
              [](ResponseObject& self, const Variant& v) {
                self.Out().SetCharset(CheckedHeaderText(v.ToText(), "Charset"));
              })
          .Property(
              "Status", [](ResponseObject& self) -> Variant { return self.Out().Status(); },
              [](ResponseObject& self, const Variant& v) {
                self.Out().SetStatus(CheckedStatus(v.ToText()));
              })
          .Property(
              "Buffer", [](ResponseObject& self) -> Variant { return self.Out().Buffer(); },
              [](ResponseObject& self, const Variant& v) { self.Out().SetBuffer(v.ToBoolean()); })
          .Property(
              "Expires", [](ResponseObject& self) -> Variant { return self.Out().Expires(); },
              [](ResponseObject& self, const Variant& v) { self.Out().SetExpires(v.ToInt32()); })
          .Property(
              "Locale",
              [](ResponseObject&) -> Variant {
                const std::string& id = ThreadSettings().locale;
                return id.empty() ? std::string("en-US") : id;
              },
              [](ResponseObject&, const Variant& v) {
                const std::string tag = v.ToText();
                if (!Locale::IsKnownTag(tag)) {
                  throw Error(ErrorNumber::kInvalidArgument,
                              "Response.Locale: \"" + tag + "\" is not a language tag such as "
                              "\"de-DE\"",
                              "Response");
                }
                ThreadSettings().locale = tag;
              });
      return t;
    }();
    return table;
  }
};

class ServerObject final : public HostObject {
 public:
  using HostObject::HostObject;
  std::string_view ClassName() const override { return "Server"; }
  const DispatchTable& Members() const override {
    static const DispatchTable table = [] {
      DispatchTable t;
      DispatchBuilder<ServerObject>(t)
          .Method("MapPath",
                  [](ServerObject& self, Arguments& args) -> Variant {
                    return self.Context().server.MapPath(args.Text(0));
                  })
          .Method("URLEncode",
                  [](ServerObject&, Arguments& args) -> Variant {
                    return Server::URLEncode(args.Text(0));
                  })
          .Method("HTMLEncode",
                  [](ServerObject&, Arguments& args) -> Variant {
                    return Server::HTMLEncode(args.Text(0));
                  })
          .Method("CreateObject", [](ServerObject& self, Arguments& args) -> Variant {
            return self.Context().server.CreateObject(args.Text(0));
          });
      return t;
    }();
    return table;
  }
};

// Session and Application: named values that outlive the request.
class StateObject final : public HostObject {
 public:
  StateObject(Link link, bool is_session) : HostObject(std::move(link)), is_session_(is_session) {}

  StateStore& Store() const { return is_session_ ? Context().session : Context().application; }

  std::string_view ClassName() const override { return is_session_ ? "Session" : "Application"; }
  const DispatchTable& Members() const override {
    static const DispatchTable session_table = BuildTable(true);
    static const DispatchTable application_table = BuildTable(false);
    return is_session_ ? session_table : application_table;
  }

 private:
  static DispatchTable BuildTable(bool is_session) {
    DispatchTable t;
    DispatchBuilder<StateObject> builder(t);
    builder
        .Method("Item",
                [](StateObject& self, Arguments& args) -> Variant {
                  std::string name = args.Get(0).IsNumeric()
                                         ? NameAt(self.Store().Names(), args.Get(0))
                                         : args.Text(0);
                  if (args.Count() < 2) return self.Store().Get(name);
                  // Library objects keep the page they were created in; kept for a later
                  // request they would act on a page that no longer exists.
                  if (args.Get(1).kind() == Variant::Kind::kObject) {
                    throw Error(ErrorNumber::kTypeMismatch,
                                "Objects cannot be stored in Session or Application",
                                std::string(self.ClassName()));
                  }
                  if (args.Get(1).IsEmpty()) {
                    self.Store().Remove(name);
                  } else {
                    self.Store().Set(name, args.Get(1));
                  }
                  return {};
                })
        .Method("Remove",
                [](StateObject& self, Arguments& args) -> Variant {
                  self.Store().Remove(args.Text(0));
                  return {};
                })
        .Method("RemoveAll",
                [](StateObject& self, Arguments&) -> Variant {
                  self.Store().Clear();
                  return {};
                })
        .Method("Key",
                [](StateObject& self, Arguments& args) -> Variant {
                  return NameAt(self.Store().Names(), args.Get(0));
                })
        .Method("Names",
                [](StateObject& self, Arguments&) -> Variant {
                  return NamesAsList(self.Store().Names());
                })
        .ReadOnly("Count", [](StateObject& self) -> Variant {
          return static_cast<int64_t>(self.Store().Count());
        });
    if (is_session) {
      builder
          .ReadOnly("SessionID",
                    [](StateObject& self) -> Variant { return self.link().session_id; })
          .Method("Abandon", [](StateObject& self, Arguments&) -> Variant {
            // The visitor keeps no id that was in use: what the page stores afterwards goes
            // into an empty session under a new id.
            self.Store().Clear();
            self.link().session_abandoned = true;
            self.link().session_id = SessionStore::NewId();
            return {};
          });
    } else {
      // The store locks on every access; Lock/Unlock remain for pages written that way.
      builder.Method("Lock", [](StateObject&, Arguments&) -> Variant { return {}; })
          .Method("Unlock", [](StateObject&, Arguments&) -> Variant { return {}; });
    }
    return t;
  }

  bool is_session_;
};

}  // namespace

PageContext& HostLink::Context() const {
  if (!context) {
    throw Error(ErrorNumber::kObjectRequired, "The page this host object belonged to has ended",
                "Quenmark host");
  }
  return *context;
}

HostObjects::HostObjects(PageContext& context, std::string session_id)
    : link_(std::make_shared<HostLink>()) {
  link_->context = &context;
  link_->session_id = std::move(session_id);
  request = std::make_shared<RequestObject>(link_);
  response = std::make_shared<ResponseObject>(link_);
  server = std::make_shared<ServerObject>(link_);
  session = std::make_shared<StateObject>(link_, true);
  application = std::make_shared<StateObject>(link_, false);
}

HostObjects::~HostObjects() { link_->context = nullptr; }

}  // namespace quenmark::host
