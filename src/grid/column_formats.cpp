#include "grid/column_formats.h"

#include "frame/text_util.h"
#include "grid/column_descriptors.h"

namespace quenmark {

namespace {

constexpr std::string_view kEntryEnd = "|||";
constexpr std::string_view kKeyEnd = "|=|";

void AppendEntry(std::string& list, std::string_view key, std::string_view value) {
  list += key;
  list += kKeyEnd;
  list += value;
  list += kEntryEnd;
}

void AppendUpperEntry(std::string& list, std::string_view key, std::string_view value) {
  AppendEntry(list, ToUpperAscii(key), value);
}

}  // namespace

void ColumnFormats::Caption(std::string_view column, std::string_view caption) {
  AppendEntry(captions_, column, caption);
}

void ColumnFormats::Link(std::string_view column, std::string_view url, std::string_view caption,
                         std::string_view target, std::string_view link_class,
                         std::string_view link_style) {
  std::string link = "<a href=\"";
  link += url;
  link += '"';
  if (!target.empty()) {
    link += " target=";
    link += target;
  }
  link += link_class;
  link += link_style;
  link += '>';
  link += caption;
  link += "</a>";
  AppendUpperEntry(templates_, column, link);
}

void ColumnFormats::Date(std::string_view column, std::string_view format) {
  AppendUpperEntry(date_formats_, column, format);
}

void ColumnFormats::Replace(std::string_view column, std::string_view replace_text) {
  AppendUpperEntry(templates_, column, replace_text);
}

void ColumnFormats::Hidden(std::string_view column) {
  hidden_ += column;
  hidden_ += kEntryEnd;
}

void ColumnFormats::Boolean(std::string_view column, std::string_view true_text,
                            std::string_view false_text) {
  std::string value(true_text);
  value += kFormatValueSeparator;
  value += false_text;
  AppendUpperEntry(booleans_, column, value);
}

void ColumnFormats::Number(std::string_view column, NumberStyle style, int16_t decimals) {
  std::string value(1, static_cast<char>(style));
  value += std::to_string(decimals);
  AppendUpperEntry(number_formats_, column, value);
}

void ColumnFormats::RegEx(std::string_view column, std::string_view pattern,
                          std::string_view replacement) {
  std::string value(pattern);
  value += kFormatValueSeparator;
  value += replacement;
  AppendUpperEntry(regexes_, column, value);
}

void ColumnFormats::EncloseLists() {
  for (std::string* list : {&captions_, &date_formats_, &number_formats_, &templates_, &booleans_,
                            &regexes_, &hidden_}) {
    if (!list->empty() && !list->starts_with(kEntryEnd)) list->insert(0, kEntryEnd);
  }
}

bool ColumnFormats::IsHidden(std::string_view name) const {
  return !hidden_.empty() && ListHasKey(hidden_, name);
}

namespace {

// The entry of a qualified key, else of the bare column name after the last "." (formats given
// for a column without its table, as for computed columns whose table is unknown).
std::string FindEntryOrBare(const std::string& list, std::string_view key, bool& found) {
  std::string entry = FindListEntry(list, key, &found);
  if (found) return entry;
  const size_t dot = key.rfind('.');
  if (dot == std::string_view::npos || dot + 1 >= key.size()) return entry;
  return FindListEntry(list, key.substr(dot + 1), &found);
}

}  // namespace

std::string ColumnFormats::DateFormat(std::string_view key, bool& found) const {
  return FindEntryOrBare(date_formats_, key, found);
}
std::string ColumnFormats::NumberFormat(std::string_view key, bool& found) const {
  return FindEntryOrBare(number_formats_, key, found);
}
std::string ColumnFormats::Template(std::string_view key, bool& found) const {
  return FindEntryOrBare(templates_, key, found);
}
std::string ColumnFormats::BooleanTexts(std::string_view key, bool& found) const {
  return FindEntryOrBare(booleans_, key, found);
}
std::string ColumnFormats::RegularExpression(std::string_view key, bool& found) const {
  return FindEntryOrBare(regexes_, key, found);
}

std::string ColumnFormatKey(std::string_view table, std::string_view name) {
  std::string key = ToUpperAscii(table);
  key += '.';
  key += ToUpperAscii(name);
  return key;
}

}  // namespace quenmark
