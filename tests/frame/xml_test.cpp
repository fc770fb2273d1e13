#include "quenmark/xml.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace quenmark {
namespace {

namespace fs = std::filesystem;

class XmlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("quenmark_xml_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Path(const char* name) const { return (dir_ / name).string(); }
  fs::path dir_;
};

TEST_F(XmlTest, AttributesKeepInsertionOrderThroughASaveAndLoad) {
  XmlDocument doc;
  XmlNode root = doc.CreateDocumentElement("reports");
  XmlNode group = root.AppendElement("group");
  group.SetAttribute("title", "Sales & <More>");
  group.SetAttribute("id", "g1");
  group.SetAttribute("access", "all");
  group.SetAttribute("title", "Sales \"2004\"");  // changing a value keeps its place
  XmlNode report = group.AppendElement("report");
  report.SetText("a < b & c");

  ASSERT_TRUE(doc.Save(Path("reports.xml")).ok());
  XmlDocument loaded;
  ASSERT_TRUE(loaded.LoadFile(Path("reports.xml")).ok());
  EXPECT_EQ(loaded.ParseErrorCode(), 0);
  auto groups = loaded.ElementsByTagName("group");
  ASSERT_EQ(groups.size(), 1u);
  std::vector<std::pair<std::string, std::string>> expected = {
      {"title", "Sales \"2004\""}, {"id", "g1"}, {"access", "all"}};
  EXPECT_EQ(groups[0].Attributes(), expected);
  EXPECT_EQ(loaded.ElementsByTagName("report")[0].Text(), "a < b & c");
  EXPECT_EQ(loaded.DocumentElement().NodeName(), "reports");
}

TEST_F(XmlTest, ParseErrorsCarryCodeAndReason) {
  struct Case {
    const char* text;
    int line;
  };
  const Case cases[] = {{"<a><b></a>", 1},
                        {"", 1},
                        {"<a>\n<b x='1' x='2'/></a>", 2},
                        {"just text", 1},
                        {"<a>&undefined;</a>", 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    XmlDocument doc;
    Status status = doc.LoadXml(c.text);
    EXPECT_FALSE(status.ok());
    EXPECT_NE(doc.ParseErrorCode(), 0);
    EXPECT_FALSE(doc.ParseErrorReason().empty());
    EXPECT_EQ(status.Description(), doc.ParseErrorReason());
    EXPECT_EQ(doc.ParseErrorLine(), c.line);
    EXPECT_FALSE(doc.DocumentElement());
  }
  XmlDocument missing;
  EXPECT_FALSE(missing.LoadFile(Path("missing.xml")).ok());
  EXPECT_EQ(missing.ParseErrorCode(), XmlDocument::kFileNotFound);

  // A good load after a failed one clears the error.
  XmlDocument doc;
  EXPECT_FALSE(doc.LoadXml("<a>").ok());
  EXPECT_TRUE(doc.LoadXml("<a/>").ok());
  EXPECT_EQ(doc.ParseErrorCode(), 0);
  EXPECT_EQ(doc.ParseErrorReason(), "");
}

TEST_F(XmlTest, TreeEditing) {
  XmlDocument doc;
  ASSERT_TRUE(doc.LoadXml("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"
                          "<root><item id=\"1\">one</item><!-- c --><item id=\"2\">two</item>"
                          "<other><item id=\"3\"/></other></root>")
                  .ok());
  XmlNode root = doc.DocumentElement();
  EXPECT_EQ(root.ChildNodes().size(), 4u);
  EXPECT_EQ(root.ChildNodes()[1].NodeName(), "#comment");
  EXPECT_EQ(root.ChildElements().size(), 3u);
  EXPECT_EQ(root.ElementsByTagName("item").size(), 3u);
  EXPECT_EQ(doc.ElementsByTagName("*").size(), 5u);

  XmlNode first = root.ChildElements()[0];
  EXPECT_TRUE(root.RemoveChild(first));
  EXPECT_EQ(root.ElementsByTagName("item")[0].GetAttribute("id"), "2");
  XmlNode other = root.ChildElements()[1];
  XmlNode moved = root.ChildElements()[0];
  EXPECT_TRUE(other.AppendChild(moved));
  EXPECT_FALSE(moved.AppendChild(other.Parent()));  // an ancestor cannot move below itself
  EXPECT_EQ(other.ChildElements().size(), 2u);
  EXPECT_EQ(moved.Parent(), other);

  EXPECT_FALSE(root.AppendElement("bad name"));
  XmlNode added = root.AppendElement("note");
  added.SetText("caf\xC3\xA9");
  added.SetAttribute("k", "v");
  EXPECT_TRUE(added.HasAttribute("k"));
  added.RemoveAttribute("k");
  EXPECT_FALSE(added.HasAttribute("k"));
  EXPECT_EQ(added.ToXml(), "<note>caf\xC3\xA9</note>");
  EXPECT_FALSE(XmlNode().AppendElement("x"));  // null handles are harmless
}

TEST_F(XmlTest, Latin1FilesAreTranscoded) {
  {
    std::ofstream out(Path("locale.xml"), std::ios::binary);
    out << "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><texts><t k=\"\xE9t\xE9\">M\xFC"
           "nchen</t></texts>";
  }
  XmlDocument doc;
  ASSERT_TRUE(doc.LoadFile(Path("locale.xml")).ok()) << doc.ParseErrorReason();
  XmlNode text = doc.ElementsByTagName("t")[0];
  EXPECT_EQ(text.Text(), "M\xC3\xBCnchen");
  EXPECT_EQ(text.GetAttribute("k"), "\xC3\xA9t\xC3\xA9");
  // Saved back in its own encoding, and it still reads the same.
  ASSERT_TRUE(doc.Save(Path("locale.xml")).ok());
  XmlDocument again;
  ASSERT_TRUE(again.LoadFile(Path("locale.xml")).ok());
  EXPECT_EQ(again.ElementsByTagName("t")[0].Text(), "M\xC3\xBCnchen");
}

TEST_F(XmlTest, TransformsWithXslt) {
  XmlDocument data;
  ASSERT_TRUE(data.LoadXml("<table><tr><td>1</td><td>a&amp;b</td></tr>"
                           "<tr><td>2</td><td>c</td></tr></table>")
                  .ok());
  XmlDocument style;
  ASSERT_TRUE(style
                  .LoadXml("<xsl:stylesheet version=\"1.0\" "
                           "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                           "<xsl:output method=\"text\"/>"
                           "<xsl:template match=\"/\"><xsl:for-each select=\"table/tr\">"
                           "<xsl:value-of select=\"td[1]\"/>=<xsl:value-of select=\"td[2]\"/>;"
                           "</xsl:for-each></xsl:template></xsl:stylesheet>")
                  .ok());
  auto text = data.Transform(style);
  ASSERT_TRUE(text.ok()) << text.Description();
  EXPECT_EQ(*text, "1=a&b;2=c;");

  XmlDocument xml_style;
  ASSERT_TRUE(xml_style
                  .LoadXml("<xsl:stylesheet version=\"1.0\" "
                           "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                           "<xsl:output method=\"xml\" omit-xml-declaration=\"yes\"/>"
                           "<xsl:template match=\"/\"><dataset rows=\"{count(table/tr)}\"/>"
                           "</xsl:template></xsl:stylesheet>")
                  .ok());
  auto xml = data.Transform(xml_style);
  ASSERT_TRUE(xml.ok()) << xml.Description();
  EXPECT_EQ(*xml, "<dataset rows=\"2\"/>\n");
}

TEST_F(XmlTest, BrokenStylesheetsAndForbiddenWritesFail) {
  XmlDocument data;
  ASSERT_TRUE(data.LoadXml("<a/>").ok());
  XmlDocument not_xslt;
  ASSERT_TRUE(not_xslt.LoadXml("<html/>").ok());
  EXPECT_FALSE(data.Transform(not_xslt).ok());
  XmlDocument empty;
  EXPECT_FALSE(data.Transform(empty).ok());

  XmlDocument writer;
  const std::string target = Path("written.txt");
  ASSERT_TRUE(writer
                  .LoadXml("<xsl:stylesheet version=\"1.0\" "
                           "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\" "
                           "xmlns:exsl=\"http://exslt.org/common\" extension-element-prefixes="
                           "\"exsl\"><xsl:template match=\"/\"><exsl:document href=\"" +
                           target + "\">x</exsl:document></xsl:template></xsl:stylesheet>")
                  .ok());
  auto result = data.Transform(writer);
  EXPECT_FALSE(fs::exists(target));
  (void)result;
}

}  // namespace
}  // namespace quenmark
