-- The report manager over the demo store: the store's tables beside the saved reports listed by
-- group, reports shown with their password, parameters, chart, summaries or master table, new
-- groups, group and report deletions, the report builder for ticked tables, and the interface
-- texts in German when the browser prefers German.
--
-- The reports file (.reports/reports.xml) and the locale files (.locale/) lie in folders whose
-- names start with ".", which the server never serves to browsers.
local layout = require("lib.layout")
local manager = Server.CreateObject("Quenmark.Tabulon2")
manager.Title = "Quenmark reports"
manager.StyleSheet = ""          -- the layout links the site's style sheet
manager.ReportsFile = ".reports/reports.xml"
manager.LocaleFolder = ".locale"
-- Actions (new group, deletions) run here and end the page.
manager:Init("Provider=SQLite;Data Source=" .. Server.MapPath("data/demo.db"))

manager.ReportsTitle = manager:ReadLocale("ReportsHeading", "Reports")
layout.Begin("Report manager",
  "The store's tables (open one by its name) and the saved reports in groups. Supplier " ..
  "contacts asks for a password (demo); Products of a category and Customers in a country " ..
  "ask for a parameter; Units in stock by category draws a chart; Freight of the orders of " ..
  "2005 has totals and a summary; Categories and their products is a master-details report. " ..
  "Edit a group by its heading, add one with New Group, delete a report with its x. Tick " ..
  "tables and press Build Report to build a new " ..
  "report page by page. With a German browser the texts come from " ..
  "<code>.locale/locale_de.xml</code>.")
manager:DisplayReports()
layout.End()
