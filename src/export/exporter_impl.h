#pragma once
// The inside of DataSetExporter, shared by the files of the export formats: the exporter's
// fields, the row source an export stream reads, the response headers and the hand-over of a
// body stream to the response.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "export/chunk_writer.h"
#include "quenmark/data_set_exporter.h"
#include "quenmark/database.h"
#include "quenmark/page_context.h"

namespace quenmark {

/// What an export stream reads: the rows and the connection they come from. It is owned by the
/// stream, which may run after the page has ended.
struct ExportSource {
  std::shared_ptr<quenmark::Connection> connection;
  std::unique_ptr<quenmark::Recordset> recordset;

  const std::vector<FieldInfo>& Fields() const { return recordset->Fields(); }
  /// The next row, read from the cursor without keeping it.
  bool ReadRow(std::vector<Variant>& row) { return recordset->ReadNext(row); }
  /// Raises the fetch error that ended the rows, if any (the transfer is then cut short).
  void CheckFetched() const;
};

/// The exporter's settings an export stream needs, copied when the export starts.
struct ExportSettings {
  std::string title;
  std::string author;
  std::string company_address;
  bool show_row_numbers = false;
  bool show_column_headers = true;
  bool encode_values = true;
  bool headers_set = false;
  std::vector<std::string> headers;
};

struct DataSetExporter::Impl {
  PageContext* context = nullptr;
  ExportSettings settings;
  std::string file_name = "Report";
  bool open_file = false;
  int16_t open_file_given = 0;
  std::string command;
  std::shared_ptr<quenmark::Connection> connection;
  bool connection_lent = false;
  std::unique_ptr<quenmark::Recordset> recordset;
  int32_t field_count = 0;

  Response& response() const { return context->response; }

  /// Sets the content type and, unless the file opens inline, the attachment header.
  void SetExportHeaders(std::string_view content_type, std::string_view extension);
  /// The rows to export: the recordset given, or the command run on the connection. Raises
  /// Error when there is neither or the query fails. Sets field_count.
  std::shared_ptr<ExportSource> OpenSource();
  /// Replaces the body with `write`'s output, streamed, and ends the response.
  using Writer = std::function<void(ExportSource&, const ExportSettings&,
                                    exporter::ChunkWriter&)>;
  [[noreturn]] void Deliver(std::shared_ptr<ExportSource> source, Writer write);
  /// The title argument of an export, or the exporter's title when it is empty.
  std::string TitleOr(const Variant& title) const;
};

namespace exporter {

/// Appends a value as text (nulls and empties append nothing).
void AppendValue(std::string& out, const Variant& value);
/// Appends `text` with &, <, >, " and ' escaped for HTML.
void AppendHtmlEscaped(std::string& out, std::string_view text);

/// How the table-text builder writes a table: the header line of field names (each followed by
/// the field separator) and every row (values joined by the field separator), each followed by
/// the row separator; nulls as `null_text`; each value through `append_value`, each field name
/// through `append_name`.
struct TableTextFormat {
  std::string_view field_separator;
  std::string_view row_separator;
  std::string_view null_text;
  void (*append_value)(std::string& out, std::string_view value);
  void (*append_name)(std::string& out, std::string_view name);
};

/// Writes the whole table of `source` in `format`.
void BuildTableText(ExportSource& source, const ExportSettings& settings,
                    const TableTextFormat& format, ChunkWriter& out);

/// The content of an attachment header for `file_name`: unsafe characters removed, quoted when
/// needed, and non-ASCII names also given as filename*=UTF-8''...
std::string AttachmentHeader(std::string_view file_name);

}  // namespace exporter
}  // namespace quenmark
