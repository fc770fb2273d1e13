#pragma once
// Image cells. A binary column's cell is an <img> whose address asks the same page for the
// picture: "?<page query>a=i&r=<row>&c=<column>&t=<token>". The token carries the order and
// filter of the rows shown and a signed digest of the statement (connection string, SQL text or
// procedure and parameters), so neither the statement nor the connection string appears in the
// page, and a request can only fetch pictures of a statement the page itself runs.
//
// The page runs again for the picture, with its own query string. The grid checks the token's
// signature when it is created and answers 403 at once when the token is missing, malformed or
// forged, so nothing more of the page runs. `Display` then compares the digest with the
// statement the page set: the grid that made the token answers the picture instead of itself
// (404 for a row beyond the end, a column that is not binary or a NULL picture); any other grid
// of the page writes nothing and runs nothing. A statement that depends on posted form fields
// differs on that request, so its grid does not answer.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quenmark {

class FieldCollection;
class Response;
class Signer;
class Variant;

/// What an image-cell request asks for.
struct ImageCellRequest {
  int64_t row = 0;     ///< 0-based row of the ordered, filtered result
  int64_t column = 0;  ///< 0-based column
  std::string order_list;
  std::string filter_text;
  std::string source_digest;  ///< signed digest of the statement that made the token
};

/// Reads "r", "c" and "t" of an image-cell request; nullopt when the token is missing,
/// malformed or not signed by `signer`, or a position is not a number (the caller answers 403).
std::optional<ImageCellRequest> ReadImageCellRequest(const FieldCollection& query_string,
                                                     const Signer& signer);

/// What a token signs about the statement, apart from order and filter.
std::string ImageSourceText(std::string_view connection_string, std::string_view command,
                            std::string_view procedure_name, std::string_view parameter_list);

/// The token of the image cells of a result shown with `order_list` and `filter_text`.
std::string MakeImageToken(const Signer& signer, std::string_view source_text,
                           std::string_view order_list, std::string_view filter_text);
/// Whether the request's token was made for the statement `source_text`.
bool ImageRequestIsFor(const Signer& signer, std::string_view source_text,
                       const ImageCellRequest& request);

/// The page's own query string for image addresses ("k=v&" pairs, URL-encoded), without the
/// keys of an image request: a page whose statement depends on its query string sets the same
/// statement when it answers the picture.
std::string ImageCellQuery(const FieldCollection& query_string);

/// Appends "<img src=\"<page>?<page query>a=i&amp;r=R&amp;c=C&amp;t=TOKEN\" border=0>".
void AppendImageCellTag(std::string& out, std::string_view page_url, std::string_view page_query,
                        size_t row, size_t column, std::string_view token);

/// The bytes of a stored picture without the old picture-store header (78 bytes), which is
/// dropped only when the bytes start with its signature.
std::string_view StripPictureHeader(std::string_view bytes);
/// "image/png", "image/jpeg", "image/gif", "image/bmp" by the picture's own signature;
/// "application/octet-stream" otherwise.
std::string_view PictureContentType(std::string_view picture);

/// Answers the picture held by `value` (404 when it is missing, null or not binary) and ends
/// the response.
[[noreturn]] void AnswerPicture(Response& response, const Variant* value);
/// Answers status 403 and ends the response.
[[noreturn]] void AnswerForbidden(Response& response);

}  // namespace quenmark
