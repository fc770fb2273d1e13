// The shared fixture database of the tests (see fixture_db.h).
#include "support/fixture_db.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>

#include "demo_store/demo_store.h"
#include "frame/text_util.h"

namespace quenmark::fixture {

namespace {

// PostgreSQL column type for a declared SQLite column type of the demo store.
std::string PostgresType(const std::string& declared) {
  std::string upper = ToUpperAscii(declared);
  if (upper == "INTEGER") return "integer";
  if (upper == "SMALLINT") return "smallint";
  if (upper == "REAL") return "double precision";
  if (upper == "MONEY") return "money";
  if (upper == "BIT") return "boolean";
  if (upper == "DATETIME") return "timestamp";
  if (upper == "BLOB") return "bytea";
  if (upper == "TEXT") return "text";
  return ToLowerAscii(declared);  // VARCHAR(n), CHAR(n)
}

void AppendLiteral(std::string& sql, const Variant& value) {
  switch (value.kind()) {
    case Variant::Kind::kEmpty:
    case Variant::Kind::kNull: sql += "NULL"; break;
    case Variant::Kind::kBoolean: sql += value.AsBoolean() ? "TRUE" : "FALSE"; break;
    case Variant::Kind::kInteger: sql += std::to_string(value.AsInteger()); break;
    case Variant::Kind::kReal: {
      char buffer[40];
      std::snprintf(buffer, sizeof buffer, "%.17g", value.AsReal());
      sql += buffer;
      break;
    }
    case Variant::Kind::kDate: sql += "'" + value.AsDate().ToIso() + "'"; break;
    case Variant::Kind::kBytes: {
      static constexpr char kHex[] = "0123456789abcdef";
      sql += "'\\x";
      for (unsigned char c : value.AsBytes().data) {
        sql += kHex[c >> 4];
        sql += kHex[c & 15];
      }
      sql += "'::bytea";
      break;
    }
    default: {
      sql += '\'';
      for (char c : value.ToText()) {
        if (c == '\'') sql += '\'';
        sql += c;
      }
      sql += '\'';
    }
  }
}

constexpr const char* kPostgresExtras = R"SQL(
CREATE VIEW productlist AS
  SELECT p.productid, p.productname, c.categoryname, p.unitprice, p.unitsinstock
  FROM products p JOIN categories c ON c.categoryid = p.categoryid
  WHERE NOT p.discontinued;
CREATE VIEW ordersubtotals AS
  SELECT orderid, SUM(unitprice::numeric * quantity * (1 - discount::numeric)) AS subtotal
  FROM orderdetails GROUP BY orderid;
CREATE VIEW salesbycategory AS
  SELECT c.categoryname, p.productname,
         SUM(d.unitprice::numeric * d.quantity * (1 - d.discount::numeric)) AS productsales
  FROM orderdetails d JOIN products p ON p.productid = d.productid
  JOIN categories c ON c.categoryid = p.categoryid
  GROUP BY c.categoryname, p.productname;
CREATE FUNCTION sales_by_year(from_date timestamp, to_date timestamp)
  RETURNS TABLE(sales_year integer, order_count bigint, total numeric)
  LANGUAGE sql STABLE AS $$
    SELECT EXTRACT(YEAR FROM o.orderdate)::integer, COUNT(DISTINCT o.orderid),
           SUM(d.unitprice::numeric * d.quantity)
    FROM orders o JOIN orderdetails d ON d.orderid = o.orderid
    WHERE o.orderdate BETWEEN from_date AND to_date
    GROUP BY 1 ORDER BY 1 $$;
CREATE FUNCTION customer_orders(customer_id varchar)
  RETURNS TABLE(orderid integer, orderdate timestamp, freight money)
  LANGUAGE sql STABLE AS $$
    SELECT o.orderid, o.orderdate, o.freight FROM orders o
    WHERE o.customerid = customer_id ORDER BY o.orderid $$;
)SQL";

}  // namespace

