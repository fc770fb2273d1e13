// A real server on loopback, driven by an HTTP client.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>

#include "host/temp_site.h"
#include "quenmark/database.h"
#include "quenmark/dispatch.h"
#include "quenmark/host.h"

namespace quenmark {
namespace {

using test_support::TempSite;
using ::testing::HasSubstr;

class WebHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    site_.Write("style.css", "body { color: red; }");
    site_.Write("index.lua", "Response.Write('home')");
    site_.Write("sub/index.qsp", "<p><%= Request.QueryString('x') %></p>");
    site_.Write(".env", "SECRET=1");
    site_.Write(
        "echo.lua",
        "Response.Write(Request.ServerVariables('REQUEST_METHOD') .. ':' .. "
        "Request.QueryString('q') .. ':' .. Request.Form('f') .. ':' .. Request.Form.Count)");
    site_.Write("count.lua", "local n = (Session('n') or 0) + 1 Session('n', n) Response.Write(n)");
    site_.Write("read.lua", "Response.Write(tostring(Session('n')))");
    site_.Write("forget.lua", "Session.Abandon()");
    site_.Write("app.lua",
                "Application('hits', (Application('hits') or 0) + 1) "
                "Response.Write(Application('hits'))");
    site_.Write("fail.lua", "\nerror('nope')");
    site_.Write("move.lua", "Response.Redirect('/index.lua')");
    site_.Write("rotate.lua",
                "local old = Session.SessionID Session.Abandon() Session('n', 5) "
                "Response.Write(tostring(old ~= Session.SessionID))");
    site_.Write("big.lua", "local s = string.rep('x', 1024) for i = 1, 2048 do Response.Write(s) end");
    MakeDatabase(site_.Path("data/t.db"), 1);
    MakeDatabase(data_.Path("d.db"), 2);
    MakeDatabase(outside_db_.Path("o.db"), 3);
    outside_ = site_.Write("../outside_" + std::to_string(::getpid()) + ".txt", "outside");

    HostOptions options;
    options.root = site_.Path();
    options.port = 0;
    options.max_request_bytes = 4096;
    options.access_log = false;
    options.max_response_bytes = size_t{1} << 20;
    options.data_folders = {data_.Path()};
    host_ = std::make_unique<WebHost>(options);
    // Counts rows through a connection the page opens; "begin" leaves a transaction open.
    host_->Handle("/db", [](PageContext& page) {
      std::string file = page.request.QueryString().Get("file");
      auto connection = Connection::Open("sqlite:" + file);
      if (!connection.ok()) {
        page.response.Write(connection.Description());
        return;
      }
      if (page.request.QueryString().Get("begin") == "1") (void)(*connection)->Execute("BEGIN");
      auto rows = (*connection)->Execute("SELECT COUNT(*) FROM t");
      page.response.Write(rows.ok() ? (*rows)->Value(0).ToText() : rows.Description());
    });
    // Leaves settings, a temporary table and an open transaction behind ("dirty"), or reports
    // what a page finds on its connection.
    host_->Handle("/pg", [](PageContext& page) {
      auto connection = Connection::Open(std::getenv("QUENMARK_TEST_PG"));
      if (!connection.ok()) {
        page.response.Write(connection.Description());
        return;
      }
      Connection& c = **connection;
      if (page.request.QueryString().Get("dirty") == "1") {
        for (const char* sql : {"SET application_name = 'dirty'", "CREATE TEMP TABLE qm_probe (a int)",
                                "BEGIN", "SELECT 1"}) {
          (void)c.Execute(sql);
        }
        return;
      }
      auto rows = c.Execute(
          "SELECT current_setting('application_name') || ':' || (SELECT count(*) FROM pg_class "
          "WHERE relname = 'qm_probe') || ':' || pg_backend_pid()");
      page.response.Write(rows.ok() ? (*rows)->Value(0).ToText() : rows.Description());
    });
    host_->Handle("/cpp", [](PageContext& page) {
      Variant object = page.server.CreateObject("Quenmark.StringBuffer");
      CallMember(*object.ToObject(), "Append", {Variant("from ")});
      CallMember(*object.ToObject(), "Append", {Variant(page.request.QueryString().Get("who"))});
      page.response.Write(CallMember(*object.ToObject(), "ToString").ToText());
      page.response.Write(CurrentPageContext() == &page ? " bound" : " unbound");
    });
    // A streamed body: what the page wrote, then the stream's pieces; one stream fails part-way.
    host_->Handle("/stream", [](PageContext& page) {
      page.response.Write("head;");
      const bool fail = page.request.QueryString().Get("fail") == "1";
      page.response.StreamBody([fail](const BodySink& sink) {
        for (int i = 0; i < 3; ++i) {
          if (fail && i == 1) throw std::runtime_error("lost the database");
          sink(std::string(100000, static_cast<char>('a' + i)));
        }
      });
    });
    ASSERT_TRUE(host_->Bind().ok());
    server_thread_ = std::thread([this] { host_->Serve(); });
    client_ = std::make_unique<httplib::Client>("127.0.0.1", host_->Port());
    for (int i = 0; i < 200; ++i) {
      if (client_->Get("/style.css")) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }

