// Rendering cost of SimpleGraph as the data grows: 12 columns and 250 to 1,000 rows, plain and
// stacked. The time per byte of HTML should stay flat (linear scaling).

#include <benchmark/benchmark.h>

#include <string>

#include "quenmark/simple_graph.h"

namespace {

constexpr int kColumns = 12;

void AddRows(quenmark::SimpleGraph& graph, int rows) {
  std::string row;
  for (int r = 0; r < rows; ++r) {
    row.clear();
    for (int c = 0; c < kColumns; ++c) {
      if (c > 0) row += ',';
      row += std::to_string((r * 37 + c * 11) % 500 - 40);
    }
    graph.AddRowData("Series " + std::to_string(r), quenmark::Variant(row));
  }
}

void RenderGraph(benchmark::State& state, bool stacked) {
  const int rows = static_cast<int>(state.range(0));
  size_t html_bytes = 0;
  for (auto _ : state) {
    quenmark::SimpleGraph graph;
    graph.Stacked(stacked);
    graph.XScaleValues(quenmark::Variant("Jan,Feb,Mar,Apr,May,Jun,Jul,Aug,Sep,Oct,Nov,Dec"));
    AddRows(graph, rows);
    const std::string html = graph.GetGraph();
    html_bytes = html.size();
    benchmark::DoNotOptimize(html.data());
  }
  state.SetComplexityN(rows);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(html_bytes));
  state.counters["html_bytes"] = static_cast<double>(html_bytes);
}

void BM_PlainGraph(benchmark::State& state) { RenderGraph(state, false); }
void BM_StackedGraph(benchmark::State& state) { RenderGraph(state, true); }

BENCHMARK(BM_PlainGraph)->Arg(250)->Arg(500)->Arg(1000)->Complexity(benchmark::oN);
BENCHMARK(BM_StackedGraph)->Arg(250)->Arg(500)->Arg(1000)->Complexity(benchmark::oN);

}  // namespace
