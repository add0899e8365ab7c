#include <gtest/gtest.h>

#include <algorithm>

#include "world/fluid_pool.h"

namespace {

constexpr uint32_t kSeed = 20261018;

// A closed stone box: floor at y 50, walls around the square of half-width r up to
// y 60, air inside. Keeps a body's region small.
void buildBox(World& w, int cx, int cz, int r) {
  for (int z = cz - r - 1; z <= cz + r + 1; ++z) {
    for (int x = cx - r - 1; x <= cx + r + 1; ++x) {
      const bool wall = std::abs(x - cx) > r || std::abs(z - cz) > r;
      w.setBlockRaw(x, 50, z, kBlockStone);
      for (int y = 51; y <= 60; ++y) w.setBlockRaw(x, y, z, wall ? kBlockStone : kBlockAir);
    }
  }
}

// Ticks until both queues are empty (bounded), so a test sees the settled state.
void settle(World& w) {
  for (int i = 0; i < 5000 && (w.waterQueueSize() > 0 || w.lavaQueueSize() > 0); ++i) {
    w.tick(0.7f);
  }
}

// The y of the highest block that is not air in column (x, z), or -1.
int groundAt(const World& w, int x, int z) {
  for (int y = kWorldHeight - 1; y >= 0; --y) {
    if (w.getBlock(x, y, z) != kBlockAir) return y;
  }
  return -1;
}

// FNV-1a over the id and fluid level of every block of the columns in the rectangle.
uint64_t columnsFingerprint(const World& w, int x0, int z0, int x1, int z1) {
  uint64_t h = 1469598103934665603ull;
  for (int z = z0; z <= z1; ++z) {
    for (int x = x0; x <= x1; ++x) {
      for (int y = 0; y < kWorldHeight; ++y) {
        h = (h ^ w.getBlock(x, y, z)) * 1099511628211ull;
        h = (h ^ w.fluidLevel(x, y, z)) * 1099511628211ull;
      }
    }
  }
  return h;
}

}  // namespace

TEST(Fluids, WaterSpreadsSevenBlocksAndRecedesWithoutItsSource) {
  World w(kSeed);
  buildFluidPool(w, 300, 12, kBlockWater);
  runFluidTicks(w, 40, 0.2f);
  EXPECT_EQ(w.getBlock(300, 51, 300), kBlockWater);
  EXPECT_EQ(w.fluidLevel(300, 51, 300), 0) << "the source keeps level 0";
  for (int d = 1; d <= 7; ++d) {
    EXPECT_EQ(w.getBlock(300 + d, 51, 300), kBlockWater) << d;
    EXPECT_EQ(w.fluidLevel(300 + d, 51, 300), d);
  }
  EXPECT_EQ(w.getBlock(308, 51, 300), kBlockAir);
  EXPECT_EQ(w.fluidLevel(303, 51, 304), 7) << "distance is counted along the grid";
  EXPECT_EQ(w.getBlock(304, 51, 304), kBlockAir);
  for (int x = 288; x <= 312; ++x) EXPECT_NE(w.getBlock(x, 52, 300), kBlockWater);

  w.setBlock(300, 51, 300, kBlockAir);
  runFluidTicks(w, 40, 0.2f);
  for (int d = 0; d <= 7; ++d) EXPECT_EQ(w.getBlock(300 + d, 51, 300), kBlockAir) << d;
  EXPECT_TRUE(w.edits().levels.empty() || !w.edits().levels.contains(blockKey(301, 51, 300)));
}

TEST(Fluids, LavaSpreadsThreeBlocksAndIsQuenchedByWater) {
  World w(kSeed);
  buildFluidPool(w, 360, 8, kBlockLava);
  runFluidTicks(w, 10, 1.0f);
  EXPECT_EQ(w.getBlock(363, 51, 300), kBlockLava);
  EXPECT_EQ(w.fluidLevel(363, 51, 300), 3);
  EXPECT_EQ(w.getBlock(364, 51, 300), kBlockAir);

  World q(kSeed);
  buildFluidPool(q, 420, 6, kBlockLava);
  q.setBlockWithLevel(421, 51, 300, kBlockWater, kNoLevel);
  runFluidTicks(q, 10, 1.0f);
  EXPECT_EQ(q.getBlock(420, 51, 300), kBlockCobblestone);
  EXPECT_EQ(q.getBlock(421, 51, 300), kBlockWater);
}

