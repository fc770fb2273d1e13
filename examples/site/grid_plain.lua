-- A plain grid over the products of the demo store: click a column caption to sort (again to
-- reverse, the sign beside it to remove the sort), page with the links below the grid, or type
-- a page size and press Reload.
local grid = Server.CreateObject("Quenmark.DataGrid")

Response.Write([[<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>Plain grid</title></head><body>
<p><a href="index.lua">Home</a></p>
<h1>Products</h1>
]])

grid:CreateConnection("Provider=SQLite;Data Source=" .. Server.MapPath("data/demo.db"))
grid.Command = "SELECT ProductID, ProductName, QuantityPerUnit, UnitPrice, UnitsInStock FROM Products"
grid:Display()

Response.Write("</body></html>")
