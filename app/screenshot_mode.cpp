#include "app/screenshot_mode.h"

#include <GLFW/glfw3.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <glm/gtc/matrix_transform.hpp>

#include "app/frame_loop.h"
#include "game/game.h"
#include "game/lifecycle.h"
#include "game/spawn_point.h"
#include "platform/program_folder.h"
#include "platform/version.h"
#include "render/vulkan_renderer.h"
#include "ui/imgui_screens.h"
#include "world/block_registry.h"
#include "world/chunk_mesh.h"
#include "world/mesh_scheduler.h"
#include "world/world.h"

namespace {

constexpr uint32_t kSceneSeed = 20261018;
constexpr float kTimeOfDay = 0.22f;  // a new game starts at this time of day

// Direction towards the sun for a time of day (0 is 06:00).
glm::vec3 sunDirection(float timeOfDay) {
  const float a = 2 * 3.14159265f * timeOfDay;
  float c = std::cos(a), s = std::sin(a);
  if (s < 0.08f) c = -c, s = -s;
  return glm::normalize(glm::vec3(c, s, 0.35f));
}

// A bare file name goes into the screenshots folder; a path with a folder is kept.
std::string outputPath(const std::string& argument) {
  if (std::filesystem::path(argument).has_parent_path()) return argument;
  return dataFolder("screenshots") + "/" + argument;
}

std::string describeScene(const glm::vec3& eye, const std::string& software) {
  const float h = std::fmod(kTimeOfDay * 24 + 6, 24.0f);
  const int hours = static_cast<int>(std::floor(h));
  const int minutes = static_cast<int>(std::floor((h - hours) * 60));
  char text[512];
  std::snprintf(text, sizeof text,
                "%s\nWorld: %s\nSeed: %u\nPosition: %.2f, %.2f, %.2f\nIn-game time: %02d:%02d\n"
                "Weather: %s\nGame mode: %s",
                software.c_str(), "Screenshot", kSceneSeed, eye.x, eye.y, eye.z, hours, minutes,
                "Clear", "Creative");
  return text;
}

bool isMenuScene(const std::string& scene) {
  return scene == "main" || scene == "worlds" || scene == "multiplayer";
}

// The main menu on one of its pages, without a world, over the menu sky. Prints where
// the "Singleplayer" or page heading label was drawn, for the checks of the picture.
bool captureMenuScene(GLFWwindow* window, VulkanRenderer& renderer, const std::string& scene,
                      const std::string& path) {
  Game game;
  game.renderer = &renderer;
  refreshWorldList(game);
  game.menu.page = scene == "worlds"        ? MenuPageWorlds
                   : scene == "multiplayer" ? MenuPageMultiplayer
                                            : MenuPageMain;
  InputRecord input;
  glfwGetFramebufferSize(window, &input.framebufferWidth, &input.framebufferHeight);
  ImGuiScreens screens(input, cameraMatrix);
  screens.ui().recordWidgets = true;
  renderer.setLighting(1.0f, 128.0f, sunDirection(game.environment.timeOfDay));
  const float aspect = input.framebufferHeight < 1
                           ? 16.0f / 9.0f
                           : static_cast<float>(input.framebufferWidth) / input.framebufferHeight;
  const glm::mat4 camera = cameraMatrix(game, aspect);
  const std::vector<EntityInstance> none;
  game.frame.dt = 1.0f / 60.0f;
  for (int frame = 0; frame < 2; ++frame) {
    screens.draw(game);
    renderer.drawFrame(camera, game.player.position, none, none);
  }
  screens.draw(game);
  for (const char* label : {"Singleplayer", "Play Selected", "Join Server"}) {
    const auto found = screens.ui().widgets.find(label);
    if (found == screens.ui().widgets.end()) continue;
    const WidgetRect& r = found->second;
    std::printf("screenshot: label %s at %d %d %d %d\n", label, static_cast<int>(r.min.x),
                static_cast<int>(r.min.y), static_cast<int>(r.max.x - r.min.x),
                static_cast<int>(r.max.y - r.min.y));
  }
  const std::string software = std::string("Orvane ") + kVersionText;
  const bool written = renderer.captureFrame(camera, game.player.position, none, none, path,
                                             CaptureInfo{software, software + "\nMain menu"});
  game.meshScheduler.stop();
  game.renderer = &game.noRenderer;
  return written;
}

}  // namespace

int runScreenshotMode(GLFWwindow* window, const LaunchOptions& options) {
  const std::string path = outputPath(options.screenshotPath);
  VulkanRenderer renderer;
  if (!renderer.init(window, true)) return 1;
  if (isMenuScene(options.screenshotScene)) {
    const bool written = captureMenuScene(window, renderer, options.screenshotScene, path);
    renderer.shutdown();
    return written ? 0 : 1;
  }
  for (size_t id = 0; id < blockCount(); ++id) {
    renderer.setModelMesh(static_cast<int>(3 + id), buildBlockItemMesh(static_cast<BlockId>(id)));
  }

  World world(kSceneSeed);
  const glm::vec3 eye = findSpawnPoint(world);
  world.ensureColumnsAround(eye.x, eye.z, 3);
  MeshScheduler scheduler;
  scheduler.setRenderDistance(8);
  scheduler.preload(world, renderer, eye.x, eye.z, 8);

  // The default scene looks 2.2 down and 4 north from the spawn point.
  int width = 0, height = 0;
  glfwGetFramebufferSize(window, &width, &height);
  const float aspect = height < 1 ? 16.0f / 9.0f : static_cast<float>(width) / height;
  glm::mat4 projection = glm::perspective(glm::radians(70.0f), aspect, 0.05f, 600.0f);
  projection[1][1] = -projection[1][1];
  const glm::mat4 view = glm::lookAt(eye, eye + glm::vec3(0, -2.2f, -4), glm::vec3(0, 1, 0));
  const glm::mat4 viewProjection = projection * view;
  renderer.setLighting(0.9f, 128.0f, sunDirection(kTimeOfDay));

  const std::vector<EntityInstance> none;
  renderer.drawFrame(viewProjection, eye, none, none);
  renderer.drawFrame(viewProjection, eye, none, none);
  const std::string software = std::string("Orvane ") + kVersionText;
  const bool written = renderer.captureFrame(viewProjection, eye, none, none, path,
                                             CaptureInfo{software, describeScene(eye, software)});
  scheduler.stop();
  renderer.shutdown();
  return written ? 0 : 1;
}
