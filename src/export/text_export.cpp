// Delimited text exports: tab-separated text and text with the caller's separators. A tab, CR
// or LF inside a value becomes one blank, so that no value breaks the columns or the rows.

#include "export/exporter_impl.h"

namespace quenmark {

namespace {

void AppendFlattened(std::string& out, std::string_view value) {
  size_t start = 0;
  for (size_t i = value.find_first_of("\t\r\n"); i != std::string_view::npos;
       i = value.find_first_of("\t\r\n", start)) {
    out.append(value.substr(start, i - start));
    out.push_back(' ');
    start = i + 1;
  }
  out.append(value.substr(start));
}

}  // namespace

void DataSetExporter::ExportToCustomText(std::string_view field_separator,
                                         std::string_view row_separator,
                                         std::string_view extension) {
  std::shared_ptr<ExportSource> source = impl_->OpenSource();
  impl_->SetExportHeaders("text/" + std::string(extension), extension);
  impl_->Deliver(std::move(source),
                 [field = std::string(field_separator), row = std::string(row_separator)](
                     ExportSource& rows, const ExportSettings& settings,
                     exporter::ChunkWriter& out) {
                   const exporter::TableTextFormat format{field, row, " ", AppendFlattened,
                                                          AppendFlattened};
                   exporter::BuildTableText(rows, settings, format, out);
                 });
}

void DataSetExporter::ExportToText() { ExportToCustomText("\t", "\r\n", "txt"); }

}  // namespace quenmark
