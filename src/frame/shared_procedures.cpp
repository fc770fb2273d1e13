#include "quenmark/shared_procedures.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <ctime>
#include <random>

#include "frame/text_util.h"
#include "frame/utf8.h"
#include "quenmark/conversions.h"
#include "quenmark/locale.h"
#include "quenmark/shared_settings.h"

namespace quenmark {
namespace {

constexpr std::string_view kBase64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::string_view kAllowedChars =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz1234567890";
constexpr std::string_view kRandomChars =
    "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// Windows-1252 bytes 0x80-0x9F; 0 marks the five unassigned bytes, which map to the C1 control
// with the same number so that every byte survives a round trip.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char32_t FromCp1252(unsigned char byte) {
  if (byte < 0x80 || byte >= 0xA0) return byte;
  char16_t mapped = kCp1252High[byte - 0x80];
  return mapped == 0 ? byte : mapped;
}

// Characters outside the code page become "?" (63).
unsigned char ToCp1252(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<unsigned char>(cp);
  for (size_t i = 0; i < kCp1252High.size(); ++i) {
    char16_t mapped = kCp1252High[i];
    if ((mapped != 0 && mapped == cp) || (mapped == 0 && cp == 0x80 + i)) {
      return static_cast<unsigned char>(0x80 + i);
    }
  }
  return '?';
}

void ReplaceAll(std::string& text, std::string_view code, std::string_view value) {
  size_t pos = text.find(code);
  if (pos == std::string::npos) return;
  std::string result;
  result.reserve(text.size());
  size_t last = 0;
  while (pos != std::string::npos) {
    result.append(text, last, pos - last);
    result.append(value);
    last = pos + code.size();
    pos = text.find(code, last);
  }
  result.append(text, last, std::string::npos);
  text = std::move(result);
}

std::string TwoDigits(int value) {
  std::string text = std::to_string(value);
  return text.size() < 2 ? "0" + text : text;
}

// Wraps one part of a name in the delimiters, doubling a closing delimiter inside the part so
// that a name can never end the identifier early.
void AppendQuoted(std::string& out, std::string_view part, char open, char close) {
  out.push_back(open);
  for (char c : part) {
    out.push_back(c);
    if (c == close) out.push_back(close);
  }
  out.push_back(close);
}

std::mt19937& Generator() {
  thread_local std::mt19937 generator([] {
    std::random_device device;
    std::seed_seq seed{
        device(), device(),
        static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count())};
    return std::mt19937(seed);
  }());
  return generator;
}

}  // namespace

int16_t DetectDatabaseKind(std::string_view connection_string) {
  int16_t override_kind = ThreadSettings().database_kind_override;
  if (override_kind >= 1 && override_kind <= 10) return override_kind;

  const std::string s = ToUpperAscii(connection_string);
  if (Contains(s, "SOURCETYPE=DBC")) return DbDbc;
  if (Contains(s, "FIL=TEXT") || Contains(s, "EXTENDED PROPERTIES=\"TEXT")) return DbText;
  if (Contains(s, "FIL=EXCEL") || Contains(s, "EXTENDED PROPERTIES=\"EXCEL")) return DbExcel;
  if (Contains(s, "PROVIDER=MICROSOFT.JET.OLEDB") || Contains(s, "FIL=MS ACCESS") ||
      s == "ACCESS") {
    return DbAccess;
  }
  if (Contains(s, "SQLOLEDB") || Contains(s, "PROVIDER=MSDASQL") ||
      Contains(s, "DRIVER=SQL SERVER") || s == "SQL SERVER" || s == "SQLSERVER") {
    return DbSqlServer;
  }
  if (Contains(s, "ORACLE") || Contains(s, "PROVIDER=MSDAORA")) return DbOracle;
  if (Contains(s, "MYSQL")) return DbMySql;
  if (Contains(s, "SYBASE") || Contains(s, "PROVIDER=ASAPROV")) return DbSybase;
  if (Contains(s, "SQLITE")) return DbSqlite;
  if (Contains(s, "POSTGRES")) return DbPostgres;
  return DbUnknown;
}

