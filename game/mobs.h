#pragma once
// Creatures: slimes that chase and circle survival players, pigs that wander and
// villagers that stay near their village. Spawned from the seed, advanced once per
// frame by the host or the offline game; they never damage anything themselves.

#include <cstdint>
#include <vector>

#include <glm/glm.hpp>

#include "world/world.h"

enum MobType : uint8_t { MobSlime = 0, MobPig = 1, MobVillager = 2 };

inline constexpr float kMobHalfSize = 0.4f;  // every mob is a 0.8 cube

struct Mob {
  int id = 0;                // 0 until the game assigns an entity id
  glm::vec3 position{0.0f};  // centre of the cube
  glm::vec3 velocity{0.0f};
  glm::vec3 home{0.0f};  // where it spawned
  float heading = 0.0f;  // radians, direction (cos, sin) in the x-z plane
  float decisionTimer = 0.0f;
  uint8_t moving = 0, onGround = 0, type = MobSlime;
  int hitPoints = 0;
  float damageFlash = 0.0f, fleeTimer = 0.0f, spareTimer = 0.0f;
  float displayedYaw = 0.0f;  // eases towards the heading
  float animationTime = 0.0f;
  uint8_t approach = 0;  // slimes: closing in rather than circling
  float circleDirection = 1.0f;
};

// A player as creatures see it.
struct MobTarget {
  glm::vec3 eye{0.0f};
  uint8_t gameMode = 0;
};

struct MobTypeInfo {
  int hitPoints;
  float walkSpeed;
  int wanderChance;  // percent
  float wanderBaseTime;
};
const MobTypeInfo& mobTypeInfo(uint8_t type);

// Up to `count` slimes and pigs on natural ground 4 to 20 blocks around `centre`.
std::vector<Mob> spawnMobsAround(World& world, uint32_t seed, int count, glm::vec3 centre);

// 3 to 5 villagers for every village within `radius` of `centre`.
std::vector<Mob> spawnVillagers(World& world, uint32_t seed, glm::vec3 centre, float radius);

// Advances every mob by dt seconds.
void updateMobs(const World& world, std::vector<Mob>& mobs, float dt,
                const std::vector<MobTarget>& players);

// Whether a mob cube centred at `centre` touches a solid block.
bool mobBlocked(const World& world, glm::vec3 centre);
