#include "quenmark/data_grid.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <functional>
#include <vector>

#include "frame/text_util.h"
#include "grid/column_descriptors.h"
#include "grid/display_texts.h"
#include "grid/grid_graph.h"
#include "grid/grid_state.h"
#include "grid/navigation_bar.h"
#include "quenmark/connection_object.h"
#include "quenmark/database.h"
#include "quenmark/error.h"
#include "quenmark/page_context.h"
#include "quenmark/shared_procedures.h"
#include "quenmark/shared_settings.h"
#include "quenmark/version.h"

namespace quenmark {

namespace {

constexpr std::string_view kNoConnectionDisplay =
    "Your Database Connection must be set before calling .Display() method";
constexpr std::string_view kNoCommandDisplay =
    "Your SQL Command must be set before calling .Display() method";
constexpr std::string_view kNoConnectionCommand =
    "Your Database Connection must be set before calling .CreateCommand() method";
constexpr std::string_view kDefaultTitle = "ASP Tabulon";
constexpr std::string_view kDefaultTextBoxStyle =
    "border:1px solid gray;font-size:9px;font-family:tahoma;padding:0px;text-align:center;";
constexpr std::string_view kDefaultFilterFieldStyle = "font-size:9pt;";
constexpr std::string_view kListSeparator = "|||";

std::string Fragment(std::string_view attribute, std::string_view value) {
  if (value.empty()) return {};
  std::string out = " ";
  out += attribute;
  out += "=\"";
  out += value;
  out += '"';
  return out;
}


size_t FindNoCase(std::string_view text, std::string_view needle) {
  auto lower = [](char c) { return std::tolower(static_cast<unsigned char>(c)); };
  const auto it = std::search(text.begin(), text.end(), needle.begin(), needle.end(),
                              [&](char a, char b) { return lower(a) == lower(b); });
  return it == text.end() ? std::string_view::npos : static_cast<size_t>(it - text.begin());
}

// Marks an error that leaves Display or the renderer with the step that failed.
[[noreturn]] void Rethrow(std::string_view marker, int step) {
  try {
    throw;
  } catch (Error& error) {
    error.AppendSource(std::string(marker) + std::to_string(step));
    throw;
  } catch (const std::exception& error) {
    Error wrapped(ErrorNumber::kGeneric, error.what());
    wrapped.AppendSource(std::string(marker) + std::to_string(step));
    throw wrapped;
  }
}

}  // namespace

struct DataGrid::Impl {
  PageContext* context = nullptr;
  std::string page_url;
  GridState state;

  quenmark::Connection* connection = nullptr;
  std::unique_ptr<quenmark::Connection> owned_connection;
  std::shared_ptr<ConnectionObject> connection_object;
  bool owns_connection = false;
  int16_t database_kind = 0;
  std::unique_ptr<Recordset> recordset;

  std::string command;
  std::string master_table;
  std::string title{kDefaultTitle};
  std::string procedure_name;
  std::string parameter_list;

  bool page_results = true;
  bool is_columnar = false;
  bool add_row_numbers = true;
  bool can_filter = true;
  bool sort_links_on = true;
  bool show_export_buttons = true;
  bool no_form = false;

  std::string table_width = "100%";
  int16_t border = 0;
  int16_t cellpadding = 2;
  int16_t cellspacing = 1;

  std::string grid_class, grid_style, grid_align;
  std::string header_class, header_style;
  std::string item_class, item_style, alt_item_class, alt_item_style;
  std::string link_class, link_style;
  std::string footer_class, footer_style;
  std::string paging_link_class, paging_link_style;
  std::string header_link_class, header_link_style, header_text_style;
  std::string text_box_style = Fragment("style", kDefaultTextBoxStyle);
  std::string filter_field_style = Fragment("style", kDefaultFilterFieldStyle);

  int16_t graph_type = 0;
  bool graph_only = false;
  std::string graph_legend_column;
  std::string export_file_name;
  std::string graph_title, graph_y_label, graph_x_label;

