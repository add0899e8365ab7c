#include "world/village.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "world/noise.h"
#include "world/terrain.h"
#include "world/world.h"

namespace {

// Floor division for the village grid (cells of 160 blocks).
int floorDiv(int64_t v, int64_t d) {
  return static_cast<int>(v >= 0 ? v / d : -((d - 1 - v) / d));
}

uint64_t cellKey(int gx, int gz) {
  return (uint64_t{static_cast<uint32_t>(gx)} << 32) | static_cast<uint32_t>(gz);
}

float distanceToCentre(const Village& v, float x, float z) {
  const float dx = x - (static_cast<float>(v.x) + 0.5f);
  const float dz = z - (static_cast<float>(v.z) + 0.5f);
  return std::sqrt(dx * dx + dz * dz);
}

// Height range and suitability of a square of samples around (x, z); false as soon as a
// sample is too low or in desert or snow.
bool sampleGround(uint32_t seed, int x, int z, int reach, int& lo, int& hi) {
  lo = kWorldHeight;
  hi = -1;
  for (int dz = -reach; dz <= reach; dz += 8) {
    for (int dx = -reach; dx <= reach; dx += 8) {
      const int h = terrainHeight(seed, x + dx, z + dz);
      if (h < 34) return false;
      const Biome b = biomeAt(seed, x + dx, z + dz);
      if (b == BiomeDesert || b == BiomeSnow) return false;
      lo = std::min(lo, h);
      hi = std::max(hi, h);
    }
  }
  return true;
}

bool insideWidenedBox(const Village& v, int64_t x0, int64_t z0, int64_t x1, int64_t z1) {
  return v.x >= x0 - 32 && v.x <= x1 + 32 && v.z >= z0 - 32 && v.z <= z1 + 32;
}

}  // namespace

Village findSpawnVillage(uint32_t seed) {
  for (int d = 0; d <= 560; d += 16) {
    for (int z = -d; z <= d; z += 16) {
      for (int x = -d; x <= d; x += 16) {
        if (d != 0 && std::max(std::abs(x), std::abs(z)) != d) continue;
        int lo = 0, hi = 0;
        if (sampleGround(seed, x, z, 16, lo, hi) && hi - lo <= 6) {
          return {x, z, (lo + hi) / 2, kVillageRadius};
        }
      }
    }
  }
  return {0, 0, std::max(34, terrainHeight(seed, 0, 0)), kVillageRadius};
}

std::optional<Village> villageInCell(const World& world, int gx, int gz) {
  auto& cache = world.villageCache();
  if (const std::optional<Village>* cached = cache.lookup(cellKey(gx, gz))) return *cached;

  std::optional<Village> result;
  const uint32_t m = hashMix(((world.seed ^ 0x5EEDA11u) * 0xCB1AB31Fu) ^
                             (static_cast<uint32_t>(gz) * 0xD8163841u) ^
                             (static_cast<uint32_t>(gx) * 0x8DA6B343u));
  if (m % 100 < 55) {
    // Wrap-around keeps absurd cells defined; real ones are far from the int range.
    const int x = static_cast<int>(static_cast<uint32_t>(gx) * 160u + 60u + (m >> 8) % 41);
    const int z = static_cast<int>(static_cast<uint32_t>(gz) * 160u + 60u + (m >> 16) % 41);
    bool clear = true;
    for (const Village& v : world.villages()) {
      const int64_t dx = int64_t{v.x} - x, dz = int64_t{v.z} - z;
      if (dx * dx + dz * dz < 12100) clear = false;
    }
    int lo = 0, hi = 0;
    if (clear && sampleGround(world.seed, x, z, 32, lo, hi) && hi - lo <= 7) {
      result = Village{x, z, (lo + hi) / 2, kVillageRadius};
    }
  }
  cache.try_emplace(cellKey(gx, gz), result);
  return result;
}

std::vector<Village> villagesInBox(const World& world, int x0, int z0, int x1, int z1) {
  std::vector<Village> found;
  for (const Village& v : world.villages()) {
    if (insideWidenedBox(v, x0, z0, x1, z1)) found.push_back(v);
  }
  const int gz0 = floorDiv(int64_t{z0} - 132, kVillageCellSize);
  const int gz1 = floorDiv(int64_t{z1} - 28, kVillageCellSize) + 1;
  const int gx0 = floorDiv(int64_t{x0} - 132, kVillageCellSize);
  const int gx1 = floorDiv(int64_t{x1} - 28, kVillageCellSize) + 1;
  for (int gz = gz0; gz <= gz1; ++gz) {
    for (int gx = gx0; gx <= gx1; ++gx) {
      const std::optional<Village> v = villageInCell(world, gx, gz);
      if (v && insideWidenedBox(*v, x0, z0, x1, z1)) found.push_back(*v);
    }
  }
  return found;
}

