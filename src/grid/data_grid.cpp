#include "quenmark/data_grid.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <functional>
#include <optional>
#include <vector>

#include "frame/database/filter_expression.h"
#include "frame/page_log.h"
#include "frame/text_util.h"
#include "grid/cell_formatter.h"
#include "grid/column_descriptors.h"
#include "grid/column_formats.h"
#include "grid/display_texts.h"
#include "grid/filter_interface.h"
#include "grid/grid_export.h"
#include "grid/grid_graph.h"
#include "grid/grid_rows.h"
#include "grid/grid_state.h"
#include "grid/image_cells.h"
#include "grid/master_detail.h"
#include "grid/navigation_bar.h"
#include "grid/query_composer.h"
#include "grid/summaries.h"
#include "quenmark/connection_object.h"
#include "quenmark/database.h"
#include "quenmark/error.h"
#include "quenmark/page_context.h"
#include "quenmark/shared_procedures.h"
#include "quenmark/shared_settings.h"
#include "quenmark/signing.h"
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

struct DataGrid::Impl : GroupMarkup {
  PageContext* context = nullptr;
  std::string page_url;
  GridState state;

  quenmark::Connection* connection = nullptr;
  std::shared_ptr<quenmark::Connection> owned_connection;
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
  // An export was asked for before the page set its statement; it runs at Display.
  bool export_pending = false;
  std::string graph_title, graph_y_label, graph_x_label;

  ColumnFormats formats;
  // Database values are HTML-escaped in cells unless the page says they hold trusted markup.
  bool encode_values = true;
  // An image-cell request ("a" = "i") waiting for Display to verify and answer it.
  std::optional<ImageCellRequest> image_request;

  DisplayTexts texts;

  SummarySwitches summary_switches;
  std::string summary_text;
  // Set by MasterTable, even to an empty table (which the grid then refuses to show).
  bool master_detail = false;