int16_t ClassifyFieldType(int ado_type) {
  switch (ado_type) {
    case 2:
    case 3:
    case 4:
    case 5:
    case 14:
    case 16:
    case 18:
    case 19:
    case 20:
    case 21:
    case 131:
      return FieldNumber;
    case 7:
    case 133:
    case 134:
    case 135:
      return FieldDate;
    case 6:
      return FieldMoney;
    case 11:
    case 17:
      return FieldBoolean;
    case 72:
      return FieldGuid;
    case 204:
    case 205:
      return FieldBinary;
    default:
      return FieldText;
  }
}

int16_t ClassifyFieldType(std::string_view value, int16_t mode) {
  if (mode == 1) {
    // A value that is not a type number is unrecognised, hence text.
    auto number = ParseNumber(value);
    if (!number || *number < -2147483648.0 || *number > 2147483647.0) return FieldText;
    return ClassifyFieldType(static_cast<int>(RoundHalfEven(*number)));
  }
  if (mode != 2) return FieldText;
  if (Contains(value, "text") || Contains(value, "char")) return FieldText;
  if (Contains(value, "real") || Contains(value, "float") || Contains(value, "decimal") ||
      Contains(value, "int")) {
    return FieldNumber;
  }
  if (Contains(value, "date")) return FieldDate;
  if (Contains(value, "money")) return FieldMoney;
  if (value == "bit") return FieldBoolean;
  if (value == "timestamp" || value == "image" || Contains(value, "binary")) return FieldBinary;
  return FieldText;
}

std::string QuoteName(int16_t kind, std::string_view name) {
  std::string_view trimmed = Trim(name, " ");
  if (trimmed == "*") return std::string(trimmed);
  char open = 0;
  char close = 0;
  switch (kind) {
    case DbAccess:
    case DbSqlServer:
    case DbSybase:
    case DbSqlite:
      open = '[';
      close = ']';
      break;
    case DbMySql:
      open = close = '`';
      break;
    case DbPostgres:
      open = close = '"';
      break;
    default:
      if (!Contains(trimmed, " ")) return std::string(trimmed);
      open = '[';
      close = ']';
      break;
  }
  std::string result;
  result.reserve(trimmed.size() + 6);
  size_t dot = trimmed.find('.');
  if (dot != std::string_view::npos) {
    AppendQuoted(result, trimmed.substr(0, dot), open, close);
    result.push_back('.');
    AppendQuoted(result, trimmed.substr(dot + 1), open, close);
  } else {
    AppendQuoted(result, trimmed, open, close);
  }
  return result;
}

