// Exports through real pages: a grid page run with `quenmark run`, posted back with the argument
// of an export button, over the fixture store.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "quenmark/shared_procedures.h"
#include "support/demo_site.h"
#include "support/page_runner.h"

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;
using quenmark::test_support::PageResult;

const fs::path& SiteRoot() {
  static const fs::path root = quenmark::test_support::MakeDemoSite("export_pages");
  return root;
}

std::string WritePage(const std::string& name, const std::string& script) {
  const fs::path path = SiteRoot() / (name + ".lua");
  std::ofstream(path) << script;
  return path.string();
}

// The usual page: HTML first, the connection, then the statement, then Display.
std::string GridPage(const std::string& name, const std::string& command,
                     const std::string& setup = "") {
  return quenmark::test_support::WriteGridPage(SiteRoot(), name, command, setup,
                                               "Response.Write(\"<html><body>page text\")\n",
                                               "Response.Write(\"</body></html>\")\n");
}

// Posts the export argument of `format`, as the button's hidden field carries it.
PageResult Export(const std::string& page, const std::string& format,
                  const std::string& headers = "ID,Name,Unit Price", const std::string& title = "Sales") {
  const std::string argument = "4fmt:" + format + ";sql:;cn:;hdr:" + headers + ";ttl:" + title + ";";
  return quenmark::test_support::RunPage(
      page, {"--root", SiteRoot().string(), "--url", "/grid.lua", "--form",
             quenmark::test_support::PostBackField(argument)});
}

constexpr const char* kThreeProducts =
    "SELECT ProductID, ProductName, UnitPrice FROM Products WHERE ProductID <= 3";

struct FormatCase {
  std::string format;
  std::string content_type;
  std::string disposition;  // "" when none is sent
  std::vector<std::string> fragments;
};

class ExportFormatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(ExportFormatTest, SendsHeadersAndBody) {
  const FormatCase& c = GetParam();
  const PageResult result = Export(GridPage("formats", kThreeProducts), c.format);
  ASSERT_EQ(result.status, 200) << result.body << result.error_output;
  EXPECT_EQ(result.Header("Content-Type"), c.content_type);
  EXPECT_EQ(result.Header("Content-Disposition"), c.disposition);
  EXPECT_THAT(result.body, Not(HasSubstr("page text")));
  for (const std::string& fragment : c.fragments) EXPECT_THAT(result.body, HasSubstr(fragment));
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ExportFormatTest,
    ::testing::Values(
        FormatCase{"csv", "text/csv; charset=utf-8", "attachment; filename=Report.csv",
                   {"\"ProductID\",\"ProductName\",\"UnitPrice\"\r\n\"1\",\"Highland Black Tea\","
                    "\"199.5\"\r\n\"2\",\"Smoked Paprika\",\"23.25\"\r\n\"3\",\"Almond Biscotti\","
                    "\"36.5\"\r\n"}},
        FormatCase{"text", "text/txt; charset=utf-8", "attachment; filename=Report.txt",
                   {"ProductID\tProductName\tUnitPrice\t\r\n1\tHighland Black Tea\t199.5\r\n"}},
        FormatCase{"excel", "Application/vnd.excel; charset=utf-8",
                   "attachment; filename=Report.xls",
                   {"<x:Name>Sales</x:Name>",
                    "<body><table><tr><td>ProductID</td><td>ProductName</td><td>UnitPrice</td>"
                    "<td></td></tr><tr><td>1</td><td>Highland Black Tea</td><td>199.5</td></tr>",
                    "<td>36.5</td></tr><tr><td></td></tr></table></body></html>"}},
        FormatCase{"doc", "application/msword", "attachment; filename=Report.doc",
                   {"{\\info{\\title Sales }", "\\b\\f1\\fs20 ProductID\\cell ProductName\\cell "
                    "UnitPrice\\cell }", "\\clftsWidth3\\cellx2733",
                    "\\fs20 1\\cell Highland Black Tea\\cell 199.5\\cell}"}},
        FormatCase{"xml", "text/xml; charset=ISO-8859-1", "attachment; filename=Report.xml",
                   {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<dataset><datacolumns>"
                    "<datacolumn name=\"ID\" type=\"3\" size=\"4\"/>",
                    "<datarow><datacolumn name=\"ID\">1</datacolumn><datacolumn name=\"Name\">"
                    "Highland Black Tea</datacolumn><datacolumn name=\"Unit Price\">199.5"
                    "</datacolumn></datarow>"}},
        FormatCase{"print", "text/html; charset=ISO-8859-1", "",
                   {"<title>Sales</title>", "<th>#</th>\n<th size=\"4\" type=\"3\">ID</th>",
                    "<tr>\n<td>3</td>\n<td>3</td>\n<td>Almond Biscotti</td>\n<td>36.5</td>\n"
                    "</tr>\n</table>\n<br style=\"page-break-after:always;\">"}}),
    [](const auto& info) { return info.param.format; });

// Whole documents compared with the files under golden/ (QUENMARK_UPDATE_GOLDEN=1 rewrites them).
class GoldenExportTest : public ::testing::TestWithParam<std::pair<std::string, std::string>> {};

