// Column formats, escaping and image cells on real pages run through the host executable over
// the fixture store.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "support/demo_site.h"
#include "support/page_runner.h"

namespace {

namespace fs = std::filesystem;
using quenmark::test_support::PageResult;
using ::testing::HasSubstr;
using ::testing::Not;

const fs::path& SiteRoot() {
  static const fs::path root = quenmark::test_support::MakeDemoSite(
      "format_pages",
      {"grid_formats.lua", "grid_link_master.lua", "grid_images.lua", "grid_columnar.lua"});
  return root;
}

std::string GridPage(const std::string& name, const std::string& command,
                     const std::string& setup = "") {
  return quenmark::test_support::WriteGridPage(SiteRoot(), name, command, setup);
}

PageResult RunGridPage(const std::string& page, const std::string& query = "",
                       const std::string& form = "") {
  std::vector<std::string> args = {"--root", SiteRoot().string(), "--url", "/grid.lua"};
  if (!query.empty()) args.insert(args.end(), {"--query", query});
  if (!form.empty()) args.insert(args.end(), {"--form", form});
  return quenmark::test_support::RunPage(page, args);
}

std::string Body(const std::string& page) {
  const PageResult result = RunGridPage(page);
  EXPECT_EQ(result.status, 200) << result.body << result.error_output;
  return result.body;
}

struct FormatCase {
  std::string name;
  std::string command;
  std::string setup;
  std::vector<std::string> expected;
  std::vector<std::string> absent = {};
};

std::ostream& operator<<(std::ostream& out, const FormatCase& c) { return out << c.name; }

class FormatPageTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatPageTest, WritesCells) {
  const FormatCase& c = GetParam();
  const std::string body = Body(GridPage("format_" + c.name, c.command, c.setup));
  for (const std::string& fragment : c.expected) EXPECT_THAT(body, HasSubstr(fragment));
  for (const std::string& fragment : c.absent) EXPECT_THAT(body, Not(HasSubstr(fragment)));
}

const std::string kProducts =
    "SELECT ProductID, ProductName, UnitPrice, UnitsInStock, Discontinued FROM Products "
    "WHERE ProductID IN (1, 7)";
const std::string kEmployee =
    "SELECT EmployeeID, LastName, FirstName, Title, BirthDate, HomePhone, Salary "
    "FROM Employees WHERE EmployeeID = 1";
const std::string kLong =
    "Frida joined the company as Managing Director and looks after customers in Belgium and "
    "the Netherlands since the spring";  // 119 characters, no "." after the 60th

