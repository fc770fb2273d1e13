#pragma once
/// Database access: connections, read-only recordsets, stored-procedure commands and a catalogue,
/// over three drivers chosen by the connection string:
///   SQLite      "Provider=SQLite;Data Source=demo.db" or "sqlite:demo.db" (read-only unless the
///               string says "Mode=ReadWrite")
///   PostgreSQL  "postgresql://..." or "Provider=PostgreSQL;Host=...;Database=..."
///   ODBC        any string with "Driver=" or "DSN="
///
/// Failures come back as Status/Result values whose description the grid shows. Data-type codes
/// are the ADO numbers (3 integer, 20 bigint, 5 double, 131 numeric, 202/200 text,
/// 133 date, 134 time, 135 timestamp, 6 money, 11 boolean, 72 guid, 205 binary).
///
/// Threading: a connection and its recordsets belong to one thread at a time.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "quenmark/error.h"
#include "quenmark/variant.h"

namespace quenmark {

/// ADO data-type codes used by the drivers.
namespace adtype {
inline constexpr int kSmallInt = 2;
inline constexpr int kInteger = 3;
inline constexpr int kSingle = 4;
inline constexpr int kDouble = 5;
inline constexpr int kCurrency = 6;
inline constexpr int kDate = 7;
inline constexpr int kBoolean = 11;
inline constexpr int kTinyInt = 16;
inline constexpr int kBigInt = 20;
inline constexpr int kGuid = 72;
inline constexpr int kNumeric = 131;
inline constexpr int kDbDate = 133;
inline constexpr int kDbTime = 134;
inline constexpr int kDbTimeStamp = 135;
inline constexpr int kVarChar = 200;
inline constexpr int kVarWChar = 202;
inline constexpr int kLongVarBinary = 205;
}  // namespace adtype

/// Description of one result column.
struct FieldInfo {
  std::string name;
  int type = adtype::kVarWChar;  ///< ADO data-type code
  int64_t defined_size = 0;      ///< declared size (characters for text, bytes otherwise)
  std::string base_table;        ///< table the column comes from, or empty (expressions)
};

/// Driver side of a result: a forward cursor. Implemented once per driver.
class Cursor {
 public:
  virtual ~Cursor() = default;
  virtual const std::vector<FieldInfo>& Fields() const = 0;
  /// Fills `row` (one Variant per field; SQL NULL is Variant::Null()) and returns true, or
  /// returns false at the end. A fetch error ends the cursor and is reported by `status()`.
  virtual bool Next(std::vector<Variant>& row) = 0;
  /// Moves past the next row without converting its values; false at the end. Drivers that
  /// can step without reading override it.
  virtual bool Skip();
  virtual Status status() const { return Status::Ok(); }
};

/// A read-only result with client-side Sort and Filter. Rows are fetched from the cursor as they
/// are walked; Sort, Filter and GetRows fetch the rest first.
class Recordset {
 public:
  /// max_records > 0 stops fetching after that many rows.
  explicit Recordset(std::unique_ptr<Cursor> cursor, int64_t max_records = 0);
  ~Recordset();
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;

  int FieldCount() const;
  const FieldInfo& Field(int index) const;
  /// 0-based index of a field by name (ignoring case), or -1.
  int FieldIndex(std::string_view name) const;
  const std::vector<FieldInfo>& Fields() const;

  bool Eof();
  void MoveNext();
  /// Value of a field in the current row (Error if Eof).
  const Variant& Value(int index);
  /// Actual size of the current row's value (characters for text, bytes for binary).
  int64_t ActualSize(int index);

  /// Every remaining row (after Filter and Sort), as columns[field][row]. Moves to Eof.
  std::vector<std::vector<Variant>> GetRows();
  /// As GetRows, but moves the values out instead of copying them, then closes the recordset
  /// (status() still reports a fetch error). For callers that read a result once.
  std::vector<std::vector<Variant>> TakeRows();
  /// Remaining rows as text: values joined by column_delimiter, rows ended by row_delimiter,
  /// nulls written as null_text. Moves to Eof.
  std::string GetString(std::string_view column_delimiter = "\t",
                        std::string_view row_delimiter = "\r\n", std::string_view null_text = "");

  /// Client-side sort: "Name, Amount desc"; several keys, stable. Resets to the first row.
  Status Sort(std::string_view keys);
  /// Client-side filter in the ADO filter language ("[Qty] > 5 AND Name LIKE 'A%'"); an empty
  /// text clears it. Resets to the first row. Invalid expressions and unknown fields fail.
  Status Filter(std::string_view expression);

  /// Forward-only reading that keeps nothing: the next row (after Filter and Sort, if they were
  /// set) is moved into `row`; false at the end. Rows the walk already fetched come first. A
  /// caller uses either this or the Eof/Value/MoveNext walk after its first Eof check.
  bool ReadNext(std::vector<Variant>& row);
  /// As ReadNext, but the row's values are not converted when the driver can avoid it.
  bool SkipNext();

  /// A fetch error met while reading rows (the cursor's status).
  Status status() const;
  void Close();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

/// Stored-procedure call with named input parameters (text values, as the grid adds them).
class Command {
 public:
  explicit Command(std::string procedure_name) : procedure_(std::move(procedure_name)) {}
  const std::string& ProcedureName() const { return procedure_; }
  void AddParameter(std::string name, Variant value);
  /// Overwrites the value of the parameter at 0-based `index`; false if there is none.
  bool SetParameterValue(size_t index, Variant value);
  struct Parameter {
    std::string name;
    Variant value;
  };
  const std::vector<Parameter>& Parameters() const { return parameters_; }

 private:
  std::string procedure_;
  std::vector<Parameter> parameters_;
};

struct CatalogEntry {
  std::string name;
  std::string type;  ///< "TABLE", "VIEW", "PROCEDURE", "FUNCTION", ...
};

struct ProcedureParameter {
  std::string name;
  int type = adtype::kVarWChar;  ///< ADO data-type code
};

class Connection {
 public:
  virtual ~Connection() = default;
  /// Opens a connection with the driver the string selects.
  static Result<std::unique_ptr<Connection>> Open(std::string_view connection_string);

  /// The string the connection was opened with, unchanged.
  virtual const std::string& ConnectionString() const = 0;
  /// Runs SQL and returns its rows (max_records > 0 limits the rows fetched).
  virtual Result<std::unique_ptr<Recordset>> Execute(std::string_view sql,
                                                     int64_t max_records = 0) = 0;
  /// Calls a stored procedure (PostgreSQL functions, ODBC {call}); SQLite has none.
  virtual Result<std::unique_ptr<Recordset>> Call(const Command& command,
                                                  int64_t max_records = 0) = 0;
  /// Every table-like object by name: base tables ("TABLE"), views ("VIEW") and, where the
  /// database reports them, system tables ("SYSTEM TABLE"). Callers keep the type they need.
  virtual Result<std::vector<CatalogEntry>> Tables() = 0;
  virtual Result<std::vector<CatalogEntry>> Views() = 0;
  virtual Result<std::vector<CatalogEntry>> Procedures() = 0;
  virtual Result<std::vector<ProcedureParameter>> ProcedureParameters(
      std::string_view procedure) = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
};

}  // namespace quenmark
