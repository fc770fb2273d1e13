-- Column formats: each column of the order lines is shown its own way. Formats are registered
-- under the qualified column name (table.column) and the first format that names a column
-- decides: date, then number/percent/currency, then template, then boolean, then regular
-- expression. Values from the database are HTML-escaped inside every format; the texts written
-- here (templates, boolean texts, replacements) are markup.
local layout = require("lib.layout")
local grid = Server.CreateObject("Quenmark.DataGrid")

layout.Begin("Order lines: column formats",
  "Dates, numbers, percentages, currency, a template pulling in another column, booleans, a " ..
  "regular expression and a hidden column, all on one grid.")

grid:CreateConnection("Provider=SQLite;Data Source=" .. Server.MapPath("data/demo.db"))
grid.Command = "SELECT Orders.OrderID, Orders.OrderDate, Customers.CompanyName, Customers.Phone, " ..
  "Products.ProductName, OrderDetails.UnitPrice, OrderDetails.Quantity, OrderDetails.Discount, " ..
  "Products.Discontinued, Orders.ShipCountry FROM OrderDetails " ..
  "JOIN Orders ON Orders.OrderID = OrderDetails.OrderID " ..
  "JOIN Products ON Products.ProductID = OrderDetails.ProductID " ..
  "JOIN Customers ON Customers.CustomerID = Orders.CustomerID"
layout.StyleGrid(grid)
grid.PageSize = 15

grid:DateColumn("Orders.OrderDate", "%a %d %b %Y")
grid:CurrencyColumn("OrderDetails.UnitPrice", 2)
grid:NumberColumn("OrderDetails.Quantity", 0)
grid:PercentColumn("OrderDetails.Discount", 0)
grid:BoolColumn("Products.Discontinued", "<em>discontinued</em>", "in range")
-- "~d" keeps the digits of the number first: "035 336-6653" becomes "0353366653".
grid:RegExColumn("Customers.Phone", [[~d^(\d+)(\d{3})(\d{4})$]], "($1) $2-$3")
-- A template: the company in bold with the ship country of the same row after it.
grid:ReplaceColumn("Customers.CompanyName", "[b]#TEMP#[/b] ({{ShipCountry}})")
grid:HiddenColumn("ShipCountry")

grid:ColumnCaption("OrderID", "Order")
grid:ColumnCaption("OrderDate", "Date")
grid:ColumnCaption("CompanyName", "Customer")
grid:ColumnCaption("ProductName", "Product")
grid:ColumnCaption("UnitPrice", "Price")
grid:ColumnCaption("Discontinued", "Status")
grid:Display()

layout.End()
