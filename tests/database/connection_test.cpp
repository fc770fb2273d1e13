// Choosing the driver from the connection string, read-only opening, type names, and the
// script-facing connection object.
#include <gtest/gtest.h>

#include <filesystem>

#include "frame/database/drivers.h"
#include "quenmark/connection_object.h"
#include "quenmark/database.h"
#include "support/fixture_db.h"

namespace quenmark {
namespace {

namespace fs = std::filesystem;

TEST(ConnectionOpen, PicksTheDriverOrExplainsTheFailure) {
  const std::string fixture = fixture::FixtureDatabasePath();
  struct Case {
    std::string text;
    const char* failure;  // null: opens
  };
  const Case cases[] = {
      {"Provider=SQLite;Data Source=" + fixture, nullptr},
      {"provider=sqlite; data source = " + fixture + " ;", nullptr},
      {"sqlite:" + fixture, nullptr},
      {"Data Source=" + fixture, nullptr},
      {"", "empty"},
      {"Provider=Nothing;Foo=1", "names no database driver"},
      {"Provider=SQLite;Data Source=/no/such/dir/store.db", "Cannot open the SQLite database"},
      {"Provider=SQLite", "names no SQLite database file"},
      {"Driver={No Such Driver};Database=x", "Cannot connect through ODBC"},
      {"postgresql://127.0.0.1:1/none?connect_timeout=2", "Cannot connect to PostgreSQL"},
      {"Provider=PostgreSQL;Host=127.0.0.1;Port=1;Database=x;Timeout=2", "Cannot connect to PostgreSQL"},
  };
  for (const Case& c : cases) {
    auto opened = Connection::Open(c.text);
    if (!c.failure) {
      ASSERT_TRUE(opened.ok()) << c.text << ": " << opened.Description();
      EXPECT_EQ((*opened)->ConnectionString(), c.text);
      EXPECT_TRUE((*opened)->IsOpen());
    } else {
      ASSERT_FALSE(opened.ok()) << c.text;
      EXPECT_NE(opened.Description().find(c.failure), std::string::npos)
          << c.text << " gave: " << opened.Description();
    }
  }
}

TEST(ConnectionOpen, SqliteIsReadOnlyUnlessTheStringAsksForWriting) {
  const fs::path copy = fs::path(QUENMARK_BINARY_DIR) / "connection_test_copy.db";
  fs::copy_file(fixture::FixtureDatabasePath(), copy, fs::copy_options::overwrite_existing);
  const std::string insert = "INSERT INTO Shippers (CompanyName) VALUES ('Night Owl Couriers')";
  {
    auto reader = Connection::Open("Provider=SQLite;Data Source=" + copy.string());
    ASSERT_TRUE(reader.ok());
    auto denied = (*reader)->Execute(insert);
    ASSERT_FALSE(denied.ok());
    EXPECT_NE(denied.Description().find("readonly"), std::string::npos) << denied.Description();
    // Nothing reaches another file or changes the connection for its next user.
    const fs::path written = fs::path(QUENMARK_BINARY_DIR) / "connection_test_vacuum.db";
    fs::remove(written);
    for (const std::string& sql :
         {"VACUUM INTO '" + written.string() + "'", "ATTACH '" + written.string() + "' AS x",
          std::string("CREATE TEMP TABLE t (a)"), std::string("PRAGMA case_sensitive_like = 1"),
          std::string("PRAGMA main.journal_mode = DELETE")}) {
      auto refused = (*reader)->Execute(sql);
      EXPECT_FALSE(refused.ok()) << sql;
    }
    EXPECT_FALSE(fs::exists(written));
    auto described = (*reader)->Execute("PRAGMA table_info(Shippers)");
    EXPECT_TRUE(described.ok()) << described.Description();
  }
  for (const std::string& text : {"Provider=SQLite;Mode=ReadWrite;Data Source=" + copy.string(),
                                  "sqlite:" + copy.string() + "?mode=rw"}) {
    auto writer = Connection::Open(text);
    ASSERT_TRUE(writer.ok()) << writer.Description();
    auto done = (*writer)->Execute(insert + "; SELECT COUNT(*) FROM Shippers");
    ASSERT_TRUE(done.ok()) << done.Description();
    EXPECT_GE((*done)->Value(0).ToInt32(), 4);
  }
  fs::remove(copy);
}

TEST(ConnectionStringParts, ReadsQuotedAndBracedValues) {
  db::ConnectionStringParts parts("Driver={SQLite3;x}; Database='a;b' ; Mode = ReadWrite ;Flag;Empty=");
  EXPECT_EQ(parts.Get({"driver"}), "SQLite3;x");
  EXPECT_EQ(parts.Get({"DATABASE"}), "a;b");
  EXPECT_EQ(parts.Get({"mode"}), "ReadWrite");
  EXPECT_EQ(parts.Get({"Missing", "Empty"}), "");
  EXPECT_TRUE(parts.Has("empty"));
  EXPECT_FALSE(parts.Has("Flag"));
}

TEST(TypeNames, MapToTypeCodesAndSizes) {
  struct Case {
    const char* name;
    int type;
    int64_t size;
  };
  const Case cases[] = {
      {"VARCHAR(40)", adtype::kVarWChar, 40},   {"nvarchar( 10 )", adtype::kVarWChar, 10},
      {"TEXT", adtype::kVarWChar, db::kUnboundedSize}, {"CHAR(5)", adtype::kVarWChar, 5},
      {"INTEGER", adtype::kInteger, 4},         {"int4", adtype::kInteger, 4},
      {"int8", adtype::kBigInt, 8},             {"BIGINT", adtype::kBigInt, 8},
      {"SMALLINT", adtype::kSmallInt, 2},       {"money", adtype::kCurrency, 8},
      {"DECIMAL(19,4)", adtype::kNumeric, 19},  {"REAL", adtype::kDouble, 8},
      {"float8", adtype::kDouble, 8},           {"float4", adtype::kSingle, 4},
      {"timestamp without time zone", adtype::kDbTimeStamp, 16},
      {"DATETIME", adtype::kDbTimeStamp, 16},   {"DATE", adtype::kDbDate, 6},
      {"TIME", adtype::kDbTime, 6},             {"bool", adtype::kBoolean, 2},
      {"BIT", adtype::kBoolean, 2},             {"uuid", adtype::kGuid, 16},
      {"BLOB", adtype::kLongVarBinary, db::kUnboundedSize}, {"bytea", adtype::kLongVarBinary, db::kUnboundedSize},
      {"", adtype::kVarWChar, db::kUnboundedSize},
  };
  for (const Case& c : cases) {
    int64_t size = -1;
    EXPECT_EQ(db::TypeCodeFromName(c.name, size), c.type) << c.name;
    EXPECT_EQ(size, c.size) << c.name;
  }
}

TEST(ConnectionObject, ScriptsOpenQueryAndWalkRows) {
  auto cn = std::make_shared<ConnectionObject>();
  EXPECT_EQ(cn->Get(), nullptr);
  SetProperty(*cn, "connectionstring", Variant(fixture::FixtureConnectionString()));
  CallMember(*cn, "Open");
  EXPECT_EQ(GetProperty(*cn, "State").ToInt32(), 1);
  ASSERT_NE(cn->Get(), nullptr);
  EXPECT_EQ(GetProperty(*cn, "ConnectionString").ToText(), fixture::FixtureConnectionString());

  auto rs = CallMember(*cn, "Execute", {Variant("SELECT CategoryID, CategoryName FROM Categories ORDER BY 1")})
                .ToObject();
  EXPECT_EQ(GetProperty(*rs, "FieldCount").ToInt32(), 2);
  EXPECT_FALSE(GetProperty(*rs, "eof").ToBoolean());
  auto field = CallMember(*rs, "Fields", {Variant("categoryname")}).ToObject();
  EXPECT_EQ(GetProperty(*field, "Name").ToText(), "CategoryName");
  EXPECT_EQ(GetProperty(*field, "Type").ToInt32(), adtype::kVarWChar);
  EXPECT_EQ(GetProperty(*field, "DefinedSize").ToInt32(), 15);
  EXPECT_EQ(GetProperty(*field, "Value").ToText(), "Beverages");
  CallMember(*rs, "MoveNext");
  EXPECT_EQ(GetProperty(*field, "Value").ToText(), "Condiments");  // follows the current row
  EXPECT_EQ(CallMember(*rs, "Item", {Variant(0)}).ToInt32(), 2);

  SetProperty(*rs, "Sort", Variant("CategoryName desc"));
  SetProperty(*rs, "Filter", Variant("CategoryName LIKE 'c*'"));
  EXPECT_EQ(CallMember(*rs, "GetString", {Variant(","), Variant(";")}).ToText(),
            "3,Confections;2,Condiments;");
  EXPECT_THROW(SetProperty(*rs, "Filter", Variant("CategoryName LIKE")), Error);
  EXPECT_THROW(CallMember(*rs, "Fields", {Variant("Nope")}), Error);

  SetProperty(*rs, "Filter", Variant(""));
  Variant rows = CallMember(*rs, "GetRows");
  ASSERT_EQ(rows.AsList().size(), 2u);
  EXPECT_EQ(rows.AsList()[0].AsList().size(), 8u);

  CallMember(*rs, "Close");
  EXPECT_THROW(GetProperty(*field, "Value"), Error);  // a field of a closed recordset
  CallMember(*cn, "Close");
  EXPECT_EQ(cn->Get(), nullptr);
  EXPECT_THROW(CallMember(*cn, "Execute", {Variant("SELECT 1")}), Error);
}

TEST(ConnectionObject, FailuresRaiseErrorsWithTheDescription) {
  ConnectionObject cn;
  try {
    cn.Open("Provider=SQLite;Data Source=/no/such/dir/x.db");
    FAIL() << "Open should fail";
  } catch (const Error& e) {
    EXPECT_NE(e.Description().find("Cannot open the SQLite database"), std::string::npos);
    EXPECT_EQ(e.Source(), "Quenmark.Connection");
  }
  EXPECT_FALSE(cn.IsOpen());
  cn.Open(fixture::FixtureConnectionString());
  EXPECT_THROW(cn.Execute("SELECT * FROM Nowhere"), Error);
  EXPECT_TRUE(cn.IsOpen());
}

}  // namespace
}  // namespace quenmark
