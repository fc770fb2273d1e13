// A file in a private temporary folder that a fuzz target rewrites with each input, for readers
// that take a path. The folder is emptied after each input, so backups a reader makes of an
// unreadable file do not pile up; the folder goes when the run ends.
#pragma once

#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

namespace quenmark::fuzz {

class FuzzTempFile {
 public:
  explicit FuzzTempFile(const std::string& name) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "quenmark-fuzz-XXXXXX").string();
    folder_ = mkdtemp(pattern.data());
    path_ = (std::filesystem::path(folder_) / name).string();
  }
  ~FuzzTempFile() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  FuzzTempFile(const FuzzTempFile&) = delete;
  FuzzTempFile& operator=(const FuzzTempFile&) = delete;

  // Replaces the folder's contents with one file holding `data`; returns its path.
  const std::string& Write(const uint8_t* data, size_t size) {
    Clear();
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return path_;
  }

  void Clear() {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(folder_, ignored)) {
      std::filesystem::remove_all(entry.path(), ignored);
    }
  }

 private:
  std::string folder_;
  std::string path_;
};

}  // namespace quenmark::fuzz
