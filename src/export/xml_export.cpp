// XML exports: the rows become a small table document (a header section with one cell per
// column carrying its defined size and type, and a body with one row per record), which an XSLT
// stylesheet turns into the file. The document is built node by node from the values, so every
// value stays one cell whatever text it holds, and the result is serialised in the encoding the
// stylesheet declares.

#include "export/xml_export.h"

#include "export/exporter_impl.h"
#include "quenmark/error.h"
#include "quenmark/xml.h"

namespace quenmark {

namespace {

// Produces a neutral dataset document: column descriptions, then one "datarow" per record whose
// "datacolumn" cells are named after the header cell at the same position.
constexpr std::string_view kDatasetStylesheet = R"xsl(<?xml version="1.0"?>
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="xml" encoding="ISO-8859-1"/>
<xsl:template match="/"><xsl:apply-templates/></xsl:template>
<xsl:template match="table"><dataset><xsl:if test="count(/table/theader/tr/th) &gt; 0"><datacolumns><xsl:for-each select="theader/tr/th"><datacolumn name="{.}" type="{@type}" size="{@size}"/></xsl:for-each></datacolumns></xsl:if><datarows><xsl:for-each select="tbody/tr"><datarow><xsl:for-each select="td"><xsl:variable name="pos" select="position()"/><datacolumn><xsl:if test="count(/table/theader/tr/th) &gt; 0"><xsl:attribute name="name"><xsl:value-of select="ancestor::table/theader/tr/th[$pos]"/></xsl:attribute></xsl:if><xsl:value-of select="."/></datacolumn></xsl:for-each></datarow></xsl:for-each></datarows></dataset></xsl:template>
</xsl:stylesheet>
)xsl";

// The encoding the stylesheet's xsl:output names ("UTF-8" when none does).
std::string OutputEncoding(const XmlDocument& stylesheet) {
  for (const XmlNode& child : stylesheet.DocumentElement().ChildElements()) {
    const std::string name = child.NodeName();
    if ((name == "output" || name.ends_with(":output")) && child.HasAttribute("encoding")) {
      return child.GetAttribute("encoding");
    }
  }
  return "UTF-8";
}

void AppendCellText(XmlNode cell, const Variant& value, std::string& text) {
  text.clear();
  if (value.IsMissing()) {
    text = "\xC2\xA0";  // a null shows as a non-breaking space
  } else {
    exporter::AppendValue(text, value);
  }
  cell.SetText(exporter::XmlText(text));
}

}  // namespace

namespace exporter {

std::string XmlText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      // XML 1.0 has no way to write the other control characters, so they are left out.
      if (c >= 0x20 || c == '\t' || c == '\n' || c == '\r') out.push_back(static_cast<char>(c));
      ++i;
      continue;
    }
    size_t length = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
    bool valid = length > 0 && i + length <= text.size();
    uint32_t code = length == 2 ? c & 0x1F : length == 3 ? c & 0x0F : c & 0x07;
    for (size_t k = 1; valid && k < length; ++k) {
      const unsigned char next = static_cast<unsigned char>(text[i + k]);
      valid = (next & 0xC0) == 0x80;
      code = (code << 6) | (next & 0x3F);
    }
    // Overlong forms, surrogates and the two non-characters U+FFFE/U+FFFF are not XML text.
    static constexpr uint32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (valid && (code < kMinimum[length] || (code >= 0xD800 && code <= 0xDFFF) ||
                  code == 0xFFFE || code == 0xFFFF || code > 0x10FFFF)) {
      valid = false;
    }
    if (valid) {
      out.append(text.substr(i, length));
      i += length;
    } else {
      out.append("\xEF\xBF\xBD");  // U+FFFD for a malformed byte
      ++i;
    }
  }
  return out;
}

void BuildTableDocument(ExportSource& source, const ExportSettings& settings,
                        XmlDocument& document) {
  XmlNode table = document.CreateDocumentElement("table");
  XmlNode header = table.AppendElement("theader");
  const std::vector<FieldInfo>& fields = source.Fields();
  if (settings.show_column_headers) {
    XmlNode row = header.AppendElement("tr");
    // The captions pair with the fields of the same position.
    const size_t count = settings.headers_set ? std::min(settings.headers.size(), fields.size())
                                              : fields.size();
    for (size_t f = 0; f < count; ++f) {
      XmlNode cell = row.AppendElement("th");
      cell.SetAttribute("size", std::to_string(fields[f].defined_size));
      cell.SetAttribute("type", std::to_string(fields[f].type));
      cell.SetText(XmlText(settings.headers_set ? settings.headers[f] : fields[f].name));
    }
  }
  XmlNode body = table.AppendElement("tbody");
  std::vector<Variant> values;
  std::string text;
  while (source.ReadRow(values)) {
    XmlNode row = body.AppendElement("tr");
    for (const Variant& value : values) AppendCellText(row.AppendElement("td"), value, text);
  }
  source.CheckFetched();
}

}  // namespace exporter

void DataSetExporter::ExportToCustomXml(std::string_view stylesheet, std::string_view extension) {
  auto style = std::make_shared<XmlDocument>();
  if (Status loaded = style->LoadXml(stylesheet); !loaded.ok()) {
    throw Error(ErrorNumber::kGeneric, "The export stylesheet is not valid XML: " +
                                           loaded.Description(), "DataSetExporter");
  }
  std::shared_ptr<ExportSource> source = impl_->OpenSource();
  impl_->SetExportHeaders("text/" + std::string(extension), extension);
  // The declared charset is the one the result is written in.
  impl_->response().SetCharset(OutputEncoding(*style));
  impl_->Deliver(std::move(source), [style](ExportSource& rows, const ExportSettings& settings,
                                            exporter::ChunkWriter& out) {
    XmlDocument document;
    exporter::BuildTableDocument(rows, settings, document);
    // The writer's "client gone" exception must not cross the XML library's C frames.
    bool stopped = false;
    Result<std::string> written = document.TransformTo(*style, [&](std::string_view bytes) {
      try {
        out.Write(bytes);
        return true;
      } catch (const exporter::ChunkWriter::Stopped&) {
        stopped = true;
        return false;
      }
    });
    if (stopped) throw exporter::ChunkWriter::Stopped{};
    if (!written.ok()) {
      throw Error(ErrorNumber::kGeneric, written.Description(), "DataSetExporter");
    }
  });
}

void DataSetExporter::ExportToXml() { ExportToCustomXml(kDatasetStylesheet, "xml"); }

}  // namespace quenmark
