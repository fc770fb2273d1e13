#pragma once
// Failures that a page shows its visitor as a message (a grid's red text, the report manager's
// error box) are also written to stderr, so that whoever runs the server sees them: one line
// naming the page, what failed and the statement that failed. Callers never pass connection
// strings (they may hold passwords).

#include <string_view>

namespace quenmark {

/// "quenmark: <source> error in <page URL>: <message>; statement: <statement>" on stderr.
void LogPageFailure(std::string_view source, std::string_view message,
                    std::string_view statement = {});

}  // namespace quenmark