TEST_P(GoldenExportTest, MatchesTheGoldenFile) {
  const auto& [format, file] = GetParam();
  const std::string page =
      GridPage("golden", "SELECT ProductID, ProductName, UnitPrice, Discontinued FROM Products "
                         "WHERE ProductID <= 12", "grid.PageSize = 5\n");
  const PageResult result = Export(page, format, "ID,Name,Price,Gone", "Price list");
  ASSERT_EQ(result.status, 200) << result.error_output;
  const std::string path =
      quenmark::test_support::SourcePath("tests/export/golden/" + file);
  if (std::getenv("QUENMARK_UPDATE_GOLDEN") != nullptr) {
    std::ofstream(path, std::ios::binary) << result.body;
  }
  std::ifstream in(path, std::ios::binary);
  std::stringstream golden;
  golden << in.rdbuf();
  EXPECT_EQ(result.body, golden.str());
}

INSTANTIATE_TEST_SUITE_P(Documents, GoldenExportTest,
                         ::testing::Values(std::make_pair("doc", "products.rtf"),
                                           std::make_pair("print", "products_print.html")),
                         [](const auto& info) { return info.param.first; });

// Quotes, separators, markup, braces, backslashes, markers, line breaks, non-ASCII and a null.
constexpr const char* kHostile =
    "SELECT 'say \"hi\", ok; <b>&amp;</b>' AS Quote, '{\\par} C:\\x' AS Rtf, "
    "'Zoë €5 😀' AS Text, 'a__COLb__ROWc__NULL' AS Marker, 'tab' || char(9) || 'line' || "
    "char(13) || char(10) || 'end' AS Breaks, NULL AS Missing";

struct HostileCase {
  std::string format;
  std::vector<std::string> fragments;
};

class HostileValuesTest : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileValuesTest, ComeOutIntact) {
  const HostileCase& c = GetParam();
  const PageResult result =
      Export(GridPage("hostile", kHostile), c.format, "Quote,Rtf,Text,Marker,Breaks,Missing", "T <&> {x}");
  ASSERT_EQ(result.status, 200) << result.body << result.error_output;
  for (const std::string& fragment : c.fragments) EXPECT_THAT(result.body, HasSubstr(fragment));
}

INSTANTIATE_TEST_SUITE_P(
    Formats, HostileValuesTest,
    ::testing::Values(
        HostileCase{"csv",
                    {"\"say \"\"hi\"\", ok; <b>&amp;</b>\",\"{\\par} C:\\x\",\"Zoë €5 😀\","
                     "\"a__COLb__ROWc__NULL\",\"tab\tline\r\nend\",\" \"\r\n"}},
        HostileCase{"text",
                    {"say \"hi\", ok; <b>&amp;</b>\t{\\par} C:\\x\tZoë €5 😀\t"
                     "a__COLb__ROWc__NULL\ttab line  end\t \r\n"}},
        HostileCase{"excel",
                    {"<x:Name>T &lt;&amp;&gt; {x}</x:Name>",
                     "<td>say &quot;hi&quot;, ok; &lt;b&gt;&amp;amp;&lt;/b&gt;</td><td>{\\par} "
                     "C:\\x</td><td>Zoë €5 😀</td><td>a__COLb__ROWc__NULL</td><td>tab\tline\r\n"
                     "end</td><td>&nbsp;</td></tr>"}},
        HostileCase{"doc",
                    {"{\\info{\\title T <&> \\{x\\} }", "say \"hi\", ok; <b>&amp;</b>\\cell "
                     "\\{\\\\par\\} C:\\\\x\\cell Zo\\u235? \\u8364?5 \\u-10179?\\u-8704?\\cell "
                     "a__COLb__ROWc__NULL\\cell tab\\tab line\\line end\\cell  \\cell}"}},
        HostileCase{"xml",
                    {"<datacolumn name=\"Quote\">say \"hi\", ok; &lt;b&gt;&amp;amp;&lt;/b&gt;"
                     "</datacolumn><datacolumn name=\"Rtf\">{\\par} C:\\x</datacolumn>"
                     "<datacolumn name=\"Text\">Zo\xEB &#8364;5 &#128512;</datacolumn>"
                     "<datacolumn name=\"Marker\">a__COLb__ROWc__NULL</datacolumn>",
                     "<datacolumn name=\"Missing\">\xA0</datacolumn>"}},
        HostileCase{"print",
                    {"<title>T &lt;&amp;&gt; {x}</title>",
                     "<td>say \"hi\", ok; &lt;b&gt;&amp;amp;&lt;/b&gt;</td>\n<td>{\\par} C:\\x"
                     "</td>\n<td>Zo\xEB &#8364;5 &#128512;</td>\n<td>a__COLb__ROWc__NULL</td>\n"
                     "<td>tab line end</td>"}}),
    [](const auto& info) { return info.param.format; });

