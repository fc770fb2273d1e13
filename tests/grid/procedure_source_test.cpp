// Grids on the PostgreSQL test server (QUENMARK_TEST_PG, started by
// scripts/test_databases.sh): a set-returning function called with bound parameters, sorted and
// filtered on the fetched rows; statements counted and paged by the server.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "quenmark/data_grid.h"
#include "quenmark/database.h"
#include "quenmark/page_context.h"
#include "quenmark/shared_settings.h"
#include "support/fixture_db.h"

namespace quenmark {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class ProcedureSourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* url = std::getenv("QUENMARK_TEST_PG");
    if (url == nullptr) GTEST_SKIP() << "QUENMARK_TEST_PG is not set";
    url_ = url;
    auto server = Connection::Open(url_);
    ASSERT_TRUE(server.ok()) << server.Description();
    const Status loaded = fixture::LoadFixtureIntoPostgres(**server);
    ASSERT_TRUE(loaded.ok()) << loaded.Description();
  }

  // One request that posts `form` and shows procedure `name` with `parameters`.
  std::string Show(const std::string& name,
                   const std::vector<std::pair<std::string, std::string>>& parameters,
                   const std::vector<std::pair<std::string, std::string>>& form = {}) {
    return Run(form, [&](DataGrid& grid) {
      grid.SetProcedure(Variant(name));
      for (const auto& [parameter, value] : parameters) {
        grid.AddParameter(Variant(parameter), Variant(value));
      }
    });
  }

  std::string Run(const std::vector<std::pair<std::string, std::string>>& form,
                  const std::function<void(DataGrid&)>& source) {
    Request request;
    Response response;
    Server server{"/tmp", "/tmp"};
    Session session;
    Application application;
    request.SetServerVariable("URL", "/proc.lua");
    for (const auto& [field, value] : form) request.Form().Add(field, value);
    ResetThreadSettings();
    PageContext context{request, response, server, session, application};
    PageContextScope scope(context);
    try {
      DataGrid grid;
      grid.CreateConnection(url_);
      source(grid);
      grid.Display();
    } catch (const ResponseEnded&) {
    }
    return response.Body();
  }

  std::string url_;
};

const std::vector<std::pair<std::string, std::string>> kYears = {{"from_date", "2003-01-01"},
                                                                 {"to_date", "2005-12-31"}};

TEST_F(ProcedureSourceTest, FunctionWithParametersSortedAndFiltered) {
  std::string body = Show("[sales_by_year]", kYears);
  EXPECT_THAT(body, HasSubstr("\">sales_year</a></th>"));
  EXPECT_THAT(body, HasSubstr("<td nowrap width=1>1</td><td class=\"number\">2003</td>"));
  EXPECT_THAT(body, HasSubstr("<td nowrap width=1>3</td><td class=\"number\">2005</td>"));

  // The posted order becomes a sort by field name; the filter applies to the fetched rows.
  body = Show("sales_by_year", kYears,
              {{"pagesize", "10"}, {"start", "1"}, {"sort", "1 desc"}, {"rsfilter", ""}});
  EXPECT_THAT(body, HasSubstr("<td nowrap width=1>1</td><td class=\"number\">2005</td>"));
  EXPECT_THAT(body, HasSubstr("<b>Sort Order:</b> sales_year <i>descending</i>"));
  body = Show("sales_by_year", kYears,
              {{"pagesize", "10"}, {"start", "1"}, {"search_field", "sales_year"},
               {"search_condition", " > "}, {"search_text", "2003"}});
  EXPECT_THAT(body, HasSubstr("<td nowrap width=1>1</td><td class=\"number\">2004</td>"));
  EXPECT_THAT(body, Not(HasSubstr(">2003</td>")));
  EXPECT_THAT(body, HasSubstr("<b>Filter(s):</b> sales_year  &gt;  2003"));
}

TEST_F(ProcedureSourceTest, StatementPagesAreCountedAndPagedByTheServer) {
  const auto orders = [](DataGrid& grid) {
    grid.Command("SELECT orderid, customerid FROM orders");
  };
  std::string body = Run({{"pagesize", "10"}, {"start", "21"}, {"sort", "1 desc"}}, orders);
  EXPECT_THAT(body, HasSubstr("Page 3 of 83 (830 recs)"));
  EXPECT_THAT(body, HasSubstr("<td nowrap width=1>21</td><td class=\"number\">1810</td>"));
  body = Run({{"pagesize", "10"}, {"start", "1"}, {"rsfilter", "orderid < 1012"}}, orders);
  EXPECT_THAT(body, HasSubstr("<td nowrap width=1>11</td>"));
  EXPECT_THAT(body, Not(HasSubstr("recs)")));
}

TEST_F(ProcedureSourceTest, ParametersAreBoundNeverPasted) {
  // A value made to end a literal is only a customer id that matches nothing.
  EXPECT_THAT(Show("customer_orders", {{"customer_id", "x'); DROP TABLE orders; --"}}),
              HasSubstr("No records returned!"));
  auto check = Connection::Open(url_);
  ASSERT_TRUE(check.ok());
  auto rows = (*check)->Execute("SELECT count(*) FROM orders");
  ASSERT_TRUE(rows.ok()) << rows.Description();
  EXPECT_GT((*rows)->Value(0).ToInt32(), 0);
  // A database error is a fatal message.
  EXPECT_THAT(Show("no_such_function", {}), HasSubstr("<div><font color=red face=arial>"));
}

}  // namespace
}  // namespace quenmark
