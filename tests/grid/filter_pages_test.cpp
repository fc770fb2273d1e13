// The filter interface through real pages (`quenmark run`) over the fixture store: conditions
// from the inline row, the summary line, the pop-up window, and escaping of every request value
// the grid writes back.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "quenmark/page_context.h"
#include "quenmark/shared_procedures.h"
#include "support/demo_site.h"
#include "support/page_runner.h"

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;
using quenmark::EncodeBase64;
using quenmark::Server;
using quenmark::test_support::PageResult;

const fs::path& SiteRoot() {
  static const fs::path root = quenmark::test_support::MakeDemoSite(
      "filter_pages", {"grid_filters.lua", "grid_popup_filters.lua", "grid_procedure.lua"});
  return root;
}

// A page showing `command` after the Lua statements `setup` on `grid`, made before it connects.
std::string GridPage(const std::string& name, const std::string& command,
                     const std::string& setup = "") {
  return quenmark::test_support::WriteGridPage(SiteRoot(), name, command, "", setup);
}

PageResult Serve(const std::string& page, const std::vector<std::string>& extra) {
  std::vector<std::string> args = {"--root", SiteRoot().string(), "--url", "/grid.lua"};
  args.insert(args.end(), extra.begin(), extra.end());
  PageResult result = quenmark::test_support::RunPage(page, args);
  EXPECT_EQ(result.status, 200) << result.body << result.error_output;
  return result;
}

std::string Post(const std::string& page, const std::string& form) {
  return Serve(page, {"--form", form}).body;
}

// A posted search from the inline row on top of the filter `rsfilter`.
std::string Search(const std::string& field, const std::string& condition,
                   const std::string& value, const std::string& rsfilter = "") {
  return "start=1&pagesize=10&rsfilter=" + Server::URLEncode(rsfilter) +
         "&search_field=" + Server::URLEncode(field) +
         "&search_condition=" + Server::URLEncode(condition) +
         "&search_text=" + Server::URLEncode(value);
}

// Rows of the result: the count in "(N recs)" when the grid pages, else the rows shown.
int Records(const std::string& body) {
  std::smatch match;
  if (std::regex_search(body, match, std::regex(R"(\((\d+) recs\))"))) {
    return std::stoi(match[1]);
  }
  int rows = 0;
  for (size_t at = body.find("<td nowrap width=1>"); at != std::string::npos;
       at = body.find("<td nowrap width=1>", at + 1)) {
    ++rows;
  }
  return rows;
}

std::string HiddenFilter(const std::string& body) {
  std::smatch match;
  if (!std::regex_search(body, match, std::regex("name=rsfilter value=\"([^\"]*)\""))) return "?";
  return match[1];
}

const char* const kProducts = "SELECT ProductID, ProductName, UnitPrice, UnitsInStock FROM Products";
const char* const kOrders = "SELECT OrderID, OrderDate FROM Orders";
const char* const kCaptions = "grid:ColumnCaption('UnitPrice', 'Price')";

struct SearchCase {
  const char* command;
  const char* field;
  const char* condition;
  const char* value;
  const char* filter;   // the rsfilter written back (HTML-escaped)
  const char* summary;  // the conditions as the summary line shows them
  int records;
};

class SearchPageTest : public ::testing::TestWithParam<SearchCase> {};

TEST_P(SearchPageTest, FiltersRowsAndSaysSo) {
  const SearchCase& c = GetParam();
  const std::string body =
      Post(GridPage("search", c.command, kCaptions), Search(c.field, c.condition, c.value));
  EXPECT_EQ(HiddenFilter(body), c.filter);
  EXPECT_THAT(body, HasSubstr(std::string("<b>Filter(s):</b> ") + c.summary + "</td></tr>"));
  EXPECT_EQ(Records(body), c.records);
  EXPECT_THAT(body, Not(HasSubstr("invalid")));
}

