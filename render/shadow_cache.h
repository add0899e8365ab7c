#pragma once
// Which shadow cascades a frame redraws, and which casters each redraw needs. A cascade's
// map is kept from frame to frame together with the matrix it was drawn with, and the
// block shaders look it up with that matrix, so a map that is not redrawn stays exactly
// right for everything it holds. A map is redrawn when what it shows has changed (its
// matrix, the chunk meshes, the entities inside it), at most every frame for the near
// cascade, every second frame for the middle one and every fourth for the far one; at
// once when it is missing (first frame, resize, shadow switch) or has become wrong for
// the view (teleport, a turn or a walk that leaves its coverage, the sun moving by more
// than one of its texels). Plain data and functions, shared by the renderer and its tests.

#include <array>
#include <cstdint>
#include <vector>

#include <glm/glm.hpp>

#include "render/scene_math.h"

// What one cascade's map holds.
struct CascadeMap {
  bool valid = false;
  glm::mat4 matrix{1.0f};  // the light view-projection the map was drawn with
  glm::vec3 centre{0.0f};  // snapped slice centre
  float radius = 0;
  glm::vec3 sun{0.0f};
  glm::vec3 camera{0.0f}, forward{0.0f};
  uint64_t chunkGeneration = 0;
  uint64_t entityHash = 0;
  int chunkDraws = 0;  // opaque chunk meshes drawn into it
};

struct ShadowCache {
  std::array<CascadeMap, 3> maps{};
  uint64_t frame = 0;
  bool havePrevious = false;
  glm::vec3 previousCamera{0.0f};
};

// This frame's view of the shadow cascades.
struct CascadeFrame {
  CascadeSet fresh;  // the cascades as they would be drawn now
  glm::vec3 sun{0.0f, 1.0f, 0.0f};
  glm::vec3 camera{0.0f}, forward{0.0f, 0.0f, -1.0f};
  uint64_t chunkGeneration = 0;
  std::array<uint64_t, 3> entityHash{};
};

// Forgets every map: the next frame draws all three.
void invalidateShadowCache(ShadowCache& cache);

// Decides which cascades this frame redraws and advances the frame counter. A camera
// that jumps by more than 16 units since the last frame (a teleport) invalidates all.
std::array<bool, 3> planCascadeRedraws(ShadowCache& cache, const CascadeFrame& frame);

// Records that cascade `c` was redrawn this frame with `chunkDraws` chunk meshes.
void markCascadeDrawn(ShadowCache& cache, int c, const CascadeFrame& frame, int chunkDraws);

// The matrices the maps hold, for the lookups (fresh ones where a map is missing).
std::array<glm::mat4, 3> lookupMatrices(const ShadowCache& cache, const CascadeSet& fresh);

// An order-sensitive hash of what the entities inside a cascade's volume look like (box of
// `reach` units around each position); equal hashes mean the map's entities are unchanged.
struct EntityPose {
  glm::vec3 position{0.0f};
  float yaw = 0, scale = 1;
  uint32_t model = 0;
};
uint64_t entityHashInside(const std::array<glm::vec4, 6>& cascadePlanes,
                          const std::vector<EntityPose>& entities, float reach = 3.0f);

// Casters are kept for receivers up to this many units outside the view, so a map stays
// complete until the camera has moved or turned by more than the margin covers.
constexpr float kShadowReceiverMargin = 8.0f;

// The planes of the region whose receivers cascade `c` shades: the view frustum's sides
// and the slice's depth range along `forward` (with `margin` units to spare).
std::array<glm::vec4, 6> receiverPlanes(const glm::mat4& viewProjection, glm::vec3 camera,
                                        glm::vec3 forward, float nearDepth, float farDepth,
                                        float margin);

// False when nothing in `box` can shadow a point inside `receivers`: the box swept away
// from the sun (along -sun, up to `reach` units) misses the region. Conservative: true
// may still be a miss.
bool castsInto(const std::array<glm::vec4, 6>& receivers, glm::vec3 sun, const Box& box,
               float reach = 1000.0f);
