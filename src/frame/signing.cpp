#include "quenmark/signing.h"

#include <fcntl.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>

#include "frame/text_util.h"

namespace quenmark {

namespace {

namespace fs = std::filesystem;

constexpr size_t kSecretBytes = 32;
constexpr std::string_view kSecretFolder = ".quenmark";
constexpr std::string_view kSecretFile = "secret";

std::string SystemError(const std::string& what, const fs::path& path) {
  return what + " " + path.string() + ": " + std::strerror(errno);
}

Result<std::string> ReadSecret(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Status::Failure(SystemError("Cannot read the secret", path));
  std::string secret;
  char buffer[256];
  ssize_t got = 0;
  while ((got = ::read(fd, buffer, sizeof buffer)) > 0) {
    secret.append(buffer, static_cast<size_t>(got));
  }
  ::close(fd);
  if (got < 0 || secret.empty()) {
    return Status::Failure("The secret file is unreadable or empty: " + path.string());
  }
  return secret;
}

// Writes 32 random bytes to a private temporary file and links it to `path`. link() never
// replaces an existing file, so when two processes create the secret at once the first link
// wins and the other reads the winner's secret.
Result<std::string> CreateSecret(const fs::path& path) {
  unsigned char bytes[kSecretBytes];
  if (RAND_bytes(bytes, sizeof bytes) != 1) {
    return Status::Failure("No random bytes for the secret");
  }
  const fs::path temporary = path.string() + ".tmp" + std::to_string(::getpid());
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return Status::Failure(SystemError("Cannot create the secret", temporary));
  const bool written =
      ::write(fd, bytes, sizeof bytes) == static_cast<ssize_t>(sizeof bytes) && ::fsync(fd) == 0;
  ::close(fd);
  if (!written) {
    ::unlink(temporary.c_str());
    return Status::Failure(SystemError("Cannot write the secret", temporary));
  }
  const int linked = ::link(temporary.c_str(), path.c_str());
  const int link_error = errno;
  ::unlink(temporary.c_str());
  if (linked != 0 && link_error != EEXIST) {
    errno = link_error;
    return Status::Failure(SystemError("Cannot store the secret", path));
  }
  return ReadSecret(path);
}

Result<std::string> InstallationSecret(const std::string& web_root) {
  static std::mutex mutex;
  static std::map<std::string, std::string, std::less<>> cache;
  std::lock_guard lock(mutex);
  if (auto it = cache.find(web_root); it != cache.end()) return it->second;

  const fs::path folder = fs::path(web_root) / kSecretFolder;
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    return Status::Failure(SystemError("Cannot create the folder", folder));
  }
  const fs::path path = folder / kSecretFile;
  const bool missing = ::access(path.c_str(), F_OK) != 0 && errno == ENOENT;
  Result<std::string> secret = missing ? CreateSecret(path) : ReadSecret(path);
  if (!secret.ok()) return secret;
  cache.emplace(web_root, secret.value());
  return secret;
}

}  // namespace

Signer::Signer(std::string key) : key_(std::move(key)) {}

Result<Signer> Signer::ForWebRoot(const std::string& web_root) {
  const char* environment = std::getenv("QUENMARK_SECRET");
  if (environment != nullptr && *environment != '\0') return Signer(environment);
  Result<std::string> secret = InstallationSecret(web_root);
  if (!secret.ok()) return secret.status();
  return Signer(std::move(secret.value()));
}

std::string Signer::Sign(std::string_view text) const {
  unsigned char mac[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  HMAC(EVP_sha256(), key_.data(), static_cast<int>(key_.size()),
       reinterpret_cast<const unsigned char*>(text.data()), text.size(), mac, &length);
  return EncodeBase64Url(std::string_view(reinterpret_cast<const char*>(mac), length));
}

bool Signer::Verify(std::string_view text, std::string_view token) const {
  const std::string expected = Sign(text);
  if (token.size() != expected.size()) return false;
  return CRYPTO_memcmp(expected.data(), token.data(), expected.size()) == 0;
}

}  // namespace quenmark
