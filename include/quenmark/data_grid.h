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
  /// Groups rows by the columns of this table (master-detail mode).
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
  void ColumnCaption(std::string_view sColumn, std::string_view sCaption);
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
  /// Current sort order: comma-separated 1-based positions, each optionally " desc".
  const std::string& OrderList() const;

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