INSTANTIATE_TEST_SUITE_P(
    Methods, FormatPageTest,
    ::testing::Values(
        FormatCase{"number",
                   kProducts,
                   "grid:NumberColumn('Products.UnitPrice', 2)\n"
                   "grid:PercentColumn('products.unitsinstock', 1)",
                   {"<td class=\"money\">199.50</td><td class=\"number\">9,900.0%</td>"}},
        FormatCase{"bare_name_applies_when_no_qualified_entry",
                   kProducts,
                   "grid:NumberColumn('UnitPrice', 2)",
                   {"<td class=\"money\">199.50</td>"}},
        FormatCase{"qualified_entry_wins_over_bare_name",
                   kProducts,
                   "grid:NumberColumn('UnitPrice', 0)\n"
                   "grid:NumberColumn('Products.UnitPrice', 2)",
                   {"<td class=\"money\">199.50</td>"}},
        FormatCase{"currency_and_boolean",
                   kProducts,
                   "grid:CurrencyColumn('Products.UnitPrice', 0)\n"
                   "grid:BoolColumn('Products.Discontinued', 'Yes', '<i>No</i>')",
                   {"<td class=\"money\">$200</td><td class=\"number\">99</td>"
                    "<td class=\"boolean\"><i>No</i></td>",
                    "<td class=\"money\">$256</td><td class=\"number\">56</td>"
                    "<td class=\"boolean\">Yes</td>"}},
        FormatCase{"dates",
                   kEmployee,
                   "grid:DateColumn('Employees.BirthDate', '%A, %B %d%O %Y')",
                   {"<td class=\"date\">Wednesday, August 27<sup>th</sup> 1969</td>"}},
        FormatCase{"named_date",
                   kEmployee,
                   "grid:DateColumn('Employees.BirthDate', '1')",
                   {"<td class=\"date\">Wednesday, August 27, 1969</td>"}},
        // The page's locale formats numbers, currency, percentages and date names.
        FormatCase{"page_locale",
                   kProducts,
                   "Response.Locale = 'de-DE'\n"
                   "grid:CurrencyColumn('Products.UnitPrice', 2)\n"
                   "grid:PercentColumn('Products.UnitsInStock', 1)",
                   {"<td class=\"money\">199,50\xC2\xA0\xE2\x82\xAC</td><td "
                    "class=\"number\">9.900,0\xC2\xA0%</td>"}},
        FormatCase{"page_locale_dates",
                   kEmployee,
                   "Response.Locale = 'fr-FR'\n"
                   "grid:DateColumn('Employees.BirthDate', '%A %d %B %Y')\n"
                   "grid:NumberColumn('Employees.Salary', 2)",
                   {"<td class=\"date\">mercredi 27 ao\xC3\xBBt 1969</td>"}},
        // The first of date, number, template, boolean and regular expression decides.
        FormatCase{"date_before_number",
                   kEmployee,
                   "grid:CurrencyColumn('Employees.BirthDate', 2)\n"
                   "grid:DateColumn('Employees.BirthDate', '2')",
                   {"<td class=\"date\">8/27/1969</td>"}},
        FormatCase{"number_before_template",
                   kEmployee,
                   "grid:ReplaceColumn('Employees.Salary', 'pay #TEMP#')\n"
                   "grid:CurrencyColumn('Employees.Salary', 0)",
                   {"<td class=\"money\">$91,975</td>"}},
        FormatCase{"template_before_boolean",
                   kProducts,
                   "grid:BoolColumn('Products.Discontinued', 'Yes', 'No')\n"
                   "grid:ReplaceColumn('Products.Discontinued', '[#TEMP#]')",
                   {"<td class=\"boolean\">[False]</td>"}},
        FormatCase{"boolean_before_regex",
                   kProducts,
                   "grid:RegExColumn('Products.Discontinued', '0', 'zero')\n"
                   "grid:BoolColumn('Products.Discontinued', 'Yes', 'No')",
                   {"<td class=\"boolean\">No</td>"}},
        FormatCase{"first_entry_wins",
                   kProducts,
                   "grid:NumberColumn('Products.UnitPrice', 1)\n"
                   "grid:NumberColumn('Products.UnitPrice', 3)",
                   {"<td class=\"money\">199.5</td>"}},
        // "~d" keeps the digits of a value that is not a number before the pattern runs.
        FormatCase{"regex_digits",
                   kEmployee,
                   "grid:RegExColumn('Employees.HomePhone', [[~d^(\\d\\d)(\\d+)$]], "
                   "'<b>($1)</b> $2')",
                   {"<td class=\"text\"><b>(02)</b> 6338990</td>"}},
        FormatCase{"regex_keeps_separators",
                   kEmployee,
                   "grid:RegExColumn('Employees.HomePhone', [[-(\\d+)]], ' ext. $1')",
                   {"<td class=\"text\">02 633 ext. 8990</td>"}},
        FormatCase{"template_placeholders",
                   kEmployee,
                   "grid:ReplaceColumn('Employees.LastName', "
                   "'{{FirstName}} #TEMP# ({{ [Employees].[Title] }}) [i]{{employeeid}}[/i][br]"
                   "{{FirstName}}')",
                   {"<td class=\"text\">Frida Petrov (Managing Director) <i>1</i><br/>Frida</td>"}},
        // The first placeholder that names no column stops the replacement of later ones.
        FormatCase{"template_unknown_placeholder",
                   kEmployee,
                   "grid:ReplaceColumn('Employees.LastName', "
                   "'{{FirstName}} ({{Missing}}) {{Title}} {{FirstName}} #TEMP#')",
                   {"<td class=\"text\">Frida ({{Missing}}) {{Title}} Frida Petrov</td>"}},
        FormatCase{"template_money",
                   kEmployee,
                   "grid:ReplaceColumn('Employees.Salary', '[b]#money#[/b] or #NUMBER#')",
                   {"<td class=\"money\"><b>$91,975.00</b> or #NUMBER#</td>"}},
        FormatCase{"link_column",
                   kProducts,
                   "grid.LinkClassName = 'product'\n"
                   "grid:LinkColumn('Products.ProductName', 'detail.lua?id={{ProductID}}', "
                   "'#TEMP# ({{UnitsInStock}})', '_blank')",
                   {"<td class=\"text\"><a href=\"detail.lua?id=1\" target=_blank "
                    "class=\"product\">Highland Black Tea (99)</a></td>"}},
        FormatCase{"hidden",
                   "SELECT LastName AS Name, FirstName FROM Employees WHERE EmployeeID = 1",
                   "grid:HiddenColumn('name')",
                   {"\">FirstName</a></th></tr><tr><td nowrap width=1>1</td>"
                    "<td class=\"text\">Frida</td></tr>"},
                   {">Name</a>", "Petrov"}},
        FormatCase{"long_value_breaks_at_blank",
                   "SELECT '" + kLong + "' AS V",
                   "",
                   {">Frida joined the company as Managing Director and looks after customers "
                    "in Belgium and the Netherlands <br>since the spring</td>"}},
        FormatCase{"long_value_breaks_at_earlier_dot",
                   "SELECT 'Frida joined the company as Managing Director and looks after. "
                   "customers in Belgium and the Netherlands since the spring of that year' AS V",
                   "",
                   {">Frida joined the company as Managing Director and looks after.<br> "
                    "customers in Belgium"}},
        FormatCase{"long_value_without_blank_is_whole",
                   "SELECT '" + std::string(150, 'x') + "' AS V",
                   "",
                   {">" + std::string(150, 'x') + "</td>"}},
        FormatCase{"columnar",
                   "SELECT EmployeeID, LastName || char(13, 10) || FirstName AS Name "
                   "FROM Employees WHERE EmployeeID <= 2",
                   "grid.IsColumnar = true\ngrid.ItemClassName = 'k'\n"
                   "grid:ColumnCaption('Name', 'Full name')",
                   {"<table width=\"100%\" border=\"0\" cellpadding=\"2\" cellspacing=\"1\">"
                    "<tr><td valign=top  class=\"k\">EmployeeID</td><td  class=\"k\">1</td></tr>"
                    "<tr><td valign=top  class=\"k\">Full name</td><td  class=\"k\">"
                    "Petrov<br>Frida</td></tr><tr><td colspan=3>&nbsp;</td></tr>"
                    "<tr><td valign=top  class=\"k\">EmployeeID</td><td  class=\"k\">2</td>"}},
        // Database values are escaped wherever a format writes them; the author's markup
        // stays, and codes inside values are never read.
        FormatCase{"hostile_plain",
                   "SELECT '<script>alert(1)</script>' AS V, 'O''Brien & \"Co\"' AS W",
                   "",
                   {"<td class=\"text\">&lt;script&gt;alert(1)&lt;/script&gt;</td>"
                    "<td class=\"text\">O&#39;Brien &amp; &quot;Co&quot;</td>"},
                   {"<script>alert"}},
        FormatCase{"hostile_template",
                   "SELECT '[eval]alert(1)[/eval] #TEMP# {{W}} [b]' AS V, '<i>' AS W",
                   "grid:ReplaceColumn('.V', '<u>#TEMP#</u>|{{W}}|#MONEY#')",
                   {"<td class=\"text\"><u>[eval]alert(1)[/eval] #TEMP# {{W}} [b]</u>|&lt;i&gt;|"
                    "[eval]alert(1)[/eval] #TEMP# {{W}} [b]</td>"},
                   {"<script>document", "<i>"}},
        FormatCase{"hostile_regex",
                   "SELECT '<img src=x onerror=alert(1)>' AS V",
                   "grid:RegExColumn('.V', '^(.)(.*)$', '<b>$2</b>$1')",
                   {"<td class=\"text\"><b>img src=x onerror=alert(1)&gt;</b>&lt;</td>"}},
        FormatCase{"hostile_boolean_and_date",
                   "SELECT '<yes>' AS B, 'x<y' AS D",
                   "grid:BoolColumn('.B', 'Y', 'N')\ngrid:DateColumn('.D', '%Y')",
                   {"<td class=\"text\">&lt;yes&gt;</td><td class=\"text\">x&lt;y</td>"}},
        FormatCase{"encode_values_off",
                   "SELECT '<b>bold</b>' AS V",
                   "grid.EncodeValues = false",
                   {"<td class=\"text\"><b>bold</b></td>"}}),
    [](const ::testing::TestParamInfo<FormatCase>& info) { return info.param.name; });

