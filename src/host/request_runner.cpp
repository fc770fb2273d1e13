#include "host/request_runner.h"

#include <cstdio>
#include <mutex>

#include "frame/text_util.h"
#include "quenmark/host.h"
#include "quenmark/shared_settings.h"

namespace quenmark::host {

namespace {

std::mutex log_mutex;

// "/x.lua:12:" -> file "/x.lua", line "12".
void SplitWhere(const std::string& where, std::string& file, std::string& line) {
  std::string text = where;
  if (!text.empty() && text.back() == ':') text.pop_back();
  size_t colon = text.rfind(':');
  if (colon != std::string::npos && colon + 1 < text.size() &&
      text.find_first_not_of("0123456789", colon + 1) == std::string::npos) {
    file = text.substr(0, colon);
    line = text.substr(colon + 1);
  } else {
    file = text;
  }
}

std::string Message(const ScriptFailure& failure) {
  std::string message = failure.description;
  if (failure.number != 0 || !failure.source.empty()) {
    message += " (error " + std::to_string(failure.number);
    if (!failure.source.empty()) message += ", source " + failure.source;
    message += ")";
  }
  return message;
}

void Fail(PageContext& context, const std::string& page_name, const ScriptFailure& failure) {
  WriteErrorPage(context.response, page_name, failure);
  std::string file, line;
  SplitWhere(failure.where, file, line);
  std::string log = "quenmark: script error in " + page_name;
  if (!file.empty() && file != page_name) log += " (in " + file + ")";
  if (!line.empty()) log += ", line " + line;
  log += ": " + Message(failure) + "\n";
  std::lock_guard lock(log_mutex);
  std::fwrite(log.data(), 1, log.size(), stderr);
  std::fflush(stderr);
}

}  // namespace

void WriteErrorPage(Response& response, const std::string& page_name,
                    const ScriptFailure& failure) {
  std::string file, line;
  SplitWhere(failure.where, file, line);
  response = Response();
  response.SetStatus("500 Internal Server Error");
  response.SetExpires(-1);
  std::string body =
      "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Script error</title></head>\n"
      "<body>\n<h1>Script error</h1>\n<p>Page: <b>" +
      Server::HTMLEncode(page_name) + "</b>";
  if (!file.empty() && file != page_name) body += " in <b>" + Server::HTMLEncode(file) + "</b>";
  if (!line.empty()) body += ", line <b>" + Server::HTMLEncode(line) + "</b>";
  body += "</p>\n<pre>" + Server::HTMLEncode(Message(failure)) +
          "</pre>\n<p><a href=\"/\">Go to the home page</a></p>\n</body></html>\n";
  response.Write(body);
}

void RunRequest(PageContext& context, const std::string& page_name,
                const std::function<void()>& body) {
  ResetThreadSettings();
  PageContextScope scope(context);
  ScriptFailure failure;
  try {
    body();
    return;
  } catch (const ResponseEnded&) {
    return;
  } catch (const ScriptError& error) {
    failure = error.Failure();
  } catch (const Error& error) {
    failure.number = error.Number();
    failure.source = error.Source();
    failure.description = error.Description();
  } catch (const std::exception& error) {
    failure.description = error.what();
  }
  Fail(context, page_name, failure);
}

PageOutcome RunScriptPage(PageEngine& engine, const std::string& path,
                          const std::string& virtual_path, PageContext& context,
                          const std::string& session_id) {
  HostObjects objects(context, session_id);
  RunRequest(context, virtual_path, [&] { engine.Run(path, virtual_path, context, objects); });
  return PageOutcome{objects.SessionAbandoned(), objects.SessionId()};
}

std::string HeaderVariableName(std::string_view header) {
  std::string name = "HTTP_";
  name.reserve(name.size() + header.size());
  for (char c : header) name.push_back(c == '-' ? '_' : UpperAscii(c));
  return name;
}

}  // namespace quenmark::host
