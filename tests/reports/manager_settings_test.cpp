// Tabulon2's settings and defaults, the shared settings it writes, report password hashes and
// the cross-site test.

#include <gtest/gtest.h>

#include "quenmark/dispatch.h"
#include "quenmark/shared_procedures.h"
#include "quenmark/shared_settings.h"
#include "quenmark/tabulon2.h"
#include "reports/manager_state.h"
#include "reports/report_password.h"
#include "reports/request_origin.h"

namespace {

using quenmark::Tabulon2;
using quenmark::ThreadSettings;
using namespace quenmark::reports;

TEST(ManagerSettings, DefaultsAndNormalisedLists) {
  quenmark::ResetThreadSettings();
  Tabulon2 manager;
  const ManagerState& s = manager.State();
  EXPECT_EQ(manager.Version(), "2.0.465");
  EXPECT_TRUE(s.can_edit && s.can_delete && s.can_add);
  // The default texts and sizes show in the home page (manager_page_test).
  EXPECT_EQ(s.grid_classes[7], "item_link");
  EXPECT_EQ(ThreadSettings().images_url, "images/");
  EXPECT_EQ(ThreadSettings().database_kind_override, -1);

  manager.HiddenTables(" orders , items");
  manager.HiddenFields("a,b");
  manager.TurnOffTableLinksFor("x ,y");
  EXPECT_EQ(s.hidden_tables, ",orders,items,");
  EXPECT_EQ(s.hidden_fields, ",a,b,");
  EXPECT_EQ(s.turn_off_table_links_for, ",x,y,");

  manager.UseTables("");
  EXPECT_FALSE(s.hide_tables);
  manager.UseTables("Orders=Sales orders,Items");
  EXPECT_TRUE(s.hide_tables);
  manager.UseProcedures("usp_top,@n=10");
  EXPECT_TRUE(s.hide_procedures && s.use_procedures_set);

  manager.IsAdmin(false);
  EXPECT_FALSE(s.can_edit || s.can_delete || s.can_add);
  manager.DialogHeight(200);
  EXPECT_TRUE(s.dialog_size_set);
}

TEST(ManagerSettings, SharedSettingsItWrites) {
  quenmark::ResetThreadSettings();
  Tabulon2 manager;
  struct Case {
    const char* value;
    int16_t kind;
  };
  for (const Case& c :
       {Case{"mysql", quenmark::DbMySql}, Case{"2", quenmark::DbSqlServer},
        Case{"postgres", quenmark::DbPostgres}, Case{"sqlite", quenmark::DbSqlite}}) {
    manager.DatabaseType(c.value);
    EXPECT_EQ(ThreadSettings().database_kind_override, c.kind) << c.value;
  }
  manager.ImagesUrl("img");
  EXPECT_EQ(ThreadSettings().images_url, "img/");
  manager.ImagesUrl("/static/");
  EXPECT_EQ(ThreadSettings().images_url, "/static/");
  manager.MaxRecords(250);
  manager.UsePopupFilters(true);
  manager.DefaultDateFormat("%d/%m/%Y");
  EXPECT_EQ(ThreadSettings().max_records, 250);
  EXPECT_TRUE(ThreadSettings().popup_filters);
  EXPECT_EQ(ThreadSettings().default_date_format, "%d/%m/%Y");

  // Through the dispatch table, as page scripts reach it.
  quenmark::SetProperty(manager, "imagesurl", quenmark::Variant("pics"));
  EXPECT_EQ(ThreadSettings().images_url, "pics/");
  EXPECT_EQ(quenmark::GetProperty(manager, "VERSION").ToText(), "2.0.465");
  EXPECT_THROW(quenmark::GetProperty(manager, "Title"), quenmark::Error);  // write-only
  // A new manager resets the images URL and the override.
  Tabulon2 second;
  EXPECT_EQ(ThreadSettings().images_url, "images/");
  EXPECT_EQ(ThreadSettings().database_kind_override, -1);
}

TEST(ReportPassword, HashesAndPlainPasswords) {
  const std::string hash = HashReportPassword("pa;ss,w|rd");
  EXPECT_TRUE(IsHashedReportPassword(hash));
  EXPECT_EQ(hash.find_first_of(";,|"), std::string::npos);
  EXPECT_NE(hash, HashReportPassword("pa;ss,w|rd"));  // salted
  EXPECT_TRUE(ReportPasswordMatches(hash, "pa;ss,w|rd"));
  EXPECT_FALSE(ReportPasswordMatches(hash, "pa;ss,w|rD"));
  EXPECT_FALSE(ReportPasswordMatches(hash, hash));
  EXPECT_TRUE(ReportPasswordMatches("plain", "plain"));
  EXPECT_FALSE(ReportPasswordMatches("plain", "Plain"));
  EXPECT_FALSE(ReportPasswordMatches("", ""));
  EXPECT_FALSE(ReportPasswordMatches("pbkdf2$sha256$x$zz$00", "x"));
  EXPECT_EQ(HashReportPassword(""), "");
}

TEST(RequestOrigin, CrossSiteRequests) {
  struct Case {
    const char* host;
    const char* origin;
    const char* referer;
    bool cross_site;
  };
  const Case cases[] = {
      {"site.example", "", "", false},
      {"site.example", "http://site.example", "", false},
      {"site.example:8080", "http://site.example:8080", "", false},
      {"site.example", "https://SITE.example:443", "", false},
      {"site.example", "", "http://site.example/reports.lua?a=n", false},
      {"site.example", "http://evil.example", "", true},
      {"site.example", "", "http://evil.example/site.example", true},
      {"site.example", "http://site.example", "http://evil.example/", true},
      {"site.example", "http://site.example.evil.example", "", true},
      {"site.example", "http://site.example@evil.example", "", true},
      {"site.example", "null", "", true},
      {"site.example", "site.example", "", true},
  };
  for (const Case& c : cases) {
    quenmark::Request request;
    request.SetServerVariable("HTTP_HOST", c.host);
    request.SetServerVariable("HTTP_ORIGIN", c.origin);
    request.SetServerVariable("HTTP_REFERER", c.referer);
    EXPECT_EQ(IsCrossSiteRequest(request), c.cross_site) << c.origin << " " << c.referer;
  }
}

}  // namespace
