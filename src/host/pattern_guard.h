#pragma once
// Keeps the page's time limit inside the string library's pattern functions (find, match,
// gmatch, gsub), whose backtracking runs in C where no instruction count reaches it.

struct lua_State;

namespace quenmark::host {

/// Called every few thousand steps of a pattern search; raises a Lua error to stop the page.
using PatternClock = void (*)(lua_State*);

/// Replaces string.find, match, gmatch and gsub with versions that walk the search first,
/// calling `clock` as they go, and then give the library's own result.
void GuardPatternFunctions(lua_State* L, PatternClock clock);

}  // namespace quenmark::host