  // Filled while a result is rendered.
  std::vector<ColumnDescriptor> columns;
  std::vector<size_t> visible;  // positions of the columns that are not hidden
  std::vector<std::string> tables;
  // The rows the page keeps of its result (the page, a graph's values), and the row count.
  GridRows rows;
  // The client-side filter, parsed against the result's fields.
  std::optional<db::FilterExpression> filter_expression;
  // Set when the database counted the result and returned only the rows of the page, the
  // first of them being row `database_first_row` of `database_row_count`.
  bool paged_in_database = false;
  size_t database_row_count = 0;
  size_t database_first_row = 0;
  std::unique_ptr<CellFormatter> formatter;
  std::string image_source;  // the statement as the page set it, before the ORDER BY
  std::string image_token;   // signs the image cells of the rendered result
  std::string image_query;   // the page's own query string, carried by image addresses
  // The row and column summaries of the page; they add up each row as AppendRow writes it.
  mutable std::optional<PageSummaries> page_summaries;

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
    LogPageFailure("grid", message, command);
    std::string html = "<div><font color=red face=arial>";
    html += message;
    html += "</font></div>";
    WriteHtml(html);
    context->response.End();
  }

  void ReadRequest();
  // Opens the statement; `may_page_in_database` lets the database count and page it.
  void OpenSqlSource(bool may_page_in_database);
  bool OpenPageInDatabase(quenmark::Connection& active, std::string_view source,
                          int32_t max_records);
  std::vector<size_t> GraphColumnPositions() const;
  void RenderGrid();
  void AppendTitleBar(std::string& out, bool filter, bool export_buttons,
                      std::string_view after_print_link = {}) const;
  void AppendGridTableOpen(std::string& out, bool with_look) const;
  void AppendHeaderRow(std::string& out, bool sort_links) const {
    AppendHeaderRow(out, sort_links, visible, add_row_numbers);
  }
  void AppendHeaderRow(std::string& out, bool sort_links, const std::vector<size_t>& shown,
                       bool row_numbers) const;
  void AppendRow(std::string& out, size_t row, const std::string& item_class_fragment,
                 const std::string& item_style_fragment, const std::string& alt_class_fragment,
                 const std::string& alt_style_fragment) const;
  void AppendColumnarRecord(std::string& out, size_t row, const std::string& alt_class_fragment,
                            const std::string& alt_style_fragment) const;
  void AppendColumnarFields(std::string& out, size_t row, const std::vector<size_t>& shown,
                            const std::string& alt_class_fragment,
                            const std::string& alt_style_fragment) const;
  void AppendCell(std::string& out, size_t row, size_t column) const;
  std::string NumberFormatEntry(size_t column) const;
  bool IsHidden(const ColumnDescriptor& column) const;
  HeaderCellLook HeaderLook() const;
  void DrawGraph() const;

  std::string ImageSource() const;
  Signer SiteSigner() const;
  void ReadImageCellRequest();
  bool ServeImageCell();
  void AppendImageCell(std::string& out, size_t row, size_t column) const;

  // Seams filled by the features that own them; each writes nothing until it exists.
  // The pop-up filter window ("a" = "j") belongs to the filter interface.
  void ServePopupFilterPage();
  // Produces the requested export and ends the response.
  [[noreturn]] void RunExport();
  // Opens a stored-procedure source with its parameters, sort and filter.
  void OpenProcedureSource();
  // Applies the filter text to the open recordset; an invalid one is reported and dropped.
  void ApplyFilter();
  FilterLook Look() const;
  // The title-bar cell with the pop-up filter button; stores the window's lists in the session.
  void AppendPopupFilterCell(std::string& out) const;
  void AppendExportButtonsCell(std::string& out) const {
    std::vector<std::string> captions;
    captions.reserve(columns.size());
    for (const ColumnDescriptor& column : columns) captions.push_back(column.caption);
    quenmark::AppendExportButtonsCell(out, texts, captions, title, paging_link_class,
                                      paging_link_style);
  }

  // Row total and average header cells and data cells.
  void AppendRowSummaryHeaders(std::string& out) const {
    if (page_summaries)
      page_summaries->AppendHeaderCells(out, header_link_class, header_text_style);
  }
  void AppendRowSummaryCells(std::string& out, size_t row) const {
    if (page_summaries) {
      page_summaries->AddRow(out, [&](size_t c) -> const Variant& { return rows.Value(c, row); });
    }
  }
  // Column total and average lines below the rows of the page, up to row `end`.
  void AppendColumnSummaryRows(std::string& out, size_t end) const;
  // The block of aggregate values.
  void AppendSummaryBlock(std::string& out) const;

  // The pieces master-detail groups are made of.
  void AppendTableOpen(std::string& out) const override { AppendGridTableOpen(out, true); }
  void AppendDetailHeaderRow(std::string& out, const std::vector<size_t>& shown) const override {
    AppendHeaderRow(out, false, shown, false);
  }
  void AppendCells(std::string& out, size_t row, const std::vector<size_t>& shown) const override;
  void AppendColumnarRows(std::string& out, size_t row,
                          const std::vector<size_t>& shown) const override;
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
    if (special == "i") ReadImageCellRequest();
    if (special == "j") ServePopupFilterPage();
    ReadQueryState(request.QueryString(), state);
    return;
  }
  ReadPostedFields(request.Form(), state);
  // No connection is set yet: the kind is the one the report manager forces, if any.
  ExtendFilterText(state.filter_text, DetectDatabaseKind(""), request.Form().Get("search_field"),
                   request.Form().Get("search_condition"), request.Form().Get("search_text"));
  ApplyPostbackArgument(request.Form().Get("__FARGS"), state);
  if (state.title_posted) title = state.posted_title;
}

void DataGrid::Impl::OpenSqlSource(bool may_page_in_database) {
  quenmark::Connection* active = ActiveConnection();
  if (active == nullptr) WriteFatal(kNoConnectionCommand);
  state.order_list = ComputeOrderList(state);
  const std::string source = command;
  command = OrderedStatement(command, state.order_list);

  const int32_t max_records = ThreadSettings().max_records;
  if (may_page_in_database && OpenPageInDatabase(*active, source, max_records)) return;
  const bool top_dialect = database_kind == DbAccess || database_kind == DbSqlServer;
  auto opened = [&]() -> Result<std::unique_ptr<Recordset>> {
    if (state.filter_text.empty() && top_dialect) {
      return active->Execute(max_records < 1 ? command : TopStatement(command, max_records));
    }
    return active->Execute(command, max_records > 0 ? max_records : 0);
  }();
  if (!opened.ok()) WriteFatal(opened.Description());
  recordset = std::move(opened.value());
  ApplyFilter();
}

