#pragma once
// The grid's column formats as the page sets them: the ten column methods append entries to
// seven delimited lists (key "|=|" value "|||"; the hidden list holds key "|||"), and lookups
// take the first entry of a key, so the first call for a column wins.
//
// Keys: captions and hidden columns use the column as passed; the other lists use the column in
// upper case and are looked up with the qualified key table + "." + name ("." + name when the
// table is unknown), falling back to the bare name when the qualified key has no entry. Values
// are the page author's texts and are kept as markup.

#include <cstdint>
#include <string>
#include <string_view>

namespace quenmark {

/// Separator between the two texts of a boolean or regular-expression entry (tilde, backtick).
inline constexpr std::string_view kFormatValueSeparator = "~`";

/// Number styles of the number-format list: the first character of an entry.
enum class NumberStyle : char { kNumber = '1', kPercent = '2', kCurrency = '3' };

class ColumnFormats {
 public:
  void Caption(std::string_view column, std::string_view caption);
  /// A link template: <a href="url"[ target=...][class][style]>caption</a>. The class and style
  /// fragments are the grid's link fragments at the time of the call.
  void Link(std::string_view column, std::string_view url, std::string_view caption,
            std::string_view target, std::string_view link_class, std::string_view link_style);
  void Date(std::string_view column, std::string_view format);
  void Replace(std::string_view column, std::string_view replace_text);
  void Hidden(std::string_view column);
  void Boolean(std::string_view column, std::string_view true_text, std::string_view false_text);
  void Number(std::string_view column, NumberStyle style, int16_t decimals);
  void RegEx(std::string_view column, std::string_view pattern, std::string_view replacement);

  /// Puts "|||" in front of every non-empty list that lacks it, so each entry is enclosed on
  /// both sides. Idempotent.
  void EncloseLists();

  const std::string& Captions() const { return captions_; }
  /// Whether `name` is a hidden column (whole name, ignoring case).
  bool IsHidden(std::string_view name) const;

  /// The entry for a qualified column key in each list; `found` tells whether there is one.
  std::string DateFormat(std::string_view key, bool& found) const;
  std::string NumberFormat(std::string_view key, bool& found) const;
  std::string Template(std::string_view key, bool& found) const;
  std::string BooleanTexts(std::string_view key, bool& found) const;
  std::string RegularExpression(std::string_view key, bool& found) const;

 private:
  std::string captions_, date_formats_, number_formats_, templates_, booleans_, regexes_, hidden_;
};

/// The key a column's formats are registered under: table + "." + name, upper case.
std::string ColumnFormatKey(std::string_view table, std::string_view name);

}  // namespace quenmark
