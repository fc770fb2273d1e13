#pragma once
// The Lua page engine: runs *.lua and *.qsp pages in a fresh, sandboxed Lua state per request.
// Pages are compiled once per file and kept as bytecode until the file changes (modification
// time or size), so a request only loads bytecode.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <unordered_map>

#include "host/host_objects.h"
#include "host/lua_bridge.h"
#include "quenmark/page_context.h"

namespace quenmark::host {

/// A page that failed: a syntax error, a Lua runtime error or a library error it did not catch.
class ScriptError : public std::runtime_error {
 public:
  explicit ScriptError(ScriptFailure failure)
      : std::runtime_error(failure.where + " " + failure.description),
        failure_(std::move(failure)) {}
  const ScriptFailure& Failure() const { return failure_; }

 private:
  ScriptFailure failure_;
};

struct PageLimits {
  /// A page running longer than this is stopped with a script error (0 = no limit).
  std::chrono::milliseconds time_limit{60000};
  /// Memory one page's Lua state may allocate (0 = no limit).
  size_t memory_limit = size_t{512} << 20;
};

class PageEngine {
 public:
  /// Registers the library's creatable classes on first use.
  explicit PageEngine(PageLimits limits = {});

  /// True for the file names the engine runs (*.lua, *.qsp; ignoring case).
  static bool IsPage(const std::filesystem::path& path);

  /// Runs the page at the physical `path` (inside the context's web root). `virtual_path` names
  /// it in error messages ("/grid.lua"). Globals: Request, Response, Server, Session,
  /// Application (from `objects`), CreateObject, Null, Date; print writes to the response.
  /// Throws ResponseEnded when the page ended the response and ScriptError when it failed.
  void Run(const std::string& path, const std::string& virtual_path, PageContext& context,
           HostObjects& objects);

  /// Bytecode of a page or module, compiled if the file changed. Throws ScriptError.
  std::shared_ptr<const std::string> Compile(const std::filesystem::path& path,
                                             const std::string& chunk_name);

 private:
  struct Compiled {
    std::filesystem::file_time_type modified;
    uintmax_t size = 0;
    std::string chunk_name;
    std::shared_ptr<const std::string> bytecode;
  };

  PageLimits limits_;
  std::mutex mutex_;
  std::unordered_map<std::string, Compiled> cache_;
};

}  // namespace quenmark::host
