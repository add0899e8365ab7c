#pragma once
// The CPU-side arithmetic of a frame: frustum culling, the sky colour, the fog range and
// the camera's forward direction. Plain functions, shared by the renderer and its tests.

#include <array>
#include <cstdint>

#include <glm/glm.hpp>

// Axis-aligned box in world units.
struct Box {
  glm::vec3 min{0.0f}, max{0.0f};
};

// The six clip planes (a, b, c, d) of a column-major view-projection with depth 0..1:
// left, right, bottom, top, near, far.
std::array<glm::vec4, 6> frustumPlanes(const glm::mat4& viewProjection);

// True when the box lies entirely outside one of the planes.
bool outsideFrustum(const std::array<glm::vec4, 6>& planes, const Box& box);

// The sky (and fog) colour, linear, for a daylight factor 0..1.
glm::vec3 skyColour(float daylight);

// Where fog begins: `setting` when not negative (at most fogEnd - 1), else fogEnd - 50.
float fogStart(float setting, float fogEnd);

// The normalised direction from the camera to the centre of the far plane.
glm::vec3 cameraForward(const glm::mat4& viewProjection, glm::vec3 cameraPosition);

// The box of a chunk section: 16 units from 16 x its coordinates.
Box chunkBox(int cx, int sy, int cz);

// Far end of the shadow cascades: `setting` when above 0, else fog end + 16 clamped to
// [64, 192]; never beyond 600.
float shadowFarDistance(float setting, float fogEnd);

// The three shadow cascades of a camera: split distances (split 1, split 2, far, far) and
// one light view-projection per slice. The light projection is orthographic with depth
// -1..1 (the shadow vertex stage maps it to 0..1).
struct CascadeSet {
  glm::vec4 splits{0.0f};
  std::array<glm::mat4, 3> matrices{};
  std::array<float, 3> radii{};
  std::array<glm::vec3, 3> centres{};  // snapped slice centres
};

// Cascades for `viewProjection` (perspective, depth 0..1, far plane 600). Each slice's
// centre is snapped to whole shadow texels in a world-anchored light frame, so a still
// scene's shadows do not crawl while the camera moves. A radius of `keptRadii` (the maps
// held) that is at most 1/8 larger than needed is kept, so that rounding noise in a
// turning camera's slice cannot flip the texel size to and fro.
CascadeSet computeCascades(const glm::mat4& viewProjection, glm::vec3 sunDirection, float shadowFar,
                           const std::array<float, 3>& keptRadii = {});

// The clip matrix the shadow pass really rasterises with: `cascade` with its depth
// -1..1 remapped to 0..1. Culling against it keeps the depth planes where they are.
glm::mat4 shadowClipMatrix(const glm::mat4& cascade);

// Half of a target size for the reduced-size post targets: s / 2, but at least 1 (a size
// of 3 or less gives 1).
inline uint32_t halfSize(uint32_t s) {
  return s > 3 ? s / 2 : 1;
}
