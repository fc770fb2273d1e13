-- Values below zero: the bars hang below the zero line, with a scale of their own.
-- The second graph has one column, so its legend shows each row's share of the total.
local graph = Server.CreateObject("Quenmark.SimpleGraph")

Response.Write([[<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>Negative values</title>
<link rel="stylesheet" href="style.css"></head><body>
<p><a href="index.lua">Home</a></p>
<h1>Profit and loss</h1>
]])

graph.Title = "Result per quarter"
graph.TitleClassName = "graph_title"
graph.XScaleValues = "Q1,Q2,Q3,Q4"
graph.xALign = "center"
graph.Spacing = 10
graph:AddRowData("Stores", {140, -35, 60, 180})
graph:AddRowData("Online", {-20, 45, 90, 120})
graph:Draw()

local shares = Server.CreateObject("Quenmark.SimpleGraph")
shares.Title = "Units in stock per category"
shares.TitleClassName = "graph_title"
shares.BarWidth = 18
shares:AddRowData("Beverages", "559")
shares:AddRowData("Condiments", "507")
shares:AddRowData("Confections", "386")
Response.Write("<p>" .. shares:GetGraph() .. "</p>")

Response.Write("</body></html>")
