// Stored-procedure commands: named input parameters in the order the page adds them.
#include "quenmark/database.h"

namespace quenmark {

void Command::AddParameter(std::string name, Variant value) {
  parameters_.push_back({std::move(name), std::move(value)});
}

bool Command::SetParameterValue(size_t index, Variant value) {
  if (index >= parameters_.size()) return false;
  parameters_[index].value = std::move(value);
  return true;
}

}  // namespace quenmark
