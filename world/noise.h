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

// The lattice value noise3D uses at integer point (xi, yi, zi).
inline float noise3DCorner(int32_t xi, int32_t yi, int32_t zi, uint32_t k) {
  return unitValue((static_cast<uint32_t>(xi) * 0x8DA6B343u) ^
                   (static_cast<uint32_t>(yi) * 0xD8163841u) ^
                   (static_cast<uint32_t>(zi) * 0xCB1AB31Fu) ^ k);
}

// noise3D with the lattice values supplied by `corner(xi, yi, zi)`, so callers that
// evaluate many nearby points can look them up instead of hashing again. Gives results
// identical to noise3D when `corner` returns noise3DCorner.
template <class Corner>
float noise3DWith(float x, float y, float z, Corner&& corner) {
  const int32_t xi = floorToInt(x), yi = floorToInt(y), zi = floorToInt(z);
  const float sx = smoothstep(x - static_cast<float>(xi));
  const float sy = smoothstep(y - static_cast<float>(yi));
  const float sz = smoothstep(z - static_cast<float>(zi));
  const float x00 = lerp(corner(xi, yi, zi), corner(xi + 1, yi, zi), sx);
  const float x10 = lerp(corner(xi, yi + 1, zi), corner(xi + 1, yi + 1, zi), sx);
  const float x01 = lerp(corner(xi, yi, zi + 1), corner(xi + 1, yi, zi + 1), sx);
  const float x11 = lerp(corner(xi, yi + 1, zi + 1), corner(xi + 1, yi + 1, zi + 1), sx);
  const float y0 = lerp(x00, x10, sy);
  const float y1 = lerp(x01, x11, sy);
  return lerp(y0, y1, sz);
}
