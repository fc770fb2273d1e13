// The report builder through the host executable: each page posted with the fields the page
// before it sends, the next page's markup, the edits of posted pages, saving through Finish and
// reading the saved definition back, and the refusals (permission, other sites, report ids,
// names that are not in the catalogue, stored passwords).

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "quenmark/page_context.h"
#include "quenmark/shared_procedures.h"
#include "reports/report_definition.h"
#include "reports/report_password.h"
#include "reports/manager_site.h"
#include "reports/reports_file.h"

namespace {

namespace fs = std::filesystem;
using quenmark::test_support::PageResult;
using quenmark::test_support::TempSite;
using ::testing::HasSubstr;
using ::testing::Not;
using namespace quenmark::reports;

const std::string kSchema =
    "Customers.CustomerID~cCustomerID~f~t200~,Customers.CompanyName~cCompanyName~f~t200~,"
    "Orders.OrderID~cOrderID~f~t131~,Orders.CustomerID~cCustomerID~f~t200~,"
    "Orders.Freight~cFreight~f~t6~,Orders.ShipCountry~cShipCountry~f~t200~";

using Form = std::map<std::string, std::string>;

// The hidden fields a page sends for a report on Customers and Orders, with `changes` applied.
Form PostedPage(int src, int index, const Form& changes = {}) {
  Form form = {{"a", "p"},
               {"src", std::to_string(src)},
               {"index", std::to_string(index)},
               {"tables", "Customers,Orders"},
               {"fields", "Customers.CompanyName,Orders.Freight,Orders.ShipCountry"},
               {"relations", "[Customers].[CustomerID]=[Orders].[CustomerID]"},
               {"schema", kSchema},
               {"dbt", "9"},
               {"rid", "FREIGHT"},
               {"rtitle", "Freight by company"},
               {"pagesize", "10"}};
  for (const auto& [name, value] : changes) form[name] = value;
  return form;
}

class BuilderPageTest : public quenmark::test_support::ManagerSite {
 protected:
  PageResult Run(const std::vector<std::string>& args, const std::string& setup = "") {
    return RunManager(args, setup);
  }

  // Posts a builder page; repeated inputs are given as separate entries of `repeated`.
  PageResult Post(const Form& form, const std::vector<std::pair<std::string, std::string>>&
                                        repeated = {},
                  const std::vector<std::string>& extra = {}, const std::string& setup = "") {
    std::string body;
    auto add = [&](const std::string& name, const std::string& value) {
      if (!body.empty()) body += "&";
      body += quenmark::Server::URLEncode(name) + "=" + quenmark::Server::URLEncode(value);
    };
    for (const auto& [name, value] : form) add(name, value);
    for (const auto& [name, value] : repeated) add(name, value);
    std::vector<std::string> args = {"--form", body};
    args.insert(args.end(), extra.begin(), extra.end());
    return Run(args, setup);
  }

