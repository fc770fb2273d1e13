#pragma once
// A saved report's definition: which tables or procedure it reads, which fields it shows and
// how, its filters, grouping, summaries, chart and display options. Between requests it
// travels as a key:value text (";tables:...;fields:...;...;"); the reports file stores that text
// encoded with EncodeBase64.
//
// Values cannot hold ";" (a value ends at the next ";"); comma lists cannot hold items with ",".

#include <cstdint>
#include <string>
#include <string_view>

namespace quenmark::reports {

struct ReportDefinition {
  std::string tables;     // table names joined by ",", or the procedure name
  std::string fields;     // field ids joined by ",", in display order
  std::string filters;    // field id "__" condition code "__" value, joined by ","
  std::string relations;  // join condition, an SQL boolean expression
  std::string schema;     // field descriptors (see SchemaDescriptor) joined by ","
  int16_t dbt = 0;        // database kind when the fields were read
  std::string rtitle;
  std::string rdesc;
  std::string rgroup;
  std::string rid;
  std::string summary;  // field id "__" aggregate "__" description, joined by ","
  std::string rpwd;     // password: empty, a hash from HashReportPassword, or (older) plain
  int16_t pagesize = 10;
  int16_t rfmt = 0;      // 1 tabular, 2 columnar
  int16_t sonly = 0;     // 1 summary and report, 2 summary only
  int16_t grpby = 0;     // 1 summary report grouped by the non-aggregated fields
  int16_t join = 0;      // 2 joins filters with OR, anything else with AND
  int16_t distinct = 0;  // 1 selects distinct rows
  int16_t rtype = 0;     // 1 basic, 2 master-details
  std::string mtbl;      // master table
  int16_t coltotal = 0;
  int16_t colavg = 0;
  int16_t rowtotal = 0;
  int16_t rowavg = 0;
  int16_t isproc = 0;  // 1 when tables names a stored procedure
  std::string params;  // name "|" value "|" category, joined by ","
  int16_t chart = 0;
  int16_t graph = 0;  // 1 basic, 2 stacked, 3 relative
  int16_t conly = 0;  // 1 graph and report, 2 graph only
  std::string legend;
  std::string gtitle;
  std::string xlabel;
  std::string ylabel;
  int16_t count = 0;  // 1 adds a record count column to a summary report
  std::string sum;    // aggregate lists: field ids joined by ", "
  std::string avg;
  std::string min;
  std::string max;
  std::string stdev;
  std::string var;
};

/// The text form: every key in its fixed order, each preceded by ";", ending with ";".
std::string DefinitionText(const ReportDefinition& definition);

/// Sets the members the text holds (with or without the leading ";"). Number members keep
/// their value when the key is missing or not a number (the flags distinct, coltotal, colavg,
/// rowtotal, rowavg and isproc take the leading number, 0 when none); the chart keys are read
/// only when chart is not 0 and the aggregate keys only when grpby is not 0.
void ReadDefinitionText(std::string_view text, ReportDefinition& definition);

/// Hidden form fields carry the description's double quotes as "_Q_"; these two convert.
std::string EscapeDescriptionQuotes(std::string_view description);
std::string UnescapeDescriptionQuotes(std::string_view description);

/// Field id of a field of a table: "table.field" ("field" alone for the text-file kind).
std::string FieldId(int16_t database_kind, std::string_view table, std::string_view field);

/// One schema descriptor: id "~c" caption "~f" format "~t" category "~".
std::string SchemaDescriptor(std::string_view field_id, std::string_view caption,
                             std::string_view format, std::string_view category);

/// Attribute `attribute` ('c' caption, 'f' format, 't' category) of a field in a schema:
/// the first descriptor of the field (ignoring case), "" when there is none. Schemas without
/// any "~f" are in the older ":" form and are read with ":" as the marker.
std::string SchemaAttribute(std::string_view schema, std::string_view field_id, char attribute);
/// The schema with the attribute of the field's first descriptor (exact case) replaced; the
/// schema unchanged when the field or the attribute is not there.
std::string SetSchemaAttribute(std::string_view schema, std::string_view field_id, char attribute,
                               std::string_view value);
/// The attribute from a previous schema: `fallback` when that schema is empty, "" when the
/// field (exact case) is not in it.
std::string PreviousSchemaAttribute(std::string_view previous_schema, std::string_view field_id,
                                    char attribute, std::string_view fallback);

}  // namespace quenmark::reports
