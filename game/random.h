#pragma once
// The small deterministic generators behind creature behaviour, particles and sound
// noise, and the congruential steps of creature spawning.

#include <cstdint>

// One 32-bit xorshift step (13, 17, 5); returns the new state.
inline uint32_t xorshift32(uint32_t& state) {
  state ^= state << 13;
  state ^= state >> 17;
  state ^= state << 5;
  return state;
}

inline constexpr uint32_t kAiRandomSeed = 0x2545F491u;

// The process-wide generator every creature's decisions draw from, seeded with
// kAiRandomSeed at start.
uint32_t nextAiRandom();
// Restarts it (tests and replays).
void resetAiRandom(uint32_t seed = kAiRandomSeed);

// Congruential steps of creature spawning, modulo 2^32.
inline uint32_t lcg1(uint32_t a) {
  return a * 1664525u + 1013904223u;
}
inline uint32_t lcg2(uint32_t a) {
  return a * 389569705u + 1196435762u;
}
inline uint32_t lcg3(uint32_t a) {
  return a * 0xAF490A95u - 775096599u;
}