TEST(Fluids, FallingWaterStartsANewSpreadBelowAndSettles) {
  World w(kSeed);
  // Two storeys: a stone plate at y 53 with a hole at x 603, a one-block gap at y 52
  // over a stone floor at y 51, and the source on the plate.
  buildBox(w, 600, 300, 14);
  for (int z = 286; z <= 314; ++z) {
    for (int x = 586; x <= 614; ++x) {
      w.setBlockRaw(x, 51, z, kBlockStone);
      if (x != 603 || z != 300) w.setBlockRaw(x, 53, z, kBlockStone);
    }
  }
  w.setBlockWithLevel(600, 54, 300, kBlockWater, kNoLevel);
  settle(w);
  EXPECT_EQ(w.waterQueueSize() + w.lavaQueueSize(), 0u) << "the body comes to rest";
  EXPECT_EQ(w.fluidLevel(603, 54, 300), 3);
  EXPECT_EQ(w.getBlock(603, 53, 300), kBlockWater) << "falls through the hole";
  EXPECT_EQ(w.fluidLevel(603, 53, 300), 1) << "a fall restarts the count";
  EXPECT_EQ(w.fluidLevel(603, 52, 300), 1);
  EXPECT_EQ(w.getBlock(609, 52, 300), kBlockWater) << "spreads a full length below";
  EXPECT_EQ(w.fluidLevel(609, 52, 300), 7);
  EXPECT_EQ(w.getBlock(610, 52, 300), kBlockAir);
  EXPECT_EQ(w.fluidLevel(597, 52, 300), 7);
  EXPECT_EQ(w.getBlock(596, 52, 300), kBlockAir);

  // Processing a cell at the bottom recomputes the whole fall, source included: nothing
  // recedes.
  w.processFluidCell(609, 52, 300);
  EXPECT_EQ(w.fluidLevel(609, 52, 300), 7);
  EXPECT_EQ(w.getBlock(603, 53, 300), kBlockWater);

  // Without the source, everything below drains too.
  w.setBlock(600, 54, 300, kBlockAir);
  settle(w);
  EXPECT_EQ(w.getBlock(603, 53, 300), kBlockAir);
  EXPECT_EQ(w.getBlock(609, 52, 300), kBlockAir);
}

TEST(Fluids, LevelChangesAreCapturedAndRecorded) {
  World w(kSeed);
  buildFluidPool(w, 300, 12, kBlockWater);
  w.setCaptureEnabled(true);
  runFluidTicks(w, 40, 0.2f);
  const auto changes = w.takeCapturedChanges();
  auto find = [&](int x) {
    return std::find_if(changes.begin(), changes.end(), [x](const CapturedChange& c) {
      return c.x == x && c.y == 51 && c.z == 300;
    });
  };
  ASSERT_NE(find(301), changes.end());
  EXPECT_EQ(find(301)->id, kBlockWater);
  EXPECT_EQ(find(301)->level, 1);
  ASSERT_NE(find(307), changes.end());
  EXPECT_EQ(find(307)->level, 7);
  EXPECT_EQ(find(300), changes.end()) << "restored sources are not captured";

  // A second source shortens distances: only the level changes, and is captured.
  w.setBlockWithLevel(304, 51, 300, kBlockWater, kNoLevel);
  runFluidTicks(w, 40, 0.2f);
  EXPECT_EQ(w.fluidLevel(305, 51, 300), 1);
  const auto relevelled = w.takeCapturedChanges();
  const bool found = std::any_of(relevelled.begin(), relevelled.end(), [](const CapturedChange& c) {
    return c.x == 306 && c.y == 51 && c.z == 300 && c.level == 2;
  });
  EXPECT_TRUE(found);
  EXPECT_FALSE(w.takeDirtyChunks().empty());
}

