#pragma once
// Runs one request through a page with the quenmark executable (`quenmark run`), the way a
// browser would get it, so page-level tests compare real output.
//
//   auto result = RunPage("examples/site/grid.lua", {"--query", "start=2"});
//   EXPECT_EQ(result.status, 200);
//   EXPECT_THAT(result.body, HasSubstr("<table"));

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quenmark::test_support {

struct PageResult {
  /// Exit code of the executable (0 when the request ran, whatever its HTTP status).
  int exit_code = -1;
  /// HTTP status code, e.g. 200, 302, 500; 0 when no status line was printed.
  int status = 0;
  /// Status line text after "HTTP/1.1 ", e.g. "200 OK".
  std::string status_line;
  /// Response headers in the order they were printed.
  std::vector<std::pair<std::string, std::string>> headers;
  /// Response body, byte for byte.
  std::string body;
  /// What the executable wrote to stderr (script error log lines).
  std::string error_output;

  /// The value of the first header of that name (ignoring case), or "" when absent.
  std::string Header(std::string_view name) const;
  bool HasHeader(std::string_view name) const;
};

/// Runs `quenmark run PAGE ARGS...`. `page` is a file path (relative paths are taken from the
/// source tree). Extra arguments are the options of `quenmark run`: "--query", "a=1",
/// "--form", "b=2", "--url", "/x.lua", "--header", "Name: value", "--cookie", "k=v",
/// "--session", "K=V", "--root", DIR. When no "--root" is given, the page's folder is the root.
/// `address_space_bytes` above 0 caps the process's address space (as `prlimit --as` does).
PageResult RunPage(const std::string& page, const std::vector<std::string>& args = {},
                   size_t address_space_bytes = 0);

/// Absolute path of a file in the source tree ("examples/site/index.lua").
std::string SourcePath(const std::string& relative);

}  // namespace quenmark::test_support
