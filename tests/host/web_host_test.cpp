// A real server on loopback, driven by an HTTP client.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <memory>
#include <thread>

#include "host/temp_site.h"
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
    outside_ = site_.Write("../outside_" + std::to_string(::getpid()) + ".txt", "outside");

    HostOptions options;
    options.root = site_.Path();
    options.port = 0;
    options.max_request_bytes = 4096;
    options.access_log = false;
    host_ = std::make_unique<WebHost>(options);
    host_->Handle("/cpp", [](PageContext& page) {
      Variant object = page.server.CreateObject("Quenmark.StringBuffer");
      CallMember(*object.ToObject(), "Append", {Variant("from ")});
      CallMember(*object.ToObject(), "Append", {Variant(page.request.QueryString().Get("who"))});
      page.response.Write(CallMember(*object.ToObject(), "ToString").ToText());
      page.response.Write(CurrentPageContext() == &page ? " bound" : " unbound");
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

  TempSite site_;
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

}  // namespace
}  // namespace quenmark
