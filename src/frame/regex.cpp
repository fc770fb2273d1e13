#define PCRE2_CODE_UNIT_WIDTH 8
#include "quenmark/regex.h"

#include <pcre2.h>

namespace quenmark {
namespace {

struct CodeDeleter {
  void operator()(pcre2_code* code) const { pcre2_code_free(code); }
};
struct MatchDataDeleter {
  void operator()(pcre2_match_data* data) const { pcre2_match_data_free(data); }
};
using MatchDataPtr = std::unique_ptr<pcre2_match_data, MatchDataDeleter>;

std::string ErrorText(int code) {
  PCRE2_UCHAR buffer[256];
  int length = pcre2_get_error_message(code, buffer, sizeof buffer);
  if (length < 0) return "regular expression error " + std::to_string(code);
  return std::string(reinterpret_cast<const char*>(buffer), static_cast<size_t>(length));
}

PCRE2_SPTR Bytes(std::string_view text) { return reinterpret_cast<PCRE2_SPTR>(text.data()); }

// Replacement texts as page authors write them: "$&" is the whole match and a "$" that starts
// no reference is an ordinary character (the engine would reject both).
std::string EngineReplacement(std::string_view replacement) {
  std::string out;
  out.reserve(replacement.size() + 8);
  for (size_t i = 0; i < replacement.size(); ++i) {
    char c = replacement[i];
    if (c != '$') {
      out.push_back(c);
      continue;
    }
    char next = i + 1 < replacement.size() ? replacement[i + 1] : '\0';
    if (next == '&') {
      out += "$0";
      ++i;
    } else if (next == '$') {
      out += "$$";
      ++i;
    } else if ((next >= '0' && next <= '9') || next == '{') {
      out.push_back('$');
    } else {
      out += "$$";
    }
  }
  return out;
}

}  // namespace

struct Regex::Impl {
  std::unique_ptr<pcre2_code, CodeDeleter> code;
};

Regex::Regex(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Regex::~Regex() = default;
Regex::Regex(Regex&&) noexcept = default;
Regex& Regex::operator=(Regex&&) noexcept = default;

Result<Regex> Regex::Compile(std::string_view pattern, Options options) {
  // Invalid UTF-8 in subjects is matched rather than rejected: values come from databases.
  uint32_t flags = PCRE2_UTF | PCRE2_MATCH_INVALID_UTF;
  if (options.ignore_case) flags |= PCRE2_CASELESS;
  if (options.multiline) flags |= PCRE2_MULTILINE;
  int error = 0;
  PCRE2_SIZE offset = 0;
  pcre2_code* code = pcre2_compile(Bytes(pattern), pattern.size(), flags, &error, &offset, nullptr);
  if (code == nullptr) {
    return Status::Failure("Invalid pattern at offset " + std::to_string(offset) + ": " +
                           ErrorText(error));
  }
  auto impl = std::make_unique<Impl>();
  impl->code.reset(code);
  // JIT is an optimisation only; without it matching still works.
  pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);
  return Regex(std::move(impl));
}

bool Regex::Test(std::string_view subject) const {
  MatchDataPtr data(pcre2_match_data_create_from_pattern(impl_->code.get(), nullptr));
  if (!data) return false;
  int rc =
      pcre2_match(impl_->code.get(), Bytes(subject), subject.size(), 0, 0, data.get(), nullptr);
  if (rc == PCRE2_ERROR_JIT_STACKLIMIT) {
    rc = pcre2_match(impl_->code.get(), Bytes(subject), subject.size(), 0, PCRE2_NO_JIT, data.get(),
                     nullptr);
  }
  return rc >= 0;
}

Result<std::string> Regex::ReplaceFirst(std::string_view subject,
                                        std::string_view replacement) const {
  uint32_t flags = PCRE2_SUBSTITUTE_OVERFLOW_LENGTH | PCRE2_SUBSTITUTE_UNKNOWN_UNSET |
                   PCRE2_SUBSTITUTE_UNSET_EMPTY;
  const std::string engine_replacement = EngineReplacement(replacement);
  std::string output(subject.size() + replacement.size() + 64, '\0');
  for (int attempt = 0; attempt < 3; ++attempt) {
    PCRE2_SIZE length = output.size();
    int rc = pcre2_substitute(impl_->code.get(), Bytes(subject), subject.size(), 0, flags, nullptr,
                              nullptr, Bytes(engine_replacement), engine_replacement.size(),
                              reinterpret_cast<PCRE2_UCHAR*>(output.data()), &length);
    if (rc >= 0) {
      output.resize(length);
      return output;
    }
    if (rc == PCRE2_ERROR_JIT_STACKLIMIT && (flags & PCRE2_NO_JIT) == 0) {
      // The JIT's machine stack is small; the interpreter keeps its backtracking on the heap
      // and copes with long values.
      flags |= PCRE2_NO_JIT;
      continue;
    }
    if (rc != PCRE2_ERROR_NOMEMORY) return Status::Failure(ErrorText(rc));
    // With OVERFLOW_LENGTH the engine reports the size it needs; try once more with it.
    output.assign(length, '\0');
  }
  return Status::Failure(ErrorText(PCRE2_ERROR_NOMEMORY));
}

Result<std::string> Regex::ReplaceFirst(std::string_view subject, std::string_view replacement,
                                        std::string (*escape)(std::string_view)) const {
  MatchDataPtr data(pcre2_match_data_create_from_pattern(impl_->code.get(), nullptr));
  if (!data) return Status::Failure(ErrorText(PCRE2_ERROR_NOMEMORY));
  int rc =
      pcre2_match(impl_->code.get(), Bytes(subject), subject.size(), 0, 0, data.get(), nullptr);
  if (rc == PCRE2_ERROR_JIT_STACKLIMIT) {
    rc = pcre2_match(impl_->code.get(), Bytes(subject), subject.size(), 0, PCRE2_NO_JIT,
                     data.get(), nullptr);
  }
  if (rc == PCRE2_ERROR_NOMATCH) return escape(subject);
  if (rc < 0) return Status::Failure(ErrorText(rc));
  const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data.get());
  const uint32_t pairs = pcre2_get_ovector_count(data.get());
  // The text of group n, or "" when the group does not exist or did not take part.
  auto group = [&](uint32_t n) -> std::string_view {
    if (n >= pairs || ovector[2 * n] == PCRE2_UNSET) return {};
    return subject.substr(ovector[2 * n], ovector[2 * n + 1] - ovector[2 * n]);
  };

