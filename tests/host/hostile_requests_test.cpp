// Hostile requests against a live server on loopback: each row is a raw request and the exact
// answer expected, and after every row the server must still answer a normal request. Add rows
// to `Catalogue()` when a page kind or parser is added.

#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/fixture_db.h"
#include "host/temp_site.h"
#include "quenmark/host.h"

namespace quenmark {
namespace {

using test_support::TempSite;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr char kScript[] = "<script>alert(1)</script>";

struct Answer {
  int status = 0;  // 0: the connection closed without an answer
  std::string head;
  std::string body;
};

// One raw exchange; reads until the server closes or `wait` passes.
Answer Exchange(int port, const std::string& raw, const char* source = "127.0.0.1",
                std::chrono::milliseconds wait = std::chrono::milliseconds(5000)) {
  Answer answer;
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  inet_pton(AF_INET, source, &local.sin_addr);
  ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return answer;
  }
  size_t sent = 0;
  while (sent < raw.size()) {
    ssize_t n = ::send(fd, raw.data() + sent, raw.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<size_t>(n);
  }
  std::string all;
  auto deadline = std::chrono::steady_clock::now() + wait;
  char buffer[65536];
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) continue;
    ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    all.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  size_t end = all.find("\r\n\r\n");
  if (all.rfind("HTTP/1.", 0) != 0 || end == std::string::npos) return answer;
  answer.status = std::stoi(all.substr(9, 3));
  answer.head = all.substr(0, end);
  answer.body = all.substr(end + 4);
  return answer;
}

std::string Get(const std::string& target, const std::string& headers = "") {
  return "GET " + target + " HTTP/1.1\r\nHost: localhost\r\n" + headers +
         "Connection: close\r\n\r\n";
}

std::string Post(const std::string& target, const std::string& body,
                 const std::string& type = "application/x-www-form-urlencoded") {
  return "POST " + target + " HTTP/1.1\r\nHost: localhost\r\nContent-Type: " + type +
         "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
         body;
}

// Status of a row whose answer is 400 or a closed connection.
constexpr int kBadOrClosed = -400;

struct Row {
  std::string name;
  std::string request;
  int status;
  std::vector<std::string> present;  // in the head or the body
  std::vector<std::string> absent;
};

std::vector<Row> Catalogue() {
  const std::string xss = "%3Cscript%3Ealert(1)%3C%2Fscript%3E";
  std::vector<Row> rows = {
      // Traversal and encoding tricks: refused before the path is mapped.
      {"encoded backslash to a dot-file", Get("/%5c.env"), 400, {"Bad Request", "href=\"/\""}, {"SECRET"}},
      {"raw backslash to a dot-file", Get("/\\.env"), 400, {}, {"SECRET"}},
      {"backslashes to .git", Get("/%5c.git%5cconfig"), 400, {}, {}},
      {"text before a page name", Get("/%22%3E%3Cimg%3E%5C..%5Cecho.lua"), 400, {}, {"<img>"}},
      {"encoded slash", Get("/sub%2findex.qsp"), 400, {}, {}},
      {"encoded NUL", Get("/index.lua%00.txt"), 400, {}, {}},
      {"dot-file", Get("/.env"), 404, {}, {"SECRET"}},
      {"dot-dot outside the root", Get("/%2e%2e/outside.txt"), 404, {}, {"OUTSIDE-SECRET"}},
      {"dot-dot raw", Get("/../outside.txt"), 404, {}, {"OUTSIDE-SECRET"}},
      {"folder redirect stays on the site", Get("//evil.example/sub"), 301,
       {"Location: /evil.example/sub/\r\n"}, {"Location: //"}},
      {"folder redirect keeps the query", Get("/sub?x=1"), 301, {"Location: /sub/?x=1"}, {}},
      // Reflected fields: the error pages and pages escape what they show.
      {"script in a missing path", Get("/%3Cscript%3Ealert(1)%3C/script%3E.html"), 404,
       {"&lt;script&gt;"}, {kScript}},
      {"script in the query of a page", Get("/xss.lua?q=" + xss), 200, {"&lt;script&gt;"}, {kScript}},
      {"script in a posted field", Post("/xss.lua", "q=" + xss), 200, {"&lt;script&gt;"}, {kScript}},
      {"script in a header", Get("/xss.lua?h=1", std::string("X-Q: ") + kScript + "\r\n"), 200,
       {"&lt;script&gt;"}, {kScript}},
      {"script in the grid filter", Post("/grid.lua", "rsfilter=" + xss), 200, {}, {kScript}},
      {"script in the grid sort", Post("/grid.lua", "sort=" + xss + "&lastsort=" + xss), 200, {},
       {kScript}},
      {"script in the grid report return", Get("/grid.lua?rurl1=" + xss), 200, {}, {kScript}},
      {"tampered grid argument", Post("/grid.lua", "__FARGS=%21%21not-base64%21%21"), 200, {}, {}},
      {"grid argument with a script", Post("/grid.lua", "__FARGS=MXNvcnQ6PHNjcmlwdD47bGFzdHNvcnQ6Ow%3D%3D"),
       200, {}, {kScript}},
      {"grid start at the integer limit", Post("/grid.lua", "start=2147483647&npagesize=10"), 200,
       {}, {}},
      // Oversized and malformed requests.
      {"body over the limit", Post("/echo.lua", std::string(20000, 'a')), 413, {}, {}},
      {"url-encoded body of 12 KB is read", Post("/echo.lua", "f=" + std::string(12000, 'a')), 200,
       {"POST:12000"}, {}},
      {"unknown method", "PUT /index.lua HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n", 405,
       {"Allow: GET, HEAD, POST"}, {}},
      // Malformed request lines: 400, or a reset when the server closes before reading the rest.
      {"garbage request line", "GARBAGE\r\n\r\n", kBadOrClosed, {}, {}},
      {"request line with control characters", "GET /a\x01\x1b[2J HTTP/1.1\r\nHost: x\r\n\r\n",
       kBadOrClosed, {}, {}},
      {"header section over 64 KB", Get("/", "X-Big: " + std::string(100000, 'b') + "\r\n"), 431, {}, {}},
      {"chunked body", "POST /echo.lua HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n"
                       "Content-Type: application/x-www-form-urlencoded\r\nConnection: close\r\n\r\n"
                       "4\r\nf=ab\r\n0\r\n\r\n", 200, {"POST:2"}, {}},
      {"multipart text fields", Post("/echo.lua",
                                     "--qmb\r\nContent-Disposition: form-data; name=\"f\"\r\n\r\nxyz\r\n"
                                     "--qmb\r\nContent-Disposition: form-data; name=\"up\"; filename=\"a.txt\"\r\n"
                                     "\r\nfile\r\n--qmb--\r\n",
                                     "multipart/form-data; boundary=qmb"),
       200, {"POST:3"}, {}},
  };
  std::string repeated;
  for (int i = 0; i < 300; ++i) repeated += "X-A: 0123456789\r\n";
  rows.push_back({"300 repeated headers", Get("/headers.lua", repeated), 200, {"HEADERS:3598"}, {}});
  // Many more fill the header memory of the connection (64 KB with the server's bookkeeping).
  std::string flood;
  for (int i = 0; i < 5000; ++i) flood += "X-A: 0123456789\r\n";
  rows.push_back({"5000 repeated headers", Get("/headers.lua", flood), 431, {}, {}});
  return rows;
}

class HostileRequestsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    site_.Write("index.lua", "Response.Write('home')");
    site_.Write(".env", "SECRET=1");
    site_.Write("sub/index.qsp", "sub");
    site_.Write("evil.example/sub/index.lua", "Response.Write('inner')");
    site_.Write("echo.lua",
                "Response.Write(Request.ServerVariables('REQUEST_METHOD') .. ':' .. #Request.Form('f'))");
    site_.Write("headers.lua", "Response.Write('HEADERS:' .. #Request.ServerVariables('HTTP_X_A'))");
    site_.Write("xss.lua",
                "local v = Request('q') if Request('h') ~= '' then v = "
                "Request.ServerVariables('HTTP_X_Q') end Response.Write(Server.HTMLEncode(v))");
    std::filesystem::create_directories(site_.Path("data"));
    std::filesystem::copy_file(fixture::FixtureDatabasePath(), site_.Path("data/demo.db"));
    site_.Write("grid.lua",
                "local grid = Server.CreateObject('Quenmark.DataGrid')\n"
                "grid:CreateConnection('Provider=SQLite;Data Source=' .. Server.MapPath('data/demo.db'))\n"
                "grid.Command = 'SELECT ProductID, ProductName, UnitPrice FROM Products'\n"
                "grid.PageSize = 10\ngrid:Display()\n");
    outside_ = site_.Write("../outside.txt", "OUTSIDE-SECRET");

