#include "quenmark/locale.h"

#include <unicode/calendar.h>
#include <unicode/dtfmtsym.h>
#include <unicode/gregocal.h>
#include <unicode/locid.h>
#include <unicode/numberformatter.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/ucurr.h>

#include <algorithm>
#include <array>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "quenmark/conversions.h"
#include "quenmark/shared_settings.h"

namespace quenmark {
namespace {

namespace icunum = icu::number;

constexpr int kCachedDecimals = 10;
constexpr int kMaxDecimals = 30;
constexpr int kDefaultDecimals = 2;

enum class NumberStyle { kNumber, kCurrency, kPercent };

std::string ToUtf8(const icu::UnicodeString& text) {
  std::string out;
  text.toUTF8String(out);
  return out;
}

// ICU separates the time from AM/PM (and some date parts) with no-break spaces; pages and
// stored texts expect a plain blank.
std::string PlainBlanks(std::string text) {
  static constexpr std::string_view kNarrowNbsp = "\xE2\x80\xAF";
  static constexpr std::string_view kNbsp = "\xC2\xA0";
  for (std::string_view special : {kNarrowNbsp, kNbsp}) {
    size_t pos = 0;
    while ((pos = text.find(special, pos)) != std::string::npos) {
      text.replace(pos, special.size(), " ");
      ++pos;
    }
  }
  return text;
}

icu::Locale MakeIcuLocale(std::string_view id) {
  std::string tag(id);
  for (char& c : tag) {
    if (c == '_') c = '-';
  }
  UErrorCode status = U_ZERO_ERROR;
  icu::Locale locale = icu::Locale::forLanguageTag(tag, status);
  if (U_FAILURE(status) || locale.isBogus()) return icu::Locale("en", "US");
  return locale;
}

// Date patterns with four-digit years, so short dates read "3/1/2004", not "3/1/04".
icu::UnicodeString FourDigitYears(icu::UnicodeString pattern) {
  icu::UnicodeString result;
  bool quoted = false;
  for (int32_t i = 0; i < pattern.length();) {
    char16_t c = pattern.charAt(i);
    if (c == u'\'') quoted = !quoted;
    if (!quoted && c == u'y') {
      int32_t run = 0;
      while (i < pattern.length() && pattern.charAt(i) == u'y') {
        ++run;
        ++i;
      }
      result.append(run == 2 ? icu::UnicodeString(u"y") : icu::UnicodeString(run, u'y', run));
      continue;
    }
    result.append(c);
    ++i;
  }
  return result;
}

}  // namespace

struct Locale::Impl {
  std::string id;
  icu::Locale icu_locale;
  icu::UnicodeString currency_code;
  std::array<std::vector<icunum::LocalizedNumberFormatter>, 3> cached;
  std::vector<std::string> months, months_short, weekdays, weekdays_short;

  // SimpleDateFormat is not safe for concurrent use; one lock per locale keeps formatting of
  // named dates correct when several requests share the locale.
  mutable std::mutex date_mutex;
  std::unique_ptr<icu::SimpleDateFormat> short_date, long_date, long_time, short_time;

  explicit Impl(std::string_view locale_id) : id(locale_id), icu_locale(MakeIcuLocale(locale_id)) {
    UErrorCode status = U_ZERO_ERROR;
    char16_t code[4] = {};
    ucurr_forLocale(icu_locale.getName(), code, 4, &status);
    currency_code = U_SUCCESS(status) && code[0] != 0 ? icu::UnicodeString(code, 3)
                                                      : icu::UnicodeString(u"USD");
    for (int style = 0; style < 3; ++style) {
      for (int d = 0; d <= kCachedDecimals; ++d) {
        cached[static_cast<size_t>(style)].push_back(Build(static_cast<NumberStyle>(style), d));
      }
    }
    LoadNames();
    LoadDatePatterns();
  }

  icunum::LocalizedNumberFormatter Build(NumberStyle style, std::optional<int> decimals) const {
    auto formatter =
        icunum::NumberFormatter::withLocale(icu_locale).roundingMode(UNUM_ROUND_HALFUP);
    switch (style) {
      case NumberStyle::kNumber:
        return formatter.sign(UNUM_SIGN_NEGATIVE)
            .precision(icunum::Precision::fixedFraction(decimals.value_or(kDefaultDecimals)));
      case NumberStyle::kPercent:
        return formatter.sign(UNUM_SIGN_NEGATIVE)
            .unit(icu::NoUnit::percent())
            .scale(icunum::Scale::powerOfTen(2))
            .precision(icunum::Precision::fixedFraction(decimals.value_or(kDefaultDecimals)));
      case NumberStyle::kCurrency: {
        UErrorCode status = U_ZERO_ERROR;
        icu::CurrencyUnit unit(currency_code.getBuffer(), status);
        auto currency = formatter.sign(UNUM_SIGN_ACCOUNTING_NEGATIVE).unit(unit);
        if (decimals) return currency.precision(icunum::Precision::fixedFraction(*decimals));
        return currency.precision(icunum::Precision::currency(UCURR_USAGE_STANDARD));
      }
    }
    return formatter;
  }

