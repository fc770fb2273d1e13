-- The inline filter row: pick a column, an operator and a value, press Go, and the grid shows
-- only the matching rows. Each new condition is added to the earlier ones with AND (the line
-- below the grid says which are active); Reset clears them. Filters run on the fetched rows,
-- never as SQL, so any value is safe to type, apostrophes included.
local layout = require("lib.layout")
local grid = Server.CreateObject("Quenmark.DataGrid")

layout.Begin("Products: inline filter row",
  "A filter row above the grid whose conditions add up with AND, and the line below " ..
  "the grid naming them.")
Response.Write([[
<p>Try "Product contains smoked", then "Price is greater than 50": both conditions stay active
until you press Reset.</p>
]])

grid:CreateConnection("Provider=SQLite;Data Source=" .. Server.MapPath("data/demo.db"))
grid.Command = "SELECT ProductID, ProductName, UnitPrice, UnitsInStock FROM Products"
layout.StyleGrid(grid)
grid:ColumnCaption("ProductName", "Product")
grid:ColumnCaption("UnitPrice", "Price")
grid:ColumnCaption("UnitsInStock", "In stock")
grid:Display()

layout.End()
