#pragma once
// The named texts a grid writes around its rows: navigation links, filter and sort labels,
// header icons, export buttons and their tooltips, plus the page-number switch. Page scripts
// replace them through three positional setters or by key; the report manager feeds locale
// files through the keyed setter.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "quenmark/variant.h"

namespace quenmark {

/// One text of the grid; the order matches the key table in display_texts.cpp.
enum class DisplayText {
  kFirstText,
  kFirstTitle,
  kPrevText,
  kPrevTitle,
  kNextText,
  kNextTitle,
  kLastText,
  kLastTitle,
  kResetText,
  kResetTitle,
  kReloadText,
  kReloadTitle,
  kPageCountText,
  kPageSizeText,
  kRefreshText,
  kRefreshTitle,
  kSortColAscText,
  kSortColAscTitle,
  kSortColDescText,
  kSortColDescTitle,
  kRemoveSortTitle,
  kFiltersLabelText,
  kSortOrderLabelText,
  kSortOrderAscText,
  kSortOrderDescText,
  kSummaryLabelText,
  kFilterButtonText,
  kFilterButtonTextPopup,
  kFilterButtonTitlePopup,
  kContainsText,
  kIsEqualToText,
  kIsNotEqualToText,
  kIsGreaterText,
  kIsLessThanText,
  kPrintText,
  kPrintTitle,
  kXlsText,
  kXlsTitle,
  kCsvText,
  kCsvTitle,
  kXmlText,
  kXmlTitle,
  kTxtText,
  kTxtTitle,
  kPdfText,
  kPdfTitle,
  kDocText,
  kDocTitle,
};

/// Number of texts (the page-number switch is kept apart as a flag).
inline constexpr std::size_t kDisplayTextCount =
    static_cast<std::size_t>(DisplayText::kDocTitle) + 1;

/// The texts of one grid. A default-constructed object holds the defaults a new grid shows.
/// Texts are the page author's markup and are stored and written unchanged.
class DisplayTexts {
 public:
  DisplayTexts();

  const std::string& Get(DisplayText text) const { return texts_[static_cast<std::size_t>(text)]; }
  void Set(DisplayText text, std::string value) {
    texts_[static_cast<std::size_t>(text)] = std::move(value);
  }
  bool ShowPageNumbers() const { return show_page_numbers_; }
  void SetShowPageNumbers(bool show) { show_page_numbers_ = show; }

  /// The lower-case key of a text ("firsttext", "isgreatertext", ...).
  static std::string_view KeyOf(DisplayText text);
  /// The text whose key equals `key` exactly (case-sensitive); "isgreaterthantext" is accepted
  /// for "isgreatertext" so that locale files can set it. "showpagenumbers" is not a text and
  /// gives nullopt, as does any unknown key.
  static std::optional<DisplayText> FindKey(std::string_view key);

  void SetLanguageText(std::string sFilter, std::string sSortText, std::string sFilterButton,
                       std::string sContains, std::string sIsEqualTo, std::string sIsNotEqualTo,
                       std::string sIsLessThan, std::string sIsGreaterThan);
  void SetNavigationText(std::string sFirst, std::string sPrev, std::string sNext,
                         std::string sLast, std::string sReset, std::string sReload,
                         std::string sPageCount, std::string sPageSize, bool bShowPageNumbers);
  void SetHeaderIconText(std::string sRefresh, std::string sColumnAsc, std::string sColumnDesc);

  /// Sets the text keyed `strName` to `strValue` as text. "showpagenumbers" sets the flag from
  /// the value read as a boolean; a value that is not a boolean text throws quenmark::Error
  /// (type mismatch) and changes nothing. An unknown key changes nothing. Returns whether a
  /// text or the flag was set.
  bool SetDisplayText(std::string_view strName, const Variant& strValue);

 private:
  std::array<std::string, kDisplayTextCount> texts_;
  bool show_page_numbers_ = true;
};

}  // namespace quenmark
