// Fluid recomputation on the test seed.

#include <benchmark/benchmark.h>

#include <cstdlib>

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

}  // namespace
