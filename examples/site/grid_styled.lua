-- A grid dressed with the class names of the site's style sheet: header, alternating rows,
-- footer bars and paging links; the captions replace the column names.
local layout = require("lib.layout")
local grid = Server.CreateObject("Quenmark.DataGrid")

layout.Begin("Customers",
  "A grid dressed with the site's style sheet through its class names (header, " ..
  "alternating rows, footer bars), with arrows for the sort icons and captions for the columns.")

grid:CreateConnection("Provider=SQLite;Data Source=" .. Server.MapPath("data/demo.db"))
grid.Command = "SELECT CompanyName, ContactName, City, Country, Phone FROM Customers"
grid.PageSize = 15
layout.StyleGrid(grid)
grid:ColumnCaption("CompanyName", "Company")
grid:ColumnCaption("ContactName", "Contact")
grid:Display()

layout.End()
