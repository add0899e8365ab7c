#pragma once
// Dropped items: small spinning cubes that fall, sink slowly in water, burn in lava and
// are picked up when the player walks over them.

#include <cstdint>
#include <vector>

#include <glm/glm.hpp>

#include "game/inventory.h"
#include "world/world.h"

inline constexpr float kDropHalfSize = 0.15f;
inline constexpr float kDropPickupDelay = 0.35f;  // seconds before a drop can be taken

struct Drop {
  int id = 0;                // 0 until the game assigns an entity id
  glm::vec3 position{0.0f};  // centre of the cube
  glm::vec3 velocity{0.0f};
  BlockId item = 0;
  int32_t count = 0;
  float age = 0.0f;
  float spin = 0.0f;
  uint8_t onGround = 0;
};

// Adds n of `item` at `position`, merging into a drop of the same item within 0.6.
void spawnDrop(std::vector<Drop>& drops, glm::vec3 position, BlockId item, int n);

// Ages, moves and collects the drops; drops older than 300 s, fallen out of the world or
// burnt in lava are removed, keeping the order of the rest.
void updateDrops(const World& world, std::vector<Drop>& drops, glm::vec3 playerEye,
                 Inventory& inventory, bool pickupAllowed, float dt);
