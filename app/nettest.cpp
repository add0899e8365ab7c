#include <cstdio>

#include "app/headless_modes.h"

int runNetTest() {
  std::fprintf(stderr, "--nettest: this mode is not built yet\n");
  return 1;
}
