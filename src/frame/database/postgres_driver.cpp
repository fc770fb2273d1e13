// PostgreSQL driver (libpq). Results are read whole (PQexec) and walked by a cursor, so that
// the connection stays free for catalogue queries while a recordset is open.
#ifdef QUENMARK_WITH_POSTGRES

#include <libpq-fe.h>

#include <algorithm>
#include <charconv>
#include <map>

#include "frame/database/drivers.h"

namespace quenmark::db {

namespace {

struct PgHandle {
  PGconn* conn = nullptr;
  explicit PgHandle(PGconn* c) : conn(c) {}
  ~PgHandle() { PQfinish(conn); }
  PgHandle(const PgHandle&) = delete;
  PgHandle& operator=(const PgHandle&) = delete;
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

class PgCursor : public Cursor {
 public:
  PgCursor(ResultPtr result, std::vector<FieldInfo> fields, std::vector<unsigned> oids)
      : result_(std::move(result)), fields_(std::move(fields)), oids_(std::move(oids)) {
    rows_ = result_ ? PQntuples(result_.get()) : 0;
  }
  const std::vector<FieldInfo>& Fields() const override { return fields_; }
  bool Next(std::vector<Variant>& row) override {
    if (next_ >= rows_) {
      result_.reset();
      return false;
    }
    row.resize(fields_.size());
    PGresult* r = result_.get();
    for (int f = 0; f < static_cast<int>(fields_.size()); ++f) {
      if (PQgetisnull(r, next_, f)) {
        row[static_cast<size_t>(f)] = Variant::Null();
      } else {
        row[static_cast<size_t>(f)] = ParseValue(PQgetvalue(r, next_, f), PQgetlength(r, next_, f),
                                                 oids_[static_cast<size_t>(f)]);
      }
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

std::string QuoteIdentifier(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

class PgConnection : public Connection {
 public:
  PgConnection(std::string connection_string, std::shared_ptr<PgHandle> handle)
      : connection_string_(std::move(connection_string)), handle_(std::move(handle)) {}

  const std::string& ConnectionString() const override { return connection_string_; }

  Result<std::unique_ptr<Recordset>> Execute(std::string_view sql, int64_t max_records) override {
    auto result = Run(sql, {});
    if (!result.ok()) return result.status();
    return MakeRecordset(std::move(*result), max_records);
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
    std::vector<std::optional<std::string>> values;
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
    auto result = Run(sql, values);
    if (!result.ok()) return result.status();
    return MakeRecordset(std::move(*result), max_records);
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
    handle_.reset();
    table_names_.clear();
  }
  bool IsOpen() const override { return handle_ != nullptr; }

 private:
  Result<ResultPtr> Run(std::string_view sql, const std::vector<std::optional<std::string>>& values) {
    if (!handle_) return Status::Failure("The connection is closed.");
    std::string text(sql);
    ResultPtr result;
    if (values.empty()) {
      result.reset(PQexec(handle_->conn, text.c_str()));
    } else {
      std::vector<const char*> pointers;
      pointers.reserve(values.size());
      for (const auto& v : values) pointers.push_back(v ? v->c_str() : nullptr);
      result.reset(PQexecParams(handle_->conn, text.c_str(), static_cast<int>(values.size()),
                                nullptr, pointers.data(), nullptr, nullptr, 0));
    }
    if (!result) return Status::Failure(TrimMessage(PQerrorMessage(handle_->conn)));
    ExecStatusType status = PQresultStatus(result.get());
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK && status != PGRES_EMPTY_QUERY) {
      return Status::Failure(TrimMessage(PQresultErrorMessage(result.get())));
    }
    return result;
  }

  Result<ResultPtr> Run(std::string_view sql, std::initializer_list<std::string> values) {
    std::vector<std::optional<std::string>> list(values.begin(), values.end());
    return Run(sql, list);
  }

  // Names of the tables that result columns come from, looked up once per table OID.
  void ResolveTables(PGresult* result) {
    std::string missing;
    for (int f = 0; f < PQnfields(result); ++f) {
      unsigned oid = PQftable(result, f);
      if (oid != 0 && !table_names_.count(oid)) {
        table_names_[oid] = "";
        missing += (missing.empty() ? "" : ",") + std::to_string(oid);
      }
    }
    if (missing.empty()) return;
    auto names = Run("SELECT oid, relname FROM pg_class WHERE oid IN (" + missing + ")", {});
    if (!names.ok()) return;
    for (int i = 0; i < PQntuples(names->get()); ++i) {
      table_names_[static_cast<unsigned>(std::stoul(PQgetvalue(names->get(), i, 0)))] =
          PQgetvalue(names->get(), i, 1);
    }
  }

  Result<std::unique_ptr<Recordset>> MakeRecordset(ResultPtr result, int64_t max_records) {
    PGresult* r = result.get();
    ResolveTables(r);
    std::vector<FieldInfo> fields;
    std::vector<unsigned> oids;
    for (int f = 0; f < PQnfields(r); ++f) {
      FieldInfo field;
      field.name = PQfname(r, f);
      unsigned oid = PQftype(r, f);
      field.type = TypeCodeOfOid(oid);
      int modifier = PQfmod(r, f);
      field.defined_size = FixedSizeOf(field.type);
      if (field.type == adtype::kVarWChar || field.type == adtype::kLongVarBinary) {
        field.defined_size = (oid == kBpchar || oid == kVarchar) && modifier >= 4 ? modifier - 4 : kUnboundedSize;
      }
      if (unsigned table = PQftable(r, f); table != 0) field.base_table = table_names_[table];
      fields.push_back(std::move(field));
      oids.push_back(oid);
    }
    auto cursor = std::make_unique<PgCursor>(std::move(result), std::move(fields), std::move(oids));
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
  std::shared_ptr<PgHandle> handle_;
  std::map<unsigned, std::string> table_names_;
};

}  // namespace

Result<std::unique_ptr<Connection>> OpenPostgres(const std::string& connection_string,
                                                 const std::string& conninfo) {
  auto handle = std::make_shared<PgHandle>(PQconnectdb(conninfo.c_str()));
  if (!handle->conn) return Status::Failure("Cannot connect to PostgreSQL: out of memory.");
  if (PQstatus(handle->conn) != CONNECTION_OK) {
    return Status::Failure("Cannot connect to PostgreSQL: " + TrimMessage(PQerrorMessage(handle->conn)));
  }
  PQsetClientEncoding(handle->conn, "UTF8");
  // Dates and money in forms the value readers understand, whatever the server's defaults.
  ResultPtr setup(PQexec(handle->conn, "SET DateStyle = ISO, MDY; SET lc_monetary = 'C'"));
  return std::unique_ptr<Connection>(std::make_unique<PgConnection>(connection_string, std::move(handle)));
}

}  // namespace quenmark::db

#endif  // QUENMARK_WITH_POSTGRES
