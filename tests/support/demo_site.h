#pragma once
// Copies demo pages (examples/site) into a test web root, with the site's shared Lua includes
// (examples/site/lib), so page tests run them against a fixture database of their own.

#include <filesystem>
#include <string>
#include <vector>

namespace quenmark::test_support {

/// Copies each of `pages` (file names in examples/site) and the folder lib/ into `root`.
void CopyDemoPages(const std::filesystem::path& root, const std::vector<std::string>& pages);

}  // namespace quenmark::test_support
