#pragma once
/// Generic late-bound access to library objects: one table of members per class (name, kind,
/// argument conversion) over `Variant` values. Page-script bridges are generic over this table,
/// so a new member needs one line in its class's table and no new binding.
///
/// Member names match ignoring case. A property may be readable, writable or both; write-only
/// properties raise Error(kUnknownMember) when read.

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "quenmark/error.h"
#include "quenmark/variant.h"

namespace quenmark {

class DispatchTable;

/// Base of every object a page script can hold.
class Dispatchable {
 public:
  virtual ~Dispatchable() = default;
  virtual const DispatchTable& Members() const = 0;
  /// "DataGrid", "StringBuffer", ...
  virtual std::string_view ClassName() const = 0;
};

/// Positional arguments of a call with the usual conversions. A missing argument raises
/// Error(kArgumentNotOptional) unless a default is given.
class Arguments {
 public:
  explicit Arguments(std::span<Variant> values) : values_(values) {}
  size_t Count() const { return values_.size(); }
  bool Has(size_t i) const { return i < values_.size() && !values_[i].IsEmpty(); }
  const Variant& Get(size_t i) const;
  /// By-reference argument: the callee may write back.
  Variant& Ref(size_t i);
  std::string Text(size_t i) const { return Get(i).ToText(); }
  std::string Text(size_t i, std::string fallback) const {
    return Has(i) ? Get(i).ToText() : fallback;
  }
  int16_t Int16(size_t i) const { return Get(i).ToInt16(); }
  int32_t Int32(size_t i) const { return Get(i).ToInt32(); }
  double Real(size_t i) const { return Get(i).ToReal(); }
  bool Boolean(size_t i) const { return Get(i).ToBoolean(); }

 private:
  std::span<Variant> values_;
};

struct Member {
  std::string name;
  /// Methods: called with the arguments; returns Variant() for none.
  std::function<Variant(Dispatchable&, Arguments&)> method;
  /// Properties: read (null = write-only) and write (null = read-only).
  std::function<Variant(Dispatchable&)> get;
  std::function<void(Dispatchable&, const Variant&)> set;
  /// For the member reference: a method's arguments ("column, caption"; "[x]" when optional) or
  /// a property's value ("text", "number", "true/false", "list"), and one line saying what it does.
  std::string arguments;
  std::string description;
  bool IsMethod() const { return static_cast<bool>(method); }
};

class DispatchTable {
 public:
  /// nullptr when the class has no member of that name (ignoring case).
  const Member* Find(std::string_view name) const;
  const std::vector<Member>& All() const { return members_; }
  void Add(Member member) { members_.push_back(std::move(member)); }
  /// Documents the member added last (see Member::arguments and Member::description).
  void Describe(std::string arguments, std::string description);

 private:
  std::vector<Member> members_;
};

/// Typed builder: `DispatchBuilder<Grid>(table).Method("Display", [](Grid& g, Arguments&) {...})`.
template <class T>
class DispatchBuilder {
 public:
  explicit DispatchBuilder(DispatchTable& table) : table_(table) {}

  DispatchBuilder& Method(std::string name, std::function<Variant(T&, Arguments&)> fn) {
    Member m;
    m.name = std::move(name);
    m.method = [fn](Dispatchable& self, Arguments& args) {
      return fn(static_cast<T&>(self), args);
    };
    table_.Add(std::move(m));
    return *this;
  }
  DispatchBuilder& Property(std::string name, std::function<Variant(T&)> get,
                            std::function<void(T&, const Variant&)> set) {
    Member m;
    m.name = std::move(name);
    if (get) m.get = [get](Dispatchable& self) { return get(static_cast<T&>(self)); };
    if (set) {
      m.set = [set](Dispatchable& self, const Variant& v) { set(static_cast<T&>(self), v); };
    }
    table_.Add(std::move(m));
    return *this;
  }
  DispatchBuilder& ReadOnly(std::string name, std::function<Variant(T&)> get) {
    return Property(std::move(name), std::move(get), nullptr);
  }
  DispatchBuilder& WriteOnly(std::string name, std::function<void(T&, const Variant&)> set) {
    return Property(std::move(name), nullptr, std::move(set));
  }
  /// Documents the member added just before, for `quenmark members` and docs/reference.md:
  /// `.Method("ColumnCaption", ...).Doc("column, caption", "Sets the header text of a column.")`.
  DispatchBuilder& Doc(std::string arguments, std::string description) {
    table_.Describe(std::move(arguments), std::move(description));
    return *this;
  }

 private:
  DispatchTable& table_;
};

/// Late-bound calls used by bridges (and handy in tests). All raise Error on unknown members,
/// wrong kinds (calling a property, reading a write-only property) or missing arguments.
Variant CallMember(Dispatchable& object, std::string_view name, std::vector<Variant> args = {});
Variant GetProperty(Dispatchable& object, std::string_view name);
void SetProperty(Dispatchable& object, std::string_view name, const Variant& value);

/// Creatable classes by name ("Quenmark.DataGrid"), matched ignoring case.
class ObjectRegistry {
 public:
  using Factory = std::function<std::shared_ptr<Dispatchable>()>;
  /// The process-wide registry; the host fills it once at start-up (RegisterBuiltinObjects).
  static ObjectRegistry& Global();
  void Register(std::string prog_id, Factory factory);
  /// nullptr when the name is unknown.
  std::shared_ptr<Dispatchable> Create(std::string_view prog_id) const;
  std::vector<std::string> Names() const;

 private:
  std::vector<std::pair<std::string, Factory>> factories_;
};

/// Registers every creatable class of the library in `registry`.
void RegisterBuiltinObjects(ObjectRegistry& registry);

}  // namespace quenmark
