#include "render/shadow_cache.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr float kTeleportDistance = 16.0f;
constexpr float kMoveLimit = 4.0f;
constexpr float kTurnLimitCos = 0.99863f;  // 3 degrees

uint64_t mix(uint64_t hash, float value) {
  uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return (hash ^ bits) * 1099511628211ull;
}

// A map must be redrawn now, whatever its turn: it no longer covers what the view needs.
bool mapIsWrong(const CascadeMap& map, const CascadeFrame& frame, int c) {
  if (!map.valid || map.radius != frame.fresh.radii[c]) return true;
  if (glm::length(frame.fresh.centres[c] - map.centre) > map.radius / 8.0f) return true;
  if (glm::length(frame.camera - map.camera) > kMoveLimit) return true;
  if (glm::dot(frame.forward, map.forward) < kTurnLimitCos) return true;
  // The sun has turned so far that the deepest point of the light volume moved a texel.
  const float texel = 2.0f * map.radius / 2048.0f;
  const float angle = std::acos(std::clamp(glm::dot(frame.sun, map.sun), -1.0f, 1.0f));
  return angle * (2.0f * map.radius + 32.0f) > texel;
}

bool mapIsStale(const CascadeMap& map, const CascadeFrame& frame, int c) {
  return map.matrix != frame.fresh.matrices[c] || map.sun != frame.sun ||
         map.chunkGeneration != frame.chunkGeneration || map.entityHash != frame.entityHash[c];
}

}  // namespace

void invalidateShadowCache(ShadowCache& cache) {
  for (CascadeMap& map : cache.maps) map.valid = false;
}

std::array<bool, 3> planCascadeRedraws(ShadowCache& cache, const CascadeFrame& frame) {
  if (cache.havePrevious && glm::length(frame.camera - cache.previousCamera) > kTeleportDistance) {
    invalidateShadowCache(cache);
  }
  cache.previousCamera = frame.camera;
  cache.havePrevious = true;
  // The middle and far cascades take turns on different frames.
  const bool due[3] = {true, cache.frame % 2 == 1, cache.frame % 4 == 0};
  std::array<bool, 3> redraw{};
  for (int c = 0; c < 3; ++c) {
    const CascadeMap& map = cache.maps[c];
    redraw[c] = mapIsWrong(map, frame, c) || (due[c] && mapIsStale(map, frame, c));
  }
  ++cache.frame;
  return redraw;
}

void markCascadeDrawn(ShadowCache& cache, int c, const CascadeFrame& frame, int chunkDraws) {
  CascadeMap& map = cache.maps[c];
  map.valid = true;
  map.matrix = frame.fresh.matrices[c];
  map.centre = frame.fresh.centres[c];
  map.radius = frame.fresh.radii[c];
  map.sun = frame.sun;
  map.camera = frame.camera;
  map.forward = frame.forward;
  map.chunkGeneration = frame.chunkGeneration;
  map.entityHash = frame.entityHash[c];
  map.chunkDraws = chunkDraws;
}

std::array<glm::mat4, 3> lookupMatrices(const ShadowCache& cache, const CascadeSet& fresh) {
  std::array<glm::mat4, 3> matrices = fresh.matrices;
  for (int c = 0; c < 3; ++c) {
    if (cache.maps[c].valid) matrices[c] = cache.maps[c].matrix;
  }
  return matrices;
}

uint64_t entityHashInside(const std::array<glm::vec4, 6>& cascadePlanes,
                          const std::vector<EntityPose>& entities, float reach) {
  uint64_t hash = 14695981039346656037ull;
  for (const EntityPose& e : entities) {
    const glm::vec3 half(reach * std::max(e.scale, 1.0f));
    if (outsideFrustum(cascadePlanes, Box{e.position - half, e.position + half})) continue;
    hash = mix(hash, e.position.x);
    hash = mix(hash, e.position.y);
    hash = mix(hash, e.position.z);
    hash = mix(hash, e.yaw);
    hash = mix(hash, e.scale);
    hash = (hash ^ e.model) * 1099511628211ull;
  }
  return hash;
}

std::array<glm::vec4, 6> receiverPlanes(const glm::mat4& viewProjection, glm::vec3 camera,
                                        glm::vec3 forward, float nearDepth, float farDepth,
                                        float margin) {
  std::array<glm::vec4, 6> planes = frustumPlanes(viewProjection);
  for (int i = 0; i < 4; ++i) {
    const float length = glm::length(glm::vec3(planes[i]));
    if (length > 0) planes[i] = planes[i] / length + glm::vec4(0, 0, 0, margin);
  }
  const float along = glm::dot(forward, camera);
  planes[4] = glm::vec4(forward, -along - nearDepth + margin);
  planes[5] = glm::vec4(-forward, along + farDepth + margin);
  return planes;
}

bool castsInto(const std::array<glm::vec4, 6>& receivers, glm::vec3 sun, const Box& box,
               float reach) {
  // The box moved t units away from the sun stays inside a plane for a range of t; the
  // box can shade the region only if one t in [0, reach] suits every plane.
  float from = 0.0f, to = reach;
  for (const glm::vec4& p : receivers) {
    const glm::vec3 corner(p.x >= 0 ? box.max.x : box.min.x, p.y >= 0 ? box.max.y : box.min.y,
                           p.z >= 0 ? box.max.z : box.min.z);
    const float distance = p.x * corner.x + p.y * corner.y + p.z * corner.z + p.w;
    const float rate = -glm::dot(glm::vec3(p), sun);  // change of distance per unit of t
    if (rate > 1e-6f) {
      from = std::max(from, -distance / rate);
    } else if (rate < -1e-6f) {
      to = std::min(to, distance / -rate);
    } else if (distance < 0) {
      return false;
    }
    if (from > to) return false;
  }
  return true;
}
