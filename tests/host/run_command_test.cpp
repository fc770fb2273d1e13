// `quenmark run`: the executable, its options and its binary-safe output.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "host/temp_site.h"
#include "support/fixture_db.h"
#include "support/page_runner.h"

namespace quenmark {
namespace {

using test_support::RunPage;
using test_support::TempSite;
using ::testing::HasSubstr;

TEST(RunCommandTest, PrintsStatusHeadersAndBody) {
  TempSite site;
  std::string page = site.Write(
      "shop/order.lua",
      "Response.AddHeader('X-Order', Request.Form('id'))\n"
      "Response.Write(Request.ServerVariables('URL') .. '|' .. Request.QueryString('q') .. '|' ..\n"
      "  Request.Cookies('c') .. '|' .. Request.ServerVariables('HTTP_USER_AGENT') .. '|' ..\n"
      "  Request.ServerVariables('REQUEST_METHOD') .. '|' .. Session('user') .. '|' ..\n"
      "  Request.ServerVariables('HTTP_ACCEPT_LANGUAGE'))");
  auto result =
      RunPage(page, {"--root", site.Path(), "--query", "q=a%26b", "--form", "id=7", "--cookie",
                     "c=chip", "--header", "User-Agent: tester/1.0", "--session", "user=ann",
                     "--header", "Accept-Language: en", "--header", "Accept-Language: fr"});
  EXPECT_EQ(result.exit_code, 0) << result.error_output;
  EXPECT_EQ(result.status_line, "200 OK");
  EXPECT_EQ(result.Header("content-type"), "text/html; charset=utf-8");
  EXPECT_EQ(result.Header("X-Order"), "7");
  EXPECT_EQ(result.body, "/shop/order.lua|a&b|chip|tester/1.0|POST|ann|en, fr");
  EXPECT_EQ(result.Header("Content-Length"), std::to_string(result.body.size()));
}

TEST(RunCommandTest, BodyIsBinarySafe) {
  TempSite site;
  std::string page = site.Write("img.lua",
                                "Response.ContentType = 'image/bmp'\n"
                                "Response.BinaryWrite('BM\\0\\r\\n\\255' .. Request('tail'))");
  auto result = RunPage(page, {"--query", "tail=%00end"});
  EXPECT_EQ(result.body, std::string("BM\0\r\n\xff\0end", 10));
  EXPECT_EQ(result.Header("Content-Type"), "image/bmp");

  auto body_only = RunPage(page, {"--body", "--url", "/x.lua"});
  EXPECT_EQ(body_only.status, 0);
  EXPECT_EQ(body_only.body, std::string("BM\0\r\n\xff", 6));
}

TEST(RunCommandTest, RedirectAndErrorPages) {
  TempSite site;
  auto moved = RunPage(site.Write("r.lua", "Response.Redirect('next.lua')"));
  EXPECT_EQ(moved.status, 302);
  EXPECT_EQ(moved.Header("Location"), "next.lua");

  auto failed = RunPage(site.Write("f.qsp", "<p>\n<% error('broken <page>') %>\n</p>"));
  EXPECT_EQ(failed.exit_code, 1);  // the response is still printed
  EXPECT_EQ(failed.status, 500);
  EXPECT_THAT(failed.body, HasSubstr("<a href=\"/\">"));
  EXPECT_THAT(failed.body, HasSubstr("Page: <b>/f.qsp</b>, line <b>2</b>"));
  EXPECT_THAT(failed.body, HasSubstr("broken &lt;page&gt;"));
  EXPECT_THAT(failed.error_output, HasSubstr("script error in /f.qsp, line 2: broken <page>"));
}

TEST(RunCommandTest, RefusesBadInvocations) {
  TempSite site;
  std::string page = site.Write("a.lua", "Response.Write('x')");
  struct Case {
    std::string page;
    std::vector<std::string> args;
    int exit_code;
  };
  const Case cases[] = {{site.Path("missing.lua"), {}, 1},
                        {site.Write("a.txt", "text"), {}, 1},
                        {page, {"--root", site.Path("elsewhere")}, 1},
                        {page, {"--bogus", "1"}, 2},
                        {page, {"--header", "no colon"}, 2},
                        {page, {"--query"}, 2}};
  for (const Case& c : cases) {
    EXPECT_EQ(RunPage(c.page, c.args).exit_code, c.exit_code) << c.page;
  }
}

TEST(RunCommandTest, ExampleSitePagesRun) {
  for (const char* page : {"examples/site/index.lua", "examples/site/string_buffer.lua",
                           "examples/site/request.qsp"}) {
    auto result = RunPage(page, {"--query", "rows=3"});
    EXPECT_EQ(result.status, 200) << page << result.body;
  }
  auto index = RunPage("examples/site/index.lua");
  EXPECT_THAT(index.body, HasSubstr("href=\"string_buffer.lua\""));
}

// `quenmark serve` as a process: prints where to open it, serves, and stops cleanly on SIGTERM.
TEST(ServeCommandTest, ServesUntilSigterm) {
  TempSite site;
  site.Write("index.lua", "Response.Write('served')");
  int out_pipe[2];
  ASSERT_EQ(pipe(out_pipe), 0);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    dup2(out_pipe[1], STDOUT_FILENO);
    close(out_pipe[0]);
    execl(QUENMARK_EXE, QUENMARK_EXE, "serve", "--root", site.Path().c_str(), "--port", "0",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out_pipe[1]);
  std::string output;
  char buffer[256];
  while (output.find("/ in your browser") == std::string::npos) {
    ssize_t n = read(out_pipe[0], buffer, sizeof buffer);
    if (n <= 0) break;
    output.append(buffer, static_cast<size_t>(n));
  }
  size_t url_start = output.find("http://127.0.0.1:");
  ASSERT_NE(url_start, std::string::npos) << output;
  int port = std::atoi(output.c_str() + url_start + 17);
  httplib::Client client("127.0.0.1", port);
  auto res = client.Get("/");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->body, "served");

  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  close(out_pipe[0]);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

// A grid's database error is shown on the page and written to stderr with the page and the
// statement, never with the connection string; databases outside the root and the --data
// folders are out of reach.
TEST(RunCommandTest, GridFailuresAreLoggedAndDataFilesStayInReach) {
  TempSite site;
  TempSite data;
  std::filesystem::copy_file(fixture::FixtureDatabasePath(), data.Path("store.db"));
  auto grid_page = [&](const std::string& name, const std::string& command) {
    return site.Write(name, "local grid = Server.CreateObject('Quenmark.DataGrid')\n"
                            "grid:CreateConnection('Provider=SQLite;Data Source=" +
                                data.Path("store.db") + "')\ngrid.Command = '" + command +
                                "'\ngrid:Display()\n");
  };
  std::string bad = grid_page("bad.lua", "SELECT nope FROM missing_table");
  auto failed = RunPage(bad, {"--data", data.Path()});
  EXPECT_EQ(failed.exit_code, 0);
  EXPECT_EQ(failed.status, 200);
  EXPECT_THAT(failed.body, HasSubstr("no such table: missing_table"));
  EXPECT_THAT(failed.error_output,
              HasSubstr("quenmark: grid error in /bad.lua: no such table: missing_table; "
                        "statement: SELECT nope FROM missing_table"));
  EXPECT_THAT(failed.error_output, ::testing::Not(HasSubstr("Provider=SQLite")));

  std::string good = grid_page("good.lua", "SELECT CompanyName FROM Shippers");
  auto reached = RunPage(good, {"--data", data.Path()});
  EXPECT_THAT(reached.body, HasSubstr("<table"));
  EXPECT_EQ(reached.error_output, "");
  auto refused = RunPage(good);
  EXPECT_THAT(refused.body, HasSubstr("is outside the web root and the server"));
  EXPECT_THAT(refused.error_output, HasSubstr("quenmark: grid error in /good.lua: The SQLite database"));
}

}  // namespace
}  // namespace quenmark
