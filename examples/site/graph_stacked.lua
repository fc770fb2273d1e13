-- A stacked bar graph: the rows of each column are piled into one bar, the first row on top.
local graph = Server.CreateObject("Quenmark.SimpleGraph")

Response.Write([[<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>Stacked graph</title>
<link rel="stylesheet" href="style.css"></head><body>
<p><a href="index.lua">Home</a></p>
<h1>Orders by shipper</h1>
]])

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

Response.Write("</body></html>")
