// Saved reports and catalogue tables on screen, run through the host executable over the
// fixture store: format codes, passwords and their signed proof, open parameters, clock and user
// placeholders, charts, summaries, signed postbacks, and the catalogue check of "t".

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>

#include "host/temp_site.h"
#include "quenmark/database.h"
#include "quenmark/page_context.h"
#include "quenmark/shared_procedures.h"
#include "reports/report_definition.h"
#include "reports/report_parameters.h"
#include "reports/report_password.h"
#include "reports/report_sql.h"
#include "reports/reports_file.h"
#include "reports/manager_site.h"
#include "support/fixture_db.h"

namespace {

namespace fs = std::filesystem;
using quenmark::EncodeBase64;
using quenmark::test_support::PageResult;
using quenmark::test_support::TempSite;
using ::testing::HasSubstr;
using ::testing::Not;
using namespace quenmark::reports;

std::string HiddenValue(const std::string& body, const std::string& name) {
  std::smatch match;
  const std::regex pattern("name=" + name + " value=\"([^\"]*)\"");
  return std::regex_search(body, match, pattern) ? match[1].str() : "";
}

std::string UrlEncoded(const std::string& text) { return quenmark::Server::URLEncode(text); }

class ReportPageTest : public quenmark::test_support::ManagerSite {
 protected:
  void Save(ReportDefinition d, const std::string& query) {
    ASSERT_TRUE(Reports()
                    .SaveReport({d.rid, "", EncodeBase64(DefinitionText(d)), d.rid + " title", "",
                                 EncodeBase64(query)},
                                {})
                    .ok());
  }
  static ReportDefinition Definition(const std::string& id) {
    ReportDefinition d;
    d.rid = id;
    d.rtitle = id + " title";
    return d;
  }

