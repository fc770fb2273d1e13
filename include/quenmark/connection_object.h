#pragma once
/// `ConnectionObject`: the database connection page scripts create by the name
/// "Quenmark.Connection" and hand to a grid (`grid.Connection = cn`), so that several objects of a
/// page share one connection.
///
/// Script members (names ignoring case):
///   ConnectionString  read/write; the text the connection was (or will be) opened with
///   Open([text])      opens with the text, or with ConnectionString when none is given
///   Close()           closes; closing a closed connection does nothing
///   State             read; 1 when open, 0 when closed
///   Execute(sql)      runs SQL and returns a recordset object (below)
///
/// Recordset objects returned by Execute offer EOF, MoveNext(), Fields(name or index) with Name,
/// Type, Value, DefinedSize and ActualSize, Item(name or index) for the value itself, FieldCount,
/// Sort and Filter (write), GetRows(), GetString([column delimiter, row delimiter, null text]) and
/// Close().
///
/// Failures raise quenmark::Error with the database's description (source
/// "Quenmark.Connection" or "Quenmark.Recordset").
///
/// Threading: one page (thread) at a time, like the connection it wraps.

#include <memory>
#include <string>
#include <string_view>

#include "quenmark/database.h"
#include "quenmark/dispatch.h"

namespace quenmark {

class ConnectionObject : public Dispatchable {
 public:
  ConnectionObject() = default;
  /// Wraps a connection that is already open (C++ callers).
  explicit ConnectionObject(std::unique_ptr<Connection> connection);
  ~ConnectionObject() override;
  ConnectionObject(const ConnectionObject&) = delete;
  ConnectionObject& operator=(const ConnectionObject&) = delete;

  const DispatchTable& Members() const override;
  std::string_view ClassName() const override { return "Connection"; }

  /// Opens with `connection_string`, or with ConnectionString() when it is empty. An open
  /// connection is closed first. Raises Error with the driver's description on failure.
  void Open(std::string_view connection_string = {});
  void Close();
  bool IsOpen() const;
  const std::string& ConnectionString() const { return connection_string_; }
  /// Takes effect at the next Open.
  void SetConnectionString(std::string text) { connection_string_ = std::move(text); }

  /// The open connection (owned by this object), or nullptr when closed. Grids use it.
  Connection* Get() { return IsOpen() ? connection_.get() : nullptr; }

  /// Runs SQL and returns a recordset object; raises Error when closed or on failure.
  std::shared_ptr<Dispatchable> Execute(std::string_view sql);

 private:
  std::string connection_string_;
  std::unique_ptr<Connection> connection_;
};

}  // namespace quenmark
