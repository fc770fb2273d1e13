#include "reports/report_columns.h"

#include "frame/text_util.h"
#include "quenmark/data_grid.h"
#include "quenmark/page_context.h"
#include "quenmark/shared_procedures.h"
#include "reports/report_definition.h"

namespace quenmark::reports {
namespace {

std::pair<std::string_view, std::string_view> SplitAt(std::string_view text,
                                                      std::string_view separator) {
  const size_t at = text.find(separator);
  if (at == std::string_view::npos) return {text, {}};
  return {text.substr(0, at), text.substr(at + separator.size())};
}

}  // namespace

void ApplyColumnFormat(DataGrid& grid, std::string_view column, std::string_view code,
                       const ColumnFormatContext& context) {
  if (code.size() < 2) return;
  const std::string kind = ToUpperAscii(code.substr(0, 2));
  const std::string_view argument = code.substr(2);
  if (kind == "D1") return grid.DateColumn(column, "%A, %B %d%O %Y");
  if (kind == "D2") return grid.DateColumn(column, "%D-%b-%y");
  if (kind == "D3") return grid.DateColumn(column, "2");
  if (kind == "D4") return grid.DateColumn(column, "%d/%m/%y");
  if (kind == "T1") return grid.DateColumn(column, "3");
  if (kind == "T2") return grid.DateColumn(column, "4");
  if (kind == "N1") return grid.NumberColumn(column, 2);
  if (kind == "N2") return grid.CurrencyColumn(column, 2);
  if (kind == "N3") return grid.PercentColumn(column, 0);
  if (kind == "N4") return grid.NumberColumn(column, 0);
  if (kind == "B1") return grid.BoolColumn(column, "Yes", "No");
  if (kind == "B2") return grid.BoolColumn(column, "True", "False");
  if (kind == "B3") return grid.BoolColumn(column, "On", "Off");
  if (kind == "S1") return grid.RegExColumn(column, "~d(\\d{3})(\\d{3})(\\d{4})", "($1) $2-$3");
  if (kind == "S2") return grid.RegExColumn(column, "~d(\\d{3})(\\d{3})(\\d{4})", "$1-$2-$3");
  if (kind == "S3") return grid.RegExColumn(column, "~d(\\d{3})(\\d{2})(\\d{4})", "$1-$2-$3");
  if (kind == "S4") return grid.ReplaceColumn(column, "<a href=\"#TEMP#\">#TEMP#</a>");
  if (kind == "S5") return grid.ReplaceColumn(column, "<a href=\"mailto:#TEMP#\">#TEMP#</a>");
  if (kind == "S6") return grid.ReplaceColumn(column, "<img src=\"#TEMP#\">");
  if (kind == "C1") {
    // The cell value goes into the link's query string percent-encoded.
    const auto [report, parameter] = SplitAt(argument, "?");
    return grid.LinkColumn(column,
                           std::string(context.page_url) + "?rid=" + std::string(report) +
                               "&rurl1=" + Server::URLEncode(context.report_id) + "&" +
                               std::string(parameter) + "=#URLTEMP#",
                           "#TEMP#", "");
  }
  if (kind == "C2") {
    const auto [true_text, false_text] = SplitAt(argument, "?");
    return grid.BoolColumn(column, true_text, false_text);
  }
  if (kind == "C3") {
    const auto [url, text] = SplitAt(argument, "-?");
    return grid.ReplaceColumn(
        column, "<a href=\"" + std::string(url) + "\" target=tabwin>" + std::string(text) + "</a>");
  }
  if (kind == "C4") {
    // A qualified field id (books.pages) hides the result column it names (pages).
    const size_t dot = column.rfind('.');
    return grid.HiddenColumn(dot == std::string_view::npos ? column : column.substr(dot + 1));
  }
  if (kind == "C5") return grid.ReplaceColumn(column, argument);
  if (kind == "C6") {
    const std::string images(context.images_url);
    return grid.BoolColumn(column, "<img src=\"" + images + "true.gif\" border=0 align=absmiddle>",
                           "<img src=\"" + images + "false.gif\" border=0 align=absmiddle>");
  }
}

void AddAggregateCaptions(DataGrid& grid, std::string_view function, std::string_view list,
                          std::string_view label, std::string_view schema,
                          const ColumnFormatContext& context) {
  int i = 0;
  for (size_t at = 0; at <= list.size();) {
    size_t end = list.find(',', at);
    if (end == std::string_view::npos) end = list.size();
    const std::string_view item = Trim(list.substr(at, end - at));
    at = end + 1;
    const std::string column = std::string(function) + "_" + std::to_string(++i);
    std::string caption = SchemaAttribute(schema, item, 'c');
    if (caption.empty()) caption = item;
    grid.ColumnCaption(
        column, caption + " <i style='font-weight:normal;'>(" + std::string(label) + ")</i>");
    const std::string format = SchemaAttribute(schema, item, 'f');
    if (!format.empty()) ApplyColumnFormat(grid, column, format, context);
  }
}

}  // namespace quenmark::reports
