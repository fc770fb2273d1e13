// The exporter frame: members, response headers, the row source and the table-text builder that
// the delimited and HTML exports share.

#include "quenmark/data_set_exporter.h"

#include <charconv>
#include <utility>

#include "export/exporter_impl.h"
#include "quenmark/error.h"

namespace quenmark {

namespace {

constexpr std::string_view kDefaultTitle = "Quenmark Reporting Solutions";
constexpr std::string_view kAuthor = "Velloran";
constexpr std::string_view kCompanyAddress = "www.quenmark.example";

bool IsAsciiTokenChar(unsigned char c) {
  return c > 0x20 && c < 0x7f && c != '"' && c != ';' && c != ',' && c != '\\';
}

}  // namespace

void ExportSource::CheckFetched() const {
  const Status status = recordset->status();
  if (!status.ok()) throw Error(ErrorNumber::kGeneric, status.Description(), "DataSetExporter");
}

// ---- helpers shared by the formats ------------------------------------------------------------

namespace exporter {

void AppendValue(std::string& out, const Variant& value) {
  switch (value.kind()) {
    case Variant::Kind::kEmpty:
    case Variant::Kind::kNull:
      return;
    case Variant::Kind::kText:
      out.append(value.AsText());
      return;
    case Variant::Kind::kInteger: {
      char digits[24];
      const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value.AsInteger());
      out.append(digits, static_cast<size_t>(end - digits));
      return;
    }
    default:
      out.append(value.ToText());
  }
}

void AppendHtmlEscaped(std::string& out, std::string_view text) {
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    std::string_view entity;
    switch (text[i]) {
      case '&':
        entity = "&amp;";
        break;
      case '<':
        entity = "&lt;";
        break;
      case '>':
        entity = "&gt;";
        break;
      case '"':
        entity = "&quot;";
        break;
      case '\'':
        entity = "&#39;";
        break;
      default:
        continue;
    }
    out.append(text.substr(start, i - start));
    out.append(entity);
    start = i + 1;
  }
  out.append(text.substr(start));
}

void BuildTableText(ExportSource& source, const ExportSettings& settings,
                    const TableTextFormat& format, ChunkWriter& out) {
  std::string& buffer = out.Buffer();
  const std::vector<FieldInfo>& fields = source.Fields();
  if (settings.show_column_headers) {
    for (const FieldInfo& field : fields) {
      format.append_name(buffer, field.name);
      buffer.append(format.field_separator);
    }
    buffer.append(format.row_separator);
  }
  std::vector<Variant> row;
  std::string text;
  while (source.ReadRow(row)) {
    for (size_t f = 0; f < row.size(); ++f) {
      if (f > 0) buffer.append(format.field_separator);
      const Variant& value = row[f];
      if (value.IsMissing()) {
        buffer.append(format.null_text);
      } else if (value.kind() == Variant::Kind::kText) {
        format.append_value(buffer, value.AsText());
      } else {
        text.clear();
        AppendValue(text, value);
        format.append_value(buffer, text);
      }
    }
    buffer.append(format.row_separator);
    out.Ready();
  }
  source.CheckFetched();
}

std::string AttachmentHeader(std::string_view file_name) {
  // Quotes, line breaks and path separators would let a name break the header or name a path.
  std::string clean;
  clean.reserve(file_name.size());
  bool ascii = true;
  bool token = true;
  for (unsigned char c : file_name) {
    if (c < 0x20 || c == 0x7f || c == '"' || c == '/' || c == '\\') continue;
    if (c >= 0x80) ascii = false;
    if (!IsAsciiTokenChar(c)) token = false;
    clean.push_back(static_cast<char>(c));
  }
  if (clean.empty() || clean.front() == '.') clean.insert(0, "Report");
  std::string header = "attachment; filename=";
  if (ascii && token) return header + clean;
  // Browsers that read only the plain parameter get the name with other characters replaced.
  std::string fallback;
  for (unsigned char c : clean) {
    if (c >= 0x80) {
      if ((c & 0xC0) != 0x80) fallback.push_back('_');
    } else {
      fallback.push_back(static_cast<char>(c));
    }
  }
  header += '"' + fallback + '"';
  if (!ascii) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    header += "; filename*=UTF-8''";
    for (unsigned char c : clean) {
      const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                         (c >= '0' && c <= '9') || std::string_view("!#$&+-.^_`|~").find(
                                                       static_cast<char>(c)) != std::string_view::npos;
      if (plain) {
        header.push_back(static_cast<char>(c));
      } else {
        header.push_back('%');
        header.push_back(kHex[c >> 4]);
        header.push_back(kHex[c & 15]);
      }
    }
  }
  return header;
}

}  // namespace exporter

