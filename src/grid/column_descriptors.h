#pragma once
// Descriptions of a grid's result columns (name, table, caption, field category) and the lookups
// in the grid's column lists ("|||" key "|=|" value "|||" entries).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "quenmark/database.h"

namespace quenmark {

struct ColumnDescriptor {
  std::string name;
  std::string table;
  std::string caption;
  int16_t category = 0;  ///< FieldCategory of the column's data type
};

/// The value of the first entry whose key equals `key` (ignoring case) in a list of
/// key "|=|" value "|||" entries, with or without a leading "|||"; `found` tells whether there
/// was one.
std::string FindListEntry(std::string_view list, std::string_view key, bool* found = nullptr);

/// True when a list of key "|||" entries holds `key` as a whole key, ignoring case.
bool ListHasKey(std::string_view list, std::string_view key);

/// The caption of a column: the entry for table + "." + name, else for name, else the name.
std::string ColumnCaptionFor(std::string_view captions, std::string_view table,
                             std::string_view name);

/// The table a column named `name` comes from, as written in front of it in `command`
/// ("SELECT o.Id, c.Name FROM ..." gives "c" for Name); empty when the statement does not say.
std::string TableInCommand(std::string_view command, std::string_view name);

/// Describes every column of a result, in result order. The select list of `command` names the
/// tables when it qualifies its columns and uses no aliases; otherwise the driver's base table,
/// or the table written in front of the column in `command`, is used.
std::vector<ColumnDescriptor> DescribeColumns(std::string_view command, int16_t database_kind,
                                              const std::vector<FieldInfo>& fields,
                                              std::string_view captions);

/// The word that classes a data cell: "number", "money", "date", "boolean" or "text".
std::string_view CategoryWord(int16_t category);

}  // namespace quenmark
