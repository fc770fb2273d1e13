#pragma once
/// Whole-file access for the reports and locale files: existence, last-modified time and an
/// atomic write.
///
/// Threading and processes: `WriteFileAtomic` holds an exclusive lock on "<path>.lock" while it
/// writes a temporary file beside the target and renames it over the target, so readers see
/// either the old or the new file, never a partial one, and concurrent writers take turns.

#include <string>

#include "quenmark/error.h"

namespace quenmark {

/// True for an existing regular file.
bool FileExists(const std::string& path);
/// Last-modified time in local time as a general date ("3/1/2004 3:05:09 PM"); "" when the
/// file does not exist.
std::string FileModifiedText(const std::string& path);
/// The whole file; a failure names the path and the reason.
Result<std::string> ReadWholeFile(const std::string& path);
/// Replaces the file's content atomically (temporary file, flush, rename) under an exclusive
/// lock; the folder must exist.
Status WriteFileAtomic(const std::string& path, std::string_view content);

/// The exclusive lock `WriteFileAtomic` takes, held for a whole read-modify-write: lock, read
/// the file, change it, `ReplaceFileAtomic`, unlock. Blocks until other holders (threads or
/// processes) let go. Not re-entrant: do not call `WriteFileAtomic` on the same path while
/// holding it.
class FileLock {
 public:
  explicit FileLock(const std::string& path);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  /// Failure when the lock file could not be created or locked.
  const Status& status() const { return status_; }

 private:
  int fd_ = -1;
  Status status_ = Status::Ok();
};

/// `WriteFileAtomic` without taking the lock: for callers that hold a `FileLock` on `path`.
Status ReplaceFileAtomic(const std::string& path, std::string_view content);

}  // namespace quenmark