TEST(Fluids, RegionSearchStopsAtItsCap) {
  World w(kSeed);
  w.setFluidSimulation(false);
  // 25600 flowing water cells without a source on a sealed layer at y 62.
  const int x0 = 1000, z0 = 1000, side = 160;
  for (int z = z0 - 1; z <= z0 + side; ++z) {
    for (int x = x0 - 1; x <= x0 + side; ++x) {
      w.setBlockRaw(x, 61, z, kBlockStone);
      const bool wall = x < x0 || z < z0 || x >= x0 + side || z >= z0 + side;
      if (wall) {
        w.setBlockRaw(x, 62, z, kBlockStone);
      } else {
        w.setBlockWithLevel(x, 62, z, kBlockWater, 3);
      }
    }
  }
  w.setFluidSimulation(true);
  EXPECT_TRUE(w.recomputeFluidBody(x0, 62, z0, kBlockWater)) << "reports the cap";
  int remaining = 0;
  for (int z = z0; z < z0 + side; ++z) {
    for (int x = x0; x < x0 + side; ++x) remaining += w.getBlock(x, 62, z) == kBlockWater;
  }
  EXPECT_EQ(remaining, side * side - static_cast<int>(kFluidRegionCap));
  EXPECT_EQ(w.getBlock(x0, 62, z0), kBlockAir) << "receded: no source";
  EXPECT_EQ(w.getBlock(x0 + side - 1, 62, z0 + side - 1), kBlockWater) << "beyond the cap";
}

// After one body reached the cap, a step leaves the next body for the following step;
// a small body still reports that it fitted.
TEST(Fluids, AStepSearchesAtMostOneBodyBeyondTheCap) {
  World w(kSeed);
  w.setFluidSimulation(false);
  const int side = 160, z0 = 1000;
  const int layers[2] = {1000, 3000};
  for (const int x0 : layers) {
    for (int z = z0 - 1; z <= z0 + side; ++z) {
      for (int x = x0 - 1; x <= x0 + side; ++x) {
        w.setBlockRaw(x, 61, z, kBlockStone);
        const bool wall = x < x0 || z < z0 || x >= x0 + side || z >= z0 + side;
        if (wall) {
          w.setBlockRaw(x, 62, z, kBlockStone);
        } else {
          w.setBlockWithLevel(x, 62, z, kBlockWater, 3);
        }
      }
    }
  }
  w.setFluidSimulation(true);
  for (const int x0 : layers) w.scheduleFluid(x0, 62, z0);
  w.tick(0.15f);
  EXPECT_EQ(w.getBlock(layers[0], 62, z0), kBlockAir) << "the first body was recomputed";
  EXPECT_EQ(w.getBlock(layers[1], 62, z0), kBlockWater) << "the second waits";
  w.tick(0.15f);
  EXPECT_EQ(w.getBlock(layers[1], 62, z0), kBlockAir);

  buildBox(w, 300, 300, 3);
  w.setBlock(300, 51, 300, kBlockWater);
  EXPECT_FALSE(w.recomputeFluidBody(300, 51, 300, kBlockWater));
}

TEST(Fluids, SchedulingFollowsTheBlockAndTheEnabledFlag) {
  World w(kSeed);
  w.ensureColumn(0, 0);
  w.setBlockRaw(5, 60, 5, kBlockStone);
  w.scheduleFluid(5, 60, 5);
  EXPECT_EQ(w.waterQueueSize() + w.lavaQueueSize(), 0u) << "solid blocks are not queued";
  w.scheduleFluid(5, 61, 5);
  w.scheduleFluid(5, 61, 5);
  EXPECT_EQ(w.waterQueueSize(), 1u) << "air goes into both queues, once";
  EXPECT_EQ(w.lavaQueueSize(), 1u);
  w.scheduleFluid(5, 64, 5);
  w.scheduleFluid(1048576, 10, 5);
  EXPECT_EQ(w.waterQueueSize(), 1u);

  w.setFluidSimulation(false);
  EXPECT_EQ(w.waterQueueSize() + w.lavaQueueSize(), 0u) << "switching off empties the queues";
  w.setBlock(5, 61, 5, kBlockWater);
  EXPECT_EQ(w.waterQueueSize() + w.lavaQueueSize(), 0u);
  runFluidTicks(w, 20, 0.5f);
  EXPECT_EQ(w.getBlock(6, 61, 5), kBlockAir);
}

