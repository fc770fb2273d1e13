#include "quenmark/signing.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <vector>

namespace {

namespace fs = std::filesystem;
using quenmark::Signer;

TEST(SignerTest, TokensVerifyOnlyTheirText) {
  const Signer signer("key one");
  const std::string token = signer.Sign("SELECT 1");
  EXPECT_EQ(token.size(), 43u);
  EXPECT_EQ(
      token.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_"),
      std::string::npos);
  EXPECT_TRUE(signer.Verify("SELECT 1", token));
  // RFC 4231 test case 2 ("Jefe"), in URL-safe base64.
  EXPECT_EQ(Signer("Jefe").Sign("what do ya want for nothing?"),
            "W9zBRr9gdU5qBCQmCJV1x1oAPwidJzmDnexYuWTsOEM");

  std::string altered = token;
  altered[5] = altered[5] == 'A' ? 'B' : 'A';
  for (const auto& [text, candidate] :
       std::vector<std::pair<std::string, std::string>>{{"SELECT 2", token},
                                                        {"SELECT 1", altered},
                                                        {"SELECT 1", ""},
                                                        {"SELECT 1", token.substr(0, 42)},
                                                        {"SELECT 1", token + "A"}}) {
    EXPECT_FALSE(signer.Verify(text, candidate)) << text << " " << candidate;
  }
  EXPECT_FALSE(Signer("key two").Verify("SELECT 1", token));
}

class InstallationSecretTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = std::getenv("QUENMARK_SECRET") ? std::getenv("QUENMARK_SECRET") : "";
    ::unsetenv("QUENMARK_SECRET");
    root_ = fs::temp_directory_path() /
            ("quenmark_signing_" + std::to_string(::getpid()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_);
  }
  void TearDown() override {
    if (!saved_.empty()) ::setenv("QUENMARK_SECRET", saved_.c_str(), 1);
    fs::remove_all(root_);
  }
  std::string saved_;
  fs::path root_;
};

TEST_F(InstallationSecretTest, CreatedOncePrivateAndShared) {
  // Several first uses at once agree on one secret.
  std::vector<std::future<std::string>> signers;
  for (int i = 0; i < 4; ++i) {
    signers.push_back(std::async(std::launch::async, [&] {
      auto signer = Signer::ForWebRoot(root_.string());
      return signer.ok() ? signer->Sign("x") : signer.Description();
    }));
  }
  const std::string first = signers[0].get();
  for (size_t i = 1; i < signers.size(); ++i) EXPECT_EQ(signers[i].get(), first);

  const fs::path secret = root_ / ".quenmark" / "secret";
  struct stat info {};
  ASSERT_EQ(::stat(secret.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(info.st_size, 32);
  ASSERT_EQ(::stat(secret.parent_path().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  EXPECT_EQ(std::distance(fs::directory_iterator(secret.parent_path()), fs::directory_iterator()),
            1);

  // The environment's secret wins over the file.
  ::setenv("QUENMARK_SECRET", "from the environment", 1);
  auto from_environment = Signer::ForWebRoot(root_.string());
  ASSERT_TRUE(from_environment.ok());
  EXPECT_EQ(from_environment->Sign("x"), Signer("from the environment").Sign("x"));
}

TEST_F(InstallationSecretTest, UnwritableRootIsAFailure) {
  auto signer = Signer::ForWebRoot((root_ / "missing" / "deeper").string());
  ASSERT_FALSE(signer.ok());
  EXPECT_NE(signer.Description().find("Cannot create the folder"), std::string::npos);
}

}  // namespace
