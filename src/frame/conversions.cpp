#include "quenmark/conversions.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

#include "frame/text_util.h"
#include "quenmark/error.h"

namespace quenmark {
namespace {

// The blanks typed values may carry around and between their parts.
constexpr std::string_view kBlanks = " \t\r\n";

bool IsBlank(char c) { return kBlanks.find(c) != std::string_view::npos; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Scans a number at the start of `text` and writes its digits (without group separators) to
// `clean`. Returns the length consumed, or 0 when no number starts there.
size_t ScanNumber(std::string_view text, bool allow_groups, std::string& clean) {
  size_t i = 0;
  clean.clear();
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-') clean.push_back('-');
    ++i;
  }
  size_t int_digits = 0;
  while (i < text.size()) {
    if (IsDigit(text[i])) {
      clean.push_back(text[i]);
      ++int_digits;
      ++i;
    } else if (allow_groups && text[i] == ',' && int_digits > 0 && i + 1 < text.size() &&
               IsDigit(text[i + 1])) {
      ++i;
    } else {
      break;
    }
  }
  size_t frac_digits = 0;
  if (i < text.size() && text[i] == '.') {
    size_t j = i + 1;
    std::string frac;
    while (j < text.size() && IsDigit(text[j])) {
      frac.push_back(text[j]);
      ++j;
    }
    frac_digits = frac.size();
    if (int_digits + frac_digits > 0) {
      clean.push_back('.');
      clean += frac;
      i = j;
    }
  }
  if (int_digits + frac_digits == 0) return 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    size_t j = i + 1;
    std::string exponent = "e";
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) exponent.push_back(text[j++]);
    size_t exp_digits = 0;
    while (j < text.size() && IsDigit(text[j])) {
      exponent.push_back(text[j++]);
      ++exp_digits;
    }
    if (exp_digits > 0) {
      clean += exponent;
      i = j;
    }
  }
  return i;
}

double CleanToDouble(const std::string& clean) {
  double value = 0;
  const char* begin = clean.data();
  if (*begin == '-') ++begin;
  auto [ptr, ec] = std::from_chars(begin, clean.data() + clean.size(), value);
  if (ec == std::errc::result_out_of_range) {
    // from_chars leaves the value unset on overflow/underflow; pick the limit it stands for.
    bool tiny = clean.find("e-") != std::string::npos;
    value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
  }
  return clean.front() == '-' ? -value : value;
}

// ---- Dates ----------------------------------------------------------------------------------

constexpr std::array<std::string_view, 12> kMonthNames = {
    "january", "february", "march",     "april",   "may",      "june",
    "july",    "august",   "september", "october", "november", "december"};
constexpr std::array<std::string_view, 7> kWeekdayNames = {
    "sunday", "monday", "tuesday", "wednesday", "thursday", "friday", "saturday"};

int MonthFromWord(std::string_view word) {
  if (word.size() < 3) return 0;
  for (size_t m = 0; m < kMonthNames.size(); ++m) {
    std::string_view name = kMonthNames[m];
    if (word == name || word == name.substr(0, 3) || (m == 8 && word == "sept")) {
      return static_cast<int>(m) + 1;
    }
  }
  return 0;
}

bool IsWeekdayWord(std::string_view word) {
  if (word.size() < 3) return false;
  for (std::string_view name : kWeekdayNames) {
    if (word == name || word == name.substr(0, 3)) return true;
  }
  return false;
}

enum class TokenKind { kNumber, kWord, kSeparator };

struct Token {
  TokenKind kind;
  std::string text;  // lower case
  int value = 0;     // numbers only
};

// Splits into digit runs, letter runs and single separators; blanks separate but are dropped.
bool Tokenize(std::string_view text, std::vector<Token>& tokens) {
  size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (IsBlank(c)) {
      ++i;
    } else if (IsDigit(c)) {
      size_t start = i;
      while (i < text.size() && IsDigit(text[i])) ++i;
      if (i - start > 9) return false;
      Token token{TokenKind::kNumber, std::string(text.substr(start, i - start))};
      token.value = std::stoi(token.text);
      tokens.push_back(std::move(token));
    } else if (IsAlpha(c)) {
      std::string word;
      while (i < text.size() && IsAlpha(text[i])) word.push_back(LowerAscii(text[i++]));
      tokens.push_back({TokenKind::kWord, std::move(word)});
    } else if (c == '/' || c == '-' || c == '.' || c == ',' || c == ':') {
      tokens.push_back({TokenKind::kSeparator, std::string(1, c)});
      ++i;
    } else {
      return false;
    }
  }
  return true;
}

bool IsSep(const Token& token, char c) {
  return token.kind == TokenKind::kSeparator && token.text[0] == c;
}

int ExpandYear(const Token& token) {
  if (token.text.size() <= 2) return token.value < 30 ? 2000 + token.value : 1900 + token.value;
  return token.value;
}

