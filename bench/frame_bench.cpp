// The game's own frame pass on the test seed: starting a world and one simulated pass.

#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

#include "app/frame_loop.h"
#include "game/lifecycle.h"

namespace {

constexpr uint32_t kSeed = 20261018;
constexpr float kStep = 1.0f / 60.0f;

// Lets the mesh workers finish everything around the player.
void settleMeshing(Game& game) {
  for (int i = 0; i < 2000; ++i) {
    game.meshScheduler.update(*game.world, *game.renderer, game.player.position.x,
                              game.player.position.z);
    if (game.meshScheduler.queuedSections().empty() && game.meshScheduler.inFlightCount() == 0) {
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

// Steps 4 to 22 of a pass while playing: 30 mobs, 20 drops, nothing to mesh.
void BM_GamePass(benchmark::State& state) {
  Game game;
  game.savesFolder = "/nonexistent";
  newGame(game, kSeed, "Bench");
  setScreen(game, ScreenPlaying);
  std::vector<Mob>& mobs = game.entities.mobs;
  for (uint32_t extra = 1; mobs.size() < 30 && extra < 50; ++extra) {
    auto more = spawnMobsAround(*game.world, kSeed + extra, 14, game.spawnPoint);
    mobs.insert(mobs.end(), more.begin(), more.end());
  }
  mobs.resize(30);
  for (int i = 0; i < 20; ++i) {
    spawnDrop(game.entities.drops,
              game.spawnPoint + glm::vec3(static_cast<float>(i) * 1.5f - 15.0f, 0.0f, 6.0f),
              kBlockDirt, 1);
  }
  assignEntityIds(game);
  settleMeshing(game);
  const InputRecord input;
  for (auto _ : state) {
    simulate(game, input, kStep);
    for (Drop& d : game.entities.drops) d.age = 1.0f;  // keep them from expiring
  }
  state.counters["mobs"] = static_cast<double>(mobs.size());
  state.counters["drops"] = static_cast<double>(game.entities.drops.size());
}
BENCHMARK(BM_GamePass)->Unit(benchmark::kMicrosecond);

// New game up to its first drawn frame, preload included.
void BM_NewGameToFirstFrame(benchmark::State& state) {
  Game game;
  game.savesFolder = "/nonexistent";
  NullRenderer renderer;
  NoScreens screens;
  InputRecord input;
  double clock = 1.0;
  for (auto _ : state) {
    newGame(game, kSeed, "Bench");
    setScreen(game, ScreenPlaying);
    clock += kStep;
    runFramePass(game, input, clock, renderer, screens);
  }
}
BENCHMARK(BM_NewGameToFirstFrame)->Unit(benchmark::kMillisecond);

}  // namespace
