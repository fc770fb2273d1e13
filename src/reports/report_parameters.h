#pragma once
// The placeholders of a saved report's query: the clock (@DATE, @TIME, ...), the signed-in user
// (@USERNAME, @USERID) and the open parameters ("?name") answered in the query string.
//
// Every value is written for the place it takes in the SQL, so that no answer can change the
// statement: inside an SQL text literal its apostrophes are doubled; a bare ?name takes only a
// number and #?name# only a date. A value that does not fit is refused and asked again.

#include <string>
#include <string_view>
#include <vector>

namespace quenmark::reports {

struct ClockParts {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0;
};

/// The query with @DATETIME, @DATE, @TIME, @YEAR, @MONTH and @DAY replaced (ignoring case, in
/// that order) by the numbers of `now` without leading zeros ("2004-3-5", "9:7").
std::string ReplaceClockPlaceholders(std::string_view query, const ClockParts& now);
ClockParts LocalClockNow();

/// The query with @USERNAME and @USERID replaced as text: inside an SQL text literal with the
/// apostrophes doubled, elsewhere as a quoted literal.
std::string ReplaceUserPlaceholders(std::string_view query, std::string_view user_name,
                                    std::string_view user_id);

/// What a query's open parameters need.
struct ParameterAnswer {
  std::string query;  // the filled query (valid when `missing` and `refused` are empty)
  std::vector<std::string> names;    // every parameter once, in order of first use
  std::vector<std::string> missing;  // parameters without a value
  std::vector<std::string> refused;  // parameters whose value does not fit their place
};

/// Fills "?name" placeholders (name: letters, digits and "_"; first use decides the spelling,
/// later uses match ignoring case) with `lookup(name)`.
template <class Lookup>
ParameterAnswer FillParameters(std::string_view query, Lookup lookup);

/// Implementation of FillParameters over values already looked up, in the order of `names`.
ParameterAnswer FillParameterValues(std::string_view query, const std::vector<std::string>& names,
                                    const std::vector<std::string>& values);
/// The parameter names of the query, each once, in order of first use.
std::vector<std::string> ParameterNames(std::string_view query);

template <class Lookup>
ParameterAnswer FillParameters(std::string_view query, Lookup lookup) {
  std::vector<std::string> names = ParameterNames(query);
  std::vector<std::string> values;
  values.reserve(names.size());
  for (const std::string& name : names) values.push_back(lookup(name));
  return FillParameterValues(query, names, values);
}

}  // namespace quenmark::reports
