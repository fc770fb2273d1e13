-- The columnar layout: each record is a block of caption/value lines instead of a row, which
-- suits records with long texts. Line breaks stored in a value are shown as line breaks.
local layout = require("lib.layout")
local grid = Server.CreateObject("Quenmark.DataGrid")

layout.Begin("Employees: columnar layout",
  "Each record as a block of caption and value lines, with the line breaks of a value kept.")
grid:CreateConnection("Provider=SQLite;Data Source=" .. Server.MapPath("data/demo.db"))
grid.Command = "SELECT Employees.LastName, Employees.FirstName, Employees.Title, " ..
  "Employees.City || char(13, 10) || Employees.Country AS Address, Employees.BirthDate, " ..
  "Employees.Notes FROM Employees"
layout.StyleGrid(grid)
grid.IsColumnar = true
grid.PageSize = 3
grid:DateColumn("Employees.BirthDate", "%B %d%O, %Y")
grid:ColumnCaption("LastName", "Last name")
grid:ColumnCaption("FirstName", "First name")
grid:ColumnCaption("BirthDate", "Born")
grid:Display()

layout.End()
