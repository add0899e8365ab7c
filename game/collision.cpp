#include "game/collision.h"

bool boxHitsSolid(const World& world, glm::vec3 min, glm::vec3 max) {
  const BlockRegistry& registry = blocks();
  const int x0 = static_cast<int>(std::floor(min.x)), x1 = static_cast<int>(std::floor(max.x));
  const int y0 = static_cast<int>(std::floor(min.y)), y1 = static_cast<int>(std::floor(max.y));
  const int z0 = static_cast<int>(std::floor(min.z)), z1 = static_cast<int>(std::floor(max.z));
  for (int y = y0; y <= y1; ++y) {
    for (int z = z0; z <= z1; ++z) {
      for (int x = x0; x <= x1; ++x) {
        if (registry.blockDef(world.getBlock(x, y, z)).solid) return true;
      }
    }
  }
  return false;
}