    HostOptions options;
    options.root = site_.Path();
    options.port = 0;
    options.access_log = false;
    options.max_request_bytes = 16000;
    options.max_connections_per_client = 8;
    options.header_deadline = std::chrono::milliseconds(1500);
    host_ = std::make_unique<WebHost>(options);
    ASSERT_TRUE(host_->Bind().ok());
    thread_ = std::thread([this] { host_->Serve(); });
    for (int i = 0; i < 200 && Exchange(host_->Port(), Get("/")).status != 200; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  void TearDown() override {
    host_->Stop();
    thread_.join();
    std::filesystem::remove(outside_);
  }

  void ExpectStillServing(const std::string& after) {
    Answer normal = Exchange(host_->Port(), Get("/"));
    EXPECT_EQ(normal.status, 200) << "after " << after;
    EXPECT_EQ(normal.body, "home") << "after " << after;
  }

  TempSite site_;
  std::string outside_;
  std::unique_ptr<WebHost> host_;
  std::thread thread_;
};

TEST_F(HostileRequestsTest, EachRequestGetsItsExactAnswer) {
  for (const Row& row : Catalogue()) {
    Answer answer = Exchange(host_->Port(), row.request);
    if (row.status == kBadOrClosed) {
      EXPECT_TRUE(answer.status == 400 || answer.status == 0) << row.name << ": " << answer.status;
    } else {
      EXPECT_EQ(answer.status, row.status) << row.name;
    }
    std::string all = answer.head + "\r\n" + answer.body;
    for (const std::string& text : row.present) EXPECT_THAT(all, HasSubstr(text)) << row.name;
    for (const std::string& text : row.absent) EXPECT_THAT(all, Not(HasSubstr(text))) << row.name;
    ExpectStillServing(row.name);
  }
}

// Slow clients once took every worker: eight clients sending a header line every few seconds
// stopped the server answering anyone.
TEST_F(HostileRequestsTest, SlowClientsStarveNoOne) {
  auto connect_from = [&](const char* source) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, source, &local.sin_addr);
    ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(host_->Port()));
    inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::send(fd, "GET / HTTP/1.1\r\n", 16, MSG_NOSIGNAL);
    return fd;
  };
  // Eight per address is the bound; 40 slow clients from five addresses.
  std::vector<int> slow;
  for (const char* source : {"127.0.0.2", "127.0.0.3", "127.0.0.4", "127.0.0.5", "127.0.0.6"}) {
    for (int i = 0; i < 8; ++i) slow.push_back(connect_from(source));
  }
  // Over the bound: closed at once.
  int extra = connect_from("127.0.0.2");
  char byte;
  pollfd p{extra, POLLIN, 0};
  ASSERT_EQ(::poll(&p, 1, 2000), 1);
  EXPECT_LE(::recv(extra, &byte, 1, 0), 0);
  ::close(extra);

  for (int round = 0; round < 3; ++round) {
    for (int fd : slow) ::send(fd, "X-Slow: 1\r\n", 11, MSG_NOSIGNAL);
    auto start = std::chrono::steady_clock::now();
    ExpectStillServing("slow clients");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
  }
  // The header deadline (1.5 s here) cuts every slow client off.
  std::this_thread::sleep_for(std::chrono::milliseconds(1200));
  int closed = 0;
  for (int fd : slow) {
    pollfd q{fd, POLLIN, 0};
    if (::poll(&q, 1, 1000) == 1 && ::recv(fd, &byte, 1, 0) <= 0) ++closed;
    ::close(fd);
  }
  EXPECT_EQ(closed, static_cast<int>(slow.size()));
}

}  // namespace
}  // namespace quenmark
