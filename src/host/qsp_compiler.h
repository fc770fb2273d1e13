#pragma once
// Turns a .qsp page (HTML with <% code %> and <%= expression %> blocks) into Lua source that
// keeps every line of code on its original line number, so errors point at the page's lines.

#include <string>
#include <string_view>

#include "quenmark/error.h"

namespace quenmark::host {

/// The Lua chunk receives the writer function as its first vararg and calls it for every piece
/// of text and every expression. <%@ ... %> directives are ignored. An unclosed block is a
/// failure naming its line.
Result<std::string> CompileQsp(std::string_view page);

}  // namespace quenmark::host
