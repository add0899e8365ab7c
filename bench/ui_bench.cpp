// Recording the UI of a busy in-game frame without a GPU: HUD, a chat of 40 lines, the
// debug overlay, the minimap and rain, as ImGui builds its draw lists.

#include <benchmark/benchmark.h>

#include "app/frame_loop.h"
#include "game/environment.h"
#include "game/lifecycle.h"
#include "ui/imgui_screens.h"

namespace {

void BM_UiBusyFrame(benchmark::State& state) {
  Game game;
  game.savesFolder = "/nonexistent";
  newGame(game, 20261018, "Bench");
  setScreen(game, ScreenPlaying);
  setGameMode(game, GameModeSurvival);
  game.player.hitPoints = 13;
  game.mining.cell = glm::ivec3(0, 30, 0);
  game.mining.progress = 0.4f;
  for (int i = 0; i < kHotbarSlots; ++i) game.inventory.items.slots[i] = {kBlockPlanks, 10 + i};
  game.chat.log.clear();
  for (int i = 0; i < 40; ++i) {
    game.chat.log.push_back(
        {"Line " + std::to_string(i) + " of a busy chat in the bench world", 0.0});
  }
  game.chat.open = true;
  game.chat.input = "/give planks 64";
  game.flags.debugOverlay = true;
  game.flags.minimap = true;
  refreshMinimap(game);
  game.environment.weather = WeatherRain;
  game.player.pitch = -60.0f;
  game.target = Target{true, glm::ivec3(0, 30, 0), glm::ivec3(0, 31, 0)};
  game.frame.dt = 1.0f / 60.0f;

  InputRecord input;
  ImGuiScreens screens(input, cameraMatrix);
  for (int i = 0; i < 3; ++i) screens.draw(game);
  for (auto _ : state) {
    game.clock += 1.0 / 60.0;
    screens.draw(game);
    benchmark::DoNotOptimize(ImGui::GetDrawData()->TotalVtxCount);
  }
  state.counters["vertices"] = ImGui::GetDrawData()->TotalVtxCount;
  game.meshScheduler.stop();
}
BENCHMARK(BM_UiBusyFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