// The report manager's default date format reaches grids of the same page, for dates without
// a format of their own.
TEST(FormatPageTest, DefaultDateFormatOfTheReportManager) {
  const std::string body = Body(GridPage(
      "default_date", "SELECT EmployeeID, BirthDate, HireDate FROM Employees WHERE EmployeeID = 1",
      "Server.CreateObject('Quenmark.Tabulon2').DefaultDateFormat = 'dd mmm yyyy'\n"
      "grid:DateColumn('Employees.HireDate', '%Y')"));
  EXPECT_THAT(body, HasSubstr("<td class=\"date\">27 Aug 1969</td><td class=\"date\">2001</td>"));
}

TEST(FormatPageTest, InvalidPatternIsReportedToThePage) {
  const PageResult result = RunGridPage(
      GridPage("bad_pattern", kEmployee, "grid:RegExColumn('Employees.HomePhone', '(', 'x')"));
  EXPECT_EQ(result.status, 500);
  EXPECT_THAT(result.body, HasSubstr("The regular expression of column EMPLOYEES.HOMEPHONE"));
}

// --- image cells ----------------------------------------------------------------------------

// The image addresses of a page, with "&amp;" read back as "&" and without "/grid.lua?".
std::vector<std::string> ImageQueries(const std::string& body) {
  std::vector<std::string> queries;
  static const std::regex kImg("<img src=\"/grid\\.lua\\?([^\"]*)\" border=0>");
  for (std::sregex_iterator it(body.begin(), body.end(), kImg), end; it != end; ++it) {
    queries.push_back(std::regex_replace((*it)[1].str(), std::regex("&amp;"), "&"));
  }
  return queries;
}

