// Exact decimal sums: the totals and averages of the grid never drift like float sums do.

#include "grid/decimal_sum.h"

#include <gtest/gtest.h>

#include <vector>

#include "quenmark/variant.h"

namespace quenmark {
namespace {

struct SumCase {
  std::vector<Variant> values;
  uint32_t divisor;  // 1: the sum itself
  int decimals;
  std::string expected;
};

class DecimalSumTest : public ::testing::TestWithParam<SumCase> {};

TEST_P(DecimalSumTest, RoundsTheExactResultOnce) {
  const SumCase& c = GetParam();
  DecimalSum sum;
  for (const Variant& value : c.values) sum.Add(value);
  EXPECT_EQ(sum.RoundedQuotient(c.divisor, c.decimals), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DecimalSumTest,
    ::testing::Values(
        // Ten times 0.1 is exactly 1; a float sum gives 0.9999999999999999.
        SumCase{std::vector<Variant>(10, Variant(0.1)), 1, 15, "1"},
        SumCase{{Variant(0.1), Variant(0.2)}, 1, 17, "0.3"},
        SumCase{{Variant(int64_t{5}), Variant("2.25"), Variant(-1.5)}, 1, 2, "5.75"},
        // Halves go to the even neighbour, also after a division.
        SumCase{{Variant("2.345")}, 1, 2, "2.34"}, SumCase{{Variant("2.355")}, 1, 2, "2.36"},
        SumCase{{Variant("2.3450001")}, 1, 2, "2.35"},
        SumCase{{Variant(int64_t{1})}, 8, 2, "0.12"},  // 0.125
        SumCase{{Variant(int64_t{3})}, 8, 2, "0.38"},  // 0.375
        SumCase{{Variant(int64_t{1})}, 3, 2, "0.33"}, SumCase{{Variant(int64_t{10})}, 4, 2, "2.5"},
        SumCase{{Variant(int64_t{-7})}, 2, 0, "-4"},
        // Leading numbers of texts; a text without one, empty and null add nothing.
        SumCase{{Variant("12abc"), Variant(" -3.5 kg"), Variant("abc"), Variant(), Variant::Null()},
                1,
                2,
                "8.5"},
        SumCase{{Variant("1e3"), Variant("2.5E-1")}, 1, 2, "1000.25"},
        SumCase{{Variant("0.004"), Variant("-0.004")}, 1, 2, "0"},
        SumCase{{Variant("-0.001")}, 1, 2, "0"},
        SumCase{{Variant(INT64_MIN), Variant(INT64_MAX)}, 1, 0, "-1"},
        SumCase{{Variant("99999999999999999999999999.995")}, 1, 2, "100000000000000000000000000"},
        // Beyond 10^400 a value adds nothing instead of growing the sum without bound.
        SumCase{{Variant("1e999999999"), Variant(int64_t{2})}, 1, 2, "2"},
        SumCase{{Variant(1e300), Variant(-1e300), Variant(1.25)}, 1, 2, "1.25"}));

TEST(DecimalSumTest, AddsOtherSumsAtAnyScale) {
  DecimalSum a, b;
  a.Add(Variant("1.5"));
  b.Add(Variant("0.0025"));
  b.Add(Variant(int64_t{-3}));
  a.Add(b);
  EXPECT_EQ(a.Rounded(4), "-1.4975");
  a.Clear();
  EXPECT_EQ(a.Rounded(), "0");
}

}  // namespace
}  // namespace quenmark
