// ODBC driver (unixODBC). Text crosses the driver manager as UTF-16 (the wide functions), so
// that no driver's idea of a narrow code page can corrupt non-ASCII values.
#ifdef QUENMARK_WITH_ODBC

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <locale.h>  // newlocale, uselocale (POSIX)

#include <algorithm>
#include <cstring>

#include "frame/database/drivers.h"
#include "frame/utf8.h"
#include "quenmark/conversions.h"

namespace quenmark::db {

namespace {

using WideString = std::basic_string<SQLWCHAR>;

WideString Widen(std::string_view text) {
  WideString out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    uint32_t code = 0xFFFD;
    size_t length = 1;
    if (c < 0x80) {
      code = c;
    } else if ((c >> 5) == 6 && i + 1 < text.size()) {
      code = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3Fu);
      length = 2;
    } else if ((c >> 4) == 14 && i + 2 < text.size()) {
      code = ((c & 0x0Fu) << 12) | ((static_cast<unsigned char>(text[i + 1]) & 0x3Fu) << 6) |
             (static_cast<unsigned char>(text[i + 2]) & 0x3Fu);
      length = 3;
    } else if ((c >> 3) == 30 && i + 3 < text.size()) {
      code = ((c & 0x07u) << 18) | ((static_cast<unsigned char>(text[i + 1]) & 0x3Fu) << 12) |
             ((static_cast<unsigned char>(text[i + 2]) & 0x3Fu) << 6) |
             (static_cast<unsigned char>(text[i + 3]) & 0x3Fu);
      length = 4;
    }
    i += length;
    if (code >= 0x10000) {
      code -= 0x10000;
      out += static_cast<SQLWCHAR>(0xD800 + (code >> 10));
      out += static_cast<SQLWCHAR>(0xDC00 + (code & 0x3FF));
    } else {
      out += static_cast<SQLWCHAR>(code);
    }
  }
  return out;
}

std::string Narrow(const SQLWCHAR* text, size_t length) {
  std::string out;
  out.reserve(length);
  for (size_t i = 0; i < length; ++i) {
    uint32_t code = text[i];
    if (code >= 0xD800 && code < 0xDC00 && i + 1 < length && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
      ++i;
    }
    utf8::Append(out, code);
  }
  return out;
}

std::string Diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
  std::string text;
  for (SQLSMALLINT record = 1; record < 10; ++record) {
    SQLWCHAR state[6] = {};
    SQLWCHAR message[1024] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    SQLRETURN rc = SQLGetDiagRecW(type, handle, record, state, &native, message,
                                  static_cast<SQLSMALLINT>(std::size(message)), &length);
    if (!SQL_SUCCEEDED(rc)) break;
    if (!text.empty()) text += " ";
    text += Narrow(message, std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(length, 0)),
                                             std::size(message) - 1));
  }
  return text.empty() ? "The ODBC driver reported an unknown error." : text;
}

// The driver manager converts UTF-16 text for drivers that only have narrow entry points (SQLite's
// among them) with iconv, into the codeset of the calling thread's locale as it stands when the
// connection handle is set up, and keeps that conversion for the connection's life. A process
// that never called setlocale runs in the "C" locale, whose codeset is ASCII: every non-ASCII
// character would reach such a driver as a stray Latin-1 byte, and its messages would come back
// mangled. Setting the connection up under a UTF-8 locale, for this thread only, makes that
// conversion UTF-8 without touching the process's locale.
class Utf8LocaleScope {
 public:
  Utf8LocaleScope() {
    for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"}) {
      utf8_ = newlocale(LC_CTYPE_MASK, name, static_cast<locale_t>(0));
      if (utf8_) break;
    }
    if (utf8_) previous_ = uselocale(utf8_);
  }
  ~Utf8LocaleScope() {
    if (!utf8_) return;
    uselocale(previous_);
    freelocale(utf8_);
  }
  Utf8LocaleScope(const Utf8LocaleScope&) = delete;
  Utf8LocaleScope& operator=(const Utf8LocaleScope&) = delete;

 private:
  locale_t utf8_ = static_cast<locale_t>(0);
  locale_t previous_ = static_cast<locale_t>(0);
};

