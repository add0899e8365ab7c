#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <set>
#include <thread>

#include "../support/recording_renderer.h"
#include "world/mesh_scheduler.h"

namespace {

constexpr uint32_t kSeed = 20261018;

// Waits (bounded) until the workers have finished every pending job.
void waitForWorkers(const MeshScheduler& s) {
  for (int i = 0; i < 2000 && s.pendingJobs() > 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ASSERT_EQ(s.pendingJobs(), 0);
}

}  // namespace

TEST(MeshScheduler, WorkerCountIsClamped) {
  EXPECT_EQ(MeshScheduler(9).workerCount(), 4);
  EXPECT_EQ(MeshScheduler(1).workerCount(), 1);
  const int automatic = MeshScheduler().workerCount();
  EXPECT_GE(automatic, 1);
  EXPECT_LE(automatic, 4);
}

TEST(MeshScheduler, QueueAfterPreloadHoldsTheRingNearestFirst) {
  World world(kSeed);
  RecordingRenderer renderer;
  MeshScheduler s(1);
  s.setRenderDistance(4);
  s.preload(world, renderer, 8.0, 8.0, 3);
  EXPECT_EQ(s.meshedCount(), 49u * 4);
  EXPECT_EQ(renderer.opaque.size(), 49u * 4);
  EXPECT_TRUE(world.isColumnLoaded(4, -4)) << "columns within r + 1 are generated";

  const std::vector<ChunkKey> queue = s.queuedSections();
  ASSERT_EQ(queue.size(), 128u);
  int lastDistance = 0;
  std::set<std::tuple<int, int, int>> unique;
  for (size_t i = 0; i < queue.size(); ++i) {
    const ChunkKey& k = queue[i];
    EXPECT_EQ(std::max(std::abs(k.cx), std::abs(k.cz)), 4);
    const int distance = std::abs(k.cx) + std::abs(k.cz);
    EXPECT_GE(distance, lastDistance);
    if (i > 0 && distance == lastDistance) {
      EXPECT_LE(k.sy,
                queue[i - 1].sy + (queue[i - 1].cx != k.cx || queue[i - 1].cz != k.cz ? 3 : 0));
    }
    lastDistance = distance;
    unique.insert({k.cx, k.sy, k.cz});
  }
  EXPECT_EQ(unique.size(), 128u);
  EXPECT_EQ(std::abs(queue[0].cx) + std::abs(queue[0].cz), 4);
  EXPECT_EQ(queue[0].sy, 3) << "higher sections first among equals";
  EXPECT_EQ(queue[3].sy, 3);
}

TEST(MeshScheduler, UpdatesMeshEverythingWithinReachInBoundedSteps) {
  World world(kSeed);
  RecordingRenderer renderer;
  MeshScheduler s(2);
  s.setRenderDistance(4);
  s.preload(world, renderer, 0, 0, 3);
  for (int frame = 0; frame < 5000 && s.meshedCount() < 81u * 4; ++frame) {
    s.update(world, renderer, 0, 0);
    EXPECT_LE(s.inFlightCount(), static_cast<size_t>(kMaxPendingJobs));
    EXPECT_LE(s.generationsThisFrame(), kMaxGenerationsPerFrame);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(s.meshedCount(), 81u * 4);
  EXPECT_EQ(renderer.opaque.size(), 81u * 4);
  EXPECT_TRUE(s.queuedSections().empty());
}

TEST(MeshScheduler, SubmitsAtMostEightSectionsPerFrame) {
  World world(kSeed);
  RecordingRenderer renderer;
  MeshScheduler s(1);
  s.setRenderDistance(4);
  world.ensureColumnsAround(0, 0, 6);
  s.preload(world, renderer, 0, 0, 3);
  s.update(world, renderer, 0, 0);
  EXPECT_EQ(s.inFlightCount() + (s.meshedCount() - 49u * 4), 8u);
}

TEST(MeshScheduler, StaleResultsAfterAResetAreDroppedAndQueuedAgain) {
  World world(kSeed);
  RecordingRenderer renderer;
  MeshScheduler s(2);
  constexpr int kReach = 8;
  s.setRenderDistance(kReach);
  world.ensureColumnsAround(0, 0, kReach + 1);  // nothing left to generate: updates only submit
  s.preload(world, renderer, 0, 0, 3);
  auto inFlightKeys = [&] {
    std::vector<ChunkKey> keys;
    for (int dz = -kReach; dz <= kReach; ++dz) {
      for (int dx = -kReach; dx <= kReach; ++dx) {
        for (int sy = 0; sy < 4; ++sy) {
          if (s.isInFlight({dx, sy, dz})) keys.push_back({dx, sy, dz});
        }
      }
    }
    return keys;
  };
  // An update collects whatever finished while it submitted; go on until some results
  // are still out when it returns (the 960 queued sections give plenty of chances even
  // on a busy machine).
  std::vector<ChunkKey> submitted;
  for (int i = 0; i < 120 && submitted.empty(); ++i) {
    s.update(world, renderer, 0, 0);
    submitted = inFlightKeys();
  }
  ASSERT_FALSE(submitted.empty());

  // Reset while those jobs may still be meshing: queued jobs are dropped at once, the
  // ones in a worker's hands come back later with the old epoch.
  const uint32_t before = s.epoch();
  s.reset();
  EXPECT_EQ(s.epoch(), before + 1);
  EXPECT_EQ(s.meshedCount(), 0u);
  EXPECT_EQ(s.inFlightCount(), 0u);
  waitForWorkers(s);
  EXPECT_GE(s.pendingJobs(), 0) << "dropping queued jobs never drives the count negative";
  renderer.opaque.clear();
  // The first update after the reset rebuilds the queue around the player, nearest
  // first; the stale ring results it collects never reach the renderer.
  s.update(world, renderer, 0, 0);
  for (const ChunkKey& k : submitted) {
    EXPECT_FALSE(renderer.has(k));
    EXPECT_FALSE(s.isMeshed(k));
  }
  // They are meshed again in the new epoch.
  const size_t all = (2 * kReach + 1) * (2 * kReach + 1) * 4;
  for (int frame = 0; frame < 5000 && s.meshedCount() < all; ++frame) {
    s.update(world, renderer, 0, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  for (const ChunkKey& k : submitted) EXPECT_TRUE(s.isMeshed(k));
}

TEST(MeshScheduler, WalkingEastRemovesExactlyTheFarColumn) {
  World world(kSeed);
  RecordingRenderer renderer;
  MeshScheduler s(1);
  s.setRenderDistance(4);
  s.preload(world, renderer, 8, 8, 6);  // meshes columns -6..6
  s.update(world, renderer, 8, 8);
  EXPECT_TRUE(renderer.removed.empty());
  s.update(world, renderer, 15.9, 8);  // same column: nothing changes
  EXPECT_TRUE(renderer.removed.empty());

  s.update(world, renderer, 16.0, 8);  // one column east: R + 2 = 6 now ends at -5
  ASSERT_EQ(renderer.removed.size(), 13u * 4);
  for (const ChunkKey& k : renderer.removed) EXPECT_EQ(k.cx, -6);
  EXPECT_FALSE(s.isMeshed({-6, 0, 0}));
  EXPECT_TRUE(s.isMeshed({-5, 0, 0}));
  EXPECT_TRUE(world.isColumnLoaded(-7, 0)) << "columns unload only beyond R + 4";
  s.update(world, renderer, 16.0 * 6, 8);
  EXPECT_FALSE(world.isColumnLoaded(-7, 0));
}

TEST(MeshScheduler, ASectionWaitsWhenThreeColumnsWereGeneratedThisFrame) {
  World world(kSeed);
  RecordingRenderer renderer;
  MeshScheduler s(1);
  s.setRenderDistance(4);
  // Nothing is generated yet: the first section needs its 3 x 3 columns.
  s.update(world, renderer, 8, 8);
  EXPECT_EQ(s.generationsThisFrame(), 3);
  EXPECT_EQ(s.inFlightCount(), 0u);
  EXPECT_EQ(world.loadedChunkCount(), 3u * 4);
  ASSERT_FALSE(s.queuedSections().empty());
  EXPECT_EQ(s.queuedSections().front(), (ChunkKey{0, 3, 0}));

  s.update(world, renderer, 8, 8);
  EXPECT_EQ(s.inFlightCount(), 0u);
  EXPECT_EQ(s.queuedSections().front(), (ChunkKey{0, 3, 0}));
  s.update(world, renderer, 8, 8);  // the last three: now it goes
  EXPECT_EQ(world.loadedChunkCount(), 9u * 4);
  EXPECT_TRUE(s.isInFlight({0, 3, 0}) || s.isMeshed({0, 3, 0}));
  EXPECT_GE(s.inFlightCount() + s.meshedCount(), 4u) << "the column's other sections follow";
}

TEST(MeshScheduler, StopsCleanlyWithWorkQueued) {
  World world(kSeed);
  RecordingRenderer renderer;
  auto s = std::make_unique<MeshScheduler>(4);
  s->setRenderDistance(6);
  s->preload(world, renderer, 0, 0, 2);
  for (int i = 0; i < 10; ++i) s->update(world, renderer, 0, 0);
  s->stop();
  s->stop();  // twice is fine
  s.reset();  // destructor after stop
  SUCCEED();
}

TEST(MeshScheduler, MemoryAccountingReturnsToZero) {
  World world(kSeed);
  RecordingRenderer renderer;
  MeshScheduler s(2);
  s.setRenderDistance(4);
  s.preload(world, renderer, 0, 0, 3);
  for (int frame = 0; frame < 5000 && s.meshedCount() < 81u * 4; ++frame) {
    s.update(world, renderer, 0, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  const MeshMemory m = s.memory();
  EXPECT_EQ(m.jobBytes, 0u);
  EXPECT_EQ(m.resultBytes, 0u);
  EXPECT_GT(m.peakJobBytes, 0u);
  EXPECT_GT(m.peakResultBytes, 0u);
}