// ---- the frame --------------------------------------------------------------------------------

void DataSetExporter::Impl::SetExportHeaders(std::string_view content_type,
                                             std::string_view extension) {
  Response& reply = response();
  reply.SetContentType(std::string(content_type));
  if (!open_file) {
    std::string name = file_name;
    name += '.';
    name += extension;
    reply.AddHeader("Content-Disposition", exporter::AttachmentHeader(name));
  }
}

std::shared_ptr<ExportSource> DataSetExporter::Impl::OpenSource() {
  auto source = std::make_shared<ExportSource>();
  source->connection = connection;
  if (recordset) {
    source->recordset = std::move(recordset);
  } else {
    if (!connection || !connection->IsOpen()) {
      throw Error(ErrorNumber::kObjectRequired, "The exporter has no open connection",
                  "DataSetExporter");
    }
    Result<std::unique_ptr<quenmark::Recordset>> opened = connection->Execute(command);
    if (!opened.ok()) throw Error(ErrorNumber::kGeneric, opened.Description(), "DataSetExporter");
    source->recordset = std::move(opened.value());
  }
  field_count = source->recordset->FieldCount();
  return source;
}

void DataSetExporter::Impl::Deliver(std::shared_ptr<ExportSource> source, Writer write) {
  Response& reply = response();
  reply.Clear();
  reply.StreamBody([source = std::move(source), settings = settings,
                    write = std::move(write)](const BodySink& sink) {
    exporter::ChunkWriter out(sink);
    try {
      write(*source, settings, out);
      out.Flush();
    } catch (const exporter::ChunkWriter::Stopped&) {
      // The client has gone; nothing more can be delivered.
    }
    // Free the statement and connection now rather than when the response is destroyed.
    source->recordset.reset();
    source->connection.reset();
  });
  // A lent connection may be gone once the page has ended, so its rows are read now.
  if (connection_lent) reply.CompleteBody();
  reply.End();
}

std::string DataSetExporter::Impl::TitleOr(const Variant& title) const {
  std::string text = title.IsMissing() ? std::string() : title.ToText();
  return text.empty() ? settings.title : text;
}

DataSetExporter::DataSetExporter() : impl_(std::make_unique<Impl>()) {
  impl_->context = CurrentPageContext();
  if (impl_->context == nullptr) {
    throw Error(ErrorNumber::kObjectRequired, "The exporter was created outside a page",
                "DataSetExporter");
  }
  impl_->settings.title = kDefaultTitle;
  impl_->settings.author = kAuthor;
  impl_->settings.company_address = kCompanyAddress;
}

DataSetExporter::~DataSetExporter() = default;

void DataSetExporter::OpenFile(bool value) {
  impl_->open_file = value;
  impl_->open_file_given = 1;
}
void DataSetExporter::ShowRowNumbers(bool value) { impl_->settings.show_row_numbers = value; }
void DataSetExporter::ShowColumnHeaders(bool value) {
  impl_->settings.show_column_headers = value;
}
void DataSetExporter::Title(std::string value) { impl_->settings.title = std::move(value); }
const std::string& DataSetExporter::Title() const { return impl_->settings.title; }
void DataSetExporter::Command(std::string sql) { impl_->command = std::move(sql); }
void DataSetExporter::Headers(std::vector<std::string> headers) {
  impl_->settings.headers = std::move(headers);
  impl_->settings.headers_set = true;
}

void DataSetExporter::Connection(std::shared_ptr<quenmark::Connection> connection) {
  impl_->connection = std::move(connection);
  impl_->connection_lent = false;
}

void DataSetExporter::Connection(quenmark::Connection& connection) {
  impl_->connection = std::shared_ptr<quenmark::Connection>(
      std::shared_ptr<quenmark::Connection>(), &connection);
  impl_->connection_lent = true;
}

void DataSetExporter::Recordset(std::unique_ptr<quenmark::Recordset> recordset) {
  impl_->recordset = std::move(recordset);
}

void DataSetExporter::CreateConnection(std::string_view connection_string) {
  Result<std::unique_ptr<quenmark::Connection>> opened =
      quenmark::Connection::Open(connection_string);
  impl_->connection_lent = false;
  if (!opened.ok()) {
    impl_->connection.reset();
    return;
  }
  impl_->connection = std::shared_ptr<quenmark::Connection>(std::move(opened.value()));
}

void DataSetExporter::FileName(std::string name) { impl_->file_name = std::move(name); }
void DataSetExporter::EncodeValues(bool on) { impl_->settings.encode_values = on; }

}  // namespace quenmark