const std::string& FixtureDatabasePath() {
  static std::once_flag once;
  static std::string path;
  std::call_once(once, [] {
    path = std::string(QUENMARK_BINARY_DIR) + "/fixture/store.db";
    // A store older than its generator's source is rebuilt, so generator changes reach tests.
    std::error_code ec;
    auto generator = std::filesystem::last_write_time(
        std::string(QUENMARK_SOURCE_DIR) + "/examples/demo_store/demo_store.cpp", ec);
    bool stale = !std::filesystem::exists(path) ||
                 (!ec && std::filesystem::last_write_time(path, ec) < generator);
    if (stale) {
      Status status = demo::GenerateDemoStore(path);
      if (!status.ok()) std::fprintf(stderr, "fixture: %s\n", status.Description().c_str());
    }
  });
  return path;
}

std::string FixtureConnectionString() {
  return "Provider=SQLite;Data Source=" + FixtureDatabasePath();
}

std::string DriverConnectionString(const char* variable, bool postgres) {
  if (variable == nullptr) return FixtureConnectionString();
  const char* value = std::getenv(variable);
  if (value == nullptr || *value == '\0') return "";
  std::string text = value;
  if (!postgres && ToLowerAscii(text).find("database=") == std::string::npos) {
    text += "Database=" + FixtureDatabasePath() + ";";
  }
  return text;
}

Status LoadFixtureIntoPostgres(Connection& server) {
  auto locked = server.Execute("SELECT pg_advisory_lock(20040301)");
  if (!locked.ok()) return locked.status();
  struct Unlock {
    Connection& c;
    ~Unlock() { (void)c.Execute("SELECT pg_advisory_unlock(20040301)"); }
  } unlock{server};

  auto present = server.Execute("SELECT to_regproc('customer_orders') IS NOT NULL");
  if (!present.ok()) return present.status();
  if (!(*present)->Eof() && (*present)->Value(0).ToBoolean()) return Status::Ok();

  auto source = Connection::Open(FixtureConnectionString());
  if (!source.ok()) return source.status();
  auto tables = (*source)->Tables();
  if (!tables.ok()) return tables.status();

  std::string sql = "BEGIN;\n";
  for (const CatalogEntry& table : *tables) {
    if (table.type != "TABLE") continue;
    auto columns = (*source)->Execute("PRAGMA table_info(\"" + table.name + "\")");
    if (!columns.ok()) return columns.status();
    sql += "CREATE TABLE " + ToLowerAscii(table.name) + " (";
    std::string keys;
    bool first = true;
    for (Recordset& c = **columns; !c.Eof(); c.MoveNext()) {
      if (!first) sql += ", ";
      first = false;
      std::string name = ToLowerAscii(c.Value(c.FieldIndex("name")).ToText());
      sql += name + " " + PostgresType(c.Value(c.FieldIndex("type")).ToText());
      if (c.Value(c.FieldIndex("pk")).ToInt32() > 0) keys += (keys.empty() ? "" : ", ") + name;
    }
    if (!keys.empty()) sql += ", PRIMARY KEY (" + keys + ")";
    sql += ");\n";

    auto rows = (*source)->Execute("SELECT * FROM \"" + table.name + "\"");
    if (!rows.ok()) return rows.status();
    Recordset& r = **rows;
    size_t in_batch = 0;
    for (; !r.Eof(); r.MoveNext()) {
      sql += in_batch == 0 ? "INSERT INTO " + ToLowerAscii(table.name) + " VALUES (" : ",\n(";
      for (int f = 0; f < r.FieldCount(); ++f) {
        if (f > 0) sql += ", ";
        AppendLiteral(sql, r.Value(f));
      }
      sql += ")";
      if (++in_batch == 500) {
        sql += ";\n";
        in_batch = 0;
      }
    }
    if (in_batch > 0) sql += ";\n";
  }
  sql += kPostgresExtras;
  sql += "COMMIT;\n";
  auto loaded = server.Execute(sql);
  if (!loaded.ok()) {
    (void)server.Execute("ROLLBACK");
    return loaded.status();
  }
  return Status::Ok();
}

}  // namespace quenmark::fixture
