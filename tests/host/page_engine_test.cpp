// Pages run in-process through RunOffline (the same path as `quenmark run`).

#include "host/page_engine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "host/request_runner.h"
#include "host/temp_site.h"
#include "quenmark/host.h"
#include "quenmark/shared_settings.h"
#include "quenmark/string_buffer.h"

namespace quenmark {
namespace {

using test_support::TempSite;
using ::testing::HasSubstr;
using ::testing::Not;

struct PageCase {
  const char* name;
  const char* page;  // file name decides .lua or .qsp
  const char* source;
  const char* query;
  const char* form;      // nullptr: a GET
  const char* expected;  // the whole body
};

class PageEngineTest : public ::testing::Test {
 protected:
  Response Run(const std::string& page, const std::string& source, const std::string& query = "",
               const char* form = nullptr,
               std::vector<std::pair<std::string, std::string>> session = {}) {
    OfflineRequest request;
    request.page = site_.Write(page, source);
    request.root = site_.Path();
    request.query = query;
    if (form) request.form = form;
    request.session = std::move(session);
    Result<Response> response = RunOffline(request);
    EXPECT_TRUE(response.ok()) << response.Description();
    return response.ok() ? *response : Response();
  }

  // Runs `source` with a page engine of its own under `limits`.
  Response RunLimited(const std::string& source, host::PageLimits limits) {
    const std::string path = site_.Write("limited.lua", source);
    Request request;
    Response response;
    Server server(site_.Path(), site_.Path());
    Session session;
    Application application;
    PageContext context{request, response, server, session, application};
    host::PageEngine engine(limits);
    host::RunScriptPage(engine, path, "/limited.lua", context, "id");
    return response;
  }

