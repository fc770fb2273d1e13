-- StringBuffer: build a long text from many small pieces, then write it once.
-- Try ?rows=200 to make it longer.
local layout = require("lib.layout")
local sb = Server.CreateObject("Quenmark.StringBuffer")
local rows = math.tointeger(tonumber(Request.QueryString("rows"))) or 12
rows = math.max(1, math.min(rows, 500))

sb:Append('<table class="plain">\n<tr><th>n</th><th>n squared</th><th>binary</th></tr>\n')
for n = 1, rows do
  local bits, value = {}, n
  while value > 0 do
    table.insert(bits, 1, tostring(value % 2))
    value = value // 2
  end
  sb:Append("<tr><td>" .. n .. "</td><td>" .. n * n .. "</td><td>" .. table.concat(bits) ..
            "</td></tr>\n")
end
sb:Append("</table>\n")
local text = sb:ToString()

layout.Begin("StringBuffer",
  "Building a long text from many small pieces with <code>Append</code>, then writing it once. Try <code>?rows=200</code>.")
Response.Write("<p>" .. rows .. " rows, " .. #text .. " characters built by Append.</p>\n")
Response.Write(text)
layout.End()
