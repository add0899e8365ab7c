#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "world/world.h"

namespace {

std::set<std::tuple<int, int, int>> asSet(const std::vector<ChunkKey>& keys) {
  std::set<std::tuple<int, int, int>> out;
  for (const ChunkKey& k : keys) out.insert({k.cx, k.sy, k.cz});
  return out;
}

}  // namespace

TEST(Coords, FloorDivisionAndKeysRoundTrip) {
  EXPECT_EQ(floorDiv16(-1), -1);
  EXPECT_EQ(floorDiv16(-16), -1);
  EXPECT_EQ(floorDiv16(-17), -2);
  EXPECT_EQ(floorDiv16(15), 0);
  EXPECT_EQ(floorMod16(-1), 15);

  for (BlockPos p : {BlockPos{0, 0, 0}, BlockPos{-1048575, 63, 1048575},
                     BlockPos{1048575, 0, -1048575}, BlockPos{-635, 20, 405}}) {
    const BlockKey key = blockKey(p.x, p.y, p.z);
    EXPECT_EQ(unpackBlockKey(key), p);
    EXPECT_EQ(key & 0x7FF00ull, 0u) << "bits 8-18 stay clear";
    EXPECT_EQ(key >> 61, 0u);
  }
  EXPECT_EQ(blockKey(0, 5, 0), (uint64_t{1} << 60) | (uint64_t{1} << 39) | 5);
  EXPECT_EQ(columnKey(0, 0), (uint64_t{1} << 41) | (uint64_t{1} << 20));
  EXPECT_NE(columnKey(-1, 0), columnKey(0, -1));
  EXPECT_EQ(chunkKeyHash({1, 2, 3}), size_t((73856093LL) ^ (3LL * 19349663) ^ (2LL * 83492791)));
}

TEST(World, WritesReadBackAtPositiveAndNegativeCoordinates) {
  World w(20261018);
  EXPECT_EQ(w.seed, 20261018u);
  EXPECT_EQ(w.loadedChunkCount(), 0u);
  w.setBlock(56, 40, 56, kBlockGrass);
  EXPECT_EQ(w.getBlock(56, 40, 56), kBlockGrass);
  EXPECT_TRUE(w.isColumnLoaded(3, 3));
  EXPECT_EQ(w.loadedChunkCount(), 4u);

  w.ensureColumn(-40, 25);
  EXPECT_TRUE(w.isColumnLoaded(-40, 25));
  for (int sy = 0; sy < 4; ++sy) EXPECT_TRUE(w.chunkLoaded({-40, sy, 25}));
  EXPECT_FALSE(w.chunkLoaded({-40, 4, 25}));

  w.ensureColumn(-1, -1);
  const BlockId above = w.getBlock(-1, 6, -1);
  w.setBlock(-1, 5, -1, kBlockBricks);
  EXPECT_EQ(w.getBlock(-1, 5, -1), kBlockBricks);
  EXPECT_EQ(w.getBlock(-1, 6, -1), above);
  EXPECT_EQ(w.getBlock(1000, 10, 1000), kBlockAir) << "unloaded reads air";
  EXPECT_FALSE(w.isColumnLoaded(62, 62)) << "reading never generates";
}

TEST(World, EditsSurviveUnloadAndRegeneration) {
  World w(20261018);
  w.setBlock(-635, 20, 405, kBlockBricks);
  w.setBlock(-200, 50, -200, kBlockWood);
  ASSERT_TRUE(w.isColumnLoaded(-40, 25));
  w.unloadColumnsBeyond(0, 0, 2);
  EXPECT_FALSE(w.isColumnLoaded(-40, 25));
  EXPECT_EQ(w.getBlock(-635, 20, 405), kBlockAir);
  w.takeDirtyChunks();

  w.ensureColumn(-40, 25);
  EXPECT_EQ(w.getBlock(-635, 20, 405), kBlockBricks);
  EXPECT_TRUE(w.takeDirtyChunks().empty()) << "re-applied edits mark nothing";

  const BlockId* wood = w.edits().blocks.lookup(blockKey(-200, 50, -200));
  ASSERT_NE(wood, nullptr);
  EXPECT_EQ(*wood, kBlockWood);

  // The last recorded write wins, even after several unload cycles.
  w.setBlock(-635, 20, 405, kBlockAir);
  w.unloadColumnsBeyond(100, 100, 0);
  EXPECT_EQ(w.loadedChunkCount(), 0u);
  w.ensureColumn(-40, 25);
  EXPECT_EQ(w.getBlock(-635, 20, 405), kBlockAir);
  EXPECT_EQ(w.edits().blocks.size(), 2u);
}

