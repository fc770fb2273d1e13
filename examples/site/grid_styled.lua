-- A grid dressed with the class names of the site's style sheet: header, alternating rows,
-- footer bars and paging links; the captions replace the column names.
local grid = Server.CreateObject("Quenmark.DataGrid")

Response.Write([[<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>Styled grid</title>
<link rel="stylesheet" href="style.css"></head><body>
<p><a href="index.lua">Home</a></p>
<h1>Customers</h1>
]])

grid:CreateConnection("Provider=SQLite;Data Source=" .. Server.MapPath("data/demo.db"))
grid.Command = "SELECT CompanyName, ContactName, City, Country, Phone FROM Customers"
grid.PageSize = 15
grid.GridClassName = "grid"
grid.HeaderClassName = "grid-header"
grid.ItemClassName = "grid-item"
grid.AltItemClassName = "grid-altitem"
grid.FooterClassName = "grid-footer"
grid.PagingLinkClass = "grid-footer"
grid.HeaderLinkClass = "grid-header"
grid:ColumnCaption("CompanyName", "Company")
grid:ColumnCaption("ContactName", "Contact")
grid:Display()

Response.Write("</body></html>")
