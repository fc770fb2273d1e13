// Decoding what a browser sends: url-encoded form bodies and query strings, and Cookie headers,
// then reading the fields back by name.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "quenmark/page_context.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  quenmark::Request request;
  request.Form().AddUrlEncoded(text);
  request.QueryString().AddUrlEncoded(text);
  request.Cookies().AddCookieHeader(text);
  for (const std::string& name : request.Form().Names()) request.Item(name);
  for (const std::string& name : request.Cookies().Names()) request.Cookies().Get(name);
  request.Item("start");
  return 0;
}
