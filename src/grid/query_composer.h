#pragma once
// What the grid adds to the page author's source before the database or the recordset sees it:
// the client-side filter text grown from the posted search fields, the ORDER BY and TOP of a
// plain statement, and the call of a stored procedure with its parameters and sort.
//
// Contract: filter texts are expressions of the recordset's filter language, never SQL; values
// are quoted with apostrophes doubled, so a value can never end its literal early. Procedure
// parameters travel as bound values of a `Command`, never inside SQL text. Everything here is a
// pure function of its arguments.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "quenmark/database.h"

namespace quenmark {

/// The filter language's spelling of a column name for database kind `kind`: the kind's
/// identifier quoting where the filter language reads it ("[ ]", "` `"), brackets where the
/// kind's own quotes would read as a text value (PostgreSQL), an embedded closing delimiter
/// doubled.
std::string FilterFieldName(int16_t kind, std::string_view name);

/// `text` between apostrophes, each apostrophe inside doubled: O'Brien gives 'O''Brien'.
std::string QuoteFilterText(std::string_view text);

/// Adds the condition of one posted search (column `field`, operator `condition`, typed `value`)
/// to `filter_text`, joined with " AND " when the text is not empty. Nothing happens when the
/// field or the operator is empty. An operator with "%" (" LIKE '%v%'") takes the value in place
/// of its "v"; otherwise a number stays bare, a date is wrapped in "#" for kind 1 (Access) and
/// every other value is quoted as text.
void ExtendFilterText(std::string& filter_text, int16_t kind, std::string_view field,
                      std::string_view condition, std::string_view value);

/// `command` ordered by the positions of `order_list` (" ORDER BY " + list); unchanged when the
/// list is blank.
std::string OrderedStatement(std::string_view command, std::string_view order_list);

/// `command` with "SELECT TOP max " in place of its first "SELECT " (found ignoring case), or
/// unchanged when it has none.
std::string TopStatement(std::string_view command, int32_t max_records);

/// Whether the database can count and page `command` itself: one SELECT (or WITH) statement
/// without comments, without ";" and without LIMIT, OFFSET or FETCH of its own, so that
/// CountStatement and PageStatement keep its meaning.
bool CanPageInDatabase(std::string_view command);

/// "SELECT COUNT(*) FROM (" + command + ") AS quenmark_rows".
std::string CountStatement(std::string_view command);

/// `ordered_command` + " LIMIT count OFFSET first".
std::string PageStatement(std::string_view ordered_command, size_t count, size_t first);

/// A procedure name without the "[ ]" or "` `" the page may have put around it, trimmed.
std::string BareProcedureName(std::string_view name);

/// The call of procedure `name` with the parameters of `parameter_list` (entries
/// name "|=|" value "|||", empty entries skipped), in list order.
Command ProcedureCommand(std::string_view name, std::string_view parameter_list);

/// The recordset sort text for `order_list` over the result `fields`: each position replaced by
/// its field's name, " desc" kept ("2 desc,1" over Year, Total gives "Total desc,Year").
/// Positions outside the fields are left out.
std::string ProcedureSortText(std::string_view order_list, const std::vector<FieldInfo>& fields);

}  // namespace quenmark
