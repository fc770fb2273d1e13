#pragma once
// Dates written with a pattern in the host's date pattern syntax, the form page authors use for
// the default date format of grids: "mm/dd/yyyy", "d mmm yyyy", "dddd, mmmm d", "hh:nn AM/PM",
// or a named format ("General Date", "Long Date", "Medium Date", "Short Date", "Long Time",
// "Medium Time", "Short Time"). A pattern holding "%" codes is read as a FormatDate format.

#include <string>
#include <string_view>

#include "quenmark/variant.h"

namespace quenmark {

/// Codes (letters ignore case): d, dd day; ddd, dddd weekday name; m, mm month (minutes right
/// after an hour code); mmm, mmmm month name; y day of year; yy, yyyy year; h, hh hour; n, nn
/// minute; s, ss second; AM/PM, am/pm, A/P, a/p switch hours to the 12-hour clock; "c" the
/// general date. Text in double quotes and the character after "\" are literal; other
/// characters are copied. Names come from the en-US locale.
std::string FormatDatePattern(const DateTime& value, std::string_view pattern);

}  // namespace quenmark
