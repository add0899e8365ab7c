#include "world/noise.h"

namespace {

constexpr uint32_t kPrimeX = 0x8DA6B343u;
constexpr uint32_t kPrimeY = 0xD8163841u;
constexpr uint32_t kPrimeZ = 0xCB1AB31Fu;

}  // namespace

float noise2D(float x, float z, int octaves, uint32_t seed) {
  float sum = 0.0f, total = 0.0f, amplitude = 0.5f;
  for (int i = 0; i < octaves; ++i) {
    const uint32_t g = static_cast<uint32_t>(i) * 0x2188AB3Bu + seed * kPrimeZ;
    const int32_t xi = floorToInt(x), zi = floorToInt(z);
    const float fx = x - static_cast<float>(xi), fz = z - static_cast<float>(zi);
    const uint32_t ux = static_cast<uint32_t>(xi), uz = static_cast<uint32_t>(zi);
    const float v00 = unitValue((ux * kPrimeX) ^ (uz * kPrimeY) ^ g);
    const float v10 = unitValue(((ux + 1) * kPrimeX) ^ (uz * kPrimeY) ^ g);
    const float v01 = unitValue((ux * kPrimeX) ^ ((uz + 1) * kPrimeY) ^ g);
    const float v11 = unitValue(((ux + 1) * kPrimeX) ^ ((uz + 1) * kPrimeY) ^ g);
    const float sx = smoothstep(fx), sz = smoothstep(fz);
    const float value = lerp(lerp(v00, v10, sx), lerp(v01, v11, sx), sz);
    sum += value * amplitude;
    total += amplitude;
    amplitude *= 0.5f;
    x *= 2.0f;
    z *= 2.0f;
  }
  return sum / total;
}

float noise3D(float x, float y, float z, uint32_t k) {
  return noise3DWith(
      x, y, z, [k](int32_t xi, int32_t yi, int32_t zi) { return noise3DCorner(xi, yi, zi, k); });
}