// Reads a time of day starting at tokens[pos]; on success sets the time and the position after
// it. Forms: h:mm, h:mm:ss, h:mm:ss.fff, each with optional am/pm; h am/pm.
bool ReadTime(const std::vector<Token>& t, size_t& pos, DateTime& out) {
  size_t i = pos;
  if (i >= t.size() || t[i].kind != TokenKind::kNumber || t[i].text.size() > 2) return false;
  int hour = t[i].value;
  int minute = 0;
  int second = 0;
  ++i;
  bool has_colon = false;
  if (i + 1 < t.size() && IsSep(t[i], ':') && t[i + 1].kind == TokenKind::kNumber) {
    has_colon = true;
    minute = t[i + 1].value;
    if (t[i + 1].text.size() != 2) return false;
    i += 2;
    if (i + 1 < t.size() && IsSep(t[i], ':') && t[i + 1].kind == TokenKind::kNumber) {
      if (t[i + 1].text.size() != 2) return false;
      second = t[i + 1].value;
      i += 2;
      if (i + 1 < t.size() && IsSep(t[i], '.') && t[i + 1].kind == TokenKind::kNumber) i += 2;
    }
  }
  bool has_meridiem = false;
  bool pm = false;
  if (i < t.size() && t[i].kind == TokenKind::kWord &&
      (t[i].text == "am" || t[i].text == "pm" || t[i].text == "a" || t[i].text == "p")) {
    has_meridiem = true;
    pm = t[i].text[0] == 'p';
    ++i;
    // "a.m." / "p.m."
    if (t[i - 1].text.size() == 1 && i + 1 < t.size() && IsSep(t[i], '.') &&
        t[i + 1].kind == TokenKind::kWord && t[i + 1].text == "m") {
      i += 2;
      if (i < t.size() && IsSep(t[i], '.')) ++i;
    }
  } else if (i < t.size() && t[i].kind == TokenKind::kWord && t[i].text == "z") {
    ++i;
  }
  if (!has_colon && !has_meridiem) return false;
  if (has_meridiem) {
    if (hour < 1 || hour > 12) return false;
    if (hour == 12) hour = 0;
    if (pm) hour += 12;
  }
  if (hour > 23 || minute > 59 || second > 59) return false;
  out.hour = hour;
  out.minute = minute;
  out.second = second;
  pos = i;
  return true;
}

// Reads the date part from tokens[pos]; on success sets the date and the position after it.
bool ReadDatePart(const std::vector<Token>& t, size_t& pos, DateTime& out) {
  size_t i = pos;
  auto num = [&](size_t k) { return k < t.size() && t[k].kind == TokenKind::kNumber; };
  auto word = [&](size_t k) { return k < t.size() && t[k].kind == TokenKind::kWord; };
  auto sep = [&](size_t k, char c) { return k < t.size() && IsSep(t[k], c); };

  // A leading weekday name ("Monday, March 1, 2004") is ignored.
  if (word(i) && IsWeekdayWord(t[i].text)) {
    ++i;
    if (sep(i, ',')) ++i;
  }
  int year = 0, month = 0, day = 0;
  if (num(i) && (sep(i + 1, '-') || sep(i + 1, '/')) && num(i + 2) && t[i].text.size() == 4) {
    // yyyy-mm-dd, yyyy/mm/dd
    char s = t[i + 1].text[0];
    if (!sep(i + 3, s) || !num(i + 4)) return false;
    year = t[i].value;
    month = t[i + 2].value;
    day = t[i + 4].value;
    i += 5;
  } else if (num(i) && (sep(i + 1, '/') || sep(i + 1, '-')) && num(i + 2)) {
    // m/d/yyyy, m-d-yyyy
    char s = t[i + 1].text[0];
    if (!sep(i + 3, s) || !num(i + 4)) return false;
    month = t[i].value;
    day = t[i + 2].value;
    year = ExpandYear(t[i + 4]);
    i += 5;
  } else if (num(i) && sep(i + 1, '-') && word(i + 2)) {
    // d-Mon-yy
    month = MonthFromWord(t[i + 2].text);
    if (!sep(i + 3, '-') || !num(i + 4)) return false;
    day = t[i].value;
    year = ExpandYear(t[i + 4]);
    i += 5;
  } else if (word(i) && num(i + 1)) {
    // March 1, 2004 / Mar 1 2004
    month = MonthFromWord(t[i].text);
    day = t[i + 1].value;
    i += 2;
    if (sep(i, ',')) ++i;
    if (!num(i)) return false;
    year = ExpandYear(t[i]);
    ++i;
  } else if (num(i) && word(i + 1) && num(i + 2)) {
    // 1 March 2004
    day = t[i].value;
    month = MonthFromWord(t[i + 1].text);
    year = ExpandYear(t[i + 2]);
    i += 3;
  } else {
    return false;
  }
  if (month == 0) return false;
  out.year = year;
  out.month = month;
  out.day = day;
  pos = i;
  return true;
}

int DaysInMonth(int year, int month) {
  static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[static_cast<size_t>(month - 1)];
}

}  // namespace

