-- A relative graph: every column shows the shares of its rows in percent, adding up to 100.
local graph = Server.CreateObject("Quenmark.SimpleGraph")

Response.Write([[<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>Relative graph</title>
<link rel="stylesheet" href="style.css"></head><body>
<p><a href="index.lua">Home</a></p>
<h1>Share of each category</h1>
]])

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

Response.Write("</body></html>")
