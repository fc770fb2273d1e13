-- The demo site's home page: one link per example page.
-- To add a page, append one line to `pages`: { "file", "title", "what it shows" }; the page
-- appears under the section of lib/layout.lua whose prefix its file name starts with.
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
  { "grid_filters.lua", "Inline filters", "a filter row above the grid whose conditions add up, and the line naming them" },
  { "grid_popup_filters.lua", "Pop-up filters", "a window that builds a filter of several AND/OR conditions" },
  { "grid_procedure.lua", "Stored procedures", "how a grid calls a procedure, and what SQLite answers" },
  { "grid_formats.lua", "Column formats", "dates, numbers, currency, percentages, a template, booleans, a regular expression and a hidden column" },
  { "grid_link_master.lua", "Linked master column", "category names as links built from a template that carries each row's id" },
  { "grid_images.lua", "Image column", "photos stored in the database shown as pictures behind signed addresses" },
  { "grid_columnar.lua", "Columnar layout", "each record as a block of caption and value lines" },
  { "reports.lua", "Report manager", "saved reports in groups from a reports file shown with passwords, parameters, charts, summaries and master tables, the store's tables, new groups, deletions, the report builder for ticked tables; German texts when the browser asks for German" },
  { "grid_master_detail.lua", "Master-detail grid", "customers as master lines whose orders open below them; pages count customers" },
  { "grid_summaries", "Totals and averages", "a C++ page (served by quenmark demo) with row totals, Average and Total lines and a summary block" },
  { "grid_export.lua", "Exports", "a grid's export buttons: every row as a file to download" },
}

local layout = require("lib.layout")
layout.Begin("Quenmark demo", "Each page below is a small page script in <code>examples/site</code>: " ..
  "open one to see what it does, then read its source to see how it is done. Every member of " ..
  "the objects is listed in <code>docs/reference.md</code> (<code>quenmark members</code>).")

for i, section in ipairs(layout.sections) do
  local items = {}
  for _, page in ipairs(pages) do
    if layout.SectionOf(page[1]) == i then
      items[#items + 1] = '<li><a href="' .. Server.HTMLEncode(page[1]) .. '">' ..
        Server.HTMLEncode(page[2]) .. '</a><span>' .. Server.HTMLEncode(page[3]) .. '</span></li>\n'
    end
  end
  if #items > 0 then
    Response.Write('<h2 id="' .. layout.Anchor(i) .. '">' .. section[2] .. '</h2>\n<ul class="pages">\n' ..
      table.concat(items) .. '</ul>\n')
  end
end
Response.Write([[<p>Every grid carries five export buttons in its title bar. Each downloads all
rows of the grid's query, in its current order and filter: <b>Doc</b> a Word document (RTF) with a
table, <b>Excel</b> a workbook (an HTML table that Excel and LibreOffice Calc open), <b>CSV</b> a
comma-separated file with every field quoted, <b>XML</b> a dataset document with the column types,
<b>Text</b> a tab-separated file. The <b>Print</b> link shows the rows as printable pages.</p>
]])
layout.End()
