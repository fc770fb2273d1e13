// Locale files: the default document, the file a browser language selects, reading and adding
// keys.

#include "reports/locale_file.h"

#include <gtest/gtest.h>

#include "host/temp_site.h"
#include "quenmark/xml.h"

namespace {

using namespace quenmark::reports;
using quenmark::test_support::TempSite;

TEST(LocaleFile, DefaultDocumentHoldsEveryKeyInOrder) {
  quenmark::XmlDocument document;
  ASSERT_TRUE(document.LoadXml(DefaultLocaleDocument()).ok());
  EXPECT_EQ(document.DocumentElement().NodeName(), "Locale");
  EXPECT_EQ(document.DocumentElement().GetAttribute("version"), "1.0");
  std::string keys;
  for (const auto& element : document.DocumentElement().ChildElements()) {
    keys += element.NodeName() + ",";
  }
  EXPECT_EQ(keys,
            "CloseText,HomeText,BuildText,CloseTitle,BuildTitle,HomeTitle,FilterButtonText,"
            "FilterButtonTextPopUp,FilterButtonTitlePopUp,ContainsText,IsEqualToText,"
            "IsNotEqualToText,IsGreaterThanText,IsLessThanText,FiltersLabelText,"
            "SortOrderLabelText,SortOrderAscText,SortOrderDescText,SummaryLabelText,FirstText,"
            "PrevText,NextText,LastText,ResetText,ReloadText,PageCountText,PageSizeText,"
            "ShowPageNumbers,FirstTitle,PrevTitle,NextTitle,LastTitle,ResetTitle,ReloadTitle,"
            "RefreshText,SortColAscText,SortColDescText,RefreshTitle,SortColAscTitle,"
            "SortColDescTitle,RemoveSortTitle,PrintText,PrintTitle,XLSText,XLSTitle,CSVText,"
            "CSVTitle,XMLText,XMLTitle,TXTText,TXTTitle,PDFText,PDFTitle,DOCText,DOCTitle,");
  int comments = 0;
  for (const auto& node : document.DocumentElement().ChildNodes()) {
    comments += node.NodeName() == "#comment";
  }
  EXPECT_EQ(comments, 12);
}

TEST(LocaleFile, FileForLanguage) {
  struct Case {
    const char* header;
    const char* file;
  };
  const Case cases[] = {
      {"en-US,fr;q=0.5", "/l/locale_en.xml"},
      {"de-DE", "/l/locale_de.xml"},
      {"fr;q=0.8, en", "/l/locale_fr.xml"},
      {"", "/l/locale.xml"},
      {"../../etc", ""},
      {"de_DE", ""},
      {"abcdefghijklmnopq", ""},
      {"-x", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LocaleFileForLanguage("/l/", c.header), c.file) << c.header;
  }
}

TEST(LocaleFile, ReadingAndAddingKeys) {
  TempSite site;
  const std::string path = site.Write("locale.xml",
                                      "<Locale version=\"1.0\"><!-- c --><CLOSETEXT>Zu</CLOSETEXT>"
                                      "<HomeText> Start </HomeText></Locale>");
  EXPECT_EQ(*ReadLocaleKey(path, "HomeText", "Home"), " Start ");
  EXPECT_EQ(*ReadLocaleKey(path, "CloseText", "Close"), "Close");  // exact case
  EXPECT_EQ(*ReadLocaleKey(path, "CloseText", "Other"), "Close");  // added once
  auto entries = LocaleEntries(path);
  ASSERT_TRUE(entries.ok());
  ASSERT_EQ(entries->size(), 3u);
  EXPECT_EQ((*entries)[1], (std::pair<std::string, std::string>{"HomeText", "Start"}));
  EXPECT_EQ((*entries)[2], (std::pair<std::string, std::string>{"CloseText", "Close"}));
  EXPECT_EQ(*ReadLocaleKey(path, "bad name", "kept"), "kept");

  EXPECT_FALSE(ReadLocaleKey(site.Path("missing.xml"), "x", "y").ok());
  ASSERT_TRUE(WriteDefaultLocaleIfMissing(site.Path("new.xml")).ok());
  EXPECT_EQ(*ReadLocaleKey(site.Path("new.xml"), "NextText", "?"), "»");
  ASSERT_TRUE(WriteDefaultLocaleIfMissing(path).ok());
  EXPECT_EQ(*ReadLocaleKey(path, "HomeText", "Home"), " Start ");  // left alone
}

}  // namespace