TEST(World, UnloadUsesChebyshevDistanceAndKeepsNearColumns) {
  World w(1);
  w.ensureColumnsAround(0.0, 0.0, 3);
  EXPECT_EQ(w.loadedChunkCount(), 49u * 4);
  w.unloadColumnsBeyond(1, -1, 1);
  for (int cz = -3; cz <= 3; ++cz) {
    for (int cx = -3; cx <= 3; ++cx) {
      const bool near = std::abs(cx - 1) <= 1 && std::abs(cz + 1) <= 1;
      EXPECT_EQ(w.isColumnLoaded(cx, cz), near) << cx << "," << cz;
    }
  }
}

TEST(World, EnsureColumnsAroundFloorsRealPositions) {
  World w(1);
  w.ensureColumnsAround(-0.5, 15.99, 0);
  EXPECT_TRUE(w.isColumnLoaded(-1, 0));
  EXPECT_EQ(w.loadedChunkCount(), 4u);
  w.ensureColumnsAround(-16.0, -16.01, 0);
  EXPECT_TRUE(w.isColumnLoaded(-1, -2));
  w.ensureColumnsAround(1e30, 0.0, 1);  // far outside: nothing to create
  EXPECT_EQ(w.loadedChunkCount(), 8u);
}

TEST(World, OutsideTheWorldReadsAirAndIgnoresWrites) {
  World w(1);
  w.setCaptureEnabled(true);
  const int outside[][3] = {{0, 64, 0},       {0, -1, 0},        {1048576, 10, 0},
                            {0, 10, 1048576}, {-1048576, 10, 0}, {0, 10, -1048576}};
  for (const auto& p : outside) {
    w.setBlock(p[0], p[1], p[2], kBlockStone);
    w.setBlockRaw(p[0], p[1], p[2], kBlockStone);
    w.setBlockWithLevel(p[0], p[1], p[2], kBlockWater, 3);
    EXPECT_EQ(w.getBlock(p[0], p[1], p[2]), kBlockAir);
    EXPECT_EQ(w.fluidLevel(p[0], p[1], p[2]), 0);
  }
  EXPECT_TRUE(w.edits().blocks.empty());
  EXPECT_TRUE(w.edits().levels.empty());
  EXPECT_TRUE(w.takeCapturedChanges().empty());
  EXPECT_TRUE(w.takeDirtyChunks().empty());

  // The last valid positions work; their columns hold cells just outside, which stay air.
  w.setBlock(-1048575, 0, 1048575, kBlockSand);
  EXPECT_EQ(w.getBlock(-1048575, 0, 1048575), kBlockSand);
  EXPECT_EQ(w.getBlock(-1048576, 0, 1048575), kBlockAir);

  w.ensureColumn(65536, 0);  // wholly outside
  w.ensureColumn(0, -65537);
  EXPECT_FALSE(w.isColumnLoaded(65536, 0));
  EXPECT_FALSE(w.isColumnLoaded(0, -65537));
  w.ensureColumn(2147483647, -2147483647 - 1);
  EXPECT_EQ(w.loadedChunkCount(), 4u);
}

