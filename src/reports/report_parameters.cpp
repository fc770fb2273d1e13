#include "reports/report_parameters.h"

#include <ctime>

#include "frame/text_util.h"
#include "quenmark/conversions.h"

namespace quenmark::reports {
namespace {

bool IsNameChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && ToUpperAscii(a) == ToUpperAscii(b);
}

// Replaces every occurrence of `from` (ignoring case) in one pass.
std::string ReplaceIgnoringCase(std::string_view text, std::string_view from, std::string_view to) {
  const std::string upper = ToUpperAscii(text);
  const std::string key = ToUpperAscii(from);
  std::string out;
  out.reserve(text.size());
  size_t at = 0;
  for (size_t found; (found = upper.find(key, at)) != std::string::npos; at = found + key.size()) {
    out.append(text.substr(at, found - at));
    out.append(to);
  }
  out.append(text.substr(at));
  return out;
}

std::string DoubleApostrophes(std::string_view value) {
  std::string out;
  out.reserve(value.size() + 2);
  for (char c : value) {
    out.push_back(c);
    if (c == '\'') out.push_back('\'');
  }
  return out;
}

// A plain decimal number: optional sign, digits, optional fraction. Nothing else may reach a
// bare placeholder.
bool IsPlainNumber(std::string_view value) {
  value = Trim(value);
  if (!value.empty() && (value.front() == '-' || value.front() == '+')) value.remove_prefix(1);
  size_t digits = 0;
  bool point = false;
  for (char c : value) {
    if (c >= '0' && c <= '9') {
      ++digits;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  return digits > 0;
}

bool IsPlainDate(std::string_view value) {
  return value.find_first_of("#'\\;") == std::string_view::npos && IsDateText(Trim(value));
}

// Tells, for each position of the query, whether it lies inside an SQL text literal; a doubled
// apostrophe inside a literal keeps it open.
class LiteralScanner {
 public:
  explicit LiteralScanner(std::string_view text) : text_(text) {}
  // Advances to `position` (never backwards) and answers.
  bool InsideLiteral(size_t position) {
    for (; at_ < position && at_ < text_.size(); ++at_) {
      if (text_[at_] == '\'') inside_ = !inside_;
    }
    return inside_;
  }

 private:
  std::string_view text_;
  size_t at_ = 0;
  bool inside_ = false;
};

// Where a placeholder's name ends.
size_t NameEnd(std::string_view query, size_t start) {
  size_t end = start;
  while (end < query.size() && IsNameChar(query[end])) ++end;
  return end;
}

}  // namespace

std::string ReplaceClockPlaceholders(std::string_view query, const ClockParts& now) {
  if (query.find('@') == std::string_view::npos) return std::string(query);
  const std::string date =
      std::to_string(now.year) + "-" + std::to_string(now.month) + "-" + std::to_string(now.day);
  const std::string time = std::to_string(now.hour) + ":" + std::to_string(now.minute);
  std::string out = ReplaceIgnoringCase(query, "@DATETIME", date + " " + time);
  out = ReplaceIgnoringCase(out, "@DATE", date);
  out = ReplaceIgnoringCase(out, "@TIME", time);
  out = ReplaceIgnoringCase(out, "@YEAR", std::to_string(now.year));
  out = ReplaceIgnoringCase(out, "@MONTH", std::to_string(now.month));
  return ReplaceIgnoringCase(out, "@DAY", std::to_string(now.day));
}

ClockParts LocalClockNow() {
  const std::time_t t = std::time(nullptr);
  std::tm local{};
  localtime_r(&t, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min};
}

std::string ReplaceUserPlaceholders(std::string_view query, std::string_view user_name,
                                    std::string_view user_id) {
  const std::string upper = ToUpperAscii(query);
  if (upper.find("@USER") == std::string::npos) return std::string(query);
  std::string out;
  out.reserve(query.size() + user_name.size());
  LiteralScanner scanner(query);
  size_t at = 0;
  for (size_t found; (found = upper.find("@USER", at)) != std::string::npos;) {
    std::string_view value;
    size_t length = 0;
    if (upper.compare(found, 9, "@USERNAME") == 0) {
      value = user_name;
      length = 9;
    } else if (upper.compare(found, 7, "@USERID") == 0) {
      value = user_id;
      length = 7;
    } else {
      out.append(query.substr(at, found + 5 - at));
      at = found + 5;
      continue;
    }
    const bool quoted = scanner.InsideLiteral(found);
    out.append(query.substr(at, found - at));
    if (!quoted) out.push_back('\'');
    out += DoubleApostrophes(value);
    if (!quoted) out.push_back('\'');
    at = found + length;
  }
  out.append(query.substr(at));
  return out;
}

std::vector<std::string> ParameterNames(std::string_view query) {
  std::vector<std::string> names;
  for (size_t p = query.find('?'); p != std::string_view::npos; p = query.find('?', p + 1)) {
    const size_t end = NameEnd(query, p + 1);
    if (end == p + 1) continue;
    const std::string_view name = query.substr(p + 1, end - p - 1);
    bool seen = false;
    for (const std::string& known : names) seen = seen || EqualsIgnoringCase(known, name);
    if (!seen) names.emplace_back(name);
  }
  return names;
}

ParameterAnswer FillParameterValues(std::string_view query, const std::vector<std::string>& names,
                                    const std::vector<std::string>& values) {
  ParameterAnswer answer;
  answer.names = names;
  auto index_of = [&](std::string_view name) {
    for (size_t i = 0; i < names.size(); ++i) {
      if (EqualsIgnoringCase(names[i], name)) return i;
    }
    return names.size();
  };
  std::vector<bool> refused(names.size(), false);
  for (size_t i = 0; i < names.size(); ++i) {
    if (values[i].empty()) answer.missing.push_back(names[i]);
  }
  answer.query.reserve(query.size() + 16);
  LiteralScanner scanner(query);
  size_t at = 0;
  for (size_t p = query.find('?'); p != std::string_view::npos; p = query.find('?', p + 1)) {
    const size_t end = NameEnd(query, p + 1);
    const size_t i = index_of(query.substr(p + 1, end - p - 1));
    if (end == p + 1 || i == names.size()) continue;
    const std::string& value = values[i];
    answer.query.append(query.substr(at, p - at));
    at = end;
    if (value.empty()) continue;
    if (scanner.InsideLiteral(p)) {
      answer.query += DoubleApostrophes(value);
    } else if (p > 0 && query[p - 1] == '#') {
      if (IsPlainDate(value))
        answer.query += Trim(value);
      else
        refused[i] = true;
    } else if (IsPlainNumber(value)) {
      answer.query += Trim(value);
    } else {
      refused[i] = true;
    }
  }
  answer.query.append(query.substr(at));
  for (size_t i = 0; i < names.size(); ++i) {
    if (refused[i]) answer.refused.push_back(names[i]);
  }
  return answer;
}

}  // namespace quenmark::reports
