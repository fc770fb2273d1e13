// Print export: a printable HTML page of every row, in tables of a fixed number of rows with a
// page break after each, optional running row numbers and a title. It is one XSLT stylesheet
// with its parameters written into the text, applied to the table document of the XML exports.

#include <limits>

#include "export/exporter_impl.h"
#include "export/xml_export.h"

namespace quenmark {

namespace {

// Text for the inside of an XML element of the stylesheet.
std::string StylesheetText(std::string_view text) {
  std::string out;
  const std::string clean = exporter::XmlText(text);
  for (char c : clean) {
    if (c == '&') {
      out += "&amp;";
    } else if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::string PrintStylesheet(int32_t rows_per_page, std::string_view row_numbers,
                            std::string_view title, bool encode_values) {
  // Below 1 every row goes into one table.
  const int64_t per_page =
      rows_per_page >= 1 ? rows_per_page : std::numeric_limits<int32_t>::max();
  const std::string per_page_text = std::to_string(per_page);
  const std::string escaped_title = StylesheetText(title);
  std::string xsl =
      "<?xml version=\"1.0\"?><xsl:stylesheet version=\"1.0\" "
      "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\"><xsl:output method=\"html\" "
      "version=\"4.0\" encoding=\"ISO-8859-1\"/><xsl:variable name=\"rowsPerPage\"><xsl:choose>"
      "<xsl:when test=\"number(/table/@rowsPerPage) &gt; 0\"><xsl:value-of "
      "select=\"number(/table/@rowsPerPage)\"/></xsl:when><xsl:otherwise>";
  xsl += per_page_text;
  xsl +=
      "</xsl:otherwise></xsl:choose></xsl:variable><xsl:variable name=\"ShowRowNumbers\">"
      "<xsl:choose><xsl:when test=\"/table/@ShowRowNumbers\"><xsl:value-of "
      "select=\"number(/table/@ShowRowNumbers)\"/></xsl:when><xsl:otherwise>";
  xsl += row_numbers;
  xsl += "</xsl:otherwise></xsl:choose></xsl:variable><xsl:template match='/'><html><head><title>";
  xsl += escaped_title;
  xsl +=
      "</title><style>th{background-color:#dcdcdc;font-family:tahoma, sans-serif;font-size: "
      "12px;border-top:1px solid gray;border-left:1px solid gray;}td{background-color:white;"
      "font-family: tahoma, sans-serif; font-size: 12px;border-top:1px solid gray;border-left:"
      "1px solid gray;}</style></head><body>";
  if (!title.empty()) {
    xsl += "<h2 style='margin-bottom:2px;'>";
    xsl += escaped_title;
    xsl += "</h2><hr size='1' noshade='true'/>";
  }
  // Each table starts at a row whose position is 1 more than a multiple of rowsPerPage and
  // takes the rows that follow it; the sibling step with a literal position bound lets the
  // processor stop after one page, so the whole page costs time linear in the rows.
  xsl +=
      "<xsl:apply-templates/></body></html></xsl:template>"
      "<xsl:template match=\"@*|node()\"><xsl:copy><xsl:apply-templates "
      "select=\"@*|node()\"/></xsl:copy></xsl:template>"
      "<xsl:template match=\"table\"><xsl:for-each select=\"tbody/tr\"><xsl:if "
      "test=\"(position() - 1) mod $rowsPerPage = 0\"><xsl:call-template name=\"table\">"
      "<xsl:with-param name=\"start\" select=\"position()\"/></xsl:call-template></xsl:if>"
      "</xsl:for-each></xsl:template>"
      "<xsl:template name=\"table\"><xsl:param name=\"start\"/><table cellpadding='2' "
      "cellspacing='0' style='border-right:1px solid gray;border-bottom:1px solid gray;' "
      "width='99%'><xsl:if test=\"count(/table/theader/tr/th) &gt; 0\"><tr><xsl:if "
      "test=\"$ShowRowNumbers = 1\"><th>#</th></xsl:if><xsl:apply-templates "
      "select=\"/table/theader/tr/th\"/></tr></xsl:if><xsl:for-each select=\". | "
      "following-sibling::tr[position() &lt; ";
  xsl += per_page_text;
  xsl +=
      "]\"><tr><xsl:if test=\"$ShowRowNumbers = 1\"><td><xsl:value-of select=\"position() + "
      "$start - 1\"/></td></xsl:if><xsl:apply-templates select=\"td\"/></tr></xsl:for-each>"
      "</table><br style='page-break-after:always;' /></xsl:template>"
      "<xsl:template match=\"td\"><td><xsl:value-of select=\"normalize-space(.)\"";
  if (!encode_values) xsl += " disable-output-escaping=\"yes\"";
  xsl += "/></td></xsl:template></xsl:stylesheet>";
  return xsl;
}

}  // namespace

void DataSetExporter::ExportToHtmlForPrint(int32_t rows_per_page, const Variant& title) {
  const std::string heading = impl_->TitleOr(title);
  const std::string stylesheet =
      PrintStylesheet(rows_per_page, impl_->settings.show_row_numbers ? "1" : "", heading,
                      impl_->settings.encode_values);
  // The page opens in the browser unless the caller chose otherwise.
  const bool inline_by_default = impl_->open_file_given == 0;
  if (inline_by_default) impl_->open_file = true;
  ExportToCustomXml(stylesheet, "html");
}

}  // namespace quenmark
