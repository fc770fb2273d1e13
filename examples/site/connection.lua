-- Connection: open the demo database, run a query and walk the recordset by hand.
-- Pick a category with ?category=Beverages.
local layout = require("lib.layout")
local cn = Server.CreateObject("Quenmark.Connection")
cn:Open("Provider=SQLite;Data Source=" .. Server.MapPath("data/demo.db"))

local category = Request.QueryString("category")
if category == "" then category = "Beverages" end

layout.Begin("Connection",
  "Running SQL on the demo database with a <code>Quenmark.Connection</code> and walking " ..
  "the recordset by hand: pick a category and press Show.")
Response.Write('<form method="get"><p>Category: <select name="category">\n')
local categories = cn:Execute("SELECT CategoryName FROM Categories ORDER BY CategoryName")
while not categories.EOF do
  local name = categories("CategoryName")
  local selected = name == category and " selected" or ""
  Response.Write('<option' .. selected .. '>' .. Server.HTMLEncode(name) .. '</option>\n')
  categories:MoveNext()
end
categories:Close()
Response.Write('</select> <input type="submit" value="Show"></p></form>\n')

-- The category goes into the SQL as a quoted literal, with its quotes doubled.
local sql = "SELECT p.ProductName, p.UnitPrice, p.UnitsInStock FROM Products p " ..
            "JOIN Categories c ON c.CategoryID = p.CategoryID " ..
            "WHERE c.CategoryName = '" .. category:gsub("'", "''") .. "' ORDER BY p.ProductName"
local rs = cn:Execute(sql)
Response.Write('<table class="plain">\n<tr>')
for i = 0, rs.FieldCount - 1 do
  Response.Write("<th>" .. Server.HTMLEncode(rs:Fields(i).Name) .. "</th>")
end
Response.Write("</tr>\n")
local count = 0
while not rs.EOF do
  Response.Write("<tr>")
  for i = 0, rs.FieldCount - 1 do
    local value = rs(i)
    local class = type(value) == "number" and ' class="number"' or ""
    Response.Write("<td" .. class .. ">" .. Server.HTMLEncode(tostring(value)) .. "</td>")
  end
  Response.Write("</tr>\n")
  count = count + 1
  rs:MoveNext()
end
rs:Close()
cn:Close()
Response.Write("</table>\n<p>" .. count .. " products.</p>\n")
layout.End()
