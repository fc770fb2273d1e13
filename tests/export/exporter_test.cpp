// The exporter's text rules and its streaming, without a page.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "export/exporter_impl.h"
#include "export/xml_export.h"
#include "quenmark/shared_procedures.h"
#include "support/fixture_db.h"
#include "support/page_runner.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using quenmark::exporter::AttachmentHeader;
using quenmark::exporter::XmlText;

TEST(AttachmentHeaderTest, KeepsNamesSafe) {
  const std::pair<std::string, std::string> cases[] = {
      {"Report.csv", "attachment; filename=Report.csv"},
      {"Sales.txt", "attachment; filename=Sales.txt"},
      {"a\"b\r\nc/d\\e.csv", "attachment; filename=abcde.csv"},
      {"Q1 sales.xls", "attachment; filename=\"Q1 sales.xls\""},
      {"x;y.doc", "attachment; filename=\"x;y.doc\""},
      {"Umsätze.csv",
       "attachment; filename=\"Ums_tze.csv\"; filename*=UTF-8''Ums%C3%A4tze.csv"},
      {"../.csv", "attachment; filename=Report...csv"},
  };
  for (const auto& [name, header] : cases) EXPECT_EQ(AttachmentHeader(name), header) << name;
}

TEST(XmlTextTest, KeepsOnlyWhatXmlCanHold) {
  const std::pair<std::string, std::string> cases[] = {
      {"plain <&> text", "plain <&> text"},
      {"tab\tline\r\n", "tab\tline\r\n"},
      {std::string("nul\0bell\a", 9), "nulbell"},
      {"Zo\xC3\xAB \xE2\x82\xAC \xF0\x9F\x98\x80", "Zo\xC3\xAB \xE2\x82\xAC \xF0\x9F\x98\x80"},
      {"bad \xC3 end", "bad \xEF\xBF\xBD end"},
      {"overlong \xC0\xAF", "overlong \xEF\xBF\xBD\xEF\xBF\xBD"},
      {"surrogate \xED\xA0\x80", "surrogate \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(XmlText(text), expected) << text;
}

// Peak resident memory (kB) of `quenmark run` over a page that exports `rows` generated rows.
long ExportPeakKilobytes(const fs::path& root, const std::string& format, int rows) {
  const fs::path page = root / ("rows_" + std::to_string(rows) + ".lua");
  std::ofstream(page)
      << "local grid = Server.CreateObject(\"Quenmark.DataGrid\")\n"
         "grid:CreateConnection(\"Provider=SQLite;Data Source=\" .. "
         "Server.MapPath(\"data/demo.db\"))\n"
         "grid.Command = \"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
         "WHERE i < " << rows << ") SELECT i AS Id, 'Customer ' || i AS Name, i * 1.5 AS "
         "Amount, 'some longer text that makes a row about a hundred bytes wide' AS Note "
         "FROM n\"\n"
         "grid:Display()\n";
  const std::string form =
      "__FARGS=" + quenmark::EncodeBase64("4fmt:" + format + ";hdr:;ttl:;");
  std::string plus_free;
  for (char c : form) plus_free += c == '+' ? std::string("%2B") : c == '/' ? "%2F" : std::string(1, c);
  const std::string exe = QUENMARK_EXE;
  std::vector<std::string> args = {exe, "run", page.string(), "--form", plus_free, "--body"};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  EXPECT_EQ(posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  rusage usage{};
  EXPECT_EQ(wait4(pid, &status, 0, &usage), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  return usage.ru_maxrss;
}

TEST(ExportMemoryTest, MillionRowExportsStayFlat) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer's shadow memory hides what the export itself holds";
#endif
  const fs::path root =
      fs::temp_directory_path() / ("quenmark_export_memory_" + std::to_string(::getpid()));
  fs::create_directories(root / "data");
  fs::copy_file(quenmark::fixture::FixtureDatabasePath(), root / "data" / "demo.db",
                fs::copy_options::overwrite_existing);
  for (const char* format : {"csv", "text"}) {
    const long small = ExportPeakKilobytes(root, format, 1000);
    const long large = ExportPeakKilobytes(root, format, 1000000);
    EXPECT_LT(large - small, 8 * 1024) << format << ": " << small << " kB for 1,000 rows, "
                                       << large << " kB for 1,000,000";
  }
  fs::remove_all(root);
}

}  // namespace

namespace {

// Each exported document opened by LibreOffice headless (tests/export/office_check.sh).
TEST(OfficeTest, ExportsOpenInLibreOffice) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the documents are the same as in the plain build, which opens them";
#endif
  const std::string command =
      quenmark::test_support::SourcePath("tests/export/office_check.sh") + " " + QUENMARK_EXE +
      " " + quenmark::fixture::FixtureDatabasePath() + " " + QUENMARK_BINARY_DIR +
      "/office-check-" + std::to_string(::getpid());
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "soffice is not installed";
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
