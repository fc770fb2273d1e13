#include "host/static_file_cache.h"

#include <fcntl.h>
#include <microhttpd.h>
#include <unistd.h>

#include <string>

namespace quenmark::host {

namespace {

bool Unchanged(const StaticFileCache::File& file, const struct stat& info) {
  return file.size == static_cast<size_t>(info.st_size) && file.device == info.st_dev &&
         file.inode == info.st_ino && file.modified.tv_sec == info.st_mtim.tv_sec &&
         file.modified.tv_nsec == info.st_mtim.tv_nsec;
}

std::shared_ptr<StaticFileCache::File> Open(const std::string& path, const struct stat& info,
                                            const std::string& content_type, bool in_memory) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  auto file = std::make_shared<StaticFileCache::File>();
  file->size = static_cast<size_t>(info.st_size);
  file->device = info.st_dev;
  file->inode = info.st_ino;
  file->modified = info.st_mtim;
  if (in_memory) {
    std::string bytes(file->size, '\0');
    size_t done = 0;
    while (done < bytes.size()) {
      ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
      if (got <= 0) break;
      done += static_cast<size_t>(got);
    }
    ::close(fd);
    bytes.resize(done);
    file->size = done;
    file->response = MHD_create_response_from_buffer(bytes.size(), bytes.data(),
                                                     MHD_RESPMEM_MUST_COPY);
  } else {
    // The response owns the descriptor and sends from it with sendfile.
    file->response = MHD_create_response_from_fd(file->size, fd);
    if (!file->response) ::close(fd);
  }
  if (!file->response) return nullptr;
  MHD_add_response_header(file->response, MHD_HTTP_HEADER_CONTENT_TYPE, content_type.c_str());
  return file;
}

}  // namespace

StaticFileCache::File::~File() {
  if (response) MHD_destroy_response(response);
}

std::shared_ptr<const StaticFileCache::File> StaticFileCache::Get(
    const std::string& path, const struct stat& info, const std::string& content_type) {
  if (static_cast<size_t>(info.st_size) > max_file_bytes_) {
    return Open(path, info, content_type, false);
  }
  {
    std::lock_guard lock(mutex_);
    auto it = files_.find(path);
    if (it != files_.end() && Unchanged(*it->second, info)) return it->second;
  }
  std::shared_ptr<const File> file = Open(path, info, content_type, true);
  if (!file) return nullptr;
  std::lock_guard lock(mutex_);
  auto [it, added] = files_.try_emplace(path, file);
  if (!added) {
    total_bytes_ -= it->second->size;
    it->second = file;
  }
  total_bytes_ += file->size;
  // Simple and bounded: when the cache outgrows its budget it starts over.
  if (total_bytes_ > max_total_bytes_) {
    files_.clear();
    total_bytes_ = 0;
  }
  return file;
}

}  // namespace quenmark::host
