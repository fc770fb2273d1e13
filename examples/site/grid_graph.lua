-- A grid with its graph: stock per category, one named series per category (the legend column)
-- and one column of bars per numeric column. Pick the graph kind with the links; "graph only"
-- draws the graph instead of the grid.
local kind = tonumber(Request.QueryString("type")) or 1
local only = Request.QueryString("only") == "1"
local grid = Server.CreateObject("Quenmark.DataGrid")

Response.Write([[<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>Grid with graph</title>
<link rel="stylesheet" href="style.css"></head><body>
<p><a href="index.lua">Home</a></p>
<h1>Stock per category</h1>
<p>Graph: <a href="grid_graph.lua?type=1">plain</a> | <a href="grid_graph.lua?type=2">stacked</a>
| <a href="grid_graph.lua?type=3">relative</a> | <a href="grid_graph.lua?type=1&only=1">graph only</a></p>
]])

grid:CreateConnection("Provider=SQLite;Data Source=" .. Server.MapPath("data/demo.db"))
grid.Command = [[SELECT c.CategoryName, SUM(p.UnitsInStock) AS InStock,
  SUM(p.UnitsOnOrder) AS OnOrder, SUM(p.ReorderLevel) AS ReorderLevel
  FROM Products p JOIN Categories c ON c.CategoryID = p.CategoryID
  GROUP BY c.CategoryName]]
grid.GraphType = kind
grid.GraphOnly = only
grid.GraphLegendColumn = "CategoryName"
grid:SetGraphLabels("Units per category", "Units", "Stock, orders and reorder level")
grid:Display()

Response.Write("</body></html>")
