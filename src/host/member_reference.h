#pragma once
// The member reference: every member of each creatable class, read from the classes' dispatch
// tables, as Markdown. `quenmark members` prints it and docs/reference.md is its output, so the
// reference cannot drift from what page scripts can call.

#include <optional>
#include <string>
#include <string_view>

#include "quenmark/dispatch.h"

namespace quenmark::host {

/// The command that regenerates docs/reference.md (named in the freshness test's failure).
inline constexpr char kReferenceCommand[] = "build/quenmark members > docs/reference.md";

/// The reference of every class in `registry`, or only of `class_name` ("DataGrid" or
/// "Quenmark.DataGrid", ignoring case); nullopt when no registered class has that name.
std::optional<std::string> MemberReference(const ObjectRegistry& registry,
                                           std::string_view class_name = {});

}  // namespace quenmark::host
