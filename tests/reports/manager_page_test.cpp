// Report-manager pages run through the host executable: the home page chrome, every Init
// action with and without permission, hostile request values, the password answer, and locale
// files chosen by the browser's language.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "host/temp_site.h"
#include "quenmark/files.h"
#include "quenmark/shared_procedures.h"
#include "reports/report_definition.h"
#include "reports/report_password.h"
#include "reports/reports_file.h"
#include "reports/manager_site.h"
#include "support/demo_site.h"

namespace {

namespace fs = std::filesystem;
using quenmark::test_support::PageResult;
using quenmark::test_support::TempSite;
using ::testing::HasSubstr;
using ::testing::Not;
using namespace quenmark::reports;

const std::string kUrl = "/rm.lua";

std::string MessageBox(const std::string& title, const std::string& text,
                       const std::string& colour) {
  return "<title>" + title +
         "</title><table><tr><td nowrap=\"true\"><div style='background-color:lightyellow;"
         "border:1px solid #cccccc;padding:10px;'><font face=arial size=3 color=" +
         colour + "><b>" + title + "!</b><br>" + text +
         "</font><br><div align=right><a href=\"/rm.lua\" title='Return home'><font "
         "color=blue>Return</a></div></div>";
}

std::string Content(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class ManagerPageTest : public quenmark::test_support::ManagerSite {
 protected:
  // Saves a report whose definition holds `password` as it is (hashed or plain).
  void SaveReport(const std::string& id, const std::string& password = "") {
    ReportDefinition d;
    d.tables = "Products";
    d.rid = id;
    d.rpwd = password;
    ASSERT_TRUE(
        Reports()
            .SaveReport({id, "", quenmark::EncodeBase64(DefinitionText(d)), id + " title", "", ""},
                        {})
            .ok());
  }

  PageResult Run(const std::string& setup, const std::vector<std::string>& args = {},
                 const std::string& after = "manager:DisplayReports()") {
    return RunManager(args, setup, after);
  }
};

TEST_F(ManagerPageTest, HomePageChromeWithBuiltInTexts) {
  const PageResult result = Run("");
  ASSERT_EQ(result.status, 200) << result.body;
  const std::string settings =
      ";var LeftPosition = (screen.width) ? (screen.width-w)/2 : 0;var TopPosition = "
      "(screen.height) ? (screen.height-h)/2 : 0;var settings = "
      "'height='+h+',width='+w+',top='+TopPosition+',left='+LeftPosition+',scrollbars=0,"
      "resizable=1';";
  EXPECT_THAT(result.body,
              HasSubstr("<link type=\"text/css\" href=\"styles.css\" rel=\"stylesheet\"><table "
                        "border=\"0\" width=\"\"><tr><td valign=top><script "
                        "language=\"javascript\">function __doPostBack(args){var "
                        "f=document.QmkTabulon;if(args.substring(0,1)=='_'){args=eval(\"f.btnExp\""
                        "+args.substring(1)+\".value\");};f.__ARGS.value=args;f.submit();}"
                        "function __POPWIN(f){var w=500;var h=300" +
                        settings));
  EXPECT_THAT(result.body,
              HasSubstr("alert('You must select at least 1 table\\nbefore you can build a "
                        "report.');return;}}var win = window.open(\"/rm.lua?args=\"+ "
                        "f.__ARGS.value + \"&t=\" + t + \"&a=p\",\"wizard\",settings);}"
                        "function ___doPostBack(erid){var w=500;var h=300" +
                        settings +
                        "var win = window.open(\"/rm.lua?et=&a=p\",\"wizard\",settings);}"
                        "function ___ESPN(sp){var w=500;var h=300" +
                        settings +
                        "var win = window.open(\"/rm.lua?sp=\"+ sp +\"&a=p\",\"wizard\",settings);}"
                        "</script><form name=\"QmkTabulon\" method=\"post\" action=\"/rm.lua\">"));
  EXPECT_THAT(result.body,
              HasSubstr("<input type=hidden name=__ARGS value=\"\"></form></td><td "
                        "valign=\"top\"><table width=\"100%\" border=0><tr><th width=\"100%\" "
                        "class=header_cell  align=left>Reports</th><td nowrap align=right><a "
                        "class=link_button href=\"/rm.lua?a=n\" title='Add a new group'>New "
                        "Group</a></td></tr><tr><td colspan=2>"));
  EXPECT_THAT(result.body, HasSubstr(">General Reports</a></td></tr>"));
  EXPECT_THAT(result.body, HasSubstr("</tr></table><title>ASP Tabulon</title>"));
  // The first visit created the file with its one group.
  EXPECT_TRUE(quenmark::FileExists(Reports().Path()));

  const PageResult styled =
      Run("manager.Title = 'Sales'\nmanager.StyleSheet = ''\nmanager.Width = '90%'\n"
          "manager.DialogWidth = 640\nmanager.CanAdd = false");
  EXPECT_THAT(styled.body, testing::StartsWith("<table border=\"0\" width=\"90%\"><tr><td "
                                               "valign=\"top\"><table width=\"100%\" border=0>"
                                               "<tr><td colspan=2>"));
  EXPECT_THAT(styled.body, HasSubstr("<title>Sales</title>"));
}

TEST_F(ManagerPageTest, ReportsFileNotFoundWithAndWithoutCanAdd) {
  site_.Write("data/reports.xml", "<tabulon><groups>");
  EXPECT_THAT(Run("").body,
              HasSubstr("<td nowrap valign=top>" +
                        MessageBox("Reports file not found",
                                   "Either the reports file is corrupted or has not been "
                                   "created.<br><a href=\"/rm.lua?a=c\" title='Create Reports "
                                   "file'>Click here to <b>Create a new Reports file</b></a>",
                                   "navy") +
                        "</td></tr></table>"));
  EXPECT_THAT(Run("manager.CanAdd = false").body,
              HasSubstr("<table border=\"0\" width=\"\"><tr><td nowrap valign=top>" +
                        MessageBox("Reports file not found",
                                   "Either the reports file is corrupted or it is "
                                   "missing<br>Please contact your administrator",
                                   "red") +
                        "</td></tr></table>"));
}

// Every action that one request can show, allowed and refused. A refused action changes
// nothing and says what was refused.
TEST_F(ManagerPageTest, InitActionsWithAndWithoutPermission) {
  struct Case {
    const char* name;
    const char* setup;
    const char* query;
    int status;
    std::string fragment;
    bool file_changes;
  };
  const std::string denied = "Access Denied";
  const Case cases[] = {
      {"delete report", "", "a=d&id=r1", 302, "", true},
      {"delete report refused", "manager.CanDelete = false", "a=d&id=r1", 200,
       MessageBox(denied, "You are not allowed to delete reports.", "red"), false},
      {"delete missing report", "", "a=d&id=xyz", 200,
       MessageBox("Report Not Found",
                  "The report (XYZ) you are trying to delete has not been found", "red"),
       false},
      {"delete group", "", "a=d2&gi=hr", 302, "", true},
      {"delete group refused", "manager.IsAdmin = false", "a=d2&gi=hr", 200,
       MessageBox(denied, "You are not allowed to delete report groups.", "red"), false},
      {"save group", "", "a=g&gi=mk&gn=Marketing", 302, "", true},
      {"save group refused", "manager.CanAdd = false", "a=g&gi=mk&gn=Marketing", 200,
       MessageBox(denied, "You are not allowed to add or change report groups.", "red"), false},
      {"save group without title", "", "a=g&gi=mk", 302, "", false},
      {"create file over a readable one", "", "a=c", 302, "", false},
      {"create file refused", "manager.CanAdd = false", "a=c", 200,
       MessageBox(denied, "You are not allowed to create the reports file.", "red"), false},
      {"group form refused", "manager.CanAdd = false", "a=n", 200,
       MessageBox(denied, "You are not allowed to add or change report groups.", "red"), false},
      {"builder refused", "manager.CanAdd = false", "a=p", 200,
       MessageBox(denied, "You are not allowed to build reports.", "red"), false},
      {"builder", "", "a=p", 200,
       MessageBox("Nothing to Build",
                  "Choose the tables or the procedure of the new report on the home page first.",
                  "navy"),
       false},
      {"unknown action", "", "a=x", 200, "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(Reports().Path());
    ASSERT_TRUE(Reports().SaveGroup("HR", "Human Resources").ok());
    SaveReport("R1");
    const std::string before = Content(Reports().Path());
    const PageResult result = Run(c.setup, {"--query", c.query});
    EXPECT_EQ(result.status, c.status) << result.body;
    if (c.status == 302) {
      EXPECT_EQ(result.Header("Location"), kUrl);
    } else {
      EXPECT_EQ(result.body, c.fragment);
    }
    EXPECT_EQ(Content(Reports().Path()) != before, c.file_changes);
  }
  // What the allowed changes did.
  fs::remove(Reports().Path());
  ASSERT_TRUE(Reports().SaveGroup("HR", "Human Resources").ok());
  Run("", {"--query", "a=g&gi=hr&gn=People"});
  EXPECT_THAT(Content(Reports().Path()), HasSubstr("<group id=\"HR\" title=\"People\"/>"));
}

TEST_F(ManagerPageTest, ChangesFromAnotherSiteAreRefused) {
  ASSERT_TRUE(Reports().SaveGroup("HR", "Human Resources").ok());
  const std::string before = Content(Reports().Path());
  const std::string refusal = MessageBox(
      "Access Denied", "This change was sent from another site and has not been made.", "red");
  for (const char* header :
       {"Origin: https://evil.example", "Referer: http://evil.example/page", "Origin: null"}) {
    for (const char* query : {"a=d2&gi=hr", "a=g&gi=x&gn=X", "a=c"}) {
      const PageResult result =
          Run("", {"--query", query, "--header", "Host: reports.example", "--header", header});
      EXPECT_EQ(result.body, refusal) << header << " " << query;
    }
  }
  EXPECT_EQ(Content(Reports().Path()), before);
  // The same site, or no header at all, may change the file.
  EXPECT_EQ(Run("", {"--query", "a=g&gi=x&gn=X", "--header", "Host: reports.example", "--header",
                     "Origin: http://reports.example"})
                .status,
            302);
  EXPECT_EQ(Run("", {"--query", "a=g&gi=y&gn=Y"}).status, 302);
}

TEST_F(ManagerPageTest, GroupFormEscapesHostileValues) {
  const PageResult result = Run(
      "manager.Title = 'T'", {"--query", "a=n&gi=%22%3E%3Cscript%3Ex()%3C/script%3E&gn=a'b\"c<"});
  EXPECT_EQ(result.body,
            "<title>T &raquo; Reports Group Entry</title><form action=\"/rm.lua\" method=get>"
            "<table border=0><tr><td colspan=2><b>Reports Group Entry</b></td></tr>"
            "<tr><td>Group Title <i>(Short Desc.)</i>:</td><td><input name=gn size=30 "
            "value=\"a&#39;b&quot;c&lt;\"></td></tr>"
            "<tr><td>Group ID <i>(e.g. HR, MKTG)</i>:</td><td><input name=gi size=5 "
            "value=\"&quot;&gt;&lt;script&gt;x()&lt;/script&gt;\"></td></tr>"
            "<tr><td align=right colspan=2><input type=button value='Delete Group' "
            "onclick=\"if(confirm('Are you sure you want to\\ndelete this group and all of its "
            "reports?')){this.form.a.value='d2';this.form.submit();}\">&nbsp;<input "
            "type=button value=Cancel onclick='history.go(-1)'>&nbsp;<input type=submit "
            "value=Submit></td></tr></table><input type=hidden name=a value=g><input "
            "type=hidden name=delgrp></form>");
  // A hostile page address is written encoded wherever the page names itself.
  const PageResult odd = Run("", {"--url", "/rm.lua\"><x", "--query", "a=n"});
  EXPECT_THAT(odd.body, HasSubstr("<form action=\"/rm.lua%22%3E%3Cx\" method=get>"));
}

TEST_F(ManagerPageTest, PasswordAnswers) {
  SaveReport("HASHED", HashReportPassword("s3cret"));
  SaveReport("PLAIN", "old");
  struct Case {
    const char* form;
    bool opens;
  };
  const Case cases[] = {
      {"a=q&rid=hashed&pwd=s3cret&rurl2=x&sort=2", true},
      {"a=q&rid=HASHED&pwd=S3CRET&rurl2=x", false},
      {"a=q&rid=HASHED&pwd=pbkdf2&rurl2=x", false},
      {"a=q&rid=plain&pwd=old&rurl2=x", true},
      {"a=q&rid=plain&pwd=&rurl2=x", false},
  };
  for (const Case& c : cases) {
    const PageResult result = Run("", {"--form", c.form});
    if (c.opens) {
      EXPECT_EQ(result.status, 302) << c.form;
      const std::string location = result.Header("Location");
      EXPECT_THAT(location, testing::StartsWith("/rm.lua?erid=")) << c.form;
      EXPECT_THAT(location, Not(HasSubstr("pwd"))) << c.form;
    } else {
      EXPECT_EQ(result.status, 200) << c.form;
      EXPECT_THAT(result.body, HasSubstr("Your password was not correct")) << c.form;
    }
  }
  EXPECT_THAT(Run("", {"--form", "a=q&rid=hashed&pwd=s3cret&rurl2=x&sort=2"}).Header("Location"),
              testing::EndsWith("&rid=hashed&sort=2"));
  // "Try Again" leads back to this page whatever rurl2 says.
  EXPECT_THAT(Run("", {"--form", "a=q&rid=hashed&pwd=no&rurl2=javascript:alert(1)"}).body,
              testing::EndsWith("<p style='padding-left:50px;'><a href=\"/rm.lua?rid=hashed\">"
                                "Try Again</a></p>"));
}

TEST_F(ManagerPageTest, LocaleChosenByTheBrowsersLanguage) {
  fs::create_directories(site_.Path("lang"));
  fs::copy_file(quenmark::test_support::SourcePath("examples/site/.locale/locale_de.xml"),
                site_.Path("lang/locale_de.xml"));
  const std::string read = "Response.Write(manager:ReadLocale('TablesText', 'Tables'))";
  struct Case {
    const char* language;
    const char* text;
  };
  const Case cases[] = {
      {"de-DE,de;q=0.9,en;q=0.5", "Tabellen"}, {"de", "Tabellen"}, {"en-US,en", "Tables"},
      {"../../etc/passwd", "Tables"},          {"", "Tables"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args;
    if (*c.language) args = {"--header", std::string("Accept-Language: ") + c.language};
    EXPECT_EQ(Run("manager.LocaleFolder = 'lang'", args, read).body, c.text) << c.language;
  }
  // Nothing is created for a language a browser asks for.
  EXPECT_FALSE(fs::exists(site_.Path("lang/locale_en.xml")));
  EXPECT_FALSE(fs::exists(site_.Path("lang/locale.xml")));
  // A file the page names explicitly wins over the browser's language.
  EXPECT_EQ(Run("manager.LocaleFolder = 'lang'\nmanager.LocaleFile = 'lang/mine.xml'",
                {"--header", "Accept-Language: de"}, read)
                .body,
            "Tables");
}

TEST_F(ManagerPageTest, NamedLocaleFileIsWrittenWithTheDefaultOnFirstUse) {
  fs::create_directories(site_.Path("lang"));
  const std::string page_read =
      "Response.Write(manager:ReadLocale('TablesText', 'Tables') .. '|' .. "
      "manager:ReadLocale('CloseText', 'x'))";
  EXPECT_EQ(Run("manager.LocaleFile = 'lang/site.xml'", {}, page_read).body, "Tables|Close");
  const std::string written = Content(site_.Path("lang/site.xml"));
  EXPECT_THAT(written, HasSubstr("<!-- wizard button text -->\n  <CloseText>Close</CloseText>"));
  EXPECT_THAT(written, HasSubstr("<FiltersLabelText><![CDATA[<b>Filter(s):</b>]]>"
                                 "</FiltersLabelText>"));
  EXPECT_THAT(written, HasSubstr("<PageCountText>Page @CurrentPage of @NumOfPages "
                                 "(@NumOfRecs recs)</PageCountText>"));
  EXPECT_THAT(written, HasSubstr("<TablesText>Tables</TablesText>"));
  // A corrupt file gives the defaults with a message.
  site_.Write("lang/bad.xml", "<Locale>");
  EXPECT_THAT(Run("manager.LocaleFile = 'lang/bad.xml'", {}, page_read).body,
              HasSubstr("<b>Invalid XML Document!</b><br>Your language file <b>'"));
}

}  // namespace

namespace {

// The demo page over a copy of the demo's reports and locale files.
TEST(ManagerDemoPage, ListsTheSavedReportsInTheBrowsersLanguage) {
  quenmark::test_support::TempSite site;
  const fs::path root = site.Path();
  quenmark::test_support::CopyDemoPages(root, {"reports.lua"});
  for (const char* folder : {".reports", ".locale"}) {
    fs::copy(quenmark::test_support::SourcePath(std::string("examples/site/") + folder),
             root / folder);
  }
  fs::create_directories(root / "data");
  fs::copy_file(quenmark::fixture::FixtureDatabasePath(), root / "data" / "demo.db");
  auto run = [&](const std::string& language) {
    return quenmark::test_support::RunPage((root / "reports.lua").string(),
                                           {"--root", root.string(), "--url", "/reports.lua",
                                            "--header", "Accept-Language: " + language});
  };
  const PageResult english = run("en-GB,en");
  EXPECT_EQ(english.status, 200) << english.body;
  EXPECT_THAT(english.body, HasSubstr("class=header_cell  align=left>Reports</th>"));
  EXPECT_THAT(english.body, HasSubstr("<a href=\"/reports.lua?rid=LOWSTOCK\" "
                                      "class=\"report_title\">Products running low</a>"));
  EXPECT_THAT(english.body, HasSubstr(">Sales</a></td></tr>"));
  EXPECT_THAT(english.body, HasSubstr(">Stock</a></td></tr>"));
  const PageResult german = run("de-AT,de;q=0.8");
  EXPECT_THAT(german.body, HasSubstr("class=header_cell  align=left>Berichte</th>"));
}

}  // namespace

namespace {

class ListingTest : public ManagerPageTest {
 protected:
  void SetUp() override {
    ManagerPageTest::SetUp();
    ASSERT_TRUE(Reports().SaveGroup("HR", "People").ok());
    ASSERT_TRUE(Reports().SaveGroup("CHR", "Charity").ok());
    for (const char* title : {"B", "A"}) {
      ASSERT_TRUE(Reports()
                      .SaveReport({std::string("R") + title, "HR", "", title,
                                   std::string("About ") + title, ""},
                                  {})
                      .ok());
    }
  }
  static bool Lists(const std::string& body, const std::string& title) {
    return body.find(">" + title + "</") != std::string::npos;
  }
};

TEST_F(ListingTest, GroupsChosenByUseReportsAndHiddenReports) {
  struct Case {
    const char* setup;
    bool charity, general, people;
  };
  // A group is listed when UseReports contains its id (so the empty id always), or else hidden
  // when HiddenReports contains it.
  const Case cases[] = {
      {"", true, true, true},
      {"manager.UseReports = 'hr'", false, true, true},
      {"manager.UseReports = 'CHR'", true, true, true},
      {"manager.HiddenReports = 'hr'", true, false, false},
      {"manager.HiddenReports = 'CHR'", false, false, false},
      {"manager.UseReports = 'HR'\nmanager.HiddenReports = 'HR'", false, true, true},
  };
  for (const Case& c : cases) {
    const std::string body = Run(c.setup).body;
    EXPECT_EQ(Lists(body, "Charity"), c.charity) << c.setup;
    EXPECT_EQ(Lists(body, "General Reports"), c.general) << c.setup;
    EXPECT_EQ(Lists(body, "People"), c.people) << c.setup;
  }
  // Sorted by title: Charity, General Reports, People.
  const std::string body = Run("").body;
  EXPECT_LT(body.find(">Charity</"), body.find(">General Reports</"));
  EXPECT_LT(body.find(">General Reports</"), body.find(">People</"));
}

TEST_F(ListingTest, DeleteLinksOrDescriptions) {
  const std::string with_delete = Run("").body;
  EXPECT_THAT(with_delete,
              HasSubstr("<tr><td class=\"group_title\"><a href=\"/rm.lua?a=n&amp;gi=HR&amp;"
                        "gn=People\" title=\"Edit group title\" class=\"group_title\">People</a>"
                        "</td></tr>"));
  EXPECT_THAT(with_delete,
              HasSubstr("<td align=\"center\" valign=\"top\" nowrap rowspan=\"2\">\u00A0\u00A0"
                        "1.</td><td class=\"report_desc\" width=\"100%\"><a "
                        "href=\"/rm.lua?rid=RA\" class=\"report_title\">A</a></td>"));
  EXPECT_THAT(with_delete, HasSubstr("\u00A0\u00A02.</td><td class=\"report_desc\" "
                                     "width=\"100%\"><a href=\"/rm.lua?rid=RB\""));
  EXPECT_THAT(with_delete,
              HasSubstr("<a href=\"#\" title=\"delete this report\" onclick=\"if(confirm('Are you "
                        "sure you want to delete this report?')){window.location='/rm.lua?a=d&amp;"
                        "id=RA'}\"><font class=\"delete\">x</font></a>"));
  EXPECT_THAT(with_delete, Not(HasSubstr("About A")));

  const std::string without = Run("manager.CanDelete = false").body;
  EXPECT_THAT(without, HasSubstr("<tr><td class=\"group_title\">\u00A0<br><span "
                                 "class=\"group_title\">People</span></td></tr>"));
  EXPECT_THAT(without, HasSubstr("<tr><td class=\"report_desc\">About A</td></tr>"));
  EXPECT_THAT(without, Not(HasSubstr("delete this report")));
}

TEST_F(ManagerPageTest, NoReportsAvailableForAnEmptyRoot) {
  site_.Write("data/reports.xml", "<tabulon/>");
  EXPECT_THAT(Run("manager.CanAdd = false").body,
              HasSubstr("<td nowrap valign=top>" +
                        MessageBox("No Reports Available",
                                   "No reports have been created at this time", "navy") +
                        "</td>"));
}

}  // namespace
