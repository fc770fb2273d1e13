#include "frame/date_pattern.h"

#include "frame/text_util.h"
#include "quenmark/locale.h"
#include "quenmark/shared_procedures.h"

namespace quenmark {

namespace {

std::string TwoDigits(int value) {
  std::string out = std::to_string(value);
  if (out.size() < 2) out.insert(0, "0");
  return out;
}

// Length of the run of `letter` (ignoring case) that starts at `pos`.
size_t RunLength(std::string_view pattern, size_t pos, char letter) {
  size_t end = pos;
  while (end < pattern.size() && LowerAscii(pattern[end]) == letter) ++end;
  return end - pos;
}

int NamedFormat(std::string_view pattern) {
  struct Named {
    std::string_view name;
    int format;
  };
  static constexpr Named kNamed[] = {
      {"general date", Locale::kGeneralDate}, {"long date", Locale::kLongDate},
      {"medium date", Locale::kLongDate},     {"short date", Locale::kShortDate},
      {"long time", Locale::kLongTime},       {"medium time", Locale::kLongTime},
      {"short time", Locale::kShortTime}};
  for (const Named& named : kNamed) {
    if (EqualsIgnoreCase(Trim(pattern), named.name)) return named.format;
  }
  return -1;
}

}  // namespace

std::string FormatDatePattern(const DateTime& value, std::string_view pattern) {
  const Locale& locale = Locale::Current();
  if (const int named = NamedFormat(pattern); named >= 0) {
    return locale.FormatNamedDate(value, named);
  }
  if (pattern.find('%') != std::string_view::npos) return FormatDate(value.ToIso(), pattern);

  // A 12-hour marker anywhere switches every hour code to the 12-hour clock.
  const std::string lower = ToLowerAscii(pattern);
  const bool twelve_hour =
      lower.find("am/pm") != std::string::npos || lower.find("a/p") != std::string::npos;
  const int hour12 = value.hour % 12 == 0 ? 12 : value.hour % 12;
  const int hour = twelve_hour ? hour12 : value.hour;

  std::string out;
  out.reserve(pattern.size() + 16);
  bool after_hour = false;  // an "m" run right after an hour code means minutes
  for (size_t pos = 0; pos < pattern.size();) {
    const char c = pattern[pos];
    const char lower_c = LowerAscii(c);
    if (c == '"') {
      const size_t close = pattern.find('"', pos + 1);
      const size_t end = close == std::string_view::npos ? pattern.size() : close;
      out.append(pattern.substr(pos + 1, end - pos - 1));
      pos = end == pattern.size() ? end : end + 1;
      continue;
    }
    if (c == '\\' && pos + 1 < pattern.size()) {
      out += pattern[pos + 1];
      pos += 2;
      continue;
    }
    if (lower.compare(pos, 5, "am/pm") == 0) {
      const bool upper = pattern[pos] == 'A';
      out += value.hour >= 12 ? (upper ? "PM" : "pm") : (upper ? "AM" : "am");
      pos += 5;
      continue;
    }
    if (lower.compare(pos, 3, "a/p") == 0) {
      const bool upper = pattern[pos] == 'A';
      out += value.hour >= 12 ? (upper ? "P" : "p") : (upper ? "A" : "a");
      pos += 3;
      continue;
    }
    const size_t run = std::string_view("dmyhnsc").find(lower_c) == std::string_view::npos
                           ? 0
                           : RunLength(pattern, pos, lower_c);
    switch (run == 0 ? '\0' : lower_c) {
      case 'd':
        if (run == 1)
          out += std::to_string(value.day);
        else if (run == 2)
          out += TwoDigits(value.day);
        else if (run == 3)
          out += locale.WeekdayName(value.Weekday(), true);
        else
          out += locale.WeekdayName(value.Weekday(), false);
        after_hour = false;
        break;
      case 'm':
        if (after_hour && run <= 2) {
          out += run == 1 ? std::to_string(value.minute) : TwoDigits(value.minute);
        } else if (run == 1) {
          out += std::to_string(value.month);
        } else if (run == 2) {
          out += TwoDigits(value.month);
        } else {
          out += locale.MonthName(value.month, run == 3);
        }
        after_hour = false;
        break;
      case 'y':
        if (run <= 1)
          out += std::to_string(value.DayOfYear());
        else if (run <= 3)
          out += TwoDigits(value.year % 100);
        else
          out += std::to_string(value.year);
        after_hour = false;
        break;
      case 'h':
        out += run == 1 ? std::to_string(hour) : TwoDigits(hour);
        after_hour = true;
        break;
      case 'n':
        out += run == 1 ? std::to_string(value.minute) : TwoDigits(value.minute);
        after_hour = false;
        break;
      case 's':
        out += run == 1 ? std::to_string(value.second) : TwoDigits(value.second);
        after_hour = false;
        break;
      case 'c':
        out += locale.FormatNamedDate(value, Locale::kGeneralDate);
        after_hour = false;
        break;
      default:
        out += c;
        pos += 1;
        continue;
    }
    pos += run;
  }
  return out;
}

}  // namespace quenmark