  // `connection`: a Lua expression; the copy of the fixture store by default.
  PageResult Run(const std::vector<std::string>& args, const std::string& setup = "",
                 const std::string& connection = kStore) {
    return RunManager(args, setup, "manager:DisplayReports()", connection);
  }
  PageResult Report(const std::string& query_string, const std::vector<std::string>& more = {}) {
    std::vector<std::string> args = {"--query", query_string};
    args.insert(args.end(), more.begin(), more.end());
    return Run(args);
  }

};

TEST_F(ReportPageTest, FormatCodesOfASavedReport) {
  struct Case {
    const char* code;
    const char* expression;
    const char* cell;
  };
  const Case cases[] = {
      {"D1", "'2004-03-05'", "Friday, March 5<sup>th</sup> 2004"},
      {"D2", "'2004-03-05'", "05-Mar-04"},
      {"D3", "'2004-03-05'", ">3/5/2004<"},
      {"D4", "'2004-03-05'", "5/3/04"},
      {"T1", "'2004-03-05 14:30:00'", ">2:30:00 PM<"},
      {"T2", "'2004-03-05 14:30:00'", ">14:30<"},
      {"N1", "1234.5", "1,234.50"},
      {"N2", "1234.5", "$1,234.50"},
      {"N3", "0.25", "25%"},
      {"N4", "1234.5", "1,235"},
      {"B1", "1", ">Yes<"},
      {"B2", "0", ">False<"},
      {"B3", "1", ">On<"},
      {"S1", "'5551234567'", "(555) 123-4567"},
      {"S2", "'5551234567'", "555-123-4567"},
      {"S3", "'123456789'", "123-45-6789"},
      {"S4", "'http://x.test/'", "<a href=\"http://x.test/\">http://x.test/</a>"},
      {"S5", "'a@x.test'", "<a href=\"mailto:a@x.test\">a@x.test</a>"},
      {"S6", "'p.png'", "<img src=\"p.png\">"},
      {"C1OTHER?code", "'A&B <1>'",
       "<a href=\"/rm.lua?rid=OTHER&rurl1=FMT&code=A%26B+%3C1%3E\" class=\"item_link\">A&amp;B "
       "&lt;1&gt;</a>"},
      {"C2Active?Inactive", "1", ">Active<"},
      {"C3http://h.test/-?Open", "1", "<a href=\"http://h.test/\" target=tabwin>Open</a>"},
      {"C5[b]#TEMP#[/b]", "'x'", "<b>x</b>"},
      {"C6", "0", "<img src=\"images/false.gif\" border=0 align=absmiddle>"},
  };
  ReportDefinition d = Definition("FMT");
  std::string sql = "SELECT ";
  for (size_t i = 0; i < std::size(cases); ++i) {
    const std::string field = "f" + std::to_string(i);
    if (i > 0) {
      sql += ",";
      d.fields += ",";
      d.schema += ",";
    }
    sql += std::string(cases[i].expression) + " AS " + field;
    d.fields += field;
    d.schema += SchemaDescriptor(field, "Cap" + std::to_string(i), cases[i].code, "200");
  }
  // C4 hides a qualified field by its column name.
  sql += ", 'secret' AS hidden_one";
  d.fields += ",t.hidden_one";
  d.schema += "," + SchemaDescriptor("t.hidden_one", "", "C4", "200");
  Save(d, sql);

  const PageResult page = Report("rid=fmt");
  ASSERT_EQ(page.status, 200) << page.body;
  for (const Case& c : cases) EXPECT_THAT(page.body, HasSubstr(c.cell)) << c.code;
  EXPECT_THAT(page.body, HasSubstr(">Cap0</a></th>"));
  EXPECT_THAT(page.body, Not(HasSubstr("secret")));
}

TEST_F(ReportPageTest, ReportPageChromeAndSignedPostbacks) {
  ReportDefinition d = Definition("PLAIN");
  d.pagesize = 2;
  Save(d, "SELECT ProductID, ProductName FROM Products ORDER BY ProductID");
  const PageResult page = Report("rid=plain");
  EXPECT_THAT(page.body,
              HasSubstr("<title>ASP Tabulon</title><table width=\"\"><tr><td><table width='100%' "
                        "cellspacing=0 cellpadding=0><tr><td class='report_title' nowrap "
                        "width='100%' >PLAIN title</td><td width='200' nowrap align=right "
                        "class=footer><a  href=\"javascript:___doPostBack('"));
  EXPECT_THAT(page.body, HasSubstr("class=\"link_button\" title=\"Return home\">Home</a>"
                                   "</td></tr></table><hr size='1' noshade "
                                   "style='page-break-after:always;'/>"));
  EXPECT_THAT(page.body, HasSubstr("Smoked Paprika"));
  EXPECT_THAT(page.body, Not(HasSubstr("Almond Biscotti")));  // page size 2

  const std::string sql = HiddenValue(page.body, "__SQL");
  const std::string args = HiddenValue(page.body, "__ARGS");
  ASSERT_THAT(sql, HasSubstr("."));
  ASSERT_THAT(args, HasSubstr("."));
  // The second page of the same report, through the grid's own postback.
  const std::string next = "__SQL=" + UrlEncoded(sql) + "&__ARGS=" + UrlEncoded(args) +
                           "&pagesize=2&start=3&sort=&__FARGS=";
  const PageResult second = Run({"--form", next});
  EXPECT_THAT(second.body, HasSubstr("Almond Biscotti"));
  EXPECT_THAT(second.body, HasSubstr(">PLAIN title</td>"));

  // Any change to the query or the definition runs nothing.
  const std::string forged_sql = EncodeBase64("SELECT 'PWNED' AS x") + sql.substr(sql.rfind('.'));
  const std::string forged_args =
      EncodeBase64(DefinitionText(Definition("OTHER"))) + args.substr(args.rfind('.'));
  for (const std::string& form :
       {"__SQL=" + UrlEncoded(forged_sql) + "&__ARGS=" + UrlEncoded(args),
        "__SQL=" + UrlEncoded(sql) + "&__ARGS=" + UrlEncoded(forged_args),
        "__SQL=" + UrlEncoded(EncodeBase64("SELECT 'PWNED' AS x")) + "&__ARGS=",
        "__SQL=" + UrlEncoded(forged_sql) + "&__FARGS=NGZtdDox"}) {
    const PageResult refused = Run({"--form", form});
    EXPECT_THAT(refused.body, HasSubstr("<b>Access Denied!</b><br>This report page was changed "
                                        "outside this site, so nothing has been run."))
        << form;
    EXPECT_THAT(refused.body, Not(HasSubstr("PWNED"))) << form;
    EXPECT_THAT(refused.body, Not(HasSubstr("OTHER title"))) << form;
  }
}

TEST_F(ReportPageTest, PageSizeCloseLinkBuildLinkExportAndColumnar) {
  ReportDefinition d = Definition("LONG");
  d.pagesize = 2;
  d.rdesc = std::string(600, 'x');  // the stored arguments run past the Build link's 500
  Save(d, "SELECT ProductID, ProductName FROM Products ORDER BY ProductID");
  const PageResult page = Report("rid=long");
  const std::string build_prefix = "href=\"javascript:___doPostBack('";
  const size_t build = page.body.find(build_prefix);
  ASSERT_NE(build, std::string::npos);
  const size_t argument = build + build_prefix.size();
  EXPECT_EQ(page.body.find('\'', argument) - argument, 500u);

  // The page size the user chose wins over the definition's on postbacks.
  const std::string state = "__SQL=" + UrlEncoded(HiddenValue(page.body, "__SQL")) +
                            "&__ARGS=" + UrlEncoded(HiddenValue(page.body, "__ARGS"));
  const PageResult resized = Run({"--form", state + "&pagesize=5&start=1&sort=&__FARGS="});
  EXPECT_THAT(resized.body, HasSubstr("Rye Crispbread"));  // the fifth product
  EXPECT_THAT(resized.body, HasSubstr("name=pagesize value=\"5\""));

  // The export buttons of a report grid download the report's rows.
  const std::string csv_argument = HiddenValue(page.body, "btnExpcsv");
  ASSERT_THAT(csv_argument, testing::StartsWith("NGZtd"));
  const PageResult csv = Run({"--form", state + "&__FARGS=" + UrlEncoded(csv_argument)});
  EXPECT_EQ(csv.Header("Content-Type"), "text/csv; charset=utf-8");
  EXPECT_THAT(csv.body, testing::StartsWith("\"ProductID\",\"ProductName\"\r\n\"1\","));
  EXPECT_THAT(csv.body, HasSubstr("\"5\",\"Rye Crispbread\"\r\n"));
  EXPECT_THAT(csv.body, Not(HasSubstr("<table")));

  // Opened in its own window, the report offers Close instead of Build and Home, also after
  // a postback.
  const PageResult window = Report("rid=long&closewin=1");
  EXPECT_THAT(window.body, HasSubstr("<input type=hidden name=__cls value=1><a  "
                                     "href=\"javascript:window.close()\""));
  EXPECT_THAT(window.body, Not(HasSubstr("javascript:___doPostBack")));
  EXPECT_THAT(Run({"--form", state + "&__cls=1&__FARGS="}).body,
              HasSubstr("href=\"javascript:window.close()\""));

  ReportDefinition columnar = Definition("CARDS");
  columnar.rfmt = 2;
  Save(columnar, "SELECT ProductID, ProductName FROM Products WHERE ProductID = 2");
  const PageResult cards = Report("rid=cards");
  EXPECT_THAT(cards.body, HasSubstr("Smoked Paprika"));
  EXPECT_THAT(cards.body, Not(HasSubstr("btnExpcsv")));  // columnar grids have no exports
}

TEST_F(ReportPageTest, PasswordFormAndItsSignedProof) {
  ReportDefinition d = Definition("LOCKED");
  d.rpwd = HashReportPassword("s3cret");
  Save(d, "SELECT ProductName FROM Products WHERE ProductID = 2");
  Save(Definition("OPEN"), "SELECT 1 AS one");

  const PageResult form = Report("rid=locked&x=%22%3E%3Cscript%3E");
  EXPECT_THAT(form.body,
              HasSubstr("<blockquote><b>This report requires a password</b><form "
                        "action=\"/rm.lua\" method=post id=form1 name=form1>Password: <input "
                        "type=password name=pwd><input type=hidden name=\"rid\" "
                        "value=\"locked\"><input type=hidden name=\"x\" "
                        "value=\"&quot;&gt;&lt;script&gt;\"><input type=hidden name=a "
                        "value=q><input type=hidden name=\"rurl2\" value=\"/rm.lua?rid=locked&amp;"
                        "x=%22%3E%3Cscript%3E\"><br><input type=submit id=submit1 name=submit1>"
                        "</form></blockquote>"));
  EXPECT_THAT(form.body, Not(HasSubstr("Smoked Paprika")));

  const PageResult answered = Run({"--form", "a=q&rid=locked&pwd=s3cret&rurl2=x"});
  const std::string location = answered.Header("Location");
  ASSERT_THAT(location, testing::StartsWith("/rm.lua?erid="));
  const std::string erid = location.substr(13, location.find('&') - 13);
  EXPECT_THAT(Report("erid=" + erid + "&rid=locked").body, HasSubstr("Smoked Paprika"));

  // Forged, unsigned (the old form) and other reports' proofs show the form again.
  const std::string open_erid = [&] {
    const std::string l = Run({"--form", "a=q&rid=open&pwd=&rurl2=x"}).Header("Location");
    return l.substr(13, l.find('&') - 13);
  }();
  for (const std::string& bad :
       {std::string("abcde") + EncodeBase64("LOCKED"), erid.substr(0, erid.size() - 2) + "xx",
        open_erid, std::string("x")}) {
    const PageResult again = Report("erid=" + bad + "&rid=locked");
    EXPECT_THAT(again.body, HasSubstr("This report requires a password")) << bad;
    EXPECT_THAT(again.body, Not(HasSubstr("Smoked Paprika"))) << bad;
    EXPECT_THAT(again.body, Not(HasSubstr("name=\"erid\""))) << bad;
  }
}

TEST_F(ReportPageTest, OpenParametersAskedFilledOrRefused) {
  Save(Definition("BYID"),
       "SELECT ProductName, '?note' AS note FROM Products WHERE ProductID = ?id");
  const PageResult ask = Report("rid=byid&keep=%3Cb%3E");
  EXPECT_THAT(ask.body,
              HasSubstr("<blockquote><b>Required Parameter(s)</b><form action=\"/rm.lua\" "
                        "method=get id=form1 name=form1><input type=hidden name=\"rid\" "
                        "value=\"byid\"><input type=hidden name=\"keep\" value=\"&lt;b&gt;\">"
                        "note: <input name=\"note\"><br>id: <input name=\"id\"><br><br><input "
                        "type=submit></form></blockquote>"));

  const PageResult filled = Report("rid=byid&id=3&note=O'Brien");
  EXPECT_THAT(filled.body, HasSubstr("Almond Biscotti"));
  EXPECT_THAT(filled.body, HasSubstr("O&#39;Brien"));

  const PageResult refused = Report("rid=byid&id=3%20OR%201%3D1&note=n");
  EXPECT_THAT(refused.body,
              HasSubstr("<div class=errmsg>The value given for <b>id</b> cannot be used: enter a "
                        "number, or a date where the report compares dates.</div>"));
  EXPECT_THAT(refused.body, HasSubstr("id: <input name=\"id\" value=\"3 OR 1=1\"><br>"));
  EXPECT_THAT(refused.body, Not(HasSubstr("Biscotti")));
}

TEST_F(ReportPageTest, ClockAndUserPlaceholders) {
  Save(Definition("WHO"), "SELECT '@DATE' AS today, @USERNAME AS who");
  const PageResult page = Report("rid=who", {"--session", "UserName=O'Neil"});
  const ClockParts now = LocalClockNow();
  const std::string today =
      std::to_string(now.year) + "-" + std::to_string(now.month) + "-" + std::to_string(now.day);
  EXPECT_THAT(page.body, HasSubstr(">" + today + "</td>"));
  EXPECT_THAT(page.body, HasSubstr(">O&#39;Neil</td>"));
}

TEST_F(ReportPageTest, ChartAndSummaries) {
  ReportDefinition chart = Definition("CHART");
  chart.chart = 1;
  chart.graph = 1;
  chart.gtitle = "Stock by product";
  Save(chart, "SELECT ProductName, UnitsInStock FROM Products WHERE ProductID < 4");
  EXPECT_THAT(Report("rid=chart").body, HasSubstr("Stock by product"));

  ReportDefinition sums = Definition("SUMS");
  sums.summary = "Products.UnitsInStock__SUM__Units in stock";
  sums.coltotal = 1;
  sums.fields = "Products.UnitPrice";
  sums.schema = SchemaDescriptor("Products.UnitPrice", "Price", "N2", "6");
  Save(sums, "SELECT ProductName, UnitsInStock, UnitPrice FROM Products WHERE ProductID < 4");
  const PageResult page = Report("rid=sums");
  EXPECT_THAT(page.body, HasSubstr("Units in stock"));
  EXPECT_THAT(page.body, HasSubstr(">Total<"));
  EXPECT_THAT(page.body, HasSubstr("$259.25"));  // 199.50 + 23.25 + 36.50

  ReportDefinition grouped = Definition("GROUPED");
  grouped.grpby = 1;
  grouped.count = 1;
  grouped.avg = "Products.UnitPrice";
  grouped.schema = SchemaDescriptor("Products.UnitPrice", "Price", "N2", "6");
  Save(grouped,
       "SELECT CategoryID, COUNT(*) AS COUNT_1, AVG(UnitPrice) AS AVG_1 FROM Products "
       "GROUP BY CategoryID");
  const PageResult aggregates = Report("rid=grouped");
  EXPECT_THAT(aggregates.body, HasSubstr(">Count</a>"));
  EXPECT_THAT(aggregates.body, HasSubstr(">Price <i style='font-weight:normal;'>(Avg)</i></a>"));
  EXPECT_THAT(aggregates.body,
              HasSubstr("<td class=\"number\">$130.23</td>"));  // AVG_1 takes Price's N2
}

TEST_F(ReportPageTest, TablesOnlyAsTheCatalogueOffersThem) {
  auto table_link = [](const std::string& name) {
    return "t=" + UrlEncoded("12345678" + EncodeBase64(name));
  };
  const PageResult shown = Report(table_link("Shippers"));
  EXPECT_THAT(shown.body, HasSubstr("class='report_title' nowrap width='100%' >Shippers Report"));
  EXPECT_THAT(shown.body, HasSubstr("Swift Parcel"));

  struct Case {
    const char* setup;
    const char* name;
    const char* refusal;
  };
  const Case cases[] = {
      {"manager.HiddenTables = 'Shippers'", "Shippers", "is not offered on this page"},
      {"manager.UseTables = 'Products'", "Shippers", "is not offered on this page"},
      {"", "Shippers; DELETE FROM Shippers", "is not offered on this page"},
      {"manager.TurnOffTableLinks = true", "Shippers", "is not offered on this page"},
      {"manager.CanAdd = false", "Shippers", "You are not allowed to browse"},
  };
  for (const Case& c : cases) {
    const PageResult refused = Run({"--query", table_link(c.name)}, c.setup);
    EXPECT_THAT(refused.body, HasSubstr(c.refusal)) << c.setup;
    EXPECT_THAT(refused.body, Not(HasSubstr("Swift Parcel"))) << c.setup;
  }
}

TEST_F(ReportPageTest, ProcedureReportOnPostgres) {
  const char* url = std::getenv("QUENMARK_TEST_PG");
  if (url == nullptr) GTEST_SKIP() << "QUENMARK_TEST_PG is not set";
  auto server = quenmark::Connection::Open(url);
  ASSERT_TRUE(server.ok()) << server.Description();
  ASSERT_TRUE(quenmark::fixture::LoadFixtureIntoPostgres(**server).ok());
  ReportDefinition d = Definition("ORDERSOF");
  d.isproc = 1;
  d.tables = "customer_orders";
  d.params = "customer_id|PEE01|200";
  d.fields = "orderid,freight";
  d.schema = SchemaDescriptor("orderid", "Order", "", "3") + "," +
             SchemaDescriptor("orderdate", "", "", "135") + "," +
             SchemaDescriptor("freight", "Freight", "N2", "6");
  Save(d, BuildProcedureCall(d, ProcedureCallForm::kStored, quenmark::DbPostgres));
  const PageResult page = Run({"--query", "rid=ordersof"}, "", "\"" + std::string(url) + "\"");
  EXPECT_EQ(page.status, 200) << page.body;
  EXPECT_THAT(page.body, HasSubstr(">Order</a></th>"));
  EXPECT_THAT(page.body, HasSubstr(">Freight</a></th>"));
  // The procedure's field that the report leaves out is hidden.
  EXPECT_THAT(page.body, Not(HasSubstr(">orderdate</a></th>")));
  EXPECT_THAT(page.body,
              HasSubstr("<td class=\"number\">1058</td><td class=\"money\">$470.28</td>"));
}

}  // namespace
