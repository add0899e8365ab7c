#pragma once
// Villages: one near the world's spawn, found when the world is created, and at most one
// per 160 x 160 grid cell elsewhere, decided from the seed and the terrain and cached in
// the world. Queries never generate chunks.

#include <cstdint>
#include <optional>
#include <vector>

class World;

struct Village {
  int32_t x = 0, z = 0;  // centre
  int32_t y = 0;         // ground level: the y of the village's grass
  int32_t radius = 20;
  bool operator==(const Village&) const = default;
};

inline constexpr int kVillageCellSize = 160;
inline constexpr int kVillageRadius = 20;

// The spawn village for a seed: the first flat, temperate spot on rings around the
// origin, or a village at the origin when none qualifies.
Village findSpawnVillage(uint32_t seed);

// The village of grid cell (gx, gz), if any (cached in the world).
std::optional<Village> villageInCell(const World& world, int gx, int gz);

// Villages whose centre lies in the box widened by 32 on each side: the spawn village
// first, then cell villages, cells in z-outer, x-inner order.
std::vector<Village> villagesInBox(const World& world, int x0, int z0, int x1, int z1);

// Villages whose centre is within r of (x, z), in villagesInBox order.
std::vector<Village> villagesNear(const World& world, float x, float z, float r);

// The ground y at (x, z) after village flattening (no trees, caves or edits).
int surfaceHeight(const World& world, int x, int z);

// The biome the map shows: plains on and around villages.
int mapBiome(const World& world, int x, int z);

// The village's well, houses, paths and lamp posts (writes outside the column being
// generated are dropped by the world).
void buildVillage(World& world, const Village& village);
// One house centred at (hx, hz) on ground y, its door facing the village centre.
void buildHouse(World& world, int hx, int hz, int y, int vx, int vz);