  TempSite site_;
};

TEST_F(PageEngineTest, PagesSeeTheRequestAndWriteTheResponse) {
  const PageCase cases[] = {
      {"query and form", "a.lua",
       "Response.Write(Request.QueryString('a') .. '|' .. Request.Form('b') .. '|' .. "
       "Request.Form.Count .. '|' .. Request.QueryString.Count)",
       "a=x%20y&a=2", "b=&c=3", "x y, 2||2|1"},
      {"names in posted order", "a.lua",
       "Response.Write(table.concat(Request.Form:Names(), ',') .. ' ' .. Request.Form:Key(2) .. "
       "' ' .. #Request.Form)",
       "", "z=1&a=2&z=3&m=", "z,a,m a 3"},
      {"Request(name) and server variables", "a.lua",
       "Response:Write(Request('q') .. Request('f') .. ' ' .. Request.ServerVariables('URL') .. "
       "' ' .. Request.ServerVariables('REQUEST_METHOD') .. ' ' .. Request.q)",
       "q=1", "f=2", "12 /a.lua POST 1"},
      {"missing fields read as empty text", "a.lua",
       "Response.Write('[' .. Request.Form('none') .. Request.QueryString('none') .. "
       "Request('none') .. ']')",
       "", nullptr, "[]"},
      {"Response.End stops the page, also inside pcall", "a.lua",
       "Response.Write('a') pcall(function() Response.End() end) Response.Write('b')", "", nullptr,
       "a"},
      {"Write converts values", "a.lua",
       "Response.Write(1) Response.Write(2.5) Response.Write(true) Response.Write(nil) "
       "Response.Write(Null) print('p', 3)",
       "", nullptr, "12.5Truep\t3\n"},
      {"Clear drops what was written", "a.lua",
       "Response.Write('a') Response.Clear() "
       "Response.Write('b')",
       "", nullptr, "b"},
      {"qsp page", "p.qsp",
       "<%@ Language=Lua %><ul>\n<% for i = 1, 2 do %><li><%= i * 10 %></li><% end %>\n</ul>"
       "<%= Request.QueryString('x') %>",
       "x=%3C", nullptr, "<ul>\n<li>10</li><li>20</li>\n</ul><"},
      {"pcall sees library errors as objects", "a.lua",
       "local ok, e = pcall(Server.MapPath, '../../etc') "
       "Response.Write(tostring(ok) .. ' ' .. e.Number .. ' ' .. e.Source)",
       "", nullptr, "false 76 Server.MapPath"},
      {"sandbox hides files and processes", "a.lua",
       "Response.Write(tostring(io) .. tostring(os.execute) .. tostring(os.getenv) .. "
       "tostring(os.remove) .. tostring(package.loadlib) .. tostring(debug) .. "
       "type(os.time))",
       "", nullptr, "nilnilnilnilnilnilfunction"},
      {"binary chunks are refused", "a.lua",
       "local f, err = load(string.dump(function() end)) Response.Write(tostring(f))", "", nullptr,
       "nil"},
      {"require and dofile reach the root only", "sub/a.lua",
       "local m = require('lib.util') local ok = pcall(require, 'nowhere') "
       "local ok2 = pcall(dofile, '../../outside.lua') "
       "Response.Write(m.twice(21) .. tostring(ok) .. tostring(ok2) .. dofile('/lib/value.lua'))",
       "", nullptr, "42falsefalse7"},
      {"session values read and written", "a.lua",
       "Session('n', Session('user') .. '!') Session.k = 5 "
       "Response.Write(Session('N') .. Session.k .. Session.Count .. tostring(Session('x')))",
       "", nullptr, "ann!53nil"},
      {"the page's locale, en-US until set", "a.lua",
       "Response.Write(Response.Locale) Response.Locale = 'de_DE' Response.Write(' ' .. "
       "Response.Locale)",
       "", nullptr, "en-US de_DE"},
      {"dates cross the bridge", "a.lua",
       "local d = Date(2004, 3, 1) Response.Write(d.Year .. '-' .. d.month .. ' ' .. "
       "tostring(d == Date('2004-03-01')))",
       "", nullptr, "2004-3 true"}};
  site_.Write("lib/util.lua", "return { twice = function(x) return x * 2 end }");
  site_.Write("lib/value.lua", "return 7");
  for (const PageCase& c : cases) {
    Response response = Run(c.page, c.source, c.query, c.form, {{"user", "ann"}});
    EXPECT_EQ(response.StatusCode(), 200) << c.name << ": " << response.Body();
    EXPECT_EQ(response.Body(), c.expected) << c.name;
  }
}

TEST_F(PageEngineTest, BinaryWriteAndHeaders) {
  Response response =
      Run("img.lua",
          "Response.ContentType = 'image/bmp' Response.Status = '201 Created' "
          "Response.Expires = -1 Response:AddHeader('Content-Disposition', 'attachment; "
          "filename=x.bmp') Response.BinaryWrite('BM\\0\\1\\255')");
  EXPECT_EQ(response.Body(), std::string("BM\0\1\xff", 5));
  EXPECT_EQ(response.StatusCode(), 201);
  auto headers = ResponseHeaders(response);
  EXPECT_EQ(headers.front(), std::make_pair(std::string("Content-Type"), std::string("image/bmp")));
  EXPECT_THAT(headers, ::testing::Contains(
                           std::make_pair(std::string("Cache-Control"), std::string("no-cache"))));
  EXPECT_THAT(headers,
              ::testing::Contains(std::make_pair(std::string("Content-Disposition"),
                                                 std::string("attachment; filename=x.bmp"))));

  Response bad = Run("b.lua", "Response.Status = 'nonsense'");
  EXPECT_EQ(bad.StatusCode(), 500);
}

TEST_F(PageEngineTest, ScriptErrorsBecomeAnEscapedErrorPage) {
  struct Case {
    const char* source;
    std::vector<std::string> fragments;
  };
  const Case cases[] = {
      {"Response.Write('partial')\nlocal t = nil\nt.x = 1",
       {"Page: <b>/e.lua</b>, line <b>3</b>", "attempt to index a nil value"}},
      {"\n\nerror('<b>bad</b> & worse')", {"line <b>3</b>", "&lt;b&gt;bad&lt;/b&gt; &amp; worse"}},
      {"local x = Server.CreateObject('No.Such')", {"line <b>1</b>", "No.Such", "error 429"}},
      {"local sb = CreateObject('Quenmark.StringBuffer')\nlocal v = sb.NoSuchMember",
       {"line <b>2</b>", "error 438"}},
      {"Server.MapPath('/../../etc/passwd')", {"error 76", "Server.MapPath"}},
      {"this is not lua", {"Page: <b>/e.lua</b>, line <b>1</b>"}},
      {"Session('sb', CreateObject('Quenmark.StringBuffer'))", {"cannot be stored"}},
      {"Response.Locale = 'de\"><b>'",
       {"Response.Locale: &quot;de&quot;&gt;&lt;b&gt;&quot; is not a language tag", "error 5"}},
      {"Response.Locale = 'zz-ZZ'", {"is not a language tag"}}};
  for (const Case& c : cases) {
    Response response = Run("e.lua", c.source);
    EXPECT_EQ(response.StatusCode(), 500) << c.source;
    EXPECT_THAT(response.Body(), Not(HasSubstr("partial")));
    for (const std::string& fragment : c.fragments) {
      EXPECT_THAT(response.Body(), HasSubstr(fragment)) << c.source;
    }
  }
}

// Files in folders starting with "." (the installation secret, saved reports, locale files)
// are refused by every loader before they are read, however the path reaches them; none of
// their bytes appears in the error page. Files beside them stay reachable.
TEST_F(PageEngineTest, LoadersRefusePrivateFolders) {
  const std::string secret = "Qm7SecretBytes9zX";
  site_.Write(".quenmark/secret", secret + " " + secret);  // as Lua, an error that quotes it
  site_.Write(".reports/reports.xml", "<tabulon>" + secret + "</tabulon>");
  site_.Write(".locale/locale_de.xml", "return '" + secret + "'");
  site_.Write(".env.lua", "return '" + secret + "'");
  site_.Write("lib/layout.lua", "return { title = 'layout' }");
  std::filesystem::create_symlink(site_.Path(".locale/locale_de.xml"), site_.Path("lib/link.lua"));
  const char* const refused[] = {
      "dofile('../.quenmark/secret')",
      "dofile('/.quenmark/secret')",
      "dofile('./../.quenmark/secret')",
      "dofile('/sub/../.quenmark/secret')",
      "dofile([[..\\sub\\..\\.quenmark\\secret]])",
      "dofile('/.reports/reports.xml')",
      "dofile('../.locale/locale_de.xml')",
      "dofile('/lib/link.lua')",
      "require('lib.link')",
      "local f, e = loadfile('../.quenmark/secret') error(tostring(f) .. ' ' .. e)",
  };
  for (const char* source : refused) {
    Response response = Run("sub/page.lua", source);
    EXPECT_EQ(response.StatusCode(), 500) << source;
    EXPECT_THAT(response.Body(), Not(HasSubstr("Qm7Secret"))) << source;
  }
  for (const char* source :
       {"select(2, pcall(dofile, '/.quenmark/secret'))", "select(2, loadfile('.locale/x.xml'))"}) {
    Response response = Run("a.lua", std::string("Response.Write(tostring(") + source + "))");
    EXPECT_THAT(response.Body(), HasSubstr("names starting with \".\" are private")) << source;
  }
  Response layout = Run("sub/page.lua",
                        "Response.Write(dofile('../lib/layout.lua').title .. "
                        "require('lib.layout').title .. loadfile('./../lib/layout.lua')().title)");
  EXPECT_EQ(layout.Body(), "layoutlayoutlayout");
}

TEST_F(PageEngineTest, StringBufferThroughLuaMatchesCpp) {
  Response response = Run("sb.lua",
                          "local sb = Server.CreateObject('Quenmark.StringBuffer')\n"
                          "sb:SetString('start-')\n"
                          "for i = 1, 4000 do sb.Append('piece' .. i .. ';') end\n"
                          "sb:Append('')\n"
                          "Response.Write(sb:ToString())");
  StringBuffer expected;
  expected.SetString("start-");
  for (int i = 1; i <= 4000; ++i) expected.Append("piece" + std::to_string(i) + ";");
  expected.Append("");
  EXPECT_EQ(response.Body(), expected.ToString());
}

TEST_F(PageEngineTest, SharedSettingsStartFreshForEveryRequest) {
  ThreadSettings().max_records = 99;
  Response response = Run("a.lua", "Response.Write('ok')");
  EXPECT_EQ(response.Body(), "ok");
  EXPECT_EQ(ThreadSettings().max_records, 0);
}

TEST_F(PageEngineTest, RunawayPagesAreStopped) {
  const char* const endless[] = {
      "while true do end",
      "while true do pcall(function() while true do end end) end",
      "while true do xpcall(function() while true do end end, function() return 1 end) end",
      "local co = coroutine.wrap(function() while true do end end) while true do pcall(co) end",
      // Backtracking inside the string library, where no instruction runs.
      "string.find(string.rep('a', 30000), '.-.-.-.-b')",
      "pcall(string.match, string.rep('a', 30000), '(.-)(.-)(.-)b') Response.Write('escaped')",
      "for w in string.rep('a', 20000):gmatch('.-.-.-b') do end",
      "local s = string.rep('a', 20000) s:gsub('a.-.-.-b', '')"};
  for (const char* source : endless) {
    const Response response = RunLimited(source, {std::chrono::milliseconds(200), 0});
    EXPECT_EQ(response.StatusCode(), 500) << source;
    EXPECT_THAT(response.Body(), HasSubstr("time limit")) << source;
  }
  const Response greedy = RunLimited(
      "local t = {} for i = 1, 1e9 do t[i] = ('x'):rep(100) .. i end", {std::chrono::milliseconds(0), size_t{8} << 20});
  EXPECT_EQ(greedy.StatusCode(), 500);
  EXPECT_THAT(greedy.Body(), HasSubstr("not enough memory"));
}

TEST_F(PageEngineTest, ChangedPagesAreCompiledAgain) {
  std::string path = site_.Write("c.lua", "Response.Write('one')");
  host::PageEngine engine;
  auto first = engine.Compile(path, "@/c.lua");
  EXPECT_EQ(engine.Compile(path, "@/c.lua"), first);
  site_.Write("c.lua", "Response.Write('second version')");
  EXPECT_NE(engine.Compile(path, "@/c.lua"), first);
}

// The pattern functions under the time limit give exactly what the library gives without it.
TEST_F(PageEngineTest, GuardedPatternFunctionsGiveTheLibrarysResults) {
  const std::string source =
      "local out = {}\n"
      "local function add(...) local t = table.pack(...) for i = 1, t.n do out[#out + 1] = tostring(t[i]) end out[#out + 1] = '|' end\n"
      "add(string.find(\"hello world\", \"o w\"))\n"
      "add(string.find(\"a.b\", \".\", 1, true))\n"
      "add(string.match(\"key=val\", \"(%w+)=(%w+)\"))\n"
      "add(string.match(\"  trim  \", \"^%s*(.-)%s*$\"))\n"
      "add(string.gsub(\"hello\", \"l\", \"L\"))\n"
      "add(string.gsub(\"abc\", \"%w\", \"%0%0\"))\n"
      "for w in string.gmatch(\"one two three\", \"%a+\") do add(w) end\n"
      "add(string.find(\"THE (quick) fox\", \"%((%a+)%)\"))\n"
      "add(string.match(\"x = [[a]]\", \"%b[]\"))\n"
      "add(string.find(\"THE (quick) fox\", \"%f[%a]%a+\", 5))\n"
      "add(string.match(\"abcabc\", \"(abc)%1\"))\n"
      "for d in (\"a1b2c3\"):gmatch(\"%d\", 4) do add(d) end\n"
      "add(string.find(\"abc\", \"b\", -1))\n"
      "add((\"x\"):rep(3):gsub(\"x\", {x = \"y\"}))\n"
      "add(string.find(\"\", \"\"))\n"
      "add(string.gsub(\"abc\", \"\", \"-\"))\n"
      "add(string.gsub(\"hello world\", \"(o)\", function(c) return c:upper() end, 1))\n"
      "add(string.match(\"hello\", \"()ll()\"))\n"
      "add(pcall(string.find, \"abc\", \"[a\"))\n"
      "add(pcall(string.gsub, \"abc\", \"(\", \"x\"))\n"
      "add(string.find(\"a+b\", \"+\", 1, true))\n"
      "add(string.match(\"  x\", \"^%s*$\"))\n"
      "Response.Write(table.concat(out, \",\"))\n";
  std::string bodies[2];
  for (int guarded = 0; guarded < 2; ++guarded) {
    const Response response =
        RunLimited(source, {std::chrono::milliseconds(guarded ? 60000 : 0), 0});
    EXPECT_EQ(response.StatusCode(), 200) << response.Body();
    bodies[guarded] = response.Body();
  }
  EXPECT_EQ(bodies[0], bodies[1]);
  EXPECT_THAT(bodies[1], HasSubstr("one,|,two,|,three,|"));
}

}  // namespace
}  // namespace quenmark