TEST(World, CaptureReportsEachChangeOnceWhileEnabled) {
  World w(1);
  w.setBlock(1, 1, 1, kBlockStone);
  w.setCaptureEnabled(true);
  EXPECT_TRUE(w.takeCapturedChanges().empty()) << "writes before enabling are not captured";

  w.setBlock(35, 48, 35, kBlockBricks);
  const auto changes = w.takeCapturedChanges();
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0], (CapturedChange{35, 48, 35, kBlockBricks, 255}));
  EXPECT_TRUE(w.takeCapturedChanges().empty());

  // Repeated writes to one position collapse into its latest state.
  w.setBlock(-7, 3, -9, kBlockSand);
  w.setBlock(-7, 3, -9, kBlockGravel);
  const auto latest = w.takeCapturedChanges();
  ASSERT_EQ(latest.size(), 1u);
  EXPECT_EQ(latest[0], (CapturedChange{-7, 3, -9, kBlockGravel, 255}));

  // Restores and network applies are not captured; switching off drops pending changes.
  w.setBlockWithLevel(4, 4, 4, kBlockStone, kNoLevel);
  w.setBlock(5, 5, 5, kBlockStone);
  w.setCaptureEnabled(false);
  EXPECT_FALSE(w.captureEnabled());
  w.setCaptureEnabled(true);
  EXPECT_TRUE(w.takeCapturedChanges().empty());
}

TEST(World, DirtyMarkingCoversTouchedNeighbours) {
  World w(1);
  w.ensureColumnsAround(0, 0, 2);
  w.takeDirtyChunks();

  w.setBlock(32, 20, 40, kBlockStone);  // lx 0, ly 4, lz 8 of chunk (2, 1, 2)
  EXPECT_EQ(asSet(w.takeDirtyChunks()),
            (std::set<std::tuple<int, int, int>>{{2, 1, 2}, {1, 1, 2}}));

  w.setBlock(5, 0, 5, kBlockStone);  // ly 0 of section 0: no section below
  EXPECT_EQ(asSet(w.takeDirtyChunks()), (std::set<std::tuple<int, int, int>>{{0, 0, 0}}));

  w.setBlock(-1, 63, -16, kBlockStone);  // corner: lx 15, ly 15 of the top section, lz 0
  EXPECT_EQ(asSet(w.takeDirtyChunks()),
            (std::set<std::tuple<int, int, int>>{{-1, 3, -1}, {0, 3, -1}, {-1, 3, -2}}));

  w.setBlock(17, 31, 31, kBlockStone);  // ly 15 of section 1, lz 15
  EXPECT_EQ(asSet(w.takeDirtyChunks()),
            (std::set<std::tuple<int, int, int>>{{1, 1, 1}, {1, 2, 1}, {1, 1, 2}}));

  w.setBlockWithLevel(8, 8, 8, kBlockStone, kNoLevel);
  EXPECT_TRUE(w.takeDirtyChunks().empty()) << "restores leave remeshing to the caller";
}

TEST(World, SetBlockWithLevelRestoresBlocksAndLevels) {
  World w(1);
  w.ensureColumn(0, 0);
  w.setBlockWithLevel(3, 10, 3, kBlockWater, 4);
  EXPECT_EQ(w.getBlock(3, 10, 3), kBlockWater);
  EXPECT_EQ(w.fluidLevel(3, 10, 3), 4);

  w.setBlockWithLevel(3, 10, 3, kBlockWater, kNoLevel);  // back to a source
  EXPECT_EQ(w.fluidLevel(3, 10, 3), 0);
  EXPECT_FALSE(w.edits().levels.contains(blockKey(3, 10, 3)));

  w.setBlockWithLevel(4, 10, 3, kBlockStone, 5);  // not a fluid: no level
  EXPECT_EQ(w.fluidLevel(4, 10, 3), 0);

  w.setBlockWithLevel(5, 10, 3, static_cast<BlockId>(blockCount()), kNoLevel);
  EXPECT_EQ(w.getBlock(5, 10, 3), kBlockAir);
  ASSERT_NE(w.edits().blocks.lookup(blockKey(5, 10, 3)), nullptr);
  EXPECT_EQ(*w.edits().blocks.lookup(blockKey(5, 10, 3)), kBlockAir);

  // A recorded write makes any fluid a source again.
  w.setBlockWithLevel(6, 10, 3, kBlockLava, 2);
  w.setBlock(6, 10, 3, kBlockLava);
  EXPECT_EQ(w.fluidLevel(6, 10, 3), 0);
}