  // Column format lists: entries key "|=|" value "|||" (the hidden list: key "|||").
  std::string captions, number_formats, date_formats, templates, booleans, regexes, hidden;

  DisplayTexts texts;

  // Filled while a result is rendered.
  std::vector<ColumnDescriptor> columns;
  std::vector<size_t> visible;  // positions of the columns that are not hidden
  std::vector<std::string> tables;
  std::vector<std::vector<Variant>> data;  // [column][row]

  quenmark::Connection* ActiveConnection() const {
    if (connection != nullptr) return connection;
    return connection_object ? connection_object->Get() : nullptr;
  }

  void WriteHtml(std::string_view html) const {
    if (context == nullptr) {
      throw Error(ErrorNumber::kObjectRequired, "The grid was created outside a page");
    }
    context->response.Write(html);
  }

  [[noreturn]] void WriteFatal(std::string_view message) const {
    std::string html = "<div><font color=red face=arial>";
    html += message;
    html += "</font></div>";
    WriteHtml(html);
    context->response.End();
  }

  void ReadRequest();
  void OpenSqlSource();
  void RenderGrid();
  void AppendTitleBar(std::string& out, bool filter, bool export_buttons) const;
  void AppendGridTableOpen(std::string& out, bool with_look) const;
  void AppendHeaderRow(std::string& out, bool sort_links) const;
  void AppendRow(std::string& out, size_t row, const std::string& item_class_fragment,
                 const std::string& item_style_fragment, const std::string& alt_class_fragment,
                 const std::string& alt_style_fragment) const;
  void AppendColumnarRecord(std::string& out, size_t row, const std::string& alt_class_fragment,
                            const std::string& alt_style_fragment) const;
  void AppendCell(std::string& out, size_t row, size_t column) const;
  bool IsHidden(const ColumnDescriptor& column) const;
  HeaderCellLook HeaderLook() const;
  void DrawGraph() const;

