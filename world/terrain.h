#pragma once
// Terrain from nothing but the seed and the position: a height field with four biomes,
// sea level 30, caves with lava pockets, trees, and flattened ground under villages.

#include <cstdint>

class World;

enum Biome : int { BiomePlains = 0, BiomeForest = 1, BiomeDesert = 2, BiomeSnow = 3 };

inline constexpr int kSeaLevel = 30;
inline constexpr int kMinTerrainHeight = 3;
inline constexpr int kMaxTerrainHeight = 56;

// The y of the top ground block at (x, z) before villages flatten it, 3..56.
int terrainHeight(uint32_t seed, int x, int z);

// The biome at (x, z).
Biome biomeAt(uint32_t seed, int x, int z);

// The tree rooted at a tree-grid position, if one grows there.
struct TreeSite {
  bool grows = false;
  int height = 0;  // D: 0..2; the trunk reaches h + D + 4
};
// Whether a tree grows at (x, z), where (x - 3) and (z - 3) are multiples of 6, given
// the biome and ground height there (trees too tall for the world are refused).
TreeSite treeAt(uint32_t seed, int x, int z, Biome biome, int h);

// Fills the freshly created, all-air column (cx, cz) of `world`: ground by biome, caves,
// sea water, trees, then flattened ground and structures of nearby villages. Every write
// goes through World::setBlockRaw, so only this column changes.
void generateTerrainColumn(World& world, int cx, int cz);