  void TearDown() override {
    host_->Stop();
    server_thread_.join();
    std::remove(outside_.c_str());
  }

  static void MakeDatabase(const std::string& path, int rows) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    // A new file each time (a new inode), as a tool that regenerates a database makes it.
    std::string temporary = path + ".new";
    std::filesystem::remove(temporary);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(temporary.c_str(), &db), SQLITE_OK);
    std::string sql = "CREATE TABLE t (a);";
    for (int i = 0; i < rows; ++i) sql += "INSERT INTO t VALUES (" + std::to_string(i) + ");";
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    std::filesystem::rename(temporary, path);
  }

  std::string Body(const std::string& path) {
    auto res = client_->Get(path);
    return res ? res->body : "(no answer)";
  }

  TempSite site_;
  TempSite data_;
  TempSite outside_db_;
  std::string outside_;
  std::unique_ptr<WebHost> host_;
  std::thread server_thread_;
  std::unique_ptr<httplib::Client> client_;
};

TEST_F(WebHostTest, ServesFilesPagesAndFolders) {
  struct Case {
    const char* path;
    int status;
    const char* content_type;
    const char* body;
  };
  const Case cases[] = {{"/style.css", 200, "text/css; charset=utf-8", "body { color: red; }"},
                        {"/", 200, "text/html; charset=utf-8", "home"},
                        {"/sub/?x=%3Cb%3E", 200, "text/html; charset=utf-8", "<p><b></p>"},
                        {"/echo.lua?q=a%20b&q=c", 200, "text/html; charset=utf-8", "GET:a b, c::0"},
                        {"/missing.html", 404, nullptr, nullptr},
                        {"/.env", 404, nullptr, nullptr},
                        {"/../outside.txt", 404, nullptr, nullptr},
                        {"/%2e%2e/outside.txt", 404, nullptr, nullptr},
                        {"/cpp?who=c%2B%2B", 200, "text/html; charset=utf-8", "from c++ bound"}};
  for (const Case& c : cases) {
    auto res = client_->Get(c.path);
    ASSERT_TRUE(res) << c.path;
    EXPECT_EQ(res->status, c.status) << c.path;
    if (c.content_type) {
      EXPECT_EQ(res->get_header_value("Content-Type"), c.content_type) << c.path;
    }
    if (c.body) {
      EXPECT_EQ(res->body, c.body) << c.path;
    }
  }
  auto folder = client_->Get("/sub?x=1");
  ASSERT_TRUE(folder);
  EXPECT_EQ(folder->status, 301);
  EXPECT_EQ(folder->get_header_value("Location"), "/sub/?x=1");
}

TEST_F(WebHostTest, PostedFormsAndLimits) {
  auto res = client_->Post("/echo.lua?q=1", "f=x%20y&f=&g=2", "application/x-www-form-urlencoded");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->body, "POST:1:x y, :2");

  auto too_big =
      client_->Post("/echo.lua", std::string(10000, 'a'), "application/x-www-form-urlencoded");
  ASSERT_TRUE(too_big);
  EXPECT_EQ(too_big->status, 413);

  auto static_post = client_->Post("/style.css", "a=1", "application/x-www-form-urlencoded");
  ASSERT_TRUE(static_post);
  EXPECT_EQ(static_post->status, 405);
}

