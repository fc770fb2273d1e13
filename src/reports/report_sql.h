#pragma once
// The query of a saved report: the SELECT statement of a table or view report (fields, joins
// through the relations, filters, grouping with aggregate columns) or the call text of a
// procedure report. Identifiers are quoted for the database kind; filter values are quoted with
// their apostrophes doubled, numbers and dates are checked before they reach the SQL.

#include <cstdint>
#include <string>
#include <string_view>

#include "reports/report_definition.h"

namespace quenmark::reports {

/// The three shapes of a procedure call text.
enum class ProcedureCallForm {
  kStored,  // name "|=|" assignments joined by "|||" (what the reports file keeps)
  kCall,    // name " " assignments joined by ","
  kProbe,   // like kCall with every value empty (to learn the result's fields)
};

/// The report's query: the procedure call (stored form, quoted for `connection_kind`) when
/// isproc is 1, otherwise the SELECT statement (quoted for the definition's dbt).
std::string BuildReportQuery(const ReportDefinition& definition, int16_t connection_kind);

/// "SELECT ... FROM ... [WHERE ...] [GROUP BY ...]" for the definition's dbt.
std::string BuildSelectStatement(const ReportDefinition& definition);

/// The filter items as one condition (without WHERE); "" when there are none.
std::string BuildFilterCondition(const ReportDefinition& definition);

/// `op` followed by the value as the field category needs it: numbers unquoted ("0" when not
/// numeric), dates checked and quoted (# for the Access kind), text quoted with apostrophes
/// doubled. Placeholders ("?name", "@name") are wrapped but never changed.
std::string FormatComparisonValue(std::string_view value, std::string_view op,
                                  std::string_view category, int16_t database_kind);

/// The procedure call text of the definition's tables and params.
std::string BuildProcedureCall(const ReportDefinition& definition, ProcedureCallForm form,
                               int16_t connection_kind);

/// "SELECT * FROM <table> WHERE 1=0": returns no rows but the table's fields.
std::string StructureProbe(std::string_view table, int16_t database_kind);

}  // namespace quenmark::reports
