#include "quenmark/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "quenmark/conversions.h"

namespace quenmark {
namespace {

namespace fs = std::filesystem;

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("quenmark_files_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Path(const char* name) const { return (dir_ / name).string(); }
  fs::path dir_;
};

TEST_F(FilesTest, ExistsAndModifiedTime) {
  EXPECT_FALSE(FileExists(Path("missing.xml")));
  EXPECT_EQ(FileModifiedText(Path("missing.xml")), "");
  EXPECT_FALSE(FileExists(dir_.string()));  // a folder is not a file

  ASSERT_TRUE(WriteFileAtomic(Path("a.txt"), "hello").ok());
  EXPECT_TRUE(FileExists(Path("a.txt")));
  std::string modified = FileModifiedText(Path("a.txt"));
  auto parsed = ParseDate(modified);
  ASSERT_TRUE(parsed.has_value()) << modified;
  EXPECT_GE(parsed->year, 2020);
}

TEST_F(FilesTest, AtomicWriteReplacesWholeContent) {
  ASSERT_TRUE(WriteFileAtomic(Path("r.xml"), "first version, longer").ok());
  ::chmod(Path("r.xml").c_str(), 0600);
  ASSERT_TRUE(WriteFileAtomic(Path("r.xml"), "second").ok());
  auto content = ReadWholeFile(Path("r.xml"));
  ASSERT_TRUE(content.ok());
  EXPECT_EQ(*content, "second");
  EXPECT_EQ(fs::status(Path("r.xml")).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  // No temporary files are left behind (only the file and its lock file remain).
  int entries = 0;
  for (const auto& entry : fs::directory_iterator(dir_)) {
    (void)entry;
    ++entries;
  }
  EXPECT_EQ(entries, 2);
  EXPECT_FALSE(WriteFileAtomic(Path("no_such_dir/x.xml"), "x").ok());
}

TEST_F(FilesTest, ConcurrentWritersNeverLeaveAMixedFile) {
  const std::string path = Path("shared.txt");
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t) {
    writers.emplace_back([&, t] {
      std::string content(20000, static_cast<char>('a' + t));
      for (int i = 0; i < 20; ++i) ASSERT_TRUE(WriteFileAtomic(path, content).ok());
    });
  }
  bool mixed = false;
  for (int i = 0; i < 50; ++i) {
    auto content = ReadWholeFile(path);
    if (content.ok() && !content->empty()) {
      mixed |= content->size() != 20000 ||
               content->find_first_not_of(content->front()) != std::string::npos;
    }
  }
  for (auto& writer : writers) writer.join();
  EXPECT_FALSE(mixed);
}

}  // namespace
}  // namespace quenmark
