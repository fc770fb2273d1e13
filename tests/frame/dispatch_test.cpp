#include "quenmark/dispatch.h"

#include <gtest/gtest.h>

namespace quenmark {
namespace {

class Counter : public Dispatchable {
 public:
  int value = 0;
  std::string label;

  const DispatchTable& Members() const override {
    static const DispatchTable kTable = [] {
      DispatchTable table;
      DispatchBuilder<Counter>(table)
          .Method("Add",
                  [](Counter& self, Arguments& args) {
                    self.value += args.Int32(0);
                    return Variant(self.value);
                  })
          .Method("Swap",
                  [](Counter&, Arguments& args) {
                    args.Ref(0) = Variant("swapped");
                    return Variant();
                  })
          .Property(
              "Value", [](Counter& self) { return Variant(self.value); },
              [](Counter& self, const Variant& v) { self.value = v.ToInt32(); })
          .ReadOnly("Doubled", [](Counter& self) { return Variant(self.value * 2); })
          .WriteOnly("Label", [](Counter& self, const Variant& v) { self.label = v.ToText(); });
      return table;
    }();
    return kTable;
  }
  std::string_view ClassName() const override { return "Counter"; }
};

int ErrorOf(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const Error& error) {
    return error.Number();
  }
  return 0;
}

TEST(DispatchTest, MembersMatchIgnoringCase) {
  Counter counter;
  EXPECT_EQ(CallMember(counter, "ADD", {Variant("2.5")}).ToInt32(), 2);
  SetProperty(counter, "value", Variant(10));
  EXPECT_EQ(GetProperty(counter, "VALUE").ToInt32(), 10);
  EXPECT_EQ(GetProperty(counter, "doubled").ToInt32(), 20);
  SetProperty(counter, "LaBeL", Variant("x"));
  EXPECT_EQ(counter.label, "x");
  // By-reference arguments write back into the caller's values.
  std::vector<Variant> values = {Variant("a"), Variant()};
  Arguments args{std::span<Variant>(values)};
  EXPECT_FALSE(args.Has(1));
  EXPECT_EQ(args.Text(1, "fallback"), "fallback");
  counter.Members().Find("swap")->method(counter, args);
  EXPECT_EQ(values[0].ToText(), "swapped");
}

TEST(DispatchTest, WrongUseRaisesErrors) {
  Counter counter;
  constexpr int kUnknown = static_cast<int>(ErrorNumber::kUnknownMember);
  struct Case {
    const char* what;
    std::function<void()> call;
    int expected;
  };
  const Case cases[] = {
      {"unknown method", [&] { CallMember(counter, "Nope"); }, kUnknown},
      {"unknown property", [&] { GetProperty(counter, "Nope"); }, kUnknown},
      {"calling a property", [&] { CallMember(counter, "Value"); }, kUnknown},
      {"reading write-only", [&] { GetProperty(counter, "Label"); }, kUnknown},
      {"writing read-only", [&] { SetProperty(counter, "Doubled", Variant(1)); }, kUnknown},
      {"reading a method", [&] { GetProperty(counter, "Add"); }, kUnknown},
      {"missing argument", [&] { CallMember(counter, "Add"); },
       static_cast<int>(ErrorNumber::kArgumentNotOptional)},
      {"bad argument", [&] { CallMember(counter, "Add", {Variant("x")}); },
       static_cast<int>(ErrorNumber::kTypeMismatch)}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ErrorOf(c.call), c.expected);
  }
}

TEST(DispatchTest, RegistryCreatesByNameIgnoringCase) {
  ObjectRegistry registry;
  registry.Register("Test.Counter", [] { return std::make_shared<Counter>(); });
  registry.Register("test.COUNTER", [] {
    auto counter = std::make_shared<Counter>();
    counter->value = 7;
    return counter;
  });
  ASSERT_EQ(registry.Names().size(), 1u);
  auto object = registry.Create("TEST.counter");
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(GetProperty(*object, "Value").ToInt32(), 7);
  EXPECT_EQ(registry.Create("Test.Missing"), nullptr);
  EXPECT_EQ(Variant(object).ToText(), "Counter");
}

}  // namespace
}  // namespace quenmark
