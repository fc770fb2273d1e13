#pragma once
// Ready-made responses for static files, kept in memory and made again when a file changes
// (its size, modification time or inode differ), so that a static request costs one stat().
// Files above the size limit are not kept: they are sent straight from the file (sendfile).

#include <sys/stat.h>

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

struct MHD_Response;

namespace quenmark::host {

class StaticFileCache {
 public:
  /// One response, shared by every request for the file while it is unchanged.
  struct File {
    MHD_Response* response = nullptr;
    size_t size = 0;
    dev_t device = 0;
    ino_t inode = 0;
    timespec modified{};
    ~File();
  };

  explicit StaticFileCache(size_t max_file_bytes = size_t{1} << 20,
                           size_t max_total_bytes = size_t{64} << 20)
      : max_file_bytes_(max_file_bytes), max_total_bytes_(max_total_bytes) {}

  /// The response for the file at `path` whose stat() is `info`; nullptr when it cannot be
  /// read. Large files get a response of their own that reads the file as it is sent.
  std::shared_ptr<const File> Get(const std::string& path, const struct stat& info,
                                  const std::string& content_type);

 private:
  size_t max_file_bytes_;
  size_t max_total_bytes_;
  std::mutex mutex_;
  std::unordered_map<std::string, std::shared_ptr<const File>> files_;
  size_t total_bytes_ = 0;
};

}  // namespace quenmark::host
