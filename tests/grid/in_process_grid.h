#pragma once
// Runs a grid in this process over a small SQLite database made for one test file: a page
// context built in C++, the grid configured by a lambda, the response body returned.

#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include "quenmark/data_grid.h"
#include "quenmark/page_context.h"
#include "quenmark/shared_settings.h"

namespace quenmark::test_grid {

/// Creates (once per process and name) a database from `sql` and returns its connection string.
inline std::string Database(const std::string& name, const std::string& sql) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("quenmark_" + name + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string file = (dir / "test.db").string();
  if (!std::filesystem::exists(file)) {
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
  }
  return "sqlite:" + file;
}

/// One request through a page at "/grid.lua".
struct GridRequest {
  Request request;
  Response response;
  Server server{"/tmp", "/tmp"};
  Session session;
  Application application;

  GridRequest() {
    request.SetServerVariable("URL", "/grid.lua");
    ResetThreadSettings();
  }
  GridRequest& Form(std::string name, std::string value) {
    request.Form().Add(std::move(name), std::move(value));
    return *this;
  }
  /// Runs `page` on a fresh grid; a response that ends is a normal end.
  std::string Run(const std::function<void(DataGrid&)>& page) {
    PageContext context{request, response, server, session, application};
    PageContextScope scope(context);
    try {
      DataGrid grid;
      page(grid);
    } catch (const ResponseEnded&) {
    }
    return response.Body();
  }
};

/// How often `piece` occurs in `text`.
inline int CountOf(const std::string& text, const std::string& piece) {
  int count = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) {
    ++count;
  }
  return count;
}

}  // namespace quenmark::test_grid
