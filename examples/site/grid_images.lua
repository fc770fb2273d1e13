-- An image column: the employees' photos are stored as binary values, and the grid shows each
-- as a picture. The picture's address names only the row, the column and a signed token that
-- stands for this page's statement, so neither the SQL nor the connection string reaches the
-- browser; the page itself answers the picture when the browser asks for it.
local layout = require("lib.layout")
local grid = Server.CreateObject("Quenmark.DataGrid")

layout.Begin("Employees: an image column",
  "Photos stored in the database shown as pictures; their addresses carry a signed token, " ..
  "never the SQL.")
grid:CreateConnection("Provider=SQLite;Data Source=" .. Server.MapPath("data/demo.db"))
grid.Command = "SELECT EmployeeID, Photo, FirstName, LastName, Title, HireDate FROM Employees"
layout.StyleGrid(grid)
grid:DateColumn("Employees.HireDate", "2")
grid:ColumnCaption("EmployeeID", "Id")
grid:ColumnCaption("FirstName", "First name")
grid:ColumnCaption("LastName", "Last name")
grid:ColumnCaption("HireDate", "Hired")
grid:Display()

layout.End()
