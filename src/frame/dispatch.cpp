#include "quenmark/dispatch.h"

#include <string>

#include "frame/text_util.h"

namespace quenmark {
namespace {

[[noreturn]] void Unsupported(std::string_view name) {
  throw Error(ErrorNumber::kUnknownMember,
              "Object doesn't support this property or method: '" + std::string(name) + "'");
}

const Member& FindOrThrow(Dispatchable& object, std::string_view name) {
  const Member* member = object.Members().Find(name);
  if (member == nullptr) Unsupported(name);
  return *member;
}

}  // namespace

const Variant& Arguments::Get(size_t i) const {
  if (i >= values_.size()) throw Error(ErrorNumber::kArgumentNotOptional, "Argument not optional");
  return values_[i];
}

Variant& Arguments::Ref(size_t i) {
  if (i >= values_.size()) throw Error(ErrorNumber::kArgumentNotOptional, "Argument not optional");
  return values_[i];
}

const Member* DispatchTable::Find(std::string_view name) const {
  for (const Member& member : members_) {
    if (EqualsIgnoreCase(member.name, name)) return &member;
  }
  return nullptr;
}

void DispatchTable::Describe(std::string arguments, std::string description) {
  if (members_.empty()) return;
  members_.back().arguments = std::move(arguments);
  members_.back().description = std::move(description);
}

Variant CallMember(Dispatchable& object, std::string_view name, std::vector<Variant> args) {
  const Member& member = FindOrThrow(object, name);
  if (!member.IsMethod()) Unsupported(name);
  Arguments arguments{std::span<Variant>(args)};
  return member.method(object, arguments);
}

Variant GetProperty(Dispatchable& object, std::string_view name) {
  const Member& member = FindOrThrow(object, name);
  if (!member.get) Unsupported(name);
  return member.get(object);
}

void SetProperty(Dispatchable& object, std::string_view name, const Variant& value) {
  const Member& member = FindOrThrow(object, name);
  if (!member.set) Unsupported(name);
  member.set(object, value);
}

ObjectRegistry& ObjectRegistry::Global() {
  static ObjectRegistry registry;
  return registry;
}

void ObjectRegistry::Register(std::string prog_id, Factory factory) {
  for (auto& [name, existing] : factories_) {
    if (EqualsIgnoreCase(name, prog_id)) {
      existing = std::move(factory);
      return;
    }
  }
  factories_.emplace_back(std::move(prog_id), std::move(factory));
}

std::shared_ptr<Dispatchable> ObjectRegistry::Create(std::string_view prog_id) const {
  for (const auto& [name, factory] : factories_) {
    if (EqualsIgnoreCase(name, prog_id)) return factory();
  }
  return nullptr;
}

std::vector<std::string> ObjectRegistry::Names() const {
  std::vector<std::string> names;
  names.reserve(factories_.size());
  for (const auto& entry : factories_) names.push_back(entry.first);
  return names;
}

}  // namespace quenmark
