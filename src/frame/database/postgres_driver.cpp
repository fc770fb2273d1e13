// PostgreSQL driver (libpq).
//
// A single statement streams: it is prepared and described first, so that column types and base
// tables are known before any row arrives (also for empty results), then it runs in single-row
// mode and its rows are read as the recordset walks them. Once a row limit is reached the rest of
// the query is cancelled, so a limited look at a huge table reads only what it shows. Text with
// several statements cannot be prepared; it runs whole and its last result is returned.
//
// The wire carries one query at a time. When a command needs it while a result is still
// streaming, that result first reads the rows it may still hand out into memory.
#ifdef QUENMARK_WITH_POSTGRES

#include <libpq-fe.h>

#include <algorithm>
#include <charconv>
#include <map>
#include <optional>

#include "frame/database/connection_pool.h"
#include "frame/database/drivers.h"

namespace quenmark::db {

namespace {

class StreamCursor;

// The connection handle, shared by the connection and its open cursors so that a recordset that
// outlives Close still reads from a valid handle.
struct PgSession {
  PGconn* conn = nullptr;
  StreamCursor* streaming = nullptr;  // the cursor whose query still occupies the wire
  explicit PgSession(PGconn* c) : conn(c) {}
  ~PgSession() { PQfinish(conn); }
  PgSession(const PgSession&) = delete;
  PgSession& operator=(const PgSession&) = delete;
  // Lets the streaming cursor, if any, take the rest of its rows off the wire.
  void FreeWire();
};

struct ResultDeleter {
  void operator()(PGresult* result) const { PQclear(result); }
};
using ResultPtr = std::unique_ptr<PGresult, ResultDeleter>;

std::string TrimMessage(const char* message) {
  std::string text = message ? message : "";
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text.empty() ? "PostgreSQL reported an unknown error." : text;
}

// Type OIDs of the built-in types (pg_type.h).
enum Oid : unsigned {
  kBool = 16, kBytea = 17, kChar = 18, kName = 19, kInt8 = 20, kInt2 = 21, kInt4 = 23,
  kText = 25, kOid = 26, kFloat4 = 700, kFloat8 = 701, kMoney = 790, kBpchar = 1042,
  kVarchar = 1043, kDate = 1082, kTime = 1083, kTimestamp = 1114, kTimestampTz = 1184,
  kTimeTz = 1266, kNumeric = 1700, kUuid = 2950,
};

int TypeCodeOfOid(unsigned oid) {
  switch (oid) {
    case kBool: return adtype::kBoolean;
    case kBytea: return adtype::kLongVarBinary;
    case kInt8:
    case kOid: return adtype::kBigInt;
    case kInt2: return adtype::kSmallInt;
    case kInt4: return adtype::kInteger;
    case kFloat4: return adtype::kSingle;
    case kFloat8: return adtype::kDouble;
    case kMoney: return adtype::kCurrency;
    case kNumeric: return adtype::kNumeric;
    case kDate: return adtype::kDbDate;
    case kTime:
    case kTimeTz: return adtype::kDbTime;
    case kTimestamp:
    case kTimestampTz: return adtype::kDbTimeStamp;
    case kUuid: return adtype::kGuid;
    default: return adtype::kVarWChar;
  }
}

Variant ParseMoney(std::string_view text) {
  // "$1,234.50", "-$1,234.50" or "($1.00)": keep the digits, the point and the sign.
  std::string digits;
  bool negative = false;
  for (char c : text) {
    if ((c >= '0' && c <= '9') || c == '.') digits += c;
    if (c == '-' || c == '(') negative = true;
  }
  double value = 0;
  auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (ec != std::errc() || digits.empty()) return Variant(text);
  return Variant(negative ? -value : value);
}

Variant ParseValue(const char* data, int length, unsigned oid) {
  std::string_view text(data, static_cast<size_t>(length));
  switch (oid) {
    case kBool: return Variant(text == "t" || text == "true");
    case kInt2:
    case kInt4:
    case kInt8:
    case kOid:
    case kFloat4:
    case kFloat8:
    case kNumeric: {
      Variant number;
      if (ParseSqlNumber(text, number)) return number;
      return Variant(text);
    }
    case kMoney: return ParseMoney(text);
    case kDate:
    case kTime:
    case kTimeTz:
    case kTimestamp:
    case kTimestampTz: {
      DateTime date;
      if (ParseIsoDateTime(text, date)) return Variant(date);
      return Variant(text);
    }
    case kBytea: {
      size_t size = 0;
      unsigned char* bytes = PQunescapeBytea(reinterpret_cast<const unsigned char*>(data), &size);
      if (!bytes) return Variant(Bytes{std::string(text)});
      Variant value(Bytes{std::string(reinterpret_cast<const char*>(bytes), size)});
      PQfreemem(bytes);
      return value;
    }
    default: return Variant(text);
  }
}

bool IsFailure(ExecStatusType status) {
  return status != PGRES_TUPLES_OK && status != PGRES_SINGLE_TUPLE && status != PGRES_COMMAND_OK &&
         status != PGRES_EMPTY_QUERY;
}

std::string_view SqlState(const PGresult* result) {
  const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
  return state ? state : "";
}

// Takes one result of a query off the wire: a COPY is ended (this connection has no data to
// exchange with it, and an open COPY would block every later command) and the first failure is
// kept in `error`.
void Absorb(PGconn* conn, const PGresult* result, Status& error) {
  ExecStatusType status = PQresultStatus(result);
  if (status == PGRES_COPY_OUT || status == PGRES_COPY_BOTH) {
    char* buffer = nullptr;
    while (PQgetCopyData(conn, &buffer, 0) > 0) PQfreemem(buffer);
  } else if (status == PGRES_COPY_IN) {
    PQputCopyEnd(conn, "COPY is not supported on this connection.");
  }
  if (!error.ok()) return;
  if (status == PGRES_COPY_OUT || status == PGRES_COPY_IN || status == PGRES_COPY_BOTH) {
    error = Status::Failure("COPY is not supported on this connection.");
  } else if (IsFailure(status)) {
    error = Status::Failure(TrimMessage(PQresultErrorMessage(result)));
  }
}

// Reads the remaining results of the current query until the connection is idle again.
void DrainResults(PGconn* conn, Status& error) {
  while (ResultPtr result{PQgetResult(conn)}) Absorb(conn, result.get(), error);
}

void ParseRow(const PGresult* result, int tuple, const std::vector<unsigned>& oids,
              std::vector<Variant>& row) {
  row.resize(oids.size());
  for (size_t f = 0; f < oids.size(); ++f) {
    int column = static_cast<int>(f);
    if (PQgetisnull(result, tuple, column)) {
      row[f] = Variant::Null();
    } else {
      row[f] = ParseValue(PQgetvalue(result, tuple, column), PQgetlength(result, tuple, column), oids[f]);
    }
  }
}

// Rows of a result that arrived whole.
class WholeCursor : public Cursor {
 public:
  WholeCursor(ResultPtr result, std::vector<FieldInfo> fields, std::vector<unsigned> oids)
      : result_(std::move(result)), fields_(std::move(fields)), oids_(std::move(oids)) {
    rows_ = result_ ? PQntuples(result_.get()) : 0;
  }
  const std::vector<FieldInfo>& Fields() const override { return fields_; }
  bool Next(std::vector<Variant>& row) override {
    if (next_ >= rows_) {
      result_.reset();
      return false;
    }
    ParseRow(result_.get(), next_++, oids_, row);
    return true;
  }
  bool Skip() override {
    if (next_ >= rows_) {
      result_.reset();
      return false;
    }
    ++next_;
    return true;
  }

