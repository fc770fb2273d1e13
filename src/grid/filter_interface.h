#pragma once
// The grid's filter interface: the inline filter row above the grid, the pop-up filter window
// (its opening script, its button in the title bar, and the window's page itself), and the line
// below the grid that shows the active filter and sort order in words.
//
// Contract: the inline row and the pop-up window post a column, an operator and a value (or, from
// the pop-up, a whole filter text); the next grid turns them into its client-side filter
// (query_composer.h). Every value that may come from the request is escaped for where it is
// written: HTML text, attribute, JavaScript string or URL. Captions and texts the page author set
// are markup and stay as they are, except in the pop-up window, whose lists may arrive in its
// address and are therefore always escaped. All functions only build text.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "grid/column_descriptors.h"
#include "grid/display_texts.h"

namespace quenmark {

/// Texts and ready-made attribute fragments (" class=\"x\"", " style=\"y\"", or empty) the
/// filter interface is drawn with.
struct FilterLook {
  const DisplayTexts& texts;
  std::string_view table_width = "100%";
  std::string_view footer_class = {};
  std::string_view footer_style = {};
  std::string_view filter_field_style = {};
  std::string_view paging_link_class = {};
  std::string_view paging_link_style = {};
};

/// The row of search field, operator and value boxes with its button, one table.
void AppendInlineFilterRow(std::string& out, const FilterLook& look,
                           const std::vector<ColumnDescriptor>& columns);

/// The script that opens the pop-up filter window (`__doGetBack`) centred over the page. The
/// date delimiter the window's filter builder uses is "#" for kind 1 (Access), "'" otherwise.
void AppendPopupFilterScript(std::string& out, std::string_view page_url, int16_t database_kind);

/// The text the pop-up window builds its lists from: five parts joined by "|||" (button text
/// and title, column names, captions, field categories, operator texts), the items of each part
/// joined by "|=|". Stored encoded in the session value "PopUpFilters".
std::string PopupFilterLists(const DisplayTexts& texts,
                             const std::vector<ColumnDescriptor>& columns);

/// The title-bar cell with the pop-up button: the hidden field "btnExpfilter" (the encoded lists
/// followed by "j") and the link that opens the window.
void AppendPopupFilterCell(std::string& out, const FilterLook& look,
                           std::string_view encoded_lists);

/// The whole pop-up window page for `lists` (the decoded text of PopupFilterLists) and the date
/// delimiter `del` the page was opened with; empty when `lists` is not well formed.
std::string PopupFilterPage(std::string_view lists, std::string_view del);

/// The filter and sort summary below the grid; nothing when both texts are empty. Conditions are
/// shown with the captions of `captions` (the grid's caption list), sort items with the captions
/// of `columns` by position.
void AppendFilterSortSummary(std::string& out, const FilterLook& look,
                             std::string_view filter_text, std::string_view order_list,
                             const std::vector<ColumnDescriptor>& columns,
                             std::string_view captions);

}  // namespace quenmark
