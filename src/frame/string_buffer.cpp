#include "quenmark/string_buffer.h"

#include <limits>

#include "frame/utf8.h"

namespace quenmark {
namespace {

constexpr int64_t kMaxCount = std::numeric_limits<int32_t>::max();

[[noreturn]] void Overflow() { throw Error(ErrorNumber::kOverflow, "Overflow"); }

}  // namespace

void StringBuffer::ReInit() {
  content_ = std::string();
  used_ = 0;
  capacity_ = 0;
}

void StringBuffer::SetString(std::string_view Source) {
  const size_t length = utf8::Count(Source);
  if (length > static_cast<size_t>(kMaxCount)) Overflow();
  content_.assign(Source);
  used_ = static_cast<int32_t>(length);
  capacity_ = static_cast<int64_t>(length) + kGrowthStep;
}

void StringBuffer::Append(std::string_view NewString) {
  const size_t length = utf8::Count(NewString);
  // The sum is a 32-bit signed count; check before touching anything so a failure leaves the
  // buffer as it was.
  if (length > static_cast<size_t>(kMaxCount - used_)) Overflow();
  const int64_t needed = static_cast<int64_t>(used_) + static_cast<int64_t>(length);
  // The capacity is bookkeeping only: the content string grows geometrically on its own, so
  // long outputs never re-copy the whole text every step.
  if (needed >= capacity_) {
    int64_t steps = (needed - capacity_) / kGrowthStep + 1;
    capacity_ += steps * kGrowthStep;
  }
  content_.append(NewString);
  used_ = static_cast<int32_t>(needed);
}

const DispatchTable& StringBuffer::Members() const {
  static const DispatchTable kTable = [] {
    DispatchTable table;
    DispatchBuilder<StringBuffer>(table)
        .Method("ReInit",
                [](StringBuffer& self, Arguments&) {
                  self.ReInit();
                  return Variant();
                })
        .Doc("", "Empties the buffer.")
        .Method("SetString",
                [](StringBuffer& self, Arguments& args) {
                  self.SetString(args.Text(0));
                  return Variant();
                })
        .Doc("text", "Replaces the content with the text.")
        .Method("ToString", [](StringBuffer& self, Arguments&) { return Variant(self.ToString()); })
        .Doc("", "Returns the content.")
        .Method("Append",
                [](StringBuffer& self, Arguments& args) {
                  self.Append(args.Text(0));
                  return Variant();
                })
        .Doc("text", "Appends the text.");
    return table;
  }();
  return kTable;
}

}  // namespace quenmark
