// CSV export: every field enclosed in double quotes, a double quote inside a value doubled, one
// line per record ended by CR LF.

#include "export/exporter_impl.h"

namespace quenmark {

namespace {

void AppendQuoted(std::string& out, std::string_view value) {
  out.push_back('"');
  size_t start = 0;
  for (size_t quote = value.find('"'); quote != std::string_view::npos;
       quote = value.find('"', start)) {
    out.append(value.substr(start, quote + 1 - start));
    out.push_back('"');
    start = quote + 1;
  }
  out.append(value.substr(start));
  out.push_back('"');
}

void WriteCsv(ExportSource& source, const ExportSettings& settings, exporter::ChunkWriter& out) {
  std::string& buffer = out.Buffer();
  const std::vector<FieldInfo>& fields = source.Fields();
  if (settings.show_column_headers) {
    for (size_t f = 0; f < fields.size(); ++f) {
      if (f > 0) buffer.push_back(',');
      AppendQuoted(buffer, fields[f].name);
    }
    buffer.append("\r\n");
  }
  std::vector<Variant> row;
  std::string text;
  while (source.ReadRow(row)) {
    for (size_t f = 0; f < row.size(); ++f) {
      if (f > 0) buffer.push_back(',');
      const Variant& value = row[f];
      if (value.IsMissing()) {
        buffer.append("\" \"");
      } else if (value.kind() == Variant::Kind::kText) {
        AppendQuoted(buffer, value.AsText());
      } else {
        text.clear();
        exporter::AppendValue(text, value);
        AppendQuoted(buffer, text);
      }
    }
    buffer.append("\r\n");
    out.Ready();
  }
  source.CheckFetched();
}

}  // namespace

void DataSetExporter::ExportToCSV() {
  std::shared_ptr<ExportSource> source = impl_->OpenSource();
  impl_->SetExportHeaders("text/csv", "csv");
  impl_->Deliver(std::move(source), WriteCsv);
}

}  // namespace quenmark
