#pragma once
// Small byte-level text helpers shared across the library. Case mapping and blank handling are
// ASCII-only on purpose: names, keys and keywords are ASCII, and leaving every byte >= 0x80
// alone keeps UTF-8 text intact whatever locale the process runs in.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quenmark {

/// The blanks std::isspace accepts in the "C" locale: space, tab, newline, vertical tab, form
/// feed, carriage return.
inline constexpr std::string_view kWhitespace = " \t\n\v\f\r";

constexpr char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr char UpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

/// `text` with A-Z mapped to a-z; every other byte as it is.
std::string ToLowerAscii(std::string_view text);
/// `text` with a-z mapped to A-Z; every other byte as it is.
std::string ToUpperAscii(std::string_view text);

/// Equal when A-Z and a-z are taken as the same; other bytes must match exactly.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix);
bool EndsWithIgnoreCase(std::string_view text, std::string_view suffix);

inline bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

/// `text` without its leading and trailing characters from `blanks`; a view into `text`.
std::string_view Trim(std::string_view text, std::string_view blanks = kWhitespace);

/// The pieces of `text` between occurrences of `separator`, empty ones included (so "" gives
/// one empty piece); views into `text`.
std::vector<std::string_view> Split(std::string_view text, std::string_view separator);

/// Standard base64 with the URL-safe alphabet ("-" and "_") and no padding: bytes that travel in
/// addresses and tokens.
std::string EncodeBase64Url(std::string_view bytes);
/// The bytes of an `EncodeBase64Url` text; nullopt for any other character or a broken length.
std::optional<std::string> DecodeBase64Url(std::string_view text);

}  // namespace quenmark