TEST(World, SetBlockWithLevelOnAnUnloadedColumnAppliesAtGeneration) {
  World w(1);
  w.setBlockWithLevel(-100, 12, 300, kBlockLava, 2);
  EXPECT_FALSE(w.isColumnLoaded(floorDiv16(-100), floorDiv16(300)));
  EXPECT_EQ(w.getBlock(-100, 12, 300), kBlockAir);
  EXPECT_EQ(w.fluidLevel(-100, 12, 300), 2);
  w.ensureColumn(floorDiv16(-100), floorDiv16(300));
  EXPECT_EQ(w.getBlock(-100, 12, 300), kBlockLava);
}

TEST(World, SnapshotMatchesBlockByBlockReads) {
  World w(1);
  std::mt19937 rng(3);
  const BlockId palette[] = {kBlockAir, kBlockStone, kBlockWater, kBlockLava, kBlockGrass};
  // Load a 3 x 3 neighbourhood around column (-1, 2) but leave one column out.
  for (int cz = 1; cz <= 3; ++cz) {
    for (int cx = -2; cx <= 0; ++cx) {
      if (cx == 0 && cz == 3) continue;
      for (int i = 0; i < 3000; ++i) {
        const int x = cx * 16 + int(rng() % 16), z = cz * 16 + int(rng() % 16);
        const int y = int(rng() % 64);
        const BlockId id = palette[rng() % 5];
        if (rng() % 2) {
          w.setBlockRaw(x, y, z, id);
        } else {
          w.setBlockWithLevel(x, y, z, id, uint8_t(rng() % 8));
        }
      }
    }
  }
  w.ensureColumn(-1, 2);
  for (int sy = 0; sy < 4; ++sy) {
    const ChunkKey key{-1, sy, 2};
    const ChunkSnapshot snap = w.snapshot(key);
    EXPECT_EQ(snap.key, key);
    for (int y = -1; y <= 16; ++y) {
      for (int z = -1; z <= 16; ++z) {
        for (int x = -1; x <= 16; ++x) {
          const int wx = -16 + x, wy = sy * 16 + y, wz = 32 + z;
          const BlockId id = w.getBlock(wx, wy, wz);
          ASSERT_EQ(snap.blockAt(x, y, z), id) << x << " " << y << " " << z << " sy " << sy;
          const uint8_t level = blockDef(id).fluid ? w.fluidLevel(wx, wy, wz) : 0;
          ASSERT_EQ(snap.levelAt(x, y, z), level) << x << " " << y << " " << z;
        }
      }
    }
  }
}

TEST(World, SnapshotOfTheTopAndBottomSectionsHasAirBorders) {
  World w(1);
  w.ensureColumnsAround(0, 0, 1);
  for (int x = -16; x < 32; ++x) {
    for (int z = -16; z < 32; ++z) {
      w.setBlockRaw(x, 0, z, kBlockStone);
      w.setBlockRaw(x, 63, z, kBlockStone);
    }
  }
  const ChunkSnapshot bottom = w.snapshot({0, 0, 0});
  const ChunkSnapshot top = w.snapshot({0, 3, 0});
  for (int z = -1; z <= 16; ++z) {
    for (int x = -1; x <= 16; ++x) {
      EXPECT_EQ(bottom.blockAt(x, -1, z), kBlockAir);
      EXPECT_EQ(bottom.blockAt(x, 0, z), kBlockStone);
      EXPECT_EQ(top.blockAt(x, 16, z), kBlockAir);
      EXPECT_EQ(top.blockAt(x, 15, z), kBlockStone);
    }
  }
}
