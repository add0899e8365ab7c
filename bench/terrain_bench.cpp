// Terrain generation and village queries on the test seed.

#include <benchmark/benchmark.h>

#include <utility>
#include <vector>

#include "world/terrain.h"
#include "world/village.h"
#include "world/world.h"

namespace {

constexpr uint32_t kSeed = 20261018;

// Columns near the origin, split by whether a village touches them.
std::vector<std::pair<int, int>> columnsNear(const World& world, bool withVillage) {
  std::vector<std::pair<int, int>> out;
  for (int cz = -12; cz <= 12; ++cz) {
    for (int cx = -12; cx <= 12; ++cx) {
      const bool touched =
          !villagesInBox(world, cx * 16, cz * 16, cx * 16 + 15, cz * 16 + 15).empty();
      if (touched == withVillage) out.emplace_back(cx, cz);
    }
  }
  return out;
}

void generateColumns(benchmark::State& state, bool withVillage) {
  World world(kSeed);
  const auto columns = columnsNear(world, withVillage);
  size_t i = 0;
  for (auto _ : state) {
    const auto [cx, cz] = columns[i++ % columns.size()];
    world.ensureColumn(cx, cz);
    state.PauseTiming();
    world.unloadColumnsBeyond(cx + 1000, cz, 0);
    state.ResumeTiming();
  }
  state.counters["columns"] = static_cast<double>(columns.size());
}

void BM_GenerateColumn(benchmark::State& state) {
  generateColumns(state, false);
}
BENCHMARK(BM_GenerateColumn)->Unit(benchmark::kMicrosecond);

void BM_GenerateVillageColumn(benchmark::State& state) {
  generateColumns(state, true);
}
BENCHMARK(BM_GenerateVillageColumn)->Unit(benchmark::kMicrosecond);

// World creation is dominated by the search for the spawn village.
void BM_CreateWorld(benchmark::State& state) {
  uint32_t seed = static_cast<uint32_t>(state.range(0));
  for (auto _ : state) {
    World world(seed);
    benchmark::DoNotOptimize(world.villages().data());
  }
}
BENCHMARK(BM_CreateWorld)->Arg(kSeed)->Arg(1)->Arg(12345)->Unit(benchmark::kMillisecond);

void BM_FindSpawnVillageWorstSeed(benchmark::State& state) {
  // Scans many seeds once to find the slowest search among them, then times that one.
  uint32_t worst = 0;
  int64_t worstCost = -1;
  for (uint32_t seed = 0; seed < 64; ++seed) {
    const Village v = findSpawnVillage(seed);
    const int64_t cost = std::max(std::abs(v.x), std::abs(v.z));
    if (cost > worstCost) worstCost = cost, worst = seed;
  }
  for (auto _ : state) benchmark::DoNotOptimize(findSpawnVillage(worst));
  state.counters["ring"] = static_cast<double>(worstCost);
}
BENCHMARK(BM_FindSpawnVillageWorstSeed)->Unit(benchmark::kMillisecond);

void BM_SurfaceHeightWarm(benchmark::State& state) {
  World world(kSeed);
  int i = 0;
  for (int k = 0; k < 4096; ++k) surfaceHeight(world, (k * 37) % 600 - 300, (k * 91) % 600 - 300);
  for (auto _ : state) {
    benchmark::DoNotOptimize(surfaceHeight(world, (i * 37) % 600 - 300, (i * 91) % 600 - 300));
    ++i;
  }
}
BENCHMARK(BM_SurfaceHeightWarm);

void BM_VillagesNearWarm(benchmark::State& state) {
  World world(kSeed);
  int i = 0;
  for (int k = 0; k < 4096; ++k)
    villagesNear(world, (k * 37) % 600 - 300.0f, (k * 91) % 600 - 300.0f, 24);
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        villagesNear(world, (i * 37) % 600 - 300.0f, (i * 91) % 600 - 300.0f, 24));
    ++i;
  }
}
BENCHMARK(BM_VillagesNearWarm);

}  // namespace