  std::string Format(NumberStyle style, double value, int decimals) const {
    UErrorCode status = U_ZERO_ERROR;
    std::optional<int> chosen;
    if (decimals >= 0) chosen = std::min(decimals, kMaxDecimals);
    if (style != NumberStyle::kCurrency && !chosen) chosen = kDefaultDecimals;
    icu::UnicodeString text;
    if (chosen && *chosen <= kCachedDecimals) {
      text = cached[static_cast<size_t>(style)][static_cast<size_t>(*chosen)]
                 .formatDouble(value, status)
                 .toString(status);
    } else {
      text = Build(style, chosen).formatDouble(value, status).toString(status);
    }
    if (U_FAILURE(status)) return FormatReal(value);
    return ToUtf8(text);
  }

  void LoadNames() {
    UErrorCode status = U_ZERO_ERROR;
    icu::DateFormatSymbols symbols(icu_locale, status);
    if (U_FAILURE(status)) return;
    auto copy = [](const icu::UnicodeString* names, int32_t count, std::vector<std::string>& out) {
      for (int32_t i = 0; i < count; ++i) out.push_back(ToUtf8(names[i]));
    };
    int32_t count = 0;
    const icu::UnicodeString* names =
        symbols.getMonths(count, icu::DateFormatSymbols::FORMAT, icu::DateFormatSymbols::WIDE);
    copy(names, std::min(count, 12), months);
    names = symbols.getMonths(count, icu::DateFormatSymbols::FORMAT,
                              icu::DateFormatSymbols::ABBREVIATED);
    copy(names, std::min(count, 12), months_short);
    // Weekday arrays are indexed from 1 (Sunday); entry 0 is empty.
    names =
        symbols.getWeekdays(count, icu::DateFormatSymbols::FORMAT, icu::DateFormatSymbols::WIDE);
    copy(names, count, weekdays);
    names = symbols.getWeekdays(count, icu::DateFormatSymbols::FORMAT,
                                icu::DateFormatSymbols::ABBREVIATED);
    copy(names, count, weekdays_short);
  }

  std::unique_ptr<icu::SimpleDateFormat> Pattern(const icu::UnicodeString& pattern) const {
    UErrorCode status = U_ZERO_ERROR;
    auto format = std::make_unique<icu::SimpleDateFormat>(pattern, icu_locale, status);
    if (U_FAILURE(status)) return nullptr;
    // DateTime values carry no zone: format them as UTC so nothing shifts, and use the
    // proleptic Gregorian calendar so old dates read the same as they are stored.
    format->adoptTimeZone(icu::TimeZone::createTimeZone("UTC"));
    auto* calendar =
        new icu::GregorianCalendar(icu::TimeZone::getGMT()->clone(), icu_locale, status);
    calendar->setGregorianChange(-1e300, status);
    format->adoptCalendar(calendar);
    return format;
  }

  icu::UnicodeString StylePattern(icu::DateFormat::EStyle date_style,
                                  icu::DateFormat::EStyle time_style) const {
    std::unique_ptr<icu::DateFormat> format(
        icu::DateFormat::createDateTimeInstance(date_style, time_style, icu_locale));
    icu::UnicodeString pattern;
    if (auto* simple = dynamic_cast<icu::SimpleDateFormat*>(format.get())) {
      simple->toPattern(pattern);
    }
    return pattern;
  }

  void LoadDatePatterns() {
    short_date =
        Pattern(FourDigitYears(StylePattern(icu::DateFormat::kShort, icu::DateFormat::kNone)));
    long_date = Pattern(StylePattern(icu::DateFormat::kFull, icu::DateFormat::kNone));
    long_time = Pattern(StylePattern(icu::DateFormat::kNone, icu::DateFormat::kMedium));
    short_time = Pattern(u"HH:mm");
  }

