#include "reports/report_password.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <optional>
#include <vector>

namespace quenmark::reports {
namespace {

constexpr std::string_view kPrefix = "pbkdf2$sha256$";
constexpr int kIterations = 100000;
constexpr size_t kSaltBytes = 16;
constexpr size_t kHashBytes = 32;

std::string Hex(const std::vector<unsigned char>& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char b : bytes) {
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 15]);
  }
  return out;
}

std::optional<std::vector<unsigned char>> FromHex(std::string_view text) {
  if (text.empty() || text.size() % 2 != 0) return std::nullopt;
  auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::vector<unsigned char> bytes;
  bytes.reserve(text.size() / 2);
  for (size_t i = 0; i < text.size(); i += 2) {
    int high = digit(text[i]);
    int low = digit(text[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes.push_back(static_cast<unsigned char>(high * 16 + low));
  }
  return bytes;
}

std::optional<std::vector<unsigned char>> Derive(std::string_view password,
                                                 const std::vector<unsigned char>& salt,
                                                 int iterations, size_t length) {
  std::vector<unsigned char> out(length);
  if (PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()), salt.data(),
                        static_cast<int>(salt.size()), iterations, EVP_sha256(),
                        static_cast<int>(out.size()), out.data()) != 1) {
    return std::nullopt;
  }
  return out;
}

bool EqualConstantTime(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  return CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace

std::string HashReportPassword(std::string_view password) {
  if (password.empty()) return std::string();
  std::vector<unsigned char> salt(kSaltBytes);
  if (RAND_bytes(salt.data(), static_cast<int>(salt.size())) != 1) return std::string();
  std::optional<std::vector<unsigned char>> hash = Derive(password, salt, kIterations, kHashBytes);
  if (!hash) return std::string();
  return std::string(kPrefix) + std::to_string(kIterations) + "$" + Hex(salt) + "$" + Hex(*hash);
}

bool IsHashedReportPassword(std::string_view stored) { return stored.starts_with(kPrefix); }

bool ReportPasswordMatches(std::string_view stored, std::string_view answer) {
  if (stored.empty()) return false;
  if (!IsHashedReportPassword(stored)) return EqualConstantTime(stored, answer);
  std::string_view rest = stored.substr(kPrefix.size());
  const size_t first = rest.find('$');
  const size_t second = first == std::string_view::npos ? first : rest.find('$', first + 1);
  if (second == std::string_view::npos) return false;
  int iterations = 0;
  for (char c : rest.substr(0, first)) {
    if (c < '0' || c > '9' || iterations > 10000000) return false;
    iterations = iterations * 10 + (c - '0');
  }
  auto salt = FromHex(rest.substr(first + 1, second - first - 1));
  auto expected = FromHex(rest.substr(second + 1));
  if (iterations < 1 || !salt || !expected) return false;
  auto actual = Derive(answer, *salt, iterations, expected->size());
  if (!actual) return false;
  return CRYPTO_memcmp(actual->data(), expected->data(), expected->size()) == 0;
}

}  // namespace quenmark::reports
