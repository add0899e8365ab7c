#include "app/scripted_modes.h"

#include <GLFW/glfw3.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <glm/gtc/matrix_transform.hpp>
#include <memory>
#include <string>

#include "app/frame_loop.h"
#include "app/windowed_start.h"
#include "game/environment.h"
#include "game/lifecycle.h"
#include "game/models.h"
#include "game/net_sync.h"
#include "lang/translations.h"
#include "render/vulkan_renderer.h"
#include "save/world_folders.h"

namespace {

constexpr uint32_t kTestSeed = 20261018;
constexpr uint16_t kHostTestPort = 27892;
constexpr const char* kHostTestWorld = "__hosttest__";
constexpr int kWarmUpFrames = 60;
constexpr int kTimedFrames = 240;

// Measurement knobs for runs by hand, not part of the fixed run: ORVANE_BENCHMARK_SIZE
// ("WIDTHxHEIGHT", the window's size), ORVANE_BENCHMARK_SHADOWS and ORVANE_BENCHMARK_POST
// ("0" switches the pass off).
void applyBenchmarkKnobs(GLFWwindow* window, Renderer& renderer) {
  int width = 0, height = 0;
  const char* size = std::getenv("ORVANE_BENCHMARK_SIZE");
  if (size != nullptr && std::sscanf(size, "%dx%d", &width, &height) == 2 && width >= 64 &&
      height >= 64 && width <= 7680 && height <= 4320) {
    glfwSetWindowSize(window, width, height);
    for (int i = 0; i < 50; ++i) {  // the window system takes a moment to follow
      glfwPollEvents();
      int w = 0, h = 0;
      glfwGetFramebufferSize(window, &w, &h);
      if (w == width && h == height) break;
      glfwWaitEventsTimeout(0.01);
    }
    renderer.onFramebufferResized();
  }
  const auto off = [](const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && std::string(value) == "0";
  };
  renderer.setRenderToggles(!off("ORVANE_BENCHMARK_SHADOWS"), !off("ORVANE_BENCHMARK_POST"));
}

}  // namespace

int runHostTest(GLFWwindow* window) {
  setLanguage(LanguageChinese);
  auto windowed = std::make_unique<WindowedGame>();
  if (!startWindowedGame(*windowed, window, true)) return 1;
  Game& game = windowed->game;
  game.net.role = NetHost;
  game.net.localId = 1;
  game.net.playerName = "HostTest";
  newGame(game, kTestSeed, kHostTestWorld);
  saveGame(game);

  std::string error;
  const bool hosted = startHosting(game, kHostTestPort, error);
  if (hosted) {
    setScreen(game, ScreenPlaying);
    addMessagef(game, "Hosting \"%s\" on UDP %u", kHostTestWorld,
                static_cast<unsigned>(kHostTestPort));
    std::printf("hosttest: %s\n", game.chat.log.back().text.c_str());
    closeConnection(game);
  } else {
    std::printf("hosttest: startHost failed: %s\n", error.c_str());
  }
  deleteWorld(kHostTestWorld, game.savesFolder);
  stopWindowedGame(*windowed);
  return hosted ? 0 : 1;
}

int runBenchmark(GLFWwindow* window) {
  auto windowed = std::make_unique<WindowedGame>();
  if (!startWindowedGame(*windowed, window, false)) return 1;
  Game& game = windowed->game;
  VulkanRenderer& renderer = windowed->renderer;
  applyBenchmarkKnobs(window, renderer);
  newGame(game, kTestSeed, "Benchmark");
  game.player.yaw = -90.0f;
  game.player.pitch = -18.0f;

  glm::mat4 projection = glm::perspective(1.2217305f, 1.7777778f, 0.05f, 600.0f);
  projection[1][1] = -projection[1][1];
  const glm::vec3 eye = game.player.position;
  const glm::mat4 camera =
      projection * glm::lookAt(eye, eye + facingDirection(game.player), glm::vec3(0, 1, 0));
  const std::vector<EntityInstance> noParticles;
  double start = 0.0;
  FrameTiming recording;  // sums over the timed frames
  std::array<int, 3> redraws{};
  for (int frame = 0; frame < kWarmUpFrames + kTimedFrames; ++frame) {
    if (frame == kWarmUpFrames) start = glfwGetTime();
    glfwPollEvents();
    updateMobs(*game.world, game.entities.mobs, 1.0f / 60.0f,
               {{game.player.position, game.player.gameMode}});
    game.meshScheduler.update(*game.world, renderer, eye.x, eye.z);
    const Lighting light = menuLighting(game.environment.timeOfDay);
    renderer.setLighting(1.0f, 128.0f, light.sunDirection);
    renderer.beginUiFrame();
    renderer.drawFrame(
        camera, eye, buildEntityDrawList(game.entities.drops, game.entities.mobs, {}), noParticles);
    if (frame >= kWarmUpFrames) {
      const FrameTiming& t = renderer.lastFrameTiming();
      recording.record += t.record;
      recording.recordShadows += t.recordShadows;
      recording.recordScene += t.recordScene;
      for (int c = 0; c < 3; ++c) redraws[c] += renderer.shadowRedraws()[c];
    }
  }
  const double elapsed = glfwGetTime() - start;
  std::printf(
      "benchmark: %d frames in %.2f s = %.1f fps | %d draws, %d chunks cached, %d tracked\n",
      kTimedFrames, elapsed, kTimedFrames / elapsed, renderer.drawnChunkCount(),
      static_cast<int>(renderer.chunkMeshCount()),
      static_cast<int>(game.meshScheduler.meshedCount()));
  std::printf(
      "benchmark: recording a frame takes %.2f ms of CPU: shadows %.2f, scene %.2f, the rest "
      "%.2f | shadow maps redrawn %d %d %d times\n",
      recording.record / kTimedFrames, recording.recordShadows / kTimedFrames,
      recording.recordScene / kTimedFrames,
      (recording.record - recording.recordShadows - recording.recordScene) / kTimedFrames,
      redraws[0], redraws[1], redraws[2]);
  stopWindowedGame(*windowed);
  return 0;
}
