#pragma once
// Locale files: XML documents whose root "Locale" holds one element per interface text (the
// element's name is the key, its text the value). The library carries a default document with
// every key of the report manager and its grids; a page-named file that is missing is written
// from it, and a key the file lacks is added with its default the first time it is asked for.
// Every change is a read-modify-write under the file's lock ending in an atomic replace.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "quenmark/error.h"

namespace quenmark::reports {

/// The built-in default locale document (UTF-8).
std::string_view DefaultLocaleDocument();

/// The file a browser language selects in `folder` (which ends with "/"): "locale_<lang>.xml"
/// for the first language of an Accept-Language value, "locale.xml" when the value is empty.
/// Languages that are not letters and "-" (at most 16 characters) select nothing ("").
std::string LocaleFileForLanguage(std::string_view folder, std::string_view accept_language);

/// Writes the default document to `path` unless a file is there (checked under the lock).
Status WriteDefaultLocaleIfMissing(const std::string& path);

/// The text of key `name` (exact case). A key the file lacks is appended with `fallback` and
/// `fallback` is returned; a file that cannot be read is a failure with the parser's reason.
Result<std::string> ReadLocaleKey(const std::string& path, std::string_view name,
                                  std::string_view fallback);

/// Every element under the root, in order, as (name, trimmed text); comments and texts are
/// left out.
Result<std::vector<std::pair<std::string, std::string>>> LocaleEntries(const std::string& path);

}  // namespace quenmark::reports
