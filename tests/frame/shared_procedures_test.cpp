#include "quenmark/shared_procedures.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "quenmark/shared_settings.h"

namespace quenmark {
namespace {

class SharedProceduresTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetThreadSettings(); }
  void TearDown() override { ResetThreadSettings(); }
};

TEST_F(SharedProceduresTest, DetectDatabaseKindFollowsTheRuleOrder) {
  struct Case {
    const char* connection;
    int16_t kind;
  };
  const Case cases[] = {
      {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=a.mdb", DbAccess},
      {"Provider=Microsoft.Jet.OLEDB.4.0;Extended Properties=\"Excel 8.0\"", DbExcel},
      {"Provider=Microsoft.Jet.OLEDB.4.0;Extended Properties=\"text;HDR=Yes\"", DbText},
      {"DSN=x;SourceType=DBC", DbDbc},
      {"access", DbAccess},
      {"SQL Server", DbSqlServer},
      {"sqlserver", DbSqlServer},
      {"Provider=SQLOLEDB;Data Source=srv", DbSqlServer},
      {"Driver={MySQL ODBC 8.0 Driver};Server=x", DbMySql},
      {"Provider=MSDASQL;Driver={MySQL ODBC 8.0 Driver};Server=x", DbSqlServer},
      {"Provider=MSDAORA;Data Source=x", DbOracle},
      {"Provider=ASAProv;Data Source=x", DbSybase},
      {"Provider=SQLite;Data Source=demo.db", DbSqlite},
      {"sqlite:demo.db", DbSqlite},
      {"postgresql://user@host/db", DbPostgres},
      {"Provider=PostgreSQL;Host=h", DbPostgres},
      {"Driver={PostgreSQL Unicode};Server=h", DbPostgres},
      {"Provider=SQLite;Data Source=mysql_copy.db", DbMySql},
      {"", DbUnknown},
      {"other", DbUnknown}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.connection);
    EXPECT_EQ(DetectDatabaseKind(c.connection), c.kind);
  }
}

TEST_F(SharedProceduresTest, OverrideWinsOnlyInRange) {
  struct Case {
    int16_t override_kind;
    int16_t expected;
  };
  const Case cases[] = {{2, 2}, {10, 10}, {1, 1}, {-1, DbMySql}, {0, DbMySql}, {11, DbMySql}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.override_kind);
    ThreadSettings().database_kind_override = c.override_kind;
    EXPECT_EQ(DetectDatabaseKind("Driver={MySQL};"), c.expected);
  }
}

TEST_F(SharedProceduresTest, SettingsArePerThreadAndReset) {
  ThreadSettings().images_url = "img/";
  ThreadSettings().database_kind_override = 2;
  std::string seen_url = "unset";
  int16_t seen_kind = -5;
  std::thread other([&] {
    seen_url = ThreadSettings().images_url;
    seen_kind = DetectDatabaseKind("sqlite:x");
  });
  other.join();
  EXPECT_EQ(seen_url, "");
  EXPECT_EQ(seen_kind, DbSqlite);
  ResetThreadSettings();
  EXPECT_EQ(ThreadSettings().images_url, "");
  EXPECT_EQ(ThreadSettings().database_kind_override, 0);
}

TEST_F(SharedProceduresTest, ClassifyFieldType) {
  struct Case {
    const char* value;
    int16_t mode;
    int16_t expected;
  };
  const Case cases[] = {{"smalldatetime", 2, FieldDate},
                        {"nvarchar", 2, FieldText},
                        {"Integer", 2, FieldText},
                        {"int", 2, FieldNumber},
                        {"smallmoney", 2, FieldMoney},
                        {"bit", 2, FieldBoolean},
                        {"bits", 2, FieldText},
                        {"timestamp", 2, FieldBinary},
                        {"image", 2, FieldBinary},
                        {"varbinary", 2, FieldBinary},
                        {"datetext", 2, FieldText},
                        {"17", 1, FieldBoolean},
                        {"999", 1, FieldText},
                        {"3", 1, FieldNumber},
                        {"135", 1, FieldDate},
                        {"6", 1, FieldMoney},
                        {"72", 1, FieldGuid},
                        {"205", 1, FieldBinary},
                        {"abc", 1, FieldText},
                        {"int", 3, FieldText}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.value) + " mode " + std::to_string(c.mode));
    EXPECT_EQ(ClassifyFieldType(c.value, c.mode), c.expected);
  }
  EXPECT_EQ(ClassifyFieldType(131), FieldNumber);
  EXPECT_EQ(ClassifyFieldType(128), FieldText);
}

