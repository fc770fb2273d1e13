#pragma once
/// Signed values: texts that travel through the browser and come back (an image cell's
/// statement, report arguments) carry an HMAC-SHA256 token, and the server verifies the token
/// before it acts on the text.
///
///   Result<Signer> signer = Signer::ForWebRoot(page.server.WebRoot());
///   std::string token = signer->Sign("image-cell\n" + statement);
///   if (!signer->Verify("image-cell\n" + statement, token)) { /* answer 403 */ }
///
/// Callers put a purpose in front of what they sign ("image-cell\n", "report-sql\n"), so that a
/// token made for one use never verifies for another.
///
/// The secret: the environment variable QUENMARK_SECRET when it is set and not empty; otherwise
/// 32 random bytes in "<web root>/.quenmark/secret", created on first use (folder mode 0700, file
/// mode 0600, written to a temporary file and linked into place, so concurrent first uses agree
/// on one secret). The web server never serves a path with a part starting with ".".
///
/// Threading: a Signer is immutable; `ForWebRoot` may be called from several threads at once.

#include <string>
#include <string_view>

#include "quenmark/error.h"

namespace quenmark {

class Signer {
 public:
  /// A signer over `key` as it is (for programs that manage their own secret, and tests).
  explicit Signer(std::string key);

  /// The installation's signer for the site served from `web_root` (see above). A failure
  /// names the secret file and the reason (for example a web root that cannot be written).
  static Result<Signer> ForWebRoot(const std::string& web_root);

  /// The token of `text`: its HMAC-SHA256 in URL-safe base64 without padding (43 characters).
  std::string Sign(std::string_view text) const;
  /// Whether `token` is the token of `text`; compares in constant time.
  bool Verify(std::string_view text, std::string_view token) const;

 private:
  std::string key_;
};

}  // namespace quenmark
