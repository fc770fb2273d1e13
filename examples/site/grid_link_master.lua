-- A linked master column: the category names are links built from a template, whose address
-- carries the category's id from another column of the same row. Following a link shows that
-- category's products; the chosen category is kept in the session so that sorting and paging
-- the products (which post back to this page) stay on it.
local layout = require("lib.layout")
local grid = Server.CreateObject("Quenmark.DataGrid")

-- Only a number may choose the category: it becomes part of the SQL below.
local category = tonumber(Request.QueryString("category"))
if category then
  Session("category", category)
elseif Request.ServerVariables("REQUEST_METHOD") == "POST" and Request.QueryString("all") == "" then
  category = tonumber(Session("category"))
end
if Request.QueryString("all") ~= "" then Session.Remove("category") end

layout.Begin("Categories: a linked master column",
  "A template turns each category name into a link that carries the category id from the same " ..
  "row; the link opens that category's products.")
grid:CreateConnection("Provider=SQLite;Data Source=" .. Server.MapPath("data/demo.db"))
layout.StyleGrid(grid)
grid.LinkClassName = "grid-link"

if category then
  grid.Command = "SELECT ProductID, ProductName, QuantityPerUnit, UnitPrice FROM Products " ..
    "WHERE CategoryID = " .. math.floor(category)
  grid:CurrencyColumn("Products.UnitPrice", 2)
  grid:ColumnCaption("ProductName", "Product")
  Response.Write('<p><a href="grid_link_master.lua?all=1">&laquo; All categories</a></p>')
else
  grid.Command = "SELECT CategoryID, CategoryName, Description FROM Categories"
  grid:LinkColumn("Categories.CategoryName", "grid_link_master.lua?category={{CategoryID}}",
    "#TEMP#", "")
  grid:HiddenColumn("CategoryID")
  grid:ColumnCaption("CategoryName", "Category")
end
grid:Display()

layout.End()
