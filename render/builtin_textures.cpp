// The procedural 16 x 16 block and creature textures used when no pack or mod supplies
// an image. Every design mixes smooth value noise with integer-hash speckles and most
// darken their outer rings so blocks read as separate cubes.
//
// Sections: noise and speckles, shared helpers, block designs (stone ... gravel),
// creature and icon designs, the layer table (design), builtinTexel.

#include <algorithm>
#include <cmath>

#include "render/texture_set.h"
#include "world/block_registry.h"

namespace {

float hash01(uint32_t v) {
  const uint32_t f = (v ^ (v >> 13)) * 1274126177u;
  return static_cast<float>((f ^ (f >> 16)) & 0xFFFFFFu) / 16777215.0f;
}

float noise(float a, float b, uint32_t seed) {
  const float fx0 = std::floor(a), fy0 = std::floor(b);
  const auto ix = static_cast<uint32_t>(static_cast<int32_t>(fx0));
  const auto iy = static_cast<uint32_t>(static_cast<int32_t>(fy0));
  const uint32_t h = ix * 374761393u + iy * 668265263u - seed * 2048144777u;
  const float c00 = hash01(h), c10 = hash01(h + 374761393u);
  const float c01 = hash01(h + 668265263u), c11 = hash01(h + 1043026656u);
  const float fx = a - fx0, fy = b - fy0;
  const float sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
  const float top = c00 + (c10 - c00) * sx, bottom = c01 + (c11 - c01) * sx;
  return top + (bottom - top) * sy;
}

// A per-texel hash for speckles: true for about one texel in `modulus`.
uint32_t texelHash(int x, int y, uint32_t salt) {
  const uint32_t v =
      static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u + salt;
  const uint32_t f = (v ^ (v >> 13)) * 1274126177u;
  return f ^ (f >> 16);
}
bool speckle(int x, int y, uint32_t salt, uint32_t modulus) {
  return texelHash(x, y, salt) % modulus == 0;
}

struct Colour {
  float r, g, b, a = 255;
  Colour& add(float v) {
    r += v, g += v, b += v;
    return *this;
  }
};

Colour mix(Colour a, Colour b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a};
}

// Darkens the outermost ring by `outer` and the next one by `inner`.
void rings(Colour& c, int x, int y, float outer, float inner) {
  const int edge = std::min({x, y, 15 - x, 15 - y});
  if (edge == 0) c.add(-outer);
  if (edge == 1) c.add(-inner);
}

float clamp01(float v) {
  return std::clamp(v, 0.0f, 1.0f);
}

Colour stone(int x, int y) {
  const float n =
      clamp01(0.3f * noise(0.9f * x, 0.9f * y, 12) + 0.7f * noise(0.32f * x, 0.32f * y, 11));
  Colour c{50 * n + 96, 50 * n + 98, 48 * n + 104};
  if (std::fabs(noise(0.22f * x, 0.16f * y, 13) - 0.5f) < 0.018f) c.add(-40);
  if (speckle(x, y, 3, 53)) {
    c.add(24);
  } else if (speckle(x, y, 4, 47)) {
    c.add(-22);
  }
  rings(c, x, y, 14, 4);
  return c;
}

Colour dirtAt(int x, int y) {
  const float n = noise(0.5f * x, 0.5f * y, 31) * 0.6f + noise(1.1f * x, 1.1f * y, 32) * 0.4f;
  Colour c{110 + 36 * n, 76 + 26 * n, 50 + 18 * n};
  if (speckle(x, y, 7, 17)) c.add(-18);
  if (speckle(x, y, 8, 41)) c.add(16);
  return c;
}

Colour grassTop(int x, int y) {
  const float a = noise(0.7f * x, 0.7f * y, 22), b = noise(0.25f * x, 0.25f * y, 21);
  Colour c{62 + 30 * b + 14 * a, 128 + 40 * b + 22 * a, 44 + 16 * b};
  if (a > 0.74f) c.add(18);
  if (speckle(x, y, 23, 23)) c.add(-20);
  rings(c, x, y, 12, 4);
  return c;
}

Colour grassSide(int x, int y) {
  const int fringe = 3 + static_cast<int>(texelHash(x, 0, 99) % 3);
  Colour c = y < fringe ? grassTop(x, y) : dirtAt(x, y);
  if (y == fringe) c.add(-14);  // shadow under the turf
  if (y >= fringe) rings(c, x, y, 12, 3);
  return c;
}

Colour sand(int x, int y) {
  const float n = noise(0.6f * x, 0.6f * y, 41);
  Colour c{212 + 22 * n, 196 + 20 * n, 140 + 18 * n};
  if (speckle(x, y, 41, 11)) c.add(-16);
  rings(c, x, y, 10, 2);
  return c;
}

Colour woodSide(int x, int y) {
  const float n = noise(1.6f * x, 0.12f * y, 51);
  Colour c{92 + 34 * n, 66 + 24 * n, 38 + 14 * n};
  if (x % 4 == 1) c.add(-12);  // bark grooves
  if (speckle(x, y, 51, 61)) c.add(-20);
  rings(c, x, y, 12, 4);
  return c;
}

