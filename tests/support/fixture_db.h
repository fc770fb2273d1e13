#pragma once
// The shared fixture database of the tests: the default demo store, generated once per build
// tree and reused by every test process.

#include <string>

#include "quenmark/database.h"

namespace quenmark::fixture {

/// Path of the demo store (QUENMARK_BINARY_DIR/fixture/store.db), generated on first use. Safe
/// when test processes run in parallel: the store is built under a temporary name and renamed.
const std::string& FixtureDatabasePath();

/// "Provider=SQLite;Data Source=<fixture path>".
std::string FixtureConnectionString();

/// The connection string for a driver under test: the fixture store when `variable` is null,
/// else that environment variable's value ("" when unset), to which an ODBC source that names
/// no database gets the fixture store (not for the PostgreSQL copy, `postgres`).
std::string DriverConnectionString(const char* variable, bool postgres);

/// Copies the fixture's tables, views and two set-returning functions into the PostgreSQL
/// database `server` is connected to, unless an earlier process did (the load is serialised with
/// an advisory lock and committed as one transaction).
Status LoadFixtureIntoPostgres(Connection& server);

}  // namespace quenmark::fixture