// Environment and connection handles, shared by the connection and its open statements.
struct OdbcHandle {
  SQLHENV env = SQL_NULL_HENV;
  SQLHDBC dbc = SQL_NULL_HDBC;
  bool connected = false;
  OdbcHandle() = default;
  OdbcHandle(const OdbcHandle&) = delete;
  OdbcHandle& operator=(const OdbcHandle&) = delete;
  ~OdbcHandle() {
    if (connected) SQLDisconnect(dbc);
    if (dbc != SQL_NULL_HDBC) SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    if (env != SQL_NULL_HENV) SQLFreeHandle(SQL_HANDLE_ENV, env);
  }
};

struct Statement {
  std::shared_ptr<OdbcHandle> owner;
  SQLHSTMT stmt = SQL_NULL_HSTMT;
  explicit Statement(std::shared_ptr<OdbcHandle> o) : owner(std::move(o)) {
    SQLAllocHandle(SQL_HANDLE_STMT, owner->dbc, &stmt);
  }
  ~Statement() {
    if (stmt != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  Status Failure() const { return Status::Failure(Diagnostics(SQL_HANDLE_STMT, stmt)); }
};

int TypeCodeOfSqlType(SQLSMALLINT sql_type) {
  switch (sql_type) {
    case SQL_INTEGER: return adtype::kInteger;
    case SQL_SMALLINT: return adtype::kSmallInt;
    case SQL_TINYINT: return adtype::kTinyInt;
    case SQL_BIGINT: return adtype::kBigInt;
    case SQL_REAL: return adtype::kSingle;
    case SQL_FLOAT:
    case SQL_DOUBLE: return adtype::kDouble;
    case SQL_NUMERIC:
    case SQL_DECIMAL: return adtype::kNumeric;
    case SQL_BIT: return adtype::kBoolean;
    case SQL_TYPE_DATE:
    case SQL_DATE: return adtype::kDbDate;
    case SQL_TYPE_TIME:
    case SQL_TIME: return adtype::kDbTime;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP: return adtype::kDbTimeStamp;
    case SQL_GUID: return adtype::kGuid;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY: return adtype::kLongVarBinary;
    default: return adtype::kVarWChar;
  }
}

std::string ColumnText(SQLHSTMT stmt, SQLUSMALLINT column, SQLUSMALLINT attribute) {
  SQLWCHAR buffer[512] = {};
  SQLSMALLINT bytes = 0;
  if (!SQL_SUCCEEDED(SQLColAttributeW(stmt, column, attribute, buffer, sizeof buffer, &bytes, nullptr))) {
    return {};
  }
  size_t length = std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(bytes, 0)) / sizeof(SQLWCHAR),
                                   std::size(buffer) - 1);
  return Narrow(buffer, length);
}

// Reads a value of any length in chunks; false on a driver error.
bool GetChunks(SQLHSTMT stmt, SQLUSMALLINT column, SQLSMALLINT c_type, std::string& out, bool& is_null) {
  out.clear();
  is_null = false;
  char buffer[8192];
  const size_t terminator = c_type == SQL_C_WCHAR ? sizeof(SQLWCHAR) : (c_type == SQL_C_CHAR ? 1 : 0);
  while (true) {
    SQLLEN indicator = 0;
    SQLRETURN rc = SQLGetData(stmt, column, c_type, buffer, sizeof buffer, &indicator);
    if (rc == SQL_NO_DATA) return true;
    if (!SQL_SUCCEEDED(rc)) return false;
    if (indicator == SQL_NULL_DATA) {
      is_null = true;
      return true;
    }
    size_t room = sizeof buffer - terminator;
    bool truncated = indicator == SQL_NO_TOTAL || indicator > static_cast<SQLLEN>(room);
    out.append(buffer, truncated ? room : static_cast<size_t>(indicator));
    if (!truncated) return true;
  }
}

