#include "reports/reports_file.h"

#include <cstdio>
#include <ctime>

#include "frame/text_util.h"
#include "quenmark/conversions.h"
#include "quenmark/files.h"

namespace quenmark::reports {
namespace {

std::string NormaliseId(std::string_view id) { return ToUpperAscii(Trim(id)); }

std::string NowText() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return FormatGeneralDate(DateTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                    local.tm_hour, local.tm_min, local.tm_sec});
}

// The n-th child element of the root (0 groups, 1 reports), or a null handle.
XmlNode ListOf(const XmlDocument& document, size_t position) {
  XmlNode root = document.DocumentElement();
  if (!root) return XmlNode();
  std::vector<XmlNode> lists = root.ChildElements();
  return position < lists.size() ? lists[position] : XmlNode();
}

// Loads the file for a change made while the lock is held: a missing file starts from the
// initial document, an unreadable one is a failure (it may hold reports, so it is never
// replaced by a change).
Status LoadForChange(const std::string& path, XmlDocument& document) {
  Status loaded = document.LoadFile(path);
  if (loaded.ok()) return loaded;
  if (FileExists(path)) return Status::Failure(document.ParseErrorReason());
  return document.LoadXml(kInitialReportsDocument);
}

Status Store(const std::string& path, const XmlDocument& document) {
  return ReplaceFileAtomic(path, document.ToXml());
}

// Runs `change` on the document under the file's lock and stores the result.
template <class Change>
Status Modify(const std::string& path, Change change) {
  FileLock lock(path);
  if (!lock.status().ok()) return lock.status();
  XmlDocument document;
  if (Status loaded = LoadForChange(path, document); !loaded.ok()) return loaded;
  if (Status changed = change(document); !changed.ok()) return changed;
  return Store(path, document);
}

std::string BackupPath(const std::string& path) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  std::string backup = path + ".unreadable-" + stamp;
  for (int n = 2; FileExists(backup); ++n) {
    backup = path + ".unreadable-" + stamp + "-" + std::to_string(n);
  }
  return backup;
}

}  // namespace

Result<XmlDocument> ReportsFile::Open() const {
  XmlDocument document;
  if (document.LoadFile(path_).ok()) return document;
  if (FileExists(path_)) return Status::Failure(document.ParseErrorReason());
  Result<std::string> created = Create();
  if (!created.ok()) return created.status();
  if (Status loaded = document.LoadFile(path_); !loaded.ok()) {
    return Status::Failure(document.ParseErrorReason());
  }
  return document;
}

Result<std::string> ReportsFile::Create() const {
  FileLock lock(path_);
  if (!lock.status().ok()) return lock.status();
  XmlDocument existing;
  if (existing.LoadFile(path_).ok()) return std::string();
  std::string backup;
  if (FileExists(path_)) {
    backup = BackupPath(path_);
    if (std::rename(path_.c_str(), backup.c_str()) != 0) {
      return Status::Failure("Cannot keep the unreadable reports file as " + backup);
    }
  }
  XmlDocument initial;
  if (Status parsed = initial.LoadXml(kInitialReportsDocument); !parsed.ok()) return parsed;
  if (Status stored = Store(path_, initial); !stored.ok()) return stored;
  return backup;
}

Result<ReportEntry> ReportsFile::FindReport(std::string_view id) const {
  const std::string wanted = NormaliseId(id);
  Result<XmlDocument> document = Open();
  if (!document.ok()) return document.status();
  for (const XmlNode& report : document->ElementsByTagName("report")) {
    if (report.GetAttribute("id") != wanted) continue;
    return ReportEntry{report.GetAttribute("id"),
                       report.GetAttribute("group"),
                       report.GetAttribute("args"),
                       report.GetAttribute("title"),
                       report.Text(),
                       report.GetAttribute("query")};
  }
  return Status::Failure("Report not found: " + wanted);
}

std::string ReportsFile::LoadReportArgs(std::string_view id) const {
  Result<ReportEntry> report = FindReport(id);
  return report.ok() ? report->args : std::string();
}

Status ReportsFile::SaveReport(const ReportEntry& report, const RequestAudit& audit) const {
  const std::string id = NormaliseId(report.id);
  const std::string group = NormaliseId(report.group);
  return Modify(path_, [&](XmlDocument& document) {
    const std::string now = NowText();
    for (XmlNode existing : document.ElementsByTagName("report")) {
      if (existing.GetAttribute("id") != id) continue;
      existing.SetAttribute("group", group);
      existing.SetAttribute("args", report.args);
      existing.SetAttribute("title", report.title);
      existing.SetAttribute("modified", now);
      existing.SetAttribute("query", report.query);
      existing.SetAttribute("ip", audit.ip);
      existing.SetAttribute("modifiedby", audit.user);
      existing.SetText(report.description);
      return Status::Ok();
    }
    XmlNode list = ListOf(document, 1);
    if (!list) return Status::Failure("The reports file has no report list");
    XmlNode added = list.AppendElement("report");
    added.SetAttribute("args", report.args);
    added.SetAttribute("id", id);
    added.SetAttribute("group", group);
    added.SetAttribute("title", report.title);
    added.SetAttribute("added", now);
    added.SetAttribute("modified", now);
    added.SetAttribute("query", report.query);
    added.SetAttribute("ip", audit.ip);
    added.SetAttribute("createdby", audit.user);
    added.SetText(report.description);
    return Status::Ok();
  });
}

Status ReportsFile::SaveGroup(std::string_view id, std::string_view title) const {
  const std::string wanted = NormaliseId(id);
  return Modify(path_, [&](XmlDocument& document) {
    for (XmlNode group : document.ElementsByTagName("group")) {
      if (group.GetAttribute("id") != wanted) continue;
      group.SetAttribute("title", title);
      return Status::Ok();
    }
    XmlNode list = ListOf(document, 0);
    if (!list) return Status::Failure("The reports file has no group list");
    XmlNode added = list.AppendElement("group");
    added.SetAttribute("id", wanted);
    added.SetAttribute("title", title);
    return Status::Ok();
  });
}

DeleteOutcome ReportsFile::DeleteEntry(std::string_view id, bool group) const {
  const std::string wanted = NormaliseId(id);
  if (wanted.empty()) return DeleteOutcome::kNotFound;
  FileLock lock(path_);
  if (!lock.status().ok()) return DeleteOutcome::kWriteFailed;
  XmlDocument document;
  if (!document.LoadFile(path_).ok()) return DeleteOutcome::kUnusable;
  XmlNode list = ListOf(document, group ? 0 : 1);
  if (!list) return DeleteOutcome::kNotFound;
  for (const XmlNode& child : list.ChildElements()) {
    if (ToUpperAscii(child.GetAttribute("id")) != wanted) continue;
    list.RemoveChild(child);
    return Store(path_, document).ok() ? DeleteOutcome::kDeleted : DeleteOutcome::kWriteFailed;
  }
  return DeleteOutcome::kNotFound;
}

}  // namespace quenmark::reports
