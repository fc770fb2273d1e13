#pragma once
// Exact sums of decimal values for the grid's totals and averages. Adding binary floating-point
// values drifts (0.1 + 0.2 is not 0.3), so every value is taken as the decimal text the grid
// shows for it and added exactly; rounding happens once, on the finished sum or quotient.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quenmark {

class Variant;

class DecimalSum {
 public:
  /// Adds the number at the start of `text` (blanks, sign, digits, ".", digits, exponent); a
  /// text without a number adds 0. Values beyond 10^+-400 add 0: no database number gets there
  /// and they would only make the sum huge.
  void AddText(std::string_view text);
  /// Adds a cell value: integers exactly, reals as the text the grid shows for them (at most
  /// 15 significant digits), texts by their leading number; empty and null add 0.
  void Add(const Variant& value);
  void Add(const DecimalSum& other);
  /// Back to 0, keeping the memory for the next sum.
  void Clear();

  /// The sum rounded to `decimals` places, halves to the even neighbour, as plain decimal text
  /// without trailing zeros: "1234.5", "-0.01", "0".
  std::string Rounded(int decimals = 2) const;
  /// The sum divided by `divisor` (above 0), rounded the same way.
  std::string RoundedQuotient(uint32_t divisor, int decimals = 2) const;

 private:
  // Unsigned integer in base 10^9 limbs, least significant first.
  using Magnitude = std::vector<uint32_t>;

  void Rescale(int scale);
  void AddScaled(bool negative, uint64_t digits, int shift);

  Magnitude positive_;  // sum of the positive values, times 10^scale_
  Magnitude negative_;  // sum of the magnitudes of the negative values, times 10^scale_
  int scale_ = 0;       // fractional decimal digits held
};

}  // namespace quenmark
