// Cost of the data path over SQLite: executing a query and walking its rows, GetRows, client-side
// Sort and Filter, and the MaxRecords stop. Each benchmark runs at 100k and 1M order-detail rows;
// items/s (rows/s) should stay about the same across the two sizes (linear scaling), except for
// sorting, which may grow by the log factor.
//
// The demo store with a million order-detail rows is generated once and kept in the build folder.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "bench_store.h"
#include "quenmark/database.h"

namespace {

using bench::DetailQuery;
using bench::kDetailRows;
using bench::Store;

std::unique_ptr<quenmark::Recordset> Open(benchmark::State& state, const std::string& sql,
                                          int64_t max_records = 0) {
  auto opened = Store().Execute(sql, max_records);
  if (!opened.ok()) {
    state.SkipWithError(opened.Description().c_str());
    return nullptr;
  }
  return std::move(opened.value());
}

void BM_ExecuteAndWalk(benchmark::State& state) {
  const int64_t rows = state.range(0);
  const std::string sql = DetailQuery(rows);
  Store();  // generates or opens the store outside the timing
  for (auto _ : state) {
    auto rs = Open(state, sql);
    if (!rs) return;
    int64_t seen = 0;
    for (; !rs->Eof(); rs->MoveNext()) {
      benchmark::DoNotOptimize(&rs->Value(2));
      ++seen;
    }
    if (seen != rows) state.SkipWithError("wrong row count");
  }
  state.SetItemsProcessed(state.iterations() * rows);
}

void BM_GetRows(benchmark::State& state) {
  const int64_t rows = state.range(0);
  const std::string sql = DetailQuery(rows);
  Store();  // generates or opens the store outside the timing
  for (auto _ : state) {
    auto rs = Open(state, sql);
    if (!rs) return;
    auto columns = rs->GetRows();
    if (columns.empty() || static_cast<int64_t>(columns[0].size()) != rows) {
      state.SkipWithError("wrong row count");
    }
    benchmark::DoNotOptimize(columns.data());
  }
  state.SetItemsProcessed(state.iterations() * rows);
}

// Sorting or filtering an already fetched recordset: the fetch is paused out of the timing.
void SortOrFilter(benchmark::State& state, bool sort, const char* expression) {
  const int64_t rows = state.range(0);
  const std::string sql = DetailQuery(rows);
  Store();  // generates or opens the store outside the timing
  for (auto _ : state) {
    state.PauseTiming();
    auto rs = Open(state, sql);
    if (!rs) return;
    (void)rs->Filter("");  // fetches every row
    state.ResumeTiming();
    const quenmark::Status status = sort ? rs->Sort(expression) : rs->Filter(expression);
    if (!status.ok()) {
      state.SkipWithError(status.Description().c_str());
      return;
    }
    benchmark::DoNotOptimize(rs->Eof());
    state.PauseTiming();
    rs.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * rows);
}

void BM_SortOneKey(benchmark::State& state) { SortOrFilter(state, true, "Quantity desc"); }
void BM_SortTwoKeys(benchmark::State& state) {
  SortOrFilter(state, true, "ProductName, UnitPrice desc");
}
void BM_SortTextKey(benchmark::State& state) { SortOrFilter(state, true, "ProductName"); }
void BM_FilterNumeric(benchmark::State& state) {
  SortOrFilter(state, false, "[Quantity] > 60 AND Discount < 0.1");
}
void BM_FilterLike(benchmark::State& state) {
  SortOrFilter(state, false, "ProductName LIKE '%che%'");
}

// A limited read must cost only the rows it takes, whatever the size of the result.
void BM_ExecuteMaxRecords100(benchmark::State& state) {
  const int64_t rows = state.range(0);
  const std::string sql = DetailQuery(rows);
  Store();  // generates or opens the store outside the timing
  for (auto _ : state) {
    auto rs = Open(state, sql, 100);
    if (!rs) return;
    auto columns = rs->GetRows();
    if (columns.empty() || columns[0].size() != 100) state.SkipWithError("wrong row count");
    benchmark::DoNotOptimize(columns.data());
  }
  state.SetItemsProcessed(state.iterations() * 100);
}

void Sizes(benchmark::internal::Benchmark* b) {
  b->Arg(100'000)->Arg(kDetailRows)->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_ExecuteAndWalk)->Apply(Sizes);
BENCHMARK(BM_GetRows)->Apply(Sizes);
BENCHMARK(BM_SortOneKey)->Apply(Sizes);
BENCHMARK(BM_SortTwoKeys)->Apply(Sizes);
BENCHMARK(BM_SortTextKey)->Apply(Sizes);
BENCHMARK(BM_FilterNumeric)->Apply(Sizes);
BENCHMARK(BM_FilterLike)->Apply(Sizes);
BENCHMARK(BM_ExecuteMaxRecords100)->Apply(Sizes)->Unit(benchmark::kMicrosecond);

}  // namespace
