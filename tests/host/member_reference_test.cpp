// The member reference: `quenmark members` and docs/reference.md, which must match it.

#include "host/member_reference.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "host/builtin_objects.h"
#include "quenmark/dispatch.h"

namespace quenmark {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

std::string RunMembers(const std::string& args) {
  std::string command = std::string(QUENMARK_EXE) + " members " + args + " 2>/dev/null";
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  pclose(pipe);
  return out;
}

TEST(MemberReferenceTest, DocsReferenceIsTheCurrentOutput) {
  std::ifstream file(std::string(QUENMARK_SOURCE_DIR) + "/docs/reference.md", std::ios::binary);
  std::stringstream stored;
  stored << file.rdbuf();
  EXPECT_TRUE(stored.str() == RunMembers(""))
      << "docs/reference.md is out of date; regenerate it with: " << host::kReferenceCommand;
}

TEST(MemberReferenceTest, EveryMemberOfEveryClassIsDescribed) {
  host::EnsureBuiltinObjects();
  const ObjectRegistry& registry = ObjectRegistry::Global();
  ASSERT_GE(registry.Names().size(), 4u);
  for (const std::string& prog_id : registry.Names()) {
    auto object = registry.Create(prog_id);
    ASSERT_NE(object, nullptr) << prog_id;
    for (const Member& member : object->Members().All()) {
      EXPECT_FALSE(member.description.empty())
          << prog_id << "." << member.name
          << " has no description: add .Doc(arguments, description) after its entry";
    }
  }
}

TEST(MemberReferenceTest, ListsKindsArgumentsAndOneClassOnRequest) {
  host::EnsureBuiltinObjects();
  const ObjectRegistry& registry = ObjectRegistry::Global();
  std::optional<std::string> grid = host::MemberReference(registry, "datagrid");
  ASSERT_TRUE(grid.has_value());
  EXPECT_THAT(*grid, HasSubstr("## DataGrid\n\n`Server.CreateObject(\"Quenmark.DataGrid\")`"));
  EXPECT_THAT(*grid, HasSubstr("| `CanFilter` | property (write-only) | true/false |"));
  EXPECT_THAT(*grid, HasSubstr("| `Title` | property (read/write) | text |"));
  EXPECT_THAT(*grid, HasSubstr("| `Version` | property (read-only) | text |"));
  EXPECT_THAT(*grid, HasSubstr("| `ColumnCaption` | method | column, caption |"));
  EXPECT_THAT(*grid, HasSubstr("| `Display` | method | none |"));
  EXPECT_THAT(*grid, Not(HasSubstr("## SimpleGraph")));
  EXPECT_THAT(*grid, Not(HasSubstr("# Member reference")));

  EXPECT_EQ(host::MemberReference(registry, "Quenmark.StringBuffer"),
            host::MemberReference(registry, "StringBuffer"));
  EXPECT_FALSE(host::MemberReference(registry, "Quenmark.Nothing").has_value());
}

TEST(MemberReferenceTest, CommandPrintsOneClassAndRefusesUnknownNames) {
  std::string graph = RunMembers("SimpleGraph");
  EXPECT_THAT(graph, HasSubstr("| `Stacked` | property (write-only) | true/false |"));
  EXPECT_EQ(RunMembers("NoSuchClass"), "");
  std::string status_command = std::string(QUENMARK_EXE) + " members NoSuchClass 2>/dev/null";
  int status = std::system(status_command.c_str());
  EXPECT_EQ(WEXITSTATUS(status), 2);
}

}  // namespace
}  // namespace quenmark
