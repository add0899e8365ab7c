#pragma once
// The renderer interface: the only way the game reaches the GPU. The Vulkan renderer is
// its implementation; tests use recording stand-ins. All calls come from the main thread.

#include <cstdint>
#include <string>
#include <vector>

#include <glm/glm.hpp>

#include "world/chunk_mesh.h"
#include "world/coords.h"

struct GLFWwindow;
struct CaptureInfo;

// One drawn entity or particle (32 bytes): the renderer only reads it.
struct EntityInstance {
  float x = 0, y = 0, z = 0;
  float yaw = 0;
  float scale = 1;
  float reserved = 0;
  uint32_t model = 0;  // index into the model table, taken modulo its size
  float flash = 0;     // 0 or 1
};
static_assert(sizeof(EntityInstance) == 32, "EntityInstance is uploaded as 32-byte records");

// What the renderer tells the debug overlay.
struct RendererStats {
  int drawnChunks = 0;      // chunk meshes drawn by the last scene pass
  size_t chunkMeshes = 0;   // chunk meshes held, both kinds
  uint64_t triangles = 0;   // over all opaque chunk meshes
  std::string gpuName;      // empty without a device
  uint32_t apiVersion = 0;  // Vulkan version word
  uint32_t width = 0, height = 0;
  int refreshRate = 0;  // Hz of the window's monitor; 0 when unknown
};

class Renderer {
 public:
  // Shuts down, then frees the object.
  virtual ~Renderer() = default;
  // Builds everything for the window; false (after printing why) when it cannot.
  virtual bool init(GLFWwindow* window, bool vsync) = 0;
  // Destroys everything; safe to call twice.
  virtual void shutdown() = 0;
  // Replaces the opaque mesh of one chunk.
  virtual void setChunkMesh(ChunkKey chunk, const ChunkMesh& mesh) = 0;
  // Replaces the depth-only mesh one chunk's opaque mesh casts its shadow with. Setting the
  // opaque mesh drops it: until a new one comes, the opaque mesh itself casts the shadow.
  virtual void setChunkShadowMesh(ChunkKey chunk, const ChunkMesh& mesh) {
    (void)chunk, (void)mesh;
  }
  // Replaces the translucent mesh of one chunk.
  virtual void setChunkTranslucentMesh(ChunkKey chunk, const ChunkMesh& mesh) = 0;
  // Retires both meshes of one chunk.
  virtual void removeChunkMeshes(ChunkKey chunk) = 0;
  // Destroys all chunk meshes.
  virtual void clearChunkMeshes() = 0;
  // Replaces one entry of the model table.
  virtual void setModelMesh(int index, const ChunkMesh& mesh) = 0;
  // Replaces the single particle mesh.
  virtual void setParticleMesh(const ChunkMesh& mesh) = 0;
  // Per-frame lighting: daylight factor, fog end distance, direction towards the sun.
  virtual void setLighting(float daylight, float fogEnd, glm::vec3 sunDirection) = 0;
  // The two user toggles.
  virtual void setRenderToggles(bool shadows, bool postProcessing) = 0;
  // Recreates the swapchain unless the window is minimised.
  virtual void onFramebufferResized() = 0;
  // Starts a user-interface frame.
  virtual void beginUiFrame() = 0;
  // The UI texture handle of a block texture layer; null when out of range or when the
  // renderer draws no pictures.
  virtual void* uiTextureForLayer(int layer) const {
    (void)layer;
    return nullptr;
  }
  // Counters and device facts for the debug overlay.
  virtual RendererStats stats() const { return {}; }
  // Records, submits and presents one frame.
  virtual void drawFrame(const glm::mat4& viewProjection, glm::vec3 cameraPosition,
                         const std::vector<EntityInstance>& entities,
                         const std::vector<EntityInstance>& particles) = 0;
  // Draws one frame into a PNG at `path` instead of presenting it; false when it could
  // not be written (renderers without pictures always say so).
  virtual bool captureFrame(const glm::mat4& viewProjection, glm::vec3 cameraPosition,
                            const std::vector<EntityInstance>& entities,
                            const std::vector<EntityInstance>& particles, const std::string& path,
                            const CaptureInfo& info) {
    (void)viewProjection, (void)cameraPosition, (void)entities, (void)particles, (void)path,
        (void)info;
    return false;
  }
};
