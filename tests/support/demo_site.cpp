#include "support/demo_site.h"

#include "support/page_runner.h"

namespace quenmark::test_support {

void CopyDemoPages(const std::filesystem::path& root, const std::vector<std::string>& pages) {
  namespace fs = std::filesystem;
  constexpr auto kOverwrite = fs::copy_options::overwrite_existing;
  for (const std::string& page : pages) {
    fs::copy_file(SourcePath("examples/site/" + page), root / page, kOverwrite);
  }
  fs::create_directories(root / "lib");
  fs::copy(SourcePath("examples/site/lib"), root / "lib", kOverwrite | fs::copy_options::recursive);
}

}  // namespace quenmark::test_support
