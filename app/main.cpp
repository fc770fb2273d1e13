// The quenmark executable: serves page scripts, runs one request offline, starts the demo site.
#include <cstdio>

#include "quenmark/version.h"

int main() {
  std::printf("Quenmark %s\n", QUENMARK_VERSION);
  return 0;
}
