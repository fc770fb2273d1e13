-- A relative graph: every column shows the shares of its rows in percent, adding up to 100.
local layout = require("lib.layout")
local graph = Server.CreateObject("Quenmark.SimpleGraph")

layout.Begin("Share of each category",
  "A relative bar graph: each year's categories as shares of 100%, " ..
  "every column ending at the 100% line.")

graph.Relative = true
graph.Title = "Revenue share per year"
graph.TitleClassName = "graph_title"
graph.XScaleValues = "2002,2003,2004"
graph.xALign = "center"
graph.Spacing = 8
graph.BgColor = "#f8f8f0"
graph:AddRowData("Beverages", "267,310,298")
graph:AddRowData("Condiments", "106,114,131")
graph:AddRowData("Seafood", "131,142,170")
graph:AddRowData("Produce", "99,105,96")
graph:Draw()

layout.End()
