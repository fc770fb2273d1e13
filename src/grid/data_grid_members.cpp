// The members of DataGrid that page scripts reach, by name (ignoring case).

#include "quenmark/data_grid.h"

namespace quenmark {

namespace {

using Grid = DataGrid;
using Setter = void (DataGrid::*)(std::string_view);

DispatchTable BuildMembers() {
  DispatchTable table;
  DispatchBuilder<Grid> members(table);

  members.WriteOnly("Connection", [](Grid& g, const Variant& v) { g.Connection(v.ToObject()); })
      .Doc("Connection object",
           "Uses the connection of a `Quenmark.Connection` object the page opened.")
      .WriteOnly("Command", [](Grid& g, const Variant& v) { g.Command(v.ToText()); })
      .Doc("text", "The SQL statement whose result the grid shows.")
      .WriteOnly("MasterTable", [](Grid& g, const Variant& v) { g.MasterTable(v.ToText()); })
      .Doc("text", "Groups rows by the columns of this table into expandable master lines.")
      .Property(
          "Title", [](Grid& g) { return Variant(g.Title()); },
          [](Grid& g, const Variant& v) { g.Title(v.ToText()); })
      .Doc("text", "Text of the title bar above the grid (markup).")
      .ReadOnly("Version", [](Grid& g) { return Variant(g.Version()); })
      .Doc("text", "Version of the library, \"major.minor\".")
      .WriteOnly("PageSize", [](Grid& g, const Variant& v) { g.PageSize(v.ToInt16()); })
      .Doc("number", "Rows per page; 0 shows every row.")
      .WriteOnly("StartRec", [](Grid& g, const Variant& v) { g.StartRec(v.ToInt32()); })
      .Doc("number", "First row shown (1-based); overrides the posted page.")
      .WriteOnly("PageResults", [](Grid& g, const Variant& v) { g.PageResults(v.ToBoolean()); })
      .Doc("true/false", "Paging on (default true); false shows every row.")
      .WriteOnly("IsColumnar", [](Grid& g, const Variant& v) { g.IsColumnar(v.ToBoolean()); })
      .Doc("true/false", "Shows each record as a block of caption/value lines instead of one row.")
      .WriteOnly("AddRowNumbers", [](Grid& g, const Variant& v) { g.AddRowNumbers(v.ToBoolean()); })
      .Doc("true/false",
           "Adds the row-number column whose header resets sort and filter (default true).")
      .WriteOnly("CanFilter", [](Grid& g, const Variant& v) { g.CanFilter(v.ToBoolean()); })
      .Doc("true/false", "Offers the filter row above the grid (default true).")
      .WriteOnly("UsePopupFilters", [](Grid& g, const Variant& v) { g.UsePopupFilters(v); })
      .Doc("true/false",
           "Filters in a pop-up window instead of the inline row (shared by every grid of the "
           "page).")
      .WriteOnly("GraphType", [](Grid& g, const Variant& v) { g.GraphType(v.ToInt16()); })
      .Doc("number",
           "Bar graph of the numeric columns below the grid: 0 none, 1 plain, 2 stacked, 3 "
           "relative.")
      .WriteOnly("GraphOnly", [](Grid& g, const Variant& v) { g.GraphOnly(v.ToBoolean()); })
      .Doc("true/false", "Draws the graph instead of the grid.")
      .WriteOnly("GraphLegendColumn",
                 [](Grid& g, const Variant& v) { g.GraphLegendColumn(v.ToText()); })
      .Doc("text", "Column (name, or 0-based position) whose values name the graph rows.")
      .WriteOnly("EncodeValues", [](Grid& g, const Variant& v) { g.EncodeValues(v.ToBoolean()); })
      .Doc("true/false",
           "HTML-escapes database values in cells (default true); false writes them as they "
           "stand, for databases that hold trusted markup.")
      .WriteOnly("ExportFileName", [](Grid& g, const Variant& v) { g.ExportFileName(v.ToText()); })
      .Doc("text", "Base name (without extension) of exported files.");

  // Class and style properties: each stores an attribute fragment.
  struct Fragment {
    const char* name;
    Setter setter;
    const char* description;
  };
  const Fragment fragments[] = {
      {"GridClassName", &Grid::GridClassName, "CSS class of the grid table."},
      {"GridStyle", &Grid::GridStyle, "Inline style of the grid table."},
      {"GridAlign", &Grid::GridAlign, "align attribute of the grid table (left, center, right)."},
      {"HeaderClassName", &Grid::HeaderClassName, "CSS class of the header cells."},
      {"HeaderStyle", &Grid::HeaderStyle, "Inline style of the header cells."},
      {"ItemClassName", &Grid::ItemClassName, "CSS class of odd rows."},
      {"ItemStyle", &Grid::ItemStyle, "Inline style of odd rows."},
      {"AltItemClassName", &Grid::AltItemClassName, "CSS class of even rows."},
      {"AltItemStyle", &Grid::AltItemStyle, "Inline style of even rows."},
      {"LinkClassName", &Grid::LinkClassName, "CSS class of links inside cells."},
      {"LinkStyle", &Grid::LinkStyle, "Inline style of links inside cells."},
      {"FooterClassName", &Grid::FooterClassName, "CSS class of the title and navigation bars."},
      {"FooterStyle", &Grid::FooterStyle, "Inline style of the title and navigation bars."},
      {"PagingLinkClass", &Grid::PagingLinkClass, "CSS class of the navigation links."},
      {"PagingLinkStyle", &Grid::PagingLinkStyle, "Inline style of the navigation links."},
      {"HeaderLinkClass", &Grid::HeaderLinkClass, "CSS class of the sort links in the header."},
      {"HeaderLinkStyle", &Grid::HeaderLinkStyle, "Inline style of the sort links in the header."},
      {"HeaderTextStyle", &Grid::HeaderTextStyle,
       "Style wrapped around header captions and icons."},
      {"TextBoxStyle", &Grid::TextBoxStyle, "Inline style of the page-size box."},
      {"FilterFieldStyle", &Grid::FilterFieldStyle, "Inline style of the filter fields."},
  };
  for (const Fragment& fragment : fragments) {
    Setter setter = fragment.setter;
    members
        .WriteOnly(fragment.name, [setter](Grid& g, const Variant& v) { (g.*setter)(v.ToText()); })
        .Doc("text", fragment.description);
  }

  members
      .Method("CreateConnection",
              [](Grid& g, Arguments& a) {
                g.CreateConnection(a.Text(0));
                return Variant();
              })
      .Doc("connection string",
           "Opens a connection that the grid owns (SQLite, PostgreSQL or ODBC).")
      .Method("SetProcedure",
              [](Grid& g, Arguments& a) {
                g.SetProcedure(a.Get(0));
                return Variant();
              })
      .Doc("name", "Runs this stored procedure instead of `Command`.")
      .Method("AddParameter",
              [](Grid& g, Arguments& a) {
                g.AddParameter(a.Get(0), a.Get(1));
                return Variant();
              })
      .Doc("name, value", "Adds a parameter for the stored procedure.")
      .Method("GetTransactionStatus",
              [](Grid& g, Arguments&) { return Variant(g.GetTransactionStatus()); })
      .Doc("", "Whether the page runs in a transaction (always false here).")
      .Method("Display",
              [](Grid& g, Arguments&) {
                g.Display();
                return Variant();
              })
      .Doc("", "Queries the database and writes the grid (and graph) into the page.")
      .Method("ColumnCaption",
              [](Grid& g, Arguments& a) {
                g.ColumnCaption(a.Text(0), a.Text(1));
                return Variant();
              })
      .Doc("column, caption", "Sets the header text of a column (markup).")
      .Method("LinkColumn",
              [](Grid& g, Arguments& a) {
                g.LinkColumn(a.Text(0), a.Text(1), a.Text(2), a.Text(3));
                return Variant();
              })
      .Doc("column, url, caption, target",
           "A link template: url and caption may use {{column}}, #TEMP# and the codes of "
           "ReplaceColumn; target may be empty. Set LinkClassName and LinkStyle first.")
      .Method("DateColumn",
              [](Grid& g, Arguments& a) {
                g.DateColumn(a.Text(0), a.Text(1));
                return Variant();
              })
      .Doc("column, format",
           "Date format of a column: %-codes (%B %d, %Y) or a named format 0 to 4.")
      .Method("ReplaceColumn",
              [](Grid& g, Arguments& a) {
                g.ReplaceColumn(a.Text(0), a.Text(1));
                return Variant();
              })
      .Doc("column, template",
           "Shows a template: {{column}} is another column, #TEMP# the value, "
           "#MONEY#/#PERCENT#/#NUMBER# the value formatted, [b] [i] [u] [br] [eval] become "
           "markup.")
      .Method("HiddenColumn",
              [](Grid& g, Arguments& a) {
                g.HiddenColumn(a.Text(0));
                return Variant();
              })
      .Doc("column",
           "Hides the column of that name.")
      .Method("BoolColumn",
              [](Grid& g, Arguments& a) {
                g.BoolColumn(a.Text(0), a.Text(1), a.Text(2));
                return Variant();
              })
      .Doc("column, trueText, falseText",
           "Shows one text for true values and another for false ones.")
      .Method("NumberColumn",
              [](Grid& g, Arguments& a) {
                g.NumberColumn(a.Text(0), a.Int16(1));
                return Variant();
              })
      .Doc("column, decimals",
           "Number format with group separators and that many decimals.")
      .Method("PercentColumn",
              [](Grid& g, Arguments& a) {
                g.PercentColumn(a.Text(0), a.Int16(1));
                return Variant();
              })
      .Doc("column, decimals",
           "Percent format (0.125 shows 12.5%) with that many decimals.")
      .Method("CurrencyColumn",
              [](Grid& g, Arguments& a) {
                g.CurrencyColumn(a.Text(0), a.Int16(1));
                return Variant();
              })
      .Doc("column, decimals",
           "Currency format with that many decimals.")
      .Method("RegExColumn",
              [](Grid& g, Arguments& a) {
                g.RegExColumn(a.Text(0), a.Text(1), a.Text(2));
                return Variant();
              })
      .Doc("column, pattern, replacement",
           "Replaces the first match of the pattern ($1 for groups); a pattern starting with "
           "~d first keeps only the digits of a value that is not a number.")
      .Method("SetLanguageText",
              [](Grid& g, Arguments& a) {
                g.SetLanguageText(a.Text(0), a.Text(1), a.Text(2), a.Text(3), a.Text(4),
                                  a.Text(5), a.Text(6), a.Text(7));
                return Variant();
              })
      .Doc(
          "filter, sort, filterButton, contains, isEqualTo, isNotEqualTo, isLessThan, "
          "isGreaterThan",
          "Sets the texts of the filter row and the filter and sort summary.")
      .Method("SetNavigationText",
              [](Grid& g, Arguments& a) {
                g.SetNavigationText(a.Text(0), a.Text(1), a.Text(2), a.Text(3), a.Text(4),
                                    a.Text(5), a.Text(6), a.Text(7), a.Boolean(8));
                return Variant();
              })
      .Doc("first, previous, next, last, reset, reload, pageCount, pageSize, showPageNumbers",
           "Sets the texts of the navigation bar.")
      .Method("SetHeaderIconText",
              [](Grid& g, Arguments& a) {
                g.SetHeaderIconText(a.Text(0), a.Text(1), a.Text(2));
                return Variant();
              })
      .Doc("refresh, ascending, descending",
           "Sets the refresh icon and the sort markers (e.g. \"&#8635;\", \"&#9650;\", "
           "\"&#9660;\").")
      .Method("SetDisplayText",
              [](Grid& g, Arguments& a) {
                g.SetDisplayText(a.Text(0), a.Get(1));
                return Variant();
              })
      .Doc("key, value",
           "Sets one display text by its lower-case key (\"nexttext\", \"showpagenumbers\", ...).")
      .Method("SetGraphLabels",
              [](Grid& g, Arguments& a) {
                g.SetGraphLabels(a.Text(0), a.Text(1), a.Text(2));
                return Variant();
              })
      .Doc("title, yLabel, xLabel", "Sets the captions of the grid's graph.");
  return table;
}

}  // namespace

const DispatchTable& DataGrid::Members() const {
  static const DispatchTable table = BuildMembers();
  return table;
}

}  // namespace quenmark