Variant StripMoney(std::string_view text) {
  Variant number;
  if (ParseSqlNumber(text, number)) return number;
  std::string digits;
  bool negative = false;
  for (char c : text) {
    if ((c >= '0' && c <= '9') || c == '.') digits += c;
    if (c == '-' || c == '(') negative = true;
  }
  if (!digits.empty() && ParseSqlNumber(digits, number)) {
    return negative ? Variant(-number.ToReal()) : number;
  }
  return Variant(text);
}

class OdbcCursor : public Cursor {
 public:
  explicit OdbcCursor(std::unique_ptr<Statement> statement) : statement_(std::move(statement)) {
    SQLHSTMT stmt = statement_->stmt;
    SQLSMALLINT count = 0;
    SQLNumResultCols(stmt, &count);
    for (SQLUSMALLINT i = 1; i <= static_cast<SQLUSMALLINT>(std::max<SQLSMALLINT>(count, 0)); ++i) {
      SQLWCHAR name[256] = {};
      SQLSMALLINT name_length = 0, sql_type = 0, digits = 0, nullable = 0;
      SQLULEN size = 0;
      SQLDescribeColW(stmt, i, name, static_cast<SQLSMALLINT>(std::size(name)), &name_length,
                      &sql_type, &size, &digits, &nullable);
      FieldInfo field;
      field.name = Narrow(name, std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(name_length, 0)),
                                                 std::size(name) - 1));
      field.type = TypeCodeOfSqlType(sql_type);
      std::string type_name = ToUpperAscii(ColumnText(stmt, i, SQL_DESC_TYPE_NAME));
      if (type_name.find("MONEY") != std::string::npos) field.type = adtype::kCurrency;
      // Some drivers hand booleans over as characters ("1"/"0"); the type name still tells.
      if (type_name == "BOOL" || type_name == "BOOLEAN") field.type = adtype::kBoolean;
      field.defined_size = FixedSizeOf(field.type);
      if (field.type == adtype::kVarWChar || field.type == adtype::kLongVarBinary) {
        field.defined_size = size > 0 && size < static_cast<SQLULEN>(kUnboundedSize)
                                 ? static_cast<int64_t>(size)
                                 : kUnboundedSize;
      }
      field.base_table = ColumnText(stmt, i, SQL_DESC_BASE_TABLE_NAME);
      if (field.base_table.empty()) field.base_table = ColumnText(stmt, i, SQL_DESC_TABLE_NAME);
      fields_.push_back(std::move(field));
    }
    if (fields_.empty()) statement_.reset();
  }

  const std::vector<FieldInfo>& Fields() const override { return fields_; }

  bool Next(std::vector<Variant>& row) override {
    if (!Fetch()) return false;
    SQLHSTMT stmt = statement_->stmt;
    row.resize(fields_.size());
    for (size_t i = 0; i < fields_.size(); ++i) {
      if (!Read(stmt, static_cast<SQLUSMALLINT>(i + 1), fields_[i].type, row[i])) {
        status_ = statement_->Failure();
        statement_.reset();
        return false;
      }
    }
    return true;
  }

  // No column is bound, so a fetch alone moves past a row without reading any value.
  bool Skip() override { return Fetch(); }

  Status status() const override { return status_; }

 private:
  // Moves to the next row; false at the end or on an error (kept for status()).
  bool Fetch() {
    if (!statement_) return false;
    const SQLRETURN rc = SQLFetch(statement_->stmt);
    if (SQL_SUCCEEDED(rc)) return true;
    if (rc != SQL_NO_DATA) status_ = statement_->Failure();
    statement_.reset();
    return false;
  }

  bool Read(SQLHSTMT stmt, SQLUSMALLINT column, int type, Variant& value) {
    SQLLEN indicator = 0;
    switch (type) {
      case adtype::kInteger:
      case adtype::kSmallInt:
      case adtype::kTinyInt:
      case adtype::kBigInt: {
        SQLBIGINT number = 0;
        if (!SQL_SUCCEEDED(SQLGetData(stmt, column, SQL_C_SBIGINT, &number, 0, &indicator))) return false;
        value = indicator == SQL_NULL_DATA ? Variant::Null() : Variant(static_cast<int64_t>(number));
        return true;
      }
      case adtype::kSingle:
      case adtype::kDouble: {
        double number = 0;
        if (!SQL_SUCCEEDED(SQLGetData(stmt, column, SQL_C_DOUBLE, &number, 0, &indicator))) return false;
        value = indicator == SQL_NULL_DATA ? Variant::Null() : Variant(number);
        return true;
      }
      case adtype::kBoolean: {
        unsigned char flag = 0;
        if (!SQL_SUCCEEDED(SQLGetData(stmt, column, SQL_C_BIT, &flag, 0, &indicator))) return false;
        value = indicator == SQL_NULL_DATA ? Variant::Null() : Variant(flag != 0);
        return true;
      }
      case adtype::kDbDate:
      case adtype::kDbTime:
      case adtype::kDbTimeStamp: {
        SQL_TIMESTAMP_STRUCT ts{};
        if (SQL_SUCCEEDED(SQLGetData(stmt, column, SQL_C_TYPE_TIMESTAMP, &ts, sizeof ts, &indicator))) {
          if (indicator == SQL_NULL_DATA) {
            value = Variant::Null();
          } else {
            DateTime date;
            date.year = ts.year;
            date.month = ts.month;
            date.day = ts.day;
            date.hour = ts.hour;
            date.minute = ts.minute;
            date.second = ts.second;
            if (type == adtype::kDbTime || ts.year == 0) {
              date.year = 1899;
              date.month = 12;
              date.day = 30;
            }
            value = Variant(date);
          }
          return true;
        }
        // Some drivers cannot convert every stored form: fall back to the text.
        std::string bytes;
        bool is_null = false;
        if (!GetChunks(stmt, column, SQL_C_WCHAR, bytes, is_null)) return false;
        std::string text = Narrow(reinterpret_cast<const SQLWCHAR*>(bytes.data()), bytes.size() / sizeof(SQLWCHAR));
        DateTime date;
        value = is_null ? Variant::Null() : (ParseIsoDateTime(text, date) ? Variant(date) : Variant(text));
        return true;
      }
      case adtype::kNumeric:
      case adtype::kCurrency: {
        std::string text;
        bool is_null = false;
        if (!GetChunks(stmt, column, SQL_C_CHAR, text, is_null)) return false;
        value = is_null ? Variant::Null() : StripMoney(text);
        return true;
      }
      case adtype::kLongVarBinary: {
        std::string bytes;
        bool is_null = false;
        if (!GetChunks(stmt, column, SQL_C_BINARY, bytes, is_null)) return false;
        value = is_null ? Variant::Null() : Variant(Bytes{std::move(bytes)});
        return true;
      }
      default: {
        std::string bytes;
        bool is_null = false;
        if (!GetChunks(stmt, column, SQL_C_WCHAR, bytes, is_null)) return false;
        value = is_null ? Variant::Null()
                        : Variant(Narrow(reinterpret_cast<const SQLWCHAR*>(bytes.data()),
                                         bytes.size() / sizeof(SQLWCHAR)));
        return true;
      }
    }
  }

  std::unique_ptr<Statement> statement_;
  std::vector<FieldInfo> fields_;
  Status status_ = Status::Ok();
};

