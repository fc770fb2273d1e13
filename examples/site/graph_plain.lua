-- A plain bar graph: three regions side by side for each quarter, with a title, captions,
-- x labels under the columns and a legend built from the row names.
local layout = require("lib.layout")
local graph = Server.CreateObject("Quenmark.SimpleGraph")

layout.Begin("Sales by quarter",
  "A plain bar graph: three regions side by side for each quarter, " ..
  "with a title, captions, column labels and a legend built from the row names.")

graph.Title = "Units sold per region"
graph.TitleClassName = "graph_title"
graph.yLabel = "Units"
graph.yLabelClassName = "ylabel"
graph.xLabel = "Quarter of 2004"
graph.xLabelClassName = "xlabel"
graph.XScaleValues = "Q1,Q2,Q3,Q4"
graph.xALign = "center"
graph.Spacing = 10
graph:AddRowData("North", {120, 145, 160, 190})
graph:AddRowData("South", {80, 95, 70, 110})
graph:AddRowData("West", "60,75,90,85")
graph:Draw()

layout.End()
