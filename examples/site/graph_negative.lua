-- Values below zero: the bars hang below the zero line, with a scale of their own.
-- The second graph has one column, so its legend shows each row's share of the total.
local layout = require("lib.layout")
local graph = Server.CreateObject("Quenmark.SimpleGraph")

layout.Begin("Profit and loss",
  "Bars below the zero line with a scale of their own, and a one-column " ..
  "graph whose legend shows each row's share.")

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

layout.End()