std::string QuoteNameList(int16_t kind, std::string_view names) {
  std::string result;
  // An empty list has no items, so it quotes to the empty text rather than one empty name.
  if (names.empty()) return result;
  size_t start = 0;
  while (true) {
    size_t comma = names.find(',', start);
    std::string_view item = names.substr(
        start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
    if (start > 0) result.push_back(',');
    result += QuoteName(kind, Trim(item, " "));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return result;
}

std::string FormatDate(std::string_view value, std::string_view format) {
  auto parsed = ParseDate(value);
  if (!parsed) return std::string(value);
  const DateTime& d = *parsed;
  const Locale& locale = Locale::Current();
  std::string out(format);
  try {
    ReplaceAll(out, "%m", std::to_string(d.month));
    ReplaceAll(out, "%B", locale.MonthName(d.month, false));
    ReplaceAll(out, "%b", locale.MonthName(d.month, true));
    ReplaceAll(out, "%d", std::to_string(d.day));
    ReplaceAll(out, "%D", TwoDigits(d.day));
    ReplaceAll(out, "%O", OrdinalSuffix(static_cast<int16_t>(d.day)));
    ReplaceAll(out, "%j", std::to_string(d.DayOfYear()));
    ReplaceAll(out, "%Y", std::to_string(d.year));
    ReplaceAll(out, "%y", TwoDigits(d.year % 100));
    ReplaceAll(out, "%w", std::to_string(d.Weekday()));
    ReplaceAll(out, "%a", locale.WeekdayName(d.Weekday(), true));
    ReplaceAll(out, "%A", locale.WeekdayName(d.Weekday(), false));
    ReplaceAll(out, "%H", TwoDigits(d.hour));
    ReplaceAll(out, "%h", std::to_string(d.hour % 12 == 0 ? 12 : d.hour % 12));
    ReplaceAll(out, "%N", TwoDigits(d.minute));
    ReplaceAll(out, "%n", d.minute == 0 ? std::string() : ":" + TwoDigits(d.minute));
    ReplaceAll(out, "%S", TwoDigits(d.second));
    ReplaceAll(out, "%P", d.hour >= 12 ? "PM" : "AM");
  } catch (const std::exception&) {
    return std::string(value);
  }
  return out;
}

std::string OrdinalSuffix(int16_t day) {
  const char* suffix = "th";
  if (day == 1 || day == 21 || day == 31) {
    suffix = "st";
  } else if (day == 2 || day == 22) {
    suffix = "nd";
  } else if (day == 3 || day == 23) {
    suffix = "rd";
  }
  return std::string("<sup>") + suffix + "</sup>";
}

std::string EncodeBase64(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size() + 2);
  for (size_t pos = 0; pos < text.size();) {
    bytes.push_back(static_cast<char>(ToCp1252(utf8::Next(text, pos))));
  }
  while (bytes.size() % 3 != 0) bytes.push_back(' ');

  std::string out;
  out.reserve(bytes.size() / 3 * 4);
  for (size_t i = 0; i < bytes.size(); i += 3) {
    auto b1 = static_cast<unsigned char>(bytes[i]);
    auto b2 = static_cast<unsigned char>(bytes[i + 1]);
    auto b3 = static_cast<unsigned char>(bytes[i + 2]);
    out.push_back(kBase64Alphabet[b1 >> 2]);
    out.push_back(kBase64Alphabet[((b1 & 3) << 4) | (b2 >> 4)]);
    out.push_back(kBase64Alphabet[((b2 & 15) << 2) | (b3 >> 6)]);
    out.push_back(kBase64Alphabet[b3 & 63]);
  }
  return out;
}

std::string DecodeBase64(std::string_view encoded) {
  static const std::array<unsigned char, 256> kIndex = [] {
    std::array<unsigned char, 256> index;
    index.fill(63);
    for (size_t i = 0; i < kBase64Alphabet.size(); ++i) {
      index[static_cast<unsigned char>(kBase64Alphabet[i])] = static_cast<unsigned char>(i);
    }
    return index;
  }();
  // Groups are counted in characters: a character outside the alphabet (a blank, "=", or any
  // non-ASCII character however many bytes it takes) is one value 63, and a short last group is
  // blank-filled, which also reads as 63.
  std::string out;
  out.reserve(encoded.size() / 4 * 3 + 3);
  unsigned group[4];
  size_t filled = 0;
  auto flush = [&] {
    while (filled < 4) group[filled++] = 63;
    const unsigned char bytes[3] = {
        static_cast<unsigned char>((group[0] << 2) | (group[1] >> 4)),
        static_cast<unsigned char>(((group[1] & 15) << 4) | (group[2] >> 2)),
        static_cast<unsigned char>(((group[2] & 3) << 6) | group[3])};
    for (unsigned char b : bytes) utf8::Append(out, FromCp1252(b));
    filled = 0;
  };
  for (size_t pos = 0; pos < encoded.size();) {
    char32_t cp = utf8::Next(encoded, pos);
    group[filled++] = cp < 0x80 ? kIndex[cp] : 63;
    if (filled == 4) flush();
  }
  if (filled > 0) flush();
  return out;
}

std::string GetArgument(std::string_view arguments, std::string_view key) {
  std::string text;
  if (arguments.empty() || arguments.front() != ';') text.push_back(';');
  text.append(arguments);
  std::string needle;
  needle.reserve(key.size() + 2);
  needle.push_back(';');
  needle.append(key);
  needle.push_back(':');
  size_t pos = text.find(needle);
  if (pos == std::string::npos) return std::string();
  size_t start = pos + needle.size();
  size_t end = text.find(';', start);
  return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::string TextBefore(std::string_view text, std::string_view separator) {
  size_t pos = text.find(separator);
  if (pos == std::string_view::npos || pos == 0) return std::string(text);
  return std::string(text.substr(0, pos));
}

std::string TextAfter(std::string_view text, std::string_view separator) {
  size_t pos = text.find(separator);
  if (pos == std::string_view::npos || pos == 0) return std::string();
  return std::string(text.substr(pos + separator.size()));
}

std::string KeepAllowedChars(std::string_view text, std::string_view extra_allowed) {
  std::string result;
  result.reserve(text.size());
  bool in_tag = false;
  for (size_t pos = 0; pos < text.size();) {
    size_t start = pos;
    char32_t cp = utf8::Next(text, pos);
    if (cp == '<') {
      in_tag = true;
      continue;
    }
    if (cp == '>') {
      in_tag = false;
      continue;
    }
    if (in_tag) continue;
    std::string_view ch = text.substr(start, pos - start);
    if ((ch.size() == 1 && kAllowedChars.find(ch[0]) != std::string_view::npos) ||
        extra_allowed.find(ch) != std::string_view::npos) {
      result.append(ch);
    }
  }
  return result;
}

std::string MakeLink(std::string_view text, std::string_view title, std::string_view href,
                     std::string_view class_name, std::string_view style, std::string_view target) {
  std::string body(text);
  std::string title_part;
  if (Contains(text, ".")) {
    std::string alt_part;
    if (!title.empty()) alt_part = " alt=\"" + std::string(title) + "\"";
    // An image file name ends in one of the image extensions (compared ignoring case).
    std::string tail = ToUpperAscii(text.size() >= 4 ? text.substr(text.size() - 4) : text);
    if (tail == ".GIF" || tail == ".PNG" || tail == ".JPG" || tail == ".BMP") {
      body = "<img src=\"" + ThreadSettings().images_url + std::string(text) + "\"" + alt_part +
             " border=\"0\"  align=\"absmiddle\"/>";
    }
  } else if (!title.empty()) {
    title_part = " title=\"" + std::string(title) + "\"";
  }
  if (href.empty()) return body;

  auto wrap = [](std::string_view prefix, std::string_view value) {
    if (value.empty()) return std::string();
    if (Contains(value, "=")) return std::string(value);
    std::string part(prefix);
    part.append(value);
    part.push_back('"');
    return part;
  };
  std::string result = "<a ";
  result += " href=\"";
  result += href;
  result += "\"";
  result += wrap(" class=\"", class_name);
  result += wrap(" target=\"", target);
  result += title_part;
  result += wrap(" style=\"", style);
  result += ">";
  result += body;
  result += "</a>";
  return result;
}

std::string GenerateId() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::uniform_int_distribution<int> digit(1, 9);
  std::string id;
  id.reserve(10);
  id += std::to_string((local.tm_year + 1900) % 10);
  id += TwoDigits(local.tm_mon + 1);
  id += TwoDigits(local.tm_mday);
  id += TwoDigits(local.tm_hour);
  id += TwoDigits(local.tm_min);
  id += std::to_string(digit(Generator()));
  return id;
}

std::string RandomText(int16_t length) {
  std::string text;
  if (length <= 0) return text;
  std::uniform_int_distribution<size_t> index(0, kRandomChars.size() - 1);
  text.reserve(static_cast<size_t>(length));
  for (int i = 0; i < length; ++i) text.push_back(kRandomChars[index(Generator())]);
  return text;
}

}  // namespace quenmark
