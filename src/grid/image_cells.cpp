#include "grid/image_cells.h"

#include "frame/text_util.h"
#include "grid/grid_state.h"
#include "quenmark/conversions.h"
#include "quenmark/page_context.h"
#include "quenmark/signing.h"
#include "quenmark/variant.h"

namespace quenmark {

namespace {

constexpr size_t kPictureHeaderSize = 78;
constexpr std::string_view kPurpose = "image-cell\n";

std::optional<int64_t> Position(std::string_view text) {
  if (text.empty() || text.size() > 12 ||
      text.find_first_not_of("0123456789") != std::string_view::npos) {
    return std::nullopt;
  }
  return static_cast<int64_t>(std::stoll(std::string(text)));
}

constexpr std::string_view kSourcePurpose = "image-source\n";

std::string SourceDigest(const Signer& signer, std::string_view source_text) {
  std::string text(kSourcePurpose);
  text += source_text;
  return signer.Sign(text);
}

[[noreturn]] void AnswerStatus(Response& response, std::string status, std::string_view body) {
  response.Clear();
  response.SetExpires(0);
  response.SetStatus(std::move(status));
  response.SetContentType("text/plain");
  response.Write(body);
  response.End();
}

}  // namespace

std::optional<ImageCellRequest> ReadImageCellRequest(const FieldCollection& query_string,
                                                     const Signer& signer) {
  const std::optional<int64_t> row = Position(query_string.Get("r"));
  const std::optional<int64_t> column = Position(query_string.Get("c"));
  // token: base64url(order list "\n" filter "\n" source digest) "." signature of that state
  const std::string token = query_string.Get("t");
  const size_t dot = token.rfind('.');
  if (!row || !column || dot == std::string::npos) return std::nullopt;
  const std::string_view encoded = std::string_view(token).substr(0, dot);
  std::string signed_text(kPurpose);
  signed_text += encoded;
  if (!signer.Verify(signed_text, std::string_view(token).substr(dot + 1))) return std::nullopt;
  std::optional<std::string> state = DecodeBase64Url(encoded);
  if (!state) return std::nullopt;
  const size_t first = state->find('\n');
  const size_t last = state->rfind('\n');
  if (first == std::string::npos || first == last) return std::nullopt;
  ImageCellRequest request;
  request.row = *row;
  request.column = *column;
  request.order_list = state->substr(0, first);
  request.filter_text = state->substr(first + 1, last - first - 1);
  request.source_digest = state->substr(last + 1);
  return request;
}

std::string ImageSourceText(std::string_view connection_string, std::string_view command,
                            std::string_view procedure_name, std::string_view parameter_list) {
  // Lengths in front keep the parts apart whatever they contain.
  std::string text;
  for (std::string_view part : {connection_string, command, procedure_name, parameter_list}) {
    text += std::to_string(part.size());
    text += ':';
    text += part;
    text += '\n';
  }
  return text;
}

std::string MakeImageToken(const Signer& signer, std::string_view source_text,
                           std::string_view order_list, std::string_view filter_text) {
  std::string state(order_list);
  state += '\n';
  state += filter_text;
  state += '\n';
  state += SourceDigest(signer, source_text);
  std::string token = EncodeBase64Url(state);
  std::string signed_text(kPurpose);
  signed_text += token;
  token += '.';
  token += signer.Sign(signed_text);
  return token;
}

bool ImageRequestIsFor(const Signer& signer, std::string_view source_text,
                       const ImageCellRequest& request) {
  std::string text(kSourcePurpose);
  text += source_text;
  return signer.Verify(text, request.source_digest);
}

std::string ImageCellQuery(const FieldCollection& query_string) {
  std::string query;
  for (const auto& [name, value] : query_string.Entries()) {
    const std::string lower = ToLowerAscii(name);
    if (lower == "a" || lower == "r" || lower == "c" || lower == "t") continue;
    query += Server::URLEncode(name);
    query += '=';
    query += Server::URLEncode(value);
    query += '&';
  }
  return query;
}

void AppendImageCellTag(std::string& out, std::string_view page_url, std::string_view page_query,
                        size_t row, size_t column, std::string_view token) {
  out += "<img src=\"";
  out += EscapeHtml(page_url);
  out += '?';
  out += EscapeHtml(page_query);
  out += "a=i&amp;r=";
  out += std::to_string(row);
  out += "&amp;c=";
  out += std::to_string(column);
  out += "&amp;t=";
  out += token;  // base64url and ".": safe in a query string and an attribute
  out += "\" border=0>";
}

std::string_view StripPictureHeader(std::string_view bytes) {
  // The old picture store put an OLE object header in front of each picture; its first words
  // are 0x0015 and 0x001C (written 15 00 1C 00), or, as some stores wrote them, 15 1C.
  static constexpr std::string_view kHeaderWords("\x15\x00\x1C\x00", 4);
  static constexpr std::string_view kHeaderPacked("\x15\x1C", 2);
  if (bytes.size() > kPictureHeaderSize &&
      (bytes.starts_with(kHeaderWords) || bytes.starts_with(kHeaderPacked))) {
    bytes.remove_prefix(kPictureHeaderSize);
  }
  return bytes;
}

std::string_view PictureContentType(std::string_view picture) {
  if (picture.starts_with("\x89PNG\r\n\x1A\n")) return "image/png";
  if (picture.starts_with("\xFF\xD8\xFF")) return "image/jpeg";
  if (picture.starts_with("GIF87a") || picture.starts_with("GIF89a")) return "image/gif";
  if (picture.starts_with("BM")) return "image/bmp";
  return "application/octet-stream";
}

void AnswerPicture(Response& response, const Variant* value) {
  if (value == nullptr || value->kind() != Variant::Kind::kBytes) {
    AnswerStatus(response, "404 Not Found", "Not Found");
  }
  const std::string_view picture = StripPictureHeader(value->AsBytes().data);
  response.Clear();
  response.SetExpires(0);
  response.SetBuffer(true);
  response.SetContentType(std::string(PictureContentType(picture)));
  response.BinaryWrite(picture);
  response.End();
}

void AnswerForbidden(Response& response) { AnswerStatus(response, "403 Forbidden", "Forbidden"); }

}  // namespace quenmark
