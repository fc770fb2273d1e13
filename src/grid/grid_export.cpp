#include "grid/grid_export.h"

#include "frame/text_util.h"
#include "grid/display_texts.h"
#include "grid/grid_state.h"
#include "quenmark/data_set_exporter.h"
#include "quenmark/database.h"
#include "quenmark/error.h"
#include "quenmark/page_context.h"
#include "quenmark/shared_procedures.h"

namespace quenmark {

namespace {

struct ExportButton {
  std::string_view format;
  DisplayText caption;
  DisplayText tooltip;
};

constexpr ExportButton kButtons[] = {
    {"doc", DisplayText::kDocText, DisplayText::kDocTitle},
    {"excel", DisplayText::kXlsText, DisplayText::kXlsTitle},
    {"csv", DisplayText::kCsvText, DisplayText::kCsvTitle},
    {"xml", DisplayText::kXmlText, DisplayText::kXmlTitle},
    {"text", DisplayText::kTxtText, DisplayText::kTxtTitle},
};

std::vector<std::string> SplitHeaders(std::string_view headers) {
  const std::vector<std::string_view> parts = Split(headers, ",");
  return {parts.begin(), parts.end()};
}

}  // namespace

std::string ExportArgument(std::string_view format, std::string_view headers,
                           std::string_view title) {
  std::string argument = "4fmt:";
  argument += format;
  argument += ";sql:;cn:;hdr:";
  argument += headers;
  argument += ";ttl:";
  argument += title;
  argument += ';';
  return argument;
}

std::string ExportHeaders(const std::vector<std::string>& captions) {
  std::string headers;
  for (size_t i = 0; i < captions.size(); ++i) {
    if (i > 0) headers += ',';
    headers += KeepAllowedChars(captions[i], " ");
  }
  return headers;
}

void AppendExportButtonsCell(std::string& out, const DisplayTexts& texts,
                             const std::vector<std::string>& captions, std::string_view title,
                             std::string_view link_class, std::string_view link_style) {
  const std::string headers = ExportHeaders(captions);
  out += "<td align=right nowrap>";
  for (const ExportButton& button : kButtons) {
    out += "&nbsp;";
    AppendHiddenField(out, "btnExp" + std::string(button.format),
                      EncodeBase64(ExportArgument(button.format, headers, title)));
    out += MakeLink(texts.Get(button.caption), texts.Get(button.tooltip),
                    "javascript:__doPostBack('_" + std::string(button.format) + "')", link_class,
                    link_style, "");
    out += "&nbsp;";
  }
  out += "&nbsp;</td>";
}

void RunGridExport(GridExportRequest request) {
  DataSetExporter exporter;
  exporter.Title(request.title);
  if (request.lent != nullptr) {
    exporter.Connection(*request.lent);
  } else {
    exporter.Connection(std::move(request.connection));
  }
  exporter.Recordset(std::move(request.recordset));
  exporter.ShowRowNumbers(true);
  exporter.Headers(SplitHeaders(request.headers));
  exporter.EncodeValues(request.encode_values);
  if (!request.file_name.empty()) exporter.FileName(request.file_name);

  const std::string& format = request.format;
  const Variant title(request.title);
  if (format == "xml") {
    exporter.ExportToXml();
  } else if (format == "csv") {
    exporter.ExportToCSV();
  } else if (format == "text") {
    exporter.ExportToText();
  } else if (format == "print") {
    exporter.ExportToHtmlForPrint(request.rows_per_page, title);
  } else if (format == "excel") {
    exporter.ExportToExcel(title);
  } else if (format == "doc") {
    exporter.ExportToWord(title);
  }
  CurrentPageContext()->response.End();
}

}  // namespace quenmark
