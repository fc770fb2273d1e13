#include "grid/display_texts.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "quenmark/error.h"

namespace quenmark {
namespace {

TEST(DisplayTextsTest, EveryKeyIsDistinctAndFindsItsOwnText) {
  std::set<std::string_view> keys;
  for (std::size_t i = 0; i < kDisplayTextCount; ++i) {
    const auto text = static_cast<DisplayText>(i);
    const std::string_view key = DisplayTexts::KeyOf(text);
    EXPECT_TRUE(keys.insert(key).second) << key;
    EXPECT_EQ(DisplayTexts::FindKey(key), text) << key;
  }
  // 48 texts plus the page-number flag make the 49 keyed settings.
  EXPECT_EQ(keys.size(), 48u);
  EXPECT_FALSE(keys.contains("showpagenumbers"));
}

TEST(DisplayTextsTest, SetDisplayTextByKey) {
  const struct {
    std::string name;
    Variant value;
    bool changed;
    DisplayText text;
    std::string expected;
  } cases[] = {
      {"nexttext", "Next", true, DisplayText::kNextText, "Next"},
      {"NextText", "Next", false, DisplayText::kNextText, "&raquo;"},
      {"isgreatertext", "greater", true, DisplayText::kIsGreaterText, "greater"},
      {"isgreaterthantext", "plus grand que", true, DisplayText::kIsGreaterText, "plus grand que"},
      {"summarylabeltext", Variant(3), true, DisplayText::kSummaryLabelText, "3"},
      {"firsttext", Variant(), true, DisplayText::kFirstText, ""},
      {"unknown", "x", false, DisplayText::kFirstText, "&laquo; First"},
  };
  for (const auto& c : cases) {
    DisplayTexts texts;
    EXPECT_EQ(texts.SetDisplayText(c.name, c.value), c.changed) << c.name;
    EXPECT_EQ(texts.Get(c.text), c.expected) << c.name;
  }
}

TEST(DisplayTextsTest, ShowPageNumbersReadsABooleanText) {
  DisplayTexts texts;
  EXPECT_TRUE(texts.SetDisplayText("showpagenumbers", "False"));
  EXPECT_FALSE(texts.ShowPageNumbers());
  EXPECT_TRUE(texts.SetDisplayText("showpagenumbers", "true"));
  EXPECT_TRUE(texts.ShowPageNumbers());
  EXPECT_TRUE(texts.SetDisplayText("showpagenumbers", Variant(0)));
  EXPECT_FALSE(texts.ShowPageNumbers());

  texts.SetShowPageNumbers(true);
  EXPECT_THROW(texts.SetDisplayText("showpagenumbers", "sometimes"), Error);
  EXPECT_TRUE(texts.ShowPageNumbers());
  // The flag is not a text: the keyed setter leaves every text alone.
  EXPECT_FALSE(DisplayTexts::FindKey("showpagenumbers").has_value());
}

TEST(DisplayTextsTest, PositionalSettersFillTheirOwnSlots) {
  DisplayTexts texts;
  texts.SetLanguageText("f", "s", "b", "c", "eq", "ne", "lt", "gt");
  texts.SetNavigationText("first", "prev", "next", "last", "reset", "reload", "count", "size",
                          false);
  texts.SetHeaderIconText("refresh", "asc", "desc");
  const struct {
    DisplayText text;
    std::string expected;
  } cases[] = {
      {DisplayText::kFiltersLabelText, "f"},
      {DisplayText::kSortOrderLabelText, "s"},
      {DisplayText::kFilterButtonText, "b"},
      {DisplayText::kContainsText, "c"},
      {DisplayText::kIsEqualToText, "eq"},
      {DisplayText::kIsNotEqualToText, "ne"},
      {DisplayText::kIsLessThanText, "lt"},
      {DisplayText::kIsGreaterText, "gt"},
      {DisplayText::kFirstText, "first"},
      {DisplayText::kPrevText, "prev"},
      {DisplayText::kNextText, "next"},
      {DisplayText::kLastText, "last"},
      {DisplayText::kResetText, "reset"},
      {DisplayText::kReloadText, "reload"},
      {DisplayText::kPageCountText, "count"},
      {DisplayText::kPageSizeText, "size"},
      {DisplayText::kRefreshText, "refresh"},
      {DisplayText::kSortColAscText, "asc"},
      {DisplayText::kSortColDescText, "desc"},
      // Texts without a positional setter keep their defaults.
      {DisplayText::kFilterButtonTextPopup, "Search"},
      {DisplayText::kFirstTitle, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(texts.Get(c.text), c.expected) << DisplayTexts::KeyOf(c.text);
  }
  EXPECT_FALSE(texts.ShowPageNumbers());
}

}  // namespace
}  // namespace quenmark
