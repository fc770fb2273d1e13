#include "support/demo_site.h"

#include <unistd.h>

#include <fstream>

#include "quenmark/shared_procedures.h"
#include "support/fixture_db.h"
#include "support/page_runner.h"

namespace quenmark::test_support {

namespace fs = std::filesystem;

void CopyDemoPages(const fs::path& root, const std::vector<std::string>& pages) {
  constexpr auto kOverwrite = fs::copy_options::overwrite_existing;
  for (const std::string& page : pages) {
    fs::copy_file(SourcePath("examples/site/" + page), root / page, kOverwrite);
  }
  fs::create_directories(root / "lib");
  fs::copy(SourcePath("examples/site/lib"), root / "lib", kOverwrite | fs::copy_options::recursive);
}

fs::path MakeDemoSite(const std::string& name, const std::vector<std::string>& pages) {
  const fs::path dir =
      fs::temp_directory_path() / ("quenmark_" + name + "_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / "data");
  fs::copy_file(fixture::FixtureDatabasePath(), dir / "data" / "demo.db",
                fs::copy_options::overwrite_existing);
  CopyDemoPages(dir, pages);
  return dir;
}

std::string WriteGridPage(const fs::path& root, const std::string& name,
                          const std::string& command, const std::string& setup,
                          const std::string& before, const std::string& after) {
  const fs::path path = root / (name + ".lua");
  std::ofstream(path) << "local grid = Server.CreateObject(\"Quenmark.DataGrid\")\n"
                      << before
                      << "\ngrid:CreateConnection(\"Provider=SQLite;Data Source=\" .. "
                         "Server.MapPath(\"data/demo.db\"))\ngrid.Command = [["
                      << command << "]]\n"
                      << setup << "\ngrid:Display()\n"
                      << after;
  return path.string();
}

std::string PostBackField(const std::string& argument) {
  std::string out = "__FARGS=";
  for (char c : EncodeBase64(argument)) {
    out += c == '+' ? "%2B" : c == '/' ? "%2F" : std::string(1, c);
  }
  return out;
}

}  // namespace quenmark::test_support
