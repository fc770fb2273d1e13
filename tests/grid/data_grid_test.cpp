// The grid in-process: a page context built in C++ over a small SQLite database.

#include "quenmark/data_grid.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "grid/in_process_grid.h"
#include "quenmark/database.h"
#include "quenmark/shared_procedures.h"

namespace quenmark {
namespace {

using testing::EndsWith;
using testing::HasSubstr;
using testing::Not;

// Items 1 to 30 and a value too large to draw.
std::string ItemsUrl() {
  static const std::string url = [] {
    std::string sql =
        "CREATE TABLE items (id INTEGER PRIMARY KEY, name TEXT, price REAL);"
        "CREATE TABLE huge (name TEXT, amount REAL);"
        "INSERT INTO huge VALUES ('a', 1e300), ('b', 2);";
    for (int i = 1; i <= 30; ++i) {
      sql += "INSERT INTO items VALUES (" + std::to_string(i) + ", 'Item " +
             std::to_string(i) + "', " + std::to_string(i) + ".5);";
    }
    return test_grid::Database("data_grid", sql);
  }();
  return url;
}

std::string Items(int count) {
  return "SELECT id, name, price FROM items WHERE id <= " + std::to_string(count);
}

// A grid request that shows `command` with the default settings plus `setup`.
struct GridPage : test_grid::GridRequest {
  GridPage& Form(std::string name, std::string value) {
    GridRequest::Form(std::move(name), std::move(value));
    return *this;
  }
  std::string Show(const std::string& command, const std::function<void(DataGrid&)>& setup = {}) {
    return Run([&](DataGrid& grid) {
      grid.CreateConnection(ItemsUrl());
      grid.Command(command);
      if (setup) setup(grid);
      grid.Display();
    });
  }
};

using test_grid::CountOf;

struct RowsCase {
  int rows, page_size, start, shown;
  bool paging;
};

TEST(DataGridTest, PagesOrShowsTheResultWhole) {
  const RowsCase cases[] = {{11, 10, 1, 11, false},  // one spare row
                            {12, 10, 1, 10, true},
                            {30, 0, 1, 30, false},   // paging off
                            {25, 10, 100, 0, true},  // beyond the end
                            {25, 10, -4, 10, true}};
  for (const RowsCase& c : cases) {
    const std::string body = GridPage().Show(Items(c.rows), [&](DataGrid& grid) {
      grid.PageSize(static_cast<int16_t>(c.page_size));
      grid.StartRec(c.start);
    });
    EXPECT_EQ(CountOf(body, "<td nowrap width=1>"), c.shown) << c.rows << "/" << c.start;
    EXPECT_EQ(body.find("recs)") != std::string::npos, c.paging) << c.rows << "/" << c.start;
    EXPECT_THAT(body, HasSubstr("<tr ><th>"));
  }
}

TEST(DataGridTest, RequestValuesAreEscapedWhereTheyAreWrittenBack) {
  GridPage page;
  page.request.SetServerVariable("URL", "/a\"b.lua");
  page.Form("pagesize", "10").Form("start", "1").Form("rurl1", "7\"><script>");
  page.Form("rsfilter", "[name] <> 'x\" onmouseover=\"y'");
  page.Form("sort", "1; DROP TABLE items");
  const std::string body = page.Show(Items(25));
  EXPECT_THAT(body, HasSubstr("action=\"/a&quot;b.lua\""));
  EXPECT_THAT(body, HasSubstr("name=rsfilter value=\"[name] &lt;&gt; &#39;x&quot; "
                              "onmouseover=&quot;y&#39;\""));
  EXPECT_THAT(body, HasSubstr("<a  href=\"/a&quot;b.lua?rid=7%22%3E%3Cscript%3E\">Return</a>"
                              "</div><input type=hidden name=rurl1 value=\"7&quot;&gt;&lt;"
                              "script&gt;\">"));
  // The tampered order never reached the statement: the grid shows rows unordered.
  EXPECT_THAT(body, HasSubstr("<input type=hidden name=sort value=\"\">"));
  EXPECT_EQ(CountOf(body, "<td nowrap width=1>"), 10);
}

TEST(DataGridTest, InvalidFilterIsReportedEscapedAndDropped) {
  GridPage page;
  page.Form("pagesize", "10").Form("start", "1").Form("rsfilter", "[nosuch] <b>= 1");
  const std::string body = page.Show(Items(25));
  EXPECT_THAT(body, HasSubstr("<font color=red>Your filter is invalid!</font><br>"
                              "[nosuch] &lt;b&gt;= 1"));
  EXPECT_THAT(body, HasSubstr("Page 1 of 3 (25 recs)"));
}

TEST(DataGridTest, FragmentsAndAlternateRowFallback) {
  const std::string body = GridPage().Show(Items(3), [](DataGrid& grid) {
    grid.ItemClassName("item");
    grid.AltItemClassName("alt");
    grid.AltItemClassName("");
    grid.ItemStyle("color:red");
    grid.AltItemStyle("color:blue");
    grid.GridClassName("grid");
    grid.GridAlign("center");
    grid.HeaderClassName("head");
    grid.AddRowNumbers(false);
  });
  EXPECT_THAT(body, HasSubstr("cellspacing=\"1\" align=\"center\" class=\"grid\"><tr  "
                              "class=\"head\"><th>"));
  EXPECT_THAT(body, HasSubstr("<tr class=\"item\" style=\"color:red\"><td class=\"number\">1<"));
  EXPECT_THAT(body, HasSubstr("<tr class=\"item\" style=\"color:blue\"><td class=\"number\">2<"));
}

TEST(DataGridTest, PrintModeWritesBlocksWithoutLinks) {
  // Blocks of PageSize + 1 rows, each followed by a page break, the header repeated while rows
  // remain; a page size of 0 prints every row in one block.
  const struct {
    const char* page_size;
    int breaks;
  } cases[] = {{"10", 3}, {"0", 1}};
  for (const auto& c : cases) {
    GridPage page;
    page.Form("pagesize", c.page_size).Form("start", "1").Form("__FARGS", EncodeBase64("5"));
    const std::string body = page.Show(Items(25));
    EXPECT_EQ(CountOf(body, "<div style=\"page-break-after:always;\">&nbsp;</div>"), c.breaks)
        << c.page_size;
    EXPECT_EQ(CountOf(body, "<tr ><th>"), c.breaks) << c.page_size;
    EXPECT_EQ(CountOf(body, "<td nowrap width=1>"), 25);
    EXPECT_THAT(body, HasSubstr("<th><a>id</a></th>"));
    EXPECT_THAT(body, Not(HasSubstr(">Print</a>")));
    EXPECT_THAT(body, HasSubstr("<td width=\"99%\">&nbsp;</td>&nbsp;<a  href=\"" +
                                std::string("javascript:__doPostBack('") +
                                EncodeBase64("2start:1;") +
                                "')\" title=\"Reset grid\"><font color=gray>Close</font></a>"));
  }
}

TEST(DataGridTest, ReturnLinkFromTheQueryString) {
  GridPage page;
  page.request.QueryString().Add("rurl1", "7");
  const std::string body =
      page.Show(Items(3), [](DataGrid& grid) { grid.PagingLinkClass("nav"); });
  EXPECT_THAT(body, EndsWith("</form><div align=center><a  class=\"nav\" href=\"/grid.lua?rid=7\">"
                             "Return</a></div><input type=hidden name=rurl1 value=\"7\">"));
}

// Records the statements a grid runs over a real connection, under another connection string.
class RecordingConnection : public Connection {
 public:
  explicit RecordingConnection(std::string connection_string)
      : inner_(std::move(Connection::Open(ItemsUrl()).value())),
        connection_string_(std::move(connection_string)) {}
  const std::string& ConnectionString() const override { return connection_string_; }
  Result<std::unique_ptr<Recordset>> Execute(std::string_view sql, int64_t max) override {
    statements.push_back(std::string(sql) + " /" + std::to_string(max));
    return inner_->Execute(sql, max);
  }
  Result<std::unique_ptr<Recordset>> Call(const Command& c, int64_t max) override {
    return inner_->Call(c, max);
  }
  Result<std::vector<CatalogEntry>> Tables() override { return inner_->Tables(); }
  Result<std::vector<CatalogEntry>> Views() override { return inner_->Views(); }
  Result<std::vector<CatalogEntry>> Procedures() override { return inner_->Procedures(); }
  Result<std::vector<ProcedureParameter>> ProcedureParameters(std::string_view p) override {
    return inner_->ProcedureParameters(p);
  }
  void Close() override { inner_->Close(); }
  bool IsOpen() const override { return inner_->IsOpen(); }

