#include "quenmark/xml.h"

#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlIO.h>
#include <libxml/xmlsave.h>
#include <libxslt/imports.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/xslt.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "quenmark/files.h"

namespace quenmark {
namespace {

// No network, no external entities, no messages on stderr (errors are returned instead).
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

thread_local std::string tls_messages;

void CollectMessage(void*, const char* format, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  tls_messages += buffer;
}

// libxml2 keeps its error handler per thread, libxslt once per process; both feed the
// calling thread's message buffer.
void PrepareThread() {
  static std::once_flag once;
  std::call_once(once, [] {
    xmlInitParser();
    xsltSetGenericErrorFunc(nullptr, CollectMessage);
  });
  thread_local bool prepared = false;
  if (!prepared) {
    xmlSetGenericErrorFunc(nullptr, CollectMessage);
    prepared = true;
  }
  tls_messages.clear();
}

std::string TakeMessages(std::string_view fallback) {
  std::string text = std::move(tls_messages);
  tls_messages.clear();
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text.empty() ? std::string(fallback) : text;
}

const xmlChar* X(const std::string& text) { return reinterpret_cast<const xmlChar*>(text.c_str()); }

std::string FromXml(const xmlChar* text) {
  return text == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(text));
}

// Takes ownership of a string libxml2 allocated.
std::string TakeXml(xmlChar* text) {
  std::string result = FromXml(text);
  xmlFree(text);
  return result;
}

void FreeDoc(_xmlDoc* doc) {
  if (doc != nullptr) xmlFreeDoc(doc);
}

xmlDocPtr NewEmptyDoc() { return xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0")); }

bool ValidName(const std::string& name) {
  return !name.empty() && xmlValidateName(X(name), 0) == 0;
}

void CollectElements(xmlNodePtr parent, std::string_view name, std::vector<XmlNode>& out,
                     XmlNode (*make)(xmlNodePtr)) {
  for (xmlNodePtr child = parent->children; child != nullptr; child = child->next) {
    if (child->type != XML_ELEMENT_NODE) continue;
    if (name == "*" || name == reinterpret_cast<const char*>(child->name))
      out.push_back(make(child));
    CollectElements(child, name, out, make);
  }
}

struct ParserContextDeleter {
  void operator()(xmlParserCtxt* ctxt) const { xmlFreeParserCtxt(ctxt); }
};
struct StylesheetDeleter {
  void operator()(xsltStylesheet* style) const { xsltFreeStylesheet(style); }
};
struct TransformContextDeleter {
  void operator()(xsltTransformContext* ctxt) const { xsltFreeTransformContext(ctxt); }
};
struct SecurityPrefsDeleter {
  void operator()(xsltSecurityPrefs* prefs) const { xsltFreeSecurityPrefs(prefs); }
};
struct DocDeleter {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};

}  // namespace

// ---- XmlNode ----------------------------------------------------------------------------------

bool XmlNode::IsElement() const { return node_ != nullptr && node_->type == XML_ELEMENT_NODE; }

std::string XmlNode::NodeName() const {
  if (node_ == nullptr) return std::string();
  switch (node_->type) {
    case XML_ELEMENT_NODE:
      if (node_->ns != nullptr && node_->ns->prefix != nullptr) {
        return FromXml(node_->ns->prefix) + ":" + FromXml(node_->name);
      }
      return FromXml(node_->name);
    case XML_TEXT_NODE:
      return "#text";
    case XML_CDATA_SECTION_NODE:
      return "#cdata-section";
    case XML_COMMENT_NODE:
      return "#comment";
    case XML_PI_NODE:
      return FromXml(node_->name);
    default:
      return "#node";
  }
}

std::string XmlNode::Text() const {
  if (node_ == nullptr) return std::string();
  return TakeXml(xmlNodeGetContent(node_));
}

void XmlNode::SetText(std::string_view text) {
  if (!IsElement()) return;
  while (node_->children != nullptr) {
    xmlNodePtr child = node_->children;
    xmlUnlinkNode(child);
    xmlFreeNode(child);
  }
  xmlNodePtr text_node = xmlNewDocTextLen(node_->doc, reinterpret_cast<const xmlChar*>(text.data()),
                                          static_cast<int>(text.size()));
  xmlAddChild(node_, text_node);
}

std::string XmlNode::GetAttribute(std::string_view name) const {
  if (!IsElement()) return std::string();
  xmlAttrPtr attribute = xmlHasProp(node_, X(std::string(name)));
  if (attribute == nullptr) return std::string();
  return TakeXml(xmlNodeGetContent(reinterpret_cast<xmlNodePtr>(attribute)));
}

bool XmlNode::HasAttribute(std::string_view name) const {
  return IsElement() && xmlHasProp(node_, X(std::string(name))) != nullptr;
}

void XmlNode::SetAttribute(std::string_view name, std::string_view value) {
  std::string key(name);
  if (!IsElement() || !ValidName(key)) return;
  xmlSetProp(node_, X(key), X(std::string(value)));
}

void XmlNode::RemoveAttribute(std::string_view name) {
  if (!IsElement()) return;
  xmlUnsetProp(node_, X(std::string(name)));
}

std::vector<std::pair<std::string, std::string>> XmlNode::Attributes() const {
  std::vector<std::pair<std::string, std::string>> result;
  if (!IsElement()) return result;
  for (xmlAttrPtr attribute = node_->properties; attribute != nullptr;
       attribute = attribute->next) {
    result.emplace_back(FromXml(attribute->name),
                        TakeXml(xmlNodeGetContent(reinterpret_cast<xmlNodePtr>(attribute))));
  }
  return result;
}

XmlNode XmlNode::Parent() const {
  if (node_ == nullptr || node_->parent == nullptr || node_->parent->type != XML_ELEMENT_NODE) {
    return XmlNode();
  }
  return XmlNode(node_->parent);
}

std::vector<XmlNode> XmlNode::ChildNodes() const {
  std::vector<XmlNode> result;
  if (node_ == nullptr) return result;
  for (xmlNodePtr child = node_->children; child != nullptr; child = child->next) {
    result.push_back(XmlNode(child));
  }
  return result;
}

std::vector<XmlNode> XmlNode::ChildElements() const {
  std::vector<XmlNode> result;
  if (node_ == nullptr) return result;
  for (xmlNodePtr child = node_->children; child != nullptr; child = child->next) {
    if (child->type == XML_ELEMENT_NODE) result.push_back(XmlNode(child));
  }
  return result;
}

std::vector<XmlNode> XmlNode::ElementsByTagName(std::string_view name) const {
  std::vector<XmlNode> result;
  if (node_ == nullptr) return result;
  CollectElements(node_, name, result, [](xmlNodePtr n) { return XmlNode(n); });
  return result;
}

XmlNode XmlNode::AppendElement(std::string_view name) {
  std::string tag(name);
  if (!IsElement() || !ValidName(tag)) return XmlNode();
  xmlNodePtr element = xmlNewDocNode(node_->doc, nullptr, X(tag), nullptr);
  return XmlNode(xmlAddChild(node_, element));
}

bool XmlNode::AppendChild(XmlNode child) {
  if (!IsElement() || !child.IsElement() || child.node_->doc != node_->doc) return false;
  for (xmlNodePtr up = node_; up != nullptr; up = up->parent) {
    if (up == child.node_) return false;
  }
  xmlUnlinkNode(child.node_);
  xmlAddChild(node_, child.node_);
  return true;
}

bool XmlNode::RemoveChild(XmlNode child) {
  if (node_ == nullptr || child.node_ == nullptr || child.node_->parent != node_) return false;
  xmlUnlinkNode(child.node_);
  xmlFreeNode(child.node_);
  return true;
}

std::string XmlNode::ToXml() const {
  if (node_ == nullptr) return std::string();
  xmlBufferPtr buffer = xmlBufferCreate();
  xmlNodeDump(buffer, node_->doc, node_, 0, 0);
  std::string result(reinterpret_cast<const char*>(xmlBufferContent(buffer)),
                     static_cast<size_t>(xmlBufferLength(buffer)));
  xmlBufferFree(buffer);
  return result;
}

// ---- XmlDocument ------------------------------------------------------------------------------

XmlDocument::XmlDocument() : doc_(nullptr, FreeDoc) {
  PrepareThread();
  doc_.reset(NewEmptyDoc());
}

XmlDocument::~XmlDocument() = default;
XmlDocument::XmlDocument(XmlDocument&&) noexcept = default;
XmlDocument& XmlDocument::operator=(XmlDocument&&) noexcept = default;

void XmlDocument::Reset(_xmlDoc* doc) { doc_.reset(doc != nullptr ? doc : NewEmptyDoc()); }

Status XmlDocument::FinishLoad(_xmlParserCtxt* ctxt, _xmlDoc* doc) {
  tls_messages.clear();
  if (doc == nullptr || ctxt == nullptr || !ctxt->wellFormed) {
    FreeDoc(doc);
    error_code_ = ctxt && ctxt->lastError.code != 0 ? ctxt->lastError.code : XML_ERR_INTERNAL_ERROR;
    error_reason_ = ctxt && ctxt->lastError.message != nullptr ? ctxt->lastError.message
                                                               : "The document could not be read";
    while (!error_reason_.empty() && error_reason_.back() == '\n') error_reason_.pop_back();
    error_line_ = ctxt ? ctxt->lastError.line : 0;
    return Status::Failure(error_reason_);
  }
  Reset(doc);
  error_code_ = 0;
  error_reason_.clear();
  return Status::Ok();
}

Status XmlDocument::LoadFile(const std::string& path) {
  PrepareThread();
  Reset(nullptr);
  error_line_ = 0;
  if (!FileExists(path)) {
    error_code_ = kFileNotFound;
    error_reason_ = "The system cannot locate the file specified: " + path;
    return Status::Failure(error_reason_);
  }
  std::unique_ptr<xmlParserCtxt, ParserContextDeleter> ctxt(xmlNewParserCtxt());
  xmlDocPtr doc =
      ctxt ? xmlCtxtReadFile(ctxt.get(), path.c_str(), nullptr, kParseOptions) : nullptr;
  return FinishLoad(ctxt.get(), doc);
}

Status XmlDocument::LoadXml(std::string_view text) {
  PrepareThread();
  Reset(nullptr);
  error_line_ = 0;
  std::unique_ptr<xmlParserCtxt, ParserContextDeleter> ctxt(xmlNewParserCtxt());
  xmlDocPtr doc = ctxt ? xmlCtxtReadMemory(ctxt.get(), text.data(), static_cast<int>(text.size()),
                                           nullptr, "UTF-8", kParseOptions)
                       : nullptr;
  return FinishLoad(ctxt.get(), doc);
}

XmlNode XmlDocument::DocumentElement() const { return XmlNode(xmlDocGetRootElement(doc_.get())); }

XmlNode XmlDocument::CreateDocumentElement(std::string_view name) {
  std::string tag(name);
  if (!ValidName(tag)) return XmlNode();
  xmlNodePtr root = xmlNewDocNode(doc_.get(), nullptr, X(tag), nullptr);
  xmlNodePtr old = xmlDocSetRootElement(doc_.get(), root);
  if (old != nullptr) xmlFreeNode(old);
  return XmlNode(root);
}

std::vector<XmlNode> XmlDocument::ChildNodes() const {
  std::vector<XmlNode> result;
  for (xmlNodePtr child = doc_->children; child != nullptr; child = child->next) {
    result.push_back(XmlNode(child));
  }
  return result;
}

std::vector<XmlNode> XmlDocument::ElementsByTagName(std::string_view name) const {
  std::vector<XmlNode> result;
  CollectElements(reinterpret_cast<xmlNodePtr>(doc_.get()), name, result,
                  [](xmlNodePtr n) { return XmlNode(n); });
  return result;
}

std::string XmlDocument::ToXml() const {
  xmlChar* memory = nullptr;
  int size = 0;
  const char* encoding =
      doc_->encoding != nullptr ? reinterpret_cast<const char*>(doc_->encoding) : "UTF-8";
  xmlDocDumpFormatMemoryEnc(doc_.get(), &memory, &size, encoding, 1);
  std::string result(reinterpret_cast<const char*>(memory), static_cast<size_t>(size));
  xmlFree(memory);
  return result;
}

Status XmlDocument::Save(const std::string& path) const {
  if (xmlDocGetRootElement(doc_.get()) == nullptr) {
    return Status::Failure("The document has no document element: " + path);
  }
  return WriteFileAtomic(path, ToXml());
}

namespace {

// A stylesheet applied to a document: the parsed stylesheet (which names the output encoding and
// method) and the result tree.
struct AppliedStylesheet {
  std::unique_ptr<xsltStylesheet, StylesheetDeleter> style;
  std::unique_ptr<xmlDoc, DocDeleter> result;
};

// Parses `stylesheet` and applies it to `source` with file and network access forbidden.
Result<AppliedStylesheet> ApplyStylesheet(xmlDocPtr stylesheet, xmlDocPtr source) {
  // The stylesheet takes ownership of the tree it is built from, so it gets a copy.
  xmlDocPtr copy = xmlCopyDoc(stylesheet, 1);
  std::unique_ptr<xsltStylesheet, StylesheetDeleter> style(xsltParseStylesheetDoc(copy));
  if (!style) {
    xmlFreeDoc(copy);
    return Status::Failure(TakeMessages("The stylesheet is not valid XSLT"));
  }
  if (style->errors > 0) return Status::Failure(TakeMessages("The stylesheet is not valid XSLT"));

  std::unique_ptr<xsltTransformContext, TransformContextDeleter> ctxt(
      xsltNewTransformContext(style.get(), source));
  std::unique_ptr<xsltSecurityPrefs, SecurityPrefsDeleter> prefs(xsltNewSecurityPrefs());
  if (!ctxt || !prefs) return Status::Failure("Out of memory");
  xsltSetSecurityPrefs(prefs.get(), XSLT_SECPREF_WRITE_FILE, xsltSecurityForbid);
  xsltSetSecurityPrefs(prefs.get(), XSLT_SECPREF_CREATE_DIRECTORY, xsltSecurityForbid);
  xsltSetSecurityPrefs(prefs.get(), XSLT_SECPREF_READ_NETWORK, xsltSecurityForbid);
  xsltSetSecurityPrefs(prefs.get(), XSLT_SECPREF_WRITE_NETWORK, xsltSecurityForbid);
  xsltSetCtxtSecurityPrefs(prefs.get(), ctxt.get());

  std::unique_ptr<xmlDoc, DocDeleter> result(
      xsltApplyStylesheetUser(style.get(), source, nullptr, nullptr, nullptr, ctxt.get()));
  if (!result || ctxt->state == XSLT_STATE_ERROR || ctxt->state == XSLT_STATE_STOPPED) {
    return Status::Failure(TakeMessages("The transformation failed"));
  }
  return AppliedStylesheet{std::move(style), std::move(result)};
}

}  // namespace

Result<std::string> XmlDocument::Transform(const XmlDocument& stylesheet) const {
  PrepareThread();
  if (xmlDocGetRootElement(stylesheet.doc_.get()) == nullptr) {
    return Status::Failure("The stylesheet is empty");
  }
  auto applied = ApplyStylesheet(stylesheet.doc_.get(), doc_.get());
  if (!applied) return applied.status();
  const auto& style = applied->style;
  const auto& result = applied->result;
  xmlChar* text = nullptr;
  int length = 0;
  if (xsltSaveResultToString(&text, &length, result.get(), style.get()) != 0) {
    return Status::Failure(TakeMessages("The result could not be written"));
  }
  std::string output = text == nullptr ? std::string()
                                       : std::string(reinterpret_cast<const char*>(text),
                                                     static_cast<size_t>(length));
  xmlFree(text);
  tls_messages.clear();
  return output;
}

Result<std::string> XmlDocument::TransformTo(
    const XmlDocument& stylesheet, const std::function<bool(std::string_view)>& write) const {
  PrepareThread();
  if (xmlDocGetRootElement(stylesheet.doc_.get()) == nullptr) {
    return Status::Failure("The stylesheet is empty");
  }
  auto applied = ApplyStylesheet(stylesheet.doc_.get(), doc_.get());
  if (!applied) return applied.status();
  const auto& style = applied->style;
  const auto& result = applied->result;

  // The output encoding as the stylesheet (or one it imports) names it; UTF-8 needs no encoder.
  const xmlChar* encoding = nullptr;
  XSLT_GET_IMPORT_PTR(encoding, style.get(), encoding)
  xmlCharEncodingHandlerPtr encoder = nullptr;
  std::string encoding_name = "UTF-8";
  if (encoding != nullptr) {
    encoder = xmlFindCharEncodingHandler(reinterpret_cast<const char*>(encoding));
    if (encoder == nullptr) return Status::Failure("Unknown output encoding");
    if (xmlStrcasecmp(reinterpret_cast<const xmlChar*>(encoder->name),
                      reinterpret_cast<const xmlChar*>("UTF-8")) == 0) {
      encoder = nullptr;
    } else {
      encoding_name = reinterpret_cast<const char*>(encoding);
    }
  }
  struct Target {
    const std::function<bool(std::string_view)>* write;
    bool stopped = false;
  } target{&write};
  auto write_callback = [](void* context, const char* bytes, int length) -> int {
    auto* to = static_cast<Target*>(context);
    if (to->stopped || !(*to->write)(std::string_view(bytes, static_cast<size_t>(length)))) {
      to->stopped = true;
      return -1;
    }
    return length;
  };
  xmlOutputBufferPtr buffer = xmlOutputBufferCreateIO(write_callback, nullptr, &target, encoder);
  if (buffer == nullptr) return Status::Failure("Out of memory");
  const int written = xsltSaveResultTo(buffer, result.get(), style.get());
  const int closed = xmlOutputBufferClose(buffer);
  if (target.stopped) return Status::Failure("The result could not be delivered");
  if (written < 0 || closed < 0) {
    return Status::Failure(TakeMessages("The result could not be written"));
  }
  tls_messages.clear();
  return encoding_name;
}

}  // namespace quenmark
