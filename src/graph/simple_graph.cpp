#include "quenmark/simple_graph.h"

#include "graph/graph_renderer.h"
#include "graph/graph_state.h"
#include "quenmark/error.h"
#include "quenmark/page_context.h"

namespace quenmark {

namespace graph {

const std::vector<std::string>& DefaultColors() {
  static const std::vector<std::string> kColors = {
      "red",     "blue",    "green",   "yellow",  "orange",  "purple",  "olive",
      "navy",    "aqua",    "lime",    "maroon",  "teal",    "fuchsia", "#cd853f",
      "#ffefd5", "#deb887", "#5f9ea0", "#9370db", "#1e90ff", "gray",    "black"};
  return kColors;
}

}  // namespace graph

namespace {

constexpr std::string_view kClassPrefix = " class=\"";
constexpr std::string_view kBgColorPrefix = " bgcolor=\"";

// A list is taken item by item; any other value is read as text and split at "," (no trimming).
std::vector<std::string> TextList(const Variant& values) {
  std::vector<std::string> items;
  if (values.kind() == Variant::Kind::kList) {
    items.reserve(values.AsList().size());
    for (const Variant& item : values.AsList()) items.push_back(item.ToText());
    return items;
  }
  const std::string text = values.ToText();
  // An empty text holds no items: it is a list of none, not a list of one empty item.
  if (text.empty()) return items;
  size_t start = 0;
  while (true) {
    size_t comma = text.find(',', start);
    items.push_back(text.substr(start, comma == std::string::npos ? comma : comma - start));
    if (comma == std::string::npos) return items;
    start = comma + 1;
  }
}

std::string Attribute(std::string_view prefix, std::string_view value) {
  std::string text(prefix);
  text += value;
  text += '"';
  return text;
}

// Appends the values of one row, joined by ",", to the row data. A value that cannot be read
// as text leaves the row data as it was.
void AppendRowValues(graph::GraphState& state, const Variant& values) {
  std::string& row_data = state.row_data;
  const size_t old_size = row_data.size();
  try {
    if (values.kind() == Variant::Kind::kList) {
      bool first = true;
      for (const Variant& item : values.AsList()) {
        if (!first) row_data += ',';
        row_data += item.ToText();
        first = false;
      }
    } else {
      row_data += values.ToText();
    }
  } catch (...) {
    row_data.resize(old_size);
    throw;
  }
  row_data += "|||";
  ++state.row_count;
}

void AppendRowName(graph::GraphState& state, std::string_view name) {
  if (state.row_name_count > 0) state.row_names += "|||";
  state.row_names += name;
  ++state.row_name_count;
}

DispatchTable BuildMembers() {
  DispatchTable table;
  DispatchBuilder<SimpleGraph> b(table);
  const auto text = [](void (SimpleGraph::*setter)(std::string_view)) {
    return [setter](SimpleGraph& g, const Variant& v) { (g.*setter)(v.ToText()); };
  };
  const auto flag = [](void (SimpleGraph::*setter)(bool)) {
    return [setter](SimpleGraph& g, const Variant& v) { (g.*setter)(v.ToBoolean()); };
  };
  const auto number = [](void (SimpleGraph::*setter)(int32_t)) {
    return [setter](SimpleGraph& g, const Variant& v) { (g.*setter)(v.ToInt32()); };
  };
  const auto list = [](void (SimpleGraph::*setter)(const Variant&)) {
    return [setter](SimpleGraph& g, const Variant& v) { (g.*setter)(v); };
  };
  b.WriteOnly("ScaleSize", number(&SimpleGraph::ScaleSize))
      .Doc("number", "Value units between two scale lines; 0 chooses them from the data.")
      .WriteOnly("Spacing", number(&SimpleGraph::Spacing))
      .Doc("number", "Pixel gap after each column (0 for none).")
      .WriteOnly("BarWidth", number(&SimpleGraph::BarWidth))
      .Doc("number", "Pixel width of one bar; below 2 it is computed.")
      .WriteOnly("MaxBarHeight", number(&SimpleGraph::MaxBarHeight))
      .Doc("number", "Pixel height of the plot above the zero line (default 200).")
      .WriteOnly("XScaleValues", list(&SimpleGraph::XScaleValues))
      .Doc("list", "Labels under the columns: a list, or a text split at \",\".")
      .WriteOnly("xALign", text(&SimpleGraph::xALign))
      .Doc("text", "align attribute of the column labels.")
      .WriteOnly("TitleClassName", text(&SimpleGraph::TitleClassName))
      .Doc("text", "CSS class of the title.")
      .WriteOnly("xLabelClassName", text(&SimpleGraph::xLabelClassName))
      .Doc("text", "CSS class of the x caption.")
      .WriteOnly("yLabelClassName", text(&SimpleGraph::yLabelClassName))
      .Doc("text", "CSS class of the y caption.")
      .WriteOnly("Title", text(&SimpleGraph::Title))
      .Doc("text", "Title above the graph.")
      .WriteOnly("xLabel", text(&SimpleGraph::xLabel))
      .Doc("text", "Caption under the graph.")
      .WriteOnly("yLabel", text(&SimpleGraph::yLabel))
      .Doc("text", "Caption left of the graph, one character per line.")
      .WriteOnly("BgColor", text(&SimpleGraph::BgColor))
      .Doc("text", "Background colour of the plot.")
      .WriteOnly("vLineColor", text(&SimpleGraph::vLineColor))
      .Doc("text", "Colour of the lines between columns and of the legend frame.")
      .WriteOnly("hLineColor", text(&SimpleGraph::hLineColor))
      .Doc("text", "Colour of the horizontal grid lines.")
      .WriteOnly("ScaleColor", text(&SimpleGraph::ScaleColor))
      .Doc("text", "Colour of the axes, tick marks and labels.")
      .WriteOnly("Colors", list(&SimpleGraph::Colors))
      .Doc("list", "Bar colours, one per row (repeated when there are more rows).")
      .WriteOnly("Legend", list(&SimpleGraph::Legend))
      .Doc("list", "Legend entries, one per row.")
      .WriteOnly("ShowVLines", flag(&SimpleGraph::ShowVLines))
      .Doc("true/false", "Draws lines between the columns.")
      .WriteOnly("ShowHLines", flag(&SimpleGraph::ShowHLines))
      .Doc("true/false", "Draws horizontal grid lines at the scale steps.")
      .WriteOnly("AddScale", flag(&SimpleGraph::AddScale))
      .Doc("true/false", "Draws the axes, scale labels, tick marks and x labels (default true).")
      .WriteOnly("Stacked", flag(&SimpleGraph::Stacked))
      .Doc("true/false", "Stacks the rows of a column into one bar.")
      .WriteOnly("Relative", flag(&SimpleGraph::Relative))
      .Doc("true/false", "Stacks each column as percentages of its total (100% high).")
      .Method("AddRow",
              [](SimpleGraph& g, Arguments& args) {
                g.AddRow(args.Get(0));
                return Variant();
              })
      .Doc("values", "Adds a row (one data series): a list of numbers or a text joined by \",\".")
      .Method("AddRowData",
              [](SimpleGraph& g, Arguments& args) {
                g.AddRowData(args.Text(0), args.Get(1));
                return Variant();
              })
      .Doc("name, values", "Adds a named row; the names become the legend when none is set.")
      .Method("GetGraph", [](SimpleGraph& g, Arguments&) { return Variant(g.GetGraph()); })
      .Doc("", "Returns the graph's HTML.")
      .Method("Draw",
              [](SimpleGraph& g, Arguments&) {
                g.Draw();
                return Variant();
              })
      .Doc("", "Writes the graph into the page.");
  return table;
}

}  // namespace

SimpleGraph::SimpleGraph() : state_(std::make_unique<graph::GraphState>()) {}
SimpleGraph::~SimpleGraph() = default;
SimpleGraph::SimpleGraph(SimpleGraph&&) noexcept = default;
SimpleGraph& SimpleGraph::operator=(SimpleGraph&&) noexcept = default;

void SimpleGraph::ScaleSize(int32_t value) {
  state_->scale_size = value;
  if (value > 0) state_->scale_size_given = true;
}

void SimpleGraph::Spacing(int32_t value) { state_->spacing = value < 0 ? 1 : value; }

void SimpleGraph::BarWidth(int32_t value) {
  state_->bar_width = value;
  if (value > 0) state_->bar_width_given = true;
}

void SimpleGraph::MaxBarHeight(int32_t value) { state_->max_bar_height = value < 0 ? 200 : value; }

void SimpleGraph::XScaleValues(const Variant& values) { state_->x_scale_values = TextList(values); }
void SimpleGraph::xALign(std::string_view value) { state_->x_align = value; }
void SimpleGraph::TitleClassName(std::string_view value) {
  state_->title_class = Attribute(kClassPrefix, value);
}
void SimpleGraph::xLabelClassName(std::string_view value) {
  state_->x_label_class = Attribute(kClassPrefix, value);
}
void SimpleGraph::yLabelClassName(std::string_view value) {
  state_->y_label_class = Attribute(kClassPrefix, value);
}
void SimpleGraph::Title(std::string_view value) { state_->title = value; }
void SimpleGraph::xLabel(std::string_view value) { state_->x_label = value; }
void SimpleGraph::yLabel(std::string_view value) { state_->y_label = value; }
void SimpleGraph::BgColor(std::string_view value) {
  state_->background = Attribute(kBgColorPrefix, value);
}
void SimpleGraph::vLineColor(std::string_view value) { state_->v_line_color = value; }
void SimpleGraph::hLineColor(std::string_view value) { state_->h_line_color = value; }
void SimpleGraph::ScaleColor(std::string_view value) { state_->scale_color = value; }

void SimpleGraph::Colors(const Variant& values) {
  std::vector<std::string> colors = TextList(values);
  // Bar colours are picked modulo the list length, so an empty list would leave no colour.
  state_->colors = colors.empty() ? graph::DefaultColors() : std::move(colors);
}

void SimpleGraph::Legend(const Variant& values) { state_->legend = TextList(values); }
void SimpleGraph::ShowVLines(bool value) { state_->show_v_lines = value; }
void SimpleGraph::ShowHLines(bool value) { state_->show_h_lines = value; }
void SimpleGraph::AddScale(bool value) { state_->add_scale = value; }
void SimpleGraph::Stacked(bool value) { state_->stacked = value; }
void SimpleGraph::Relative(bool value) { state_->relative = value; }

void SimpleGraph::AddRow(const Variant& values) { AppendRowValues(*state_, values); }

void SimpleGraph::AddRowData(std::string_view name, const Variant& values) {
  AppendRowValues(*state_, values);
  graph::GraphState& s = *state_;
  if (name.empty()) {
    // An empty name before any other adds nothing, so a graph of unnamed rows gets no legend.
    if (s.row_name_count > 0) AppendRowName(s, name);
    return;
  }
  // The legend pairs names with rows by position: rows added before without a name (by AddRow
  // or with an empty name) get empty entries, so this name stays with its own row.
  while (s.row_name_count + 1 < s.row_count) AppendRowName(s, "");
  AppendRowName(s, name);
}

std::string SimpleGraph::GetGraph() {
  graph::RenderGraph(*state_);
  return state_->output.ToString();
}

void SimpleGraph::Draw() {
  PageContext* context = CurrentPageContext();
  if (context == nullptr) {
    throw Error(2, "Response object reference not set. Use 'GetGraph'.", "Draw Graph");
  }
  context->response.Write(GetGraph());
}

const DispatchTable& SimpleGraph::Members() const {
  static const DispatchTable kMembers = BuildMembers();
  return kMembers;
}

}  // namespace quenmark
