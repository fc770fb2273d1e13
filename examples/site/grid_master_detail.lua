-- A master-detail grid: each customer is one master line, its orders the detail rows. Click a
-- customer's number to open its orders, "Show all Details" to open every customer of the page;
-- the navigation bar pages through customers, not orders. A group is a run of rows with equal
-- customer values, so the statement is ordered by customer.
local layout = require("lib.layout")
local grid = Server.CreateObject("Quenmark.DataGrid")

layout.Begin("Customers and their orders",
  "A master-detail grid: customers are the master lines and their orders the details. Click " ..
  "a customer's number to open its orders or \"Show all Details\" to open them all; pages " ..
  "count customers, not orders.")

grid:CreateConnection("Provider=SQLite;Data Source=" .. Server.MapPath("data/demo.db"))
-- The inner statement orders the rows by customer; the grid's own sort links order the outer
-- one, so a click on a caption keeps each customer's orders together.
grid.Command = "SELECT * FROM (SELECT Customers.CustomerID, Customers.CompanyName, " ..
  "Customers.City, Customers.Country, Orders.OrderID, Orders.OrderDate, Orders.ShipCity, " ..
  "Orders.Freight FROM Customers JOIN Orders ON Orders.CustomerID = Customers.CustomerID " ..
  "ORDER BY Customers.CompanyName, Customers.CustomerID, Orders.OrderDate) AS CustomerOrders"
grid.MasterTable = "Customers"
grid:ColumnCaption("CustomerID", "Id")
grid:ColumnCaption("CompanyName", "Customer")
grid:ColumnCaption("OrderID", "Order")
layout.StyleGrid(grid)
grid:Display()

layout.End()
