#pragma once
// The report builder: a dialog of several pages, each one request to the same page script. The
// whole definition travels in hidden form fields between requests; nothing is kept on the
// server until Finish saves the report.
//
// Page indexes: 1 fields, 2 captions and formats, 3 filters, 4 title and options, 5 summaries,
// the chart options between 5 and 6, 6 field order, 0 Finish; procedure reports run -9
// parameter values, -8 procedure fields, -7 captions (page 2), -6 options (page 4).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "reports/manager_state.h"

namespace quenmark::reports::builder {

/// One builder request: the manager's state and what the posted page asked for.
struct BuilderRequest {
  explicit BuilderRequest(ManagerState& manager) : state(manager), definition(manager.definition) {}

  ManagerState& state;
  ReportDefinition& definition;
  int16_t index = 1;  // requested page
  int16_t src = 0;    // page that was shown
  bool from_graph = false;
  bool chart_page_shown = false;
  int16_t first_procedure_page = -8;
  // Id of the saved report the builder was opened for (empty for a new report): its stored
  // password is kept unless a new one is typed or removal is chosen.
  std::string original_id;
  bool remove_password = false;
  // Written before the next page's content ("Invalid search condition" and the like).
  std::string message;

  void Write(std::string_view text) const { state.Write(text); }
  std::string Posted(std::string_view name) const { return state.Posted(name); }
  /// Every value posted under the name, in order (a name repeated by several inputs).
  std::vector<std::string> PostedValues(std::string_view name) const;
};

// --- markup helpers (builder_markup.cpp) -----------------------------------------------------
/// Text for an HTML attribute value or element content.
std::string Html(std::string_view text);
/// Text inside a '...' script string that itself sits in an HTML attribute.
std::string ScriptInAttribute(std::string_view text);
/// The items of a "," list, trimmed, empty items dropped.
std::vector<std::string> ListItems(std::string_view list);
/// The label of a field id: the part after the first "." (the whole id when the relations
/// name it, or when it has no ".").
std::string FieldLabel(const ReportDefinition& definition, std::string_view field_id);
/// Whether a field category holds numbers or money (the fields that can be aggregated).
bool IsAggregatable(std::string_view category);
/// Whether `item` is one of the items of the "," list.
bool ListHasItem(std::string_view list, std::string_view item);

// --- checks (builder_checks.cpp) -------------------------------------------------------------
/// Report ids are letters, digits, "_" and "-" only (never empty).
bool IsValidReportId(std::string_view id);
/// The sentence shown when a report id is refused.
std::string InvalidReportIdMessage();
/// Whether the table or view may be used: it is in the allowed list or the database's own
/// catalogue and not hidden.
bool TableAllowed(ManagerState& state, std::string_view table);
/// Checks the definition's tables and every field id it names against the catalogue and the
/// tables' own fields, and rewrites the relations with quoted names. "" when all is well,
/// otherwise the reason (plain text).
std::string CheckDefinitionNames(ManagerState& state, ReportDefinition& definition);

// --- pages -----------------------------------------------------------------------------------
void WriteFieldsPage(BuilderRequest& b);    // fields_page.cpp
void WriteCaptionsPage(BuilderRequest& b);  // captions_page.cpp
void ApplyCaptions(BuilderRequest& b);
void WriteFiltersPage(BuilderRequest& b);  // filters_page.cpp
void AddFilter(BuilderRequest& b);
void WritePropertiesPage(BuilderRequest& b);  // properties_page.cpp
void WriteSummariesPage(BuilderRequest& b);   // summaries_page.cpp
void AddSummary(BuilderRequest& b);
void WriteChartPage(BuilderRequest& b);  // chart_page.cpp
void WriteOrderPage(BuilderRequest& b);  // order_page.cpp
void WriteProcedureParametersPage(BuilderRequest& b);  // procedure_pages.cpp
void ReadProcedureParameters(BuilderRequest& b);
void WriteProcedureFieldsPage(BuilderRequest& b);

/// The hidden fields of the definition, the control fields and the buttons for page `page`
/// (navigation.cpp).
void WriteNavigation(BuilderRequest& b, int16_t page);

/// The save step with the builder's password and name rules (builder_save.cpp).
void SaveFinishedReport(BuilderRequest& b);

}  // namespace quenmark::reports::builder
