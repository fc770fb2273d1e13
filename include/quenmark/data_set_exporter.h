#pragma once
/// `DataSetExporter`: writes the rows of a query as a downloadable document that replaces the
/// response of the page running on this thread: CSV, tab-separated text, an Excel workbook
/// (HTML), XML through an XSLT stylesheet, a Word document (RTF) or a printable HTML page.
///
/// The grid creates one per export request; page scripts cannot create it, C++ pages may:
///
///   quenmark::DataSetExporter exporter;               // takes this page's response
///   exporter.CreateConnection("sqlite:store.db");
///   exporter.Command("SELECT ProductName, UnitPrice FROM Products");
///   exporter.ExportToCSV();                           // ends the response (ResponseEnded)
///
/// Every export sets the content type and (unless `OpenFile` is on) an attachment file name,
/// clears what the page wrote, and ends the response. The rows are not read into memory: the
/// export hands the response a body stream that reads them from the cursor while the host sends
/// them, in chunks. The stream owns the connection and recordset it reads; a connection lent by
/// reference cannot outlive the page, so an export over one is written before the export call
/// returns. The XML-based exports (XML, custom XML, print) hold the document tree, linear in the
/// rows, while they transform it.
///
/// Errors: a failing query reaches the caller as quenmark::Error before anything is sent; a
/// failure while the rows stream cuts the transfer short.
///
/// Threading: one exporter serves one request on the thread that created it.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "quenmark/variant.h"

namespace quenmark {

class Connection;
class Recordset;
struct ExportSource;

class DataSetExporter {
 public:
  /// Binds to the page context of this thread; raises Error(kObjectRequired) outside a page.
  DataSetExporter();
  ~DataSetExporter();
  DataSetExporter(const DataSetExporter&) = delete;
  DataSetExporter& operator=(const DataSetExporter&) = delete;

  /// On: no attachment header is sent, so the browser shows the file inline.
  void OpenFile(bool value);
  /// Print export: numbered rows.
  void ShowRowNumbers(bool value);
  /// Header line or row of the column names (default on).
  void ShowColumnHeaders(bool value);
  /// Title used by the Word, Excel and print exports when they are given none.
  void Title(std::string value);
  const std::string& Title() const;
  /// SQL text run on the connection when no recordset is given.
  void Command(std::string sql);
  /// Column captions of the XML-based exports (default: the field names).
  void Headers(std::vector<std::string> headers);
  /// Uses a shared connection; the export keeps it alive while the rows stream.
  void Connection(std::shared_ptr<quenmark::Connection> connection);
  /// Uses a connection owned by the caller (see the note on lent connections above).
  void Connection(quenmark::Connection& connection);
  /// The rows to export (read from where the recordset stands); it must come from the
  /// connection given to the exporter.
  void Recordset(std::unique_ptr<quenmark::Recordset> recordset);
  /// Opens the exporter's own connection; a failure leaves it without one.
  void CreateConnection(std::string_view connection_string);

  void ExportToWord(const Variant& title);
  void ExportToExcel(const Variant& title);
  void ExportToXml();
  /// Pages of `rows_per_page` rows with a page break after each; below 1, one table of every row.
  void ExportToHtmlForPrint(int32_t rows_per_page, const Variant& title);
  void ExportToCSV();
  void ExportToText();
  void ExportToCustomText(std::string_view field_separator, std::string_view row_separator,
                          std::string_view extension);
  /// Applies an XSLT 1.0 stylesheet to the rows' table document; the result is sent with the
  /// content type "text/" + extension and the encoding the stylesheet's xsl:output names.
  void ExportToCustomXml(std::string_view stylesheet, std::string_view extension);

  /// Base name of the downloaded file, without extension (default "Report").
  void FileName(std::string name);
  /// Off: values are written into the Excel and print documents as markup, unescaped.
  void EncodeValues(bool on);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace quenmark
