#pragma once
// A web root for report-manager pages: a copy of the fixture store as store.db, data/ for
// reports.xml, and the manager page rm.lua written and run through the host executable.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "host/temp_site.h"
#include "reports/reports_file.h"
#include "support/fixture_db.h"
#include "support/page_runner.h"

namespace quenmark::test_support {

class ManagerSite : public ::testing::Test {
 protected:
  static constexpr const char* kStore =
      "\"Provider=SQLite;Data Source=\" .. Server.MapPath(\"store.db\")";

  void SetUp() override {
    std::filesystem::copy_file(fixture::FixtureDatabasePath(), site_.Path("store.db"));
    std::filesystem::create_directories(site_.Path("data"));
  }

  reports::ReportsFile Reports() const { return reports::ReportsFile(site_.Path("data/reports.xml")); }

  /// Runs rm.lua at "/rm.lua" with `args`: `setup` runs before Init on `connection` (a Lua
  /// expression), `after` after it.
  PageResult RunManager(const std::vector<std::string>& args, const std::string& setup = "",
                        const std::string& after = "manager:DisplayReports()",
                        const std::string& connection = kStore) {
    const std::string page = site_.Write(
        "rm.lua", "local manager = Server.CreateObject(\"Quenmark.Tabulon2\")\n"
                  "manager.ReportsFile = \"data/reports.xml\"\n" +
                      setup + "\nmanager:Init(" + connection + ")\n" + after + "\n");
    std::vector<std::string> all = {"--root", site_.Path(), "--url", "/rm.lua"};
    all.insert(all.end(), args.begin(), args.end());
    PageResult result = RunPage(page, all);
    EXPECT_EQ(result.exit_code, 0) << result.error_output;
    return result;
  }

  TempSite site_;
};

}  // namespace quenmark::test_support
