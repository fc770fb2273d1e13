#include "grid/cell_formatter.h"

#include <optional>

#include "frame/date_pattern.h"
#include "frame/text_util.h"
#include "frame/utf8.h"
#include "grid/column_formats.h"
#include "grid/grid_state.h"
#include "quenmark/conversions.h"
#include "quenmark/error.h"
#include "quenmark/locale.h"
#include "quenmark/page_context.h"
#include "quenmark/regex.h"
#include "quenmark/shared_procedures.h"

namespace quenmark {

namespace {

enum class FormatKind { kNone, kDate, kNumber, kTemplate, kBoolean, kRegex };

// Long values are broken once, at a blank from this character on, or earlier at a "." from
// kBreakDotFrom on.
constexpr size_t kLongValue = 100;
constexpr size_t kBreakDotFrom = 60;

// One piece of a parsed template: the author's text (codes already turned into markup), the
// text of another column, the cell's value, or the value in a number format.
struct TemplatePiece {
  enum class Kind { kText, kColumn, kValue, kUrlValue, kFormattedValue };
  Kind kind = Kind::kText;
  std::string text;
  size_t column = 0;
};

std::string NoEscape(std::string_view text) { return std::string(text); }

// The column a placeholder names: blanks, "[", "]", "`" and any table prefix are ignored.
std::optional<size_t> PlaceholderColumn(std::string_view inside,
                                        const std::vector<ColumnDescriptor>& columns) {
  std::string name;
  for (char c : inside) {
    if (c != '[' && c != ']' && c != '`') name += c;
  }
  std::string_view trimmed = Trim(name);
  if (const size_t dot = trimmed.rfind('.'); dot != std::string_view::npos) {
    trimmed = Trim(trimmed.substr(dot + 1));
  }
  for (size_t i = 0; i < columns.size(); ++i) {
    if (EqualsIgnoreCase(columns[i].name, trimmed)) return i;
  }
  return std::nullopt;
}

void ReplaceAllInPlace(std::string& text, std::string_view from, std::string_view to) {
  size_t pos = 0;
  while ((pos = text.find(from, pos)) != std::string::npos) {
    text.replace(pos, from.size(), to);
    pos += to.size();
  }
}

// The formatting codes of the author's text.
std::string ApplyCodes(std::string text) {
  if (text.find('[') == std::string::npos) return text;
  static constexpr std::pair<std::string_view, std::string_view> kCodes[] = {
      {"[br]", "<br/>"},          {"[b]", "<b>"},
      {"[/b]", "</b>"},           {"[u]", "<u>"},
      {"[/u]", "</u>"},           {"[i]", "<i>"},
      {"[/i]", "</i>"},           {"[eval]", "<script>document.write(eval("},
      {"[/eval]", "));</script>"}};
  for (const auto& [code, markup] : kCodes) ReplaceAllInPlace(text, code, markup);
  return text;
}

size_t FindIgnoreCase(std::string_view text, std::string_view needle, size_t from = 0) {
  for (size_t i = from; i + needle.size() <= text.size(); ++i) {
    if (EqualsIgnoreCase(text.substr(i, needle.size()), needle)) return i;
  }
  return std::string_view::npos;
}

}  // namespace

struct CellFormatter::ColumnFormat {
  FormatKind kind = FormatKind::kNone;
  // Date: a FormatDate format, or a named format number (>= 0).
  std::string date_format;
  int named_date = -1;
  // Number, and the number style of a template's #MONEY#, #PERCENT# or #NUMBER#.
  char number_style = '1';
  int decimals = -1;
  std::vector<TemplatePiece> pieces;
  std::string true_text, false_text;
  bool digits_only = false;
  std::optional<Regex> regex;
  std::string replacement;
};

namespace {

// Splits the author's template into pieces. Placeholders are resolved in order until the first
// one that names no column; every occurrence of a resolved placeholder becomes that column.
// Only the first of #MONEY#, #PERCENT# and #NUMBER# that the template holds is a value slot.
void ParseTemplate(std::string_view text, const std::vector<ColumnDescriptor>& columns,
                   std::vector<TemplatePiece>& pieces, char& number_style) {
  std::vector<std::pair<std::string, size_t>> resolved;  // placeholder text, column
  for (size_t pos = 0;;) {
    const size_t open = text.find("{{", pos);
    if (open == std::string_view::npos) break;
    const size_t close = text.find("}}", open + 2);
    if (close == std::string_view::npos) break;
    const std::optional<size_t> column =
        PlaceholderColumn(text.substr(open + 2, close - open - 2), columns);
    if (!column) break;
    resolved.emplace_back(std::string(text.substr(open, close + 2 - open)), *column);
    pos = close + 2;
  }

  std::string_view marker;
  for (auto [candidate, style] :
       {std::pair{std::string_view("#MONEY#"), '3'}, std::pair{std::string_view("#PERCENT#"), '2'},
        std::pair{std::string_view("#NUMBER#"), '1'}}) {
    if (FindIgnoreCase(text, candidate) != std::string_view::npos) {
      marker = candidate;
      number_style = style;
      break;
    }
  }

  std::string literal;
  auto flush = [&] {
    if (literal.empty()) return;
    pieces.push_back({TemplatePiece::Kind::kText, ApplyCodes(std::move(literal)), 0});
    literal.clear();
  };
  for (size_t pos = 0; pos < text.size();) {
    const std::string_view rest = text.substr(pos);
    if (rest.starts_with("{{")) {
      bool matched = false;
      for (const auto& [placeholder, column] : resolved) {
        if (rest.starts_with(placeholder)) {
          flush();
          pieces.push_back({TemplatePiece::Kind::kColumn, {}, column});
          pos += placeholder.size();
          matched = true;
          break;
        }
      }
      if (matched) continue;
    }
    if (rest.starts_with("#TEMP#")) {
      flush();
      pieces.push_back({TemplatePiece::Kind::kValue, {}, 0});
      pos += 6;
      continue;
    }
    if (rest.starts_with("#URLTEMP#")) {
      flush();
      pieces.push_back({TemplatePiece::Kind::kUrlValue, {}, 0});
      pos += 9;
      continue;
    }
    if (!marker.empty() && rest.size() >= marker.size() &&
        EqualsIgnoreCase(rest.substr(0, marker.size()), marker)) {
      flush();
      pieces.push_back({TemplatePiece::Kind::kFormattedValue, {}, 0});
      pos += marker.size();
      continue;
    }
    literal += text[pos];
    ++pos;
  }
  flush();
}

std::pair<std::string_view, std::string_view> SplitAtSeparator(std::string_view entry) {
  const size_t at = entry.find(kFormatValueSeparator);
  if (at == std::string_view::npos) return {entry, {}};
  return {entry.substr(0, at), entry.substr(at + kFormatValueSeparator.size())};
}

// The date a value holds: a date value, or a text that reads as a date (numbers do not).
std::optional<DateTime> DateOf(const Variant& value, std::string_view text) {
  if (value.kind() == Variant::Kind::kDate) return value.AsDate();
  if (value.kind() != Variant::Kind::kText || IsNumericText(text)) return std::nullopt;
  return ParseDate(text);
}

std::optional<double> NumberOf(const Variant& value, std::string_view text) {
  switch (value.kind()) {
    case Variant::Kind::kInteger:
      return static_cast<double>(value.AsInteger());
    case Variant::Kind::kReal:
      return value.AsReal();
    case Variant::Kind::kBoolean:
      return value.AsBoolean() ? -1.0 : 0.0;
    case Variant::Kind::kText:
      return ParseNumber(text);
    default:
      return std::nullopt;
  }
}

}  // namespace

CellFormatter::CellFormatter(const ColumnFormats& formats,
                             const std::vector<ColumnDescriptor>& columns,
                             CellFormatterOptions options)
    : options_(std::move(options)) {
  formats_.resize(columns.size());
  for (size_t c = 0; c < columns.size(); ++c) {
    ColumnFormat& format = formats_[c];
    const std::string key = ColumnFormatKey(columns[c].table, columns[c].name);
    bool found = false;
    if (std::string entry = formats.DateFormat(key, found); found) {
      format.kind = FormatKind::kDate;
      if (IsNumericText(entry)) {
        format.named_date = static_cast<int>(LeadingNumber(entry));
      }
      format.date_format = std::move(entry);
    } else if (entry = formats.NumberFormat(key, found); found) {
      format.kind = FormatKind::kNumber;
      format.number_style = entry.empty() ? '1' : entry[0];
      const std::string_view digits = std::string_view(entry).substr(entry.empty() ? 0 : 1);
      format.decimals = IsNumericText(digits) ? static_cast<int>(LeadingNumber(digits)) : -1;
    } else if (entry = formats.Template(key, found); found) {
      format.kind = FormatKind::kTemplate;
      ParseTemplate(entry, columns, format.pieces, format.number_style);
    } else if (entry = formats.BooleanTexts(key, found); found) {
      format.kind = FormatKind::kBoolean;
      const auto [true_text, false_text] = SplitAtSeparator(entry);
      format.true_text = true_text;
      format.false_text = false_text;
    } else if (entry = formats.RegularExpression(key, found); found) {
      format.kind = FormatKind::kRegex;
      std::string_view rest = entry;
      if (rest.starts_with("~d")) {
        format.digits_only = true;
        rest.remove_prefix(2);
      }
      const auto [pattern, replacement] = SplitAtSeparator(rest);
      Result<Regex> compiled = Regex::Compile(pattern);
      if (!compiled.ok()) {
        throw Error(ErrorNumber::kGeneric, "The regular expression of column " + key +
                                               " is invalid: " + compiled.Description());
      }
      format.regex.emplace(std::move(compiled.value()));
      format.replacement = replacement;
    }
  }
}

CellFormatter::~CellFormatter() = default;

void CellFormatter::AppendEscaped(std::string& out, std::string_view text) const {
  if (!options_.encode_values) {
    out += text;
    return;
  }
  // Most values hold no special character: copy the runs between them whole.
  size_t pos = 0;
  for (size_t at; (at = text.find_first_of("&<>\"'", pos)) != std::string_view::npos;
       pos = at + 1) {
    out.append(text.substr(pos, at - pos));
    switch (text[at]) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += "&#39;"; break;
    }
  }
  out.append(text.substr(pos));
}

