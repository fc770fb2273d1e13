#pragma once
// The grid's export hand-off: the five export buttons of the title bar with the encoded
// arguments they post, and the export that an export postback asks for.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quenmark {

class Connection;
class DisplayTexts;
class Recordset;

/// The argument text of an export button: "4fmt:" + format + ";sql:;cn:;hdr:" + headers +
/// ";ttl:" + title + ";". The SQL text and the connection string keep their keys but travel
/// empty: the export runs the grid's own statement and connection, and neither belongs in the
/// browser.
std::string ExportArgument(std::string_view format, std::string_view headers,
                           std::string_view title);

/// The headers an export button carries: each caption reduced to letters, digits and blanks,
/// joined by ",".
std::string ExportHeaders(const std::vector<std::string>& captions);

/// Appends the title-bar cell with the buttons doc, excel, csv, xml and text: for each a hidden
/// field "btnExp" + format holding the encoded argument, and a link that posts "_" + format.
void AppendExportButtonsCell(std::string& out, const DisplayTexts& texts,
                             const std::vector<std::string>& captions, std::string_view title,
                             std::string_view link_class, std::string_view link_style);

/// What a grid hands to the exporter.
struct GridExportRequest {
  std::string format;        ///< "doc", "excel", "csv", "xml", "text" or "print"
  std::string headers;       ///< captions joined by ","
  std::string title;         ///< the grid's Title
  std::string file_name;     ///< ExportFileName; empty keeps the exporter's
  int32_t rows_per_page = 0; ///< the grid's PageSize, for the print format
  bool encode_values = true;
  /// The connection the rows come from: shared, or lent (`lent` set, owned by the page).
  std::shared_ptr<Connection> connection;
  Connection* lent = nullptr;
  std::unique_ptr<Recordset> recordset;
};

/// Produces the export and ends the response (ResponseEnded); a format that is none of the
/// above exports nothing and still ends the response.
[[noreturn]] void RunGridExport(GridExportRequest request);

}  // namespace quenmark
