#pragma once
/// `Variant`: the value type that crosses between page scripts, objects and the database layer.
///
/// It holds one of: empty, null, boolean, integer, real, text (UTF-8), date, bytes, list, or an
/// object reference. The `To...` conversions follow the loose coercions page scripts expect;
/// they throw `quenmark::Error` with `ErrorNumber::kTypeMismatch` when a value does not convert and
/// `ErrorNumber::kOverflow` when it does not fit. Integer conversions round halves to even.

#include <compare>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace quenmark {

class Dispatchable;

/// A calendar date and time of day (no time zone), as databases and page scripts use them.
struct DateTime {
  int year = 1899;
  int month = 12;
  int day = 30;
  int hour = 0;
  int minute = 0;
  int second = 0;

  /// Days since 1899-12-30 with the time as the fraction (the automation date serial).
  double ToSerial() const;
  static DateTime FromSerial(double serial);
  /// 1 = Sunday ... 7 = Saturday.
  int Weekday() const;
  /// 1 ... 366.
  int DayOfYear() const;
  bool HasTime() const { return hour != 0 || minute != 0 || second != 0; }
  /// "2004-03-01" or "2004-03-01 15:05:09" when there is a time of day.
  std::string ToIso() const;

  auto operator<=>(const DateTime&) const = default;
};

/// Raw bytes (binary database values, `Response.BinaryWrite`).
struct Bytes {
  std::string data;
  bool operator==(const Bytes&) const = default;
};

class Variant {
 public:
  enum class Kind { kEmpty, kNull, kBoolean, kInteger, kReal, kText, kDate, kBytes, kList, kObject };

  Variant() = default;
  Variant(bool value) : value_(value) {}                       // NOLINT
  Variant(int value) : value_(static_cast<int64_t>(value)) {}  // NOLINT
  Variant(int64_t value) : value_(value) {}                    // NOLINT
  Variant(double value) : value_(value) {}                     // NOLINT
  Variant(std::string value) : value_(std::move(value)) {}     // NOLINT
  Variant(std::string_view value) : value_(std::string(value)) {}  // NOLINT
  Variant(const char* value) : value_(std::string(value)) {}   // NOLINT
  Variant(DateTime value) : value_(value) {}                   // NOLINT
  Variant(Bytes value) : value_(std::move(value)) {}           // NOLINT
  Variant(std::vector<Variant> value) : value_(std::move(value)) {}  // NOLINT
  Variant(std::shared_ptr<Dispatchable> value) : value_(std::move(value)) {}  // NOLINT
  static Variant Null() {
    Variant v;
    v.value_ = NullTag{};
    return v;
  }

  Kind kind() const { return static_cast<Kind>(value_.index()); }
  bool IsEmpty() const { return kind() == Kind::kEmpty; }
  bool IsNull() const { return kind() == Kind::kNull; }
  /// Empty or null: the values that read as "nothing" in a page.
  bool IsMissing() const { return IsEmpty() || IsNull(); }
  bool IsNumeric() const { return kind() == Kind::kInteger || kind() == Kind::kReal; }

  /// Text form: empty and null give "", booleans "True"/"False", reals the shortest form that
  /// reads back (at most 15 significant digits, no exponent for ordinary magnitudes), dates the
  /// general date form, bytes as they are, objects their class name.
  std::string ToText() const;
  /// Number; text must be numeric (see conversions.h), booleans give -1 / 0, dates their serial.
  double ToReal() const;
  int16_t ToInt16() const;
  int32_t ToInt32() const;
  int64_t ToInt64() const;
  /// Booleans as they are; numbers non-zero is true; text "True"/"False" in any case or a number.
  bool ToBoolean() const;
  DateTime ToDate() const;

  /// Direct access; calling the wrong one is a programming error (std::bad_variant_access).
  bool AsBoolean() const { return std::get<bool>(value_); }
  int64_t AsInteger() const { return std::get<int64_t>(value_); }
  double AsReal() const { return std::get<double>(value_); }
  const std::string& AsText() const { return std::get<std::string>(value_); }
  const DateTime& AsDate() const { return std::get<DateTime>(value_); }
  const Bytes& AsBytes() const { return std::get<Bytes>(value_); }
  const std::vector<Variant>& AsList() const { return std::get<std::vector<Variant>>(value_); }
  std::vector<Variant>& AsList() { return std::get<std::vector<Variant>>(value_); }
  /// The object reference; throws Error(kObjectRequired) when the value is not an object.
  std::shared_ptr<Dispatchable> ToObject() const;

  bool operator==(const Variant& other) const = default;

 private:
  struct NullTag {
    bool operator==(const NullTag&) const = default;
  };
  std::variant<std::monostate, NullTag, bool, int64_t, double, std::string, DateTime, Bytes,
               std::vector<Variant>, std::shared_ptr<Dispatchable>>
      value_;
};

}  // namespace quenmark
