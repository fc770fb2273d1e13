#pragma once
/// Regular expressions (PCRE2, UTF-8): compile once, replace the first match.
///
/// Replacement texts may use "$1" / "${1}" for groups, "$&" for the whole match and "$$" for a
/// dollar sign; any other "$" is literal, and a reference to a group that does not exist or
/// did not match gives the empty text. An invalid pattern is a failure value, never a
/// crash; matching works on long values (matching uses the heap, not the stack).
///
/// Threading: a compiled `Regex` may be used from several threads at once.

#include <memory>
#include <string>
#include <string_view>

#include "quenmark/error.h"

namespace quenmark {

class Regex {
 public:
  struct Options {
    bool ignore_case = false;
    bool multiline = false;
  };

  /// A failure carries the engine's message and the offset of the error in the pattern.
  static Result<Regex> Compile(std::string_view pattern, Options options);
  static Result<Regex> Compile(std::string_view pattern) { return Compile(pattern, Options{}); }

  ~Regex();
  Regex(Regex&&) noexcept;
  Regex& operator=(Regex&&) noexcept;
  Regex(const Regex&) = delete;
  Regex& operator=(const Regex&) = delete;

  /// True when the pattern matches somewhere in `subject`.
  bool Test(std::string_view subject) const;
  /// `subject` with its first match replaced; `subject` unchanged when nothing matches.
  Result<std::string> ReplaceFirst(std::string_view subject, std::string_view replacement) const;
  /// As ReplaceFirst, but every piece of `subject` that reaches the result (the text around the
  /// match, "$&" and the groups the replacement names) is passed through `escape`, while the
  /// replacement's own text is kept as it is: for untrusted subjects and markup replacements.
  Result<std::string> ReplaceFirst(std::string_view subject, std::string_view replacement,
                                   std::string (*escape)(std::string_view)) const;

 private:
  struct Impl;
  explicit Regex(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

/// One-shot form: compiles `pattern` and replaces its first match in `subject`.
Result<std::string> ReplaceFirstMatch(std::string_view subject, std::string_view pattern,
                                      std::string_view replacement, bool ignore_case = false);

}  // namespace quenmark
