// The report definition text: any text is read into a definition that writes back and reads
// again the same way, and its schema attributes can be read and set.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "reports/report_definition.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quenmark::reports;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  ReportDefinition definition;
  ReadDefinitionText(text, definition);

  const std::string written = DefinitionText(definition);
  ReportDefinition reread;
  ReadDefinitionText(written, reread);
  (void)DefinitionText(reread);

  // Each field's schema attributes, read and set.
  std::string_view fields = definition.fields;
  std::string schema = definition.schema;
  while (!fields.empty()) {
    size_t comma = fields.find(',');
    std::string_view field = fields.substr(0, comma);
    for (char attribute : {'c', 'f', 't'}) {
      (void)SchemaAttribute(schema, field, attribute);
      (void)PreviousSchemaAttribute(schema, field, attribute, "fallback");
    }
    schema = SetSchemaAttribute(schema, field, 'c', "Caption");
    if (comma == std::string_view::npos) break;
    fields.remove_prefix(comma + 1);
  }
  (void)UnescapeDescriptionQuotes(EscapeDescriptionQuotes(definition.rdesc));
  return 0;
}
