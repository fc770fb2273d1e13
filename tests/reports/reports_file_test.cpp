// The reports file: creation, lookups, saves, groups, deletions, and concurrent saves from many
// processes.

#include "reports/reports_file.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "host/temp_site.h"
#include "quenmark/files.h"

namespace {

namespace fs = std::filesystem;
using namespace quenmark::reports;
using quenmark::XmlDocument;
using quenmark::test_support::TempSite;

ReportEntry Entry(std::string id, std::string title = "T") {
  return ReportEntry{std::move(id), "sales", "YXJncw", std::move(title), "desc", "cXVlcnk"};
}

std::string Content(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(ReportsFile, OpeningAMissingFileCreatesIt) {
  TempSite site;
  ReportsFile file(site.Path("reports.xml"));
  auto document = file.Open();
  ASSERT_TRUE(document.ok()) << document.Description();
  XmlDocument expected;
  ASSERT_TRUE(expected.LoadXml(kInitialReportsDocument).ok());
  EXPECT_EQ(document->ToXml(), expected.ToXml());
  EXPECT_TRUE(quenmark::FileExists(file.Path()));
}

TEST(ReportsFile, SaveFindAndUpdateAReport) {
  TempSite site;
  ReportsFile file(site.Path("reports.xml"));
  ASSERT_TRUE(file.SaveReport(Entry("abc", "First"), {"10.0.0.1", "ann"}).ok());
  auto found = file.FindReport(" Abc ");
  ASSERT_TRUE(found.ok());
  EXPECT_EQ(found->id, "ABC");
  EXPECT_EQ(found->group, "SALES");
  EXPECT_EQ(found->title, "First");
  EXPECT_EQ(found->description, "desc");
  EXPECT_EQ(file.LoadReportArgs("abc"), "YXJncw");
  EXPECT_EQ(file.LoadReportArgs("other"), "");

  ReportEntry changed = Entry("ABC", "Second <&> \"quoted\"");
  changed.description = "new";
  ASSERT_TRUE(file.SaveReport(changed, {"10.0.0.2", "bob"}).ok());
  XmlDocument document;
  ASSERT_TRUE(document.LoadFile(file.Path()).ok());
  auto reports = document.ElementsByTagName("report");
  ASSERT_EQ(reports.size(), 1u);
  const auto attributes = reports[0].Attributes();
  std::vector<std::string> names;
  for (const auto& [name, value] : attributes) names.push_back(name);
  EXPECT_EQ(names, (std::vector<std::string>{"args", "id", "group", "title", "added", "modified",
                                             "query", "ip", "createdby", "modifiedby"}));
  EXPECT_EQ(reports[0].GetAttribute("title"), "Second <&> \"quoted\"");
  EXPECT_EQ(reports[0].GetAttribute("createdby"), "ann");
  EXPECT_EQ(reports[0].GetAttribute("modifiedby"), "bob");
  EXPECT_EQ(reports[0].GetAttribute("ip"), "10.0.0.2");
  EXPECT_EQ(reports[0].Text(), "new");
}

TEST(ReportsFile, GroupsAndDeletions) {
  TempSite site;
  ReportsFile file(site.Path("reports.xml"));
  ASSERT_TRUE(file.SaveGroup("hr", "Human Resources").ok());
  ASSERT_TRUE(file.SaveGroup("HR", "People").ok());
  ASSERT_TRUE(file.SaveReport(Entry("r1"), {}).ok());
  XmlDocument document;
  ASSERT_TRUE(document.LoadFile(file.Path()).ok());
  auto groups = document.ElementsByTagName("group");
  ASSERT_EQ(groups.size(), 2u);
  EXPECT_EQ(groups[1].GetAttribute("id"), "HR");
  EXPECT_EQ(groups[1].GetAttribute("title"), "People");

  EXPECT_EQ(file.DeleteEntry("xyz", false), DeleteOutcome::kNotFound);
  EXPECT_EQ(file.DeleteEntry("hr", true), DeleteOutcome::kDeleted);
  EXPECT_EQ(file.DeleteEntry("hr", true), DeleteOutcome::kNotFound);
  EXPECT_EQ(file.LoadReportArgs("R1"), "YXJncw");  // a group's reports stay
  EXPECT_EQ(file.DeleteEntry(" r1 ", false), DeleteOutcome::kDeleted);
  EXPECT_EQ(file.LoadReportArgs("R1"), "");
}

TEST(ReportsFile, AnUnreadableFileIsKeptNeverOverwritten) {
  TempSite site;
  const std::string path = site.Write("reports.xml", "<tabulon><groups>broken");
  ReportsFile file(path);
  EXPECT_FALSE(file.Open().ok());
  EXPECT_FALSE(file.SaveReport(Entry("r1"), {}).ok());
  EXPECT_FALSE(file.SaveGroup("g", "G").ok());
  EXPECT_EQ(file.DeleteEntry("r1", false), DeleteOutcome::kUnusable);
  EXPECT_EQ(Content(path), "<tabulon><groups>broken");

  auto backup = file.Create();
  ASSERT_TRUE(backup.ok()) << backup.Description();
  ASSERT_FALSE(backup->empty());
  EXPECT_EQ(Content(*backup), "<tabulon><groups>broken");
  EXPECT_TRUE(file.Open().ok());

  // A readable file holding reports is left alone.
  ASSERT_TRUE(file.SaveReport(Entry("keep"), {}).ok());
  auto again = file.Create();
  ASSERT_TRUE(again.ok());
  EXPECT_EQ(*again, "");
  EXPECT_EQ(file.LoadReportArgs("keep"), "YXJncw");
}

// 200 processes save one report each into the same file at once; every report lands.
TEST(ReportsFile, ConcurrentSavesFromManyProcessesLoseNone) {
  TempSite site;
  ReportsFile file(site.Path("reports.xml"));
  ASSERT_TRUE(file.Open().ok());
  constexpr int kProcesses = 200;
  std::vector<pid_t> children;
  for (int i = 0; i < kProcesses; ++i) {
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      bool saved = file.SaveReport(Entry("R" + std::to_string(i)), {}).ok();
      ::_exit(saved ? 0 : 1);
    }
    children.push_back(pid);
  }
  int failed = 0;
  for (pid_t pid : children) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ++failed;
  }
  EXPECT_EQ(failed, 0);
  XmlDocument document;
  ASSERT_TRUE(document.LoadFile(file.Path()).ok());
  EXPECT_EQ(document.ElementsByTagName("report").size(), static_cast<size_t>(kProcesses));
  for (int i = 0; i < kProcesses; ++i) {
    EXPECT_EQ(file.LoadReportArgs("r" + std::to_string(i)), "YXJncw") << i;
  }
}

}  // namespace
