#pragma once
// Fills ObjectRegistry::Global() with the library's creatable classes, once per process.

namespace quenmark::host {

/// Calls RegisterBuiltinObjects(ObjectRegistry::Global()) the first time; later calls do nothing.
void EnsureBuiltinObjects();

}  // namespace quenmark::host
