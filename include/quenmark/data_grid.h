#pragma once
/// `DataGrid`: a paged, sortable HTML grid over the result of an SQL statement, written into the
/// response of the page running on this thread.
///
/// A page creates one grid per request, sets its properties and calls `Display`:
///
///   quenmark::DataGrid grid;             // reads the grid state the previous page posted
///   grid.CreateConnection("sqlite:store.db");
///   grid.Command("SELECT ProductName, UnitPrice FROM Products");
///   grid.PageSize(20);
///   grid.Display();
///
/// The grid keeps no memory between requests: page, page size, sort order and filter travel in
/// hidden fields of its form (named "QmkTabulon") and in the encoded "__FARGS" argument of each
/// link, and a new grid reads them when it is created. Whatever the page sets afterwards
/// overrides the posted state.
///
/// Errors: a missing connection or statement and database failures are written as a red
/// message and end the response (`ResponseEnded`); other failures inside `Display` reach the
/// caller as `quenmark::Error` whose source ends in "<br> Display Line: " or "<br> Bind Line: "
/// and the failing step.
///
/// Class and style properties store ready-made attribute fragments (" class=\"x\"",
/// " style=\"y\""); an empty value clears the fragment. Captions, titles and texts set by the
/// page are markup and are written as they are; values that come from the request are escaped.
///
/// Threading: one grid serves one request on the thread that created it.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "quenmark/dispatch.h"
#include "quenmark/variant.h"

namespace quenmark {

class Connection;

class DataGrid : public Dispatchable {
 public:
  /// Binds to the page context of this thread (if any) and reads the posted grid state.
  DataGrid();
  /// Closes the connection only when `CreateConnection` opened it.
  ~DataGrid() override;
  DataGrid(const DataGrid&) = delete;
  DataGrid& operator=(const DataGrid&) = delete;

  const DispatchTable& Members() const override;
  std::string_view ClassName() const override { return "DataGrid"; }

  // --- data source ---------------------------------------------------------------------------
  /// Uses an open connection owned by the caller, which must outlive the grid.
  void Connection(quenmark::Connection& connection);
  /// Uses the connection of a "Quenmark.Connection" object (kept alive by the grid); raises
  /// Error(kTypeMismatch) for any other object.
  void Connection(std::shared_ptr<Dispatchable> connection_object);
  /// Opens a connection that the grid owns. Failure writes the database's description as a
  /// fatal message and ends the response.
  void CreateConnection(std::string_view sConnectionString);
  bool OwnsConnection() const;
  /// Database kind code of the connection (0 until one is set).
  int16_t DatabaseKind() const;
  void Command(std::string sql);
  const std::string& Command() const;
  /// Switches master-detail mode on: consecutive rows with the same values in this table's
  /// columns form one group, shown as a master line with expandable detail rows. The statement
  /// should be ordered by those columns. An empty table shows an error and ends the response.
  void MasterTable(std::string table);
  void SetProcedure(const Variant& strProcedure);
  void AddParameter(const Variant& strParamName, const Variant& strParamValue);

  // --- layout and paging ---------------------------------------------------------------------
  const std::string& Title() const;
  void Title(std::string title);
  /// "major.minor" of the library.
  std::string Version() const;
  /// Rows per page; 0 shows every row.
  void PageSize(int16_t rows);
  int16_t PageSize() const;
  /// 1-based first row of the page.
  void StartRec(int32_t row);
  int32_t StartRec() const;
  void PageResults(bool on);
  void IsColumnar(bool on);
  void AddRowNumbers(bool on);
  void CanFilter(bool on);
  /// Per-thread shared setting, read as a boolean.
  void UsePopupFilters(const Variant& on);

  void GridClassName(std::string_view value);
  void GridStyle(std::string_view value);
  void GridAlign(std::string_view value);
  void HeaderClassName(std::string_view value);
  void HeaderStyle(std::string_view value);
  void ItemClassName(std::string_view value);
  void ItemStyle(std::string_view value);
  void AltItemClassName(std::string_view value);
  void AltItemStyle(std::string_view value);
  void LinkClassName(std::string_view value);
  void LinkStyle(std::string_view value);
  void FooterClassName(std::string_view value);
  void FooterStyle(std::string_view value);
  void PagingLinkClass(std::string_view value);
  void PagingLinkStyle(std::string_view value);
  void HeaderLinkClass(std::string_view value);
  void HeaderLinkStyle(std::string_view value);
  void HeaderTextStyle(std::string_view value);
  void TextBoxStyle(std::string_view value);
  void FilterFieldStyle(std::string_view value);

  // --- graph and export ----------------------------------------------------------------------
  /// 0 none, 1 plain bars below the grid, 2 stacked, 3 relative.
  void GraphType(int16_t type);
  void GraphOnly(bool on);
  /// 0-based column position written as a number, or a column name.
  void GraphLegendColumn(std::string column);
  void ExportFileName(std::string name);
  void SetGraphLabels(std::string sTitle, std::string yLabel, std::string xLabel);

