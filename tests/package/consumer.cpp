// Builds a text with the installed library and prints it with the version.
#include <iostream>

#include "quenmark/shared_procedures.h"
#include "quenmark/string_buffer.h"
#include "quenmark/version.h"

int main() {
  quenmark::StringBuffer buffer;
  buffer.Append("Quenmark ");
  buffer.Append(QUENMARK_VERSION);
  buffer.Append(" ");
  buffer.Append(quenmark::EncodeBase64("ok"));
  std::cout << buffer.ToString() << "\n";
  return 0;
}
