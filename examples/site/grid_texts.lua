-- A grid whose texts are replaced: navigation links, header icons and the print link, for a
-- site in another language or with its own wording.
local grid = Server.CreateObject("Quenmark.DataGrid")

Response.Write([[<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>Grid texts</title></head><body>
<p><a href="index.lua">Home</a></p>
<h1>Bestellungen</h1>
]])

grid:CreateConnection("Provider=SQLite;Data Source=" .. Server.MapPath("data/demo.db"))
grid.Command = "SELECT OrderID, CustomerID, OrderDate, ShipCity, Freight FROM Orders"
grid:SetNavigationText("&#171; Anfang", "&#8249;", "&#8250;", "Ende &#187;", "Zurücksetzen",
  "Neu laden", "Seite @CurrentPage von @NumOfPages (@NumOfRecs Zeilen)", "Zeilen:", true)
grid:SetHeaderIconText("#", "&#9650;", "&#9660;")
grid:SetDisplayText("printtext", "Druckansicht")
grid:SetDisplayText("sortcolasctitle", "Aufsteigend sortieren")
grid:SetDisplayText("sortcoldesctitle", "Absteigend sortieren")
grid:SetDisplayText("removesorttitle", "Sortierung entfernen")
grid:ColumnCaption("OrderID", "Nummer")
grid:ColumnCaption("CustomerID", "Kunde")
grid:ColumnCaption("OrderDate", "Datum")
grid:ColumnCaption("ShipCity", "Ort")
grid:ColumnCaption("Freight", "Fracht")
grid:Display()

Response.Write("</body></html>")
