#pragma once
// Reading the raw request target of an HTTP request safely: the path is decoded once, and
// anything that could make one path name two different files is refused before it is mapped.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quenmark::host {

/// Splits `target` ("/a%20b/c.lua?x=1") into its decoded path and its raw query string. False
/// when the path must be refused: it does not start with "/", has a bad %-escape, or holds (raw
/// or decoded) a backslash, a NUL, another control character or an encoded slash.
bool DecodeRequestTarget(std::string_view target, std::string& path, std::string& query);

/// The text with control characters, '"' and '\' written as \xHH, for one line of the log.
std::string EscapeForLog(std::string_view text);

/// Joins repeated request headers into one value per name ("a, b"), names matched ignoring
/// case, in the order the names first came. Linear in the total size.
std::vector<std::pair<std::string, std::string>> JoinRepeatedHeaders(
    const std::vector<std::pair<std::string, std::string>>& headers);

}  // namespace quenmark::host
