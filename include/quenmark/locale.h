#pragma once
/// Locale-dependent formatting of numbers, currency, percentages and dates (through ICU).
///
/// The default locale is en-US: FormatNumber(1234.5, 2) = "1,234.50", FormatCurrency(-1234.5, 2)
/// = "($1,234.50)", FormatPercent(0.125, 1) = "12.5%". Values are rounded half away from zero.
/// Negative `decimals` mean the default: 2 for numbers and percentages, the currency's own
/// digits for currency.
///
/// Threading: every method is const and safe to call from several threads at once.

#include <memory>
#include <string>
#include <string_view>

#include "quenmark/variant.h"

namespace quenmark {

class Locale {
 public:
  /// Named date formats of FormatNamedDate.
  static constexpr int kGeneralDate = 0;
  static constexpr int kLongDate = 1;
  static constexpr int kShortDate = 2;
  static constexpr int kLongTime = 3;
  static constexpr int kShortTime = 4;

  /// `id` is a language tag or ICU id ("en-US", "de_DE").
  explicit Locale(std::string_view id = "en-US");
  ~Locale();
  Locale(const Locale&) = delete;
  Locale& operator=(const Locale&) = delete;
  Locale(Locale&&) noexcept;
  Locale& operator=(Locale&&) noexcept;

  /// The process-wide en-US locale.
  static const Locale& Default();
  /// The locale of the page being run: the one it chose (`Response.Locale`, kept in the
  /// thread's shared settings), else en-US. Grids, graphs and FormatDate format with it.
  static const Locale& Current();
  /// True when `tag` is a language tag ICU knows the language of ("de-DE", "fr", "pt_BR").
  static bool IsKnownTag(std::string_view tag);

  const std::string& Id() const;

  std::string FormatNumber(double value, int decimals = -1) const;
  std::string FormatCurrency(double value, int decimals = -1) const;
  /// value x 100 with `decimals` decimals and "%".
  std::string FormatPercent(double value, int decimals = -1) const;

  /// month 1-12, weekday 1 (Sunday) - 7; "" outside the range.
  std::string MonthName(int month, bool abbreviated = false) const;
  std::string WeekdayName(int weekday, bool abbreviated = false) const;

  /// 0 general date ("3/1/2004 3:05:09 PM", the date alone when there is no time, the time
  /// alone on day 0), 1 long date ("Monday, March 1, 2004"), 2 short date ("3/1/2004"),
  /// 3 long time ("3:05:09 PM"), 4 short time ("15:05"). Other values give the general date.
  std::string FormatNamedDate(const DateTime& value, int named_format) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace quenmark