TEST(Fluids, QueuedKeysInUnloadedColumnsRegenerateThem) {
  World w(kSeed);
  buildFluidPool(w, 300, 12, kBlockWater);
  w.unloadColumnsBeyond(1000, 1000, 0);
  EXPECT_EQ(w.loadedChunkCount(), 0u);
  runFluidTicks(w, 40, 0.2f);
  // Keys there read as air and start nothing; the edits come back with their columns.
  w.ensureColumn(floorDiv16(300), floorDiv16(300));
  EXPECT_EQ(w.getBlock(300, 51, 300), kBlockWater);
}

// Every block a spill writes queues its air neighbours for water and lava alike. Those
// that can change nothing must not hold up the positions behind them.
TEST(Fluids, ABacklogOfIdlePositionsDoesNotHoldUpNewLava) {
  {
    World w(kSeed);
    for (int z = 0; z < 100; ++z) {
      for (int x = 0; x < 100; ++x) w.scheduleFluid(5000 + x, 60, 5000 + z);  // far from fluid
    }
    w.tick(0.15f);
    EXPECT_EQ(w.waterQueueSize(), 10000u - 4096u - 32u) << "a step drops a bounded number";
  }

  World w(kSeed);
  w.ensureColumnsAround(0, 0, 5);
  const int pillar = groundAt(w, 40, 40);
  for (int y = pillar + 1; y <= pillar + 6; ++y) w.setBlock(40, y, 40, kBlockStone);
  w.setBlock(40, pillar + 7, 40, kBlockWater);
  for (int i = 0; i < 50 * 60; ++i) w.tick(1.0f / 60.0f);

  const int x = -30, z = -30, y = groundAt(w, x, z) + 1;
  for (int d = 1; d <= 3; ++d) ASSERT_EQ(groundAt(w, x + d, z), y - 1) << "open level ground";
  w.setBlock(x, y, z, kBlockLava);
  int first = 0, third = 0;
  for (int i = 1; i <= 3 * 60 && third == 0; ++i) {
    w.tick(1.0f / 60.0f);
    if (first == 0 && w.getBlock(x + 1, y, z) == kBlockLava) first = i;
    if (w.getBlock(x + 3, y, z) == kBlockLava) third = i;
  }
  EXPECT_GT(first, 0);
  EXPECT_LE(first, 90) << "reaches its neighbour within 1.5 s";
  EXPECT_GT(third, 0) << "reaches its third block within 3 s";
  EXPECT_EQ(w.fluidLevel(x + 3, y, z), 3);

  // Dropping idle positions changes when the work is done, not its outcome: the settled
  // spill is the one reached when every queued position took its turn.
  settle(w);
  EXPECT_EQ(w.waterQueueSize() + w.lavaQueueSize(), 0u);
  EXPECT_EQ(columnsFingerprint(w, -16, -16, 79, 79), 0x7df15d9d5d21834cull);
}

TEST(Fluids, ClosedPoolsSettleToKnownBlocks) {
  World w(kSeed);
  // Water and lava sources in one closed box: they spread, meet and quench.
  buildBox(w, 700, 300, 10);
  w.setBlockWithLevel(695, 51, 300, kBlockWater, kNoLevel);
  w.setBlockWithLevel(705, 51, 300, kBlockLava, kNoLevel);
  settle(w);
  EXPECT_EQ(w.waterQueueSize() + w.lavaQueueSize(), 0u);
  EXPECT_EQ(w.getBlock(699, 51, 300), kBlockWater);
  EXPECT_EQ(columnsFingerprint(w, 689, 289, 711, 311), 0xfb721a56226b5cacull);
}
