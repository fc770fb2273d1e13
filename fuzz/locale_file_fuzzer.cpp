// A locale file: any content either yields its entries and keys (a missing key is added) or is
// refused with a message, never a crash.
#include <cstddef>
#include <cstdint>

#include "fuzz_temp_file.h"
#include "reports/locale_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static quenmark::fuzz::FuzzTempFile file("locale.xml");
  const std::string& path = file.Write(data, size);

  auto entries = quenmark::reports::LocaleEntries(path);
  if (entries.ok()) {
    for (const auto& [name, text] : *entries) {
      (void)quenmark::reports::ReadLocaleKey(path, name, "fallback");
    }
  }
  (void)quenmark::reports::ReadLocaleKey(path, "FuzzMissingKey", "fallback");
  (void)quenmark::reports::ReadLocaleKey(path, "not a name", "fallback");
  file.Clear();
  return 0;
}
