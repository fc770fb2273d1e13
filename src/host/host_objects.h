#pragma once
// The host objects a page script sees as the globals Request, Response, Server, Session and
// Application. They are Dispatchables like the library's own objects, so the Lua bridge (and any
// other bridge) reaches them through the same member tables.

#include <memory>
#include <string>

#include "quenmark/dispatch.h"
#include "quenmark/page_context.h"

namespace quenmark::host {

/// The link from the host objects to the running page. Cleared when the page ends, so an object
/// kept beyond its request (stored somewhere) raises an error instead of touching freed memory.
struct HostLink {
  PageContext* context = nullptr;
  std::string session_id;
  bool session_abandoned = false;
  PageContext& Context() const;
};

/// The five host objects of one page.
class HostObjects {
 public:
  explicit HostObjects(PageContext& context, std::string session_id = "");
  ~HostObjects();
  HostObjects(const HostObjects&) = delete;
  HostObjects& operator=(const HostObjects&) = delete;

  std::shared_ptr<Dispatchable> request;
  std::shared_ptr<Dispatchable> response;
  std::shared_ptr<Dispatchable> server;
  std::shared_ptr<Dispatchable> session;
  std::shared_ptr<Dispatchable> application;

  /// True when the page called Session.Abandon().
  bool SessionAbandoned() const { return link_->session_abandoned; }
  /// The session id at the end of the page (a new one after Abandon).
  const std::string& SessionId() const { return link_->session_id; }

 private:
  std::shared_ptr<HostLink> link_;
};

}  // namespace quenmark::host
