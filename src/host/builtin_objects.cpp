// The classes page scripts create by name: the library name, ".", and the class name.

#include "host/builtin_objects.h"

#include <memory>
#include <mutex>

#include "quenmark/connection_object.h"
#include "quenmark/data_grid.h"
#include "quenmark/dispatch.h"
#include "quenmark/simple_graph.h"
#include "quenmark/string_buffer.h"
#include "quenmark/tabulon2.h"

namespace quenmark {

void RegisterBuiltinObjects(ObjectRegistry& registry) {
  registry.Register("Quenmark.StringBuffer", [] { return std::make_shared<StringBuffer>(); });
  registry.Register("Quenmark.Connection", [] { return std::make_shared<ConnectionObject>(); });
  registry.Register("Quenmark.DataGrid", [] { return std::make_shared<DataGrid>(); });
  registry.Register("Quenmark.SimpleGraph", [] { return std::make_shared<SimpleGraph>(); });
  registry.Register("Quenmark.Tabulon2", [] { return std::make_shared<Tabulon2>(); });
}

namespace host {

void EnsureBuiltinObjects() {
  static std::once_flag once;
  std::call_once(once, [] { RegisterBuiltinObjects(ObjectRegistry::Global()); });
}

}  // namespace host

}  // namespace quenmark