  std::string FormatWith(const icu::SimpleDateFormat* format, const DateTime& value) const {
    if (format == nullptr) return FormatGeneralDate(value);
    // Milliseconds since 1970-01-01 of the wall-clock value.
    const double kEpochSerial = 25569.0;
    DateTime midnight = value;
    midnight.hour = midnight.minute = midnight.second = 0;
    double day_number = midnight.ToSerial();
    double seconds = value.hour * 3600.0 + value.minute * 60.0 + value.second;
    double millis = ((day_number - kEpochSerial) * 86400.0 + seconds) * 1000.0;
    icu::UnicodeString text;
    {
      std::lock_guard lock(date_mutex);
      format->format(millis, text);
    }
    return PlainBlanks(ToUtf8(text));
  }
};

Locale::Locale(std::string_view id) : impl_(std::make_unique<Impl>(id)) {}
Locale::~Locale() = default;
Locale::Locale(Locale&&) noexcept = default;
Locale& Locale::operator=(Locale&&) noexcept = default;

const Locale& Locale::Default() {
  static const Locale kDefault("en-US");
  return kDefault;
}

const Locale& Locale::Current() {
  const std::string& id = ThreadSettings().locale;
  if (id.empty()) return Default();
  // Building a locale's formatters costs far more than a page's formatting, so each locale a
  // page asks for is made once and shared (its methods are safe across threads). Pages name
  // few locales; past a bound the rest are formatted as en-US rather than growing without end.
  // Cells ask for it one by one, so each thread remembers the last locale it was given.
  thread_local std::string last_id;
  thread_local const Locale* last = nullptr;
  if (last != nullptr && last_id == id) return *last;
  static std::mutex mutex;
  static std::map<std::string, Locale, std::less<>> shared;
  std::lock_guard lock(mutex);
  if (auto found = shared.find(id); found != shared.end()) {
    last = &found->second;
  } else if (shared.size() >= 64) {
    last = &Default();
  } else {
    last = &shared.try_emplace(id, id).first->second;
  }
  last_id = id;
  return *last;
}

bool Locale::IsKnownTag(std::string_view tag) {
  if (tag.empty() || tag.size() > 35) return false;
  for (char c : tag) {
    const bool letter_or_digit =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!letter_or_digit && c != '-' && c != '_') return false;
  }
  std::string text(tag);
  std::replace(text.begin(), text.end(), '_', '-');
  UErrorCode status = U_ZERO_ERROR;
  const icu::Locale locale = icu::Locale::forLanguageTag(text, status);
  return U_SUCCESS(status) && !locale.isBogus() && locale.getISO3Language()[0] != '\0';
}

const std::string& Locale::Id() const { return impl_->id; }

std::string Locale::FormatNumber(double value, int decimals) const {
  return impl_->Format(NumberStyle::kNumber, value, decimals);
}

std::string Locale::FormatCurrency(double value, int decimals) const {
  return impl_->Format(NumberStyle::kCurrency, value, decimals);
}

std::string Locale::FormatPercent(double value, int decimals) const {
  return impl_->Format(NumberStyle::kPercent, value, decimals);
}

std::string Locale::MonthName(int month, bool abbreviated) const {
  const auto& names = abbreviated ? impl_->months_short : impl_->months;
  if (month < 1 || static_cast<size_t>(month) > names.size()) return std::string();
  return names[static_cast<size_t>(month - 1)];
}

std::string Locale::WeekdayName(int weekday, bool abbreviated) const {
  const auto& names = abbreviated ? impl_->weekdays_short : impl_->weekdays;
  if (weekday < 1 || static_cast<size_t>(weekday) >= names.size()) return std::string();
  return names[static_cast<size_t>(weekday)];
}

std::string Locale::FormatNamedDate(const DateTime& value, int named_format) const {
  switch (named_format) {
    case kLongDate:
      return impl_->FormatWith(impl_->long_date.get(), value);
    case kShortDate:
      return impl_->FormatWith(impl_->short_date.get(), value);
    case kLongTime:
      return impl_->FormatWith(impl_->long_time.get(), value);
    case kShortTime:
      return impl_->FormatWith(impl_->short_time.get(), value);
    default: {
      const DateTime kDayZero{};
      bool day_zero =
          value.year == kDayZero.year && value.month == kDayZero.month && value.day == kDayZero.day;
      if (day_zero) return impl_->FormatWith(impl_->long_time.get(), value);
      std::string date = impl_->FormatWith(impl_->short_date.get(), value);
      if (!value.HasTime()) return date;
      return date + " " + impl_->FormatWith(impl_->long_time.get(), value);
    }
  }
}

}  // namespace quenmark
