#pragma once
// The benchmarks' demo store: a million order-detail rows, generated once and kept in the build
// folder (the generator is deterministic, so a file that exists is the right one).

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "demo_store/demo_store.h"
#include "quenmark/database.h"

namespace bench {

inline constexpr int64_t kDetailRows = 1'000'000;

inline const std::string& StorePath() {
  static const std::string path = [] {
    const std::filesystem::path file =
        std::filesystem::path(QUENMARK_BINARY_DIR) / "bench_store_1m.db";
    if (!std::filesystem::exists(file)) {
      quenmark::demo::DemoStoreOptions options;
      options.orders = 100'000;
      options.order_details = kDetailRows;
      const quenmark::Status status = quenmark::demo::GenerateDemoStore(file.string(), options);
      if (!status.ok()) {
        std::fprintf(stderr, "cannot generate %s: %s\n", file.c_str(),
                     status.Description().c_str());
        std::exit(1);
      }
    }
    return file.string();
  }();
  return path;
}

/// One read-only connection to the store, opened on first use and kept for the whole run.
inline quenmark::Connection& Store() {
  static std::unique_ptr<quenmark::Connection> connection = [] {
    auto opened = quenmark::Connection::Open("sqlite:" + StorePath());
    if (!opened.ok()) {
      std::fprintf(stderr, "cannot open the store: %s\n", opened.Description().c_str());
      std::exit(1);
    }
    return std::move(opened.value());
  }();
  return *connection;
}

/// Order lines with their product names (integers, money, a real and a text column).
inline std::string DetailQuery(int64_t rows) {
  return "SELECT d.OrderID, d.ProductID, p.ProductName, d.UnitPrice, d.Quantity, d.Discount "
         "FROM OrderDetails d JOIN Products p ON p.ProductID = d.ProductID LIMIT " +
         std::to_string(rows);
}

}  // namespace bench
