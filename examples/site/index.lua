-- The demo site's home page: one link per example page.
-- To add a page, append one line to `pages`: { "file", "title", "what it shows" }.
local pages = {
  { "string_buffer.lua", "StringBuffer", "building a long text from many pieces" },
  { "connection.lua", "Connection", "running SQL on the demo database and reading a recordset" },
  { "request.qsp", "Server page", "HTML with <% %> blocks: forms, query strings, sessions" },
  { "grid_plain.lua", "Data grid", "a paged, sortable grid over the products table" },
  { "grid_styled.lua", "Styled data grid", "a grid dressed with the style sheet's classes and captions" },
  { "grid_texts.lua", "Grid texts", "a grid whose navigation, icon and print texts are replaced" },
  { "graph_plain.lua", "Bar graph", "regions side by side per quarter, with labels and a legend" },
  { "graph_stacked.lua", "Stacked bar graph", "the series of each month piled into one bar" },
  { "graph_relative.lua", "Relative bar graph", "each year's categories as shares of 100%" },
  { "graph_negative.lua", "Negative values", "bars below the zero line, and a legend with shares" },
  { "grid_graph.lua", "Grid with graph", "a grid's result drawn as a graph below it or instead of it" },
}

Response.Write([[<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>Quenmark demo</title>
<link rel="stylesheet" href="style.css">
</head>
<body>
<h1>Quenmark demo</h1>
<p>Each page below is a small page script in <code>examples/site</code>; open one, then read its
source to see how it is done.</p>
<ul class="pages">
]])
for _, page in ipairs(pages) do
  Response.Write('<li><a href="' .. Server.HTMLEncode(page[1]) .. '">' .. Server.HTMLEncode(page[2]) ..
    '</a> &ndash; ' .. Server.HTMLEncode(page[3]) .. '</li>\n')
end
Response.Write("</ul>\n</body>\n</html>\n")
