-- A grid whose texts are replaced: navigation links, header icons and the print link, for a
-- site in another language or with its own wording; Response.Locale gives the page German
-- number and date formats.
local layout = require("lib.layout")
local grid = Server.CreateObject("Quenmark.DataGrid")

layout.Begin("Bestellungen",
  "A grid whose navigation links, header icons and print link speak German, for a " ..
  "site in another language or with its own wording; <code>Response.Locale = 'de-DE'</code> " ..
  "formats its numbers and dates the German way.")

Response.Locale = "de-DE"

grid:CreateConnection("Provider=SQLite;Data Source=" .. Server.MapPath("data/demo.db"))
grid.Command = "SELECT OrderID, CustomerID, OrderDate, ShipCity, Freight FROM Orders"
layout.StyleGrid(grid)
grid:SetNavigationText("&#171; Anfang", "&#8249;", "&#8250;", "Ende &#187;", "Zurücksetzen",
  "Neu laden", "Seite @CurrentPage von @NumOfPages (@NumOfRecs Zeilen)", "Zeilen:", true)
grid:SetHeaderIconText("&#8634;", "&#8593;", "&#8595;")
grid:SetDisplayText("printtext", "Druckansicht")
grid:SetDisplayText("sortcolasctitle", "Aufsteigend sortieren")
grid:SetDisplayText("sortcoldesctitle", "Absteigend sortieren")
grid:SetDisplayText("removesorttitle", "Sortierung entfernen")
grid:ColumnCaption("OrderID", "Nummer")
grid:ColumnCaption("CustomerID", "Kunde")
grid:ColumnCaption("OrderDate", "Datum")
grid:DateColumn("Orders.OrderDate", "%d. %B %Y")
grid:ColumnCaption("ShipCity", "Ort")
grid:ColumnCaption("Freight", "Fracht")
grid:NumberColumn("Orders.Freight", 2)
grid:Display()

layout.End()
