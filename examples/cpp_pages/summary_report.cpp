#include "cpp_pages/summary_report.h"

#include <string>
#include <string_view>

#include "quenmark/data_grid.h"
#include "quenmark/host.h"
#include "quenmark/page_context.h"

namespace quenmark::demo {

namespace {

// The frame of the demo site's pages, written from C++: the same head and navigation header
// as lib/layout.lua writes for the page scripts (its sections, in order).
void BeginPage(Response& response, std::string_view title, std::string_view summary) {
  std::string out =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
  out += title;
  out +=
      " &ndash; Quenmark demo</title>\n<link rel=\"stylesheet\" href=\"/style.css\">\n"
      "</head>\n<body>\n<header class=\"site\"><nav><a class=\"brand\" "
      "href=\"/index.lua\">Quenmark</a><a href=\"/index.lua#section-1\">Grids</a>"
      "<a href=\"/index.lua#section-2\">Graphs</a><a href=\"/index.lua#section-3\">Report "
      "manager</a><a href=\"/index.lua#section-4\">Pages and data</a></nav></header>\n<main>\n"
      "<h1>";
  out += title;
  out += "</h1>\n<p class=\"summary\">";
  out += summary;
  out += "</p>\n";
  response.Write(out);
}

// The site's grid look (layout.StyleGrid).
void StyleGrid(DataGrid& grid) {
  grid.GridClassName("grid");
  grid.HeaderClassName("grid-header");
  grid.HeaderLinkClass("grid-header");
  grid.ItemClassName("grid-item");
  grid.AltItemClassName("grid-altitem");
  grid.FooterClassName("grid-footer");
  grid.PagingLinkClass("grid-paging");
  grid.TextBoxStyle("width:3em;text-align:center;");
  grid.SetHeaderIconText("&#8635;", "&#9650;", "&#9660;");
}

}  // namespace

void SummaryReportPage(PageContext& page) {
  BeginPage(page.response, "Orders with totals and averages",
            "A C++ page: the row total adds each order's subtotal and freight (the order date, "
            "the customer and the first column are not added), the lines below the grid total "
            "and average the orders of this page, and the summary below them is computed by "
            "the database over every order. Page scripts cannot switch these on.");

  DataGrid grid;  // finds this request's page context
  grid.CreateConnection("Provider=SQLite;Data Source=" + page.server.MapPath("/data/demo.db"));
  grid.Command(
      "SELECT Orders.OrderID, Orders.OrderDate, Customers.CompanyName, OrderSubtotals.Subtotal, "
      "Orders.Freight FROM Orders "
      "JOIN OrderSubtotals ON OrderSubtotals.OrderID = Orders.OrderID "
      "JOIN Customers ON Customers.CustomerID = Orders.CustomerID");
  grid.PageSize(15);
  grid.ColumnCaption("OrderID", "Order");
  grid.ColumnCaption("CompanyName", "Customer");
  // The footer lines and the summary values take the formats of their columns.
  grid.CurrencyColumn("OrderSubtotals.Subtotal", 2);
  grid.CurrencyColumn("Orders.Freight", 2);
  StyleGrid(grid);
  grid.ShowRowAverage(true);
  grid.ShowRowTotal(true);
  grid.ShowColumnAverage(true);
  grid.ShowColumnTotal(true);
  grid.SummaryText(
      "OrderSubtotals.Subtotal__SUM__Sales of all orders,Orders.Freight__AVG__,"
      "Orders.OrderID__COUNT__Orders,Customers.CompanyName__MIN__First customer by name");
  grid.Display();

  page.response.Write("</main>\n</body>\n</html>\n");
}

void RegisterDemoPages(WebHost& host) { host.Handle(kSummaryReportPath, SummaryReportPage); }

}  // namespace quenmark::demo
