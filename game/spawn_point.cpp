#include "game/spawn_point.h"

#include <algorithm>
#include <cstdlib>

#include "game/player.h"
#include "world/terrain.h"
#include "world/village.h"

namespace {

constexpr float kAboveGround = 1.0f + kEyeHeight + 0.01f;

bool goodSpot(World& world, int x, int z) {
  const int height = surfaceHeight(world, x, z);
  if (height < 32) return false;
  if (!villagesNear(world, static_cast<float>(x), static_cast<float>(z), 32.0f).empty())
    return false;
  world.ensureColumn(floorDiv16(x), floorDiv16(z));
  const BlockId top = world.getBlock(x, height, z);
  return top == kBlockGrass || top == kBlockDirt || top == kBlockSand;
}

glm::vec3 raiseOutOfBlocks(const World& world, glm::vec3 eye) {
  for (int i = 0; i < kWorldHeight && bodyBlocked(world, eye); ++i) eye.y += 1.0f;
  return eye;
}

}  // namespace

glm::vec3 findSpawnPoint(World& world) {
  for (int radius = 0; radius <= 512; radius += 8) {
    for (int z = -radius; z <= radius; z += 8) {
      for (int x = -radius; x <= radius; x += 8) {
        if (std::max(std::abs(x), std::abs(z)) != radius) continue;
        if (!goodSpot(world, x, z)) continue;
        const float y = static_cast<float>(surfaceHeight(world, x, z)) + kAboveGround;
        return raiseOutOfBlocks(world,
                                {static_cast<float>(x) + 0.5f, y, static_cast<float>(z) + 0.5f});
      }
    }
  }
  const float y = static_cast<float>(std::max(surfaceHeight(world, 0, 0), 30)) + kAboveGround;
  world.ensureColumn(0, 0);
  return raiseOutOfBlocks(world, {0.5f, y, 0.5f});
}
