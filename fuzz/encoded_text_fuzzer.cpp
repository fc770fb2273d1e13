// The library's base64 form of postback arguments: decoding any posted text, and encoding any
// text so that decoding gives it back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "quenmark/shared_procedures.h"

namespace {

// Encoding fills the last group with blanks; plain ASCII without trailing blanks must come back
// exactly (other characters go through Windows-1252 and may not).
bool RoundTrips(std::string_view text) {
  if (!text.empty() && text.back() == ' ') return true;
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7e) return true;
  }
  std::string back = quenmark::DecodeBase64(quenmark::EncodeBase64(text));
  while (!back.empty() && back.back() == ' ') back.pop_back();
  return back == text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  quenmark::DecodeBase64(text);
  quenmark::EncodeBase64(text);
  if (!RoundTrips(text)) std::abort();
  return 0;
}