bool DataGrid::Impl::OpenPageInDatabase(quenmark::Connection& active, std::string_view source,
                                        int32_t max_records) {
  if (database_kind != DbSqlite && database_kind != DbPostgres) return false;
  if (!Trim(state.filter_text).empty() || !CanPageInDatabase(source)) return false;
  int64_t total = 0;
  {
    Result<std::unique_ptr<Recordset>> counted = active.Execute(CountStatement(source));
    if (!counted.ok() || (*counted)->Eof()) return false;
    total = (*counted)->Value(0).ToInt64();
  }
  if (total < 0) return false;
  if (max_records > 0) total = std::min<int64_t>(total, max_records);
  // The rows the page shows: all of them when at most PageSize + 1, else the page's own.
  const size_t rows_total = static_cast<size_t>(total);
  const size_t page_size = static_cast<size_t>(state.page_size);
  size_t first = 0;
  size_t count = rows_total;
  if (rows_total > page_size + 1) {
    first = std::min(static_cast<size_t>(std::max<int32_t>(state.start_rec, 1) - 1), rows_total);
    count = std::min(page_size, rows_total - first);
  }
  Result<std::unique_ptr<Recordset>> page = active.Execute(PageStatement(command, count, first));
  // What the database cannot page is read the ordinary way, which reports any real error.
  if (!page.ok()) return false;
  recordset = std::move(page.value());
  paged_in_database = true;
  database_row_count = rows_total;
  database_first_row = first;
  return true;
}

void DataGrid::Impl::ApplyFilter() {
  filter_expression.reset();
  if (Trim(state.filter_text).empty()) return;
  Result<db::FilterExpression> parsed =
      db::FilterExpression::Parse(state.filter_text, recordset->Fields());
  if (parsed.ok()) {
    filter_expression = std::move(parsed.value());
    return;
  }
  // The filter text comes from the request, so it is escaped before it is shown; the rows are
  // shown unfiltered.
  std::string message = "<font color=red>Your filter is invalid!</font><br>";
  message += EscapeHtml(state.filter_text);
  WriteHtml(message);
}

void DataGrid::Impl::OpenProcedureSource() {
  quenmark::Connection* active = ActiveConnection();
  if (active == nullptr) WriteFatal(kNoConnectionCommand);
  state.order_list = ComputeOrderList(state);
  const std::string name = BareProcedureName(procedure_name);
  if (database_kind == DbSqlite) {
    WriteFatal("SQLite databases have no stored procedures, so \"" + EscapeHtml(name) +
               "\" cannot be called: set the grid's Command to a SELECT statement instead.");
  }
  // Parameters are bound by the driver (PostgreSQL: SELECT * FROM name($1, ...); ODBC:
  // {call name(?, ...)}), never pasted into the SQL text.
  const quenmark::Command call = ProcedureCommand(name, parameter_list);
  const bool filtered = !call.Parameters().empty() || database_kind == DbSqlServer;
  // A procedure called without parameters offers no filter, as it always has.
  if (!filtered) can_filter = false;
  Result<std::unique_ptr<Recordset>> opened = active->Call(call);
  if (!opened.ok()) WriteFatal(opened.Description());
  recordset = std::move(opened.value());
  // The order shown in the header and the summary is the order of the rows, with or without
  // parameters.
  const Status sorted = recordset->Sort(ProcedureSortText(state.order_list, recordset->Fields()));
  if (!sorted.ok()) WriteFatal(sorted.Description());
  if (filtered) ApplyFilter();
}

