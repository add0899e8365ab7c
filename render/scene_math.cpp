#include "render/scene_math.h"

#include <algorithm>
#include <cmath>

std::array<glm::vec4, 6> frustumPlanes(const glm::mat4& m) {
  const auto row = [&](int r) { return glm::vec4(m[0][r], m[1][r], m[2][r], m[3][r]); };
  return {row(3) + row(0), row(3) - row(0), row(3) + row(1),
          row(3) - row(1), row(2),          row(3) - row(2)};
}

bool outsideFrustum(const std::array<glm::vec4, 6>& planes, const Box& box) {
  for (const glm::vec4& p : planes) {
    const glm::vec3 corner(p.x >= 0 ? box.max.x : box.min.x, p.y >= 0 ? box.max.y : box.min.y,
                           p.z >= 0 ? box.max.z : box.min.z);
    if (p.x * corner.x + p.y * corner.y + p.z * corner.z + p.w < 0) return true;
  }
  return false;
}

glm::vec3 skyColour(float d) {
  const auto channel = [d](float night, float day) {
    return std::pow(night * (1 - d) + day * d, 2.2f);
  };
  return {channel(0.015f, 0.38f), channel(0.02f, 0.57f), channel(0.05f, 0.79f)};
}

float fogStart(float setting, float fogEnd) {
  return setting >= 0 ? std::min(setting, fogEnd - 1) : fogEnd - 50;
}

glm::vec3 cameraForward(const glm::mat4& viewProjection, glm::vec3 cameraPosition) {
  const glm::vec4 far = glm::inverse(viewProjection) * glm::vec4(0, 0, 1, 1);
  const glm::vec3 direction = glm::vec3(far) / far.w - cameraPosition;
  const float length = glm::length(direction);
  return length > 0 ? direction / length : glm::vec3(0, 0, -1);
}

Box chunkBox(int cx, int sy, int cz) {
  const glm::vec3 origin(16.0f * cx, 16.0f * sy, 16.0f * cz);
  return {origin, origin + glm::vec3(16.0f)};
}
