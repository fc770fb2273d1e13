// SQLite driver (libsqlite3): the embedded default.
#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>


#include "frame/database/connection_pool.h"
#include "frame/database/drivers.h"
#include "quenmark/page_context.h"

namespace quenmark::db {

namespace {

// The database handle is shared by the connection and its open cursors, so that a recordset
// that outlives Close (or the connection object) still reads from a valid handle.
struct SqliteHandle {
  sqlite3* db = nullptr;
  explicit SqliteHandle(sqlite3* handle) : db(handle) {}
  ~SqliteHandle() { sqlite3_close_v2(db); }
  SqliteHandle(const SqliteHandle&) = delete;
  SqliteHandle& operator=(const SqliteHandle&) = delete;
};

struct StatementDeleter {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using StatementPtr = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

bool IsBlank(const char* text) { return text == nullptr || Trim(text).empty(); }

// Days between the Julian day origin and 1899-12-30, the serial date origin.
constexpr double kJulianDayOfSerialZero = 2415018.5;
constexpr double kSerialOfUnixEpoch = 25569.0;

Variant ReadDate(sqlite3_stmt* statement, int column, int storage) {
  switch (storage) {
    case SQLITE_TEXT: {
      std::string_view text(reinterpret_cast<const char*>(sqlite3_column_text(statement, column)),
                            static_cast<size_t>(sqlite3_column_bytes(statement, column)));
      DateTime date;
      if (ParseIsoDateTime(text, date)) return Variant(date);
      return Variant(text);
    }
    case SQLITE_INTEGER:
      return Variant(DateTime::FromSerial(
          static_cast<double>(sqlite3_column_int64(statement, column)) / 86400.0 + kSerialOfUnixEpoch));
    case SQLITE_FLOAT:
      return Variant(DateTime::FromSerial(sqlite3_column_double(statement, column) -
                                          kJulianDayOfSerialZero));
    default:
      return Variant(Bytes{std::string(static_cast<const char*>(sqlite3_column_blob(statement, column)),
                                       static_cast<size_t>(sqlite3_column_bytes(statement, column)))});
  }
}

Variant ReadValue(sqlite3_stmt* statement, int column, int type_code) {
  int storage = sqlite3_column_type(statement, column);
  if (storage == SQLITE_NULL) return Variant::Null();
  auto text = [&] {
    const unsigned char* data = sqlite3_column_text(statement, column);
    return std::string_view(reinterpret_cast<const char*>(data),
                            static_cast<size_t>(sqlite3_column_bytes(statement, column)));
  };
  auto blob = [&] {
    const void* data = sqlite3_column_blob(statement, column);
    size_t size = static_cast<size_t>(sqlite3_column_bytes(statement, column));
    return Variant(Bytes{data ? std::string(static_cast<const char*>(data), size) : std::string()});
  };
  switch (type_code) {
    case adtype::kBoolean:
      if (storage == SQLITE_INTEGER) return Variant(sqlite3_column_int64(statement, column) != 0);
      if (storage == SQLITE_FLOAT) return Variant(sqlite3_column_double(statement, column) != 0);
      {
        std::string upper = ToUpperAscii(text());
        if (upper == "TRUE" || upper == "T" || upper == "YES") return Variant(true);
        if (upper == "FALSE" || upper == "F" || upper == "NO") return Variant(false);
      }
      return Variant(text());
    case adtype::kDbDate:
    case adtype::kDbTime:
    case adtype::kDbTimeStamp:
    case adtype::kDate:
      return ReadDate(statement, column, storage);
    case adtype::kLongVarBinary:
      return storage == SQLITE_TEXT ? Variant(Bytes{std::string(text())}) : blob();
    case adtype::kVarWChar:
    case adtype::kVarChar:
    case adtype::kGuid:
      if (storage == SQLITE_BLOB) return blob();
      return Variant(text());
    default:  // numbers
      if (storage == SQLITE_INTEGER) return Variant(static_cast<int64_t>(sqlite3_column_int64(statement, column)));
      if (storage == SQLITE_FLOAT) return Variant(sqlite3_column_double(statement, column));
      if (storage == SQLITE_TEXT) {
        Variant number;
        if (ParseSqlNumber(text(), number)) return number;
        return Variant(text());
      }
      return blob();
  }
}

class SqliteCursor : public Cursor {
 public:
  SqliteCursor(std::shared_ptr<SqliteHandle> handle, StatementPtr statement, bool has_row)
      : handle_(std::move(handle)), statement_(std::move(statement)), pending_row_(has_row) {
    sqlite3_stmt* st = statement_.get();
    int count = sqlite3_column_count(st);
    fields_.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
      FieldInfo field;
      const char* name = sqlite3_column_name(st, i);
      field.name = name ? name : "";
      const char* declared = sqlite3_column_decltype(st, i);
      if (declared) {
        field.type = TypeCodeFromName(declared, field.defined_size);
      } else {
        // An expression: its type is the storage class of the first row.
        switch (has_row ? sqlite3_column_type(st, i) : SQLITE_TEXT) {
          case SQLITE_INTEGER: field.type = adtype::kInteger; break;
          case SQLITE_FLOAT: field.type = adtype::kDouble; break;
          case SQLITE_BLOB: field.type = adtype::kLongVarBinary; break;
          default: field.type = adtype::kVarWChar; break;
        }
        field.defined_size = FixedSizeOf(field.type);
        if (field.defined_size == 0) field.defined_size = kUnboundedSize;
      }
      const char* table = sqlite3_column_table_name(st, i);
      field.base_table = table ? table : "";
      fields_.push_back(std::move(field));
    }
    // A finished statement must not be stepped again: SQLite would run it a second time.
    if (!has_row) statement_.reset();
  }