TEST_F(WebHostTest, SessionsFollowTheCookie) {
  auto first = client_->Get("/count.lua");
  ASSERT_TRUE(first);
  EXPECT_EQ(first->body, "1");
  std::string cookie = first->get_header_value("Set-Cookie");
  EXPECT_THAT(cookie, HasSubstr("HttpOnly"));
  EXPECT_THAT(cookie, HasSubstr("SameSite=Lax"));
  std::string pair = cookie.substr(0, cookie.find(';'));

  httplib::Headers with_cookie = {{"Cookie", pair}};
  auto second = client_->Get("/count.lua", with_cookie);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->body, "2");
  EXPECT_FALSE(second->has_header("Set-Cookie"));

  auto stranger = client_->Get("/read.lua");  // no cookie: a new, empty session
  ASSERT_TRUE(stranger);
  EXPECT_EQ(stranger->body, "nil");
  EXPECT_FALSE(stranger->has_header("Set-Cookie"));  // nothing stored, nothing kept

  auto forged = client_->Get("/read.lua", {{"Cookie", "QMSESSION=0123456789abcdef"}});
  ASSERT_TRUE(forged);
  EXPECT_EQ(forged->body, "nil");

  auto forget = client_->Get("/forget.lua", with_cookie);
  ASSERT_TRUE(forget);
  EXPECT_THAT(forget->get_header_value("Set-Cookie"), HasSubstr("Max-Age=0"));
  auto after = client_->Get("/read.lua", with_cookie);
  ASSERT_TRUE(after);
  EXPECT_EQ(after->body, "nil");

  EXPECT_EQ(client_->Get("/app.lua")->body, "1");
  EXPECT_EQ(client_->Get("/app.lua")->body, "2");
}

TEST_F(WebHostTest, ErrorsAndRedirects) {
  auto failed = client_->Get("/fail.lua");
  ASSERT_TRUE(failed);
  EXPECT_EQ(failed->status, 500);
  EXPECT_THAT(failed->body, HasSubstr("Page: <b>/fail.lua</b>, line <b>2</b>"));

  auto moved = client_->Get("/move.lua");
  ASSERT_TRUE(moved);
  EXPECT_EQ(moved->status, 302);
  EXPECT_EQ(moved->get_header_value("Location"), "/index.lua");
}

TEST_F(WebHostTest, AbandonGivesTheSessionANewId) {
  auto first = client_->Get("/count.lua");
  ASSERT_TRUE(first);
  std::string old_cookie = first->get_header_value("Set-Cookie");
  std::string old_pair = old_cookie.substr(0, old_cookie.find(';'));
  auto rotated = client_->Get("/rotate.lua", {{"Cookie", old_pair}});
  ASSERT_TRUE(rotated);
  EXPECT_EQ(rotated->body, "true");
  std::string cookie = rotated->get_header_value("Set-Cookie");
  std::string pair = cookie.substr(0, cookie.find(';'));
  EXPECT_NE(pair, old_pair);
  EXPECT_EQ(pair.size(), old_pair.size());
  auto by_new = client_->Get("/read.lua", {{"Cookie", pair}});
  EXPECT_EQ(by_new->body, "5");
  auto by_old = client_->Get("/read.lua", {{"Cookie", old_pair}});
  EXPECT_EQ(by_old->body, "nil");
}

TEST_F(WebHostTest, ResponsesAreCapped) {
  auto res = client_->Get("/big.lua");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 500);
  EXPECT_THAT(res->body, HasSubstr("larger than the server&#39;s limit of 1 MB"));
}

TEST_F(WebHostTest, StaticFilesFollowTheirChanges) {
  EXPECT_EQ(Body("/style.css"), "body { color: red; }");
  site_.Write("style.css", "body { color: blue; }");  // same size, new modification time
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  site_.Write("style.css", "body { color: blue; }");
  EXPECT_EQ(Body("/style.css"), "body { color: blue; }");
  site_.Write("style.css", "p {}");
  EXPECT_EQ(Body("/style.css"), "p {}");
}

