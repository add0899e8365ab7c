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

float shadowFarDistance(float setting, float fogEnd) {
  const float far = setting > 0 ? setting : std::clamp(fogEnd + 16.0f, 64.0f, 192.0f);
  return std::min(far, 600.0f);
}

namespace {

constexpr int kShadowMapSize = 2048;
constexpr double kDepthStep = 8.0;
constexpr float kRadiusHold = 0.125f;

glm::dmat4 lookAtLight(glm::dvec3 eye, glm::dvec3 centre, glm::dvec3 up) {
  const glm::dvec3 f = glm::normalize(centre - eye);
  const glm::dvec3 s = glm::normalize(glm::cross(f, up));
  const glm::dvec3 u = glm::cross(s, f);
  glm::dmat4 view(1.0);
  view[0][0] = s.x, view[1][0] = s.y, view[2][0] = s.z;
  view[0][1] = u.x, view[1][1] = u.y, view[2][1] = u.z;
  view[0][2] = -f.x, view[1][2] = -f.y, view[2][2] = -f.z;
  view[3][0] = -glm::dot(s, eye);
  view[3][1] = -glm::dot(u, eye);
  view[3][2] = glm::dot(f, eye);
  return view;
}

}  // namespace

CascadeSet computeCascades(const glm::mat4& viewProjection, glm::vec3 sunDirection, float shadowFar,
                           const std::array<float, 3>& keptRadii) {
  CascadeSet set;
  const float n = 0.1f, s = shadowFar;
  const auto split = [&](float j) {
    return 0.7f * n * std::pow(s / n, j / 3) + 0.3f * (n + (s - n) * j / 3);
  };
  set.splits = {split(1), split(2), s, s};
  const float bounds[4] = {n, set.splits.x, set.splits.y, s};

  // Corners in double precision: the inverse of a projection reaching 600 units loses
  // enough float precision to shift the slice radius as the camera moves.
  const glm::dmat4 inverse = glm::inverse(glm::dmat4(viewProjection));
  glm::dvec3 nearCorners[4], farCorners[4];
  for (int i = 0; i < 4; ++i) {
    const double x = (i & 1) ? 1.0 : -1.0, y = (i & 2) ? 1.0 : -1.0;
    const glm::dvec4 a = inverse * glm::dvec4(x, y, 0.0, 1.0);
    const glm::dvec4 b = inverse * glm::dvec4(x, y, 1.0, 1.0);
    nearCorners[i] = glm::dvec3(a) / a.w;
    farCorners[i] = glm::dvec3(b) / b.w;
  }

  glm::vec3 light = sunDirection;
  light = glm::length(light) < 0.0001f ? glm::vec3(0, 1, 0) : glm::normalize(light);
  const glm::vec3 up = std::abs(light.y) > 0.95f ? glm::vec3(0, 0, 1) : glm::vec3(0, 1, 0);
  // Light frame anchored at the world origin: the snap grid must not move with the
  // slice, or snapping the slice centre in its own view (where it sits at 0, 0) would
  // change nothing.
  // The light frame is built in double precision: in float, the snapped centre of a slice
  // 100 units away lands a hundredth of a texel off the grid, differently each frame.
  const glm::dmat4 anchor = lookAtLight(light, glm::dvec3(0.0), up);
  const glm::dmat4 unanchor = glm::inverse(anchor);

  for (int c = 0; c < 3; ++c) {
    const float from = (bounds[c] - 0.1f) / 599.9f, to = (bounds[c + 1] - 0.1f) / 599.9f;
    glm::dvec3 corners[8];
    glm::dvec3 sum(0.0);
    for (int i = 0; i < 4; ++i) {
      corners[i] = nearCorners[i] + (farCorners[i] - nearCorners[i]) * double(from);
      corners[i + 4] = nearCorners[i] + (farCorners[i] - nearCorners[i]) * double(to);
    }
    for (const glm::dvec3& corner : corners) sum += corner;
    const glm::dvec3 centre = sum / 8.0;
    double largest = 1.0;
    for (const glm::dvec3& corner : corners) {
      largest = std::max(largest, glm::length(corner - sum / 8.0));
    }
    // Rounded up to 1/16 so that what noise remains cannot change the texel size, and with
    // it the snap grid, from frame to frame.
    float radius = static_cast<float>(std::ceil(largest * 16.0) / 16.0);
    if (keptRadii[c] >= radius && keptRadii[c] <= radius + kRadiusHold) radius = keptRadii[c];

    const double texel = 2.0 * radius / kShadowMapSize;
    glm::dvec4 anchored = anchor * glm::dvec4(centre, 1.0);
    anchored.x = std::floor(anchored.x / texel) * texel;
    anchored.y = std::floor(anchored.y / texel) * texel;
    // Along the light, whole steps of kDepthStep: the depth a still caster is stored with
    // (and the depth bias, which follows its magnitude) then stays the same while the
    // camera turns. The light volume's 16 spare units hold the slice in either case.
    anchored.z = std::round(anchored.z / kDepthStep) * kDepthStep;
    const glm::dvec3 snapped(unanchor * anchored);

    const glm::dmat4 view = lookAtLight(snapped + glm::dvec3(light) * (radius + 16.0), snapped, up);
    const double depth = 2.0 * radius + 32.0;
    glm::dmat4 projection(1.0);
    projection[0][0] = 2.0 / (2.0 * radius);
    projection[1][1] = 2.0 / (2.0 * radius);
    projection[2][2] = -2.0 / (depth - 1.0);
    projection[3][2] = -(depth + 1.0) / (depth - 1.0);
    set.matrices[c] = glm::mat4(projection * view);
    set.radii[c] = radius;
    set.centres[c] = glm::vec3(snapped);
  }
  return set;
}

glm::mat4 shadowClipMatrix(const glm::mat4& cascade) {
  glm::mat4 remap(1.0f);
  remap[2][2] = 0.5f;
  remap[3][2] = 0.5f;
  return remap * cascade;
}
