// Connection::Open picks the driver from the connection string; shared driver helpers.
#include <algorithm>
#include <charconv>
#include <cstdlib>

#include "frame/database/connection_pool.h"
#include "frame/database/drivers.h"
#include "quenmark/page_context.h"

namespace quenmark {
namespace db {

namespace {

// Reads the digits of "(40)" or "(19,4)" after a type name; the first number is the size.
int64_t DeclaredLength(std::string_view declared) {
  size_t open = declared.find('(');
  if (open == std::string_view::npos) return 0;
  int64_t value = 0;
  const char* begin = declared.data() + open + 1;
  const char* end = declared.data() + declared.size();
  while (begin < end && *begin == ' ') ++begin;
  auto [ptr, ec] = std::from_chars(begin, end, value);
  return ec == std::errc() && value > 0 ? value : 0;
}

// Decimal digits (with optional sign) of the whole text.
bool ParseFixedDigits(std::string_view text, int& out) {
  if (text.empty()) return false;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && ptr == text.data() + text.size();
}

bool ParseTimeOfDay(std::string_view text, DateTime& out) {
  // HH:MM[:SS[.fff]]
  if (text.size() < 5 || text[2] != ':') return false;
  int hour = 0, minute = 0, second = 0;
  if (!ParseFixedDigits(text.substr(0, 2), hour) || !ParseFixedDigits(text.substr(3, 2), minute)) {
    return false;
  }
  std::string_view rest = text.substr(5);
  if (rest.size() >= 3 && rest[0] == ':') {
    if (!ParseFixedDigits(rest.substr(1, 2), second)) return false;
    rest.remove_prefix(3);
  }
  // Fractions of a second and zone offsets are dropped: DateTime has whole seconds, no zone.
  if (!rest.empty() && rest[0] != '.' && rest[0] != '+' && rest[0] != '-' && rest[0] != 'Z' &&
      rest[0] != ' ') {
    return false;
  }
  if (hour > 23 || minute > 59 || second > 60) return false;
  out.hour = hour;
  out.minute = minute;
  out.second = std::min(second, 59);
  return true;
}

}  // namespace

ConnectionStringParts::ConnectionStringParts(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    size_t eq = text.find('=', i);
    size_t semi = text.find(';', i);
    if (eq == std::string_view::npos || (semi != std::string_view::npos && semi < eq)) {
      // A part without "=" carries no setting; skip it.
      if (semi == std::string_view::npos) break;
      i = semi + 1;
      continue;
    }
    std::string key(Trim(text.substr(i, eq - i)));
    size_t v = eq + 1;
    while (v < text.size() && text[v] == ' ') ++v;
    std::string value;
    if (v < text.size() && (text[v] == '{' || text[v] == '"' || text[v] == '\'')) {
      char close = text[v] == '{' ? '}' : text[v];
      size_t end = text.find(close, v + 1);
      if (end == std::string_view::npos) end = text.size();
      value = std::string(text.substr(v + 1, end - v - 1));
      size_t next = text.find(';', end);
      i = next == std::string_view::npos ? text.size() : next + 1;
    } else {
      size_t end = semi == std::string_view::npos ? text.size() : semi;
      value = std::string(Trim(text.substr(v, end - v)));
      i = end + 1;
    }
    if (!key.empty()) entries_.emplace_back(std::move(key), std::move(value));
  }
}

bool ConnectionStringParts::Has(std::string_view key) const {
  return std::any_of(entries_.begin(), entries_.end(),
                     [&](const auto& e) { return EqualsIgnoreCase(e.first, key); });
}

std::string ConnectionStringParts::Get(std::initializer_list<std::string_view> keys) const {
  for (std::string_view key : keys) {
    for (const auto& [k, v] : entries_) {
      if (EqualsIgnoreCase(k, key)) return v;
    }
  }
  return {};
}

int64_t FixedSizeOf(int type_code) {
  switch (type_code) {
    case adtype::kTinyInt: return 1;
    case adtype::kSmallInt:
    case adtype::kBoolean: return 2;
    case adtype::kInteger:
    case adtype::kSingle: return 4;
    case adtype::kBigInt:
    case adtype::kDouble:
    case adtype::kCurrency:
    case adtype::kDate: return 8;
    case adtype::kDbDate: return 6;
    case adtype::kDbTime: return 6;
    case adtype::kDbTimeStamp: return 16;
    case adtype::kGuid: return 16;
    case adtype::kNumeric: return 19;
    default: return 0;
  }
}

int TypeCodeFromName(std::string_view declared, int64_t& size) {
  std::string upper = ToUpperAscii(Trim(declared));
  std::string_view name = upper;
  if (size_t open = name.find('('); open != std::string_view::npos) {
    name = Trim(name.substr(0, open));
  }
  int code;
  auto is = [&](std::initializer_list<std::string_view> names) {
    return std::find(names.begin(), names.end(), name) != names.end();
  };
  if (name.empty()) {
    code = adtype::kVarWChar;
  } else if (Contains(name, "MONEY") || name == "CURRENCY") {
    code = adtype::kCurrency;
  } else if (is({"BOOLEAN", "BOOL", "BIT", "YESNO", "LOGICAL"})) {
    code = adtype::kBoolean;
  } else if (is({"GUID", "UUID", "UNIQUEIDENTIFIER"})) {
    code = adtype::kGuid;
  } else if (is({"BIGINT", "INT8", "LONG", "UNSIGNED BIG INT", "BIGSERIAL", "SERIAL8"})) {
    code = adtype::kBigInt;
  } else if (is({"SMALLINT", "INT2", "SMALLSERIAL", "SERIAL2"})) {
    code = adtype::kSmallInt;
  } else if (is({"TINYINT", "BYTE"})) {
    code = adtype::kTinyInt;
  } else if (Contains(name, "INT") || is({"SERIAL", "COUNTER", "AUTOINCREMENT"})) {
    code = adtype::kInteger;
  } else if (is({"FLOAT4", "SINGLE"})) {
    code = adtype::kSingle;
  } else if (Contains(name, "REAL") || Contains(name, "FLOA") || Contains(name, "DOUB")) {
    code = adtype::kDouble;
  } else if (Contains(name, "NUMERIC") || Contains(name, "DECIMAL") || name == "NUMBER") {
    code = adtype::kNumeric;
  } else if (Contains(name, "DATETIME") || Contains(name, "TIMESTAMP") || name == "SMALLDATETIME") {
    code = adtype::kDbTimeStamp;
  } else if (name == "DATE") {
    code = adtype::kDbDate;
  } else if (StartsWithIgnoreCase(name, "TIME")) {
    code = adtype::kDbTime;
  } else if (Contains(name, "BLOB") || Contains(name, "BINARY") || is({"BYTEA", "IMAGE", "OLEOBJECT"})) {
    code = adtype::kLongVarBinary;
  } else {
    // CHAR, VARCHAR, TEXT, CLOB, NAME, JSON, ... and anything unknown reads as text.
    code = adtype::kVarWChar;
  }
  size = FixedSizeOf(code);
  if (code == adtype::kVarWChar || code == adtype::kLongVarBinary) {
    int64_t length = DeclaredLength(upper);
    size = length > 0 ? length : kUnboundedSize;
  }
  return code;
}

bool ParseIsoDateTime(std::string_view text, DateTime& out) {
  text = Trim(text);
  DateTime value{};
  value.year = 1899;
  value.month = 12;
  value.day = 30;
  if (text.size() >= 5 && text[2] == ':') {
    if (!ParseTimeOfDay(text, value)) return false;
    out = value;
    return true;
  }
  if (text.size() < 10 || text[4] != '-' || text[7] != '-') return false;
  if (!ParseFixedDigits(text.substr(0, 4), value.year) ||
      !ParseFixedDigits(text.substr(5, 2), value.month) ||
      !ParseFixedDigits(text.substr(8, 2), value.day)) {
    return false;
  }
  if (value.month < 1 || value.month > 12 || value.day < 1 || value.day > 31) return false;
  std::string_view rest = text.substr(10);
  if (!rest.empty()) {
    if (rest[0] != ' ' && rest[0] != 'T') return false;
    if (!ParseTimeOfDay(Trim(rest.substr(1)), value)) return false;
  }
  out = value;
  return true;
}

bool ParseSqlNumber(std::string_view text, Variant& out) {
  text = Trim(text);
  if (text.empty()) return false;
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (text.find_first_of(".eE") == std::string_view::npos) {
    int64_t integer = 0;
    auto [ptr, ec] = std::from_chars(begin + (*begin == '+' ? 1 : 0), end, integer);
    if (ec == std::errc() && ptr == end) {
      out = Variant(integer);
      return true;
    }
  }
  double real = 0;
  auto [ptr, ec] = std::from_chars(begin + (*begin == '+' ? 1 : 0), end, real);
  if (ec != std::errc() || ptr != end) return false;
  out = Variant(real);
  return true;
}

}  // namespace db

