#pragma once
// The grid's request state and the protocol that carries it between requests: the hidden fields
// of the grid's form, the encoded "__FARGS" postback argument, the sort-order arithmetic and the
// header cells whose links drive it.

#include <cstdint>
#include <string>
#include <string_view>

namespace quenmark {

class FieldCollection;

/// State a grid reads from the request and writes back into its form.
struct GridState {
  std::string return_report_id;  ///< "rurl1"
  int32_t start_rec = 0;         ///< 1-based first row of the page ("start")
  int16_t page_size = 0;         ///< rows per page ("npagesize", else "pagesize")
  int32_t current_index = 0;     ///< expanded master group ("curidx")
  bool show_all = false;         ///< every master group expanded ("showall")
  bool remove_sort = false;      ///< the click removes `sort_column` from the order ("rsort")
  std::string last_sort;         ///< order list shown when a header was clicked ("lastsort")
  std::string sort_column;       ///< clicked column, or the whole current list ("sort")
  std::string filter_text;       ///< record filter expression ("rsfilter")
  std::string order_list;        ///< computed by ComputeOrderList
  bool print_mode = false;
  bool export_requested = false;
  std::string export_format;   ///< lower case: "doc", "excel", "csv", "xml", "text", "print"
  std::string export_headers;  ///< captions joined by ","
  bool title_posted = false;   ///< an export postback carried a title
  std::string posted_title;
};

/// The state of a first request (no form posted): row 1, 10 rows per page, `rurl1` from the
/// query string, everything else empty.
void ReadQueryState(const FieldCollection& query_string, GridState& state);

/// Reads the posted fields "rurl1", "start", "npagesize"/"pagesize", "curidx", "showall",
/// "rsort", "lastsort", "sort" and "rsfilter" in that order. A value that does not convert leaves
/// its field as it was; a "start" that is not a positive number starts at row 1.
void ReadPostedFields(const FieldCollection& form, GridState& state);

/// Decodes the "__FARGS" value and applies its action (digits 1 to 7) to `state`. An empty value,
/// or one whose first decoded character is not a digit 1 to 7, changes nothing.
void ApplyPostbackArgument(std::string_view encoded_argument, GridState& state);

/// The order list that results from the sort state (`sort_column`, `last_sort`, `remove_sort`).
/// Only items that are a positive column position, optionally followed by " desc", are kept, so
/// the list is always safe to use as an ORDER BY list.
std::string ComputeOrderList(const GridState& state);

/// True when the comma-separated `list` holds `item` as one whole item.
bool OrderListHas(std::string_view list, std::string_view item);

/// The script that posts the grid's form with an argument; written once before the form.
extern const std::string_view kPostbackScript;

/// Appends "<input type=hidden name=" + name + " value=\"" + value + "\">", the value escaped
/// for a double-quoted attribute.
void AppendHiddenField(std::string& out, std::string_view name, std::string_view value);

/// Appends the hidden state fields, in order: sort, rsort, pagesize, curidx, showall, start,
/// rsfilter, __FARGS.
void AppendHiddenStateFields(std::string& out, const GridState& state);

/// Escapes &, <, >, " and ' for an HTML attribute value or text.
std::string EscapeHtml(std::string_view text);

/// Texts and attribute fragments a header cell is made of.
struct HeaderCellLook {
  std::string_view sort_asc_icon;      ///< sortcolasctext
  std::string_view sort_desc_icon;     ///< sortcoldesctext
  std::string_view sort_asc_title;     ///< sortcolasctitle
  std::string_view sort_desc_title;    ///< sortcoldesctitle
  std::string_view refresh_title;      ///< refreshtitle
  std::string_view reset_text;         ///< resettext
  std::string_view reset_title;        ///< resettitle
  std::string_view remove_sort_title;  ///< removesorttitle
  std::string_view header_text_style;  ///< HeaderTextStyle fragment
  std::string_view header_link_class;  ///< HeaderLinkClass fragment
  std::string_view header_link_style;  ///< HeaderLinkStyle fragment
  std::string_view paging_link_class;  ///< PagingLinkClass fragment
  std::string_view paging_link_style;  ///< PagingLinkStyle fragment
};

/// The inside of one header "<th>": a sort link for the column at 1-based `position` (0 is the
/// row-number column, whose link resets order and filter), with the sort icon and its
/// remove-sort link when the column is in `order_list`. A caption equal to the reset text gives
/// the reset link instead.
std::string HeaderCell(std::string_view caption, int position, bool sort_links,
                       std::string_view order_list, const HeaderCellLook& look);

}  // namespace quenmark
