// The .qsp page compiler: any page text either compiles to Lua source or fails with a message.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "host/qsp_compiler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view page(reinterpret_cast<const char*>(data), size);
  auto compiled = quenmark::host::CompileQsp(page);
  (void)compiled;
  return 0;
}
