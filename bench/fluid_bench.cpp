// Fluid recomputation on the test seed.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#include "world/fluid_pool.h"

namespace {

constexpr uint32_t kSeed = 20261018;

// The water pool beside the spawn sits high above the sea: the air over the sea joins
// its region, which therefore always reaches the cap.
void BM_RecomputeCappedBody(benchmark::State& state) {
  World world(kSeed);
  buildFluidPool(world, 300, 12, kBlockWater);
  world.recomputeFluidBody(300, 51, 300, kBlockWater);
  for (auto _ : state) world.recomputeFluidBody(300, 51, 300, kBlockWater);
  state.counters["cap"] = static_cast<double>(kFluidRegionCap);
}
BENCHMARK(BM_RecomputeCappedBody)->Unit(benchmark::kMillisecond);

// The first water step after 32 pools high above the sea were opened, 400 blocks apart:
// each pool's body reaches beyond the cap, and each spills into the air below.
void BM_WaterStepCappedBodies(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    World world(kSeed);
    for (int i = 0; i < 32; ++i) buildFluidPool(world, 300 + 400 * i, 3, kBlockWater);
    state.ResumeTiming();
    world.tick(0.15f);
    state.PauseTiming();
    state.counters["queued"] = static_cast<double>(world.waterQueueSize());
    state.ResumeTiming();
  }
}
BENCHMARK(BM_WaterStepCappedBodies)->Unit(benchmark::kMicrosecond)->Iterations(5);

// A settled pool in a closed basin; each step takes 32 queued keys from across it.
void BM_WaterStep32(benchmark::State& state) {
  World world(kSeed);
  const int cx = 300, cz = 300, r = 12;
  for (int z = cz - r - 1; z <= cz + r + 1; ++z) {
    for (int x = cx - r - 1; x <= cx + r + 1; ++x) {
      const bool wall = std::abs(x - cx) > r || std::abs(z - cz) > r;
      world.setBlockRaw(x, 50, z, kBlockStone);
      for (int y = 51; y <= 54; ++y) world.setBlockRaw(x, y, z, wall ? kBlockStone : kBlockAir);
    }
  }
  world.setBlockWithLevel(cx, 51, cz, kBlockWater, kNoLevel);
  for (int i = 0; i < 2000 && world.waterQueueSize() + world.lavaQueueSize() > 0; ++i) {
    world.tick(0.7f);
  }
  int k = 0;
  for (auto _ : state) {
    state.PauseTiming();
    for (int i = 0; i < 32; ++i, ++k)
      world.scheduleFluid(cx - 8 + k % 17, 51, cz - 8 + (k / 17) % 17);
    state.ResumeTiming();
    world.tick(0.15f);
  }
}
BENCHMARK(BM_WaterStep32)->Unit(benchmark::kMicrosecond);

// One water step facing 20,000 queued air positions over generated terrain, none of
// them next to a fluid: the step drops what it may and gives up the rest of its turn.
void BM_WaterStepSkippableBacklog(benchmark::State& state) {
  World world(kSeed);
  world.ensureColumnsAround(0, 0, 3);
  auto idle = [&](int x, int y, int z) {
    if (world.getBlock(x, y, z) != kBlockAir) return false;
    const int around[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    for (const auto& d : around) {
      const BlockId id = world.getBlock(x + d[0], y + d[1], z + d[2]);
      if (id == kBlockWater || id == kBlockLava) return false;
    }
    return true;
  };
  std::vector<BlockPos> backlog;
  for (int y = kWorldHeight - 1; y >= 0 && backlog.size() < 20000; --y) {
    for (int z = -48; z < 48 && backlog.size() < 20000; ++z) {
      for (int x = -48; x < 48 && backlog.size() < 20000; ++x) {
        if (idle(x, y, z)) backlog.push_back({x, y, z});
      }
    }
  }
  for (auto _ : state) {
    state.PauseTiming();
    world.tick(0.7f);  // both timers start again from 0
    for (const BlockPos& p : backlog) world.scheduleFluid(p.x, p.y, p.z);
    state.ResumeTiming();
    world.tick(0.15f);  // the water step alone
  }
  state.counters["backlog"] = static_cast<double>(backlog.size());
}
BENCHMARK(BM_WaterStepSkippableBacklog)->Unit(benchmark::kMicrosecond);

}  // namespace
