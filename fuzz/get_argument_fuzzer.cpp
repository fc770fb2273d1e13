// Reading one key out of a decoded postback argument ("k1:v1;k2:v2;"): the first line of the
// input is the key, the rest the argument text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "quenmark/shared_procedures.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t newline = input.find('\n');
  const std::string_view key = input.substr(0, newline);
  const std::string_view arguments =
      newline == std::string_view::npos ? std::string_view() : input.substr(newline + 1);
  const std::string value = quenmark::GetArgument(arguments, key);
  // A value is a piece of the argument text.
  if (value.size() > arguments.size()) std::abort();
  return 0;
}
