// Per-frame gameplay updates on the test seed.

#include <benchmark/benchmark.h>

#include "game/drops.h"
#include "game/mobs.h"
#include "game/player.h"
#include "game/spawn_point.h"

namespace {

constexpr uint32_t kSeed = 20261018;

void BM_MobsAndDropsFrame(benchmark::State& state) {
  World world(kSeed);
  const glm::vec3 spawn = findSpawnPoint(world);
  world.ensureColumnsAround(spawn.x, spawn.z, 3);
  std::vector<Mob> mobs;
  while (mobs.size() < 200) {
    auto more = spawnMobsAround(world, kSeed + static_cast<uint32_t>(mobs.size()), 14, spawn);
    if (more.empty()) break;
    mobs.insert(mobs.end(), more.begin(), more.end());
  }
  mobs.resize(std::min<size_t>(mobs.size(), 200));
  std::vector<Drop> drops;
  for (int i = 0; i < 200; ++i) {
    Drop d;
    d.position = spawn + glm::vec3(static_cast<float>(i % 20) - 10.0f, 0.5f,
                                   static_cast<float>(i / 20) - 5.0f);
    d.item = kBlockDirt;
    d.count = 1;
    drops.push_back(d);
  }
  Inventory inventory;
  const std::vector<MobTarget> players{{spawn, 1}};
  const glm::vec3 far = spawn + glm::vec3(0, 40, 0);  // nobody picks anything up
  for (auto _ : state) {
    updateMobs(world, mobs, 1.0f / 60.0f, players);
    updateDrops(world, drops, far, inventory, true, 1.0f / 60.0f);
    for (Drop& d : drops) d.age = 1.0f;  // keep them from expiring
  }
  state.counters["mobs"] = static_cast<double>(mobs.size());
  state.counters["drops"] = static_cast<double>(drops.size());
}
BENCHMARK(BM_MobsAndDropsFrame)->Unit(benchmark::kMicrosecond);

void BM_PlayerStep(benchmark::State& state) {
  World world(kSeed);
  Player player;
  player.position = findSpawnPoint(world);
  player.gameMode = GameModeSurvival;
  world.ensureColumnsAround(player.position.x, player.position.z, 3);
  MovementInput walk;
  walk.wish = {1.0f, 0.0f, 0.3f};
  int frame = 0;
  for (auto _ : state) {
    walk.jump = (++frame % 30) == 0;
    benchmark::DoNotOptimize(stepPlayer(player, world, 1.0f / 60.0f, walk));
  }
}
BENCHMARK(BM_PlayerStep);

}  // namespace
