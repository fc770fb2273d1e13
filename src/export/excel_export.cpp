// Excel export: an HTML table wrapped in the Office markup that names the worksheet. Values,
// field names and the title are HTML-escaped unless the exporter's values are set to stay
// markup.

#include "export/exporter_impl.h"

namespace quenmark {

namespace {

void AppendRaw(std::string& out, std::string_view value) { out.append(value); }

}  // namespace

void DataSetExporter::ExportToExcel(const Variant& title) {
  std::string sheet = impl_->TitleOr(title);
  std::shared_ptr<ExportSource> source = impl_->OpenSource();
  // The content type is not a text/ type, so the charset is named here; the meta element tells
  // the spreadsheet program the same when the file is opened from disk.
  impl_->SetExportHeaders("Application/vnd.excel; charset=utf-8", "xls");
  impl_->Deliver(std::move(source), [sheet = std::move(sheet)](ExportSource& rows,
                                                                const ExportSettings& settings,
                                                                exporter::ChunkWriter& out) {
    std::string& buffer = out.Buffer();
    buffer.append(
        "<html xmlns:x=\"urn:schemas-microsoft-com:office:excel\">"
        "<head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">"
        "<!--[if gte mso 9]><xml>"
        "<x:ExcelWorkbook><x:ExcelWorksheets><x:ExcelWorksheet>"
        "<x:Name>");
    exporter::AppendHtmlEscaped(buffer, sheet);
    buffer.append(
        "</x:Name><x:WorksheetOptions><x:Print>"
        "<x:ValidPrinterInfo/></x:Print>"
        "</x:WorksheetOptions></x:ExcelWorksheet></x:ExcelWorksheets></x:ExcelWorkbook>"
        "</xml><![endif]--></head><body><table><tr><td>");
    const exporter::TableTextFormat format{
        "</td><td>", "</td></tr><tr><td>", "&nbsp;",
        settings.encode_values ? exporter::AppendHtmlEscaped : AppendRaw,
        exporter::AppendHtmlEscaped};
    exporter::BuildTableText(rows, settings, format, out);
    out.Write("</td></tr></table></body></html>");
  });
}

}  // namespace quenmark