std::vector<Village> villagesNear(const World& world, float x, float z, float r) {
  if (!std::isfinite(x) || !std::isfinite(z) || !std::isfinite(r) || r < 0) return {};
  auto toBlock = [](float v) {
    return static_cast<int>(std::clamp(std::floor(v), -1073741824.0f, 1073741824.0f));
  };
  std::vector<Village> near;
  for (const Village& v :
       villagesInBox(world, toBlock(x - r), toBlock(z - r), toBlock(x + r), toBlock(z + r))) {
    const float dz = static_cast<float>(v.z) + 0.5f - z;
    const float dx = static_cast<float>(v.x) + 0.5f - x;
    if (dz * dz + dx * dx <= r * r) near.push_back(v);
  }
  return near;
}

int surfaceHeight(const World& world, int x, int z) {
  const int h = terrainHeight(world.seed, x, z);
  int result = h;
  auto apply = [&](const Village& v) {
    const float dist = distanceToCentre(v, static_cast<float>(x), static_cast<float>(z));
    const float radius = static_cast<float>(v.radius);
    if (dist <= radius) {
      result = v.y;
    } else if (dist <= radius + 12.0f && h >= kSeaLevel) {
      const float t = std::min((dist - radius) / 12.0f, 1.0f);
      const float blended = static_cast<float>(h - v.y) * smoothstep(t) + static_cast<float>(v.y);
      result = std::clamp(static_cast<int>(std::round(blended)), 2, 60);
    }
  };
  for (const Village& v : world.villages()) apply(v);
  const int gz0 = floorDiv(int64_t{z} - 136, kVillageCellSize);
  const int gz1 = floorDiv(int64_t{z} - 24, kVillageCellSize);
  const int gx0 = floorDiv(int64_t{x} - 136, kVillageCellSize);
  const int gx1 = floorDiv(int64_t{x} - 24, kVillageCellSize);
  for (int gz = gz0; gz <= gz1; ++gz) {
    for (int gx = gx0; gx <= gx1; ++gx) {
      if (const std::optional<Village> v = villageInCell(world, gx, gz)) apply(*v);
    }
  }
  return result;
}

int mapBiome(const World& world, int x, int z) {
  for (const Village& v : villagesInBox(world, x, z, x, z)) {
    const float dist = distanceToCentre(v, static_cast<float>(x), static_cast<float>(z));
    const float radius = static_cast<float>(v.radius);
    if (dist <= radius) return BiomePlains;
    if (dist <= radius + 12.0f && terrainHeight(world.seed, x, z) > 29) return BiomePlains;
  }
  return biomeAt(world.seed, x, z);
}

// --- Structures ----------------------------------------------------------------------

namespace {

// Turns solid blocks and water at (x, y0..y1, z) into air.
void clearRange(World& world, int x, int y0, int y1, int z) {
  for (int y = y0; y <= y1; ++y) {
    const BlockId id = world.getBlock(x, y, z);
    if (blockDef(id).solid || id == kBlockWater) world.setBlockRaw(x, y, z, kBlockAir);
  }
}

void buildWell(World& world, int vx, int vz, int y) {
  for (int dz = -2; dz <= 2; ++dz) {
    for (int dx = -2; dx <= 2; ++dx) {
      const int x = vx + dx, z = vz + dz;
      world.setBlockRaw(x, y, z, kBlockCobblestone);
      clearRange(world, x, y + 1, y + 4, z);
      if (std::abs(dx) <= 1 && std::abs(dz) <= 1) {
        world.setBlockRaw(x, y - 1, z, kBlockWater);
        world.setBlockRaw(x, y, z, kBlockWater);
      }
      if (std::abs(dx) == 2 && std::abs(dz) == 2) {
        for (int py = y + 1; py <= y + 3; ++py) world.setBlockRaw(x, py, z, kBlockWood);
      }
    }
  }
  for (int z = vz - 2; z <= vz + 2; ++z) {
    for (int x = vx - 2; x <= vx + 2; ++x) world.setBlockRaw(x, y + 4, z, kBlockPlanks);
  }
}

// Two blocks wide: along x the second row is at z + 1, along z at x + 1.
void pathAlongX(World& world, int x0, int x1, int y, int z) {
  const int step = x1 >= x0 ? 1 : -1;
  for (int x = x0;; x += step) {
    world.setBlockRaw(x, y, z, kBlockGravel);
    world.setBlockRaw(x, y, z + 1, kBlockGravel);
    if (x == x1) break;
  }
}

void pathAlongZ(World& world, int z0, int z1, int y, int x) {
  const int step = z1 >= z0 ? 1 : -1;
  for (int z = z0;; z += step) {
    world.setBlockRaw(x, y, z, kBlockGravel);
    world.setBlockRaw(x + 1, y, z, kBlockGravel);
    if (z == z1) break;
  }
}

constexpr int kHouseOffsets[4][2] = {{-12, -12}, {12, -12}, {-12, 12}, {12, 12}};

}  // namespace