  std::vector<std::string> statements;

 private:
  std::unique_ptr<Connection> inner_;
  std::string connection_string_;
};

TEST(DataGridTest, StatementCarriesOrderAndMaximum) {
  struct Case {
    std::string connection_string;
    std::string filter;
    std::vector<std::string> executed;
    int rows;  // the fixture database does not know TOP
  };
  const Case cases[] = {
      {"Provider=SQLOLEDB;Data Source=x", "", {"SELECT TOP 4 id, name from items ORDER BY 2 desc /0"}, 0},
      // SQLite counts and pages in the database, the maximum taken into account.
      {"sqlite:x.db", "", {"SELECT COUNT(*) FROM (select id, name from items) AS quenmark_rows /0",
        "select id, name from items ORDER BY 2 desc LIMIT 4 OFFSET 0 /0"}, 4},
      // A client-side filter reads the result itself, at most the maximum.
      {"sqlite:x.db", "id > 0", {"select id, name from items ORDER BY 2 desc /4"}, 4}};
  for (const Case& c : cases) {
    RecordingConnection connection(c.connection_string);
    GridPage page;
    page.Form("pagesize", "10").Form("start", "1").Form("sort", "2 desc");
    page.Form("rsfilter", c.filter);
    const std::string body = page.Run([&](DataGrid& grid) {
      ThreadSettings().max_records = 4;
      grid.Connection(connection);
      EXPECT_FALSE(grid.OwnsConnection());
      grid.Command("select id, name from items");
      grid.Display();
    });
    EXPECT_EQ(connection.statements, c.executed);
    EXPECT_EQ(CountOf(body, "<td nowrap width=1>"), c.rows);
    EXPECT_TRUE(connection.IsOpen());
  }
}

TEST(DataGridTest, ErrorsNameTheStepsTheyPassed) {
  try {
    GridPage().Show("SELECT name, amount FROM huge", [](DataGrid& grid) { grid.GraphType(1); });
    FAIL() << "expected an error";
  } catch (const Error& error) {
    EXPECT_EQ(error.Number(), static_cast<int>(ErrorNumber::kOverflow));
    EXPECT_THAT(error.Source(),
                EndsWith("<br> DrawGraph Line: 11<br> Bind Line: 14<br> Display Line: 6"));
  }
}

}  // namespace
}  // namespace quenmark