bool IsSystemSchema(std::string_view schema) {
  return EqualsIgnoreCase(schema, "pg_catalog") || EqualsIgnoreCase(schema, "information_schema") ||
         EqualsIgnoreCase(schema, "sys");
}

// "name;1" (the numbered procedures some servers report) gives "name".
std::string WithoutNumber(std::string name) {
  if (size_t semi = name.rfind(';'); semi != std::string::npos) name.erase(semi);
  return name;
}

// Tells the driver the most rows that will be fetched, so that drivers which read a result ahead
// (or whole) stop there; a driver that ignores it still gets only that many fetches. Procedure
// calls are left alone: some servers apply the limit to the rows a procedure changes, too.
void LimitRows(SQLHSTMT stmt, int64_t max_records) {
  if (max_records <= 0) return;
  SQLSetStmtAttr(stmt, SQL_ATTR_MAX_ROWS, reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(max_records)), 0);
}

class OdbcConnection : public Connection {
 public:
  OdbcConnection(std::string connection_string, std::shared_ptr<OdbcHandle> handle)
      : connection_string_(std::move(connection_string)), handle_(std::move(handle)) {}

  const std::string& ConnectionString() const override { return connection_string_; }

  Result<std::unique_ptr<Recordset>> Execute(std::string_view sql, int64_t max_records) override {
    auto statement = NewStatement();
    if (!statement.ok()) return statement.status();
    LimitRows((*statement)->stmt, max_records);
    WideString text = Widen(sql);
    SQLRETURN rc = SQLExecDirectW((*statement)->stmt, text.data(), static_cast<SQLINTEGER>(text.size()));
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) return (*statement)->Failure();
    return Wrap(std::move(*statement), max_records);
  }

  Result<std::unique_ptr<Recordset>> Call(const Command& command, int64_t max_records) override {
    std::string name = command.ProcedureName();
    // Catalogue functions match names exactly: use the catalogue's spelling of the name.
    if (auto known = Procedures(); known.ok()) {
      for (const CatalogEntry& entry : *known) {
        if (EqualsIgnoreCase(entry.name, name)) {
          name = entry.name;
          break;
        }
      }
    }
    // Bind in the order the procedure declares its parameters when the catalogue knows them,
    // with the declared SQL types so that the server picks the right overload.
    struct Slot {
      std::optional<Variant> value;
      SQLSMALLINT sql_type = SQL_WVARCHAR;
    };
    std::vector<Slot> slots;
    auto declared = DeclaredParameters(name);
    const auto& given = command.Parameters();
    auto bare = [](const std::string& n) { return !n.empty() && n[0] == '@' ? n.substr(1) : n; };
    if (declared.ok() && !declared->empty() &&
        std::all_of(given.begin(), given.end(), [](const auto& p) { return !p.name.empty(); })) {
      for (const auto& [parameter_name, sql_type] : *declared) {
        Slot slot;
        slot.sql_type = sql_type;
        for (const auto& p : given) {
          if (EqualsIgnoreCase(bare(p.name), bare(parameter_name))) slot.value = p.value;
        }
        slots.push_back(std::move(slot));
      }
    } else {
      for (const auto& p : given) slots.push_back({p.value, SQL_WVARCHAR});
    }

    std::string sql = "{call " + name + "(";
    for (size_t i = 0; i < slots.size(); ++i) sql += i == 0 ? "?" : ",?";
    sql += ")}";

    auto statement = NewStatement();
    if (!statement.ok()) return statement.status();
    SQLHSTMT stmt = (*statement)->stmt;
    std::vector<WideString> buffers(slots.size());
    std::vector<SQLLEN> indicators(slots.size());
    for (size_t i = 0; i < slots.size(); ++i) {
      const Slot& slot = slots[i];
      bool is_null = !slot.value || slot.value->IsMissing();
      if (!is_null) {
        std::string text = slot.value->ToText();
        // Drivers convert only ISO text to dates: a date typed as "12/31/2004" is rewritten.
        if (slot.sql_type == SQL_TYPE_TIMESTAMP || slot.sql_type == SQL_TYPE_DATE ||
            slot.sql_type == SQL_TIMESTAMP || slot.sql_type == SQL_DATE) {
          if (slot.value->kind() == Variant::Kind::kDate) {
            text = slot.value->AsDate().ToIso();
          } else if (auto date = ParseDate(text)) {
            text = date->ToIso();
          }
        }
        buffers[i] = Widen(text);
      }
      indicators[i] = is_null ? SQL_NULL_DATA : static_cast<SQLLEN>(buffers[i].size() * sizeof(SQLWCHAR));
      SQLULEN column_size = 255;
      SQLSMALLINT digits = 0;
      if (slot.sql_type == SQL_TYPE_TIMESTAMP) column_size = 19;
      if (slot.sql_type == SQL_TYPE_DATE) column_size = 10;
      if (slot.sql_type == SQL_TYPE_TIME) column_size = 8;
      if (slot.sql_type == SQL_NUMERIC || slot.sql_type == SQL_DECIMAL) {
        column_size = 38;
        digits = 10;
      }
      SQLRETURN rc = SQLBindParameter(stmt, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, SQL_C_WCHAR,
                                      slot.sql_type, column_size, digits,
                                      is_null ? nullptr : buffers[i].data(),
                                      static_cast<SQLLEN>(buffers[i].size() * sizeof(SQLWCHAR)),
                                      &indicators[i]);
      if (!SQL_SUCCEEDED(rc)) return (*statement)->Failure();
    }
    WideString text = Widen(sql);
    SQLRETURN rc = SQLExecDirectW(stmt, text.data(), static_cast<SQLINTEGER>(text.size()));
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) return (*statement)->Failure();
    return Wrap(std::move(*statement), max_records);
  }

  Result<std::vector<CatalogEntry>> Tables() override { return TableList(u"TABLE,VIEW"); }
  Result<std::vector<CatalogEntry>> Views() override { return TableList(u"VIEW"); }

  Result<std::vector<CatalogEntry>> Procedures() override {
    auto entries = CatalogRows(
        [](SQLHSTMT stmt) { return SQLProceduresW(stmt, nullptr, 0, nullptr, 0, nullptr, 0); },
        [](Recordset& r) -> CatalogEntry {
          int kind = r.FieldCount() > 7 && !r.Value(7).IsMissing() ? r.Value(7).ToInt32() : 0;
          return {WithoutNumber(r.Value(2).ToText()), kind == SQL_PT_FUNCTION ? "FUNCTION" : "PROCEDURE"};
        });
    if (!entries.ok()) return entries.status();
    entries->erase(std::unique(entries->begin(), entries->end(),
                               [](const auto& a, const auto& b) { return a.name == b.name; }),
                   entries->end());
    return entries;
  }

  Result<std::vector<ProcedureParameter>> ProcedureParameters(std::string_view procedure) override {
    auto declared = DeclaredParameters(procedure);
    if (!declared.ok()) return declared.status();
    std::vector<ProcedureParameter> parameters;
    for (const auto& [name, sql_type] : *declared) {
      parameters.push_back({!name.empty() && name[0] == '@' ? name.substr(1) : name, TypeCodeOfSqlType(sql_type)});
    }
    return parameters;
  }

  void Close() override { handle_.reset(); }
  bool IsOpen() const override { return handle_ != nullptr; }

 private:
  Result<std::unique_ptr<Statement>> NewStatement() {
    if (!handle_) return Status::Failure("The connection is closed.");
    auto statement = std::make_unique<Statement>(handle_);
    if (statement->stmt == SQL_NULL_HSTMT) {
      return Status::Failure(Diagnostics(SQL_HANDLE_DBC, handle_->dbc));
    }
    return statement;
  }

  Result<std::unique_ptr<Recordset>> Wrap(std::unique_ptr<Statement> statement, int64_t max_records) {
    auto cursor = std::make_unique<OdbcCursor>(std::move(statement));
    return std::make_unique<Recordset>(std::move(cursor), max_records);
  }

  Result<std::vector<CatalogEntry>> TableList(std::u16string_view types) {
    WideString type_list(types.begin(), types.end());
    return CatalogRows(
        [&](SQLHSTMT stmt) {
          return SQLTablesW(stmt, nullptr, 0, nullptr, 0, nullptr, 0, type_list.data(),
                            static_cast<SQLSMALLINT>(type_list.size()));
        },
        [](Recordset& r) -> CatalogEntry { return {r.Value(2).ToText(), ToUpperAscii(r.Value(3).ToText())}; });
  }

  // Runs the catalog function `call` on a new statement and makes an entry of every row with
  // `entry`, leaving out the rows of the system schemas (column 1); sorted by name.
  template <class Call, class MakeEntry>
  Result<std::vector<CatalogEntry>> CatalogRows(Call&& call, MakeEntry&& entry) {
    auto statement = NewStatement();
    if (!statement.ok()) return statement.status();
    if (!SQL_SUCCEEDED(call((*statement)->stmt))) return (*statement)->Failure();
    auto rows = Wrap(std::move(*statement), 0);
    if (!rows.ok()) return rows.status();
    std::vector<CatalogEntry> entries;
    Recordset& r = **rows;
    for (; !r.Eof(); r.MoveNext()) {
      if (IsSystemSchema(r.Value(1).ToText())) continue;
      entries.push_back(entry(r));
    }
    if (!r.status().ok()) return r.status();
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    return entries;
  }

  // Input parameters of a procedure as (name, SQL type), in declaration order.
  Result<std::vector<std::pair<std::string, SQLSMALLINT>>> DeclaredParameters(std::string_view procedure) {
    auto statement = NewStatement();
    if (!statement.ok()) return statement.status();
    WideString name = Widen(procedure);
    if (!SQL_SUCCEEDED(SQLProcedureColumnsW((*statement)->stmt, nullptr, 0, nullptr, 0, name.data(),
                                            static_cast<SQLSMALLINT>(name.size()), nullptr, 0))) {
      return (*statement)->Failure();
    }
    auto rows = Wrap(std::move(*statement), 0);
    if (!rows.ok()) return rows.status();
    std::vector<std::pair<std::string, SQLSMALLINT>> parameters;
    Recordset& r = **rows;
    for (; !r.Eof(); r.MoveNext()) {
      if (IsSystemSchema(r.Value(1).ToText())) continue;
      int kind = r.Value(4).IsMissing() ? 0 : r.Value(4).ToInt32();
      if (kind != SQL_PARAM_INPUT && kind != SQL_PARAM_INPUT_OUTPUT) continue;
      parameters.emplace_back(r.Value(3).ToText(), static_cast<SQLSMALLINT>(r.Value(5).ToInt32()));
    }
    if (!r.status().ok()) return r.status();
    return parameters;
  }

  std::string connection_string_;
  std::shared_ptr<OdbcHandle> handle_;
};

}  // namespace

