#pragma once
/// Value conversions shared by the whole library: numeric tests, number reading, integer
/// conversion with halves-to-even rounding, boolean reading and date reading/writing.
///
/// Texts are UTF-8. Reading follows en-US conventions (decimal
/// point ".", thousands separator ",", month before day). The throwing conversions raise
/// `quenmark::Error` with `ErrorNumber::kTypeMismatch` or `ErrorNumber::kOverflow`.
/// All functions are pure and thread-safe.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "quenmark/variant.h"

namespace quenmark {

/// The whole text (surrounding blanks allowed) is a number: optional sign, digits with optional
/// "," group separators, optional decimal part, optional exponent ("1E+20"). "", "." and "1e"
/// are not numbers.
bool IsNumericText(std::string_view text);
/// The number the text holds as a whole, or nullopt when `IsNumericText` is false.
std::optional<double> ParseNumber(std::string_view text);
/// The number at the start of the text, ignoring leading blanks and anything after the number
/// ("12abc" gives 12, "abc" gives 0).
double LeadingNumber(std::string_view text);

/// Rounds to the nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
double RoundHalfEven(double value);
/// Rounded conversions; Error(kOverflow) when the rounded value does not fit (or is NaN).
int16_t ToInt16(double value);
int32_t ToInt32(double value);
int64_t ToInt64(double value);

/// "True"/"False" in any case, or a number (non-zero is true, so "-1" is true).
std::optional<bool> ParseBoolean(std::string_view text);

/// A date as a user or a database writes it: "2004-03-01", "2004-03-01 15:05:09" (also with
/// "T" and fractional seconds), "3/1/2004", "3/1/04", "1-Mar-04", "1-Mar-2004", "March 1, 2004",
/// "Mar 1 2004", "1 March 2004", each optionally followed by a time ("15:05", "3:05:09 PM",
/// "3 PM"); a time alone gives that time on day 0 (1899-12-30). Two-digit years 00-29 are
/// 2000-2029, 30-99 are 1930-1999. Impossible dates ("2/30/2004") are not dates.
std::optional<DateTime> ParseDate(std::string_view text);
bool IsDateText(std::string_view text);

/// "3/1/2004 3:05:09 PM"; "3/1/2004" when there is no time of day; "3:05:09 PM" for a time on
/// day 0; "12:00:00 AM" for day 0 at midnight.
std::string FormatGeneralDate(const DateTime& value);
/// Shortest text that reads back, at most 15 significant digits: 0.1 -> "0.1", 2.5 -> "2.5",
/// 1e20 -> "1E+20", 1e-5 -> "1E-05", 123456789012345 -> "123456789012345".
std::string FormatReal(double value);

/// Valid calendar date (1 <= month <= 12, day within the month, years 100-9999) and time.
bool IsValidDateTime(const DateTime& value);

}  // namespace quenmark
