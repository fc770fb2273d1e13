#pragma once
// The reports file: one XML document holding the report groups and the saved reports.
//
//   <tabulon version="2">
//     <groups><group id="" title="General Reports"/>...</groups>
//     <reports><report args=".." id="ID" group="G" title=".." added=".." modified=".."
//                      query=".." ip=".." createdby="..">description</report>...</reports>
//   </tabulon>
//
// Every change is a read-modify-write under one exclusive lock ending in an atomic replace, so
// concurrent saves from any number of processes all land and readers never see a partial file.
// Ids are stored and compared upper-cased. The first child element of the root is the group
// list and the second the report list, whatever their names.

#include <string>

#include "quenmark/error.h"
#include "quenmark/xml.h"

namespace quenmark::reports {

/// The document a new reports file starts with.
inline constexpr std::string_view kInitialReportsDocument =
    "<tabulon version=\"2\"><groups><group id=\"\" title=\"General Reports\"/></groups>"
    "<reports/></tabulon>";

/// What a save or a deletion records about the request.
struct RequestAudit {
  std::string ip;    // REMOTE_ADDR
  std::string user;  // REMOTE_USER
};

struct ReportEntry {
  std::string id;
  std::string group;
  std::string args;  // EncodeBase64 of the definition text
  std::string title;
  std::string description;
  std::string query;  // EncodeBase64 of the SQL or procedure call
};

enum class DeleteOutcome { kDeleted, kNotFound, kUnusable, kWriteFailed };

class ReportsFile {
 public:
  explicit ReportsFile(std::string path) : path_(std::move(path)) {}
  const std::string& Path() const { return path_; }

  /// Loads the document; a missing file is first created with the initial document. A file
  /// that exists but cannot be read gives a failure with the parser's reason (it is kept).
  Result<XmlDocument> Open() const;

  /// Writes the initial document when the file is missing or cannot be read; an unreadable file
  /// is first renamed to a backup beside it ("<name>.unreadable-<time>"). A readable file is
  /// left as it is. Returns the backup's path ("" when none was needed) or a failure.
  Result<std::string> Create() const;

  /// The args attribute of the report (id trimmed, upper-cased); "" when absent or unreadable.
  std::string LoadReportArgs(std::string_view id) const;
  /// The whole entry of a report, when the file can be read and holds it.
  Result<ReportEntry> FindReport(std::string_view id) const;

  /// Adds the report or replaces the one with the same id (keeping added and createdby).
  Status SaveReport(const ReportEntry& report, const RequestAudit& audit) const;

  /// Renames the group with this id (upper-cased) or adds it.
  Status SaveGroup(std::string_view id, std::string_view title) const;

  /// Removes the report (or the group) with this id (trimmed, upper-cased); a group's reports
  /// stay in the file.
  DeleteOutcome DeleteEntry(std::string_view id, bool group) const;

 private:
  std::string path_;
};

}  // namespace quenmark::reports
