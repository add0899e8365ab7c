#include "world/terrain.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "world/noise.h"
#include "world/village.h"
#include "world/world.h"

int terrainHeight(uint32_t seed, int x, int z) {
  const float fx = static_cast<float>(x), fz = static_cast<float>(z);
  const float c = noise2D(0.0045f * fx, 0.0045f * fz, 4, seed);
  const float m = std::clamp((c - 0.58f) / 0.22f, 0.0f, 1.0f);
  const float r = noise2D(0.008f * fx + 50.0f, 0.008f * fz - 30.0f, 3, seed + 23);
  const float d = noise2D(0.018f * fx, 0.018f * fz, 4, seed + 11);
  const float ridge = (1.0f - std::fabs(2.0f * r - 1.0f)) * smoothstep(m) * 15.0f;
  const float h = (d - 0.5f) * 9.0f + ((c - 0.5f) * 22.0f + 32.0f) + ridge;
  return std::clamp(static_cast<int>(h), kMinTerrainHeight, kMaxTerrainHeight);
}

Biome biomeAt(uint32_t seed, int x, int z) {
  const float fx = static_cast<float>(x), fz = static_cast<float>(z);
  const float t = noise2D(0.0035f * fx + 100.0f, 0.0035f * fz + 200.0f, 2, seed + 7);
  const float k = noise2D(0.0024f * fx + 400.0f, 0.0024f * fz - 250.0f, 3, seed + 53);
  if (k < 0.2f) return BiomeSnow;
  if (t < 0.4f) return BiomeDesert;
  if (t > 0.62f) return BiomeForest;
  return BiomePlains;
}

TreeSite treeAt(uint32_t seed, int x, int z, Biome biome, int h) {
  if (biome > BiomeForest || h <= 32) return {};
  const uint32_t gx = static_cast<uint32_t>((x - 3) / 6), gz = static_cast<uint32_t>((z - 3) / 6);
  const uint32_t m =
      hashMix((gz * 0xD8163841u) ^ (gx * 0x8DA6B343u) ^ (seed * 0xCB1AB31Fu + 0x1707E053u));
  const uint64_t c = uint64_t{m} * 0x5851F42D4C957F2Dull + 0x14057B7EF767814Full;
  const uint64_t chance = biome == BiomeForest ? 45 : 12;
  if (c % 100 >= chance) return {};
  const int d = static_cast<int>((c >> 8) % 3);
  if (h + d + 7 >= kWorldHeight) return {};
  return {true, d};
}

namespace {

BlockId groundBlock(Biome biome, int h, int y) {
  if (h <= 32 || biome == BiomeDesert) return y > h - 4 ? kBlockSand : kBlockStone;
  if (biome == BiomeSnow) {
    if (y == h) return kBlockSnow;
    return y <= h - 3 ? kBlockStone : kBlockDirt;
  }
  if (y == h) return kBlockGrass;
  return y > h - 3 ? kBlockDirt : kBlockStone;
}

constexpr float kCaveScaleXZ = 0.045f, kCaveScaleY = 0.085f;

// The lattice values of the cave noise around one column, hashed once per lattice point
// instead of eight times per block. Lookups give exactly what noise3DCorner would.
class CaveLattice {
 public:
  CaveLattice(int cx, int cz, uint32_t k)
      : x0_(floorToInt(kCaveScaleXZ * static_cast<float>(cx * 16))),
        z0_(floorToInt(kCaveScaleXZ * static_cast<float>(cz * 16))),
        nx_(floorToInt(kCaveScaleXZ * static_cast<float>(cx * 16 + 15)) + 2 - x0_),
        ny_(floorToInt(kCaveScaleY * static_cast<float>(kWorldHeight - 1)) + 2),
        nz_(floorToInt(kCaveScaleXZ * static_cast<float>(cz * 16 + 15)) + 2 - z0_),
        values_(static_cast<size_t>(nx_ * ny_ * nz_)) {
    for (int y = 0; y < ny_; ++y) {
      for (int z = 0; z < nz_; ++z) {
        for (int x = 0; x < nx_; ++x)
          values_[index(x, y, z)] = noise3DCorner(x0_ + x, y, z0_ + z, k);
      }
    }
  }
  float operator()(int32_t xi, int32_t yi, int32_t zi) const {
    return values_[index(xi - x0_, yi, zi - z0_)];
  }