TEST(ImageCellPageTest, ServesSignedPicturesOnly) {
  const std::string page =
      GridPage("photos", "SELECT EmployeeID, LastName, Photo FROM Employees ORDER BY EmployeeID");
  const std::string body = Body(page);
  const std::vector<std::string> queries = ImageQueries(body);
  ASSERT_EQ(queries.size(), 9u) << body;
  // Neither the statement nor the connection string travels in the page.
  EXPECT_THAT(queries[1],
              ::testing::MatchesRegex("a=i&r=1&c=2&t=[A-Za-z0-9_-]+\\.[A-Za-z0-9_-]{43}"));
  EXPECT_THAT(body, Not(HasSubstr("demo.db")));
  EXPECT_THAT(body, HasSubstr("<th><span>Photo</span></th>"));

  // The stored pictures carry the old 78-byte header, which is dropped.
  const PageResult picture = RunGridPage(page, queries[1]);
  EXPECT_EQ(picture.status, 200);
  EXPECT_EQ(picture.Header("Content-Type"), "image/bmp");
  EXPECT_TRUE(picture.body.starts_with("BM")) << picture.body.substr(0, 8);
  EXPECT_EQ(picture.body.size(), 54u + 16 * 16 * 3);

  std::string forged = queries[1];
  forged.back() = forged.back() == 'A' ? 'B' : 'A';
  const std::string unsigned_query = queries[1].substr(0, queries[1].find("&t="));
  std::string beyond = queries[1];
  beyond.replace(beyond.find("r=1"), 3, "r=9");
  std::string not_binary = queries[1];
  not_binary.replace(not_binary.find("c=2"), 3, "c=1");
  const std::string old_style = "a=i&r=0&c=2&s=SELECT+Photo+FROM+Employees&cn=x";
  for (const auto& [query, status] : std::vector<std::pair<std::string, int>>{{forged, 403},
                                                                              {unsigned_query, 403},
                                                                              {old_style, 403},
                                                                              {beyond, 404},
                                                                              {not_binary, 404}}) {
    const PageResult answer = RunGridPage(page, query);
    EXPECT_EQ(answer.status, status) << query;
    EXPECT_THAT(answer.body, Not(HasSubstr("<table"))) << query;
  }

  // A token belongs to its statement: a grid with another statement neither answers nor runs.
  const std::string other =
      GridPage("other_photos", "SELECT EmployeeID, Photo FROM Employees WHERE EmployeeID < 3");
  const PageResult elsewhere = RunGridPage(other, queries[1]);
  EXPECT_EQ(elsewhere.status, 200);
  EXPECT_EQ(elsewhere.body, "");

  // The secret was created on first use, private to its owner.
  struct stat info {};
  ASSERT_EQ(::stat((SiteRoot() / ".quenmark" / "secret").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(info.st_size, 32);
}

TEST(ImageCellPageTest, TheGridThatMadeTheTokenAnswers) {
  const fs::path path = SiteRoot() / "two_grids.lua";
  std::ofstream(path)
      << "local cn = 'Provider=SQLite;Data Source=' .. Server.MapPath('data/demo.db')\n"
         "for _, sql in ipairs({'SELECT ProductID FROM Products WHERE ProductID < 3',"
         " 'SELECT EmployeeID, Photo FROM Employees WHERE EmployeeID < 3'}) do\n"
         "  local grid = Server.CreateObject('Quenmark.DataGrid')\n"
         "  grid:CreateConnection(cn)\n  grid.Command = sql\n  grid:Display()\n"
         "  Response.Write('<hr>')\nend\n";
  const std::vector<std::string> queries = ImageQueries(Body(path.string()));
  ASSERT_EQ(queries.size(), 2u);
  const PageResult picture = RunGridPage(path.string(), queries[0]);
  EXPECT_EQ(picture.status, 200);
  EXPECT_EQ(picture.Header("Content-Type"), "image/bmp");
  EXPECT_TRUE(picture.body.starts_with("BM"));
}

TEST(ImageCellPageTest, PicturesOfAStatementThatDependsOnTheQueryString) {
  const std::string page =
      GridPage("photos_by_query", "",
               "grid.Command = 'SELECT EmployeeID, Photo FROM Employees WHERE EmployeeID <= ' .. "
               "math.floor(tonumber(Request.QueryString('max')))");
  const PageResult shown = RunGridPage(page, "max=2&t=ignored");
  const std::vector<std::string> queries = ImageQueries(shown.body);
  ASSERT_EQ(queries.size(), 2u) << shown.body;
  EXPECT_TRUE(queries[1].starts_with("max=2&a=i&r=1&c=1&t=")) << queries[1];
  EXPECT_EQ(RunGridPage(page, queries[1]).Header("Content-Type"), "image/bmp");
}

TEST(ImageCellPageTest, OrderFilterAndPictureKinds) {
  // Pictures written as SQL literals: a PNG, a GIF behind the old header, a NULL, and a BMP
  // whose first bytes only look like the header's first one.
  const std::string png = "89504E470D0A1A0A0000";
  const std::string header = "15001C00" + std::string(74 * 2, '0');
  const std::string page =
      GridPage("picture_kinds",
               "SELECT 1 AS Id, X'" + png + "' AS Pic UNION ALL SELECT 2, X'" + header +
                   "474946383961' UNION ALL SELECT 3, NULL UNION ALL SELECT 4, X'15424D00'");
  const std::vector<std::string> queries = ImageQueries(Body(page));
  ASSERT_EQ(queries.size(), 4u);
  struct Expected {
    int status;
    std::string type;
    std::string body_start;
  };
  const Expected expected[] = {{200, "image/png", "\x89PNG"},
                               {200, "image/gif", "GIF89a"},
                               {404, "", ""},
                               {200, "application/octet-stream",
                                "\x15"
                                "BM"}};
  for (size_t i = 0; i < queries.size(); ++i) {
    const PageResult answer = RunGridPage(page, queries[i]);
    EXPECT_EQ(answer.status, expected[i].status) << i;
    if (expected[i].status != 200) continue;
    EXPECT_EQ(answer.Header("Content-Type"), expected[i].type) << i;
    EXPECT_TRUE(answer.body.starts_with(expected[i].body_start)) << i;
  }

  // Rows shown sorted and filtered are fetched in that order and with that filter.
  const PageResult sorted =
      RunGridPage(page, "", "sort=1+desc&pagesize=10&rsfilter=%5BId%5D+%3C+3");
  const std::vector<std::string> shown = ImageQueries(sorted.body);
  ASSERT_EQ(shown.size(), 2u) << sorted.body;
  EXPECT_EQ(RunGridPage(page, shown[0]).Header("Content-Type"), "image/gif");
  EXPECT_EQ(RunGridPage(page, shown[1]).Header("Content-Type"), "image/png");
}

TEST(FormatPageTest, DemoPagesRender) {
  const std::string formats = Body((SiteRoot() / "grid_formats.lua").string());
  EXPECT_THAT(formats, HasSubstr("<td class=\"date\">Tue 1 Jul 2003</td><td class=\"text\">"
                                 "<b>Keller Delicatessen</b> (UK)</td><td class=\"text\">"
                                 "(020) 742-8981</td>"));
  EXPECT_THAT(formats, HasSubstr("<td class=\"money\">$127.25</td><td class=\"number\">25</td>"
                                 "<td class=\"number\">25%</td><td class=\"boolean\">in range"));
  const std::string master = Body((SiteRoot() / "grid_link_master.lua").string());
  EXPECT_THAT(master, HasSubstr("<td class=\"text\"><a href=\"grid_link_master.lua?category=2\" "
                                "class=\"grid-link\">Condiments</a></td>"));
  // Sorting the products of a category posts back without the query string.
  const PageResult sorted = quenmark::test_support::RunPage(
      (SiteRoot() / "grid_link_master.lua").string(),
      {"--root", SiteRoot().string(), "--form", "sort=2&pagesize=10", "--session", "category=3"});
  EXPECT_THAT(sorted.body, HasSubstr("<td class=\"text\">Almond Biscotti</td>"));
  EXPECT_THAT(Body((SiteRoot() / "grid_images.lua").string()),
              HasSubstr("<img src=\"/grid.lua?a=i&amp;r=8&amp;c=1&amp;t="));
  EXPECT_THAT(Body((SiteRoot() / "grid_columnar.lua").string()),
              HasSubstr("<td valign=top  class=\"grid-item\">Address</td>"
                        "<td  class=\"grid-altitem\">Bruxelles<br>Belgium</td>"));
}

}  // namespace