INSTANTIATE_TEST_SUITE_P(
    Operators, SearchPageTest,
    ::testing::Values(
        SearchCase{kProducts, "ProductName", " LIKE '%v%'", "smoked",
                   "ProductName LIKE &#39;%smoked%&#39;", "ProductName contains 'smoked'", 4},
        SearchCase{kProducts, "ProductName", "=", "Smoked Ham",
                   "ProductName = &#39;Smoked Ham&#39;", "ProductName = 'Smoked Ham'", 1},
        SearchCase{kProducts, "ProductName", "<>", "Smoked Ham",
                   "ProductName &lt;&gt; &#39;Smoked Ham&#39;", "ProductName &lt;&gt; 'Smoked Ham'",
                   76},
        SearchCase{kProducts, "UnitPrice", " < ", "20", "UnitPrice  &lt;  20",
                   "Price  &lt;  20", 9},
        SearchCase{kProducts, "UnitsInStock", "=", "27", "UnitsInStock = 27",
                   "UnitsInStock = 27", 4},
        SearchCase{kOrders, "OrderDate", " > ", "6/1/2005", "OrderDate  &gt;  &#39;6/1/2005&#39;",
                   "OrderDate  &gt;  '6/1/2005'", 31},
        SearchCase{kOrders, "OrderDate", "<>", "2003-07-01",
                   "OrderDate &lt;&gt; &#39;2003-07-01&#39;", "OrderDate &lt;&gt; '2003-07-01'",
                   828},
        // An apostrophe is doubled, so the filter stays valid.
        SearchCase{kProducts, "ProductName", "<>", "O'Brien",
                   "ProductName &lt;&gt; &#39;O&#39;&#39;Brien&#39;",
                   "ProductName &lt;&gt; 'O''Brien'", 77}));

TEST(FilterPageTest, ConditionsAddUpAcrossPostbacksUntilReset) {
  const std::string page = GridPage("chain", kProducts, kCaptions);
  std::string body = Post(page, Search("ProductName", " LIKE '%v%'", "smoked"));
  const std::string first = "ProductName LIKE '%smoked%'";
  body = Post(page, Search("UnitPrice", " > ", "50", first) + "&sort=3+desc");
  EXPECT_EQ(HiddenFilter(body), "ProductName LIKE &#39;%smoked%&#39; AND UnitPrice  &gt;  50");
  EXPECT_EQ(Records(body), 2);
  EXPECT_THAT(body, HasSubstr("<table cellpadding=4 width=\"100%\"><tr><td><b>Filter(s):</b> "
                              "ProductName contains 'smoked' <i>and</i> Price  &gt;  50</td></tr>"
                              "<tr><td><b>Sort Order:</b> Price <i>descending</i></td></tr>"
                              "</table></form>"));
  // The reset argument empties the filter.
  body = Post(page, "start=1&pagesize=10&rsfilter=" + Server::URLEncode(first) +
                        "&__FARGS=" + Server::URLEncode(EncodeBase64("3start:1;")));
  EXPECT_EQ(HiddenFilter(body), "");
  EXPECT_EQ(Records(body), 77);
  EXPECT_THAT(body, Not(HasSubstr("Filter(s)")));
}

TEST(FilterPageTest, InlineRowOnlyWhenTheResultPages) {
  const std::string look = "grid.FooterClassName = 'foot'\n" + std::string(kCaptions);
  const std::string body = Serve(GridPage("inline", kProducts, look), {}).body;
  EXPECT_THAT(body,
              HasSubstr("</table><table width=\"100%\"><tr class=\"foot\"><td align=right>"
                        "<select name=search_field  style=\"font-size:9pt;\"><option value=''>"
                        "&nbsp;<option value=\"ProductID\">ProductID</option><option "
                        "value=\"ProductName\">ProductName</option><option value=\"UnitPrice\">"
                        "Price</option><option value=\"UnitsInStock\">UnitsInStock</option>"
                        "</select>&nbsp;<select name=search_condition  style=\"font-size:9pt;\">"
                        "<option value=''>&nbsp;<option value=\" LIKE '%v%'\">contains<option "
                        "value=\"=\">is equal to<option value=\"<>\">is not equal to<option "
                        "value=\" &lt; \">is less than<option value=\" > \">is greater than"
                        "</select>&nbsp;<input name=search_text  style=\"font-size:9pt;\">"
                        "&nbsp;<input  style=\"font-size:9pt;\" type=button onclick=\"this.form."
                        "start.value=1;this.form.__FARGS.value='';this.form.submit();\" value=Go "
                        "></td></tr></table><table width=\"100%\" border=\"0\""));
  // Eleven rows are shown whole, without the filter row; a button label with a blank is quoted.
  const std::string small =
      Serve(GridPage("inline_small", "SELECT ProductID FROM Products WHERE ProductID <= 11"), {})
          .body;
  EXPECT_THAT(small, Not(HasSubstr("search_field")));
  const std::string label = Serve(GridPage("inline_label", kProducts,
                                           "grid:SetDisplayText('filterbuttontext', 'Filter now')"),
                                  {}).body;
  EXPECT_THAT(label, HasSubstr("value=\"Filter now\" ></td>"));
}

