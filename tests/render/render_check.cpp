// orvane_render_check: draws the test seed's spawn view through the Vulkan renderer on a
// hidden 1280 x 720 window and writes pictures for the display tests to compare.
//
//   orvane_render_check OUT [PAIR] [--resizes N] [--frames N]
//     OUT/a.png      the view with the defaults (shadows and post-processing on, day)
//     OUT/b.png      with PAIR changed: "shadows" off, "post" off, or "night"
//     --resizes N    resizes the window N times, drawing after each, then back to
//                    1280 x 720; fails unless the allocator holds what it held before
//     --frames N     draws N more frames and prints the mean GPU time of every pass
// Every picture prints which passes ran and the chunk draws of each shadow cascade.

#include <GLFW/glfw3.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <glm/gtc/matrix_transform.hpp>
#include <string>

#include "game/models.h"
#include "game/spawn_point.h"
#include "render/png_writer.h"
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
      "scene drew %d of %zu chunk meshes\n",
      name, renderer.shadowPassRan() ? "ran" : "skipped", draws[0], draws[1], draws[2],
      renderer.opaqueChunkMeshCount(), renderer.drawnChunkCount(), renderer.chunkMeshCount());
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
  int resizes = 0, frames = 0;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--resizes") == 0 && i + 1 < argc) {
      resizes = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) {
      frames = std::atoi(argv[++i]);
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
  glm::mat4 projection = glm::perspective(glm::radians(70.0f), 16.0f / 9.0f, 0.05f, 600.0f);
  projection[1][1] = -projection[1][1];
  view.viewProjection =
      projection * glm::lookAt(eye, eye + glm::vec3(0, -2.2f, -4), glm::vec3(0, 1, 0));
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
    ok = capture(renderer, view, out + "/b.png", pair.c_str()) && ok;
  }

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
                 "usage: orvane_render_check OUT [shadows|post|night] [--resizes N] "
                 "[--frames N]\n");
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
