#include "game/drops.h"

#include "game/collision.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kGravity = 22.0f, kWaterSink = 5.5f, kWaterDamping = 4.0f, kGroundFriction = 7.0f;
constexpr float kSubStep = 0.05f;
constexpr float kMaxAge = 300.0f;

int cellOf(float v) {
  return static_cast<int>(std::floor(v));
}

bool dropBlocked(const World& world, glm::vec3 c) {
  return boxHitsSolid(world, c - glm::vec3(kDropHalfSize), c + glm::vec3(kDropHalfSize));
}

// Returns false when the drop is gone (burnt, too old, fallen out of the world).
bool updateDrop(const World& world, Drop& d, glm::vec3 eye, Inventory& inventory, bool pickup,
                float dt) {
  d.spin += 2.2f * dt;
  d.age += dt;
  if (d.age > kMaxAge || d.position.y < -8.0f) return false;
  const int cx = cellOf(d.position.x), cy = cellOf(d.position.y), cz = cellOf(d.position.z);
  if (!world.isColumnLoaded(floorDiv16(cx), floorDiv16(cz))) return true;

  const BlockId here = world.getBlock(cx, cy, cz);
  if (here == kBlockLava) return false;
  if (here == kBlockWater) {
    d.velocity.y -= kWaterSink * dt;
    d.velocity *= std::max(1.0f - kWaterDamping * dt, 0.0f);
  } else {
    d.velocity.y -= kGravity * dt;
  }

  const glm::vec3 move = d.velocity * dt;
  const float largest = std::max({std::fabs(move.x), std::fabs(move.y), std::fabs(move.z)});
  const int steps = std::max(1, static_cast<int>(std::ceil(largest / kSubStep)));
  d.onGround = 0;
  for (int i = 0; i < steps; ++i) {
    for (int axis : {0, 2, 1}) {
      const float share = move[axis] / static_cast<float>(steps);
      if (share == 0.0f) continue;
      const float before = d.position[axis];  // restored exactly: see moveAxisInSteps
      d.position[axis] += share;
      if (!dropBlocked(world, d.position)) continue;
      d.position[axis] = before;
      if (axis == 1 && d.velocity.y < 0.0f) d.onGround = 1;
      d.velocity[axis] = 0.0f;
    }
  }
  if (d.onGround) {
    const float friction = std::max(1.0f - kGroundFriction * dt, 0.0f);
    d.velocity.x *= friction;
    d.velocity.z *= friction;
  }

  if (pickup && d.age > kDropPickupDelay) {
    const float horizontal = std::hypot(d.position.x - eye.x, d.position.z - eye.z);
    const float rise = d.position.y - eye.y;
    if (horizontal < 1.3f && rise > -1.9f && rise < 1.5f && inventory.roomFor(d.item) >= d.count &&
        inventory.add(d.item, d.count)) {
      return false;
    }
  }
  return true;
}

}  // namespace

void spawnDrop(std::vector<Drop>& drops, glm::vec3 position, BlockId item, int n) {
  if (item == 0 || n <= 0) return;
  for (Drop& d : drops) {
    if (d.item == item && glm::distance(d.position, position) <= 0.6f) {
      d.count += n;
      d.age = std::min(d.age, kDropPickupDelay);
      return;
    }
  }
  Drop d;
  d.position = position;
  d.item = item;
  d.count = n;
  d.spin = static_cast<float>(drops.size() % 8) * 0.35f;
  drops.push_back(d);
}

void updateDrops(const World& world, std::vector<Drop>& drops, glm::vec3 playerEye,
                 Inventory& inventory, bool pickupAllowed, float dt) {
  size_t kept = 0;
  for (size_t i = 0; i < drops.size(); ++i) {
    if (!updateDrop(world, drops[i], playerEye, inventory, pickupAllowed, dt)) continue;
    if (kept != i) drops[kept] = drops[i];
    ++kept;
  }
  drops.resize(kept);
}
