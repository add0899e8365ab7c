#include <cstdio>

#include "app/headless_modes.h"

int runModTest() {
  std::fprintf(stderr, "--modtest: this mode is not built yet\n");
  return 1;
}