  // Seams filled by the features that own them; each writes nothing until it exists.
  // Image-cell replies ("a" = "i") belong to the cell formats.
  void ServeImageCell() {}
  // The image element of a binary cell (cell formats).
  void AppendImageCell(std::string&, size_t, size_t) const {}
  // The pop-up filter window ("a" = "j") belongs to the filter interface.
  void ServePopupFilterPage() {}
  // Adds the posted search field, condition and text to the filter (query composition).
  void ExtendFilterFromSearchFields(const FieldCollection&) {}
  // Produces a requested export and ends the response (export hand-off).
  void RunExport() {}
  // The pop-up filter script written before the grid (filter interface).
  void AppendPopupFilterScript(std::string&) const {}
  // Opens a stored-procedure source with its parameters, sort and filter (query composition).
  void OpenProcedureSource() {}
  // Master-detail rendering of grouped rows (summaries and master-detail grouping).
  void RenderMasterDetail() {}
  // The title-bar cell with the pop-up filter button (filter interface).
  void AppendPopupFilterCell(std::string&) const {}
  // The title-bar cell with the five export buttons (export hand-off).
  void AppendExportButtonsCell(std::string&) const {}
  // The inline filter row above the grid table (filter interface).
  void AppendInlineFilterRow(std::string&) const {}
  // Row total and average header cells and data cells (summaries).
  void AppendRowSummaryHeaders(std::string&) const {}
  void AppendRowSummaryCells(std::string&, size_t) const {}
  // Column total and average lines below the rows of the page (summaries).
  void AppendColumnSummaryRows(std::string&, size_t, size_t) const {}
  // The active filter and sort order in words (filter interface).
  void AppendFilterSortSummary(std::string&) const {}
  // The block of aggregate values (summaries).
  void AppendSummaryBlock(std::string&) const {}
};

void DataGrid::Impl::ReadRequest() {
  context = CurrentPageContext();
  if (context == nullptr) {
    state.start_rec = 1;
    state.page_size = 10;
    return;
  }
  const Request& request = context->request;
  page_url = request.ServerVariable("URL");
  if (request.Form().Count() == 0) {
    const std::string special = request.QueryString().Get("a");
    if (special == "i") ServeImageCell();
    if (special == "j") ServePopupFilterPage();
    ReadQueryState(request.QueryString(), state);
    return;
  }
  ReadPostedFields(request.Form(), state);
  ExtendFilterFromSearchFields(request.Form());
  ApplyPostbackArgument(request.Form().Get("__FARGS"), state);
  if (state.title_posted) title = state.posted_title;
}

void DataGrid::Impl::OpenSqlSource() {
  quenmark::Connection* active = ActiveConnection();
  if (active == nullptr) WriteFatal(kNoConnectionCommand);
  state.order_list = ComputeOrderList(state);
  if (!Trim(state.order_list).empty()) {
    command += " ORDER BY ";
    command += state.order_list;
  }

  const int32_t max_records = ThreadSettings().max_records;
  const bool top_dialect = database_kind == DbAccess || database_kind == DbSqlServer;
  auto opened = [&]() -> Result<std::unique_ptr<Recordset>> {
    if (state.filter_text.empty() && top_dialect) {
      if (max_records < 1) return active->Execute(command);
      const size_t select = FindNoCase(command, "SELECT ");
      if (select == std::string::npos) return active->Execute(command);
      std::string limited = "SELECT TOP " + std::to_string(max_records) + " ";
      limited += std::string_view(command).substr(select + 7);
      return active->Execute(limited);
    }
    return active->Execute(command, max_records > 0 ? max_records : 0);
  }();
  if (!opened.ok()) WriteFatal(opened.Description());
  recordset = std::move(opened.value());

  if (!state.filter_text.empty()) {
    if (!recordset->Filter(state.filter_text).ok()) {
      // The filter text comes from the request, so it is escaped before it is shown.
      std::string message = "<font color=red>Your filter is invalid!</font><br>";
      message += EscapeHtml(state.filter_text);
      WriteHtml(message);
      (void)recordset->Filter("");
    }
  }
}

bool DataGrid::Impl::IsHidden(const ColumnDescriptor& column) const {
  return !hidden.empty() && ListHasKey(hidden, column.name);
}

HeaderCellLook DataGrid::Impl::HeaderLook() const {
  HeaderCellLook look;
  look.sort_asc_icon = texts.Get(DisplayText::kSortColAscText);
  look.sort_desc_icon = texts.Get(DisplayText::kSortColDescText);
  look.sort_asc_title = texts.Get(DisplayText::kSortColAscTitle);
  look.sort_desc_title = texts.Get(DisplayText::kSortColDescTitle);
  look.refresh_title = texts.Get(DisplayText::kRefreshTitle);
  look.reset_text = texts.Get(DisplayText::kResetText);
  look.reset_title = texts.Get(DisplayText::kResetTitle);
  look.remove_sort_title = texts.Get(DisplayText::kRemoveSortTitle);
  look.header_text_style = header_text_style;
  look.header_link_class = header_link_class;
  look.header_link_style = header_link_style;
  look.paging_link_class = paging_link_class;
  look.paging_link_style = paging_link_style;
  return look;
}

void DataGrid::Impl::AppendTitleBar(std::string& out, bool filter, bool export_buttons) const {
  out += "<table border=0 width=\"";
  out += table_width;
  out += "\"><tr";
  out += footer_class;
  out += footer_style;
  out += "><td>";
  if (!state.print_mode) {
    out += MakeLink(texts.Get(DisplayText::kPrintText), texts.Get(DisplayText::kPrintTitle),
                    GridPostBackHref("5"), paging_link_class, paging_link_style, "");
  }
  out += "</td>";
  if (filter && ThreadSettings().popup_filters) AppendPopupFilterCell(out);
  if (export_buttons) AppendExportButtonsCell(out);
  out += "</table>";
}

void DataGrid::Impl::AppendGridTableOpen(std::string& out, bool with_look) const {
  out += "<table width=\"";
  out += table_width;
  out += "\" border=\"";
  out += std::to_string(border);
  out += "\" cellpadding=\"";
  out += std::to_string(cellpadding);
  out += "\" cellspacing=\"";
  out += std::to_string(cellspacing);
  out += '"';
  out += grid_align;
  if (with_look) {
    out += grid_class;
    out += grid_style;
  }
  out += '>';
}

void DataGrid::Impl::AppendHeaderRow(std::string& out, bool sort_links) const {
  const HeaderCellLook look = HeaderLook();
  out += "<tr ";
  out += header_class;
  out += header_style;
  out += '>';
  if (add_row_numbers) {
    out += "<th>";
    out += HeaderCell(texts.Get(DisplayText::kRefreshText), 0, sort_links, state.order_list, look);
    out += "</th>";
  }
  for (size_t c : visible) {
    const ColumnDescriptor& column = columns[c];
    out += "<th>";
    if (column.category == FieldBinary) {
      // Binary columns cannot be ordered by, so their caption is not a sort link.
      out += "<span";
      out += header_link_class;
      out += header_text_style;
      out += '>';
      out += column.caption;
      out += "</span>";
    } else {
      out += HeaderCell(column.caption, static_cast<int>(c) + 1, sort_links, state.order_list,
                        look);
    }
    out += "</th>";
  }
  AppendRowSummaryHeaders(out);
  out += "</tr>";
}

void DataGrid::Impl::AppendCell(std::string& out, size_t row, size_t column) const {
  const Variant& value = data[column][row];
  if (columns[column].category == FieldBinary) {
    AppendImageCell(out, row, column);
    return;
  }
  if (value.kind() == Variant::Kind::kText) {
    out += value.AsText();
  } else if (!value.IsMissing()) {
    out += value.ToText();
  }
}

void DataGrid::Impl::AppendRow(std::string& out, size_t row, const std::string& item_class_fragment,
                               const std::string& item_style_fragment,
                               const std::string& alt_class_fragment,
                               const std::string& alt_style_fragment) const {
  const bool odd = row % 2 == 1;
  out += "<tr";
  out += odd ? alt_class_fragment : item_class_fragment;
  out += odd ? alt_style_fragment : item_style_fragment;
  out += '>';
  if (add_row_numbers) {
    out += "<td nowrap width=1>";
    out += std::to_string(row + 1);
    out += "</td>";
  }
  for (size_t c : visible) {
    out += "<td class=\"";
    out += CategoryWord(columns[c].category);
    out += "\">";
    AppendCell(out, row, c);
    out += "</td>";
  }
  AppendRowSummaryCells(out, row);
  out += "</tr>";
}

void DataGrid::Impl::AppendColumnarRecord(std::string& out, size_t row,
                                          const std::string& alt_class_fragment,
                                          const std::string& alt_style_fragment) const {
  for (size_t c : visible) {
    out += "<tr><td valign=top ";
    out += item_class;
    out += item_style;
    out += '>';
    out += columns[c].caption;
    out += "</td><td ";
    out += alt_class_fragment;
    out += alt_style_fragment;
    out += '>';
    AppendCell(out, row, c);
    out += "</td></tr>";
  }
  out += "<tr><td colspan=3>&nbsp;</td></tr>";
}

void DataGrid::Impl::DrawGraph() const {
  std::vector<std::string> names;
  std::vector<std::string> shown;
  std::vector<int> categories;
  names.reserve(columns.size());
  shown.reserve(columns.size());
  categories.reserve(columns.size());
  for (const ColumnDescriptor& column : columns) {
    names.push_back(column.name);
    shown.push_back(column.caption);
    categories.push_back(column.category);
  }
  const GridGraphInput input{data,          names,        shown,         categories,
                             graph_legend_column, graph_type, graph_title, graph_y_label,
                             graph_x_label};
  DrawGridGraph(input, [this](std::string_view html) { WriteHtml(html); });
}

void DataGrid::Impl::RenderGrid() {
  int step = 0;
  try {
    step = 1;
    bool paging = page_results;
    bool filter = can_filter;
    bool export_buttons = show_export_buttons;
    bool sort_links = sort_links_on;
    if (state.print_mode) paging = filter = export_buttons = sort_links = false;

    step = 2;
    const std::string& alt_class = alt_item_class.empty() ? item_class : alt_item_class;
    const std::string& alt_style = alt_item_style.empty() ? item_style : alt_item_style;

    step = 3;
    columns = DescribeColumns(command, database_kind, recordset->Fields(), captions);
    tables.clear();
    visible.clear();
    for (size_t c = 0; c < columns.size(); ++c) {
      tables.push_back(columns[c].table);
      if (!IsHidden(columns[c])) visible.push_back(c);
    }

    step = 4;
    std::string out(kPostbackScript);
    if (!no_form) {
      out += "<form name=QmkTabulon method=post action=\"";
      out += EscapeHtml(page_url);
      out += "\">";
    }
    WriteHtml(out);
    out.clear();

    step = 5;
    if (recordset->Eof()) {
      const Status status = recordset->status();
      recordset.reset();
      if (!status.ok()) WriteFatal(status.Description());
      WriteHtml("No records returned!");
      return;
    }

    step = 6;
    data = recordset->TakeRows();
    const Status fetched = recordset->status();
    recordset.reset();
    if (!fetched.ok()) WriteFatal(fetched.Description());
    const size_t row_count = data.empty() ? 0 : data.front().size();
    if (row_count == 0) {
      WriteHtml("No records returned!");
      return;
    }
    const int64_t last = static_cast<int64_t>(row_count) - 1;
    const int64_t page_size = state.page_size;

    step = 7;
    // A result that fits on one page with one row to spare is shown whole.
    if (last < page_size + 1) paging = filter = false;

    step = 8;
    if (graph_only) {
      DrawGraph();
      if (!no_form) WriteHtml("</form>");
      return;
    }
    if (is_columnar) export_buttons = false;

    step = 9;
    AppendTitleBar(out, filter, export_buttons);
    if (filter && !ThreadSettings().popup_filters) AppendInlineFilterRow(out);
    WriteHtml(out);
    out.clear();

    step = 10;
    const bool row_layout = !is_columnar;
    auto open_table = [&] {
      AppendGridTableOpen(out, row_layout);
      if (row_layout) AppendHeaderRow(out, sort_links);
    };
    auto write_rows = [&](int64_t first, int64_t end) {
      for (int64_t r = first; r <= end; ++r) {
        const size_t row = static_cast<size_t>(r);
        if (row_layout) {
          AppendRow(out, row, item_class, item_style, alt_class, alt_style);
        } else {
          AppendColumnarRecord(out, row, alt_class, alt_style);
        }
        WriteHtml(out);
        out.clear();
      }
    };
    open_table();
    WriteHtml(out);
    out.clear();

    step = 11;
    // A start row below 1 (set by the page) shows the first page.
    const int64_t first_row = std::max<int64_t>(state.start_rec, 1) - 1;
    int64_t page_end = last;
    if (state.print_mode) {
      // Printed pages hold PageSize + 1 rows; without a page size (paging off) every row goes
      // on one printed page instead of one row per sheet.
      const int64_t block = page_size > 0 ? page_size + 1 : last + 1;
      for (int64_t begin = 0; begin <= last; begin += block) {
        const int64_t end = std::min(begin + block - 1, last);
        write_rows(begin, end);
        out += "</table><div style=\"page-break-after:always;\">&nbsp;</div>";
        AppendGridTableOpen(out, row_layout);
        if (row_layout && end < last) AppendHeaderRow(out, sort_links);
        WriteHtml(out);
        out.clear();
      }
    } else if (!paging) {
      write_rows(0, last);
    } else {
      page_end = std::min(first_row + page_size - 1, last);
      write_rows(first_row, page_end);
    }
    AppendColumnSummaryRows(out, static_cast<size_t>(paging ? first_row : 0),
                            static_cast<size_t>(std::max<int64_t>(page_end, 0)));
    out += "</table>";

    step = 12;
    const NavigationBarInput bar{texts,
                                 static_cast<int>(first_row),
                                 state.page_size,
                                 static_cast<int>(last),
                                 paging,
                                 state.print_mode,
                                 table_width,
                                 footer_class,
                                 footer_style,
                                 paging_link_class,
                                 paging_link_style,
                                 text_box_style};
    AppendNavigationBar(bar, out);

    step = 13;
    AppendHiddenStateFields(out, state);
    AppendFilterSortSummary(out);
    AppendSummaryBlock(out);
    if (!no_form) out += "</form>";
    WriteHtml(out);
    out.clear();

    step = 14;
    if (graph_type > 0) DrawGraph();
  } catch (const ResponseEnded&) {
    throw;
  } catch (...) {
    Rethrow("<br> Bind Line: ", step);
  }
}

// --- DataGrid ------------------------------------------------------------------------------------

DataGrid::DataGrid() : impl_(std::make_unique<Impl>()) { impl_->ReadRequest(); }

DataGrid::~DataGrid() {
  if (impl_->owns_connection && impl_->owned_connection) impl_->owned_connection->Close();
}

void DataGrid::Connection(quenmark::Connection& connection) {
  impl_->connection = &connection;
  impl_->connection_object.reset();
  impl_->owns_connection = false;
  impl_->database_kind = DetectDatabaseKind(connection.ConnectionString());
}

void DataGrid::Connection(std::shared_ptr<Dispatchable> connection_object) {
  auto object = std::dynamic_pointer_cast<ConnectionObject>(connection_object);
  if (!object) {
    throw Error(ErrorNumber::kTypeMismatch, "Connection must be a Quenmark.Connection object",
                "Quenmark.DataGrid");
  }
  impl_->connection = nullptr;
  impl_->connection_object = std::move(object);
  impl_->owns_connection = false;
  impl_->database_kind = DetectDatabaseKind(impl_->connection_object->ConnectionString());
}

void DataGrid::CreateConnection(std::string_view sConnectionString) {
  Result<std::unique_ptr<quenmark::Connection>> opened = quenmark::Connection::Open(sConnectionString);
  if (!opened.ok()) impl_->WriteFatal(opened.Description());
  if (impl_->owned_connection) impl_->owned_connection->Close();
  impl_->owned_connection = std::move(opened.value());
  impl_->connection = impl_->owned_connection.get();
  impl_->connection_object.reset();
  impl_->owns_connection = true;
  impl_->database_kind = DetectDatabaseKind(impl_->connection->ConnectionString());
  if (impl_->state.export_requested) impl_->RunExport();
}

bool DataGrid::OwnsConnection() const { return impl_->owns_connection; }
int16_t DataGrid::DatabaseKind() const { return impl_->database_kind; }
void DataGrid::Command(std::string sql) { impl_->command = std::move(sql); }
const std::string& DataGrid::Command() const { return impl_->command; }
void DataGrid::MasterTable(std::string table) { impl_->master_table = std::move(table); }
void DataGrid::SetProcedure(const Variant& strProcedure) {
  impl_->procedure_name = strProcedure.ToText();
}

void DataGrid::AddParameter(const Variant& strParamName, const Variant& strParamValue) {
  std::string& list = impl_->parameter_list;
  list += strParamName.ToText();
  list += "|=|";
  list += strParamValue.ToText();
  list += kListSeparator;
}

const std::string& DataGrid::Title() const { return impl_->title; }
void DataGrid::Title(std::string title) { impl_->title = std::move(title); }
std::string DataGrid::Version() const {
  return std::to_string(QUENMARK_VERSION_MAJOR) + "." + std::to_string(QUENMARK_VERSION_MINOR);
}
void DataGrid::PageSize(int16_t rows) { impl_->state.page_size = rows; }
int16_t DataGrid::PageSize() const { return impl_->state.page_size; }
void DataGrid::StartRec(int32_t row) { impl_->state.start_rec = row; }
int32_t DataGrid::StartRec() const { return impl_->state.start_rec; }
void DataGrid::PageResults(bool on) { impl_->page_results = on; }
void DataGrid::IsColumnar(bool on) { impl_->is_columnar = on; }
void DataGrid::AddRowNumbers(bool on) { impl_->add_row_numbers = on; }
void DataGrid::CanFilter(bool on) { impl_->can_filter = on; }
void DataGrid::UsePopupFilters(const Variant& on) {
  ThreadSettings().popup_filters = on.ToBoolean();
}

void DataGrid::GridClassName(std::string_view v) { impl_->grid_class = Fragment("class", v); }
void DataGrid::GridStyle(std::string_view v) { impl_->grid_style = Fragment("style", v); }
void DataGrid::GridAlign(std::string_view v) { impl_->grid_align = Fragment("align", v); }
void DataGrid::HeaderClassName(std::string_view v) { impl_->header_class = Fragment("class", v); }
void DataGrid::HeaderStyle(std::string_view v) { impl_->header_style = Fragment("style", v); }
void DataGrid::ItemClassName(std::string_view v) { impl_->item_class = Fragment("class", v); }
void DataGrid::ItemStyle(std::string_view v) { impl_->item_style = Fragment("style", v); }
void DataGrid::AltItemClassName(std::string_view v) {
  impl_->alt_item_class = Fragment("class", v);
}
void DataGrid::AltItemStyle(std::string_view v) { impl_->alt_item_style = Fragment("style", v); }
void DataGrid::LinkClassName(std::string_view v) { impl_->link_class = Fragment("class", v); }
void DataGrid::LinkStyle(std::string_view v) { impl_->link_style = Fragment("style", v); }
void DataGrid::FooterClassName(std::string_view v) { impl_->footer_class = Fragment("class", v); }
void DataGrid::FooterStyle(std::string_view v) { impl_->footer_style = Fragment("style", v); }
void DataGrid::PagingLinkClass(std::string_view v) {
  impl_->paging_link_class = Fragment("class", v);
}
void DataGrid::PagingLinkStyle(std::string_view v) {
  impl_->paging_link_style = Fragment("style", v);
}
void DataGrid::HeaderLinkClass(std::string_view v) {
  impl_->header_link_class = Fragment("class", v);
}
void DataGrid::HeaderLinkStyle(std::string_view v) {
  impl_->header_link_style = Fragment("style", v);
}
void DataGrid::HeaderTextStyle(std::string_view v) {
  impl_->header_text_style = Fragment("style", v);
}
void DataGrid::TextBoxStyle(std::string_view v) { impl_->text_box_style = Fragment("style", v); }
void DataGrid::FilterFieldStyle(std::string_view v) {
  impl_->filter_field_style = Fragment("style", v);
}

void DataGrid::GraphType(int16_t type) { impl_->graph_type = type; }
void DataGrid::GraphOnly(bool on) { impl_->graph_only = on; }
void DataGrid::GraphLegendColumn(std::string column) {
  impl_->graph_legend_column = std::move(column);
}
void DataGrid::ExportFileName(std::string name) { impl_->export_file_name = std::move(name); }
void DataGrid::SetGraphLabels(std::string sTitle, std::string yLabel, std::string xLabel) {
  impl_->graph_title = std::move(sTitle);
  impl_->graph_y_label = std::move(yLabel);
  impl_->graph_x_label = std::move(xLabel);
}

void DataGrid::ColumnCaption(std::string_view sColumn, std::string_view sCaption) {
  std::string& list = impl_->captions;
  list += sColumn;
  list += "|=|";
  list += sCaption;
  list += kListSeparator;
}

void DataGrid::SetLanguageText(std::string sFilter, std::string sSortText,
                               std::string sFilterButton, std::string sContains,
                               std::string sIsEqualTo, std::string sIsNotEqualTo,
                               std::string sIsLessThan, std::string sIsGreaterThan) {
  impl_->texts.SetLanguageText(std::move(sFilter), std::move(sSortText), std::move(sFilterButton),
                               std::move(sContains), std::move(sIsEqualTo),
                               std::move(sIsNotEqualTo), std::move(sIsLessThan),
                               std::move(sIsGreaterThan));
}

void DataGrid::SetNavigationText(std::string sFirst, std::string sPrev, std::string sNext,
                                 std::string sLast, std::string sReset, std::string sReload,
                                 std::string sPageCount, std::string sPageSize,
                                 bool bShowPageNumbers) {
  impl_->texts.SetNavigationText(std::move(sFirst), std::move(sPrev), std::move(sNext),
                                 std::move(sLast), std::move(sReset), std::move(sReload),
                                 std::move(sPageCount), std::move(sPageSize), bShowPageNumbers);
}

void DataGrid::SetHeaderIconText(std::string sRefresh, std::string sColumnAsc,
                                 std::string sColumnDesc) {
  impl_->texts.SetHeaderIconText(std::move(sRefresh), std::move(sColumnAsc),
                                 std::move(sColumnDesc));
}

void DataGrid::SetDisplayText(std::string_view strName, const Variant& strValue) {
  impl_->texts.SetDisplayText(strName, strValue);
}

void DataGrid::SortColumn(std::string value) { impl_->state.sort_column = std::move(value); }
void DataGrid::LastSort(std::string value) { impl_->state.last_sort = std::move(value); }
void DataGrid::RemoveSort(bool on) { impl_->state.remove_sort = on; }
void DataGrid::FilterText(std::string value) { impl_->state.filter_text = std::move(value); }
const std::string& DataGrid::FilterText() const { return impl_->state.filter_text; }
void DataGrid::ShowExportButtons(bool on) { impl_->show_export_buttons = on; }
void DataGrid::NoForm(bool on) { impl_->no_form = on; }
const std::string& DataGrid::OrderList() const { return impl_->state.order_list; }

bool DataGrid::GetTransactionStatus() const { return false; }

void DataGrid::Display() {
  Impl& grid = *impl_;
  int step = 0;
  try {
    step = 1;
    // Every entry of a column list is enclosed by "|||" on both sides from here on.
    for (std::string* list : {&grid.captions, &grid.number_formats, &grid.date_formats,
                              &grid.templates, &grid.booleans, &grid.regexes, &grid.hidden}) {
      if (!list->empty() && !list->starts_with(kListSeparator)) list->insert(0, kListSeparator);
    }

    step = 2;
    if (grid.ActiveConnection() == nullptr) grid.WriteFatal(kNoConnectionDisplay);

    step = 3;
    if (grid.state.page_size == 0) grid.page_results = false;

    step = 4;
    if (grid.can_filter) {
      std::string script;
      grid.AppendPopupFilterScript(script);
      if (!script.empty()) grid.WriteHtml(script);
    }

    step = 5;
    if (!grid.recordset) {
      if (!grid.procedure_name.empty()) {
        grid.OpenProcedureSource();
      } else if (grid.command.empty()) {
        grid.WriteFatal(kNoCommandDisplay);
      } else {
        grid.OpenSqlSource();
      }
    }

    step = 6;
    if (!grid.master_table.empty()) {
      grid.RenderMasterDetail();
    } else if (grid.recordset) {
      grid.RenderGrid();
    }

    step = 7;
    if (!grid.state.return_report_id.empty()) {
      std::string out = "<div align=center><a ";
      out += grid.paging_link_class;
      out += " href=\"";
      out += EscapeHtml(grid.page_url);
      out += "?rid=";
      out += EscapeHtml(Server::URLEncode(grid.state.return_report_id));
      out += "\">Return</a></div>";
      AppendHiddenField(out, "rurl1", grid.state.return_report_id);
      grid.WriteHtml(out);
    }
  } catch (const ResponseEnded&) {
    throw;
  } catch (...) {
    Rethrow("<br> Display Line: ", step);
  }
}

}  // namespace quenmark
