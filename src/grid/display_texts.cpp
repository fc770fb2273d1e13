#include "grid/display_texts.h"

#include <utility>

namespace quenmark {

namespace {

struct TextEntry {
  std::string_view key;
  std::string_view default_value;
};

// Indexed by DisplayText; keep in the order of the enum.
constexpr std::array<TextEntry, kDisplayTextCount> kEntries = {{
    {"firsttext", "&laquo; First"},
    {"firsttitle", ""},
    {"prevtext", "&laquo;"},
    {"prevtitle", ""},
    {"nexttext", "&raquo;"},
    {"nexttitle", ""},
    {"lasttext", "Last &raquo;"},
    {"lasttitle", ""},
    {"resettext", "Reset"},
    {"resettitle", ""},
    {"reloadtext", "Reload"},
    {"reloadtitle", ""},
    {"pagecounttext", "Page @CurrentPage of @NumOfPages (@NumOfRecs recs)"},
    {"pagesizetext", "Page Size:"},
    {"refreshtext", "<font face='MS OUTLOOK'>C</font>"},
    {"refreshtitle", ""},
    {"sortcolasctext", "+"},
    {"sortcolasctitle", ""},
    {"sortcoldesctext", "-"},
    {"sortcoldesctitle", ""},
    {"removesorttitle", ""},
    {"filterslabeltext", "<b>Filter(s):</b>"},
    {"sortorderlabeltext", "<b>Sort Order:</b>"},
    {"sortorderasctext", ""},
    {"sortorderdesctext", "<i>descending</i>"},
    {"summarylabeltext", "<b>Summary:</b>"},
    {"filterbuttontext", "Go"},
    {"filterbuttontextpopup", "Search"},
    {"filterbuttontitlepopup", "Filter this report"},
    {"containstext", "contains"},
    {"isequaltotext", "is equal to"},
    {"isnotequaltotext", "is not equal to"},
    {"isgreatertext", "is greater than"},
    {"islessthantext", "is less than"},
    {"printtext", "Print"},
    {"printtitle", ""},
    {"xlstext", "Excel"},
    {"xlstitle", ""},
    {"csvtext", "CSV"},
    {"csvtitle", ""},
    {"xmltext", "XML"},
    {"xmltitle", ""},
    {"txttext", "Text"},
    {"txttitle", ""},
    {"pdftext", "PDF"},
    {"pdftitle", ""},
    {"doctext", "Doc"},
    {"doctitle", ""},
}};

constexpr std::string_view kShowPageNumbersKey = "showpagenumbers";
// The default locale document names the greater-than condition IsGreaterThanText.
constexpr std::string_view kGreaterThanAlias = "isgreaterthantext";

}  // namespace

DisplayTexts::DisplayTexts() {
  for (std::size_t i = 0; i < kDisplayTextCount; ++i) texts_[i] = kEntries[i].default_value;
}

std::string_view DisplayTexts::KeyOf(DisplayText text) {
  return kEntries[static_cast<std::size_t>(text)].key;
}

std::optional<DisplayText> DisplayTexts::FindKey(std::string_view key) {
  if (key == kGreaterThanAlias) return DisplayText::kIsGreaterText;
  for (std::size_t i = 0; i < kDisplayTextCount; ++i) {
    if (kEntries[i].key == key) return static_cast<DisplayText>(i);
  }
  return std::nullopt;
}

void DisplayTexts::SetLanguageText(std::string sFilter, std::string sSortText,
                                   std::string sFilterButton, std::string sContains,
                                   std::string sIsEqualTo, std::string sIsNotEqualTo,
                                   std::string sIsLessThan, std::string sIsGreaterThan) {
  Set(DisplayText::kFiltersLabelText, std::move(sFilter));
  Set(DisplayText::kSortOrderLabelText, std::move(sSortText));
  Set(DisplayText::kFilterButtonText, std::move(sFilterButton));
  Set(DisplayText::kContainsText, std::move(sContains));
  Set(DisplayText::kIsEqualToText, std::move(sIsEqualTo));
  Set(DisplayText::kIsNotEqualToText, std::move(sIsNotEqualTo));
  Set(DisplayText::kIsLessThanText, std::move(sIsLessThan));
  Set(DisplayText::kIsGreaterText, std::move(sIsGreaterThan));
}

void DisplayTexts::SetNavigationText(std::string sFirst, std::string sPrev, std::string sNext,
                                     std::string sLast, std::string sReset, std::string sReload,
                                     std::string sPageCount, std::string sPageSize,
                                     bool bShowPageNumbers) {
  Set(DisplayText::kFirstText, std::move(sFirst));
  Set(DisplayText::kPrevText, std::move(sPrev));
  Set(DisplayText::kNextText, std::move(sNext));
  Set(DisplayText::kLastText, std::move(sLast));
  Set(DisplayText::kResetText, std::move(sReset));
  Set(DisplayText::kReloadText, std::move(sReload));
  Set(DisplayText::kPageCountText, std::move(sPageCount));
  Set(DisplayText::kPageSizeText, std::move(sPageSize));
  show_page_numbers_ = bShowPageNumbers;
}

void DisplayTexts::SetHeaderIconText(std::string sRefresh, std::string sColumnAsc,
                                     std::string sColumnDesc) {
  Set(DisplayText::kRefreshText, std::move(sRefresh));
  Set(DisplayText::kSortColAscText, std::move(sColumnAsc));
  Set(DisplayText::kSortColDescText, std::move(sColumnDesc));
}

bool DisplayTexts::SetDisplayText(std::string_view strName, const Variant& strValue) {
  if (strName == kShowPageNumbersKey) {
    // Converted before assignment so that a rejected value leaves the flag as it was.
    show_page_numbers_ = strValue.ToBoolean();
    return true;
  }
  const std::optional<DisplayText> text = FindKey(strName);
  if (!text) return false;
  Set(*text, strValue.ToText());
  return true;
}

}  // namespace quenmark
