-- Stored procedures: a grid can show the result of a procedure instead of a statement, with
-- sorting and filtering. SQLite, the database of this demo, has none, so this page shows the
-- code and the message the grid gives when asked to call one here.
local layout = require("lib.layout")
layout.Begin("Stored procedures",
  "How a grid calls a stored procedure with bound parameters, and the message it " ..
  "gives on SQLite, which has none.")
Response.Write([[
<p>On PostgreSQL a set-returning function is called as <code>SELECT * FROM name(...)</code>; through
ODBC a procedure is called as <code>{call name(?, ...)}</code>. Parameter values are always sent
as bound parameters, never written into the SQL text:</p>
<pre>grid:CreateConnection("postgresql://shop@db/shop")
grid:SetProcedure("sales_by_year")
grid:AddParameter("from_date", "2003-01-01")
grid:AddParameter("to_date", "2004-12-31")
grid:Display()</pre>
<p>The same page on the demo's SQLite database answers:</p>
]])

local grid = Server.CreateObject("Quenmark.DataGrid")
grid:CreateConnection("Provider=SQLite;Data Source=" .. Server.MapPath("data/demo.db"))
grid:SetProcedure("sales_by_year")
grid:AddParameter("from_date", "2003-01-01")
grid:Display()
layout.End()
