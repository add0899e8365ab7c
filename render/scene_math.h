#pragma once
// The CPU-side arithmetic of a frame: frustum culling, the sky colour, the fog range and
// the camera's forward direction. Plain functions, shared by the renderer and its tests.

#include <array>

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