 private:
  size_t index(int x, int y, int z) const { return static_cast<size_t>((y * nz_ + z) * nx_ + x); }
  int x0_, z0_, nx_, ny_, nz_;
  std::vector<float> values_;
};

// Ground, caves and sea water of one position.
void generatePosition(World& world, const CaveLattice& caves, int x, int z, int h, Biome biome) {
  const uint32_t lavaSeed = world.seed * 0x9E3779B9u + 0x3DB844C3u;
  for (int y = 0; y <= h; ++y) world.setBlockRaw(x, y, z, groundBlock(biome, h, y));
  const float fx = static_cast<float>(x), fz = static_cast<float>(z);
  for (int y = 3; y <= h - 3; ++y) {
    const float fy = static_cast<float>(y);
    const float v = noise3DWith(kCaveScaleXZ * fx, kCaveScaleY * fy, kCaveScaleXZ * fz, caves);
    if (v <= 0.66f) continue;
    const bool lava =
        y <= 5 && v > 0.7f && noise3D(0.02f * fx, 0.05f * fy, 0.02f * fz, lavaSeed) > 0.64f;
    world.setBlockRaw(x, y, z, lava ? kBlockLava : kBlockAir);
  }
  for (int y = h + 1; y <= kSeaLevel; ++y) world.setBlockRaw(x, y, z, kBlockWater);
}

// Trees rooted on the 6-block grid within two blocks of the column; their trunks and
// leaves land only where they fall inside it.
void plantTrees(World& world, int cx, int cz) {
  const int x0 = cx * 16, z0 = cz * 16;
  auto firstOnGrid = [](int v) {
    const int rem = ((v - 3) % 6 + 6) % 6;
    return rem == 0 ? v : v + 6 - rem;
  };
  for (int z = firstOnGrid(z0 - 2); z <= z0 + 17; z += 6) {
    for (int x = firstOnGrid(x0 - 2); x <= x0 + 17; x += 6) {
      const Biome biome = biomeAt(world.seed, x, z);
      if (biome > BiomeForest) continue;
      const int h = terrainHeight(world.seed, x, z);
      const TreeSite tree = treeAt(world.seed, x, z, biome, h);
      if (!tree.grows) continue;
      const int top = h + tree.height + 4;
      for (int y = h + 1; y <= top; ++y) world.setBlockRaw(x, y, z, kBlockWood);
      for (int o = -2; o <= 1; ++o) {
        const int radius = (o == -1 || o == 0) ? 2 : 1;
        for (int dz = -radius; dz <= radius; ++dz) {
          for (int dx = -radius; dx <= radius; ++dx) {
            if (o == 1 && std::abs(dx) == 1 && std::abs(dz) == 1) continue;
            const int px = x + dx, pz = z + dz;
            if (floorDiv16(px) != cx || floorDiv16(pz) != cz) continue;
            if (world.getBlock(px, top + o, pz) == kBlockAir) {
              world.setBlockRaw(px, top + o, pz, kBlockLeaves);
            }
          }
        }
      }
    }
  }
}

// Blends the column's ground towards a village's level: flat within its radius, easing
// back to the natural height over the next 12 blocks.
void flattenForVillage(World& world, int cx, int cz, const Village& v,
                       const int (&heights)[16][16]) {
  const float centreX = static_cast<float>(v.x) + 0.5f, centreZ = static_cast<float>(v.z) + 0.5f;
  const float radius = static_cast<float>(v.radius);
  for (int lz = 0; lz < 16; ++lz) {
    for (int lx = 0; lx < 16; ++lx) {
      const int x = cx * 16 + lx, z = cz * 16 + lz;
      const int k = heights[lz][lx];
      const float dx = static_cast<float>(x) - centreX, dz = static_cast<float>(z) - centreZ;
      const float dist = std::sqrt(dx * dx + dz * dz);
      if (dist > radius && k < kSeaLevel) continue;
      int level = v.y;
      if (dist > radius) {
        const float t = std::min((dist - radius) / 12.0f, 1.0f);
        const float blended = static_cast<float>(k - v.y) * smoothstep(t) + static_cast<float>(v.y);
        level = std::clamp(static_cast<int>(std::round(blended)), 2, 60);
      }
      const int clearTop = std::min(std::max(k, level) + 10, kWorldHeight - 1);
      for (int y = level + 1; y <= clearTop; ++y) world.setBlockRaw(x, y, z, kBlockAir);
      for (int y = k + 1; y <= level; ++y) world.setBlockRaw(x, y, z, kBlockDirt);
      world.setBlockRaw(x, level, z, kBlockGrass);
    }
  }
}

}  // namespace

void generateTerrainColumn(World& world, int cx, int cz) {
  const CaveLattice caves(cx, cz, world.seed * 0x9E3779B9u + 0x28B7BD67u);
  int heights[16][16];
  for (int lz = 0; lz < 16; ++lz) {
    for (int lx = 0; lx < 16; ++lx) {
      const int x = cx * 16 + lx, z = cz * 16 + lz;
      heights[lz][lx] = terrainHeight(world.seed, x, z);
      generatePosition(world, caves, x, z, heights[lz][lx], biomeAt(world.seed, x, z));
    }
  }
  plantTrees(world, cx, cz);
  for (const Village& village :
       villagesInBox(world, cx * 16, cz * 16, cx * 16 + 15, cz * 16 + 15)) {
    flattenForVillage(world, cx, cz, village, heights);
    buildVillage(world, village);
  }
}