// The pop-up window's list text for the products page, as the grid stores it.
std::string ProductLists(const std::string& caption = "Price") {
  return "Search|=|Filter this report|||ProductID|=|ProductName|=|UnitPrice|=|UnitsInStock|||"
         "ProductID|=|ProductName|=|" + caption + "|=|UnitsInStock|||131|=|200|=|6|=|131|||"
         "contains|=|is equal to|=|is not equal to|=|is less than|=|is greater than";
}

TEST(FilterPageTest, PopupButtonScriptAndSession) {
  const std::string page =
      GridPage("popup", kProducts, "grid.UsePopupFilters = true\n" + std::string(kCaptions) +
                                       "\nResponse.Write('[' .. (Session('PopUpFilters') or '') .. ']')");
  const std::string body = Serve(page, {}).body;
  EXPECT_TRUE(body.starts_with(
      "[]<script language=\"javascript\">function __doGetBack(args){var f=document.QmkTabulon;"
      "if(args.substring(0,1)=='_'){args=eval(\"f.btnExp\"+args.substring(1)+\".value\");};var "
      "a=args.substr(0,args.length-1);var i=args.substr(args.length-1);var q=\"/grid.lua?a=\"+i+"
      "\"&del=%27&args=\"+encodeURIComponent(a)+\"\";var w=330;var h=230;"))
      << body.substr(0, 400);
  EXPECT_THAT(body, HasSubstr("var win = window.open(q,\"wizard\",settings);}</script><script>"
                              "function __doPostBack("));
  EXPECT_THAT(body, HasSubstr("Print</a></td><td  align=center width='99%'><input type=hidden "
                              "name=btnExpfilter value=\"" + EncodeBase64(ProductLists()) +
                              "j\"><a  href=\"javascript:__doGetBack('_filter')\" title=\"Filter "
                              "this report\">Search</a></td><td align=right nowrap>&nbsp;<input type=hidden "
                              "name=btnExpdoc"));
  EXPECT_THAT(body, Not(HasSubstr("search_field")));

  // The window reads its lists from the session value the grid stored while displaying.
  const std::string stored = (SiteRoot() / "popup_session.lua").string();
  std::ofstream(stored) << "local grid = Server.CreateObject(\"Quenmark.DataGrid\")\n"
                           "grid.UsePopupFilters = true\n" << kCaptions
                        << "\ngrid:CreateConnection(\"Provider=SQLite;Data Source=\" .. "
                           "Server.MapPath(\"data/demo.db\"))\ngrid.Command = \"" << kProducts
                        << "\"\ngrid:Display()\nResponse.Write('[' .. Session('PopUpFilters') .. "
                           "']')\n";
  EXPECT_THAT(Serve(stored, {}).body, HasSubstr("[" + EncodeBase64(ProductLists()) + "]"));
}

TEST(FilterPageTest, PopupWindowFromSessionOrAddress) {
  const std::string page = GridPage("window", kProducts);
  const std::string encoded = EncodeBase64(ProductLists());
  const std::string from_session =
      Serve(page, {"--query", "a=j&del=%23", "--session", "PopUpFilters=" + encoded}).body;
  EXPECT_TRUE(from_session.starts_with("<html><head><title>Search</title><script> var del=\"#\";"
                                       " function addFilter(){"))
      << from_session.substr(0, 200);
  EXPECT_THAT(from_session,
              HasSubstr("<body><b>Filter this report</b><form name=f1><table border=0><tr><td>"
                        "Field</td><td><select name=search_field><option value=''><option "
                        "value=\"131_ProductID\">ProductID</option><option value=\"200_"
                        "ProductName\">ProductName</option><option value=\"6_UnitPrice\">Price"
                        "</option><option value=\"131_UnitsInStock\">UnitsInStock</option>"
                        "</select></td></tr><tr><td width=10 nowrap>Condition</td><td><select "
                        "name=search_condition><option><option value=\" LIKE '%v%'\">contains"
                        "</option><option value=\"=\">is equal to</option><option value=\"<>\">"
                        "is not equal to</option><option value=\" &lt; \">is less than</option>"
                        "<option value=\" > \">is greater than</option></select></td></tr>"));
  EXPECT_TRUE(from_session.ends_with("</table><input type=hidden name=filter></form></body></html>"));
  // Without a session value the window reads its lists from its address, where the
  // pop-up script puts them URL-encoded.
  const std::string from_address =
      Serve(page, {"--query", "a=j&del=%27&args=" + Server::URLEncode(encoded)}).body;
  EXPECT_EQ(from_address, from_session.substr(0, from_session.find("var del=")) +
                              "var del=\"'\";" +
                              from_session.substr(from_session.find("var del=") + 12));
  // Lists that are not five well-formed parts give an empty window.
  EXPECT_EQ(Serve(page, {"--query", "a=j&args=" + Server::URLEncode(EncodeBase64("a|||b"))}).body,
            "");
}

