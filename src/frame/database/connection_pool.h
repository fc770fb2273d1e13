#pragma once
// Connections reused across page requests. Opening a connection costs more than a small page
// (SQLite parses the schema anew, PostgreSQL authenticates), so connections a page closes wait
// for the next page that asks for the same connection string: read-only SQLite connections on
// the same thread, PostgreSQL connections in a small pool per string. Before one is handed out
// again it is brought back to the state of a fresh connection, or dropped when that fails.

#include <memory>
#include <string>
#include <string_view>

#include "quenmark/database.h"

namespace quenmark::db {

/// What a driver offers the pool.
class ReusableConnection {
 public:
  enum class Scope { kNone, kThread, kProcess };
  virtual ~ReusableConnection() = default;
  /// Where an idle connection may be handed out again (kNone: never).
  virtual Scope ReuseScope() const = 0;
  /// Makes an idle connection indistinguishable from a freshly opened one; false when it
  /// cannot (it is then dropped).
  virtual bool Revive() = 0;
};

/// A connection from the pool, or a new one; it goes back to the pool when closed.
/// `open` opens a new connection for the string.
Result<std::unique_ptr<Connection>> AcquirePooled(
    std::string_view connection_string,
    Result<std::unique_ptr<Connection>> (*open)(std::string_view));

}  // namespace quenmark::db
