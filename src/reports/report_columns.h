#pragma once
// The column format codes of a report definition (D1 dates ... C6 check images) as grid column
// formats, and the captions and formats of a summary report's aggregate columns.

#include <string>
#include <string_view>

namespace quenmark {
class DataGrid;
}

namespace quenmark::reports {

struct ColumnFormatContext {
  std::string_view page_url;    // drill-down links lead here
  std::string_view images_url;  // ends in "/"; holds true.gif and false.gif
  std::string_view report_id;   // the report the drill-down returns to
};

/// Applies one format code to a column; unknown codes leave the column unchanged.
void ApplyColumnFormat(DataGrid& grid, std::string_view column, std::string_view code,
                       const ColumnFormatContext& context);

/// Captions (and formats) of the columns FUNC_1, FUNC_2 ... that aggregate the fields of `list`
/// in order: the field's caption from `schema` (or its id) followed by the label in italics.
void AddAggregateCaptions(DataGrid& grid, std::string_view function, std::string_view list,
                          std::string_view label, std::string_view schema,
                          const ColumnFormatContext& context);

}  // namespace quenmark::reports
