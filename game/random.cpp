#include "game/random.h"

namespace {
uint32_t gAiState = kAiRandomSeed;
}

uint32_t nextAiRandom() {
  return xorshift32(gAiState);
}

void resetAiRandom(uint32_t seed) {
  gAiState = seed;
}
