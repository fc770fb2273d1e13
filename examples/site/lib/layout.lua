-- The demo site's page frame: the shared style sheet, the navigation header and the sentence
-- that says what a page shows. Every demo page starts and ends with it:
--
--   local layout = require("lib.layout")
--   layout.Begin("Styled data grid", "A grid dressed with the site's class names.")
--   ...                      -- the page's own output
--   layout.End()
--
-- A grid takes the site's look with `layout.StyleGrid(grid)`. The home page lists the pages
-- under the section whose prefix their file name starts with; a new kind of page (say
-- "export_*.lua") gets its own section by adding one line to `sections`.
local layout = {}

-- { file name prefix, heading }; the last entry (prefix "") takes every other page.
layout.sections = {
  { "grid", "Grids" },
  { "graph", "Graphs" },
  { "report", "Report manager" },
  { "", "Pages and data" },
}

-- The section a file belongs to: its index in `sections`.
function layout.SectionOf(file)
  for i, section in ipairs(layout.sections) do
    if file:sub(1, #section[1]) == section[1] then return i end
  end
  return #layout.sections
end

function layout.Anchor(i)
  return "section-" .. i
end

-- Writes the document head, the navigation header, the page title and the page's sentence.
-- `title` and `summary` are markup written by the page author.
function layout.Begin(title, summary)
  local out = {
    '<!DOCTYPE html>\n<html lang="en">\n<head>\n<meta charset="utf-8">\n',
    '<meta name="viewport" content="width=device-width, initial-scale=1">\n',
    "<title>", title, " &ndash; Quenmark demo</title>\n",
    '<link rel="stylesheet" href="/style.css">\n</head>\n<body>\n',
    '<header class="site"><nav><a class="brand" href="/index.lua">Quenmark</a>',
  }
  for i, section in ipairs(layout.sections) do
    out[#out + 1] = '<a href="/index.lua#' .. layout.Anchor(i) .. '">' .. section[2] .. "</a>"
  end
  out[#out + 1] = "</nav></header>\n<main>\n<h1>" .. title .. "</h1>\n"
  if summary and summary ~= "" then
    out[#out + 1] = '<p class="summary">' .. summary .. "</p>\n"
  end
  Response.Write(table.concat(out))
end

function layout.End()
  Response.Write("</main>\n</body>\n</html>\n")
end

-- The site's look for a grid: class names from style.css (numbers are right-aligned there by
-- the cell classes the grid writes: number, money, date), and arrows for the refresh and sort
-- icons instead of the built-in font glyphs.
function layout.StyleGrid(grid)
  grid.GridClassName = "grid"
  grid.HeaderClassName = "grid-header"
  grid.HeaderLinkClass = "grid-header"
  grid.ItemClassName = "grid-item"
  grid.AltItemClassName = "grid-altitem"
  grid.FooterClassName = "grid-footer"
  grid.PagingLinkClass = "grid-paging"
  grid.TextBoxStyle = "width:3em;text-align:center;"
  grid:SetHeaderIconText("&#8635;", "&#9650;", "&#9660;")
end

-- The graph classes of style.css.
function layout.StyleGraph(graph)
  graph.TitleClassName = "graph_title"
  graph.xLabelClassName = "xlabel"
  graph.yLabelClassName = "ylabel"
end

return layout
