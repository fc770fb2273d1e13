// Client-side filter expressions as a posted "rsfilter" carries them: parsed against a fixed set
// of typed fields and, when valid, evaluated on rows with every kind of value, including nulls.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "frame/database/filter_expression.h"

namespace {

using quenmark::FieldInfo;
using quenmark::Variant;

std::vector<FieldInfo> Fields() {
  std::vector<FieldInfo> fields(5);
  fields[0].name = "Name";
  fields[0].type = 202;
  fields[1].name = "Qty";
  fields[1].type = 3;
  fields[2].name = "Price";
  fields[2].type = 6;
  fields[3].name = "Born";
  fields[3].type = 7;
  fields[4].name = "Active";
  fields[4].type = 11;
  return fields;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::vector<FieldInfo> fields = Fields();
  static const std::vector<std::vector<Variant>> rows = {
      {Variant("Smith"), Variant(5), Variant(10.5), Variant("2004-01-02"), Variant(true)},
      {Variant("Ødegård"), Variant::Null(), Variant(-7.25), Variant::Null(), Variant(false)},
      {Variant(""), Variant(2147483647), Variant(0.0), Variant("not a date"), Variant("x")},
  };
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  auto parsed = quenmark::db::FilterExpression::Parse(text, fields);
  if (!parsed.ok()) return 0;
  for (const auto& row : rows) parsed.value().Matches(row.data());
  return 0;
}
