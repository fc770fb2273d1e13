-- Pop-up filters: the Search button in the title bar opens a small window where conditions are
-- added one by one, joined with AND or OR; Finish filters the grid with all of them at once
-- (replacing the earlier filter). The line below the grid shows the active filter.
local layout = require("lib.layout")
local grid = Server.CreateObject("Quenmark.DataGrid")

layout.Begin("Orders: pop-up filter window",
  "A Search button that opens a window building a filter of several AND/OR " ..
  "conditions, applied all at once.")

grid.UsePopupFilters = true
grid:CreateConnection("Provider=SQLite;Data Source=" .. Server.MapPath("data/demo.db"))
grid.Command = "SELECT OrderID, CustomerID, OrderDate, Freight, ShipCountry FROM Orders"
layout.StyleGrid(grid)
grid:ColumnCaption("CustomerID", "Customer")
grid:ColumnCaption("OrderDate", "Ordered")
grid:ColumnCaption("ShipCountry", "Country")
grid:Display()

layout.End()