void DataGrid::Impl::ServePopupFilterPage() {
  std::string encoded = context->session.Get("PopUpFilters").ToText();
  // After the session expired the window rebuilds its lists from its own address.
  if (encoded.empty()) encoded = context->request.QueryString().Get("args");
  // Decoding returns the blanks the encoder filled the last group with.
  std::string lists = DecodeBase64(encoded);
  lists.erase(lists.find_last_not_of(' ') + 1);
  const std::string page = PopupFilterPage(lists, context->request.QueryString().Get("del"));
  if (!page.empty()) WriteHtml(page);
  context->response.End();
}

FilterLook DataGrid::Impl::Look() const {
  return FilterLook{texts,
                    table_width,
                    footer_class,
                    footer_style,
                    filter_field_style,
                    paging_link_class,
                    paging_link_style};
}

void DataGrid::Impl::AppendPopupFilterCell(std::string& out) const {
  const std::string encoded = EncodeBase64(PopupFilterLists(texts, columns));
  context->session.Set("PopUpFilters", Variant(encoded));
  quenmark::AppendPopupFilterCell(out, Look(), encoded);
}

void DataGrid::Impl::RunExport() {
  // The export replaces the page: nothing the page wrote before it is sent.
  if (context != nullptr) context->response.Clear();
  if (ActiveConnection() == nullptr) WriteFatal(kNoConnectionDisplay);
  if (!recordset) {
    if (!procedure_name.empty()) {
      OpenProcedureSource();
    } else if (command.empty()) {
      WriteFatal(kNoCommandDisplay);
    } else {
      OpenSqlSource(false);  // every row, never one page
    }
  }
  GridExportRequest request;
  request.format = state.export_format;
  request.headers = state.export_headers;
  request.title = title;
  request.file_name = export_file_name;
  request.rows_per_page = state.page_size;
  request.encode_values = encode_values;
  if (owned_connection && connection == owned_connection.get()) {
    // The rows may stream after the page has ended, so the export takes the connection over
    // (the grid would close it when the page's objects are released).
    request.connection = std::move(owned_connection);
    connection = nullptr;
    owns_connection = false;
  } else if (connection_object && connection == nullptr) {
    // The connection object stays alive with the rows it streams.
    request.connection =
        std::shared_ptr<quenmark::Connection>(connection_object, connection_object->Get());
  } else {
    request.lent = ActiveConnection();
  }
  request.recordset = std::move(recordset);
  RunGridExport(std::move(request));
}

bool DataGrid::Impl::IsHidden(const ColumnDescriptor& column) const {
  return formats.IsHidden(column.name);
}

std::string DataGrid::Impl::ImageSource() const {
  const quenmark::Connection* active = ActiveConnection();
  return quenmark::ImageSourceText(active ? active->ConnectionString() : "", command,
                                   procedure_name, parameter_list);
}

Signer DataGrid::Impl::SiteSigner() const {
  Result<Signer> signer = Signer::ForWebRoot(context->server.WebRoot());
  if (!signer.ok()) throw Error(ErrorNumber::kGeneric, signer.Description());
  return std::move(signer.value());
}

void DataGrid::Impl::ReadImageCellRequest() {
  Result<Signer> signer = Signer::ForWebRoot(context->server.WebRoot());
  if (signer.ok()) {
    image_request = quenmark::ReadImageCellRequest(context->request.QueryString(), *signer);
  }
  // Without a token signed here nothing of the page runs any further.
  if (!image_request) AnswerForbidden(context->response);
}

bool DataGrid::Impl::ServeImageCell() {
  const ImageCellRequest request = *image_request;
  // Another grid of the page made the token: this one writes nothing and runs nothing.
  if (!ImageRequestIsFor(SiteSigner(), ImageSource(), request)) return false;
  // The rows in the order and with the filter the page showed them.
  state.sort_column = request.order_list;
  state.last_sort.clear();
  state.remove_sort = false;
  state.filter_text = request.filter_text;
  if (!procedure_name.empty()) {
    OpenProcedureSource();
  } else {
    OpenSqlSource(false);
  }
  const Variant* picture = nullptr;
  GridRows wanted(recordset ? static_cast<size_t>(recordset->FieldCount()) : 0);
  if (recordset && request.row >= 0 && request.column < recordset->FieldCount() &&
      ClassifyFieldType(recordset->Field(static_cast<int>(request.column)).type) == FieldBinary) {
    const size_t row = static_cast<size_t>(request.row);
    wanted.Keep(row, 1);
    ReadGridRows(*recordset, filter_expression ? &*filter_expression : nullptr, 0, row + 1,
                 wanted);
    if (const Variant* values = wanted.Row(row)) picture = &values[request.column];
  }
  AnswerPicture(context->response, picture);
}

