#pragma once
// A throw-away web root for page tests.

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>

namespace quenmark::test_support {

class TempSite {
 public:
  TempSite() {
    static std::atomic<int> counter{0};
    root_ = std::filesystem::temp_directory_path() /
            ("qm_site_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_);
    root_ = std::filesystem::canonical(root_);
  }
  ~TempSite() {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  TempSite(const TempSite&) = delete;
  TempSite& operator=(const TempSite&) = delete;

  /// Writes `content` to `relative` (folders are created) and returns the full path.
  std::string Write(const std::string& relative, const std::string& content) const {
    std::filesystem::path path = root_ / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
    return path.string();
  }
  std::string Path(const std::string& relative = "") const { return (root_ / relative).string(); }

 private:
  std::filesystem::path root_;
};

}  // namespace quenmark::test_support
