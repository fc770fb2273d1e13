#pragma once
/// XML documents and XSLT 1.0 transformation (libxml2 and libxslt behind a small RAII wrapper).
///
/// An `XmlDocument` owns its tree; `XmlNode` is a non-owning handle into it, valid until the
/// node is removed or the document is destroyed or reloaded. Texts are UTF-8; documents that
/// declare another encoding (ISO-8859-1, windows-1252) are transcoded when loaded from a file.
/// Attributes keep the order in which they were first set; changing a value keeps its place.
/// Loading never reaches the network and never expands external entities.
///
/// Threading: a document belongs to one thread at a time; different documents may be used on
/// different threads at once.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "quenmark/error.h"

struct _xmlNode;
struct _xmlDoc;
struct _xmlParserCtxt;

namespace quenmark {

class XmlNode {
 public:
  XmlNode() = default;
  explicit operator bool() const { return node_ != nullptr; }
  bool IsElement() const;
  bool operator==(const XmlNode& other) const = default;

  /// Tag name for elements, "#text", "#comment", "#cdata-section" for other nodes.
  std::string NodeName() const;
  /// The text content of the node and everything below it.
  std::string Text() const;
  /// Replaces the children of an element with one text node (stored as is, escaped on output).
  void SetText(std::string_view text);

  /// "" when absent.
  std::string GetAttribute(std::string_view name) const;
  bool HasAttribute(std::string_view name) const;
  /// A new attribute goes after the existing ones; an existing one changes in place.
  void SetAttribute(std::string_view name, std::string_view value);
  void RemoveAttribute(std::string_view name);
  /// Name/value pairs in document order.
  std::vector<std::pair<std::string, std::string>> Attributes() const;

  XmlNode Parent() const;
  /// Every child node (elements, texts, comments) in order.
  std::vector<XmlNode> ChildNodes() const;
  /// Child elements only.
  std::vector<XmlNode> ChildElements() const;
  /// Descendant elements with the tag name ("*" for all), in document order.
  std::vector<XmlNode> ElementsByTagName(std::string_view name) const;

  /// Creates an element as the last child and returns it.
  XmlNode AppendElement(std::string_view name);
  /// Moves `child` (a node of the same document that is not an ancestor) to the end of the
  /// children; returns false when it cannot be moved.
  bool AppendChild(XmlNode child);
  /// Removes and frees a child; its handles become invalid. False when it is not a child.
  bool RemoveChild(XmlNode child);

  /// The node serialised as XML.
  std::string ToXml() const;

 private:
  friend class XmlDocument;
  explicit XmlNode(_xmlNode* node) : node_(node) {}
  _xmlNode* node_ = nullptr;
};

class XmlDocument {
 public:
  /// An empty document (no document element).
  XmlDocument();
  ~XmlDocument();
  XmlDocument(XmlDocument&&) noexcept;
  XmlDocument& operator=(XmlDocument&&) noexcept;
  XmlDocument(const XmlDocument&) = delete;
  XmlDocument& operator=(const XmlDocument&) = delete;

  /// Replaces the document with the file's. A missing file or a parse error returns a failure
  /// and leaves the document empty with ParseErrorCode() non-zero.
  Status LoadFile(const std::string& path);
  /// Same for a UTF-8 text (an encoding the text declares is ignored: it is already UTF-8).
  Status LoadXml(std::string_view text);
  /// 0 after a successful load; otherwise the parser's error number (kFileNotFound for a
  /// missing file).
  int ParseErrorCode() const { return error_code_; }
  const std::string& ParseErrorReason() const { return error_reason_; }
  int ParseErrorLine() const { return error_line_; }
  static constexpr int kFileNotFound = -1;

  /// The root element, or a null handle.
  XmlNode DocumentElement() const;
  /// Creates the document element (replacing an existing one) and returns it.
  XmlNode CreateDocumentElement(std::string_view name);
  /// Top-level nodes (comments, processing instructions, the document element).
  std::vector<XmlNode> ChildNodes() const;
  std::vector<XmlNode> ElementsByTagName(std::string_view name) const;

  /// The whole document with its XML declaration, indented.
  std::string ToXml() const;
  /// Writes the whole document to a temporary file beside `path` and renames it over `path`.
  Status Save(const std::string& path) const;

  /// Applies `stylesheet` (an XSLT 1.0 document) to this document and returns the serialised
  /// result as the stylesheet's xsl:output asks. The stylesheet may read files but not write
  /// files or reach the network.
  Result<std::string> Transform(const XmlDocument& stylesheet) const;
  /// Applies `stylesheet` like Transform but hands the serialised result to `write` piece by
  /// piece as it is serialised (a false return stops the writing), and returns the name of the
  /// encoding the result is written in: the one the stylesheet's xsl:output names, "UTF-8" when
  /// it names none. Characters the encoding cannot hold are written as character references.
  Result<std::string> TransformTo(const XmlDocument& stylesheet,
                                  const std::function<bool(std::string_view)>& write) const;

 private:
  void Reset(_xmlDoc* doc);
  Status FinishLoad(_xmlParserCtxt* ctxt, _xmlDoc* doc);
  std::unique_ptr<_xmlDoc, void (*)(_xmlDoc*)> doc_;
  int error_code_ = 0;
  std::string error_reason_;
  int error_line_ = 0;
};

}  // namespace quenmark