TEST_F(WebHostTest, PagesSeeFreshConnectionsToFilesTheyMayReach) {
  std::string own = "/db?file=" + site_.Path("data/t.db");
  // Several rounds so that reused connections are handed out.
  for (int round = 0; round < 3; ++round) EXPECT_EQ(Body(own + "&begin=1"), "1");
  // A connection left in a transaction would still see the old snapshot.
  MakeDatabase(site_.Path("data/t.db"), 4);
  for (int round = 0; round < 3; ++round) EXPECT_EQ(Body(own), "4");
  {
    auto writer = Connection::Open("Provider=SQLite;Mode=ReadWrite;Data Source=" +
                                   site_.Path("data/t.db"));
    ASSERT_TRUE((*writer)->Execute("INSERT INTO t VALUES (9); SELECT 1").ok());
  }
  for (int round = 0; round < 3; ++round) EXPECT_EQ(Body(own), "5");
  EXPECT_EQ(Body("/db?file=" + data_.Path("d.db")), "2");
  EXPECT_THAT(Body("/db?file=" + outside_db_.Path("o.db")),
              HasSubstr("is outside the web root and the server's data folders"));
  EXPECT_THAT(Body("/db?file=" + site_.Path("data/../../" +
                                             std::filesystem::path(outside_db_.Path()).filename().string() +
                                             "/o.db")),
              HasSubstr("is outside the web root"));
}

TEST_F(WebHostTest, ASecondServerCannotTakeTheSamePort) {
  HostOptions options;
  options.root = site_.Path();
  options.port = host_->Port();
  WebHost second(options);
  Status bound = second.Bind();
  EXPECT_FALSE(bound.ok());
  EXPECT_THAT(bound.Description(), HasSubstr("already in use"));

  std::string command = std::string(QUENMARK_EXE) + " serve --root " + site_.Path() +
                        " --port " + std::to_string(host_->Port()) + " 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buffer[256];
  while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
  int status = ::pclose(pipe);
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_THAT(output, HasSubstr("is already in use"));
  EXPECT_EQ(Body("/"), "home");
}

// The listen backlog was 5: a burst of new visitors was refused while the server was busy.
TEST_F(WebHostTest, ListenBacklogTakesABurst) {
  std::string command =
      "ss -ltnH 'sport = :" + std::to_string(host_->Port()) + "' 2>/dev/null";
  FILE* pipe = ::popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  char line[512] = "";
  bool read = std::fgets(line, sizeof line, pipe) != nullptr;
  ::pclose(pipe);
  if (!read) GTEST_SKIP() << "ss (iproute2) not available";
  std::string state;
  long queued = 0, backlog = 0;
  std::istringstream(line) >> state >> queued >> backlog;
  EXPECT_EQ(state, "LISTEN");
  EXPECT_GE(backlog, 128);
}

TEST_F(WebHostTest, PooledPostgresConnectionsStartClean) {
  if (!std::getenv("QUENMARK_TEST_PG")) GTEST_SKIP() << "QUENMARK_TEST_PG not set";
  std::set<std::string> backends;
  for (int round = 0; round < 12; ++round) {
    ASSERT_EQ(Body("/pg?dirty=1"), "");
    std::string seen = Body("/pg");
    ASSERT_EQ(seen.rfind(":0:", 0), 0u) << seen;  // no name, no temporary table
    backends.insert(seen.substr(3));
  }
  EXPECT_LT(backends.size(), 12u);  // connections were reused
}

TEST_F(WebHostTest, StreamedBodiesGoOutChunked) {
  auto reply = client_->Get("/stream");
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->get_header_value("Transfer-Encoding"), "chunked");
  EXPECT_EQ(reply->body, "head;" + std::string(100000, 'a') + std::string(100000, 'b') +
                             std::string(100000, 'c'));
  // A stream that fails part-way cuts the transfer: the client never sees a complete reply.
  auto cut = client_->Get("/stream?fail=1");
  EXPECT_FALSE(cut && cut->body.size() == 300005);
}

}  // namespace
}  // namespace quenmark
