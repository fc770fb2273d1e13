#pragma once
// Test web roots for page tests: a copy of the fixture store as data/demo.db, demo pages from
// examples/site with the site's shared Lua includes (examples/site/lib), and grid pages written
// by the test.

#include <filesystem>
#include <string>
#include <vector>

namespace quenmark::test_support {

/// Copies each of `pages` (file names in examples/site) and the folder lib/ into `root`.
void CopyDemoPages(const std::filesystem::path& root, const std::vector<std::string>& pages);

/// A fresh folder for this process (named after `name`) holding data/demo.db and `pages`.
std::filesystem::path MakeDemoSite(const std::string& name,
                                   const std::vector<std::string>& pages = {});

/// Writes `root`/`name`.lua, a grid over data/demo.db showing `command`: `before` runs after
/// the grid is made and before it connects, `setup` (statements on `grid`) before Display,
/// `after` last. Returns the page's path.
std::string WriteGridPage(const std::filesystem::path& root, const std::string& name,
                          const std::string& command, const std::string& setup = "",
                          const std::string& before = "", const std::string& after = "");

/// The "__FARGS" field of a url-encoded form posting `argument` back to a grid.
std::string PostBackField(const std::string& argument);

}  // namespace quenmark::test_support
