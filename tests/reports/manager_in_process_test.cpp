// Report-manager operations run in this process with a page context of their own: the locale
// texts handed to a real grid, and the builder's save step.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/temp_site.h"
#include "quenmark/data_grid.h"
#include "quenmark/error.h"
#include "quenmark/page_context.h"
#include "quenmark/shared_procedures.h"
#include "quenmark/shared_settings.h"
#include "quenmark/tabulon2.h"
#include "reports/manager_state.h"
#include "reports/report_password.h"
#include "reports/reports_file.h"
#include "support/fixture_db.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using namespace quenmark;
using quenmark::test_support::TempSite;

struct InProcessPage {
  Request request;
  Response response;
  Server server;
  Session session;
  Application application;
  PageContext context{request, response, server, session, application};

  explicit InProcessPage(const std::string& root) : server(root, root) {
    request.SetServerVariable("URL", "/rm.lua");
    request.SetServerVariable("REMOTE_ADDR", "10.1.2.3");
    ResetThreadSettings();
  }
  // Runs `page` with this context bound; returns what it wrote.
  std::string Run(const std::function<void()>& page) {
    PageContextScope scope(context);
    try {
      page();
    } catch (const ResponseEnded&) {
    }
    return response.Body();
  }
};

TEST(ManagerInProcess, LocaleTextsReachTheGridAndTheLinks) {
  TempSite site;
  site.Write("lang/texts.xml",
             "<Locale version=\"1.0\"><!-- x --><CLOSETEXT>Zu</CLOSETEXT><hometitle>Heim"
             "</hometitle><PageSizeText>Zeilen:</PageSizeText><ReloadText> Neu </ReloadText>"
             "<Unknown>?</Unknown></Locale>");
  InProcessPage page(site.Path());
  std::string close_text;
  std::string home_title;
  const std::string body = page.Run([&] {
    Tabulon2 manager;
    manager.LocaleFile("lang/texts.xml");
    DataGrid grid;
    grid.CreateConnection(fixture::FixtureConnectionString());
    grid.Command("SELECT ProductName FROM Products");
    manager.ApplyLocaleToGrid(grid);
    close_text = manager.State().close_text;
    home_title = manager.State().home_title;
    grid.Display();
  });
  EXPECT_EQ(close_text, "Zu");
  EXPECT_EQ(home_title, "Heim");
  EXPECT_THAT(body, HasSubstr("Zeilen:"));
  EXPECT_THAT(body, HasSubstr(">Neu<"));
  EXPECT_THAT(body, Not(HasSubstr("Page Size:")));
}

TEST(ManagerInProcess, SaveStepStoresTheDefinitionWithAHashedPassword) {
  TempSite site;
  InProcessPage page(site.Path());
  reports::ManagerState state;
  state.context = &page.context;
  state.page_url = "/rm.lua";
  state.reports_file = site.Path("reports.xml");
  state.connection_string = fixture::FixtureConnectionString();
  reports::ReportDefinition& d = state.definition;
  d.dbt = DbSqlite;
  d.tables = "Products";
  d.fields = "Products.ProductName";
  d.rid = "NEW1";
  d.rgroup = "sales";
  d.rtitle = "New report";
  d.rdesc = "A _Q_quoted_Q_ note";
  d.rpwd = "open sesame";
  bool saved = false;
  const std::string body = page.Run([&] {
    PageContextScope scope(page.context);
    saved = state.SaveDefinition();
  });
  ASSERT_TRUE(saved) << body;
  EXPECT_EQ(body,
            "<script language=\"javascript\">window.opener.location.replace('/rm.lua?rid=NEW1');"
            "window.close();</script>");
  auto entry = reports::ReportsFile(state.reports_file).FindReport("new1");
  ASSERT_TRUE(entry.ok());
  EXPECT_EQ(entry->group, "SALES");
  EXPECT_EQ(entry->description, "A \"quoted\" note");
  EXPECT_EQ(DecodeBase64(entry->query),
            "SELECT [Products].[ProductName] FROM [Products] ");  // blank-filled
  const std::string text = DecodeBase64(entry->args);
  EXPECT_THAT(text, Not(HasSubstr("open sesame")));
  reports::ReportDefinition read;
  reports::ReadDefinitionText(text, read);
  EXPECT_TRUE(reports::IsHashedReportPassword(read.rpwd));
  EXPECT_TRUE(reports::ReportPasswordMatches(read.rpwd, "open sesame"));
  EXPECT_EQ(read.rdesc, "A \"quoted\" note");

  // Saving again keeps the hash as it is; without CanAdd nothing is saved.
  const std::string hash = read.rpwd;
  state.definition = read;
  page.response.Clear();
  page.Run([&] { EXPECT_TRUE(state.SaveDefinition()); });
  reports::ReadDefinitionText(
      DecodeBase64(reports::ReportsFile(state.reports_file).LoadReportArgs("NEW1")), read);
  EXPECT_EQ(read.rpwd, hash);
  state.definition.rid = "x');alert(1);('";
  page.response.Clear();
  EXPECT_THAT(page.Run([&] { EXPECT_FALSE(state.SaveDefinition()); }),
              HasSubstr("A report id may hold only letters, digits"));
  state.can_add = false;
  page.response.Clear();
  EXPECT_THAT(page.Run([&] { EXPECT_FALSE(state.SaveDefinition()); }),
              HasSubstr("You are not allowed to build reports."));
}

}  // namespace