 private:
  ResultPtr result_;
  std::vector<FieldInfo> fields_;
  std::vector<unsigned> oids_;
  int rows_ = 0;
  int next_ = 0;
};

// Rows of a query running in single-row mode, read as they are asked for.
class StreamCursor : public Cursor {
 public:
  // `first` is the query's first row, already read so that errors before any row are reported
  // by Execute. `limit` > 0 is the most rows the recordset will take.
  StreamCursor(std::shared_ptr<PgSession> session, ResultPtr first, std::vector<FieldInfo> fields,
               std::vector<unsigned> oids, int64_t limit)
      : session_(std::move(session)),
        first_(std::move(first)),
        fields_(std::move(fields)),
        oids_(std::move(oids)),
        limit_(limit) {
    session_->streaming = this;
  }
  ~StreamCursor() override { Stop(); }
  StreamCursor(const StreamCursor&) = delete;
  StreamCursor& operator=(const StreamCursor&) = delete;

  const std::vector<FieldInfo>& Fields() const override { return fields_; }

  bool Next(std::vector<Variant>& row) override {
    if (buffered_next_ < buffered_rows_) {
      size_t width = fields_.size();
      auto from = buffer_.begin() + static_cast<std::ptrdiff_t>(buffered_next_ * width);
      row.assign(std::make_move_iterator(from), std::make_move_iterator(from + static_cast<std::ptrdiff_t>(width)));
      if (++buffered_next_ == buffered_rows_) {
        buffer_ = {};
        buffered_rows_ = buffered_next_ = 0;
      }
      return true;
    }
    ResultPtr result;
    if (!Take(result)) return false;
    ParseRow(result.get(), 0, oids_, row);
    return true;
  }