Colour woodTop(int x, int y) {
  const float d = std::sqrt((x - 7.5f) * (x - 7.5f) + (y - 7.5f) * (y - 7.5f));
  const float ring = 0.5f + 0.5f * std::sin(d * 1.9f + noise(0.4f * x, 0.4f * y, 61) * 2);
  Colour c{168 + 26 * ring, 130 + 22 * ring, 80 + 14 * ring};
  if (d > 6.3f) c = {92, 66, 38};  // bark ring
  rings(c, x, y, 12, 4);
  return c;
}

Colour leaves(int x, int y) {
  const float n = noise(0.8f * x, 0.8f * y, 71);
  Colour c{40 + 30 * n, 100 + 50 * n, 34 + 20 * n};
  if (speckle(x, y, 71, 7)) c.add(-30);
  if (speckle(x, y, 72, 19)) c.add(24);
  rings(c, x, y, 10, 2);
  return c;
}

Colour snow(int x, int y) {
  const float n = noise(0.5f * x, 0.5f * y, 81);
  Colour c{232 + 16 * n, 236 + 14 * n, 244 + 10 * n};
  if (speckle(x, y, 81, 29)) c.add(-14);
  rings(c, x, y, 10, 2);
  return c;
}

Colour water(int x, int y) {
  const float n = noise(0.35f * x + 0.2f * y, 0.7f * y, 91);
  Colour c{36 + 24 * n, 82 + 40 * n, 176 + 40 * n, 190};
  if (n > 0.78f) c.add(26);  // ripple highlight
  return c;
}

Colour lava(int x, int y) {
  const float n = noise(0.4f * x, 0.4f * y, 101) * 0.7f + noise(x, y, 102) * 0.3f;
  Colour c{200 + 55 * n, 70 + 120 * n * n, 16 + 30 * n};
  if (speckle(x, y, 101, 13)) c.add(20);
  return c;
}

Colour planks(int x, int y) {
  const float n = noise(0.18f * x, 1.3f * y + (y / 4) * 7.0f, 111);
  Colour c{160 + 30 * n, 120 + 24 * n, 72 + 16 * n};
  if (y % 4 == 3) c.add(-36);                        // gap between boards
  if (x == ((y / 4) % 2 == 0 ? 5 : 12)) c.add(-22);  // board ends
  if (speckle(x, y, 111, 47)) c.add(-14);
  rings(c, x, y, 12, 4);
  return c;
}

Colour cobblestone(int x, int y) {
  // Cells of a jittered grid; the gaps between stones are dark.
  const float n = noise(0.45f * x, 0.45f * y, 121);
  const float cell = noise(0.55f * x + 3, 0.55f * y + 9, 122);
  Colour c{104 + 46 * cell, 104 + 46 * cell, 108 + 44 * cell};
  if (std::fabs(n - 0.5f) < 0.07f) c = {62, 62, 66};
  if (speckle(x, y, 121, 17)) c.add(-16);
  rings(c, x, y, 12, 4);
  return c;
}

Colour bricks(int x, int y) {
  const int row = y / 4;
  const int offset = row % 2 == 0 ? 0 : 4;
  const bool mortar = y % 4 == 3 || (x + offset) % 8 == 7;
  const float n = noise(0.6f * x, 0.6f * y, 131);
  Colour c = mortar ? Colour{178 + 16 * n, 170 + 16 * n, 160 + 16 * n}
                    : Colour{150 + 30 * n, 64 + 18 * n, 50 + 14 * n};
  if (!mortar && speckle(x, y, 131, 23)) c.add(-18);
  rings(c, x, y, 10, 2);
  return c;
}

Colour bookshelf(int x, int y) {
  if (y < 2 || y > 13 || y == 7 || y == 8) return planks(x, y);  // shelf boards
  static const Colour spines[5] = {
      {150, 40, 36}, {46, 80, 150}, {52, 120, 60}, {160, 130, 50}, {96, 50, 120}};
  const int book = (x + (y > 8 ? 2 : 0)) / 2 % 5;
  Colour c = spines[book];
  if (x % 2 == 1) c.add(-20);
  if (y == 4 || y == 11) c.add(22);  // gilt band
  rings(c, x, y, 12, 4);
  return c;
}

Colour gravel(int x, int y) {
  const float n = noise(0.9f * x, 0.9f * y, 141);
  Colour c{120 + 40 * n, 114 + 38 * n, 110 + 36 * n};
  if (speckle(x, y, 141, 5)) c.add(-30);
  if (speckle(x, y, 142, 11)) c.add(26);
  rings(c, x, y, 10, 2);
  return c;
}

// Flat creature skins with noise and a shade ring; faces add eyes and mouths.
Colour skin(int x, int y, Colour base, uint32_t seed) {
  const float n = noise(0.5f * x, 0.5f * y, seed);
  Colour c = base;
  c.add(24 * n - 12);
  rings(c, x, y, 12, 4);
  return c;
}