  std::string out = escape(subject.substr(0, ovector[0]));
  // The same reference rules as the engine path: $n, ${n}, $& and $$; any other "$" is literal.
  for (size_t i = 0; i < replacement.size(); ++i) {
    const char c = replacement[i];
    const char next = i + 1 < replacement.size() ? replacement[i + 1] : '\0';
    if (c != '$') {
      out += c;
    } else if (next == '&') {
      out += escape(group(0));
      ++i;
    } else if (next == '$') {
      out += '$';
      ++i;
    } else if (next >= '0' && next <= '9') {
      uint32_t n = 0;
      size_t j = i + 1;
      while (j < replacement.size() && replacement[j] >= '0' && replacement[j] <= '9' &&
             n < 100000) {
        n = n * 10 + static_cast<uint32_t>(replacement[j] - '0');
        ++j;
      }
      out += escape(group(n));
      i = j - 1;
    } else if (next == '{') {
      const size_t close = replacement.find('}', i + 2);
      if (close == std::string_view::npos || close == i + 2) {
        return Status::Failure("Invalid group reference in the replacement text");
      }
      const std::string name(replacement.substr(i + 2, close - i - 2));
      int n = -1;
      if (name.find_first_not_of("0123456789") == std::string::npos && name.size() < 6) {
        n = std::stoi(name);
      } else {
        n = pcre2_substring_number_from_name(impl_->code.get(), Bytes(name));
        if (n < 0) return Status::Failure("Unknown group name in the replacement text: " + name);
      }
      out += escape(group(static_cast<uint32_t>(n)));
      i = close;
    } else {
      out += '$';
    }
  }
  out += escape(subject.substr(ovector[1]));
  return out;
}

Result<std::string> ReplaceFirstMatch(std::string_view subject, std::string_view pattern,
                                      std::string_view replacement, bool ignore_case) {
  auto regex = Regex::Compile(pattern, Regex::Options{ignore_case, false});
  if (!regex) return regex.status();
  return regex->ReplaceFirst(subject, replacement);
}

}  // namespace quenmark