TEST(FilterPageTest, ReflectedValuesAreEscaped) {
  const std::string page = GridPage("hostile", kProducts);
  // The pop-up window: the delimiter inside its script, the lists in its fields.
  const std::string lists =
      "<b>T</b>|=|<script>h</script>|||x\"><script>n</script>|=|ProductName|||<i>c</i>|=|P|||"
      "200\"|=|200|||<o>|=|=|=|<>|=|<|=|>";
  const std::string window =
      Serve(page, {"--query", "a=j&del=" + Server::URLEncode("\"</script><script>alert(1)//") +
                                  "&args=" + Server::URLEncode(EncodeBase64(lists))})
          .body;
  EXPECT_THAT(window, HasSubstr("<title>&lt;b&gt;T&lt;/b&gt;</title><script> var del=\"\\x22"
                                "\\x3c/script\\x3e\\x3cscript\\x3ealert(1)//\";"));
  EXPECT_THAT(window, HasSubstr("<b>&lt;script&gt;h&lt;/script&gt;</b>"));
  EXPECT_THAT(window, HasSubstr("<option value=\"200&quot;_x&quot;&gt;&lt;script&gt;n&lt;/script"
                                "&gt;\">&lt;i&gt;c&lt;/i&gt;</option>"));
  EXPECT_THAT(window, HasSubstr("\">&lt;o&gt;</option>"));
  EXPECT_THAT(window, Not(HasSubstr("<script>n")));
  EXPECT_THAT(window, Not(HasSubstr("</script><script>alert")));

  // The summary, the hidden field and the invalid-filter message.
  const std::string value = "<img src=x onerror=alert(1)>";
  std::string body = Post(page, Search("ProductName", "<>", value));
  EXPECT_EQ(HiddenFilter(body),
            "ProductName &lt;&gt; &#39;&lt;img src=x onerror=alert(1)&gt;&#39;");
  EXPECT_THAT(body, HasSubstr("<b>Filter(s):</b> ProductName &lt;&gt; '&lt;img src=x "
                              "onerror=alert(1)&gt;'</td>"));
  body = Post(page, Search("<b>x</b>", "=", "1"));
  EXPECT_THAT(body, HasSubstr("<font color=red>Your filter is invalid!</font><br>&lt;b&gt;x"
                              "&lt;/b&gt; = 1"));
  EXPECT_THAT(body, HasSubstr("<b>Filter(s):</b> &lt;b&gt;x&lt;/b&gt; = 1</td>"));
  EXPECT_THAT(body, Not(HasSubstr("<b>x</b>")));
}

TEST(FilterPageTest, DemoPagesAndProcedureOnSqlite) {
  const std::string inline_page = Serve((SiteRoot() / "grid_filters.lua").string(),
                                        {"--form", Search("ProductName", " LIKE '%v%'", "tea")})
                                      .body;
  EXPECT_THAT(inline_page, HasSubstr("<b>Filter(s):</b> Product contains 'tea'"));
  EXPECT_THAT(Serve((SiteRoot() / "grid_popup_filters.lua").string(), {}).body,
              HasSubstr("javascript:__doGetBack('_filter')"));
  EXPECT_THAT(Serve((SiteRoot() / "grid_procedure.lua").string(), {}).body,
              HasSubstr("<div><font color=red face=arial>SQLite databases have no stored "
                        "procedures, so \"sales_by_year\" cannot be called"));
}

}  // namespace