void buildVillage(World& world, const Village& village) {
  const int vx = village.x, vz = village.z, y = village.y;
  buildWell(world, vx, vz, y);
  for (const auto& [dx, dz] : kHouseOffsets) buildHouse(world, vx + dx, vz + dz, y, vx, vz);
  for (const auto& [dx, dz] : kHouseOffsets) {
    const int side = dx <= 0 ? -1 : 1;
    const int m = vx + dx + 5 * side;
    pathAlongX(world, vx, m, y, vz);
    pathAlongZ(world, vz, vz + dz, y, m);
    pathAlongX(world, m, vx + dx + 3 * side, y, vz + dz);
  }
  for (const auto& [dx, dz] :
       {std::pair{7, 7}, std::pair{7, -7}, std::pair{-7, 7}, std::pair{-7, -7}}) {
    world.setBlockRaw(vx + dx, y, vz + dz, kBlockCobblestone);
    world.setBlockRaw(vx + dx, y + 1, vz + dz, kBlockWood);
    world.setBlockRaw(vx + dx, y + 2, vz + dz, kBlockWood);
    world.setBlockRaw(vx + dx, y + 3, vz + dz, kBlockLava);
  }
}

void buildHouse(World& world, int hx, int hz, int y, int vx, int vz) {
  // The door faces the village centre, in a z wall when the centre lies more along z.
  int ex = 0, ez = 0;
  if (std::abs(vx - hx) < std::abs(vz - hz)) {
    ez = vz > hz ? 1 : -1;
  } else {
    ex = vx > hx ? 1 : -1;
  }
  for (int z = hz - 3; z <= hz + 3; ++z) {
    for (int x = hx - 3; x <= hx + 3; ++x) {
      world.setBlockRaw(x, y, z, kBlockCobblestone);
      clearRange(world, x, y + 1, y + 8, z);
    }
  }
  for (int z = hz - 3; z <= hz + 3; ++z) {
    for (int x = hx - 3; x <= hx + 3; ++x) {
      const bool borderX = std::abs(x - hx) == 3, borderZ = std::abs(z - hz) == 3;
      if (!borderX && !borderZ) continue;
      const bool corner = borderX && borderZ;
      world.setBlockRaw(x, y + 1, z, kBlockCobblestone);
      world.setBlockRaw(x, y + 2, z, corner ? kBlockCobblestone : kBlockPlanks);
      world.setBlockRaw(x, y + 3, z, corner ? kBlockCobblestone : kBlockPlanks);
    }
  }
  world.setBlockRaw(hx + 3 * ex, y + 1, hz + 3 * ez, kBlockAir);
  world.setBlockRaw(hx + 3 * ex, y + 2, hz + 3 * ez, kBlockAir);
  world.setBlockRaw(hx, y + 2, hz - 3, kBlockAir);
  world.setBlockRaw(hx, y + 2, hz + 3, kBlockAir);
  world.setBlockRaw(hx - 3 * ex, y + 2, hz, kBlockAir);
  for (int j = 0; j <= 3; ++j) {
    for (int x = hx - 3; x <= hx + 3; ++x) {
      world.setBlockRaw(x, y + 4 + j, hz - 3 + j, kBlockBricks);
      world.setBlockRaw(x, y + 4 + j, hz + 3 - j, kBlockBricks);
    }
  }
  for (int j = 0; j <= 2; ++j) {
    for (int k = j - 2; k <= 2 - j; ++k) {
      world.setBlockRaw(hx - 3, y + 4 + j, hz + k, kBlockPlanks);
      world.setBlockRaw(hx + 3, y + 4 + j, hz + k, kBlockPlanks);
    }
  }
  world.setBlockRaw(hx - 2, y + 1, hz - 2, kBlockBookshelf);
  world.setBlockRaw(hx - 2, y + 2, hz - 2, kBlockBookshelf);
  world.setBlockRaw(hx + 1, y + 1, hz + 1, kBlockPlanks);
  world.setBlockRaw(hx + 2, y + 1, hz + 1, kBlockPlanks);
}