  ReportDefinition Saved(const std::string& id) {
    ReportDefinition d;
    ReadDefinitionText(quenmark::DecodeBase64(Reports().LoadReportArgs(id)), d);
    return d;
  }

};

TEST_F(BuilderPageTest, OpeningWithTickedTablesShowsTheirFieldsAndProposesTheJoin) {
  const PageResult result = Run({"--query", "a=p&t=,Customers,Orders"});
  ASSERT_EQ(result.status, 200);
  const std::string& body = result.body;
  EXPECT_THAT(body, HasSubstr("<form method=\"post\" action=\"/rm.lua\"><table cellpadding=0 "
                              "cellspacing=0 border=0 width=\"450\"><tr><td><div><b>Select the "
                              "fields you wish to display</b><div class=main><table "
                              "width=\"100%\" cellpadding=0 cellspacing=0><tr><td "
                              "colspan=4>&nbsp;<b>Customers</b></td></tr><tr><td><input "
                              "name=fields type=checkbox value=\"Customers.CustomerID\" "
                              "id=chk00><label for=chk00>CustomerID</label></td>"));
  EXPECT_THAT(body, HasSubstr("<input name=relations "
                              "value=\"[Customers].[CustomerID]=[Orders].[CustomerID]\" size=60 "
                              "style=\"width:470px;\">"));
  EXPECT_THAT(body, HasSubstr("<b>Report type:</b>&nbsp;<input checked  type=radio name=rx1 "
                              "onclick=this.form.rtype.value=1 id=rx11>"));
  EXPECT_THAT(body, HasSubstr("Orders.Freight~cFreight~f~t6~"));
  EXPECT_THAT(body, HasSubstr("<input type=hidden name=tables value=\"Customers,Orders\">"));
  EXPECT_THAT(body, HasSubstr("<input type=hidden name=a value=p><input type=hidden name=src "
                              "value=1><input type=hidden name=index><input type=hidden "
                              "name=join value=0><div align=right "
                              "style=\"padding-right:20px\"><input type=hidden name=summary "
                              "value=\"\"><input type=button value=\"Next &raquo;\" "
                              "onclick=\"for(var i=0;i<this.form.fields.length;i++){if(this."
                              "form.fields[i].checked){this.form.index.value=2;this.form."
                              "submit();return;}}alert('You must select the fields to "
                              "display');\">&nbsp;"));
  EXPECT_THAT(body, Not(HasSubstr("&laquo; Back")));
}

TEST_F(BuilderPageTest, OneTableHiddenFieldsAndRefusedOpenings) {
  const PageResult one =
      Run({"--query", "a=p&et=" + quenmark::EncodeBase64("Products")}, "manager.HiddenFields = 'UnitPrice'");
  EXPECT_THAT(one.body, Not(HasSubstr("name=relations value")));
  EXPECT_THAT(one.body, Not(HasSubstr("Report type:")));
  EXPECT_THAT(one.body, HasSubstr("value=\"Products.ProductName\""));
  EXPECT_THAT(one.body, Not(HasSubstr("UnitPrice")));

  struct Case {
    const char* name;
    std::string query;
    std::string setup;
    std::string fragment;
  };
  const std::vector<Case> cases = {
      {"not allowed to build", "a=p&t=Orders", "manager.CanAdd = false",
       "You are not allowed to build reports."},
      {"table not in the catalogue", "a=p&t=Orders,sqlite_master", "",
       "The table or view (sqlite_master) cannot be used in reports."},
      {"hidden table", "a=p&t=Orders", "manager.HiddenTables = 'Orders'",
       "The table or view (Orders) cannot be used in reports."},
      {"table outside the allowed list", "a=p&t=Orders", "manager.UseTables = 'Products'",
       "The table or view (Orders) cannot be used in reports."},
      {"hostile report id", "a=p&erid=" + quenmark::EncodeBase64("x');alert(1)//"), "",
       "A report id may hold only letters, digits, \"_\" and \"-\"."},
      {"unknown report", "a=p&erid=" + quenmark::EncodeBase64("NOPE"), "",
       "The report (NOPE) has not been found"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const PageResult result = Run({"--query", c.query}, c.setup);
    EXPECT_THAT(result.body, HasSubstr(c.fragment));
    EXPECT_THAT(result.body, Not(HasSubstr("name=fields type=checkbox")));
  }
}

TEST_F(BuilderPageTest, ProcedureOpeningStartsWithItsParameters) {
  const PageResult result = Run(
      {"--query", "a=p&sp=" + quenmark::EncodeBase64("SalesBy=from|1/1/1997|7,to||7|+|Sales")});
  EXPECT_THAT(result.body,
              HasSubstr("<div><b>SalesBy</b> - enter the parameter values<div class=main2>"));
  EXPECT_THAT(result.body, HasSubstr("<tr><td class=label>from</td><td nowrap=\"true\"><input "
                                     "size=30 name=\"p_value1\" value=\"1/1/1997\"><input "
                                     "type=hidden name=\"p_name1\" value=\"from\">"));
  EXPECT_THAT(result.body, HasSubstr("<input type=hidden name=rtitle value=\"Sales\">"));
  EXPECT_THAT(result.body, HasSubstr("<input type=hidden name=isproc value=\"1\">"));
  // The first procedure page has no Back and -9 no Finish.
  EXPECT_THAT(result.body, HasSubstr("<input type=hidden name=src value=-9>"));
  EXPECT_THAT(result.body, Not(HasSubstr("Back")));
  EXPECT_THAT(result.body, Not(HasSubstr("value=\"Finish\"")));
}

TEST_F(BuilderPageTest, EachPageLeadsToTheNext) {
  struct Case {
    const char* name;
    Form form;
    std::vector<std::pair<std::string, std::string>> repeated;
    std::vector<std::string> fragments;
    std::vector<std::string> absent;
  };
  const std::vector<Case> cases = {
      {"fields to captions, id generated",
       PostedPage(1, 2, {{"rid", ""}, {"rtitle", ""}}),
       {},
       {"<tr><td nowrap=\"true\">Freight&nbsp;</td><td><input name=captions style='width:100%;' "
        "value=\"Freight\"></td><td><select name=formats "
        "onchange=\"if(this.options[this.selectedIndex].value.substring(0,1)=='C'){"
        "checkCustFormat(this);}\"><option></option><option value=\"N2\">Currency: "
        "$1,000.00</option><option value=\"C3\">Insert Hyperlink</option>",
        "<input type=hidden name=rtitle value=\"Customers Orders Report\">",
        "<input type=button value=\"&laquo; Back\" "
        "onclick=\"this.form.index.value=1;this.form.submit()\">&nbsp;"},
       {"<input type=hidden name=rid value=\"\">"}},
      {"captions to filters",
       PostedPage(2, 3),
       {{"captions", "Company, Inc"}, {"captions", "Freight cost"}, {"captions", ""},
        {"formats", ""}, {"formats", "N2"}, {"formats", ""}},
       {"Customers.CompanyName~cCompany Inc~f~t200~",
        "Orders.Freight~cFreight cost~fN2~t6~",
        "<option value=\"Orders.Freight\">Freight</option>",
        "<select name=search_condition><option value=\"\">&nbsp;</option><option "
        "value=1>contains</option><option value=7>does not contain</option>",
        "<input value=\"Add Filter\" type=button "
        "onclick=\"this.form.index.value=3;this.form.submit();\">&nbsp;"},
       {}},
      {"filter added",
       PostedPage(3, 3, {{"search_field", "Orders.Freight"}, {"search_condition", "4"},
                         {"search_text", "100"}}),
       {},
       {"<br><input type=checkbox name=filters value=\"Orders.Freight__4__100\" id=\"filter1\" "
        "checked><label for=\"filter1\">Orders.Freight <i>is greater than</i> 100</label>"},
       {"Invalid search condition"}},
      {"ordering filter with text refused",
       PostedPage(3, 3, {{"search_field", "Orders.Freight"}, {"search_condition", "3"},
                         {"search_text", "abc"}}),
       {},
       {"<tr><td><font size=1 color=red>Invalid search condition</font><div><b>Add filters"},
       {"name=filters value=\"Orders.Freight"}},
      {"placeholder accepted",
       PostedPage(3, 3, {{"search_field", "Orders.Freight"}, {"search_condition", "3"},
                         {"search_text", "?limit"}}),
       {},
       {"name=filters value=\"Orders.Freight__3__?limit\""},
       {}},
      {"no condition adds nothing",
       PostedPage(3, 4, {{"search_field", "Orders.Freight"}, {"search_text", "5"}}),
       {},
       {"<input type=hidden name=filters value=\"\">",
        "<input type=text size=47 name=rtitle value=\"Freight by company\">"},
       {"Invalid search condition"}},
      {"options page",
       PostedPage(3, 4, {{"rdesc", "Say _Q_hi_Q_ <b>"}, {"rgroup", ""}}),
       {},
       {"<textarea name=rdesc rows=5 cols=46>Say &quot;hi&quot; &lt;b&gt;</textarea>",
        "<input type=text size=12 name=rid value=\"FREIGHT\">",
        "<option selected value=\"\">General Reports</option>",
        "<input checked  type=radio name=rx1 onclick=this.form.rfmt.value=1 id=rx11>"},
       {}},
      {"page size below one",
       PostedPage(3, 4, {{"pagesize", "-5"}}),
       {},
       {"name=pagesize value=\"10\">"},
       {}},
      {"invalid id typed on the options page",
       PostedPage(4, 5, {{"rid", "a b\"<"}}),
       {},
       {"<font size=1 color=red>A report id may hold only letters, digits, &quot;_&quot; and "
        "&quot;-&quot;.</font>",
        "<input type=text size=12 name=rid value=\""},
       {"a b"}},
      {"summary added, graph offered",
       PostedPage(5, 5, {{"summary_field", "Orders.Freight"}, {"summary_type", "SUM"},
                         {"summary_text", "Total"}, {"chart", "1"}}),
       {},
       {"<br><input type=checkbox name=summary value=\"Orders.Freight__SUM__Total\" id=\"s1\" "
        "checked><label for=\"s1\"><b>SUM</b> Orders.Freight</label>",
        "<br><input checked type=checkbox name=chk2 "
        "onclick='if(this.checked){this.form.chart.value=1;}else{this.form.chart.value=0};' "
        "id=chk2><label for=chk2>Add graph</label>",
        "<input value=\"Add Summary\" type=button "
        "onclick=\"this.form.index.value=5;this.form.submit();\">&nbsp;"},
       {"Chart Options"}},
      {"summary without type",
       PostedPage(5, 5, {{"summary_field", "Orders.Freight"}, {"summary", "x__SUM__y"}}),
       {},
       {"name=summary value=\"x__SUM__y\""},
       {"Orders.Freight__"}},
      {"next with a graph shows the chart options",
       PostedPage(5, 6, {{"chart", "1"}}),
       {},
       {"<b>Chart Options</b>",
        "<input checked type=radio name=chk1 onclick='this.form.graph.value=1;' id=chk1>",
        "<input checked type=radio name=rxf onclick=this.form.legend.value='Customers."
        "CompanyName' id=rxf1><label for=rxf1>Customers.CompanyName</label><br>",
        "<input type=hidden name=from_graph value=1>",
        "<input type=hidden name=src value=6>",
        "<input type=button value=\"&laquo; Back\" "
        "onclick=\"this.form.index.value=5;this.form.submit()\">&nbsp;<input type=button "
        "value=\"Next &raquo;\" onclick=\"this.form.index.value=6;this.form.submit()\">&nbsp;"
        "<input value=\"Finish\" type=button onclick=\"this.form.index.value=0;this.form.submit()"
        ";\" id=button1 name=button1>"},
       {"name=gtitle value=\"\"><input type=hidden"}},
      {"chart options to field order",
       PostedPage(6, 6, {{"chart", "1"}, {"from_graph", "1"}, {"graph", "2"}}),
       {},
       {"<select name=f1 size=12><option value=\"Customers.CompanyName\">CompanyName</option>",
        "<input type=hidden name=graph value=2>",
        "<input type=button value=\"&laquo; Back\" onclick=\"this.form.index.value=5;var "
        "s='';for(var i=0;i<this.form.f1.options.length;i++){s += ',' + "
        "this.form.f1.options[i].value;};this.form.fields.value=s.substring(1);this.form.submit()"
        ";\" id=button1 name=button1>&nbsp;"},
       {"Next &raquo;"}},
      {"back from the field order returns to the chart options",
       PostedPage(6, 5, {{"chart", "1"}}),
       {},
       {"<b>Chart Options</b>"},
       {}},
      {"summary report types",
       PostedPage(4, 5, {{"grpby", "1"}, {"sum", "Orders.Freight"}}),
       {},
       {"<tr><td nowrap=\"true\">Freight&nbsp;</td><td><input checked type=checkbox name=sum "
        "value=\"Orders.Freight\"></td><td><input  type=checkbox name=avg "
        "value=\"Orders.Freight\"></td>"},
       {"CompanyName&nbsp;</td><td><input", "Add Summary"}},
      {"hidden values escaped",
       PostedPage(2, 3, {{"rtitle", "a\"><script>x</script>"}}),
       {},
       {"<input type=hidden name=rtitle value=\"a&quot;&gt;&lt;script&gt;x&lt;/script&gt;\">"},
       {"<script>x"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const PageResult result = Post(c.form, c.repeated);
    ASSERT_EQ(result.status, 200);
    for (const std::string& fragment : c.fragments) EXPECT_THAT(result.body, HasSubstr(fragment));
    for (const std::string& fragment : c.absent) {
      EXPECT_THAT(result.body, Not(HasSubstr(fragment)));
    }
  }
}

TEST_F(BuilderPageTest, FinishSavesTheDefinitionThatReadsBack) {
  const PageResult result = Post(
      PostedPage(6, 0, {{"fields", "Orders.Freight, Customers.CompanyName"},
                        {"filters", "Orders.Freight__4__100"},
                        {"summary", "Orders.Freight__SUM__Total"},
                        {"schema", "Customers.CompanyName~cCompany~f~t200~,Orders.Freight~cCost"
                                   "~fN2~t6~,Customers.CustomerID~cCustomerID~f~t200~,Orders."
                                   "CustomerID~cCustomerID~f~t200~"},
                        {"relations", "Customers.CustomerID = [Orders].[CustomerID]"},
                        {"rdesc", "The _Q_big_Q_ ones"},
                        {"rgroup", "SALES"},
                        {"rpwd", "s3cret"},
                        {"pagesize", "25"},
                        {"rfmt", "1"},
                        {"sonly", "1"},
                        {"join", "2"},
                        {"distinct", "1"},
                        {"chart", "1"},
                        {"graph", "2"},
                        {"conly", "1"},
                        {"legend", "Customers.CompanyName"},
                        {"gtitle", "Freight"},
                        {"xlabel", "Company"},
                        {"ylabel", "Cost"}}));
  ASSERT_EQ(result.status, 200);
  EXPECT_THAT(result.body,
              HasSubstr("<script language=\"javascript\">window.opener.location.replace('/rm.lua?"
                        "rid=FREIGHT');window.close();</script></td></tr></table></form>"));
  // The relations normalised, the description's quotes restored, the password hashed.
  ReportDefinition d = Saved("FREIGHT");
  EXPECT_TRUE(IsHashedReportPassword(d.rpwd));
  EXPECT_TRUE(ReportPasswordMatches(d.rpwd, "s3cret"));
  d.rpwd = "";
  EXPECT_EQ(DefinitionText(d),
            ";tables:Customers,Orders;fields:Orders.Freight,Customers.CompanyName;filters:Orders."
            "Freight__4__100;relations:[Customers].[CustomerID]=[Orders].[CustomerID];schema:"
            "Customers.CompanyName~cCompany~f~t200~,Orders.Freight~cCost~fN2~t6~,Customers."
            "CustomerID~cCustomerID~f~t200~,Orders.CustomerID~cCustomerID~f~t200~;dbt:9;rtitle:"
            "Freight by company;rdesc:The \"big\" ones;rgroup:SALES;rid:FREIGHT;summary:Orders."
            "Freight__SUM__Total;rpwd:;pagesize:25;rfmt:1;sonly:1;grpby:0;join:2;distinct:1;"
            "rtype:0;mtbl:;coltotal:0;colavg:0;rowtotal:0;rowavg:0;isproc:0;params:;chart:1;"
            "graph:2;conly:1;legend:Customers.CompanyName;gtitle:Freight;xlabel:Company;ylabel:"
            "Cost;count:0;sum:;avg:;min:;max:;stdev:;var:;");
  auto entry = Reports().FindReport("FREIGHT");
  ASSERT_TRUE(entry.ok());
  EXPECT_EQ(entry->title, "Freight by company");
  EXPECT_EQ(quenmark::DecodeBase64(entry->query),
            "SELECT  DISTINCT [Orders].[Freight],[Customers].[CompanyName] FROM "
            "[Customers],[Orders] WHERE ([Orders].[Freight]>100) AND "
            "[Customers].[CustomerID]=[Orders].[CustomerID]  ")
      << "the query of the saved report";

  // Editing: the stored password never reaches a page and is kept unless replaced or removed.
  const PageResult edit = Run({"--query", "a=p&erid=" + quenmark::EncodeBase64("FREIGHT")});
  EXPECT_THAT(edit.body, HasSubstr("<input type=hidden name=rpwd value=\"\">"));
  EXPECT_THAT(edit.body, HasSubstr("<input type=hidden name=orid value=\"FREIGHT\">"));
  EXPECT_THAT(edit.body, Not(HasSubstr("pbkdf2")));
  EXPECT_THAT(edit.body, HasSubstr("value=\"Orders.Freight\" id=chk17 checked >"));
  const PageResult options = Post(PostedPage(3, 4, {{"orid", "FREIGHT"}}));
  EXPECT_THAT(options.body, HasSubstr("<input type=password size=10 name=rpwd value=\"\">&nbsp;"
                                      "<input type=checkbox name=rpwd_remove value=1 id=rpwdx>"
                                      "<label for=rpwdx>Remove password</label>"));
  EXPECT_THAT(options.body, Not(HasSubstr("pbkdf2")));

  const std::string hash = Saved("FREIGHT").rpwd;
  Post(PostedPage(4, 0, {{"orid", "FREIGHT"}, {"rtitle", "Kept"}}));
  EXPECT_EQ(Saved("FREIGHT").rtitle, "Kept");
  EXPECT_EQ(Saved("FREIGHT").rpwd, hash);
  Post(PostedPage(4, 0, {{"orid", "FREIGHT"}, {"rid", "FREIGHT2"}}));
  EXPECT_EQ(Saved("FREIGHT2").rpwd, hash) << "a copy keeps the password of its original";
  Post(PostedPage(4, 0, {{"orid", "FREIGHT"}, {"rpwd_remove", "1"}}));
  EXPECT_EQ(Saved("FREIGHT").rpwd, "");
}

TEST_F(BuilderPageTest, FinishRefusesWhatCannotBeSaved) {
  struct Case {
    const char* name;
    Form changes;
    std::vector<std::string> extra;
    std::string setup;
    std::string fragment;
  };
  const std::vector<Case> cases = {
      {"not allowed", {}, {}, "manager.CanAdd = false", "You are not allowed to build reports."},
      {"another site",
       {},
       {"--header", "Host: reports.example", "--header", "Origin: https://evil.example"},
       "",
       "This change was sent from another site and has not been made."},
      {"unknown field",
       {{"fields", "Orders.Freight,Orders.[x]"}},
       {},
       "",
       "The field Orders.[x] is not a field of the report&#39;s tables."},
      {"table outside the catalogue",
       {{"tables", "Orders,sqlite_master"}},
       {},
       "",
       "The table or view sqlite_master cannot be used in reports."},
      {"join condition with SQL",
       {{"relations", "1=1) OR (1=1"}},
       {},
       "",
       "The join condition may only compare fields of the report&#39;s tables"},
      {"filter on an unknown field",
       {{"filters", "x)--__2__1"}},
       {},
       "",
       "The filter x)--__2__1 cannot be used."},
      {"unknown aggregate",
       {{"summary", "Orders.Freight__DROP__x"}},
       {},
       "",
       "The summary Orders.Freight__DROP__x cannot be used."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const PageResult result = Post(PostedPage(4, 0, c.changes), {}, c.extra, c.setup);
    EXPECT_THAT(result.body, HasSubstr(c.fragment));
    EXPECT_FALSE(Reports().FindReport("FREIGHT").ok());
  }
  // A filter value is stored as typed and quoted in the query.
  Post(PostedPage(4, 0, {{"filters", "Orders.ShipCountry__2__O'Neil"}}));
  EXPECT_EQ(Saved("FREIGHT").filters, "Orders.ShipCountry__2__O'Neil");
  EXPECT_THAT(quenmark::DecodeBase64(Reports().FindReport("FREIGHT")->query),
              HasSubstr("[Orders].[ShipCountry]='O''Neil'"));
}

}  // namespace

namespace {

// A procedure report on PostgreSQL, reached directly and through ODBC (whose procedures are run
// as {call name(?)}): parameter values, the procedure's fields, captions, options, then Finish.
class BuilderProcedure : public ::testing::TestWithParam<const char*> {};

TEST_P(BuilderProcedure, FunctionPagesAndFinish) {
  const char* pg = std::getenv("QUENMARK_TEST_PG");
  const char* env = std::getenv(GetParam());
  if (pg == nullptr || env == nullptr) GTEST_SKIP() << GetParam() << " is not set";
  auto server = quenmark::Connection::Open(pg);
  ASSERT_TRUE(server.ok()) << server.Description();
  ASSERT_TRUE(quenmark::fixture::LoadFixtureIntoPostgres(**server).ok());
  const std::string url = env;
  TempSite site;
  fs::create_directories(site.Path("data"));
  const std::string page = site.Write(
      "rm.lua", "local manager = Server.CreateObject(\"Quenmark.Tabulon2\")\n"
                "manager.ReportsFile = \"data/reports.xml\"\n"
                "manager:Init(\"" + url + "\")\nmanager:DisplayReports()\n");
  auto post = [&](const std::string& body) {
    return quenmark::test_support::RunPage(
        page, {"--root", site.Path(), "--url", "/rm.lua", "--form", body});
  };
  const std::string common = "a=p&isproc=1&tables=customer_orders&rid=CUSTORD&pagesize=10";
  const PageResult fields = post(common +
                                 "&src=-9&index=-8&params=customer_id||200&p_count=1&p_name1="
                                 "customer_id&p_value1=ALFKI&p_type1=200");
  EXPECT_THAT(fields.body, HasSubstr("<div><b>Select the fields you want to display</b><div "
                                     "class=main2><table border=0 cellpadding=0 "
                                     "cellspacing=0><tr><td nowrap=\"true\"><label "
                                     "for=fx0>orderid</label></td><td nowrap=\"true\" "
                                     "width=\"10\"><input type=checkbox name=\"fields\" "
                                     "value=\"orderid\" id=fx0>&nbsp;&nbsp;</td></tr>"));
  EXPECT_THAT(fields.body, HasSubstr("<input type=hidden name=params value=\"customer_id|ALFKI|200\">"));
  EXPECT_THAT(fields.body, HasSubstr("freight~cfreight~f~t6~"));
  EXPECT_THAT(fields.body, HasSubstr("<input type=button value=\"&laquo; Back\" "
                                     "onclick=\"this.form.index.value=-9;this.form.submit()\">"));

  const std::string schema =
      "orderid~corderid~f~t131~,orderdate~corderdate~f~t7~,freight~cfreight~f~t6~";
  const PageResult captions = post(common + "&src=-8&index=-7&fields=orderid,freight&params="
                                            "customer_id|ALFKI|200&schema=" + schema);
  EXPECT_THAT(captions.body, HasSubstr("<tr><td nowrap=\"true\">freight&nbsp;</td>"));
  const PageResult options =
      post(common + "&src=-7&index=-6&fields=orderid,freight&params=customer_id|ALFKI|200&schema=" +
           schema + "&captions=Order&captions=Freight&formats=&formats=N2");
  EXPECT_THAT(options.body, Not(HasSubstr("Summary report")));
  EXPECT_THAT(options.body, Not(HasSubstr("Next &raquo;")));
  const PageResult finish =
      post(common + "&src=-6&index=0&fields=orderid,freight&params=customer_id|ALFKI|200&schema=" +
           schema + "&rtitle=Orders of a customer");
  EXPECT_THAT(finish.body, HasSubstr("window.opener.location.replace('/rm.lua?rid=CUSTORD')"));
  ReportDefinition d;
  ReadDefinitionText(
      quenmark::DecodeBase64(ReportsFile(site.Path("data/reports.xml")).LoadReportArgs("CUSTORD")),
      d);
  EXPECT_EQ(d.isproc, 1);
  EXPECT_EQ(d.tables, "customer_orders");
  EXPECT_EQ(d.params, "customer_id|ALFKI|200");
  EXPECT_EQ(d.rtitle, "Orders of a customer");

  // A name that is not one of the database's procedures is refused.
  const PageResult refused = post(
      "a=p&isproc=1&tables=pg_sleep&rid=X&src=-9&index=-8&params=&p_count=0");
  EXPECT_THAT(refused.body, HasSubstr("The procedure pg_sleep cannot be used in reports."));
}

INSTANTIATE_TEST_SUITE_P(Drivers, BuilderProcedure,
                         ::testing::Values("QUENMARK_TEST_PG", "QUENMARK_TEST_ODBC_PG"),
                         [](const auto& info) {
                           return std::string(info.param) == "QUENMARK_TEST_PG" ? "PostgreSQL"
                                                                                : "OdbcPostgreSQL";
                         });

}  // namespace