  bool Skip() override {
    if (buffered_next_ < buffered_rows_) {
      std::vector<Variant> row;
      return Next(row);
    }
    ResultPtr result;
    return Take(result);
  }

  Status status() const override { return status_; }

  // Reads every row the recordset may still take into memory, so that the connection can run
  // another command while this result stays readable.
  void Detach() {
    ResultPtr result;
    std::vector<Variant> row;
    while (Take(result)) {
      ParseRow(result.get(), 0, oids_, row);
      for (Variant& value : row) buffer_.push_back(std::move(value));
      ++buffered_rows_;
    }
  }

 private:
  // Results read without waiting before a stopped query is cancelled instead: a small rest is
  // cheaper to read than a cancel request, which needs a server process of its own.
  static constexpr int kReadBeforeCancel = 10000;

  // The next row off the wire, or false at the end of the query (a failure is kept).
  bool Take(ResultPtr& out) {
    if (!streaming_) return false;
    ResultPtr result = first_ ? std::move(first_) : ResultPtr(PQgetResult(session_->conn));
    if (result && PQresultStatus(result.get()) == PGRES_SINGLE_TUPLE) {
      out = std::move(result);
      if (limit_ > 0 && ++taken_ >= limit_) Stop();
      return true;
    }
    if (result) {
      Absorb(session_->conn, result.get(), status_);
      DrainResults(session_->conn, status_);
    }
    EndStream();
    return false;
  }

  // Ends the query before its last row: what has already arrived is dropped, and a query that is
  // still sending is cancelled. Its outcome no longer matters: the caller has all it wanted.
  void Stop() {
    if (!streaming_) return;
    first_.reset();
    PGconn* conn = session_->conn;
    Status ignored = Status::Ok();
    // New input is taken in only once the buffered results are read: taking input in shifts
    // what is still buffered, which would make reading a large buffered rest quadratic.
    int dropped = 0;
    while (dropped < kReadBeforeCancel && PQconsumeInput(conn) && !PQisBusy(conn)) {
      do {
        ResultPtr result(PQgetResult(conn));
        if (!result) {
          EndStream();
          return;
        }
        Absorb(conn, result.get(), ignored);
      } while (++dropped < kReadBeforeCancel && !PQisBusy(conn));
    }
    if (PGcancel* cancel = PQgetCancel(conn)) {
      // PQcancel returns once the server has taken the request, so it cannot hit a later query.
      char message[256];
      PQcancel(cancel, message, sizeof message);
      PQfreeCancel(cancel);
    }
    DrainResults(conn, ignored);
    EndStream();
  }