bool IsNumericText(std::string_view text) { return ParseNumber(text).has_value(); }

std::optional<double> ParseNumber(std::string_view text) {
  text = Trim(text, kBlanks);
  if (text.empty()) return std::nullopt;
  std::string clean;
  size_t used = ScanNumber(text, true, clean);
  if (used == 0 || used != text.size()) return std::nullopt;
  return CleanToDouble(clean);
}

double LeadingNumber(std::string_view text) {
  // Blanks inside a number are ignored: "1 2 3" reads as 123.
  std::string compact;
  compact.reserve(text.size());
  for (char c : text) {
    if (!IsBlank(c)) compact.push_back(c);
  }
  std::string clean;
  if (ScanNumber(compact, false, clean) == 0) return 0;
  return CleanToDouble(clean);
}

double RoundHalfEven(double value) {
  if (!std::isfinite(value)) return value;
  double floor_value = std::floor(value);
  double diff = value - floor_value;
  if (diff > 0.5) return floor_value + 1;
  if (diff < 0.5) return floor_value;
  return std::fmod(floor_value, 2.0) == 0 ? floor_value : floor_value + 1;
}

namespace {
template <class T>
T RoundedTo(double value) {
  double rounded = RoundHalfEven(value);
  // The upper bound is exclusive and exactly representable (a power of two) for every type.
  constexpr double kLow = static_cast<double>(std::numeric_limits<T>::min());
  constexpr double kHighExclusive = -kLow;
  if (std::isnan(rounded) || rounded < kLow || rounded >= kHighExclusive) {
    throw Error(ErrorNumber::kOverflow, "Overflow");
  }
  return static_cast<T>(rounded);
}
}  // namespace

int16_t ToInt16(double value) { return RoundedTo<int16_t>(value); }
int32_t ToInt32(double value) { return RoundedTo<int32_t>(value); }
int64_t ToInt64(double value) { return RoundedTo<int64_t>(value); }

std::optional<bool> ParseBoolean(std::string_view text) {
  std::string_view trimmed = Trim(text, kBlanks);
  if (EqualsIgnoreCase(trimmed, "true")) return true;
  if (EqualsIgnoreCase(trimmed, "false")) return false;
  if (auto number = ParseNumber(trimmed)) return *number != 0;
  return std::nullopt;
}

bool IsValidDateTime(const DateTime& v) {
  return v.year >= 100 && v.year <= 9999 && v.month >= 1 && v.month <= 12 && v.day >= 1 &&
         v.day <= DaysInMonth(v.year, v.month) && v.hour >= 0 && v.hour <= 23 && v.minute >= 0 &&
         v.minute <= 59 && v.second >= 0 && v.second <= 59;
}

std::optional<DateTime> ParseDate(std::string_view text) {
  std::string_view trimmed = Trim(text, kBlanks);
  std::string prepared(trimmed);
  // ISO timestamps: "2004-03-01T15:05:09" reads like "2004-03-01 15:05:09".
  if (prepared.size() > 10 && (prepared[10] == 'T' || prepared[10] == 't') &&
      IsDigit(prepared[9])) {
    prepared[10] = ' ';
  }
  std::vector<Token> tokens;
  if (!Tokenize(prepared, tokens) || tokens.empty()) return std::nullopt;

  DateTime result;
  size_t pos = 0;
  bool has_date = false;
  bool has_time = false;
  if (ReadTime(tokens, pos, result)) {
    has_time = true;
    if (pos < tokens.size()) {
      if (!ReadDatePart(tokens, pos, result)) return std::nullopt;
      has_date = true;
    }
  } else {
    if (!ReadDatePart(tokens, pos, result)) return std::nullopt;
    has_date = true;
    if (pos < tokens.size() && !ReadTime(tokens, pos, result)) return std::nullopt;
  }
  if (pos != tokens.size() || (!has_date && !has_time)) return std::nullopt;
  if (!IsValidDateTime(result)) return std::nullopt;
  return result;
}

bool IsDateText(std::string_view text) { return ParseDate(text).has_value(); }

std::string FormatGeneralDate(const DateTime& value) {
  char buffer[64];
  const DateTime kDayZero{};
  bool day_zero =
      value.year == kDayZero.year && value.month == kDayZero.month && value.day == kDayZero.day;
  std::string result;
  if (!day_zero) {
    std::snprintf(buffer, sizeof buffer, "%d/%d/%d", value.month, value.day, value.year);
    result = buffer;
    if (!value.HasTime()) return result;
    result.push_back(' ');
  }
  int hour12 = value.hour % 12 == 0 ? 12 : value.hour % 12;
  std::snprintf(buffer, sizeof buffer, "%d:%02d:%02d %s", hour12, value.minute, value.second,
                value.hour >= 12 ? "PM" : "AM");
  result += buffer;
  return result;
}

std::string FormatReal(double value) {
  if (value == 0) return "0";
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.15G", value);
  return buffer;
}

}  // namespace quenmark
