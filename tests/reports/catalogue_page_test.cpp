// The catalogue block of the home page on the fixture store (SQLite, and PostgreSQL when the
// test databases are up): sections, rows, links, check boxes and the page's switches.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>

#include "host/temp_site.h"
#include "quenmark/database.h"
#include "quenmark/page_context.h"
#include "quenmark/shared_procedures.h"
#include "support/fixture_db.h"
#include "support/page_runner.h"

namespace {

using quenmark::EncodeBase64;
using quenmark::Server;
using quenmark::test_support::TempSite;
using ::testing::HasSubstr;
using ::testing::Not;

// The catalogue block of the home page, with the random part of each table link replaced by
// "RANDOM" so that pages compare exactly.
std::string Catalogue(const std::string& connection, const std::string& setup) {
  TempSite site;
  std::string source = connection;
  if (connection == "store.db") {
    // SQLite files are opened only inside the web root.
    std::filesystem::copy_file(quenmark::fixture::FixtureDatabasePath(), site.Path("store.db"));
    source = "Provider=SQLite;Data Source=" + site.Path("store.db");
  }
  const std::string page =
      site.Write("rm.lua",
                 "local manager = Server.CreateObject(\"Quenmark.Tabulon2\")\n"
                 "manager.ReportsFile = \"reports.xml\"\n" +
                     setup + "\nmanager:Init(\"" + source + "\")\nmanager:DisplayReports()\n");
  auto result = quenmark::test_support::RunPage(page, {"--root", site.Path(), "--url", "/rm.lua"});
  EXPECT_EQ(result.status, 200) << result.body << result.error_output;
  const size_t start = result.body.find("<table border=\"0\" cellpadding=\"3\">");
  const size_t end = result.body.find("<input type=hidden name=__ARGS");
  if (start == std::string::npos || end == std::string::npos) return result.body;
  const std::string block = result.body.substr(start, end - start);
  // "?t=" + 8 random characters (URL-encoded) + the encoded name.
  static const std::regex random_part("\\?t=([A-Za-z0-9]|%2B|%2F){8}");
  return std::regex_replace(block, random_part, "?t=RANDOM");
}

std::string Heading(const std::string& text) {
  return "<td valign=\"top\"><table width=\"100%\"><tr><th class=\"header_cell\"  "
         "align=\"left\">" +
         text + "</th></tr>";
}

std::string Row(const std::string& name, const std::string& caption, bool link, bool box) {
  std::string out = "<tr><td>";
  out += link ? "<a class=link_button href=\" /rm.lua?t=RANDOM" +
                    Server::URLEncode(EncodeBase64(name)) + "\">" + caption + "</a>"
              : "<span class=link_button_text>" + caption + "</span>";
  out += "</td>";
  if (box) out += "<td><input type=checkbox name=check1 value=\"" + name + "\"></td>";
  return out + "</tr>";
}

std::string Table(const std::string& name) { return Row(name, name, true, true); }

const std::string kEnd =
    "</tr></table><div align='right'><input type='button' value='Build Report' "
    "onclick=\"__POPWIN(this.form)\"/><input type='hidden' name='tables'/></div>";

// A copy of the fixture store inside the page's web root.
std::string Sqlite() { return "store.db"; }

TEST(CataloguePage, SqliteTablesAndViews) {
  const std::string block = Catalogue(Sqlite(), "");
  EXPECT_THAT(block,
              testing::StartsWith("<table border=\"0\" cellpadding=\"3\"><tr>" + Heading("Tables") +
                                  Table("Categories") + Table("Customers")));
  EXPECT_THAT(block, HasSubstr(Table("Suppliers") + "</table></td>" + Heading("Views") +
                               Table("OrderSubtotals") + Table("ProductList") +
                               Table("SalesByCategory") + "</table></td>" + kEnd));
  EXPECT_THAT(block, Not(HasSubstr("Procedures")));
  EXPECT_THAT(block, Not(HasSubstr("sqlite_")));
}

TEST(CataloguePage, SwitchesOfThePage) {
  struct Case {
    const char* name;
    const char* setup;
    std::vector<std::string> present;
    std::vector<std::string> absent;
  };
  const Case cases[] = {
      {"allowed tables with captions",
       "manager.UseTables = 'Orders=Sales orders,Items'",
       {Heading("Allowed Tables") + Row("Orders", "Sales orders", true, true) + Table("Items") +
        "</table></td>" + kEnd},
       {Heading("Tables"), Heading("Views")}},
      {"links off except one",
       "manager.TurnOffTableLinks = true\nmanager.TurnOnTableLinksFor = 'orders'",
       {Table("Orders"), Row("Products", "Products", false, true)},
       {Table("Products")}},
      {"links off for two",
       "manager.TurnOffTableLinksFor = 'Products , Customers'",
       {Row("Products", "Products", false, true), Row("Customers", "Customers", false, true),
        Table("Orders")},
       {}},
      {"hidden tables ignore case",
       "manager.HiddenTables = 'orders,productlist'\nmanager.UseTables = 'Orders,Items'",
       {Heading("Allowed Tables") + Table("Items") + "</table>"},
       {"Orders"}},
      {"hide tables and views",
       "manager.HideTables = true\nmanager.HideViews = true",
       {"<table border=\"0\" cellpadding=\"3\"><tr>" + kEnd},
       {}},
      {"allowed procedures",
       "manager.UseProcedures = \"usp_top,@n=10,@since=#2004-01-01#|plain=Plain list|"
       "named,@who='Ann'\"",
       {Heading("Allowed Procedures") +
            "<tr><td><a class=link_button href=\" javascript:___ESPN('" +
            EncodeBase64("usp_top=n|10|131,since|2004-01-01|7") + "')\">usp_top</a></td></tr>" +
            "<tr><td><a class=link_button href=\" /rm.lua?t=RANDOM" +
            Server::URLEncode(EncodeBase64("-plain")) + "\">Plain list</a></td></tr>" +
            "<tr><td><a class=link_button href=\" javascript:___ESPN('" +
            EncodeBase64("named=who|Ann|200") + "')\">named</a></td></tr></table></td>",
        Heading("Tables")},
       {}},
      {"names escaped",
       "manager.UseTables = 'a\"b=<i>x</i>'",
       {"&lt;i&gt;x&lt;/i&gt;</a></td><td><input type=checkbox name=check1 "
        "value=\"a&quot;b\">"},
       {"<i>x</i>"}},
  };
  for (const Case& c : cases) {
    const std::string block = Catalogue(Sqlite(), c.setup);
    for (const std::string& fragment : c.present) EXPECT_THAT(block, HasSubstr(fragment)) << c.name;
    for (const std::string& fragment : c.absent) {
      EXPECT_THAT(block, Not(HasSubstr(fragment))) << c.name;
    }
  }
}

TEST(CataloguePage, NoCatalogueWithoutCanAdd) {
  EXPECT_EQ(Catalogue(Sqlite(), "manager.CanAdd = false").find("cellpadding=\"3\""),
            std::string::npos);
}

TEST(CataloguePage, PostgresTablesViewsAndFunctions) {
  const char* url = std::getenv("QUENMARK_TEST_PG");
  if (url == nullptr) GTEST_SKIP() << "QUENMARK_TEST_PG is not set";
  auto server = quenmark::Connection::Open(url);
  ASSERT_TRUE(server.ok()) << server.Description();
  ASSERT_TRUE(quenmark::fixture::LoadFixtureIntoPostgres(**server).ok());
  const std::string block = Catalogue(url, "");
  EXPECT_THAT(block, HasSubstr(Heading("Tables") + Table("categories")));
  EXPECT_THAT(block, HasSubstr(Heading("Views") + Table("ordersubtotals")));
  EXPECT_THAT(block, HasSubstr(Heading("Procedures")));
  EXPECT_THAT(block, HasSubstr("<tr><td><a class=link_button href=\" javascript:___ESPN('" +
                               EncodeBase64("customer_orders=customer_id||200") +
                               "')\">customer_orders</a></td></tr>"));
  EXPECT_THAT(block, HasSubstr("<tr><td><a class=link_button href=\" javascript:___ESPN('" +
                               EncodeBase64("sales_by_year=from_date||7,to_date||7") +
                               "')\">sales_by_year</a></td></tr>"));
}

}  // namespace
