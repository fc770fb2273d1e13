#include "host/request_target.h"

#include <unordered_map>

#include "frame/text_util.h"

namespace quenmark::host {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7f; }

}  // namespace

bool DecodeRequestTarget(std::string_view target, std::string& path, std::string& query) {
  size_t question = target.find('?');
  std::string_view raw = target.substr(0, question);
  query = question == std::string_view::npos ? "" : std::string(target.substr(question + 1));
  path.clear();
  if (raw.empty() || raw.front() != '/') return false;
  path.reserve(raw.size());
  for (size_t i = 0; i < raw.size(); ++i) {
    char c = raw[i];
    if (c == '%') {
      int high = i + 1 < raw.size() ? HexValue(raw[i + 1]) : -1;
      int low = i + 2 < raw.size() ? HexValue(raw[i + 2]) : -1;
      if (high < 0 || low < 0) return false;
      c = static_cast<char>(high * 16 + low);
      // An encoded slash would make one path name a file in another folder than it seems to.
      if (c == '/') return false;
      i += 2;
    }
    if (c == '\\' || IsControl(static_cast<unsigned char>(c))) return false;
    path.push_back(c);
  }
  return true;
}

std::string EscapeForLog(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (IsControl(byte) || c == '"' || c == '\\') {
      out += "\\x";
      out.push_back(kHex[byte >> 4]);
      out.push_back(kHex[byte & 15]);
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::vector<std::pair<std::string, std::string>> JoinRepeatedHeaders(
    const std::vector<std::pair<std::string, std::string>>& headers) {
  std::vector<std::pair<std::string, std::string>> joined;
  std::unordered_map<std::string, size_t> index;
  for (const auto& [name, value] : headers) {
    auto [it, added] = index.try_emplace(ToLowerAscii(name), joined.size());
    if (added) {
      joined.emplace_back(name, value);
    } else {
      std::string& existing = joined[it->second].second;
      if (existing.empty()) {
        existing = value;
      } else {
        existing.append(", ").append(value);
      }
    }
  }
  return joined;
}

}  // namespace quenmark::host
