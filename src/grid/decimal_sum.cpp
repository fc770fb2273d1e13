#include "grid/decimal_sum.h"

#include <algorithm>

#include "frame/text_util.h"
#include "quenmark/variant.h"

namespace quenmark {

namespace {

constexpr uint32_t kBase = 1000000000;  // one limb holds nine decimal digits
constexpr int kLimbDigits = 9;
constexpr int kMaxExponent = 400;
constexpr int kChunkDigits = 18;  // digits of a value added at once (fits in uint64)

constexpr uint32_t kPow10[] = {1,      10,      100,      1000,      10000,
                               100000, 1000000, 10000000, 100000000, 1000000000};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void Normalize(std::vector<uint32_t>& m) {
  while (!m.empty() && m.back() == 0) m.pop_back();
}

// m *= 10^k
void MulPow10(std::vector<uint32_t>& m, int k) {
  if (m.empty() || k <= 0) return;
  m.insert(m.begin(), static_cast<size_t>(k / kLimbDigits), 0);
  const uint64_t factor = kPow10[k % kLimbDigits];
  if (factor == 1) return;
  uint64_t carry = 0;
  for (uint32_t& limb : m) {
    const uint64_t v = limb * factor + carry;
    limb = static_cast<uint32_t>(v % kBase);
    carry = v / kBase;
  }
  if (carry > 0) m.push_back(static_cast<uint32_t>(carry));
}

// a += b
void AddTo(std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
  if (a.size() < b.size()) a.resize(b.size(), 0);
  uint32_t carry = 0;
  for (size_t i = 0; i < a.size() && (i < b.size() || carry > 0); ++i) {
    const uint32_t v = a[i] + (i < b.size() ? b[i] : 0) + carry;
    a[i] = v % kBase;
    carry = v / kBase;
  }
  if (carry > 0) a.push_back(carry);
}

int Compare(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  for (size_t i = a.size(); i-- > 0;) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  return 0;
}

// a -= b, where a >= b
void SubtractFrom(std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
  int64_t borrow = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    int64_t v = static_cast<int64_t>(a[i]) - (i < b.size() ? b[i] : 0) - borrow;
    borrow = v < 0 ? 1 : 0;
    if (v < 0) v += kBase;
    a[i] = static_cast<uint32_t>(v);
  }
  Normalize(a);
}

// m /= divisor; returns the remainder.
uint32_t DivideBy(std::vector<uint32_t>& m, uint32_t divisor) {
  uint64_t remainder = 0;
  for (size_t i = m.size(); i-- > 0;) {
    const uint64_t v = remainder * kBase + m[i];
    m[i] = static_cast<uint32_t>(v / divisor);
    remainder = v % divisor;
  }
  Normalize(m);
  return static_cast<uint32_t>(remainder);
}

std::string Digits(const std::vector<uint32_t>& m) {
  if (m.empty()) return "0";
  std::string out = std::to_string(m.back());
  for (size_t i = m.size() - 1; i-- > 0;) {
    const std::string limb = std::to_string(m[i]);
    out.append(static_cast<size_t>(kLimbDigits) - limb.size(), '0');
    out += limb;
  }
  return out;
}

}  // namespace

void DecimalSum::Rescale(int scale) {
  if (scale <= scale_) return;
  MulPow10(positive_, scale - scale_);
  MulPow10(negative_, scale - scale_);
  scale_ = scale;
}

void DecimalSum::AddScaled(bool negative, uint64_t digits, int shift) {
  if (digits == 0) return;
  Magnitude& target = negative ? negative_ : positive_;
  const size_t limb = static_cast<size_t>(shift / kLimbDigits);
  unsigned __int128 v = static_cast<unsigned __int128>(digits) * kPow10[shift % kLimbDigits];
  for (size_t i = limb; v > 0; ++i) {
    if (target.size() <= i) target.resize(i + 1, 0);
    v += target[i];
    target[i] = static_cast<uint32_t>(v % kBase);
    v /= kBase;
  }
}

