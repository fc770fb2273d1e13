#pragma once
/// `SimpleGraph`: bar graphs (plain, stacked, relative) drawn in pure HTML tables, so they show in
/// any browser without images or scripts.
///
/// A row is one data series (one colour, one legend entry); a column is one position on the x
/// axis. Configure with the property setters, add rows with `AddRow`/`AddRowData`, then take the
/// HTML with `GetGraph` or write it into the current page with `Draw`.
///
/// Every rendering appends to the object's output buffer, which is never emptied: a second
/// `GetGraph` returns the graph twice. Rendering also stores computed values (bar width, scale
/// size, legend from row names, stacked when relative) so the next rendering starts from them.
///
/// Errors: rendering without rows raises Error(kInvalidArgument) and appends nothing; arithmetic
/// overflow raises Error(kOverflow). `Draw` outside a page raises error 2 (source "Draw Graph").
/// Threading: one object belongs to one request at a time.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "quenmark/dispatch.h"
#include "quenmark/variant.h"

namespace quenmark {

namespace graph {
struct GraphState;
}

class SimpleGraph : public Dispatchable {
 public:
  SimpleGraph();
  ~SimpleGraph() override;
  SimpleGraph(const SimpleGraph&) = delete;
  SimpleGraph& operator=(const SimpleGraph&) = delete;
  SimpleGraph(SimpleGraph&&) noexcept;
  SimpleGraph& operator=(SimpleGraph&&) noexcept;

  /// Value units between two scale lines; a value above 0 fixes it (a later 0 does not undo
  /// that, but a size that does not fit the data is replaced by an automatic one).
  void ScaleSize(int32_t value);
  /// Pixel width of the spacer after each column; 0 for none; negative values are stored as 1.
  void Spacing(int32_t value);
  /// Pixel width of one bar; a value of 2 or more fixes it, otherwise it is computed.
  void BarWidth(int32_t value);
  /// Pixel height of the plot above the zero line (default 200); negative values give 200.
  void MaxBarHeight(int32_t value);
  /// Column labels: a list is taken item by item; any other value as text split at "," (an
  /// empty text is an empty list).
  void XScaleValues(const Variant& values);
  /// Value of the align attribute of the column labels.
  void xALign(std::string_view value);
  /// CSS class names of the title, the x caption and the y caption.
  void TitleClassName(std::string_view value);
  void xLabelClassName(std::string_view value);
  void yLabelClassName(std::string_view value);
  void Title(std::string_view value);
  /// Caption under the graph.
  void xLabel(std::string_view value);
  /// Caption left of the graph, drawn vertically one character per line.
  void yLabel(std::string_view value);
  void BgColor(std::string_view value);
  /// Colour of the lines between columns and of the legend frame (default "gray").
  void vLineColor(std::string_view value);
  /// Colour of the horizontal grid lines (default "gray").
  void hLineColor(std::string_view value);
  /// Colour of the axes, tick marks and label texts (default "black").
  void ScaleColor(std::string_view value);
  /// Bar colours, as `XScaleValues`; row i is drawn in entry i modulo the count. An empty list
  /// keeps the default colours.
  void Colors(const Variant& values);
  /// Legend entries, one per row, as `XScaleValues`.
  void Legend(const Variant& values);
  void ShowVLines(bool value);
  void ShowHLines(bool value);
  /// Draw the axes, scale labels, tick marks and x labels (default true).
  void AddScale(bool value);
  void Stacked(bool value);
  /// Each column as integer percentages of its total (implies stacked); the last row takes up
  /// the rounding so every column shows exactly 100.
  void Relative(bool value);

  /// Appends one row: a list of values, or a text of values joined by ",". Values must contain
  /// neither "," nor "|||"; values that are not numbers are drawn as 0.
  void AddRow(const Variant& values);
  /// Appends one row and its name; the names become the legend when no legend is set. Rows
  /// added earlier without a name get empty legend entries, so each name stays with its row.
  void AddRowData(std::string_view name, const Variant& values);
  /// Renders the graph into the output buffer and returns the whole buffer.
  std::string GetGraph();
  /// Renders and writes the graph into the current page's response.
  void Draw();

  const DispatchTable& Members() const override;
  std::string_view ClassName() const override { return "SimpleGraph"; }

 private:
  std::unique_ptr<graph::GraphState> state_;
};

}  // namespace quenmark
