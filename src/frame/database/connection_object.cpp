// The script-creatable connection object and the recordset and field objects it hands out.
#include "quenmark/connection_object.h"

#include <cmath>

namespace quenmark {

namespace {

constexpr const char* kConnectionSource = "Quenmark.Connection";
constexpr const char* kRecordsetSource = "Quenmark.Recordset";

[[noreturn]] void Raise(const std::string& description, const char* source) {
  throw Error(ErrorNumber::kGeneric, description, source);
}

class RecordsetObject : public Dispatchable, public std::enable_shared_from_this<RecordsetObject> {
 public:
  explicit RecordsetObject(std::unique_ptr<Recordset> recordset) : recordset_(std::move(recordset)) {}

  const DispatchTable& Members() const override;
  std::string_view ClassName() const override { return "Recordset"; }

  Recordset& Get() {
    if (!recordset_) Raise("The recordset is closed.", kRecordsetSource);
    return *recordset_;
  }

  // A field by 0-based position or by name (ignoring case).
  int Resolve(const Variant& which) {
    Recordset& r = Get();
    int index = -1;
    if (which.IsNumeric()) {
      index = which.ToInt32();
    } else {
      index = r.FieldIndex(which.ToText());
      if (index < 0) {
        Raise("The recordset has no field \"" + which.ToText() + "\".", kRecordsetSource);
      }
    }
    if (index < 0 || index >= r.FieldCount()) {
      Raise("Field index " + std::to_string(index) + " is out of range.", kRecordsetSource);
    }
    return index;
  }

  std::shared_ptr<Dispatchable> Field(const Variant& which);

  void Close() {
    if (recordset_) recordset_->Close();
    recordset_.reset();
  }

  std::string sort_;
  std::string filter_;

 private:
  std::unique_ptr<Recordset> recordset_;
};

// A field of the current record: reads the recordset's current row when asked.
class FieldObject : public Dispatchable {
 public:
  FieldObject(std::shared_ptr<RecordsetObject> owner, int index) : owner_(std::move(owner)), index_(index) {}
  const DispatchTable& Members() const override;
  std::string_view ClassName() const override { return "Field"; }

  const FieldInfo& Info() { return owner_->Get().Field(index_); }
  Variant Value() { return owner_->Get().Value(index_); }
  int64_t ActualSize() { return owner_->Get().ActualSize(index_); }