  void EndStream() {
    streaming_ = false;
    if (session_->streaming == this) session_->streaming = nullptr;
  }

  std::shared_ptr<PgSession> session_;
  ResultPtr first_;
  std::vector<FieldInfo> fields_;
  std::vector<unsigned> oids_;
  int64_t limit_;
  int64_t taken_ = 0;
  bool streaming_ = true;
  Status status_ = Status::Ok();
  std::vector<Variant> buffer_;  // detached rows, row-major
  size_t buffered_rows_ = 0;
  size_t buffered_next_ = 0;
};

void PgSession::FreeWire() {
  if (streaming) streaming->Detach();
}

std::string QuoteIdentifier(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

using Values = std::vector<std::optional<std::string>>;

std::vector<const char*> Pointers(const Values& values) {
  std::vector<const char*> pointers;
  pointers.reserve(values.size());
  for (const auto& v : values) pointers.push_back(v ? v->c_str() : nullptr);
  return pointers;
}

class PgConnection : public Connection, public ReusableConnection {
 public:
  PgConnection(std::string connection_string, std::shared_ptr<PgSession> session)
      : connection_string_(std::move(connection_string)), session_(std::move(session)) {}

  const std::string& ConnectionString() const override { return connection_string_; }

  Result<std::unique_ptr<Recordset>> Execute(std::string_view sql, int64_t max_records) override {
    return Query(sql, {}, max_records);
  }

  Result<std::unique_ptr<Recordset>> Call(const Command& command, int64_t max_records) override {
    std::string name = command.ProcedureName();
    std::string target;
    char kind = 'f';
    std::vector<std::string> argument_names;
    if (name.find('.') != std::string::npos) {
      // A schema-qualified name is used as written.
      size_t dot = name.find('.');
      target = QuoteIdentifier(name.substr(0, dot)) + "." + QuoteIdentifier(name.substr(dot + 1));
    } else {
      auto found = Run(
          "SELECT p.proname, p.prokind, array_to_string(p.proargnames, ',') "
          "FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace "
          "WHERE n.nspname = ANY (current_schemas(false)) AND p.prokind IN ('f', 'p') "
          "AND lower(p.proname) = lower($1) ORDER BY (p.proname = $1) DESC LIMIT 1",
          {name});
      if (!found.ok()) return found.status();
      PGresult* r = found->get();
      if (PQntuples(r) == 0) {
        return Status::Failure("The procedure \"" + name + "\" does not exist in this database.");
      }
      target = QuoteIdentifier(PQgetvalue(r, 0, 0));
      kind = PQgetvalue(r, 0, 1)[0];
      std::string_view names = PQgetvalue(r, 0, 2);
      while (!names.empty()) {
        size_t comma = names.find(',');
        argument_names.emplace_back(names.substr(0, comma));
        names = comma == std::string_view::npos ? std::string_view() : names.substr(comma + 1);
      }
    }

    // Named notation when every parameter has a name, so the page's order does not matter.
    const auto& parameters = command.Parameters();
    bool named = std::all_of(parameters.begin(), parameters.end(), [](const Command::Parameter& p) {
      return !p.name.empty() && p.name != "@";
    });
    std::string sql = (kind == 'p' ? "CALL " : "SELECT * FROM ") + target + "(";
    Values values;
    for (size_t i = 0; i < parameters.size(); ++i) {
      if (i > 0) sql += ", ";
      if (named) {
        std::string given = parameters[i].name[0] == '@' ? parameters[i].name.substr(1) : parameters[i].name;
        auto match = std::find_if(argument_names.begin(), argument_names.end(),
                                  [&](const std::string& a) { return EqualsIgnoreCase(a, given); });
        sql += QuoteIdentifier(match != argument_names.end() ? *match : given) + " => ";
      }
      sql += "$" + std::to_string(i + 1);
      if (parameters[i].value.IsNull()) {
        values.emplace_back(std::nullopt);
      } else {
        values.emplace_back(parameters[i].value.ToText());
      }
    }
    sql += ")";
    return Query(sql, values, max_records);
  }
  Result<std::vector<CatalogEntry>> Tables() override {
    return List(
        "SELECT table_name, CASE table_type WHEN 'BASE TABLE' THEN 'TABLE' ELSE table_type END "
        "FROM information_schema.tables WHERE table_schema = ANY (current_schemas(false)) "
        "ORDER BY table_name");
  }
  Result<std::vector<CatalogEntry>> Views() override {
    return List(
        "SELECT table_name, 'VIEW' FROM information_schema.tables "
        "WHERE table_schema = ANY (current_schemas(false)) AND table_type = 'VIEW' "
        "ORDER BY table_name");
  }
  Result<std::vector<CatalogEntry>> Procedures() override {
    return List(
        "SELECT DISTINCT p.proname, CASE p.prokind WHEN 'p' THEN 'PROCEDURE' ELSE 'FUNCTION' END "
        "FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace "
        "WHERE n.nspname = ANY (current_schemas(false)) AND p.prokind IN ('f', 'p') ORDER BY 1");
  }
  Result<std::vector<ProcedureParameter>> ProcedureParameters(std::string_view procedure) override {
    auto result = Run(
        "SELECT pa.parameter_name, pa.udt_name, r.specific_name "
        "FROM information_schema.routines r JOIN information_schema.parameters pa "
        "ON pa.specific_schema = r.specific_schema AND pa.specific_name = r.specific_name "
        "WHERE r.routine_schema = ANY (current_schemas(false)) "
        "AND lower(r.routine_name) = lower($1) AND pa.parameter_mode IN ('IN', 'INOUT') "
        "ORDER BY (r.routine_name = $1) DESC, r.specific_name, pa.ordinal_position",
        {std::string(procedure)});
    if (!result.ok()) return result.status();
    PGresult* r = result->get();
    std::vector<ProcedureParameter> parameters;
    std::string first_routine;
    for (int i = 0; i < PQntuples(r); ++i) {
      std::string routine = PQgetvalue(r, i, 2);
      if (i == 0) first_routine = routine;
      if (routine != first_routine) break;  // overloads: the first one only
      ProcedureParameter parameter;
      parameter.name = PQgetvalue(r, i, 0);
      int64_t size = 0;
      parameter.type = TypeCodeFromName(PQgetvalue(r, i, 1), size);
      parameters.push_back(std::move(parameter));
    }
    return parameters;
  }

  void Close() override {
    session_.reset();
    table_names_.clear();
  }

  // An idle connection is reset to a new session's state (no transaction, settings, temporary
  // tables, prepared statements or locks) before another page gets it.
  Scope ReuseScope() const override { return Scope::kProcess; }
  bool Revive() override {
    if (!session_ || session_.use_count() > 1 || PQstatus(session_->conn) != CONNECTION_OK) {
      return false;
    }
    PGTransactionStatusType state = PQtransactionStatus(session_->conn);
    if (state == PQTRANS_ACTIVE || state == PQTRANS_UNKNOWN) return false;
    auto run = [&](const char* sql) {
      ResultPtr result(PQexec(session_->conn, sql));
      return result && PQresultStatus(result.get()) == PGRES_COMMAND_OK;
    };
    if (state != PQTRANS_IDLE && !run("ROLLBACK")) return false;
    table_names_.clear();
    return run("DISCARD ALL");
  }
  bool IsOpen() const override { return session_ != nullptr; }

 private:
  // Runs a query and returns its rows as a recordset, streaming them when the query is one
  // statement.
  Result<std::unique_ptr<Recordset>> Query(std::string_view sql, const Values& values, int64_t max_records) {
    if (!session_) return Status::Failure("The connection is closed.");
    session_->FreeWire();
    PGconn* conn = session_->conn;
    std::string text(sql);
    std::vector<const char*> pointers = Pointers(values);
    int count = static_cast<int>(values.size());

    ResultPtr prepared(PQprepare(conn, "", text.c_str(), count, nullptr));
    if (!prepared) return Status::Failure(TrimMessage(PQerrorMessage(conn)));
    if (PQresultStatus(prepared.get()) != PGRES_COMMAND_OK) {
      // Several statements cannot be prepared as one (a syntax error); nothing has run yet, so
      // the text runs whole, which also reports any real syntax error in it.
      if (values.empty() && SqlState(prepared.get()) == "42601") {
        auto whole = Run(sql, {});
        if (!whole.ok()) return whole.status();
        return WholeRecordset(std::move(*whole), max_records);
      }
      return Status::Failure(TrimMessage(PQresultErrorMessage(prepared.get())));
    }
    ResultPtr described(PQdescribePrepared(conn, ""));
    if (!described) return Status::Failure(TrimMessage(PQerrorMessage(conn)));
    if (PQresultStatus(described.get()) != PGRES_COMMAND_OK) {
      return Status::Failure(TrimMessage(PQresultErrorMessage(described.get())));
    }
    // Looking table names up replaces the unnamed statement: then the text is sent again.
    bool looked_up = ResolveTables(described.get());
    int sent = looked_up ? PQsendQueryParams(conn, text.c_str(), count, nullptr, pointers.data(),
                                             nullptr, nullptr, 0)
                         : PQsendQueryPrepared(conn, "", count, pointers.data(), nullptr, nullptr, 0);
    if (!sent) return Status::Failure(TrimMessage(PQerrorMessage(conn)));
    PQsetSingleRowMode(conn);

    ResultPtr first(PQgetResult(conn));
    if (first && PQresultStatus(first.get()) == PGRES_SINGLE_TUPLE) {
      std::vector<unsigned> oids;
      std::vector<FieldInfo> fields = FieldsOf(first.get(), oids);
      auto cursor = std::make_unique<StreamCursor>(session_, std::move(first), std::move(fields),
                                                   std::move(oids), max_records);
      return std::make_unique<Recordset>(std::move(cursor), max_records);
    }
    Status error = first ? Status::Ok() : Status::Failure(TrimMessage(PQerrorMessage(conn)));
    if (first) Absorb(conn, first.get(), error);
    DrainResults(conn, error);
    if (!error.ok()) return error;
    // No rows: the result still describes the columns.
    return WholeRecordset(std::move(first), max_records);
  }

  // Runs a query and returns its whole (last) result; for the driver's own small lookups.
  Result<ResultPtr> Run(std::string_view sql, const Values& values) {
    if (!session_) return Status::Failure("The connection is closed.");
    session_->FreeWire();
    PGconn* conn = session_->conn;
    std::string text(sql);
    ResultPtr result;
    if (values.empty()) {
      result.reset(PQexec(conn, text.c_str()));
    } else {
      std::vector<const char*> pointers = Pointers(values);
      result.reset(PQexecParams(conn, text.c_str(), static_cast<int>(values.size()), nullptr,
                                pointers.data(), nullptr, nullptr, 0));
    }
    if (!result) return Status::Failure(TrimMessage(PQerrorMessage(conn)));
    Status error = Status::Ok();
    Absorb(conn, result.get(), error);
    if (!error.ok()) {
      DrainResults(conn, error);
      return error;
    }
    return result;
  }

  Result<ResultPtr> Run(std::string_view sql, std::initializer_list<std::string> values) {
    Values list(values.begin(), values.end());
    return Run(sql, list);
  }

  // Names of the tables that result columns come from, looked up once per table OID. True when
  // a lookup query ran.
  bool ResolveTables(const PGresult* result) {
    std::string missing;
    for (int f = 0; f < PQnfields(result); ++f) {
      unsigned oid = PQftable(result, f);
      if (oid != 0 && !table_names_.count(oid)) {
        table_names_[oid] = "";
        missing += (missing.empty() ? "" : ",") + std::to_string(oid);
      }
    }
    if (missing.empty()) return false;
    auto names = Run("SELECT oid, relname FROM pg_class WHERE oid IN (" + missing + ")", {});
    if (!names.ok()) return true;
    for (int i = 0; i < PQntuples(names->get()); ++i) {
      table_names_[static_cast<unsigned>(std::stoul(PQgetvalue(names->get(), i, 0)))] =
          PQgetvalue(names->get(), i, 1);
    }
    return true;
  }

  std::vector<FieldInfo> FieldsOf(const PGresult* result, std::vector<unsigned>& oids) {
    std::vector<FieldInfo> fields;
    oids.clear();
    for (int f = 0; f < PQnfields(result); ++f) {
      FieldInfo field;
      field.name = PQfname(result, f);
      unsigned oid = PQftype(result, f);
      field.type = TypeCodeOfOid(oid);
      int modifier = PQfmod(result, f);
      field.defined_size = FixedSizeOf(field.type);
      if (field.type == adtype::kVarWChar || field.type == adtype::kLongVarBinary) {
        field.defined_size = (oid == kBpchar || oid == kVarchar) && modifier >= 4 ? modifier - 4 : kUnboundedSize;
      }
      if (unsigned table = PQftable(result, f); table != 0) {
        auto known = table_names_.find(table);
        if (known != table_names_.end()) field.base_table = known->second;
      }
      fields.push_back(std::move(field));
      oids.push_back(oid);
    }
    return fields;
  }

  Result<std::unique_ptr<Recordset>> WholeRecordset(ResultPtr result, int64_t max_records) {
    ResolveTables(result.get());
    std::vector<unsigned> oids;
    std::vector<FieldInfo> fields = FieldsOf(result.get(), oids);
    auto cursor = std::make_unique<WholeCursor>(std::move(result), std::move(fields), std::move(oids));
    return std::make_unique<Recordset>(std::move(cursor), max_records);
  }

  Result<std::vector<CatalogEntry>> List(std::string_view sql) {
    auto result = Run(sql, {});
    if (!result.ok()) return result.status();
    std::vector<CatalogEntry> entries;
    for (int i = 0; i < PQntuples(result->get()); ++i) {
      entries.push_back({PQgetvalue(result->get(), i, 0), PQgetvalue(result->get(), i, 1)});
    }
    return entries;
  }

  std::string connection_string_;
  std::shared_ptr<PgSession> session_;
  std::map<unsigned, std::string> table_names_;
};

}  // namespace

Result<std::unique_ptr<Connection>> OpenPostgres(const std::string& connection_string,
                                                 const std::string& conninfo) {
  auto session = std::make_shared<PgSession>(PQconnectdb(conninfo.c_str()));
  if (!session->conn) return Status::Failure("Cannot connect to PostgreSQL: out of memory.");
  if (PQstatus(session->conn) != CONNECTION_OK) {
    return Status::Failure("Cannot connect to PostgreSQL: " + TrimMessage(PQerrorMessage(session->conn)));
  }
  PQsetClientEncoding(session->conn, "UTF8");
  // Dates and money in forms the value readers understand, whatever the server's defaults.
  ResultPtr setup(PQexec(session->conn, "SET DateStyle = ISO, MDY; SET lc_monetary = 'C'"));
  return std::unique_ptr<Connection>(std::make_unique<PgConnection>(connection_string, std::move(session)));
}

}  // namespace quenmark::db

#endif  // QUENMARK_WITH_POSTGRES
