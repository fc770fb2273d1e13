#pragma once
/// `StringBuffer`: a growable text for building long outputs from many small pieces.
///
/// The buffer keeps a capacity, counted in characters, that grows in steps of 15000 whenever an
/// append would reach or pass it (so a piece that exactly fills the buffer still grows it), and
/// a content of `used` characters. Appends are amortised: storage is re-allocated only when the
/// capacity grows. Characters are UTF-8 code points.
///
/// Errors: an append or assignment whose character count does not fit a 32-bit signed integer
/// raises Error(kOverflow) and leaves the buffer unchanged.
/// Threading: one thread at a time.

#include <cstdint>
#include <string>
#include <string_view>

#include "quenmark/dispatch.h"

namespace quenmark {

class StringBuffer : public Dispatchable {
 public:
  /// Characters added to the capacity at each growth step.
  static constexpr int32_t kGrowthStep = 15000;

  StringBuffer() = default;

  /// Empties the buffer and drops its capacity to 0.
  void ReInit();
  /// The content becomes `Source`; the capacity becomes its length plus one growth step.
  void SetString(std::string_view Source);
  /// The current content.
  const std::string& ToString() const { return content_; }
  /// Appends `NewString`, growing the capacity first when needed.
  void Append(std::string_view NewString);

  /// Capacity in characters (0 for a new or re-initialised buffer).
  int64_t Capacity() const { return capacity_; }
  /// Characters of content.
  int32_t Used() const { return used_; }

  const DispatchTable& Members() const override;
  std::string_view ClassName() const override { return "StringBuffer"; }

 private:
  friend struct StringBufferTestPeer;
  std::string content_;
  int32_t used_ = 0;
  int64_t capacity_ = 0;
};

}  // namespace quenmark