bool Cursor::Skip() {
  std::vector<Variant> row;
  return Next(row);
}

namespace {

Result<std::unique_ptr<Connection>> OpenDirect(std::string_view connection_string) {
  std::string original(connection_string);
  std::string_view text = Trim(connection_string);
  if (text.empty()) return Status::Failure("The connection string is empty.");

  if (StartsWithIgnoreCase(text, "postgresql://") || StartsWithIgnoreCase(text, "postgres://")) {
#ifdef QUENMARK_WITH_POSTGRES
    return db::OpenPostgres(original, std::string(text));
#else
    return Status::Failure("This build has no PostgreSQL driver.");
#endif
  }
  if (StartsWithIgnoreCase(text, "sqlite:")) {
    std::string_view path = text.substr(7);
    bool read_write = false;
    // "sqlite:demo.db?mode=rw" opens for writing, like "Mode=ReadWrite" in the key form.
    if (size_t q = path.find('?'); q != std::string_view::npos) {
      std::string_view options = path.substr(q + 1);
      read_write = ToUpperAscii(options).find("MODE=RW") != std::string::npos ||
                   ToUpperAscii(options).find("MODE=READWRITE") != std::string::npos;
      path = path.substr(0, q);
    }
    return db::OpenSqlite(original, std::string(path), read_write);
  }

  db::ConnectionStringParts parts(text);
  std::string provider = ToUpperAscii(parts.Get({"Provider"}));
  if (provider.rfind("SQLITE", 0) == 0) {
    std::string path = parts.Get({"Data Source", "DataSource", "Database", "Filename", "File"});
    std::string mode = ToUpperAscii(parts.Get({"Mode"}));
    bool read_write = mode == "READWRITE" || mode == "READ WRITE" || mode == "RW";
    return db::OpenSqlite(original, path, read_write);
  }
  if (provider.rfind("POSTGRES", 0) == 0 || provider == "PGSQL" || provider == "NPGSQL") {
#ifdef QUENMARK_WITH_POSTGRES
    // Translate the key form to libpq's "key='value'" conninfo.
    std::string conninfo;
    auto add = [&](const char* key, std::initializer_list<std::string_view> names) {
      std::string value = parts.Get(names);
      if (value.empty()) return;
      conninfo += key;
      conninfo += "='";
      for (char c : value) {
        if (c == '\'' || c == '\\') conninfo += '\\';
        conninfo += c;
      }
      conninfo += "' ";
    };
    add("host", {"Host", "Server", "Data Source"});
    add("port", {"Port"});
    add("dbname", {"Database", "Initial Catalog", "DbName"});
    add("user", {"User ID", "User", "UserName", "Uid", "User Name"});
    add("password", {"Password", "Pwd"});
    add("sslmode", {"SslMode", "SSL Mode"});
    add("connect_timeout", {"Timeout", "Connect Timeout"});
    return db::OpenPostgres(original, conninfo);
#else
    return Status::Failure("This build has no PostgreSQL driver.");
#endif
  }
  if (parts.Has("Driver") || parts.Has("DSN") || parts.Has("FileDSN")) {
#ifdef QUENMARK_WITH_ODBC
    return db::OpenOdbc(original);
#else
    return Status::Failure("This build has no ODBC driver.");
#endif
  }
  if (provider.empty() && parts.Has("Data Source")) {
    return db::OpenSqlite(original, parts.Get({"Data Source"}),
                          ToUpperAscii(parts.Get({"Mode"})) == "READWRITE");
  }
  return Status::Failure("The connection string names no database driver this system knows: "
                         "use Provider=SQLite, Provider=PostgreSQL, a postgresql:// URL, or an "
                         "ODBC Driver= or DSN= string.");
}

}  // namespace

Result<std::unique_ptr<Connection>> Connection::Open(std::string_view connection_string) {
  // Pages get connections that are reused across requests; programs that use the library
  // directly keep opening their own.
  if (CurrentPageContext()) return db::AcquirePooled(connection_string, &OpenDirect);
  return OpenDirect(connection_string);
}

}  // namespace quenmark
