#include <gtest/gtest.h>

#include <cstring>

#include "world/noise.h"
#include "world/terrain.h"
#include "world/village.h"
#include "world/world.h"

namespace {

constexpr uint32_t kSeed = 20261018;

float bitsToFloat(uint32_t bits) {
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

// FNV-1a over a column's blocks, sections bottom-up, each id little-endian.
uint64_t columnDigest(World& world, int cx, int cz) {
  world.ensureColumn(cx, cz);
  uint64_t h = 0xcbf29ce484222325ull;
  for (int sy = 0; sy < kSectionsPerColumn; ++sy) {
    const Chunk* chunk = world.findChunk({cx, sy, cz});
    for (BlockId id : chunk->blocks) {
      for (uint8_t byte : {uint8_t(id & 0xFF), uint8_t(id >> 8)}) {
        h ^= byte;
        h *= 0x100000001b3ull;
      }
    }
  }
  return h;
}

}  // namespace

// Reference values come from a separate implementation of the same rules, so any change
// to the arithmetic or its order shows up here.
TEST(Noise, MatchesReferenceValuesBitForBit) {
  EXPECT_EQ(hashMix(0), 0u);
  EXPECT_EQ(hashMix(1), 0x85eb4f80u);
  EXPECT_EQ(hashMix(0xDEADBEEF), 0x158336d5u);
  EXPECT_EQ(hashMix(20261018), 0x66387869u);

  EXPECT_EQ(noise2D(0.5f, 0.25f, 4, kSeed), bitsToFloat(0x3f3f74dc));
  EXPECT_EQ(noise2D(-123.75f, 987.5f, 3, 7), bitsToFloat(0x3e8fd942));
  EXPECT_EQ(noise2D(1e4f, -1e4f, 1, 0xFFFFFFFF), bitsToFloat(0x3e31eaa1));

  EXPECT_EQ(noise3D(0.5f, 0.25f, 0.75f, 1), bitsToFloat(0x3f06a056));
  EXPECT_EQ(noise3D(-12.25f, 4.5f, 78.875f, 0x9E3779B9), bitsToFloat(0x3ebe89f4));
  EXPECT_EQ(noise3D(-45.0f, 0.375f, 34.96875f, 0xABCDEF01), bitsToFloat(0x3ed71857));
}

TEST(Noise, StaysInTheUnitRangeAndIsContinuousAtLatticePoints) {
  for (int i = -200; i < 200; ++i) {
    const float x = i * 0.37f, z = i * -1.13f;
    const float n2 = noise2D(x, z, 4, 99);
    const float n3 = noise3D(x, z * 0.5f, x + z, 1234);
    EXPECT_GE(n2, 0.0f);
    EXPECT_LE(n2, 1.0f);
    EXPECT_GE(n3, 0.0f);
    EXPECT_LE(n3, 1.0f);
  }
  // At an integer point the value is the corner's own value: approaching from below
  // gives nearly the same.
  EXPECT_NEAR(noise2D(5.0f, 7.0f, 1, 3), noise2D(4.9999f, 6.9999f, 1, 3), 1e-4f);
  EXPECT_EQ(noise2D(5.0f, 7.0f, 1, 3),
            unitValue((5u * 0x8DA6B343u) ^ (7u * 0xD8163841u) ^ (3u * 0xCB1AB31Fu)));
}

TEST(Terrain, HeightsAndBiomesMatchReferenceValues) {
  struct Sample {
    uint32_t seed;
    int x, z, height, biome;
  };
  const Sample samples[] = {
#include "terrain_reference.inc"
  };
  for (const Sample& s : samples) {
    EXPECT_EQ(terrainHeight(s.seed, s.x, s.z), s.height) << s.seed << " " << s.x << " " << s.z;
    EXPECT_EQ(biomeAt(s.seed, s.x, s.z), s.biome) << s.seed << " " << s.x << " " << s.z;
  }
}

TEST(Terrain, GoldenColumnsOfTheTestSeed) {
  World w(kSeed);
  EXPECT_EQ(columnDigest(w, 0, 0), 0x85f7b804fc468a85ull) << "spawn village";
  EXPECT_EQ(columnDigest(w, 2, -6), 0x7e9945f573586c20ull) << "caves with lava";
  EXPECT_EQ(columnDigest(w, -2, -11), 0x0a61e2156af70a7dull) << "sea over low ground";
  EXPECT_EQ(columnDigest(w, -15, 24), 0x7b24100e6b25ff00ull) << "cell village";
  EXPECT_EQ(columnDigest(w, -1, -1), 0x954d1a6c4d55d82dull);
  EXPECT_EQ(columnDigest(w, 1, 1), 0xe3653afe12d82ca7ull);
}

TEST(Terrain, GroundFollowsTheBiomeRules) {
  World w(kSeed);
  w.ensureColumn(-2, -11);
  for (int z = -176; z < -160; ++z) {
    for (int x = -32; x < -16; ++x) {
      const int h = terrainHeight(w.seed, x, z);
      if (surfaceHeight(w, x, z) != h) continue;  // leave flattened ground alone
      EXPECT_EQ(w.getBlock(x, 0, z), kBlockStone);
      if (h <= 32 || biomeAt(w.seed, x, z) == BiomeDesert) {
        EXPECT_EQ(w.getBlock(x, h, z), kBlockSand);
      }
      if (h < kSeaLevel) {
        EXPECT_EQ(w.getBlock(x, kSeaLevel, z), kBlockWater);
      }
      EXPECT_NE(w.getBlock(x, kSeaLevel + 1, z), kBlockWater);
    }
  }
}

TEST(Terrain, TreesGrowOnlyWhereTheyFit) {
  // A forest site whose tree would poke out of the world.
  EXPECT_EQ(biomeAt(kSeed, 1323, -5331), BiomeForest);
  EXPECT_EQ(terrainHeight(kSeed, 1323, -5331), 55);
  const TreeSite lowered = treeAt(kSeed, 1323, -5331, BiomeForest, 40);
  EXPECT_TRUE(lowered.grows);
  EXPECT_EQ(lowered.height, 2);
  EXPECT_FALSE(treeAt(kSeed, 1323, -5331, BiomeForest, 55).grows);
  EXPECT_FALSE(treeAt(kSeed, 1323, -5331, BiomeDesert, 40).grows);
  EXPECT_FALSE(treeAt(kSeed, 1323, -5331, BiomeForest, 32).grows);

  World w(kSeed);
  w.ensureColumn(floorDiv16(1323), floorDiv16(-5331));
  for (int y = 56; y < kWorldHeight; ++y) EXPECT_NE(w.getBlock(1323, y, -5331), kBlockWood);
}

TEST(Villages, SpawnAndCellVillagesMatchReferenceValues) {
  EXPECT_EQ(findSpawnVillage(20261018), (Village{0, 0, 36, 20}));
  EXPECT_EQ(findSpawnVillage(1), (Village{48, -64, 37, 20}));
  EXPECT_EQ(findSpawnVillage(0xFFFFFFFF), (Village{192, 192, 37, 20}));
  EXPECT_EQ(findSpawnVillage(12345), (Village{112, 0, 37, 20}));

  World w(kSeed);
  EXPECT_EQ(w.villages().size(), 1u);
  EXPECT_EQ(w.villages().front(), (Village{0, 0, 36, 20}));
  EXPECT_EQ(villageInCell(w, -2, 2), (Village{-231, 399, 39, 20}));
  EXPECT_EQ(villageInCell(w, 5, 5), (Village{888, 895, 51, 20}));
  EXPECT_EQ(villageInCell(w, 6, 8), (Village{1056, 1363, 37, 20}));
  EXPECT_EQ(villageInCell(w, 0, 0), std::nullopt) << "too close to the spawn village";
  EXPECT_EQ(villageInCell(w, 3, -1), std::nullopt);
  EXPECT_EQ(w.villageCache().size(), 5u);
  EXPECT_EQ(villageInCell(w, 5, 5), (Village{888, 895, 51, 20})) << "cached answer";
  EXPECT_EQ(w.loadedChunkCount(), 0u) << "village queries never generate";
}

TEST(Villages, QueriesFindNearbyVillagesInOrder) {
  World w(kSeed);
  const auto near = villagesNear(w, 888.5f, 895.5f, 24.0f);
  ASSERT_EQ(near.size(), 1u);
  EXPECT_EQ(near[0].x, 888);
  EXPECT_TRUE(villagesNear(w, 888.5f + 24.5f, 895.5f, 24.0f).empty());
  EXPECT_EQ(villagesNear(w, 888.5f + 24.0f, 895.5f, 24.0f).size(), 1u) << "edge is inclusive";
  EXPECT_TRUE(villagesNear(w, 0, 0, -1).empty());

  // A box reaching both the spawn village and a cell village lists the spawn one first.
  const auto box = villagesInBox(w, -250, 0, 0, 400);
  ASSERT_EQ(box.size(), 2u);
  EXPECT_EQ(box[0], w.villages().front());
  EXPECT_EQ(box[1].x, -231);
  EXPECT_EQ(villagesInBox(w, 33, 33, 100, 100).size(), 0u);
  EXPECT_EQ(villagesInBox(w, 32, 32, 100, 100).size(), 1u) << "widened by 32";
  EXPECT_EQ(w.loadedChunkCount(), 0u);
}

TEST(Villages, SurfaceAndMapFollowTheFlattenedGround) {
  World w(kSeed);
  const Village v{888, 895, 51, 20};
  EXPECT_EQ(surfaceHeight(w, v.x, v.z), v.y);
  EXPECT_EQ(surfaceHeight(w, v.x + 19, v.z), v.y);
  const int far = v.x + 60;
  EXPECT_EQ(surfaceHeight(w, far, v.z), terrainHeight(kSeed, far, v.z));
  EXPECT_EQ(mapBiome(w, v.x, v.z), BiomePlains);
  EXPECT_EQ(mapBiome(w, far, v.z), biomeAt(kSeed, far, v.z));

  // Generated ground agrees with the query wherever no tree, cave or structure sits on it.
  w.ensureColumnsAround(v.x, v.z, 2);
  int agreeing = 0;
  for (int z = v.z - 30; z <= v.z + 30; ++z) {
    for (int x = v.x - 30; x <= v.x + 30; ++x) {
      const int s = surfaceHeight(w, x, z);
      if (w.getBlock(x, s, z) == kBlockGrass && w.getBlock(x, s + 1, z) == kBlockAir) ++agreeing;
    }
  }
  EXPECT_GT(agreeing, 61 * 61 / 2);
  EXPECT_EQ(w.getBlock(v.x, v.y + 4, v.z), kBlockPlanks) << "well roof";
  EXPECT_EQ(w.getBlock(v.x - 1, v.y, v.z - 1), kBlockWater) << "well water";
  EXPECT_EQ(w.getBlock(v.x, v.y, v.z), kBlockGravel) << "the paths start at the well centre";
  EXPECT_EQ(w.getBlock(v.x + 7, v.y + 3, v.z + 7), kBlockLava) << "lamp post";
  EXPECT_EQ(w.getBlock(v.x - 14, v.y + 1, v.z - 14), kBlockBookshelf);
  EXPECT_EQ(w.getBlock(v.x - 12 + 3, v.y + 1, v.z - 12), kBlockAir) << "door faces the centre";
}

TEST(Villages, StructuresOnlyLandInTheGeneratingColumn) {
  World w(kSeed);
  w.ensureColumn(0, 0);  // the spawn village's well and one corner of it
  EXPECT_EQ(w.loadedChunkCount(), 4u);
  EXPECT_EQ(w.getBlock(0, 40, 0), kBlockPlanks);
  EXPECT_EQ(w.getBlock(-1, 40, -1), kBlockAir) << "no chunk of the neighbouring column";
  w.ensureColumn(-1, -1);
  EXPECT_EQ(w.getBlock(-1, 40, -1), kBlockPlanks);
}
