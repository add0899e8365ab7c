#pragma once
// Integer mixers and value noise behind terrain generation. All integer arithmetic is
// 32-bit unsigned with wrap-around and all real arithmetic single precision, evaluated
// in a fixed order, so a seed gives the same world on every machine.

#include <cmath>
#include <cstdint>

inline uint32_t hashMix(uint32_t v) {
  v ^= v >> 13;
  v *= 0x85EBCA6Bu;
  v ^= v >> 16;
  return v;
}

// The low 24 bits of hashMix(v) as a float in 0..1.
inline float unitValue(uint32_t v) {
  return static_cast<float>(hashMix(v) & 0xFFFFFFu) / 16777215.0f;
}

inline float smoothstep(float t) {
  return (3.0f - 2.0f * t) * t * t;
}
inline float lerp(float a, float b, float t) {
  return (b - a) * t + a;
}

// Floor of a float as a signed integer (the lattice cell of a noise coordinate).
inline int32_t floorToInt(float v) {
  return static_cast<int32_t>(std::floor(v));
}

// Fractal value noise in 0..1: `octaves` octaves, each of half the amplitude and twice
// the frequency of the one before.
float noise2D(float x, float z, int octaves, uint32_t seed);

// One octave of 3D value noise in 0..1; `k` is the seed term.
float noise3D(float x, float y, float z, uint32_t k);
