-- A grid with its export buttons: each button in the title bar downloads every row of the
-- grid's query (all pages, in the current sort and filter) as a file named after
-- ExportFileName; the Print link shows the rows as printable pages.
local layout = require("lib.layout")
local grid = Server.CreateObject("Quenmark.DataGrid")

layout.Begin("Customers, ready to export",
  "The buttons in the grid's title bar download every row, not just this page: Doc a Word " ..
  "document (RTF), Excel a workbook, CSV a comma-separated file, XML a dataset document, " ..
  "Text a tab-separated file. Sort or filter first and the file follows.")

grid:CreateConnection("Provider=SQLite;Data Source=" .. Server.MapPath("data/demo.db"))
grid.Command = "SELECT CustomerID, CompanyName, ContactName, City, Country FROM Customers"
grid.Title = "Customers"
grid.ExportFileName = "customers"
grid:ColumnCaption("CompanyName", "Company")
grid:ColumnCaption("ContactName", "Contact")
layout.StyleGrid(grid)
grid:Display()

layout.End()
