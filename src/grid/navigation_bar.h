#pragma once
// The bar below the grid table: page counter, first/previous/page-number/next/last links, and a
// second cell with the reset link, the page-size box and the reload link (a close link in print
// mode). Every link is a postback of the grid form; the bar is a pure function of its input.

#include <cstdint>
#include <string>
#include <string_view>

#include "grid/display_texts.h"

namespace quenmark {

struct NavigationBarInput {
  const DisplayTexts& texts;
  int start = 0;       ///< 0-based index of the first row of the page (StartRec - 1)
  int page_size = 10;  ///< PageSize; 0 or less means no paging links
  int last = 0;        ///< 0-based index of the last row of the result (rows - 1)
  bool paging = true;  ///< paging switch of this rendering (off in print mode, small results)
  bool print_mode = false;
  std::string_view table_width = "100%";  ///< TableWidth, written as is
  /// Ready-made attribute fragments (" class=\"x\"", " style=\"y\"", or empty).
  std::string_view footer_class = {};
  std::string_view footer_style = {};
  std::string_view paging_link_class = {};
  std::string_view paging_link_style = {};
  std::string_view text_box_style = {};
};

/// Appends the whole bar ("<table cellpadding=4 ...>" ... "</table>") to `out`.
void AppendNavigationBar(const NavigationBarInput& input, std::string& out);

/// Appends one paging link to row `row_index` (0-based): "&nbsp;<a ...>text</a>&nbsp;" when
/// enabled; when disabled a numeric text is written as "&nbsp;[text]&nbsp;" and anything else
/// is omitted.
void AppendNavLink(std::string_view text, int64_t row_index, bool enabled, std::string_view title,
                   std::string_view paging_link_class, std::string_view paging_link_style,
                   std::string& out);

/// The href of a postback carrying the argument text (action digit followed by pairs):
/// "javascript:__doPostBack('" + EncodeBase64(argument) + "')".
std::string GridPostBackHref(std::string_view argument);

}  // namespace quenmark
