// Builds the Markdown member reference from the dispatch tables of the registered classes.

#include "host/member_reference.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "frame/text_util.h"

namespace quenmark::host {
namespace {

struct ClassEntry {
  std::string prog_id;
  std::shared_ptr<Dispatchable> object;
};

std::string Kind(const Member& member) {
  if (member.IsMethod()) return "method";
  if (member.get && member.set) return "property (read/write)";
  return member.get ? "property (read-only)" : "property (write-only)";
}

// Table cells cannot hold a raw "|".
std::string Cell(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '|') out += '\\';
    out += c;
  }
  return out;
}

void WriteClass(const ClassEntry& entry, std::string& out) {
  std::vector<const Member*> members;
  for (const Member& member : entry.object->Members().All()) members.push_back(&member);
  std::stable_sort(members.begin(), members.end(), [](const Member* a, const Member* b) {
    return ToLowerAscii(a->name) < ToLowerAscii(b->name);
  });
  out += "## ";
  out += entry.object->ClassName();
  out += "\n\n`Server.CreateObject(\"" + entry.prog_id + "\")`\n\n";
  out += "| Member | Kind | Arguments or value | Description |\n|---|---|---|---|\n";
  for (const Member* member : members) {
    out += "| `" + Cell(member->name) + "` | " + Kind(*member) + " | ";
    out += member->IsMethod() ? (member->arguments.empty() ? "none" : Cell(member->arguments))
                              : Cell(member->arguments);
    out += " | ";
    out += member->description.empty() ? "(not described yet)" : Cell(member->description);
    out += " |\n";
  }
  out += "\n";
}

}  // namespace

std::optional<std::string> MemberReference(const ObjectRegistry& registry,
                                           std::string_view class_name) {
  std::vector<ClassEntry> classes;
  for (const std::string& prog_id : registry.Names()) {
    std::shared_ptr<Dispatchable> object = registry.Create(prog_id);
    if (!object) continue;
    if (!class_name.empty() && !EqualsIgnoreCase(class_name, prog_id) &&
        !EqualsIgnoreCase(class_name, object->ClassName())) {
      continue;
    }
    classes.push_back({prog_id, std::move(object)});
  }
  if (classes.empty()) return std::nullopt;
  std::sort(classes.begin(), classes.end(), [](const ClassEntry& a, const ClassEntry& b) {
    return ToLowerAscii(a.object->ClassName()) < ToLowerAscii(b.object->ClassName());
  });

  std::string out;
  if (class_name.empty()) {
    out +=
        "# Member reference\n\n"
        "Every member that page scripts reach on the objects they create with\n"
        "`Server.CreateObject`. Names match ignoring case. Properties are assigned\n"
        "(`grid.PageSize = 20`) or read (`local t = grid.Title`); methods are called\n"
        "(`grid:Display()`). Using a property as a method, or the other way round, raises\n"
        "error 438.\n\n"
        "This file is the output of `quenmark members`, generated from the objects' own member\n"
        "tables; do not edit it by hand. Regenerate it with `";
    out += kReferenceCommand;
    out += "`.\n\n";
  }
  for (const ClassEntry& entry : classes) WriteClass(entry, out);
  out.pop_back();  // one newline at the end
  return out;
}

}  // namespace quenmark::host