  const std::vector<FieldInfo>& Fields() const override { return fields_; }

  bool Next(std::vector<Variant>& row) override {
    if (!Step()) return false;
    row.resize(fields_.size());
    for (size_t i = 0; i < fields_.size(); ++i) {
      row[i] = ReadValue(statement_.get(), static_cast<int>(i), fields_[i].type);
    }
    return true;
  }

  bool Skip() override { return Step(); }

  // Moves to the next row (or takes the one stepped to when the statement was opened); false at
  // the end or on an error, which is kept in status_.
  bool Step() {
    if (!statement_) return false;
    if (!pending_row_) {
      int rc = sqlite3_step(statement_.get());
      if (rc != SQLITE_ROW) {
        if (rc != SQLITE_DONE) status_ = Status::Failure(sqlite3_errmsg(handle_->db));
        statement_.reset();
        return false;
      }
    }
    pending_row_ = false;
    return true;
  }

  Status status() const override { return status_; }

 private:
  std::shared_ptr<SqliteHandle> handle_;
  StatementPtr statement_;
  bool pending_row_;
  std::vector<FieldInfo> fields_;
  Status status_ = Status::Ok();
};

// Read-only connections refuse what could write a file or change the connection for later
// users: ATTACH/DETACH, and PRAGMA assignments (PRAGMAs that only read a table's description
// pass). Statements that would write (VACUUM INTO, CREATE TEMP ...) are refused in Execute.
int ReadOnlyAuthorizer(void*, int action, const char* first, const char* second, const char*,
                       const char*) {
  if (action == SQLITE_ATTACH || action == SQLITE_DETACH) return SQLITE_DENY;
  if (action == SQLITE_PRAGMA && second != nullptr) {
    static constexpr std::string_view kReading[] = {
        "table_info", "table_xinfo", "index_list", "index_info", "index_xinfo",
        "foreign_key_list", "foreign_key_check", "integrity_check", "quick_check"};
    std::string name = ToLowerAscii(first ? first : "");
    if (std::find(std::begin(kReading), std::end(kReading), name) == std::end(kReading)) {
      return SQLITE_DENY;
    }
  }
  return SQLITE_OK;
}

class SqliteConnection : public Connection, public ReusableConnection {
 public:
  SqliteConnection(std::string connection_string, std::shared_ptr<SqliteHandle> handle,
                   std::string path, bool read_write)
      : connection_string_(std::move(connection_string)),
        handle_(std::move(handle)),
        path_(std::move(path)),
        read_write_(read_write) {
    struct stat info {};
    if (::stat(path_.c_str(), &info) == 0) {
      device_ = info.st_dev;
      inode_ = info.st_ino;
    }
  }

  // A read-only connection can serve later pages on the same thread: it holds nothing a page
  // could leave behind once no statement of it is alive and no transaction is open, as long
  // as the file is still the one it opened (a replaced file needs a new connection).
  Scope ReuseScope() const override { return read_write_ ? Scope::kNone : Scope::kThread; }
  bool Revive() override {
    if (!handle_ || read_write_) return false;
    if (!sqlite3_get_autocommit(handle_->db) || sqlite3_next_stmt(handle_->db, nullptr)) {
      return false;
    }
    struct stat info {};
    return ::stat(path_.c_str(), &info) == 0 && info.st_dev == device_ && info.st_ino == inode_;
  }

  const std::string& ConnectionString() const override { return connection_string_; }

