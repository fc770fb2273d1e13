// A grid page costs its page, not its result: pages over a generated result of a million rows
// are shown under an address-space cap that holding the result would exceed many times over.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "support/page_runner.h"

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

constexpr size_t kAddressSpaceCap = size_t{144} << 20;  // the host itself needs about 80 MB

struct MemoryCase {
  const char* form;
  const char* shown;
};

class GridMemoryTest : public ::testing::TestWithParam<MemoryCase> {};

TEST_P(GridMemoryTest, PageOverAMillionRowsStaysUnderTheCap) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer reserves more address space than the cap";
#endif
  const fs::path dir =
      fs::temp_directory_path() / ("quenmark_grid_memory_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path page = dir / "million.lua";
  std::ofstream(page)
      << "local grid = Server.CreateObject(\"Quenmark.DataGrid\")\n"
         "grid:CreateConnection(\"Provider=SQLite;Data Source=:memory:\")\n"
         "grid.Command = \"WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c "
         "WHERE x < 1000000) SELECT x AS id, 'row number ' || x AS name, x * 0.5 AS half FROM c\"\n"
         "grid:Display()\n";
  const MemoryCase& c = GetParam();
  std::vector<std::string> args = {"--url", "/million.lua"};
  if (*c.form != '\0') args.insert(args.end(), {"--form", c.form});
  const auto result = quenmark::test_support::RunPage(page.string(), args, kAddressSpaceCap);
  EXPECT_EQ(result.status, 200) << result.error_output;
  EXPECT_THAT(result.body, HasSubstr(c.shown));
  fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, GridMemoryTest,
    ::testing::Values(
        // Counted and paged by the database.
        MemoryCase{"", "<td nowrap width=1>10</td><td class=\"number\">10</td>"},
        MemoryCase{"start=21&pagesize=10&sort=1+desc",
                   "<td nowrap width=1>21</td><td class=\"number\">999980</td>"},
        // Filtered on the streamed rows.
        MemoryCase{"start=11&pagesize=10&rsfilter=id+%3E+5",
                   "<td nowrap width=1>11</td><td class=\"number\">16</td>"}));

}  // namespace
