#include "reports/report_definition.h"

#include <optional>

#include "frame/text_util.h"
#include "quenmark/conversions.h"
#include "quenmark/error.h"
#include "quenmark/shared_procedures.h"

namespace quenmark::reports {
namespace {

void AppendPair(std::string& out, std::string_view key, std::string_view value) {
  out.push_back(';');
  out.append(key);
  out.push_back(':');
  out.append(value);
}

void AppendPair(std::string& out, std::string_view key, int16_t value) {
  AppendPair(out, key, std::to_string(value));
}

// Looks a key up; nullopt when the text does not hold it (GetArgument cannot tell a missing key
// from an empty value, and the number members must keep their value only when it is missing).
std::optional<std::string> Lookup(const std::string& text, std::string_view key) {
  std::string needle = ";";
  needle.append(key);
  needle.push_back(':');
  if (text.find(needle) == std::string::npos) return std::nullopt;
  return GetArgument(text, key);
}

void ReadText(const std::string& text, std::string_view key, std::string& member) {
  member = Lookup(text, key).value_or(std::string());
}

// Strict: the whole value is a number that fits; otherwise the member keeps its value.
void ReadNumber(const std::string& text, std::string_view key, int16_t& member) {
  std::optional<std::string> value = Lookup(text, key);
  if (!value) return;
  std::optional<double> number = ParseNumber(*value);
  if (!number) return;
  try {
    member = ToInt16(*number);
  } catch (const Error&) {
    // Out of range: not a valid 16-bit number, so the member stays as it was.
  }
}

// Lenient: the number the value begins with; 0 when the key is missing or holds none.
void ReadLeadingNumber(const std::string& text, std::string_view key, int16_t& member) {
  double number = LeadingNumber(Lookup(text, key).value_or(std::string()));
  try {
    member = ToInt16(number);
  } catch (const Error&) {
    member = 0;
  }
}

// Position of the value of attribute `attribute` in the descriptor that starts at `from`, or
// npos; `length` receives the value's length.
size_t LocateAttribute(std::string_view schema, size_t from, char marker, char attribute,
                       size_t& length) {
  const std::string tag{marker, attribute};
  size_t at = schema.find(tag, from);
  if (at == std::string_view::npos) return at;
  size_t start = at + 2;
  size_t end = schema.find(marker, start);
  if (end == std::string_view::npos) end = schema.size();
  length = end - start;
  return start;
}

char MarkerOf(std::string_view schema) { return Contains(schema, "~f") ? '~' : ':'; }

size_t FindNoCase(std::string_view text, std::string_view part) {
  if (part.empty() || part.size() > text.size()) return part.empty() ? 0 : std::string_view::npos;
  for (size_t i = 0; i + part.size() <= text.size(); ++i) {
    if (EqualsIgnoreCase(text.substr(i, part.size()), part)) return i;
  }
  return std::string_view::npos;
}

// Start of the field's descriptor: the field followed by the marker, else the field alone.
size_t FindField(std::string_view schema, std::string_view field_id, char marker,
                 bool ignore_case) {
  std::string with_marker(field_id);
  with_marker.push_back(marker);
  size_t at = ignore_case ? FindNoCase(schema, with_marker) : schema.find(with_marker);
  if (at != std::string_view::npos) return at;
  return ignore_case ? FindNoCase(schema, field_id) : schema.find(field_id);
}

std::string AttributeAt(std::string_view schema, size_t field_at, char marker, char attribute) {
  if (field_at == std::string_view::npos) return std::string();
  size_t length = 0;
  size_t start = LocateAttribute(schema, field_at, marker, attribute, length);
  if (start == std::string_view::npos) return std::string();
  return std::string(schema.substr(start, length));
}

}  // namespace

std::string DefinitionText(const ReportDefinition& d) {
  std::string out;
  out.reserve(256 + d.tables.size() + d.fields.size() + d.filters.size() + d.relations.size() +
              d.schema.size() + d.rdesc.size() + d.summary.size() + d.params.size());
  AppendPair(out, "tables", d.tables);
  AppendPair(out, "fields", d.fields);
  AppendPair(out, "filters", d.filters);
  AppendPair(out, "relations", d.relations);
  AppendPair(out, "schema", d.schema);
  AppendPair(out, "dbt", d.dbt);
  AppendPair(out, "rtitle", d.rtitle);
  AppendPair(out, "rdesc", d.rdesc);
  AppendPair(out, "rgroup", d.rgroup);
  AppendPair(out, "rid", d.rid);
  AppendPair(out, "summary", d.summary);
  AppendPair(out, "rpwd", d.rpwd);
  AppendPair(out, "pagesize", d.pagesize);
  AppendPair(out, "rfmt", d.rfmt);
  AppendPair(out, "sonly", d.sonly);
  AppendPair(out, "grpby", d.grpby);
  AppendPair(out, "join", d.join);
  AppendPair(out, "distinct", d.distinct);
  AppendPair(out, "rtype", d.rtype);
  AppendPair(out, "mtbl", d.mtbl);
  AppendPair(out, "coltotal", d.coltotal);
  AppendPair(out, "colavg", d.colavg);
  AppendPair(out, "rowtotal", d.rowtotal);
  AppendPair(out, "rowavg", d.rowavg);
  AppendPair(out, "isproc", d.isproc);
  AppendPair(out, "params", d.params);
  AppendPair(out, "chart", d.chart);
  AppendPair(out, "graph", d.graph);
  AppendPair(out, "conly", d.conly);
  AppendPair(out, "legend", d.legend);
  AppendPair(out, "gtitle", d.gtitle);
  AppendPair(out, "xlabel", d.xlabel);
  AppendPair(out, "ylabel", d.ylabel);
  AppendPair(out, "count", d.count);
  AppendPair(out, "sum", d.sum);
  AppendPair(out, "avg", d.avg);
  AppendPair(out, "min", d.min);
  AppendPair(out, "max", d.max);
  AppendPair(out, "stdev", d.stdev);
  AppendPair(out, "var", d.var);
  out.push_back(';');
  return out;
}

void ReadDefinitionText(std::string_view text, ReportDefinition& d) {
  std::string t;
  t.reserve(text.size() + 1);
  if (text.empty() || text.front() != ';') t.push_back(';');
  t.append(text);

  ReadText(t, "tables", d.tables);
  ReadText(t, "fields", d.fields);
  ReadNumber(t, "dbt", d.dbt);
  ReadText(t, "filters", d.filters);
  ReadText(t, "relations", d.relations);
  ReadText(t, "schema", d.schema);
  ReadText(t, "rtitle", d.rtitle);
  ReadText(t, "rdesc", d.rdesc);
  ReadText(t, "rgroup", d.rgroup);
  ReadText(t, "rid", d.rid);
  ReadText(t, "summary", d.summary);
  ReadText(t, "rpwd", d.rpwd);
  ReadNumber(t, "pagesize", d.pagesize);
  ReadNumber(t, "rfmt", d.rfmt);
  ReadNumber(t, "grpby", d.grpby);
  ReadNumber(t, "sonly", d.sonly);
  ReadNumber(t, "join", d.join);
  ReadLeadingNumber(t, "distinct", d.distinct);
  ReadNumber(t, "chart", d.chart);
  if (d.chart != 0) {
    ReadNumber(t, "graph", d.graph);
    ReadNumber(t, "conly", d.conly);
    ReadText(t, "legend", d.legend);
    ReadText(t, "gtitle", d.gtitle);
    ReadText(t, "xlabel", d.xlabel);
    ReadText(t, "ylabel", d.ylabel);
  }
  if (d.grpby != 0) {
    ReadNumber(t, "count", d.count);
    ReadText(t, "sum", d.sum);
    ReadText(t, "avg", d.avg);
    ReadText(t, "min", d.min);
    ReadText(t, "max", d.max);
    ReadText(t, "stdev", d.stdev);
    ReadText(t, "var", d.var);
  }
  ReadNumber(t, "rtype", d.rtype);
  ReadText(t, "mtbl", d.mtbl);
  ReadLeadingNumber(t, "coltotal", d.coltotal);
  ReadLeadingNumber(t, "colavg", d.colavg);
  ReadLeadingNumber(t, "rowtotal", d.rowtotal);
  ReadLeadingNumber(t, "rowavg", d.rowavg);
  ReadLeadingNumber(t, "isproc", d.isproc);
  ReadText(t, "params", d.params);
}

std::string EscapeDescriptionQuotes(std::string_view description) {
  std::string out;
  out.reserve(description.size());
  for (char c : description) {
    if (c == '"') {
      out += "_Q_";
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::string UnescapeDescriptionQuotes(std::string_view description) {
  std::string out;
  out.reserve(description.size());
  size_t start = 0;
  while (true) {
    size_t at = description.find("_Q_", start);
    if (at == std::string_view::npos) break;
    out.append(description.substr(start, at - start));
    out.push_back('"');
    start = at + 3;
  }
  out.append(description.substr(start));
  return out;
}

std::string FieldId(int16_t database_kind, std::string_view table, std::string_view field) {
  if (database_kind == DbText) return std::string(field);
  std::string id(table);
  id.push_back('.');
  id.append(field);
  return id;
}

std::string SchemaDescriptor(std::string_view field_id, std::string_view caption,
                             std::string_view format, std::string_view category) {
  std::string out(field_id);
  out += "~c";
  out += caption;
  out += "~f";
  out += format;
  out += "~t";
  out += category;
  out += "~";
  return out;
}

std::string SchemaAttribute(std::string_view schema, std::string_view field_id, char attribute) {
  const char marker = MarkerOf(schema);
  return AttributeAt(schema, FindField(schema, field_id, marker, true), marker, attribute);
}

std::string SetSchemaAttribute(std::string_view schema, std::string_view field_id, char attribute,
                               std::string_view value) {
  const char marker = MarkerOf(schema);
  size_t field_at = schema.find(field_id);
  if (field_id.empty() || field_at == std::string_view::npos) return std::string(schema);
  size_t length = 0;
  size_t start = LocateAttribute(schema, field_at, marker, attribute, length);
  if (start == std::string_view::npos) return std::string(schema);
  std::string out;
  out.reserve(schema.size() + value.size());
  out.append(schema.substr(0, start));
  out.append(value);
  out.append(schema.substr(start + length));
  return out;
}

std::string PreviousSchemaAttribute(std::string_view previous_schema, std::string_view field_id,
                                    char attribute, std::string_view fallback) {
  if (previous_schema.empty()) return std::string(fallback);
  const char marker = MarkerOf(previous_schema);
  return AttributeAt(previous_schema, FindField(previous_schema, field_id, marker, false), marker,
                     attribute);
}

}  // namespace quenmark::reports
