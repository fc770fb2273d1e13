#include "quenmark/variant.h"

#include <gtest/gtest.h>

#include "quenmark/error.h"

namespace quenmark {
namespace {

int ErrorOf(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const Error& error) {
    return error.Number();
  }
  return 0;
}

constexpr int kMismatch = static_cast<int>(ErrorNumber::kTypeMismatch);
constexpr int kOverflow = static_cast<int>(ErrorNumber::kOverflow);

TEST(VariantTest, TextForms) {
  struct Case {
    Variant value;
    const char* expected;
  };
  const Case cases[] = {{Variant(), ""},
                        {Variant::Null(), ""},
                        {Variant(true), "True"},
                        {Variant(false), "False"},
                        {Variant(int64_t{-12}), "-12"},
                        {Variant(0.1), "0.1"},
                        {Variant(1e20), "1E+20"},
                        {Variant("abc"), "abc"},
                        {Variant(Bytes{"raw"}), "raw"},
                        {Variant(DateTime{2004, 3, 1, 15, 5, 9}), "3/1/2004 3:05:09 PM"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(c.value.ToText(), c.expected);
  }
}

TEST(VariantTest, NumericConversions) {
  EXPECT_EQ(Variant(true).ToReal(), -1);
  EXPECT_EQ(Variant().ToInt32(), 0);
  EXPECT_EQ(Variant(" 2.5 ").ToInt16(), 2);
  EXPECT_EQ(Variant("3.5").ToInt32(), 4);
  EXPECT_EQ(Variant(DateTime{2004, 3, 1}).ToReal(), 38047);
  EXPECT_EQ(Variant("9007199254740993").ToInt64(), 9007199254740993);
  EXPECT_EQ(Variant(int64_t{40000}).ToInt32(), 40000);

  EXPECT_EQ(ErrorOf([] { Variant("abc").ToReal(); }), kMismatch);
  EXPECT_EQ(ErrorOf([] { Variant::Null().ToInt32(); }), kMismatch);
  EXPECT_EQ(ErrorOf([] { Variant(Bytes{"x"}).ToReal(); }), kMismatch);
  EXPECT_EQ(ErrorOf([] { Variant(int64_t{40000}).ToInt16(); }), kOverflow);
  EXPECT_EQ(ErrorOf([] { Variant(5e9).ToInt32(); }), kOverflow);
  EXPECT_EQ(ErrorOf([] { Variant("1e10").ToInt32(); }), kOverflow);
}

TEST(VariantTest, BooleanAndDateConversions) {
  EXPECT_TRUE(Variant("TRUE").ToBoolean());
  EXPECT_TRUE(Variant("-1").ToBoolean());
  EXPECT_FALSE(Variant("0").ToBoolean());
  EXPECT_FALSE(Variant().ToBoolean());
  EXPECT_TRUE(Variant(0.5).ToBoolean());
  EXPECT_EQ(ErrorOf([] { Variant("maybe").ToBoolean(); }), kMismatch);

  EXPECT_EQ(Variant("March 1, 2004").ToDate(), (DateTime{2004, 3, 1}));
  EXPECT_EQ(Variant(38047.5).ToDate(), (DateTime{2004, 3, 1, 12, 0, 0}));
  EXPECT_EQ(Variant("38047").ToDate(), (DateTime{2004, 3, 1}));
  EXPECT_EQ(ErrorOf([] { Variant("not a date").ToDate(); }), kMismatch);
  EXPECT_EQ(ErrorOf([] { Variant(1e300).ToDate(); }), kOverflow);
  EXPECT_EQ(ErrorOf([] { Variant("x").ToObject(); }),
            static_cast<int>(ErrorNumber::kObjectRequired));
}

}  // namespace
}  // namespace quenmark