Colour slimeFace(int x, int y) {
  Colour c = skin(x, y, {88, 176, 80}, 151);
  if ((x >= 3 && x <= 5 && y >= 4 && y <= 6) || (x >= 10 && x <= 12 && y >= 4 && y <= 6)) {
    c = {24, 44, 24};
  }
  if (y == 11 && x >= 6 && x <= 9) c = {30, 60, 30};
  return c;
}

Colour pigFace(int x, int y) {
  Colour c = skin(x, y, {236, 160, 160}, 161);
  if (y >= 4 && y <= 5 && (x == 3 || x == 4 || x == 11 || x == 12)) c = {30, 26, 26};
  if (y >= 8 && y <= 11 && x >= 5 && x <= 10) c = {210, 120, 124};   // snout
  if ((y == 9 || y == 10) && (x == 6 || x == 9)) c = {120, 60, 64};  // nostrils
  return c;
}

Colour humanFace(int x, int y, Colour skinTone, Colour hair, Colour eyes) {
  Colour c = skin(x, y, skinTone, 171);
  if (y < 4) c = mix(hair, skinTone, noise(x * 0.8f, y * 0.8f, 172) * 0.3f);
  if (y == 7 && (x == 4 || x == 5 || x == 10 || x == 11))
    c = (x == 5 || x == 10) ? eyes : Colour{240, 240, 240};
  if (y == 11 && x >= 6 && x <= 9) c = {120, 60, 50};
  return c;
}

Colour heart(int x, int y, bool full) {
  // A heart shape on a transparent background.
  const float fx = (x - 7.5f) / 7.0f, fy = (7.0f - y) / 7.0f;
  const float a = fx * fx + fy * fy - 0.55f;
  const bool inside = a * a * a - fx * fx * fy * fy * fy < 0;
  const bool border = !inside && [&] {
    for (int dy = -1; dy <= 1; ++dy) {
      for (int dx = -1; dx <= 1; ++dx) {
        const float gx = (x + dx - 7.5f) / 7.0f, gy = (7.0f - (y + dy)) / 7.0f;
        const float b = gx * gx + gy * gy - 0.55f;
        if (b * b * b - gx * gx * gy * gy * gy < 0) return true;
      }
    }
    return false;
  }();
  if (border) return {20, 10, 10, 255};
  if (!inside) return {0, 0, 0, 0};
  if (!full) return {48, 40, 40, 255};
  Colour c{210, 30, 40};
  if (x >= 4 && x <= 5 && y >= 4 && y <= 5) c = {250, 170, 170};  // shine
  return c;
}

Colour design(int layer, int x, int y) {
  switch (layer) {
    case kTexGrassTop:
      return grassTop(x, y);
    case kTexGrassSide:
      return grassSide(x, y);
    case kTexDirt: {
      Colour c = dirtAt(x, y);
      rings(c, x, y, 12, 3);
      return c;
    }
    case kTexStone:
      return stone(x, y);
    case kTexSand:
      return sand(x, y);
    case kTexWoodSide:
      return woodSide(x, y);
    case kTexWoodTop:
      return woodTop(x, y);
    case kTexLeaves:
      return leaves(x, y);
    case kTexSnow:
      return snow(x, y);
    case kTexSlimeBody:
      return skin(x, y, {96, 184, 86}, 150);
    case kTexSlimeFace:
      return slimeFace(x, y);
    case kTexPigBody:
      return skin(x, y, {236, 164, 164}, 160);
    case kTexPigFace:
      return pigFace(x, y);
    case kTexWater:
      return water(x, y);
    case kTexLava:
      return lava(x, y);
    case kTexHeartFull:
      return heart(x, y, true);
    case kTexHeartEmpty:
      return heart(x, y, false);
    case kTexPlanks:
      return planks(x, y);
    case kTexCobblestone:
      return cobblestone(x, y);
    case kTexBricks:
      return bricks(x, y);
    case kTexBookshelf:
      return bookshelf(x, y);
    case kTexGravel:
      return gravel(x, y);
    case kTexVillagerFace:
      return humanFace(x, y, {196, 150, 110}, {90, 60, 40}, {40, 110, 60});
    case kTexVillagerCoat: {
      Colour c = skin(x, y, {120, 84, 60}, 180);
      if (x == 7 || x == 8) c.add(-18);  // coat seam
      return c;
    }
    case kTexVillagerSkin:
      return skin(x, y, {196, 150, 110}, 181);
    case kTexPlayerFace:
      return humanFace(x, y, {220, 170, 130}, {60, 40, 24}, {50, 70, 160});
    case kTexPlayerShirt:
      return skin(x, y, {40, 150, 160}, 190);
    case kTexPlayerPants:
      return skin(x, y, {50, 56, 130}, 191);
    default:
      return {58, 58, 64, 255};
  }
}

uint8_t channel(float v) {
  return static_cast<uint8_t>(std::clamp(v, 0.0f, 255.0f));
}

}  // namespace

std::array<uint8_t, 4> builtinTexel(int layer, int x, int y) {
  const Colour c = design(layer, x & 15, y & 15);
  return {channel(c.r), channel(c.g), channel(c.b), channel(c.a)};
}
