#include "quenmark/variant.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "frame/text_util.h"
#include "quenmark/conversions.h"
#include "quenmark/dispatch.h"
#include "quenmark/error.h"

namespace quenmark {
namespace {

constexpr int64_t kSecondsPerDay = 86400;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's days_from_civil).
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

const int64_t kEpochDays = DaysFromCivil(1899, 12, 30);

[[noreturn]] void TypeMismatch() { throw Error(ErrorNumber::kTypeMismatch, "Type mismatch"); }

int64_t DayNumber(const DateTime& d) { return DaysFromCivil(d.year, d.month, d.day) - kEpochDays; }

// An integer value as the narrower type T; outside T's range it is an overflow.
template <class T>
T Narrowed(int64_t v) {
  if (v < std::numeric_limits<T>::min() || v > std::numeric_limits<T>::max()) {
    throw Error(ErrorNumber::kOverflow, "Overflow");
  }
  return static_cast<T>(v);
}

}  // namespace

double DateTime::ToSerial() const {
  const int64_t days = DayNumber(*this);
  const double time = static_cast<double>(hour * 3600 + minute * 60 + second) / kSecondsPerDay;
  // Before day 0 the fraction still counts forward from midnight: -1.25 is 12/29/1899 6:00.
  return days >= 0 ? static_cast<double>(days) + time : static_cast<double>(days) - time;
}

DateTime DateTime::FromSerial(double serial) {
  if (!std::isfinite(serial) || std::fabs(serial) > 3.0e6) {
    throw Error(ErrorNumber::kOverflow, "Overflow");
  }
  double whole = std::trunc(serial);
  int64_t days = static_cast<int64_t>(whole);
  int64_t seconds = std::llround(std::fabs(serial - whole) * kSecondsPerDay);
  if (seconds >= kSecondsPerDay) {
    seconds -= kSecondsPerDay;
    days += serial >= 0 ? 1 : -1;
  }
  DateTime result;
  CivilFromDays(days + kEpochDays, result.year, result.month, result.day);
  result.hour = static_cast<int>(seconds / 3600);
  result.minute = static_cast<int>(seconds / 60 % 60);
  result.second = static_cast<int>(seconds % 60);
  return result;
}

int DateTime::Weekday() const {
  // 1899-12-30 was a Saturday (7).
  int64_t offset = (DayNumber(*this) + 6) % 7;
  if (offset < 0) offset += 7;
  return static_cast<int>(offset) + 1;
}

int DateTime::DayOfYear() const {
  return static_cast<int>(DaysFromCivil(year, month, day) - DaysFromCivil(year, 1, 1) + 1);
}

std::string DateTime::ToIso() const {
  char buffer[48];
  if (HasTime()) {
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour,
                  minute, second);
  } else {
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", year, month, day);
  }
  return buffer;
}

std::string Variant::ToText() const {
  switch (kind()) {
    case Kind::kEmpty:
    case Kind::kNull:
      return std::string();
    case Kind::kBoolean:
      return AsBoolean() ? "True" : "False";
    case Kind::kInteger:
      return std::to_string(AsInteger());
    case Kind::kReal:
      return FormatReal(AsReal());
    case Kind::kText:
      return AsText();
    case Kind::kDate:
      return FormatGeneralDate(AsDate());
    case Kind::kBytes:
      return AsBytes().data;
    case Kind::kList:
      TypeMismatch();
    case Kind::kObject: {
      const auto& object = std::get<std::shared_ptr<Dispatchable>>(value_);
      return object ? std::string(object->ClassName()) : std::string();
    }
  }
  TypeMismatch();
}

double Variant::ToReal() const {
  switch (kind()) {
    case Kind::kEmpty:
      return 0;
    case Kind::kBoolean:
      return AsBoolean() ? -1 : 0;
    case Kind::kInteger:
      return static_cast<double>(AsInteger());
    case Kind::kReal:
      return AsReal();
    case Kind::kText:
      if (auto number = ParseNumber(AsText())) return *number;
      TypeMismatch();
    case Kind::kDate:
      return AsDate().ToSerial();
    default:
      TypeMismatch();
  }
}

int16_t Variant::ToInt16() const {
  if (kind() == Kind::kInteger) return Narrowed<int16_t>(AsInteger());
  return quenmark::ToInt16(ToReal());
}

int32_t Variant::ToInt32() const {
  if (kind() == Kind::kInteger) return Narrowed<int32_t>(AsInteger());
  return quenmark::ToInt32(ToReal());
}

int64_t Variant::ToInt64() const {
  if (kind() == Kind::kInteger) return AsInteger();
  if (kind() == Kind::kText) {
    // Large integers written as text keep every digit (a double holds only 53 bits).
    std::string_view digits = Trim(AsText(), " \t");
    int64_t value = 0;
    if (!digits.empty()) {
      const char* end = digits.data() + digits.size();
      auto [ptr, ec] = std::from_chars(digits.data(), end, value);
      if (ec == std::errc() && ptr == end) return value;
    }
  }
  return quenmark::ToInt64(ToReal());
}

bool Variant::ToBoolean() const {
  switch (kind()) {
    case Kind::kEmpty:
      return false;
    case Kind::kBoolean:
      return AsBoolean();
    case Kind::kInteger:
      return AsInteger() != 0;
    case Kind::kReal:
      return AsReal() != 0;
    case Kind::kText:
      if (auto value = ParseBoolean(AsText())) return *value;
      TypeMismatch();
    case Kind::kDate:
      return AsDate().ToSerial() != 0;
    default:
      TypeMismatch();
  }
}

DateTime Variant::ToDate() const {
  switch (kind()) {
    case Kind::kEmpty:
      return DateTime{};
    case Kind::kDate:
      return AsDate();
    case Kind::kText:
      if (auto date = ParseDate(AsText())) return *date;
      if (auto number = ParseNumber(AsText())) return DateTime::FromSerial(*number);
      TypeMismatch();
    case Kind::kInteger:
    case Kind::kReal:
    case Kind::kBoolean:
      return DateTime::FromSerial(ToReal());
    default:
      TypeMismatch();
  }
}

std::shared_ptr<Dispatchable> Variant::ToObject() const {
  if (kind() == Kind::kObject) {
    if (auto object = std::get<std::shared_ptr<Dispatchable>>(value_)) return object;
  }
  throw Error(ErrorNumber::kObjectRequired, "Object required");
}

}  // namespace quenmark
