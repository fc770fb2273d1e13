#include "frame/page_log.h"

#include <cstdio>
#include <mutex>
#include <string>

#include "quenmark/page_context.h"

namespace quenmark {

namespace {

// One line whatever the text holds.
void AppendOneLine(std::string& out, std::string_view text) {
  for (char c : text) out.push_back(c == '\n' || c == '\r' ? ' ' : c);
}

}  // namespace

void LogPageFailure(std::string_view source, std::string_view message,
                    std::string_view statement) {
  std::string line = "quenmark: ";
  AppendOneLine(line, source);
  line += " error";
  if (PageContext* page = CurrentPageContext()) {
    line += " in ";
    AppendOneLine(line, page->request.ServerVariable("URL"));
  }
  line += ": ";
  AppendOneLine(line, message);
  if (!statement.empty()) {
    line += "; statement: ";
    AppendOneLine(line, statement);
  }
  line += '\n';
  static std::mutex mutex;
  std::lock_guard lock(mutex);
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace quenmark