  Result<std::unique_ptr<Recordset>> Execute(std::string_view sql, int64_t max_records) override {
    if (!handle_) return Status::Failure("The connection is closed.");
    std::string text(sql);
    const char* rest = text.c_str();
    StatementPtr last;
    bool has_row = false;
    // Every statement runs in order; the rows are those of the last one.
    while (!IsBlank(rest)) {
      sqlite3_stmt* raw = nullptr;
      const char* tail = nullptr;
      if (sqlite3_prepare_v2(handle_->db, rest, -1, &raw, &tail) != SQLITE_OK) {
        return Status::Failure(sqlite3_errmsg(handle_->db));
      }
      rest = tail;
      if (!raw) continue;  // a comment or a lone ";"
      StatementPtr statement(raw);
      if (!read_write_ && !sqlite3_stmt_readonly(raw)) {
        return Status::Failure(
            "attempt to write a readonly database (the connection is read-only; Mode=ReadWrite "
            "opens it for writing)");
      }
      int rc = sqlite3_step(raw);
      if (rc != SQLITE_ROW && rc != SQLITE_DONE) return Status::Failure(sqlite3_errmsg(handle_->db));
      if (!IsBlank(rest)) {
        while (rc == SQLITE_ROW) rc = sqlite3_step(raw);
        if (rc != SQLITE_DONE) return Status::Failure(sqlite3_errmsg(handle_->db));
        continue;
      }
      has_row = rc == SQLITE_ROW;
      last = std::move(statement);
    }
    if (!last) return Status::Failure("The SQL text holds no statement.");
    auto cursor = std::make_unique<SqliteCursor>(handle_, std::move(last), has_row);
    return std::make_unique<Recordset>(std::move(cursor), max_records);
  }

  Result<std::unique_ptr<Recordset>> Call(const Command& command, int64_t) override {
    return Status::Failure("SQLite databases have no stored procedures (\"" +
                           command.ProcedureName() + "\").");
  }

  Result<std::vector<CatalogEntry>> Tables() override {
    return List("SELECT name, type FROM sqlite_master WHERE type IN ('table','view') ORDER BY name");
  }
  Result<std::vector<CatalogEntry>> Views() override {
    return List("SELECT name, type FROM sqlite_master WHERE type = 'view' ORDER BY name");
  }
  Result<std::vector<CatalogEntry>> Procedures() override { return std::vector<CatalogEntry>{}; }
  Result<std::vector<ProcedureParameter>> ProcedureParameters(std::string_view procedure) override {
    return Status::Failure("SQLite databases have no stored procedures (\"" +
                           std::string(procedure) + "\").");
  }

  void Close() override { handle_.reset(); }
  bool IsOpen() const override { return handle_ != nullptr; }

 private:
  Result<std::vector<CatalogEntry>> List(std::string_view sql) {
    auto rs = Execute(sql, 0);
    if (!rs.ok()) return rs.status();
    std::vector<CatalogEntry> entries;
    Recordset& r = **rs;
    for (; !r.Eof(); r.MoveNext()) {
      CatalogEntry entry;
      entry.name = r.Value(0).ToText();
      std::string kind = r.Value(1).ToText();
      if (kind == "view") {
        entry.type = "VIEW";
      } else {
        entry.type = entry.name.rfind("sqlite_", 0) == 0 ? "SYSTEM TABLE" : "TABLE";
      }
      entries.push_back(std::move(entry));
    }
    if (!r.status().ok()) return r.status();
    return entries;
  }

  std::string connection_string_;
  std::shared_ptr<SqliteHandle> handle_;
  std::string path_;
  bool read_write_;
  dev_t device_ = 0;
  ino_t inode_ = 0;
};

}  // namespace

Result<std::unique_ptr<Connection>> OpenSqlite(const std::string& connection_string,
                                               const std::string& path, bool read_write) {
  if (path.empty()) return Status::Failure("The connection string names no SQLite database file.");
  // A page reaches only files inside the web root and the folders the server was given.
  if (PageContext* page = CurrentPageContext();
      page && path != ":memory:" &&
      (StartsWithIgnoreCase(path, "file:") || !page->server.DataFileAllowed(path))) {
    return Status::Failure("The SQLite database \"" + path +
                           "\" is outside the web root and the server's data folders.");
  }
  sqlite3* raw = nullptr;
  int flags = (read_write ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) |
              SQLITE_OPEN_NOMUTEX;
  int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
  auto handle = std::make_shared<SqliteHandle>(raw);
  if (rc != SQLITE_OK) {
    return Status::Failure("Cannot open the SQLite database \"" + path + "\": " +
                           (raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc)));
  }
  sqlite3_busy_timeout(raw, 5000);
  sqlite3_extended_result_codes(raw, 1);
  if (!read_write) sqlite3_set_authorizer(raw, ReadOnlyAuthorizer, nullptr);
  return std::unique_ptr<Connection>(
      std::make_unique<SqliteConnection>(connection_string, std::move(handle), path, read_write));
}

}  // namespace quenmark::db
