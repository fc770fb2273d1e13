#pragma once
// UTF-8 helpers for the places that count or walk characters rather than bytes.

#include <cstddef>
#include <string>
#include <string_view>

namespace quenmark::utf8 {

/// Length in bytes of the sequence that starts with `lead` (1 for invalid lead bytes, so that a
/// broken byte counts as one character and walking always advances).
inline size_t SequenceLength(unsigned char lead) {
  if (lead < 0xC0) return 1;
  if (lead < 0xE0) return 2;
  if (lead < 0xF0) return 3;
  if (lead < 0xF8) return 4;
  return 1;
}

/// Decodes the character at `pos` and advances `pos`. Invalid or truncated sequences give
/// U+FFFD and advance one byte.
inline char32_t Next(std::string_view text, size_t& pos) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(pos);
  size_t length = SequenceLength(lead);
  if (length == 1) {
    ++pos;
    return lead < 0x80 ? lead : 0xFFFD;
  }
  if (pos + length > text.size()) {
    ++pos;
    return 0xFFFD;
  }
  char32_t cp = lead & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    unsigned char next = byte(pos + i);
    if ((next & 0xC0) != 0x80) {
      ++pos;
      return 0xFFFD;
    }
    cp = (cp << 6) | (next & 0x3F);
  }
  pos += length;
  return cp;
}

inline void Append(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

/// Number of characters (code points; a broken byte counts as one).
inline size_t Count(std::string_view text) {
  size_t count = 0;
  for (unsigned char c : text) {
    if ((c & 0xC0) != 0x80) ++count;
  }
  return count;
}

/// Byte offset of the character with index `chars` (text.size() when beyond the end).
inline size_t OffsetOf(std::string_view text, size_t chars) {
  size_t pos = 0;
  while (chars > 0 && pos < text.size()) {
    Next(text, pos);
    --chars;
  }
  return pos;
}

}  // namespace quenmark::utf8
