#include "app/screenshot_mode.h"

#include <GLFW/glfw3.h>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "app/frame_loop.h"
#include "app/screenshot_scenes.h"
#include "app/windowed_start.h"
#include "game/environment.h"
#include "game/game_mod_context.h"
#include "game/interaction.h"
#include "game/lifecycle.h"
#include "game/models.h"
#include "lang/translations.h"
#include "platform/program_folder.h"
#include "platform/version.h"
#include "render/png_writer.h"
#include "render/vulkan_renderer.h"
#include "ui/imgui_screens.h"

namespace {

constexpr int kPreloadRadius = 8;

// A bare file name goes into the screenshots folder; a path with a folder is kept.
std::string outputPath(const std::string& argument) {
  if (std::filesystem::path(argument).has_parent_path()) return argument;
  return dataFolder("screenshots") + "/" + argument;
}

// The main menu on one of its pages, without a world.
void setUpMenuScene(Game& game, const std::string& scene) {
  refreshWorldList(game);
  game.menu.page = scene == "worlds"        ? MenuPageWorlds
                   : scene == "multiplayer" ? MenuPageMultiplayer
                                            : MenuPageMain;
}

// The surroundings of an in-game scene: meshes around the camera, the minimap and the
// targeted block.
void prepareWorldScene(Game& game, Renderer& renderer) {
  const glm::vec3 eye = game.player.position;
  game.meshScheduler.reset();
  renderer.clearChunkMeshes();
  game.meshScheduler.setRenderDistance(kPreloadRadius);
  game.meshScheduler.preload(*game.world, renderer, eye.x, eye.z, kPreloadRadius);
  refreshMinimap(game);
  game.target = castTarget(*game.world, eye, facingDirection(game.player), kReach);
  aimScriptedMining(game);
}

// Where the menu labels were drawn, for the checks of the picture.
void printLabels(ImGuiScreens& screens) {
  for (const char* label : {"Singleplayer", "Play Selected", "Join Server", "window:pause",
                            "window:hotbar", "Settings", "Render distance"}) {
    const auto found = screens.ui().widgets.find(label);
    if (found == screens.ui().widgets.end()) continue;
    const WidgetRect& r = found->second;
    std::printf("screenshot: label %s at %d %d %d %d\n", label, static_cast<int>(r.min.x),
                static_cast<int>(r.min.y), static_cast<int>(r.max.x - r.min.x),
                static_cast<int>(r.max.y - r.min.y));
  }
}

}  // namespace

int runScreenshotMode(GLFWwindow* window, const LaunchOptions& options) {
  const std::string path = outputPath(options.screenshotPath);
  const std::string& scene = options.screenshotScene;
  auto windowed = std::make_unique<WindowedGame>();
  if (!startWindowedGame(*windowed, window, true)) return 1;
  Game& game = windowed->game;
  VulkanRenderer& renderer = windowed->renderer;

  InputRecord input;
  glfwGetFramebufferSize(window, &input.framebufferWidth, &input.framebufferHeight);
  ImGuiScreens screens(input, cameraMatrix);
  screens.ui().recordWidgets = true;
  const bool menu = isMenuScene(scene);
  if (menu) {
    setUpMenuScene(game, scene);
  } else {
    setUpScene(game, scene);
    prepareWorldScene(game, renderer);
    screens.ui().openSettings = sceneHasWord(scene, "settings");
  }
  const Lighting light =
      menu ? menuLighting(game.environment.timeOfDay) : sceneLighting(game, scene);
  const float aspect = input.framebufferHeight < 1
                           ? 16.0f / 9.0f
                           : static_cast<float>(input.framebufferWidth) / input.framebufferHeight;
  const glm::mat4 camera = cameraMatrix(game, aspect);
  const glm::vec3 eye = game.player.position;
  const std::vector<EntityInstance> entities = entityInstances(game);
  const std::vector<EntityInstance> particles = particleInstances(game.entities.particles);
  const std::string software = std::string("Orvane ") + kVersionText;

  game.frame.dt = 1.0f / 60.0f;
  bool written = false;
  for (int frame = 0; frame < 3; ++frame) {
    renderer.setLighting(light.daylight, light.fogDistance, light.sunDirection);
    renderer.setRenderToggles(game.settings.shadows, game.settings.postProcessing);
    renderer.beginUiFrame();
    screens.draw(game);
    if (frame < 2) {
      renderer.drawFrame(camera, eye, entities, particles);
      if (frame == 0 && sceneHasWord(scene, "relanguage")) {
        setLanguage(language() == LanguageChinese ? LanguageEnglish : LanguageChinese);
      }
    } else {
      printLabels(screens);
      written = renderer.captureFrame(camera, eye, entities, particles, path,
                                      CaptureInfo{software, captureDescription(game, software)});
    }
  }
  stopWindowedGame(*windowed);
  return written ? 0 : 1;
}