void DecimalSum::AddText(std::string_view text) {
  size_t i = text.find_first_not_of(kWhitespace);
  if (i == std::string_view::npos) return;
  bool negative = false;
  if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
  const size_t int_begin = i;
  while (i < text.size() && IsDigit(text[i])) ++i;
  const std::string_view int_digits = text.substr(int_begin, i - int_begin);
  std::string_view frac_digits;
  if (i < text.size() && text[i] == '.') {
    const size_t frac_begin = ++i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    frac_digits = text.substr(frac_begin, i - frac_begin);
  }
  if (int_digits.empty() && frac_digits.empty()) return;
  int exponent = 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    size_t j = i + 1;
    bool exponent_negative = false;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) exponent_negative = text[j++] == '-';
    if (j < text.size() && IsDigit(text[j])) {
      for (; j < text.size() && IsDigit(text[j]); ++j) {
        exponent = std::min(exponent * 10 + (text[j] - '0'), 100 * kMaxExponent);
      }
      if (exponent_negative) exponent = -exponent;
    }
  }

  // The value is all its digits times 10^(exponent - fraction length); leading zeros add nothing.
  std::string digits;
  digits.reserve(int_digits.size() + frac_digits.size());
  digits.append(int_digits);
  digits.append(frac_digits);
  const size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) return;
  const std::string_view significant = std::string_view(digits).substr(first);
  const int power = exponent - static_cast<int>(frac_digits.size());
  const int magnitude = power + static_cast<int>(significant.size());
  if (magnitude > kMaxExponent || magnitude < -kMaxExponent) return;

  if (power + scale_ < 0) Rescale(-power);
  const int shift = power + scale_;
  // Add the digits in chunks from the right, each at its own power of ten.
  size_t end = significant.size();
  int chunk_shift = shift;
  while (end > 0) {
    const size_t begin = end > kChunkDigits ? end - kChunkDigits : 0;
    uint64_t chunk = 0;
    for (size_t k = begin; k < end; ++k)
      chunk = chunk * 10 + static_cast<uint64_t>(significant[k] - '0');
    AddScaled(negative, chunk, chunk_shift);
    chunk_shift += static_cast<int>(end - begin);
    end = begin;
  }
}

void DecimalSum::Add(const Variant& value) {
  switch (value.kind()) {
    case Variant::Kind::kInteger: {
      const int64_t v = value.AsInteger();
      // The magnitude of INT64_MIN does not fit an int64, so it is taken through uint64.
      const uint64_t magnitude = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
      AddScaled(v < 0, magnitude, scale_);
      break;
    }
    case Variant::Kind::kText:
      AddText(value.AsText());
      break;
    case Variant::Kind::kEmpty:
    case Variant::Kind::kNull:
      break;
    default:
      AddText(value.ToText());
      break;
  }
}

void DecimalSum::Add(const DecimalSum& other) {
  Rescale(other.scale_);
  Magnitude positive = other.positive_;
  Magnitude negative = other.negative_;
  MulPow10(positive, scale_ - other.scale_);
  MulPow10(negative, scale_ - other.scale_);
  AddTo(positive_, positive);
  AddTo(negative_, negative);
}

void DecimalSum::Clear() {
  positive_.clear();
  negative_.clear();
  scale_ = 0;
}

std::string DecimalSum::Rounded(int decimals) const { return RoundedQuotient(1, decimals); }

std::string DecimalSum::RoundedQuotient(uint32_t divisor, int decimals) const {
  Magnitude value = positive_;
  Magnitude smaller = negative_;
  Normalize(value);
  Normalize(smaller);
  const bool negative = Compare(value, smaller) < 0;
  if (negative) std::swap(value, smaller);
  SubtractFrom(value, smaller);

  // Hold at least one digit beyond the kept ones, so the first dropped digit is exact; what the
  // division leaves over only tells whether anything follows it.
  int scale = scale_;
  if (scale < decimals + 1) {
    MulPow10(value, decimals + 1 - scale);
    scale = decimals + 1;
  }
  const bool remainder = divisor > 1 && DivideBy(value, divisor) != 0;

  std::string digits = Digits(value);
  if (digits.size() < static_cast<size_t>(scale) + 1) {
    digits.insert(0, static_cast<size_t>(scale) + 1 - digits.size(), '0');
  }
  const size_t keep = digits.size() - static_cast<size_t>(scale - decimals);
  const char first_dropped = digits[keep];
  const bool more = remainder || digits.find_first_not_of('0', keep + 1) != std::string::npos;
  std::string kept = digits.substr(0, keep);
  const bool odd = (kept.back() - '0') % 2 == 1;
  if (first_dropped > '5' || (first_dropped == '5' && (more || odd))) {
    size_t k = kept.size();
    while (k > 0 && kept[k - 1] == '9') kept[--k] = '0';
    if (k == 0) {
      kept.insert(0, 1, '1');
    } else {
      ++kept[k - 1];
    }
  }

  const size_t int_length = kept.size() - static_cast<size_t>(decimals);
  std::string_view int_part = std::string_view(kept).substr(0, int_length);
  std::string_view frac_part = std::string_view(kept).substr(int_length);
  const size_t int_start = int_part.find_first_not_of('0');
  int_part =
      int_start == std::string_view::npos ? std::string_view("0") : int_part.substr(int_start);
  const size_t frac_end = frac_part.find_last_not_of('0');
  frac_part =
      frac_end == std::string_view::npos ? std::string_view() : frac_part.substr(0, frac_end + 1);

  std::string out;
  if (negative && !(int_part == "0" && frac_part.empty())) out += '-';
  out += int_part;
  if (!frac_part.empty()) {
    out += '.';
    out += frac_part;
  }
  return out;
}

}  // namespace quenmark