void CellFormatter::AppendNumber(std::string& out, std::string_view text, const Variant& value,
                                 char style, int decimals) const {
  const std::optional<double> number = NumberOf(value, text);
  if (!number) {
    // A value that is not a number is shown as it is rather than failing the page.
    AppendEscaped(out, text);
    return;
  }
  const Locale& locale = Locale::Current();
  switch (style) {
    case '2':
      AppendEscaped(out, locale.FormatPercent(*number, decimals));
      break;
    case '3':
      AppendEscaped(out, locale.FormatCurrency(*number, decimals));
      break;
    default:
      AppendEscaped(out, locale.FormatNumber(*number, decimals));
      break;
  }
}

void CellFormatter::AppendPlain(std::string& out, std::string_view text,
                                const Variant& value) const {
  if (!options_.default_date_format.empty()) {
    if (const std::optional<DateTime> date = DateOf(value, text)) {
      // Digits and month names around the author's pattern: nothing from the value itself.
      out += FormatDatePattern(*date, options_.default_date_format);
      return;
    }
  }
  if (options_.columnar && text.find("\r\n") != std::string_view::npos) {
    size_t pos = 0;
    for (size_t at; (at = text.find("\r\n", pos)) != std::string_view::npos; pos = at + 2) {
      AppendEscaped(out, text.substr(pos, at - pos));
      out += "<br>";
    }
    AppendEscaped(out, text.substr(pos));
    return;
  }
  if (text.size() > kLongValue && utf8::Count(text) > kLongValue) {
    // Break after the first blank from the 100th character on, or after the first "." from the
    // 60th on when that comes first; the blank or dot stays before the break.
    size_t at = text.find(' ', utf8::OffsetOf(text, kLongValue - 1));
    const size_t dot = text.find('.', utf8::OffsetOf(text, kBreakDotFrom - 1));
    if (at != std::string_view::npos && dot != std::string_view::npos && dot < at) at = dot;
    if (at != std::string_view::npos) {
      AppendEscaped(out, text.substr(0, at + 1));
      out += "<br>";
      AppendEscaped(out, text.substr(at + 1));
      return;
    }
  }
  AppendEscaped(out, text);
}