void DataGrid::Impl::AppendImageCell(std::string& out, size_t row, size_t column) const {
  AppendImageCellTag(out, page_url, image_query, row, column, image_token);
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

void DataGrid::Impl::AppendTitleBar(std::string& out, bool filter, bool export_buttons,
                                    std::string_view after_print_link) const {
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
  out += after_print_link;
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

void DataGrid::Impl::AppendHeaderRow(std::string& out, bool sort_links,
                                     const std::vector<size_t>& shown, bool row_numbers) const {
  const HeaderCellLook look = HeaderLook();
  out += "<tr ";
  out += header_class;
  out += header_style;
  out += '>';
  if (row_numbers) {
    out += "<th>";
    out += HeaderCell(texts.Get(DisplayText::kRefreshText), 0, sort_links, state.order_list, look);
    out += "</th>";
  }
  for (size_t c : shown) {
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
  if (columns[column].category == FieldBinary) {
    AppendImageCell(out, row, column);
    return;
  }
  formatter->AppendCell(out, RowView(rows.Row(row), columns.size()), column);
}

std::string DataGrid::Impl::NumberFormatEntry(size_t column) const {
  bool found = false;
  return formats.NumberFormat(ColumnFormatKey(columns[column].table, columns[column].name), found);
}

void DataGrid::Impl::AppendColumnSummaryRows(std::string& out, size_t end) const {
  if (!page_summaries || !page_summaries->ColumnSummaries()) return;
  // The lines take the look of the row that would follow the last one shown.
  const bool odd = (end + 1) % 2 == 1;
  const std::string& row_class = odd && !alt_item_class.empty() ? alt_item_class : item_class;
  const std::string& row_style = odd && !alt_item_style.empty() ? alt_item_style : item_style;
  page_summaries->AppendFooterRows(out, add_row_numbers, row_class, row_style);
}

void DataGrid::Impl::AppendSummaryBlock(std::string& out) const {
  quenmark::Connection* active = ActiveConnection();
  if (summary_text.size() < 3 || active == nullptr) return;
  const NumberFormatOf number_format = [this](size_t c) { return NumberFormatEntry(c); };
  const SummaryBlockInput input{summary_text,
                                command,
                                database_kind,
                                *active,
                                columns,
                                number_format,
                                table_width,
                                footer_class,
                                footer_style,
                                texts.Get(DisplayText::kSummaryLabelText)};
  quenmark::AppendSummaryBlock(input, out);
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
  AppendCells(out, row, visible);
  AppendRowSummaryCells(out, row);
  out += "</tr>";
}

void DataGrid::Impl::AppendCells(std::string& out, size_t row,
                                 const std::vector<size_t>& shown) const {
  for (size_t c : shown) {
    out += "<td class=\"";
    out += CategoryWord(columns[c].category);
    out += "\">";
    AppendCell(out, row, c);
    out += "</td>";
  }
}

void DataGrid::Impl::AppendColumnarRows(std::string& out, size_t row,
                                        const std::vector<size_t>& shown) const {
  AppendColumnarFields(out, row, shown, alt_item_class.empty() ? item_class : alt_item_class,
                       alt_item_style.empty() ? item_style : alt_item_style);
}

void DataGrid::Impl::AppendColumnarRecord(std::string& out, size_t row,
                                          const std::string& alt_class_fragment,
                                          const std::string& alt_style_fragment) const {
  AppendColumnarFields(out, row, visible, alt_class_fragment, alt_style_fragment);
  out += "<tr><td colspan=3>&nbsp;</td></tr>";
}

void DataGrid::Impl::AppendColumnarFields(std::string& out, size_t row,
                                          const std::vector<size_t>& shown,
                                          const std::string& alt_class_fragment,
                                          const std::string& alt_style_fragment) const {
  for (size_t c : shown) {
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
}

std::vector<size_t> DataGrid::Impl::GraphColumnPositions() const {
  std::vector<std::string> names;
  std::vector<int> categories;
  for (const ColumnDescriptor& column : columns) {
    names.push_back(column.name);
    categories.push_back(column.category);
  }
  return GraphColumns(graph_legend_column, names, categories);
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
  const GridGraphInput input{rows.EveryRowColumns(), names,         shown,
                             categories,             graph_legend_column, graph_type,
                             graph_title,            graph_y_label, graph_x_label,
                             encode_values};
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
    columns = DescribeColumns(command, database_kind, recordset->Fields(), formats.Captions());
    formatter = std::make_unique<CellFormatter>(
        formats, columns,
        CellFormatterOptions{encode_values, is_columnar, ThreadSettings().default_date_format});
    tables.clear();
    visible.clear();
    for (size_t c = 0; c < columns.size(); ++c) {
      tables.push_back(columns[c].table);
      if (!IsHidden(columns[c])) visible.push_back(c);
    }
    image_token.clear();
    for (size_t c : visible) {
      if (columns[c].category != FieldBinary) continue;
      image_token = MakeImageToken(SiteSigner(), image_source, state.order_list,
                                   state.filter_text);
      image_query = ImageCellQuery(context->request.QueryString());
      break;
    }
    std::optional<MasterDetailColumns> master;
    if (master_detail) master = SplitMasterDetail(columns, visible, master_table);
    page_summaries.reset();
    if (!master && !is_columnar &&
        (summary_switches.RowSummaries() || summary_switches.ColumnSummaries())) {
      page_summaries.emplace(summary_switches, columns, visible,
                             [this](size_t c) { return NumberFormatEntry(c); });
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
    // The result is read once, forward: the grid keeps the rows it may show (the page, and the
    // first PageSize + 1 rows in case the whole result fits on one page) and counts the rest.
    rows.Reset(columns.size());
    const size_t shown_rows = static_cast<size_t>(std::max<int16_t>(state.page_size, 0));
    const size_t page_first = static_cast<size_t>(std::max<int32_t>(state.start_rec, 1) - 1);
    if (paging) {
      rows.Keep(0, shown_rows + 1);
      rows.Keep(page_first, shown_rows);
    } else {
      rows.KeepAll();
    }
    if (graph_type > 0 || graph_only) rows.KeepColumnsOfEveryRow(GraphColumnPositions());
    const int64_t page_size = state.page_size;
    // A master-detail grid pages, prints and counts groups of rows. Only the groups of the page
    // are needed, and every group of a result small enough to be shown whole: the reader passes
    // each row to groups->Add and keeps it when that says so. Pages count groups, so the
    // database cannot page such a grid by rows.
    std::optional<GroupIndex> groups;
    if (master) {
      const bool page_only = paging && !state.print_mode;
      groups.emplace(master->compared,
                     PageGroups(page_only, state.start_rec, page_size, INT64_MAX),
                     static_cast<size_t>(std::max<int64_t>(page_size, 0)) + 1);
      rows.SetRowHook([&groups](size_t r, const std::vector<Variant>& values) {
        return groups->Add(r, [&](size_t c) -> const Variant& { return values[c]; });
      });
    }

    step = 6;
    const size_t read =
        ReadGridRows(*recordset, filter_expression ? &*filter_expression : nullptr,
                     paged_in_database ? database_first_row : 0, 0, rows);
    rows.SetRowHook(nullptr);
    const Status fetched = recordset->status();
    recordset.reset();
    if (!fetched.ok()) WriteFatal(fetched.Description());
    const size_t row_count = paged_in_database ? database_row_count : read;
    rows.SetRowCount(row_count);
    if (groups) groups->Finish(row_count);
    if (row_count == 0) {
      WriteHtml("No records returned!");
      return;
    }
    const int64_t last = static_cast<int64_t>(row_count) - 1;
    const int64_t last_unit = groups ? groups->groups() - 1 : last;

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
    if (master) {
      // The open group is one of the page's; the title-bar link and the state field carry it.
      const GroupRange page = PageGroups(paging, state.start_rec, page_size, last_unit + 1);
      state.current_index =
          static_cast<int32_t>(ExpandedGroup(state.current_index, state.show_all, page));
    }
    std::string details_link;
    if (master && !is_columnar && !state.print_mode) {
      AppendDetailsLink(details_link, state.show_all, state.current_index, paging_link_class);
    }
    AppendTitleBar(out, filter, export_buttons, details_link);
    if (filter && !ThreadSettings().popup_filters) AppendInlineFilterRow(out, Look(), columns);
    WriteHtml(out);
    out.clear();

    step = 10;
    const bool row_layout = !is_columnar;
    auto header_row = [&] {
      if (master) {
        AppendHeaderRow(out, sort_links, master->master, add_row_numbers);
      } else {
        AppendHeaderRow(out, sort_links);
      }
    };
    auto open_table = [&] {
      AppendGridTableOpen(out, row_layout);
      if (row_layout) header_row();
    };
    const GroupLook group_look{add_row_numbers, is_columnar, state.show_all, state.current_index,
                               item_class,      item_style,  alt_class,      alt_style};
    // Writes rows first to end, or groups first to end in a master-detail grid.
    auto write_rows = [&](int64_t first, int64_t end) {
      for (int64_t r = first; r <= end; ++r) {
        const size_t row = static_cast<size_t>(r);
        if (master) {
          AppendGroup(out, *this, *master, r, groups->FirstRow(r), groups->EndRow(r), group_look);
        } else if (row_layout) {
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
    int64_t page_end = last_unit;
    if (state.print_mode) {
      // Printed pages hold PageSize + 1 rows (groups); without a page size (paging off) every
      // row goes on one printed page instead of one row per sheet.
      const int64_t block = page_size > 0 ? page_size + 1 : last_unit + 1;
      for (int64_t begin = 0; begin <= last_unit; begin += block) {
        const int64_t end = std::min(begin + block - 1, last_unit);
        write_rows(begin, end);
        out += "</table><div style=\"page-break-after:always;\">&nbsp;</div>";
        AppendGridTableOpen(out, row_layout);
        if (row_layout && end < last_unit) header_row();
        WriteHtml(out);
        out.clear();
      }
    } else if (!paging) {
      write_rows(0, last_unit);
    } else {
      page_end = std::min(first_row + page_size - 1, last_unit);
      write_rows(first_row, page_end);
    }
    AppendColumnSummaryRows(out, static_cast<size_t>(std::max<int64_t>(page_end, 0)));
    out += "</table>";

    step = 12;
    const NavigationBarInput bar{texts,
                                 static_cast<int>(first_row),
                                 state.page_size,
                                 static_cast<int>(last_unit),
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
    AppendFilterSortSummary(out, Look(), state.filter_text, state.order_list, columns,
                            formats.Captions());
    AppendSummaryBlock(out);
    if (!no_form) out += "</form>";
    WriteHtml(out);
    out.clear();

    step = 14;
    if (graph_type > 0) DrawGraph();
    if (master && state.print_mode) WriteHtml("<script>window.print();</script>");
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
  if (impl_->state.export_requested) {
    // Pages usually set the statement after the connection; the export then waits for Display.
    if (impl_->command.empty() && impl_->procedure_name.empty()) {
      impl_->export_pending = true;
    } else {
      impl_->RunExport();
    }
  }
}

bool DataGrid::OwnsConnection() const { return impl_->owns_connection; }
int16_t DataGrid::DatabaseKind() const { return impl_->database_kind; }
void DataGrid::Command(std::string sql) { impl_->command = std::move(sql); }
const std::string& DataGrid::Command() const { return impl_->command; }
void DataGrid::MasterTable(std::string table) {
  impl_->master_table = std::move(table);
  impl_->master_detail = true;
}
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
  impl_->formats.Caption(sColumn, sCaption);
}

void DataGrid::LinkColumn(std::string_view sColumn, std::string_view sUrl,
                          std::string_view sCaption, std::string_view sTarget) {
  impl_->formats.Link(sColumn, sUrl, sCaption, sTarget, impl_->link_class, impl_->link_style);
}

void DataGrid::DateColumn(std::string_view sColumn, std::string_view sFormat) {
  impl_->formats.Date(sColumn, sFormat);
}

void DataGrid::ReplaceColumn(std::string_view sColumn, std::string_view sReplaceText) {
  impl_->formats.Replace(sColumn, sReplaceText);
}

void DataGrid::HiddenColumn(std::string_view sColumn) { impl_->formats.Hidden(sColumn); }

void DataGrid::BoolColumn(std::string_view sColumn, std::string_view sTrue,
                          std::string_view sFalse) {
  impl_->formats.Boolean(sColumn, sTrue, sFalse);
}

void DataGrid::NumberColumn(std::string_view sColumn, int16_t iDec) {
  impl_->formats.Number(sColumn, NumberStyle::kNumber, iDec);
}

void DataGrid::PercentColumn(std::string_view sColumn, int16_t iDec) {
  impl_->formats.Number(sColumn, NumberStyle::kPercent, iDec);
}

void DataGrid::CurrencyColumn(std::string_view sColumn, int16_t iDec) {
  impl_->formats.Number(sColumn, NumberStyle::kCurrency, iDec);
}

void DataGrid::RegExColumn(std::string_view sColumn, std::string_view sPattern,
                           std::string_view sReplace) {
  impl_->formats.RegEx(sColumn, sPattern, sReplace);
}

void DataGrid::EncodeValues(bool on) { impl_->encode_values = on; }

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
void DataGrid::ShowRowTotal(bool on) { impl_->summary_switches.row_total = on; }
void DataGrid::ShowRowAverage(bool on) { impl_->summary_switches.row_average = on; }
void DataGrid::ShowColumnTotal(bool on) { impl_->summary_switches.column_total = on; }
void DataGrid::ShowColumnAverage(bool on) { impl_->summary_switches.column_average = on; }
void DataGrid::SummaryText(std::string items_text) {
  impl_->summary_text = std::move(items_text);
}
const std::string& DataGrid::OrderList() const { return impl_->state.order_list; }

bool DataGrid::ExportRequested() const { return impl_->state.export_requested; }
void DataGrid::RunExport() { impl_->RunExport(); }

bool DataGrid::GetTransactionStatus() const { return false; }

void DataGrid::Display() {
  Impl& grid = *impl_;
  int step = 0;
  try {
    step = 1;
    // Every entry of a column list is enclosed by "|||" on both sides from here on.
    grid.formats.EncloseLists();

    step = 2;
    if (grid.export_pending) grid.RunExport();
    if (grid.ActiveConnection() == nullptr) grid.WriteFatal(kNoConnectionDisplay);
    if (grid.image_request && !grid.ServeImageCell()) return;

    step = 3;
    if (grid.state.page_size == 0) grid.page_results = false;

    step = 4;
    if (grid.can_filter && ThreadSettings().popup_filters) {
      std::string script;
      AppendPopupFilterScript(script, grid.page_url, grid.database_kind);
      grid.WriteHtml(script);
    }

    step = 5;
    grid.image_source = grid.ImageSource();
    if (!grid.recordset) {
      if (!grid.procedure_name.empty()) {
        grid.OpenProcedureSource();
      } else if (grid.command.empty()) {
        grid.WriteFatal(kNoCommandDisplay);
      } else {
        // A page of a paged grid is all the database needs to return; a print view, a graph
        // or a row hook read the whole result.
        grid.OpenSqlSource(grid.page_results && grid.state.page_size > 0 &&
                           !grid.state.print_mode && grid.graph_type <= 0 && !grid.graph_only &&
                           !grid.master_detail && grid.master_table.empty() &&
                           !grid.rows.HasRowHook());
      }
    }

    step = 6;
    if (grid.master_detail && grid.master_table.empty()) {
      grid.WriteHtml(kNoMasterTable);
      grid.context->response.End();
    }
    // A master-detail grid is rendered by the same steps, with groups of rows in place of rows.
    if (grid.recordset) grid.RenderGrid();

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
