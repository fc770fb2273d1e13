#pragma once
/// Errors and results shared by the whole library.
///
/// Expected failures of the frame (database, file, XML) come back as a `Status` or `Result<T>`.
/// Page-level flow uses exceptions: `Error` is an error passed on to the page script (number,
/// source, description), `ResponseEnded` unwinds a page after `Response.End`.

#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

namespace quenmark {

/// Error numbers the library raises itself (the runtime error numbers page scripts test for).
enum class ErrorNumber : int {
  kOverflow = 6,
  kTypeMismatch = 13,
  kInvalidArgument = 5,
  kArgumentNotOptional = 449,
  kObjectRequired = 424,
  kUnknownMember = 438,
  kCannotCreateObject = 429,
  kPathNotFound = 76,
  kGeneric = 1000,
};

/// An error passed on to the page script. `source` may be extended by callers with markers such
/// as "<br> Display Line: 12" before re-raising.
class Error : public std::runtime_error {
 public:
  Error(int number, std::string description, std::string source = "Quenmark")
      : std::runtime_error(description),
        number_(number),
        source_(std::move(source)),
        description_(std::move(description)) {}
  Error(ErrorNumber number, std::string description, std::string source = "Quenmark")
      : Error(static_cast<int>(number), std::move(description), std::move(source)) {}

  int Number() const { return number_; }
  const std::string& Source() const { return source_; }
  const std::string& Description() const { return description_; }
  void AppendSource(const std::string& more) { source_ += more; }

 private:
  int number_;
  std::string source_;
  std::string description_;
};

/// Thrown by `Response::End` and `Response::Redirect`; the host catches it and sends what the
/// page wrote so far. Not derived from std::exception so that generic handlers do not swallow it.
struct ResponseEnded {};

/// Outcome of a frame operation that can fail in an expected way.
class [[nodiscard]] Status {
 public:
  static Status Ok() { return Status(); }
  static Status Failure(std::string description) { return Status(std::move(description)); }

  bool ok() const { return !failed_; }
  explicit operator bool() const { return ok(); }
  const std::string& Description() const { return description_; }

 private:
  Status() = default;
  explicit Status(std::string description) : failed_(true), description_(std::move(description)) {}
  bool failed_ = false;
  std::string description_;
};

/// A value or a failure description.
template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : value_(std::move(value)) {}  // NOLINT: implicit by design
  Result(Status failure) : status_(std::move(failure)) {}  // NOLINT: implicit by design

  bool ok() const { return value_.has_value(); }
  explicit operator bool() const { return ok(); }
  const Status& status() const { return status_; }
  const std::string& Description() const { return status_.Description(); }
  T& value() { return *value_; }
  const T& value() const { return *value_; }
  T& operator*() { return *value_; }
  T* operator->() { return &*value_; }

 private:
  std::optional<T> value_;
  Status status_ = Status::Ok();
};

}  // namespace quenmark
