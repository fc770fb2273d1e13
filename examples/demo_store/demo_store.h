#pragma once
// Deterministic generator of the demo store database (SQLite) used by the demo site, the tests
// and the benchmarks.

#include <cstdint>
#include <string>

#include "quenmark/error.h"

namespace quenmark::demo {

struct DemoStoreOptions {
  int customers = 91;
  int employees = 9;
  int suppliers = 29;
  int products = 77;
  int orders = 830;
  /// Order-detail rows in all (about 2.6 per order by default); a million for benchmarks.
  int64_t order_details = 2155;
  uint32_t seed = 20040301;
};

/// Writes a new database file at `path` (replacing any file there) atomically: the data goes
/// to a temporary file first, which is renamed when complete.
Status GenerateDemoStore(const std::string& path, const DemoStoreOptions& options = {});

}  // namespace quenmark::demo
