-- A grid with its graph: stock per category, one named series per category (the legend column)
-- and one column of bars per numeric column. Pick the graph kind with the links; "graph only"
-- draws the graph instead of the grid.
--
-- The grid's clicks post its form back to the page's path without the query string, so the
-- chosen graph kind is kept in the session: a link sets it, postbacks read it.
local layout = require("lib.layout")
if Request.QueryString("type") ~= "" then
  Session("grid_graph_type", math.tointeger(tonumber(Request.QueryString("type"))) or 1)
  Session("grid_graph_only", Request.QueryString("only") == "1")
end
local kind = Session("grid_graph_type") or 1
local only = Session("grid_graph_only") or false
local grid = Server.CreateObject("Quenmark.DataGrid")

layout.Begin("Stock per category",
  "A grid's result drawn as a bar graph below it, or instead of it: one series per " ..
  "category, one column of bars per numeric column. The graph kind stays while you sort and page.")
Response.Write([[
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
layout.StyleGrid(grid)
grid:SetGraphLabels("Units per category", "Units", "Stock, orders and reorder level")
grid:Display()

layout.End()