 private:
  std::shared_ptr<RecordsetObject> owner_;
  int index_;
};

std::shared_ptr<Dispatchable> RecordsetObject::Field(const Variant& which) {
  int index = Resolve(which);
  return std::make_shared<FieldObject>(shared_from_this(), index);
}

const DispatchTable& FieldObject::Members() const {
  static const DispatchTable table = [] {
    DispatchTable t;
    DispatchBuilder<FieldObject>(t)
        .ReadOnly("Name", [](FieldObject& f) { return Variant(f.Info().name); })
        .ReadOnly("Type", [](FieldObject& f) { return Variant(f.Info().type); })
        .ReadOnly("DefinedSize", [](FieldObject& f) { return Variant(f.Info().defined_size); })
        .ReadOnly("ActualSize", [](FieldObject& f) { return Variant(f.ActualSize()); })
        .ReadOnly("BaseTable", [](FieldObject& f) { return Variant(f.Info().base_table); })
        .ReadOnly("Value", [](FieldObject& f) { return f.Value(); });
    return t;
  }();
  return table;
}

const DispatchTable& RecordsetObject::Members() const {
  static const DispatchTable table = [] {
    DispatchTable t;
    DispatchBuilder<RecordsetObject>(t)
        .ReadOnly("EOF", [](RecordsetObject& r) { return Variant(r.Get().Eof()); })
        .ReadOnly("FieldCount", [](RecordsetObject& r) { return Variant(r.Get().FieldCount()); })
        .Method("MoveNext",
                [](RecordsetObject& r, Arguments&) {
                  r.Get().MoveNext();
                  return Variant();
                })
        .Method("Fields", [](RecordsetObject& r, Arguments& a) { return Variant(r.Field(a.Get(0))); })
        .Method("Item", [](RecordsetObject& r, Arguments& a) { return r.Get().Value(r.Resolve(a.Get(0))); })
        .Property(
            "Sort", [](RecordsetObject& r) { return Variant(r.sort_); },
            [](RecordsetObject& r, const Variant& v) {
              Status s = r.Get().Sort(v.ToText());
              if (!s.ok()) Raise(s.Description(), kRecordsetSource);
              r.sort_ = v.ToText();
            })
        .Property(
            "Filter", [](RecordsetObject& r) { return Variant(r.filter_); },
            [](RecordsetObject& r, const Variant& v) {
              Status s = r.Get().Filter(v.ToText());
              if (!s.ok()) Raise(s.Description(), kRecordsetSource);
              r.filter_ = v.ToText();
            })
        .Method("GetRows",
                [](RecordsetObject& r, Arguments&) {
                  std::vector<Variant> columns;
                  for (auto& column : r.Get().GetRows()) columns.emplace_back(std::move(column));
                  return Variant(std::move(columns));
                })
        .Method("GetString",
                [](RecordsetObject& r, Arguments& a) {
                  return Variant(r.Get().GetString(a.Text(0, "\t"), a.Text(1, "\r\n"), a.Text(2, "")));
                })
        .Method("Close", [](RecordsetObject& r, Arguments&) {
          r.Close();
          return Variant();
        });
    return t;
  }();
  return table;
}

}  // namespace

ConnectionObject::ConnectionObject(std::unique_ptr<Connection> connection)
    : connection_(std::move(connection)) {
  if (connection_) connection_string_ = connection_->ConnectionString();
}

ConnectionObject::~ConnectionObject() = default;

void ConnectionObject::Open(std::string_view connection_string) {
  if (!connection_string.empty()) connection_string_ = std::string(connection_string);
  Close();
  auto opened = Connection::Open(connection_string_);
  if (!opened.ok()) Raise(opened.Description(), kConnectionSource);
  connection_ = std::move(*opened);
}

void ConnectionObject::Close() {
  if (connection_) connection_->Close();
  connection_.reset();
}

bool ConnectionObject::IsOpen() const { return connection_ && connection_->IsOpen(); }

std::shared_ptr<Dispatchable> ConnectionObject::Execute(std::string_view sql) {
  if (!IsOpen()) Raise("The connection is not open.", kConnectionSource);
  auto result = connection_->Execute(sql);
  if (!result.ok()) Raise(result.Description(), kConnectionSource);
  return std::make_shared<RecordsetObject>(std::move(*result));
}

const DispatchTable& ConnectionObject::Members() const {
  static const DispatchTable table = [] {
    DispatchTable t;
    DispatchBuilder<ConnectionObject>(t)
        .Property(
            "ConnectionString", [](ConnectionObject& c) { return Variant(c.ConnectionString()); },
            [](ConnectionObject& c, const Variant& v) { c.SetConnectionString(v.ToText()); })
        .Doc("text", "The connection string used by `Open`.")
        .Method("Open",
                [](ConnectionObject& c, Arguments& a) {
                  c.Open(a.Has(0) ? a.Text(0) : std::string());
                  return Variant();
                })
        .Doc("[connection string]",
             "Opens the connection (with `ConnectionString` when no text is given).")
        .Method("Close",
                [](ConnectionObject& c, Arguments&) {
                  c.Close();
                  return Variant();
                })
        .Doc("", "Closes the connection; closing a closed one does nothing.")
        .ReadOnly("State", [](ConnectionObject& c) { return Variant(c.IsOpen() ? 1 : 0); })
        .Doc("number", "1 when open, 0 when closed.")
        .Method("Execute",
                [](ConnectionObject& c, Arguments& a) { return Variant(c.Execute(a.Text(0))); })
        .Doc("sql",
             "Runs the SQL and returns a recordset (EOF, MoveNext, Fields, Item, GetRows, "
             "GetString, Close).");
    return t;
  }();
  return table;
}

}  // namespace quenmark