  // --- columns and texts ---------------------------------------------------------------------
  // Columns are named as the grid knows them: formats other than captions and hidden columns
  // take the qualified name table.column (".column" when the table is unknown), and the first
  // call for a column wins. For each cell the first of date, number (also percent and
  // currency), template (link and replace), boolean and regular-expression formats that names
  // its column decides. The texts given here are markup; the database values they show are
  // HTML-escaped unless `EncodeValues` is false.
  void ColumnCaption(std::string_view sColumn, std::string_view sCaption);
  /// A link "<a href=\"sUrl\"[ target=sTarget][LinkClassName][LinkStyle]>sCaption</a>" whose
  /// URL and caption may hold the codes of `ReplaceColumn`; set the link class and style first.
  void LinkColumn(std::string_view sColumn, std::string_view sUrl, std::string_view sCaption,
                  std::string_view sTarget);
  /// A FormatDate format ("%B %d, %Y"), or a named date format number 0 to 4.
  void DateColumn(std::string_view sColumn, std::string_view sFormat);
  /// A template: {{column}} is another column of the row, #TEMP# the value, #URLTEMP# the value
  /// percent-encoded for a link's query string, the first of
  /// #MONEY#, #PERCENT# or #NUMBER# the value so formatted, and [br] [b] [/b] [u] [/u] [i] [/i]
  /// [eval] [/eval] become markup.
  void ReplaceColumn(std::string_view sColumn, std::string_view sReplaceText);
  /// Hides the column whose name is sColumn (whole name, ignoring case).
  void HiddenColumn(std::string_view sColumn);
  /// sTrue for a true value (True, -1, 1), sFalse for a false one.
  void BoolColumn(std::string_view sColumn, std::string_view sTrue, std::string_view sFalse);
  /// Locale number, percent and currency formats with iDec decimals (negative: the default).
  void NumberColumn(std::string_view sColumn, int16_t iDec);
  void PercentColumn(std::string_view sColumn, int16_t iDec);
  void CurrencyColumn(std::string_view sColumn, int16_t iDec);
  /// Replaces the first match of sPattern by sReplace ($1 for groups). A pattern starting with
  /// "~d" first reduces a value that is not a number to its digits.
  void RegExColumn(std::string_view sColumn, std::string_view sPattern, std::string_view sReplace);
  /// False writes database values into cells as they stand (for databases holding trusted
  /// markup); true (the default) HTML-escapes them.
  void EncodeValues(bool on);
  void SetLanguageText(std::string sFilter, std::string sSortText, std::string sFilterButton,
                       std::string sContains, std::string sIsEqualTo, std::string sIsNotEqualTo,
                       std::string sIsLessThan, std::string sIsGreaterThan);
  void SetNavigationText(std::string sFirst, std::string sPrev, std::string sNext,
                         std::string sLast, std::string sReset, std::string sReload,
                         std::string sPageCount, std::string sPageSize, bool bShowPageNumbers);
  void SetHeaderIconText(std::string sRefresh, std::string sColumnAsc, std::string sColumnDesc);
  /// Sets one text by its lower-case key; unknown keys change nothing.
  void SetDisplayText(std::string_view strName, const Variant& strValue);

  // --- state set by the report manager (not reachable from page scripts) ----------------------
  void SortColumn(std::string value);
  void LastSort(std::string value);
  void RemoveSort(bool on);
  void FilterText(std::string value);
  const std::string& FilterText() const;
  void ShowExportButtons(bool on);
  /// The page supplies the form named "QmkTabulon" itself.
  void NoForm(bool on);
  /// A "Total" / "Average" column at the right of each row: the sum (mean) of the shown number
  /// and money columns after the first column.
  void ShowRowTotal(bool on);
  void ShowRowAverage(bool on);
  /// "Total" / "Average" lines below the rows of the page, over the page's rows.
  void ShowColumnTotal(bool on);
  void ShowColumnAverage(bool on);
  /// Summary block below the grid: items field "__" function "__" label separated by ",",
  /// the function one of MIN, MAX, AVG, SUM, COUNT, VAR, STDEV; the database computes each
  /// over every row of the statement. Shorter than 3 characters: no block.
  void SummaryText(std::string items_text);
  /// Current sort order: comma-separated 1-based positions, each optionally " desc".
  const std::string& OrderList() const;
  /// Whether the request is an export postback.
  bool ExportRequested() const;
  /// Produces the requested export over the grid's connection and statement and ends the
  /// response (`ResponseEnded`); a missing connection or statement gives the fatal message.
  [[noreturn]] void RunExport();

  // --- operations ----------------------------------------------------------------------------
  /// Whether the page runs inside a transaction; pages of this host never do.
  bool GetTransactionStatus() const;
  /// Queries the source and writes the grid into the response.
  void Display();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace quenmark
