// orvane_render_check: draws the test seed's spawn view through the Vulkan renderer on a
// hidden 1280 x 720 window and writes pictures for the display tests to compare.
//
//   orvane_render_check OUT [PAIR] [--resizes N] [--frames N] [--turn N]
//     OUT/a.png      the view with the defaults (shadows and post-processing on, day)
//     OUT/b.png      with PAIR changed: "shadows" off, "post" off, "night", or
//                    "reference" (every shadow map redrawn in full every frame)
//     --resizes N    resizes the window N times, drawing after each, then back to
//                    1280 x 720; fails unless the allocator holds what it held before
//     --frames N     draws N more frames and prints the mean GPU time of every pass
//     --turn N       turns the camera for N frames with nothing else moving; fails when
//                    the caster depth the shadow maps hold at fixed points changes
// Every picture prints which passes ran and the chunk draws of each shadow cascade.

#include <GLFW/glfw3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <glm/gtc/matrix_transform.hpp>
#include <string>

#include "game/models.h"
#include "game/spawn_point.h"
#include "render/png_writer.h"
#include "render/scene_math.h"
#include "render/vulkan_renderer.h"
#include "world/mesh_scheduler.h"
#include "world/world.h"

namespace {

constexpr uint32_t kSeed = 20261018;

glm::vec3 sunAt(float timeOfDay) {
  const float a = 2 * 3.14159265f * timeOfDay;
  return glm::normalize(glm::vec3(std::cos(a), std::sin(a), 0.35f));
}

struct View {
  glm::mat4 viewProjection;
  glm::vec3 eye;
  std::vector<EntityInstance> entities, particles;
};

void report(const VulkanRenderer& renderer, const char* name) {
  const auto& draws = renderer.shadowChunkDraws();
  std::printf(
      "render_check: %s: shadow pass %s, cascade chunk draws %d %d %d of %zu opaque meshes, "
      "scene drew %d of %zu chunk meshes; %d chunk draw commands; shadow triangles %llu of %llu\n",
      name, renderer.shadowPassRan() ? "ran" : "skipped", draws[0], draws[1], draws[2],
      renderer.opaqueChunkMeshCount(), renderer.drawnChunkCount(), renderer.chunkMeshCount(),
      renderer.chunkDrawCalls(), static_cast<unsigned long long>(renderer.shadowTriangleCount()),
      static_cast<unsigned long long>(renderer.chunkTriangleCount()));
}

bool capture(VulkanRenderer& renderer, const View& view, const std::string& path,
             const char* name) {
  renderer.drawFrame(view.viewProjection, view.eye, view.entities, view.particles);
  const bool written =
      renderer.captureFrame(view.viewProjection, view.eye, view.entities, view.particles, path,
                            CaptureInfo{"render_check", name});
  report(renderer, name);
  return written;
}

// The test view, turned about the vertical by `degrees`.
glm::mat4 cameraTurnedBy(glm::vec3 eye, float degrees) {
  glm::mat4 projection = glm::perspective(glm::radians(70.0f), 16.0f / 9.0f, 0.05f, 600.0f);
  projection[1][1] = -projection[1][1];
  const float a = glm::radians(degrees);
  const glm::vec3 look(4 * std::sin(a), -2.2f, -4 * std::cos(a));
  return projection * glm::lookAt(eye, eye + look, glm::vec3(0, 1, 0));
}

// Turns the camera by half a degree a frame. Points ahead of the camera stay in view
// throughout; each frame, for the cascade a point's shadow comes from, the distance along
// the light between the point and the nearest caster in its map must stay what it was.
bool turnCamera(VulkanRenderer& renderer, const View& base, int frames) {
  const glm::vec3 eye = base.eye;
  std::vector<glm::vec3> points;
  for (float depth : {3.0f, 6.0f, 12.0f, 24.0f, 40.0f, 70.0f, 110.0f}) {
    for (float side : {-0.25f, 0.0f, 0.25f}) {
      points.push_back(eye + glm::vec3(side * depth, -2.0f - 0.1f * depth, -depth));
    }
  }
  const float far = shadowFarDistance(renderer.visualSettings().shadowDistance, 128.0f);
  std::vector<int> lastCascade(points.size(), -1);
  std::vector<float> lastDistance(points.size(), 0.0f);
  int compared = 0, redraws = 0;
  float largest = 0;
  for (int frame = 0; frame < frames; ++frame) {
    const glm::mat4 camera = cameraTurnedBy(eye, 0.5f * static_cast<float>(frame));
    renderer.drawFrame(camera, eye, base.entities, base.particles);
    for (bool redrawn : renderer.shadowRedraws()) redraws += redrawn;
    const CascadeSet set = computeCascades(camera, sunAt(0.22f), far);
    const glm::vec3 forward = cameraForward(camera, eye);
    const std::vector<float> depths = renderer.sampleShadowMaps(points);
    if (depths.size() != points.size() * 3) return false;
    for (size_t i = 0; i < points.size(); ++i) {
      const float along = glm::dot(points[i] - eye, forward);
      const int c = along < set.splits.x ? 0 : (along < set.splits.y ? 1 : 2);
      const glm::mat4& matrix = renderer.shadowLookupMatrices()[c];
      const float mapDepth = depths[i * 3 + c];
      if (mapDepth <= 0.0f) {  // outside the map, or a caster flattened onto its near plane
        lastCascade[i] = -1;
        continue;
      }
      // Depth 0..1 spans 2 / |z row| units of the light's orthographic volume.
      const float units = 2.0f / glm::length(glm::vec3(matrix[0][2], matrix[1][2], matrix[2][2]));
      const glm::vec4 light = matrix * glm::vec4(points[i], 1.0f);
      const float distance = ((light.z / light.w) * 0.5f + 0.5f - mapDepth) * units;
      if (lastCascade[i] == c) {
        largest = std::max(largest, std::abs(distance - lastDistance[i]));
        ++compared;
      }
      lastCascade[i] = c;
      lastDistance[i] = distance;
    }
  }
  std::printf(
      "render_check: turned %d frames: %d cascade redraws, %d samples compared, largest caster "
      "shift %.4f units\n",
      frames, redraws, compared, largest);
  // A tenth of a block: what a map's texel size stepping by 1/16 moves a sloped caster,
  // far below the shadow test's bias.
  return compared > 0 && largest < 0.1f;
}

bool sameStats(const GpuAllocatorStats& a, const GpuAllocatorStats& b) {
  return a.deviceAllocations == b.deviceAllocations && a.blocks == b.blocks &&
         a.dedicated == b.dedicated && a.usedBytes == b.usedBytes && a.blockBytes == b.blockBytes;
}

void printStats(const char* when, const GpuAllocatorStats& s) {
  std::printf("render_check: allocator %s: %u allocations, %u blocks, %u dedicated, %llu used\n",
              when, s.deviceAllocations, s.blocks, s.dedicated,
              static_cast<unsigned long long>(s.usedBytes));
}

int run(GLFWwindow* window, int argc, char** argv) {
  const std::string out = argv[1];
  std::string pair;
  int resizes = 0, frames = 0, turns = 0;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--resizes") == 0 && i + 1 < argc) {
      resizes = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) {
      frames = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--turn") == 0 && i + 1 < argc) {
      turns = std::atoi(argv[++i]);
    } else {
      pair = argv[i];
    }
  }

  VulkanRenderer renderer;
  if (!renderer.init(window, false)) return 1;
  registerEntityModels(renderer);
  World world(kSeed);
  const glm::vec3 eye = findSpawnPoint(world);
  world.ensureColumnsAround(eye.x, eye.z, 3);
  MeshScheduler scheduler;
  scheduler.setRenderDistance(8);
  scheduler.preload(world, renderer, eye.x, eye.z, 8);

  View view;
  view.eye = eye;
  view.viewProjection = cameraTurnedBy(eye, 0.0f);
  // A pig, a slime and a dropped block ahead, and a few particles between them.
  const glm::vec3 ahead = eye + glm::vec3(0.0f, -1.6f, -3.5f);
  view.entities = {{ahead.x - 1, ahead.y, ahead.z, 0.6f, 1, 0, 1, 0},
                   {ahead.x + 1, ahead.y, ahead.z - 1, 2.0f, 1, 0, 0, 0},
                   {ahead.x, ahead.y + 0.3f, ahead.z + 1, 0.0f, 0.3f, 0, 3 + 12, 0}};
  for (int i = 0; i < 6; ++i) {
    view.particles.push_back(
        {ahead.x + 0.3f * i - 0.8f, ahead.y + 0.8f + 0.1f * i, ahead.z, 0, 0.1f, 11, 0, 0});
  }

  renderer.setLighting(0.9f, 128.0f, sunAt(0.22f));
  renderer.setRenderToggles(true, true);
  bool ok = capture(renderer, view, out + "/a.png", "defaults");
  if (!pair.empty()) {
    if (pair == "shadows") renderer.setRenderToggles(false, true);
    if (pair == "post") renderer.setRenderToggles(true, false);
    if (pair == "night") renderer.setLighting(0.0f, 128.0f, sunAt(0.72f));
    if (pair == "reference") renderer.setShadowShortcuts(false);
    ok = capture(renderer, view, out + "/b.png", pair.c_str()) && ok;
  }

  renderer.setShadowShortcuts(true);
  if (turns > 0 && !turnCamera(renderer, view, turns)) ok = false;

  if (resizes > 0) {
    const GpuAllocatorStats before = renderer.allocatorStats();
    int changed = 0;
    for (int i = 0; i < resizes; ++i) {
      const VkExtent2D old = renderer.extent();
      glfwSetWindowSize(window, 320 + (i * 97) % 1100, 200 + (i * 61) % 600);
      glfwPollEvents();
      renderer.onFramebufferResized();
      renderer.drawFrame(view.viewProjection, view.eye, view.entities, view.particles);
      const VkExtent2D now = renderer.extent();
      if (now.width != old.width || now.height != old.height) ++changed;
    }
    glfwSetWindowSize(window, 1280, 720);
    glfwPollEvents();
    renderer.onFramebufferResized();
    renderer.drawFrame(view.viewProjection, view.eye, view.entities, view.particles);
    const GpuAllocatorStats after = renderer.allocatorStats();
    printStats("before resizing", before);
    printStats("after resizing", after);
    const VkExtent2D extent = renderer.extent();
    std::printf("render_check: %d resizes (%d changed the size), back at %ux%u\n", resizes, changed,
                extent.width, extent.height);
    if (changed < resizes / 2) ok = false;
    if (!sameStats(before, after)) {
      std::printf("render_check: the allocator holds a different amount after resizing\n");
      ok = false;
    }
  }

  if (frames > 0) {
    renderer.setLighting(0.9f, 128.0f, sunAt(0.22f));
    renderer.setRenderToggles(true, true);
    PassTiming sum;
    double cpu = 0;
    for (int i = 0; i <= frames; ++i) {
      renderer.drawFrame(view.viewProjection, view.eye, view.entities, view.particles);
      const PassTiming& t = renderer.lastPassTiming();
      if (i == 0) continue;  // the first reading belongs to an earlier frame
      sum.measured = t.measured;
      sum.shadows += t.shadows, sum.scene += t.scene, sum.occlusion += t.occlusion;
      sum.bloom += t.bloom, sum.exposure += t.exposure, sum.composite += t.composite;
      sum.final += t.final;
      const FrameTiming& f = renderer.lastFrameTiming();
      cpu += f.wait + f.record + f.submit;
    }
    const double n = frames;
    std::printf(
        "render_check: %s pass times over %d frames (ms): shadows %.2f, scene %.2f, occlusion "
        "%.2f, bloom %.2f, exposure %.2f, composite %.2f, final+ui %.2f; cpu frame %.2f\n",
        sum.measured ? "GPU timestamp" : "no timestamp", frames, sum.shadows / n, sum.scene / n,
        sum.occlusion / n, sum.bloom / n, sum.exposure / n, sum.composite / n, sum.final / n,
        cpu / n);
    report(renderer, "timed");
  }
  scheduler.stop();
  renderer.shutdown();
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr,
                 "usage: orvane_render_check OUT [shadows|post|night|reference] [--resizes N] "
                 "[--frames N] [--turn N]\n");
    return 2;
  }
  if (glfwInit() != GLFW_TRUE) return 1;
  glfwWindowHint(GLFW_CLIENT_API, GLFW_NO_API);
  glfwWindowHint(GLFW_RESIZABLE, GLFW_TRUE);
  glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
  GLFWwindow* window = glfwCreateWindow(1280, 720, "render check", nullptr, nullptr);
  if (window == nullptr) {
    glfwTerminate();
    return 1;
  }
  const int status = run(window, argc, argv);
  glfwDestroyWindow(window);
  glfwTerminate();
  return status;
}
