#pragma once
// The one way every request runs, for the HTTP server, the offline runner and C++ handlers.

#include <functional>
#include <string>
#include <string_view>

#include "host/lua_bridge.h"
#include "host/page_engine.h"
#include "quenmark/page_context.h"

namespace quenmark::host {

/// Resets the per-thread shared settings, binds `context` to the thread, runs `body`, and
/// settles the outcome: ResponseEnded is a normal end; ScriptError, Error and other exceptions
/// replace the response with the error page (status 500) and are logged to stderr.
/// `page_name` names the page in the error page and the log ("/grid.lua").
void RunRequest(PageContext& context, const std::string& page_name,
                const std::function<void()>& body);

/// What the host must do with the session after a page.
struct PageOutcome {
  /// The page called Session.Abandon(): the old id is dead.
  bool abandoned = false;
  /// The id the session has at the end (a new one after Abandon).
  std::string session_id;
};

/// Runs a page script for one request through RunRequest. `session_id` is what
/// Session.SessionID reports.
PageOutcome RunScriptPage(PageEngine& engine, const std::string& path, const std::string& virtual_path,
                   PageContext& context, const std::string& session_id);

/// The server variable a request header is read by: "HTTP_" and the header name with a-z in
/// upper case and '-' as '_' ("User-Agent" -> "HTTP_USER_AGENT").
std::string HeaderVariableName(std::string_view header);

/// Replaces `response` with the error page naming the page, the line and the message.
void WriteErrorPage(Response& response, const std::string& page_name, const ScriptFailure& failure);

}  // namespace quenmark::host
