#include "quenmark/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>

#include "quenmark/conversions.h"

namespace quenmark {
namespace {

// Owns a file descriptor.
class FileHandle {
 public:
  explicit FileHandle(int fd) : fd_(fd) {}
  ~FileHandle() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Closes now and reports whether the close (the last chance for a write error) succeeded.
  bool Close() {
    int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

std::string Reason(const std::string& what, const std::string& path) {
  return what + " '" + path + "': " + std::strerror(errno);
}

bool WriteAll(int fd, std::string_view content) {
  const char* data = content.data();
  size_t left = content.size();
  while (left > 0) {
    ssize_t written = ::write(fd, data, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    left -= static_cast<size_t>(written);
  }
  return true;
}

}  // namespace

bool FileExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string FileModifiedText(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::string();
  std::tm local{};
  time_t seconds = info.st_mtim.tv_sec;
  localtime_r(&seconds, &local);
  DateTime value{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                 local.tm_hour,        local.tm_min,     local.tm_sec};
  return FormatGeneralDate(value);
}

Result<std::string> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return Status::Failure(Reason("Cannot open", path));
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) return Status::Failure(Reason("Cannot read", path));
  return content.str();
}

FileLock::FileLock(const std::string& path) {
  const std::string lock_path = path + ".lock";
  fd_ = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd_ < 0) {
    status_ = Status::Failure(Reason("Cannot create lock file", lock_path));
    return;
  }
  while (::flock(fd_, LOCK_EX) != 0) {
    if (errno != EINTR) {
      status_ = Status::Failure(Reason("Cannot lock", lock_path));
      return;
    }
  }
}

FileLock::~FileLock() {
  // Closing the descriptor releases the lock.
  if (fd_ >= 0) ::close(fd_);
}

Status WriteFileAtomic(const std::string& path, std::string_view content) {
  FileLock lock(path);
  if (!lock.status().ok()) return lock.status();
  return ReplaceFileAtomic(path, content);
}

Status ReplaceFileAtomic(const std::string& path, std::string_view content) {
  std::string temp_path = path + ".tmpXXXXXX";
  FileHandle temp(::mkostemp(temp_path.data(), O_CLOEXEC));
  if (!temp.valid()) return Status::Failure(Reason("Cannot create temporary file for", path));
  // Keep the permissions of the file being replaced; new files get the usual 0644.
  struct stat existing {};
  mode_t mode = ::stat(path.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : 0644;
  ::fchmod(temp.get(), mode);
  if (!WriteAll(temp.get(), content) || ::fsync(temp.get()) != 0 || !temp.Close()) {
    Status failure = Status::Failure(Reason("Cannot write", temp_path));
    ::unlink(temp_path.c_str());
    return failure;
  }
  if (::rename(temp_path.c_str(), path.c_str()) != 0) {
    Status failure = Status::Failure(Reason("Cannot replace", path));
    ::unlink(temp_path.c_str());
    return failure;
  }
  return Status::Ok();
}

}  // namespace quenmark
