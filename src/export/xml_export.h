#pragma once
// The table document the XML-based exports transform, and the text rules of XML.

#include <string>
#include <string_view>

namespace quenmark {

class XmlDocument;
struct ExportSource;
struct ExportSettings;

namespace exporter {

/// `text` as XML character data: malformed UTF-8 becomes U+FFFD and the control characters
/// XML 1.0 cannot hold are left out.
std::string XmlText(std::string_view text);

/// Builds "table" > "theader" (one "tr" of "th" cells with "size" and "type" when column
/// headers are shown) and "tbody" (one "tr" of "td" cells per record; a null is a non-breaking
/// space) from the rows of `source`.
void BuildTableDocument(ExportSource& source, const ExportSettings& settings,
                        XmlDocument& document);

}  // namespace exporter
}  // namespace quenmark