void CellFormatter::AppendValue(std::string& out, const Variant& value, size_t format_column,
                                const RowView& row) const {
  std::string scratch;
  auto text_of = [&scratch](const Variant& v) -> std::string_view {
    if (v.kind() == Variant::Kind::kText) return v.AsText();
    if (v.IsMissing()) return {};
    scratch = v.ToText();
    return scratch;
  };
  const std::string_view text = text_of(value);
  if (text.empty()) return;

  const ColumnFormat& format = formats_[format_column];
  switch (format.kind) {
    case FormatKind::kDate: {
      const std::optional<DateTime> date = DateOf(value, text);
      if (!date) {
        AppendEscaped(out, text);
      } else if (format.named_date >= 0) {
        out += Locale::Current().FormatNamedDate(*date, format.named_date);
      } else {
        out += FormatDate(date->ToIso(), format.date_format);
      }
      return;
    }
    case FormatKind::kNumber:
      AppendNumber(out, text, value, format.number_style, format.decimals);
      return;
    case FormatKind::kTemplate: {
      // The value may live in `scratch`, which the other columns reuse; keep a copy then.
      const std::string own_value = value.kind() == Variant::Kind::kText ? std::string() : scratch;
      const std::string_view cell = value.kind() == Variant::Kind::kText ? text : own_value;
      for (const TemplatePiece& piece : format.pieces) {
        switch (piece.kind) {
          case TemplatePiece::Kind::kText:
            out += piece.text;
            break;
          case TemplatePiece::Kind::kColumn:
            AppendEscaped(out, text_of(row[piece.column]));
            break;
          case TemplatePiece::Kind::kValue:
            AppendEscaped(out, cell);
            break;
          case TemplatePiece::Kind::kUrlValue:
            // Percent-encoding leaves nothing that could end an attribute.
            out += Server::URLEncode(cell);
            break;
          case TemplatePiece::Kind::kFormattedValue:
            AppendNumber(out, cell, value, format.number_style, -1);
            break;
        }
      }
      return;
    }
    case FormatKind::kBoolean: {
      const std::optional<bool> truth = value.kind() == Variant::Kind::kBoolean
                                            ? std::optional<bool>(value.AsBoolean())
                                            : ParseBoolean(text);
      if (!truth) {
        AppendEscaped(out, text);
      } else {
        out += *truth ? format.true_text : format.false_text;
      }
      return;
    }
    case FormatKind::kRegex: {
      std::string subject;
      if (format.digits_only && !IsNumericText(text)) {
        for (char c : text) {
          if (c >= '0' && c <= '9') subject += c;
        }
      } else {
        subject.assign(text);
      }
      Result<std::string> replaced = format.regex->ReplaceFirst(
          subject, format.replacement, options_.encode_values ? &EscapeHtml : &NoEscape);
      if (!replaced.ok()) throw Error(ErrorNumber::kGeneric, replaced.Description());
      out += replaced.value();
      return;
    }
    case FormatKind::kNone:
      AppendPlain(out, text, value);
      return;
  }
}

}  // namespace quenmark
