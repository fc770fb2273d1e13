// Cost of DataGrid::Display over results of 10k to 100k rows, for page 1 and for a middle page
// reached by a postback. The grid reads the whole result, so the time should grow linearly with
// the result size (items/s about flat, a good O(N) fit), while the page it writes (html_bytes)
// stays the same size.

#include <benchmark/benchmark.h>

#include <string>

#include "bench_store.h"
#include "quenmark/data_grid.h"
#include "quenmark/error.h"
#include "quenmark/page_context.h"
#include "quenmark/shared_settings.h"

namespace {

constexpr int kPageSize = 10;

// One request for the grid page: a first visit, or a postback that asks for the page starting
// at `start_row`.
size_t RenderOnce(const std::string& sql, int64_t start_row) {
  quenmark::Request request;
  request.SetServerVariable("URL", "/orders.lua");
  request.SetServerVariable("REQUEST_METHOD", start_row > 1 ? "POST" : "GET");
  if (start_row > 1) {
    request.Form().Add("start", std::to_string(start_row));
    request.Form().Add("pagesize", std::to_string(kPageSize));
  }
  quenmark::Response response;
  quenmark::Server server("/tmp", "/tmp");
  quenmark::Session session;
  quenmark::Application application;
  quenmark::PageContext context{request, response, server, session, application};
  quenmark::PageContextScope scope(context);
  quenmark::ResetThreadSettings();

  quenmark::DataGrid grid;
  grid.Connection(bench::Store());
  grid.Command(sql);
  grid.PageSize(kPageSize);
  try {
    grid.Display();
  } catch (const quenmark::ResponseEnded&) {
  }
  return response.Body().size();
}

void Display(benchmark::State& state, bool middle_page) {
  const int64_t rows = state.range(0);
  const std::string sql = bench::DetailQuery(rows);
  const int64_t start_row = middle_page ? rows / 2 + 1 : 1;
  bench::Store();  // generates or opens the store outside the timing
  size_t html_bytes = 0;
  for (auto _ : state) html_bytes = RenderOnce(sql, start_row);
  state.SetItemsProcessed(state.iterations() * rows);
  state.SetComplexityN(rows);
  state.counters["html_bytes"] = static_cast<double>(html_bytes);
}

void BM_DisplayFirstPage(benchmark::State& state) { Display(state, false); }
void BM_DisplayMiddlePage(benchmark::State& state) { Display(state, true); }

void Sizes(benchmark::internal::Benchmark* b) {
  b->Arg(10'000)->Arg(30'000)->Arg(100'000)->Unit(benchmark::kMillisecond);
  b->Complexity(benchmark::oN);
}

BENCHMARK(BM_DisplayFirstPage)->Apply(Sizes);
BENCHMARK(BM_DisplayMiddlePage)->Apply(Sizes);

}  // namespace
