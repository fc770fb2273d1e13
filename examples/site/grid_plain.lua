-- A plain grid over the products of the demo store: click a column caption to sort (again to
-- reverse, the sign beside it to remove the sort), page with the links below the grid, or type
-- a page size and press Reload.
local layout = require("lib.layout")
local grid = Server.CreateObject("Quenmark.DataGrid")

layout.Begin("Products",
  "A paged, sortable grid over the products table: click a caption to sort, again to " ..
  "reverse it; page with the links below the grid; type a page size and press Reload.")

grid:CreateConnection("Provider=SQLite;Data Source=" .. Server.MapPath("data/demo.db"))
grid.Command = "SELECT ProductID, ProductName, QuantityPerUnit, UnitPrice, UnitsInStock FROM Products"
layout.StyleGrid(grid)
grid:Display()

layout.End()
