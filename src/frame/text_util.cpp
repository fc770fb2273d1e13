#include "frame/text_util.h"

#include <algorithm>
#include <cstdint>

namespace quenmark {

std::string ToLowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = LowerAscii(c);
  return out;
}

std::string ToUpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = UpperAscii(c);
  return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

bool EndsWithIgnoreCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         EqualsIgnoreCase(text.substr(text.size() - suffix.size()), suffix);
}

std::string_view Trim(std::string_view text, std::string_view blanks) {
  size_t begin = text.find_first_not_of(blanks);
  if (begin == std::string_view::npos) return text.substr(text.size());
  size_t end = text.find_last_not_of(blanks);
  return text.substr(begin, end - begin + 1);
}

std::vector<std::string_view> Split(std::string_view text, std::string_view separator) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (true) {
    const size_t at = text.find(separator, start);
    if (at == std::string_view::npos) {
      parts.push_back(text.substr(start));
      return parts;
    }
    parts.push_back(text.substr(start, at - start));
    start = at + separator.size();
  }
}

namespace {
constexpr std::string_view kBase64UrlAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
}  // namespace

std::string EncodeBase64Url(std::string_view bytes) {
  std::string out;
  out.reserve((bytes.size() * 4 + 2) / 3);
  for (size_t i = 0; i < bytes.size(); i += 3) {
    auto byte = [&](size_t k) {
      return k < bytes.size() ? static_cast<uint32_t>(static_cast<unsigned char>(bytes[k])) : 0u;
    };
    const uint32_t chunk = (byte(i) << 16) | (byte(i + 1) << 8) | byte(i + 2);
    const size_t chars = std::min<size_t>(bytes.size() - i, 3) + 1;
    for (size_t k = 0; k < chars; ++k) out += kBase64UrlAlphabet[(chunk >> (18 - 6 * k)) & 63];
  }
  return out;
}

std::optional<std::string> DecodeBase64Url(std::string_view text) {
  if (text.size() % 4 == 1) return std::nullopt;
  std::string out;
  out.reserve(text.size() * 3 / 4);
  uint32_t bits = 0;
  int count = 0;
  for (char c : text) {
    const size_t index = kBase64UrlAlphabet.find(c);
    if (index == std::string_view::npos) return std::nullopt;
    bits = (bits << 6) | static_cast<uint32_t>(index);
    count += 6;
    if (count >= 8) {
      count -= 8;
      out += static_cast<char>((bits >> count) & 0xFF);
    }
  }
  return out;
}

}  // namespace quenmark
