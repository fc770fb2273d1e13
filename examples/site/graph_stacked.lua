-- A stacked bar graph: the rows of each column are piled into one bar, the first row on top.
local layout = require("lib.layout")
local graph = Server.CreateObject("Quenmark.SimpleGraph")

layout.Begin("Orders by shipper",
  "A stacked bar graph: the series of each month piled into one " ..
  "bar, the first series on top.")

graph.Stacked = true
graph.Title = "Orders per month"
graph.TitleClassName = "graph_title"
graph.XScaleValues = {"Jan", "Feb", "Mar", "Apr", "May", "Jun"}
graph.xALign = "center"
graph.Colors = "#1e90ff,#cd853f,#5f9ea0"
graph.Legend = {"Speedy Express", "United Package", "Federal Shipping"}
graph.Spacing = 6
graph:AddRow({22, 25, 31, 28, 35, 30})
graph:AddRow({18, 20, 17, 24, 22, 27})
graph:AddRow({10, 14, 12, 15, 19, 16})
graph:Draw()

layout.End()
