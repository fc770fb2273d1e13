// The parts of cell formatting that pages cannot reach yet (the report manager's default date
// format) and character counting of the long-value break.

#include "grid/cell_formatter.h"

#include <gtest/gtest.h>

#include "grid/column_formats.h"
#include "quenmark/shared_procedures.h"

namespace {

using namespace quenmark;

std::string Format(const std::vector<Variant>& values, CellFormatterOptions options,
                   const ColumnFormats& formats = {}) {
  std::vector<ColumnDescriptor> columns;
  std::vector<std::vector<Variant>> data;
  for (size_t i = 0; i < values.size(); ++i) {
    columns.push_back({"C" + std::to_string(i), "T", "", FieldText});
    data.push_back({values[i]});
  }
  const CellFormatter formatter(formats, columns, std::move(options));
  std::string out;
  for (size_t i = 0; i < values.size(); ++i) {
    formatter.AppendCell(out, RowView(data, 0), i);
    out += '|';
  }
  return out;
}

TEST(CellFormatterTest, DefaultDateFormatAppliesToDatesWithoutFormat) {
  ColumnFormats formats;
  formats.Date("T.C2", "%Y");
  EXPECT_EQ(Format({Variant(DateTime{2004, 3, 1}), Variant("3/1/2004 3:05 PM"),
                    Variant(DateTime{2004, 3, 1}), Variant("12"), Variant("not <a> date")},
                   {true, false, "dd mmm yyyy hh:nn"}, formats),
            "01 Mar 2004 00:00|01 Mar 2004 15:05|2004|12|not &lt;a&gt; date|");
  EXPECT_EQ(Format({Variant(DateTime{2004, 3, 1})}, {}), "3/1/2004|");
}

TEST(CellFormatterTest, LongValuesCountCharacters) {
  // 99 two-byte characters, then a blank: the blank is the 100th character, not the 199th byte.
  std::string value;
  for (int i = 0; i < 99; ++i) value += "\xC3\xA9";
  value += " tail of the value";
  EXPECT_EQ(Format({Variant(value)}, {}), value.substr(0, 199) + "<br>tail of the value|");
  // Exactly 100 characters stay whole.
  const std::string hundred = std::string(99, 'a') + " ";
  EXPECT_EQ(Format({Variant(hundred)}, {}), hundred + "|");
}

TEST(CellFormatterTest, NumbersOfEveryKindAndNonNumbers) {
  ColumnFormats formats;
  for (int i = 0; i < 5; ++i) formats.Number("T.C" + std::to_string(i), NumberStyle::kCurrency, 1);
  EXPECT_EQ(Format({Variant(int64_t{-3}), Variant(2.25), Variant("1,234.5"), Variant(true),
                    Variant("n/a")},
                   {}, formats),
            "($3.0)|$2.3|$1,234.5|($1.0)|n/a|");
}

}  // namespace
