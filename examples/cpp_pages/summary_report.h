#pragma once
// C++ pages of the demo site, served by `quenmark demo` beside the page scripts.

namespace quenmark {
class WebHost;
struct PageContext;
}  // namespace quenmark

namespace quenmark::demo {

/// URL path of the summary report page.
inline constexpr const char* kSummaryReportPath = "/grid_summaries";

/// Orders with their subtotal and freight: a total and an average column at the right of each
/// row, Average and Total lines below the page, and a summary block of aggregates over every
/// order. These summaries are switched on from C++ (page scripts cannot reach them).
void SummaryReportPage(PageContext& page);

/// Registers the demo site's C++ pages on `host`.
void RegisterDemoPages(WebHost& host);

}  // namespace quenmark::demo