TEST(ExportButtonsTest, EachButtonCarriesItsArgument) {
  const std::string page = GridPage(
      "buttons", kThreeProducts,
      "grid.Title = \"Stock\"\ngrid:ColumnCaption(\"UnitPrice\", \"Unit Price ($)\")\n");
  const PageResult result = quenmark::test_support::RunPage(
      page, {"--root", SiteRoot().string(), "--url", "/grid.lua"});
  ASSERT_EQ(result.status, 200) << result.error_output;
  const std::pair<const char*, const char*> buttons[] = {
      {"doc", "Doc"}, {"excel", "Excel"}, {"csv", "CSV"}, {"xml", "XML"}, {"text", "Text"}};
  size_t last = 0;
  for (const auto& [format, caption] : buttons) {
    const std::string field = std::string("<input type=hidden name=btnExp") + format + " value=\"";
    const size_t at = result.body.find(field);
    ASSERT_NE(at, std::string::npos) << format;
    EXPECT_GT(at, last) << "buttons in the order doc, excel, csv, xml, text";
    last = at;
    const size_t start = at + field.size();
    const std::string encoded = result.body.substr(start, result.body.find('"', start) - start);
    std::string decoded = quenmark::DecodeBase64(encoded);
    while (!decoded.empty() && decoded.back() == ' ') decoded.pop_back();
    EXPECT_EQ(decoded, std::string("4fmt:") + format +
                           ";sql:;cn:;hdr:ProductID,ProductName,Unit Price ;ttl:Stock;");
    EXPECT_THAT(result.body,
                HasSubstr(std::string("<a  href=\"javascript:__doPostBack('_") + format +
                          "')\">" + caption + "</a>&nbsp;"));
  }
}

TEST(ExportPostbackTest, ConnectionPropertyRendersTheGridInstead) {
  const std::string page = WritePage(
      "connection", "local cn = Server.CreateObject(\"Quenmark.Connection\")\n"
                    "cn:Open(\"Provider=SQLite;Data Source=\" .. Server.MapPath(\"data/demo.db\"))\n"
                    "local grid = Server.CreateObject(\"Quenmark.DataGrid\")\n"
                    "grid.Connection = cn\n"
                    "grid.Command = [[" + std::string(kThreeProducts) + "]]\n"
                    "grid:Display()\n");
  const PageResult result = Export(page, "csv");
  EXPECT_EQ(result.Header("Content-Type"), "text/html; charset=utf-8");
  EXPECT_FALSE(result.HasHeader("Content-Disposition"));
  EXPECT_THAT(result.body, HasSubstr("<td class=\"text\">Highland Black Tea</td>"));
}

TEST(ExportPostbackTest, CommandSetBeforeCreateConnectionExportsAtOnce) {
  const std::string page = WritePage(
      "early", "local grid = Server.CreateObject(\"Quenmark.DataGrid\")\n"
               "grid.Command = [[" + std::string(kThreeProducts) + "]]\n"
               "grid.ExportFileName = \"Stock/../list\"\n"
               "grid:CreateConnection(\"Provider=SQLite;Data Source=\" .. "
               "Server.MapPath(\"data/demo.db\"))\n"
               "Response.Write(\"never sent\")\n");
  const PageResult result = Export(page, "csv");
  EXPECT_EQ(result.Header("Content-Disposition"), "attachment; filename=Stock..list.csv");
  EXPECT_THAT(result.body, StartsWith("\"ProductID\""));
  EXPECT_THAT(result.body, Not(HasSubstr("never sent")));
}

TEST(ExportPostbackTest, MissingCommandGivesTheFatalMessage) {
  const std::string page = WritePage(
      "nocommand", "local grid = Server.CreateObject(\"Quenmark.DataGrid\")\n"
                   "Response.Write(\"page text\")\n"
                   "grid:CreateConnection(\"Provider=SQLite;Data Source=\" .. "
                   "Server.MapPath(\"data/demo.db\"))\n"
                   "grid:Display()\n");
  const PageResult result = Export(page, "xml");
  EXPECT_EQ(result.body, "<div><font color=red face=arial>Your SQL Command must be set before "
                         "calling .Display() method</font></div>");
}

// Blocks of PageSize + 1 rows, numbered across the tables; a page size of 0 prints one table.
TEST(ExportPostbackTest, PrintPagesNumberRowsAcrossTables) {
  const struct {
    int page_size;
    int tables;
    std::vector<std::string> fragments;
  } cases[] = {{0, 1, {"<td>25</td>\n<td>25</td>"}},
               {10, 3, {"<tr>\n<td>11</td>\n<td>11</td>\n</tr>",
                        "<td>25</td>\n<td>25</td>\n</tr>\n</table>"}}};
  for (const auto& c : cases) {
    const std::string size = std::to_string(c.page_size);
    const std::string page = GridPage("print_" + size,
                                      "SELECT ProductID FROM Products WHERE ProductID <= 25",
                                      "grid.PageSize = " + size + "\n");
    const std::string body = Export(page, "print", "ID").body;
    int tables = 0;
    for (size_t at = body.find("<table"); at != std::string::npos; at = body.find("<table", at + 1)) {
      ++tables;
    }
    EXPECT_EQ(tables, c.tables) << size;
    for (const std::string& fragment : c.fragments) EXPECT_THAT(body, HasSubstr(fragment)) << size;
  }
}

}  // namespace
