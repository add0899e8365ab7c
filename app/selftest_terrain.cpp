// Self-test checks of terrain generation and villages on the test seed.

#include <algorithm>
#include <array>
#include <cstdlib>

#include "app/selftest.h"
#include "world/terrain.h"
#include "world/village.h"
#include "world/world.h"

namespace {

using ColumnBlocks = std::array<Chunk, kSectionsPerColumn>;

ColumnBlocks copyColumn(World& world, int cx, int cz) {
  world.ensureColumn(cx, cz);
  ColumnBlocks out{};
  for (int sy = 0; sy < kSectionsPerColumn; ++sy) {
    if (const Chunk* chunk = world.findChunk({cx, sy, cz})) out[sy] = *chunk;
  }
  return out;
}

bool sameColumn(const ColumnBlocks& a, const ColumnBlocks& b) {
  for (int sy = 0; sy < kSectionsPerColumn; ++sy) {
    if (a[sy].blocks != b[sy].blocks) return false;
  }
  return true;
}

bool heightsInRange(uint32_t seed) {
  for (int i = -40; i <= 40; ++i) {
    for (int j = -40; j <= 40; ++j) {
      const int h = terrainHeight(seed, i * 37, j * 53 + i * 11);
      if (h < kMinTerrainHeight || h > kMaxTerrainHeight) return false;
    }
  }
  return true;
}

// Column (-2, -11) of the test seed lies partly below sea level, away from villages.
bool lowGroundFlooded(World& world) {
  world.ensureColumn(-2, -11);
  int checked = 0;
  for (int z = -176; z < -160; ++z) {
    for (int x = -32; x < -16; ++x) {
      const int h = terrainHeight(world.seed, x, z);
      if (h >= kSeaLevel || surfaceHeight(world, x, z) != h) continue;
      for (int y = h + 1; y <= kSeaLevel; ++y) {
        if (world.getBlock(x, y, z) != kBlockWater) return false;
      }
      if (world.getBlock(x, kSeaLevel + 1, z) == kBlockWater) return false;
      ++checked;
    }
  }
  return checked > 0;
}

// Every lava block of a few cave columns lies at y 3..5 unless it tops a lamp post.
bool caveLavaOnlyDeep(World& world) {
  int deepLava = 0;
  for (int cx = 0; cx <= 3; ++cx) {
    const int cz = -6;
    world.ensureColumn(cx, cz);
    const std::vector<Village> villages =
        villagesInBox(world, cx * 16, cz * 16, cx * 16 + 15, cz * 16 + 15);
    for (int y = 0; y < kWorldHeight; ++y) {
      for (int z = cz * 16; z < cz * 16 + 16; ++z) {
        for (int x = cx * 16; x < cx * 16 + 16; ++x) {
          if (world.getBlock(x, y, z) != kBlockLava) continue;
          if (y >= 3 && y <= 5) {
            ++deepLava;
            continue;
          }
          const bool lamp = std::any_of(villages.begin(), villages.end(), [&](const Village& v) {
            return y == v.y + 3 && std::abs(x - v.x) == 7 && std::abs(z - v.z) == 7;
          });
          if (!lamp) return false;
        }
      }
    }
  }
  return deepLava > 0;
}

bool villageStands(World& world) {
  const Village spawn = world.villages().front();
  const std::vector<Village> near = villagesNear(world, float(spawn.x), float(spawn.z), 24.0f);
  if (near.empty()) return false;
  const Village v = near.front();
  world.ensureColumnsAround(v.x, v.z, 3);
  if (world.getBlock(v.x, v.y + 4, v.z) != kBlockPlanks) return false;
  for (int z = v.z - 18; z <= v.z + 18; ++z) {
    for (int x = v.x - 18; x <= v.x + 18; ++x) {
      if (world.getBlock(x, v.y + 1, z) == kBlockBookshelf) return true;
    }
  }
  return false;
}

bool columnsRepeat(World& world) {
  World twin(world.seed);
  for (const auto& [cx, cz] : {std::pair{0, 0}, std::pair{2, -6}, std::pair{-2, -11}}) {
    const ColumnBlocks first = copyColumn(world, cx, cz);
    if (!sameColumn(first, copyColumn(twin, cx, cz))) return false;
    twin.unloadColumnsBeyond(cx + 1000, cz, 0);
    if (!sameColumn(first, copyColumn(twin, cx, cz))) return false;
  }
  return true;
}

// At (1323, -5331) the test seed would grow a forest tree of D = 2 on ground 55 high,
// which the world's height does not allow.
bool noTreeTooTall(World& world) {
  const int x = 1323, z = -5331;
  const int h = terrainHeight(world.seed, x, z);
  if (h != 55 || biomeAt(world.seed, x, z) != BiomeForest) return false;
  world.ensureColumn(floorDiv16(x), floorDiv16(z));
  for (int y = h + 1; y < kWorldHeight; ++y) {
    if (world.getBlock(x, y, z) == kBlockWood) return false;
  }
  return true;
}

void runTerrainChecks(SelfTestRun& run) {
  World& w = run.world;
  run.check(heightsInRange(w.seed), "terrain heights stay within 3 to 56");
  run.check(lowGroundFlooded(w), "low ground is under water up to sea level");
  run.check(caveLavaOnlyDeep(w), "cave lava lies only at y 3 to 5");
  run.check(villageStands(w), "village well roof and bookshelf stand");
  run.check(columnsRepeat(w), "columns of one seed are identical, also after regeneration");
  run.check(noTreeTooTall(w), "no tree grows where it would reach the top of the world");
}

const SelfTestArea kTerrainArea(200, "terrain", &runTerrainChecks);

}  // namespace