Result<std::unique_ptr<Connection>> OpenOdbc(const std::string& connection_string) {
  // Covers the handle allocation too: the driver manager fixes its conversion there or on connect.
  Utf8LocaleScope utf8_conversion;
  auto handle = std::make_shared<OdbcHandle>();
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &handle->env))) {
    return Status::Failure("Cannot start the ODBC driver manager.");
  }
  SQLSetEnvAttr(handle->env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, handle->env, &handle->dbc))) {
    return Status::Failure(Diagnostics(SQL_HANDLE_ENV, handle->env));
  }
  SQLSetConnectAttr(handle->dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(30), 0);
  WideString text = Widen(connection_string);
  SQLWCHAR completed[1024];
  SQLSMALLINT completed_length = 0;
  SQLRETURN rc = SQLDriverConnectW(handle->dbc, nullptr, text.data(), static_cast<SQLSMALLINT>(text.size()),
                                   completed, static_cast<SQLSMALLINT>(std::size(completed)),
                                   &completed_length, SQL_DRIVER_NOPROMPT);
  if (!SQL_SUCCEEDED(rc)) {
    return Status::Failure("Cannot connect through ODBC: " + Diagnostics(SQL_HANDLE_DBC, handle->dbc));
  }
  handle->connected = true;
  return std::unique_ptr<Connection>(std::make_unique<OdbcConnection>(connection_string, std::move(handle)));
}

}  // namespace quenmark::db

#endif  // QUENMARK_WITH_ODBC