TEST_F(SharedProceduresTest, QuoteName) {
  struct Case {
    int16_t kind;
    const char* name;
    const char* expected;
  };
  const Case cases[] = {{DbSqlServer, "  dbo.Orders ", "[dbo].[Orders]"},
                        {DbSqlServer, "a.b.c", "[a].[b.c]"},
                        {DbMySql, "Order Details", "`Order Details`"},
                        {DbOracle, "ORDERS", "ORDERS"},
                        {DbOracle, "Order Details", "[Order Details]"},
                        {DbUnknown, "x.y", "x.y"},
                        {DbAccess, "*", "*"},
                        {DbMySql, " * ", "*"},
                        {DbSqlite, "Orders", "[Orders]"},
                        {DbSybase, "x", "[x]"},
                        {DbPostgres, "public.Orders", "\"public\".\"Orders\""},
                        {DbSqlServer, "a]b", "[a]]b]"},
                        {DbPostgres, "a\"b", "\"a\"\"b\""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(QuoteName(c.kind, c.name), c.expected);
  }
  EXPECT_EQ(QuoteNameList(DbSqlServer, "a, b ,dbo.c"), "[a],[b],[dbo].[c]");
  EXPECT_EQ(QuoteNameList(DbOracle, "a,b c"), "a,[b c]");
  EXPECT_EQ(QuoteNameList(DbSqlServer, ""), "");
}

TEST_F(SharedProceduresTest, FormatDate) {
  struct Case {
    const char* value;
    const char* format;
    const char* expected;
  };
  const Case cases[] = {{"3/1/2004 15:05:09", "%A, %B %d%O %Y %H:%N:%S %P",
                         "Monday, March 1<sup>st</sup> 2004 15:05:09 PM"},
                        {"2004-03-01 15:00", "%h%n %P", "3 PM"},
                        {"2004-03-01 15:05", "%h%n %P", "3:05 PM"},
                        {"2004-03-01 00:07", "%h:%N %P", "12:07 AM"},
                        {"2004-03-01 12:07", "%h %P", "12 PM"},
                        {"2004-03-05", "%m/%D/%y %b %a %w %j", "3/05/04 Mar Fri 6 65"},
                        {"2009-12-31", "%j %Y %y", "365 2009 09"},
                        {"2004-02-22", "%d%O", "22<sup>nd</sup>"},
                        {"not a date", "%Y", "not a date"},
                        {"", "%Y", ""},
                        {"2004-03-01", "plain %x %", "plain %x %"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    EXPECT_EQ(FormatDate(c.value, c.format), c.expected);
  }
}

TEST_F(SharedProceduresTest, OrdinalSuffix) {
  std::string all;
  for (int16_t day : {1, 2, 3, 4, 11, 12, 13, 21, 22, 23, 31, 0}) all += OrdinalSuffix(day);
  EXPECT_EQ(all,
            "<sup>st</sup><sup>nd</sup><sup>rd</sup><sup>th</sup><sup>th</sup><sup>th</sup>"
            "<sup>th</sup><sup>st</sup><sup>nd</sup><sup>rd</sup><sup>st</sup><sup>th</sup>");
}

TEST_F(SharedProceduresTest, Base64FillsWithBlanksAndNeverPads) {
  struct Case {
    const char* text;
    const char* encoded;
  };
  // e acute is 0xE9 and the euro sign 0x80 in Windows-1252; a CJK character becomes "?".
  const Case cases[] = {{"", ""},
                        {"A", "QSAg"},
                        {"ab", "YWIg"},
                        {"abc", "YWJj"},
                        {"\xC3\xA9", "6SAg"},
                        {"\xE2\x82\xAC", "gCAg"},
                        {"\xE4\xB8\xAD", "PyAg"},
                        {"sql:SELECT * FROM x;", "c3FsOlNFTEVDVCAqIEZST00geDsg"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string encoded = EncodeBase64(c.text);
    EXPECT_EQ(encoded, c.encoded);
    EXPECT_EQ(encoded.find('='), std::string::npos);
  }
  EXPECT_EQ(DecodeBase64(EncodeBase64("ab")), "ab ");
  EXPECT_EQ(DecodeBase64(EncodeBase64("caf\xC3\xA9 \xE2\x82\xAC")), "caf\xC3\xA9 \xE2\x82\xAC");
  // Every byte decodes to a character that encodes back to the same byte.
  const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (int b = 0; b < 256; ++b) {
    SCOPED_TRACE(b);
    // Three equal bytes b b b in the standard bit order.
    std::string group = {alphabet[b >> 2], alphabet[((b & 3) << 4) | (b >> 4)],
                         alphabet[((b & 15) << 2) | (b >> 6)], alphabet[b & 63]};
    EXPECT_EQ(EncodeBase64(DecodeBase64(group)), group);
  }
}

TEST_F(SharedProceduresTest, DecodeBase64TreatsForeignCharactersAs63) {
  // "=" and blanks decode like "/" (63); a short text is blank-filled to a whole group.
  EXPECT_EQ(DecodeBase64("QQ=="), DecodeBase64("QQ//"));
  EXPECT_EQ(DecodeBase64("QQ"), DecodeBase64("QQ//"));
  EXPECT_EQ(DecodeBase64("YW*j"), DecodeBase64("YW/j"));
  // A non-ASCII character is one character, hence one 63, whatever its length in bytes.
  EXPECT_EQ(DecodeBase64("YW\xC3\xA9j"), DecodeBase64("YW/j"));
  EXPECT_EQ(DecodeBase64("QQ\xE2\x82\xAC"), DecodeBase64("QQ//"));
  EXPECT_EQ(DecodeBase64("YWJj"), "abc");
  EXPECT_EQ(DecodeBase64(""), "");
  // Bytes 0x80-0xFF come back as their Windows-1252 characters in UTF-8.
  EXPECT_EQ(DecodeBase64("gIGf"), "\xE2\x82\xAC\xC2\x81\xC5\xB8");
}

TEST_F(SharedProceduresTest, GetArgument) {
  struct Case {
    const char* text;
    const char* key;
    const char* expected;
  };
  const Case cases[] = {{"fmt:1;sql:SELECT 1;", "sql", "SELECT 1"},
                        {"fmt:1;sql:SELECT 1", "sql", "SELECT 1"},
                        {"xfmt:1;", "fmt", ""},
                        {"xfmt:1;fmt:2;", "fmt", "2"},
                        {";fmt:3;", "fmt", "3"},
                        {"fmt:1;", "missing", ""},
                        {"Fmt:1;", "fmt", ""},
                        {"a:;b:2", "a", ""},
                        {"a:x:y;", "a", "x:y"},
                        {"", "a", ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " / " + c.key);
    EXPECT_EQ(GetArgument(c.text, c.key), c.expected);
  }
}

TEST_F(SharedProceduresTest, TextBeforeAndAfter) {
  struct Case {
    const char* text;
    const char* separator;
    const char* before;
    const char* after;
  };
  const Case cases[] = {{"a=b", "=", "a", "b"},
                        {"=b", "=", "=b", ""},
                        {"ab", "=", "ab", ""},
                        {"a|=|b|=|c", "|=|", "a", "b|=|c"},
                        {"", "=", "", ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(TextBefore(c.text, c.separator), c.before);
    EXPECT_EQ(TextAfter(c.text, c.separator), c.after);
  }
}

TEST_F(SharedProceduresTest, KeepAllowedChars) {
  struct Case {
    const char* text;
    const char* extra;
    const char* expected;
  };
  const Case cases[] = {{"Total Sales (2004)!", "", "TotalSales2004"},
                        {"<b>Bold</b> text", "", "Boldtext"},
                        {"a_b-c d", "_ ", "a_bc d"},
                        {"caf\xC3\xA9", "", "caf"},
                        {"caf\xC3\xA9", "\xC3\xA9", "caf\xC3\xA9"},
                        {"a<unclosed b", "", "a"},
                        {"x>y", "", "xy"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(KeepAllowedChars(c.text, c.extra), c.expected);
  }
}

TEST_F(SharedProceduresTest, MakeLink) {
  ThreadSettings().images_url = "images/";
  struct Case {
    const char* text;
    const char* title;
    const char* href;
    const char* class_name;
    const char* style;
    const char* target;
    const char* expected;
  };
  const Case cases[] = {
      {"logo.gif", "Logo", "", "", "", "",
       "<img src=\"images/logo.gif\" alt=\"Logo\" border=\"0\"  align=\"absmiddle\"/>"},
      {"photo.JPG", "", "", "", "", "",
       "<img src=\"images/photo.JPG\" border=\"0\"  align=\"absmiddle\"/>"},
      {"Orders", "Open", "o.asp", "lnk", "", "_blank",
       "<a  href=\"o.asp\" class=\"lnk\" target=\"_blank\" title=\"Open\">Orders</a>"},
      {"Orders", "", "o.asp", " class=\"x\"", "color:red", "",
       "<a  href=\"o.asp\" class=\"x\" style=\"color:red\">Orders</a>"},
      {"v1.5", "Version", "v.asp", "", "", "", "<a  href=\"v.asp\">v1.5</a>"},
      {"v1.5", "Version", "", "", "", "", "v1.5"},
      {"Plain", "Tip", "", "", "", "", "Plain"},
      {"pic.png", "P", "big.png", "", "", "",
       "<a  href=\"big.png\"><img src=\"images/pic.png\" alt=\"P\" border=\"0\"  "
       "align=\"absmiddle\"/></a>"},
      {".", "", "", "", "", "", "."},
      {"a.jpeg", "", "", "", "", "", "a.jpeg"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(MakeLink(c.text, c.title, c.href, c.class_name, c.style, c.target), c.expected);
  }
}

TEST_F(SharedProceduresTest, GeneratedIdsAndRandomTexts) {
  std::string id = GenerateId();
  ASSERT_EQ(id.size(), 10u);
  EXPECT_EQ(id.find_first_not_of("0123456789"), std::string::npos);
  EXPECT_NE(id.back(), '0');

  EXPECT_EQ(RandomText(0), "");
  EXPECT_EQ(RandomText(-3), "");
  std::set<std::string> seen;
  for (int i = 0; i < 50; ++i) {
    std::string text = RandomText(12);
    ASSERT_EQ(text.size(), 12u);
    for (char c : text) EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c)));
    seen.insert(text);
  }
  // Calls within the same clock tick still differ.
  EXPECT_EQ(seen.size(), 50u);
}

}  // namespace
}  // namespace quenmark
