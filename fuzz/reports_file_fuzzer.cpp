// The saved reports file: any file content is either read (reports found, their definition
// text decoded and read, a group saved into it) or refused with a message, never a crash.
#include <cstddef>
#include <cstdint>

#include "fuzz_temp_file.h"
#include "quenmark/shared_procedures.h"
#include "reports/report_definition.h"
#include "reports/reports_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static quenmark::fuzz::FuzzTempFile file("reports.xml");
  const quenmark::reports::ReportsFile reports(file.Write(data, size));

  // Changes come first: they refuse an unreadable file, where Open replaces it.
  (void)reports.SaveGroup("FUZZ", "Fuzz group");
  (void)reports.DeleteEntry("LOWSTOCK", false);
  auto document = reports.Open();
  if (document.ok()) {
    for (const auto& report : document->ElementsByTagName("report")) {
      auto found = reports.FindReport(report.GetAttribute("id"));
      if (!found.ok()) continue;
      quenmark::reports::ReportDefinition definition;
      quenmark::reports::ReadDefinitionText(quenmark::DecodeBase64(found->args), definition);
      (void)quenmark::DecodeBase64(found->query);
    }
  }
  file.Clear();
  return 0;
}
